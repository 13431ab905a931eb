// The views of the child windows and their fonts (GUI thread).
#include "platform/window_view.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QIcon>
#include <QMdiArea>
#include <QPixmap>

#include "platform/fontspec.h"
#include "platform/hooks.h"
#include "platform/internal.h"
#include "platform/screen.h"
#include "platform/window_model.h"

namespace tarvex::platform {

namespace detail {

namespace {

// ---- fonts (GUI thread) -------------------------------------------------------------

bool g_fonts_loaded = false;
int g_font_count = 0;

void load_fonts() {
    if (g_fonts_loaded) return;
    g_fonts_loaded = true;
    static const char* const files[] = {
        "DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSans-Oblique.ttf", "DejaVuSans-BoldOblique.ttf",
        "DejaVuSansMono.ttf", "DejaVuSansMono-Bold.ttf", "DejaVuSansMono-Oblique.ttf",
        "DejaVuSansMono-BoldOblique.ttf", "DejaVuSerif.ttf", "DejaVuSerif-Bold.ttf", "DejaVuSerif-Italic.ttf",
        "DejaVuSerif-BoldItalic.ttf"};
    int loaded = 0;
    for (const char* f : files) {
        const QString path = QStringLiteral("/usr/share/fonts/truetype/dejavu/") + QLatin1String(f);
        if (QFontDatabase::addApplicationFont(path) >= 0) ++loaded;
    }
    if (loaded == 0)
        qWarning("tarvex: the DejaVu fonts (Debian package fonts-dejavu-core) were not found; "
                 "pictures will depend on the system's fonts");
    g_font_count = QFontDatabase::families().contains(QStringLiteral("DejaVu Sans")) ? 3 : 1;
}

}  // namespace


QFont make_font(const std::string& description) {
    static std::map<std::string, QFont> cache;
    auto it = cache.find(description);
    if (it != cache.end()) return it->second;
    FontSpec spec;
    if (!parse_font_description(description, spec)) spec = FontSpec{};
    QFont f(QString::fromStdString(font_family_for(spec)));
    f.setBold(spec.bold);
    f.setItalic(spec.italic);
    f.setUnderline(spec.underline);
    f.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::NoSubpixelAntialias));
    f.setHintingPreference(QFont::PreferFullHinting);
    f.setKerning(false);
    // The height is the whole character cell (ascent and descent), as text
    // placed by its top left corner needs.
    const int cell = spec.height > 0 ? spec.height : 12;
    int size = cell;
    for (; size > 2; --size) {
        f.setPixelSize(size);
        if (QFontMetrics(f).height() <= cell) break;
    }
    f.setPixelSize(size);
    if (spec.width > 0) {
        const int natural = QFontMetrics(f).averageCharWidth();
        if (natural > 0) f.setStretch(std::clamp(100 * spec.width / natural, 1, 4000));
    }
    cache.emplace(description, f);
    return f;
}

// The monospaced font of a text window's character cell.
QFont cell_font(int cell_w, int cell_h) {
    QFont f(QStringLiteral("DejaVu Sans Mono"));
    f.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::NoSubpixelAntialias));
    f.setKerning(false);
    int size = std::max(4, cell_h - 3);
    for (; size > 4; --size) {
        f.setPixelSize(size);
        QFontMetrics fm(f);
        if (fm.horizontalAdvance(QLatin1Char('M')) <= cell_w && fm.height() <= cell_h) break;
    }
    f.setPixelSize(size);
    return f;
}

std::map<int, Gui> g_gui;   // by window id; GUI thread only

Gui* gui(int id) {
    auto it = g_gui.find(id);
    return it == g_gui.end() ? nullptr : &it->second;
}

void remove_gui(int id) {
    auto it = g_gui.find(id);
    if (it == g_gui.end()) return;
    SubWindow* sub = it->second.sub;
    g_gui.erase(it);
    if (sub) {
        sub->closing_by_program = true;
        if (QMdiArea* mdi = internal::frame_mdi_area()) mdi->removeSubWindow(sub);
        delete sub;
    }
}

void SubWindow::closeEvent(QCloseEvent* event) {
    if (closing_by_program) {
        event->accept();
        return;
    }
    if (close_command_refused()) {
        event->ignore();
        return;
    }
    // Closed by the user: the channel's window is gone.
    event->ignore();
    const int channel = channel_;
    QMetaObject::invokeMethod(qApp, [channel] { close_window(channel); }, Qt::QueuedConnection);
}

// Child windows carry no icon of their own (not the toolkit's logo).
QIcon blank_icon() {
    QPixmap transparent(16, 16);
    transparent.fill(Qt::transparent);
    return QIcon(transparent);
}

// Places the subwindow so that its drawing area is w by h cells at (x, y).
void place(Gui& g, const WindowPlace& p) {
    const QSize inner = g.view->outer_size_for(p.width * CELL_WIDTH, p.height * CELL_HEIGHT);
    const QSize deco = g.sub->size() - g.sub->widget()->size();
    if (g.sub->isMinimized() || g.sub->isMaximized()) g.sub->showNormal();
    g.sub->setGeometry(p.x * CELL_WIDTH, p.y * CELL_HEIGHT, inner.width() + deco.width(),
                       inner.height() + deco.height());
    // The decoration is only known for certain once laid out: correct once.
    const QSize got = g.view->viewport()->size();
    const int dw = p.width * CELL_WIDTH - got.width();
    const int dh = p.height * CELL_HEIGHT - got.height();
    if (dw != 0 || dh != 0) g.sub->resize(g.sub->width() + dw, g.sub->height() + dh);
    g.normal = p;
    g.normal.state = WindowState::Restored;
    g.placed = true;
}

void create_gui(int id, int channel, WindowKind kind, const WindowConfig& config, const std::string& title) {
    QMdiArea* mdi = internal::frame_mdi_area();
    if (!mdi || gui(id)) return;
    Gui g;
    g.sub = new SubWindow(channel);
    g.sub->setAttribute(Qt::WA_DeleteOnClose, false);
    g.view = new View(id, kind);
    g.sub->setWidget(g.view);
    g.sub->setWindowTitle(QString::fromLatin1(title.c_str()));
    g.sub->setWindowIcon(blank_icon());
    mdi->addSubWindow(g.sub);
    g.view->configure(config);
    g.view->clear(WHITE);
    g.sub->show();
    auto& entry = g_gui[id] = g;
    // New windows come up at the top left, 40 by 10 cells.
    place(entry, WindowPlace{WindowState::Place, 0, 0, 40, 10});
    mdi->setActiveSubWindow(entry.sub);
}


}  // namespace detail

using namespace detail;

int init_fonts() {
    return call_blocking_result<int>([] {
        load_fonts();
        return g_font_count;
    });
}

}  // namespace tarvex::platform

namespace tarvex::platform::internal {

QWidget* channel_view(int channel) {
    auto m = model_of(channel);
    Gui* g = m ? gui(m->id) : nullptr;
    return g ? g->view : nullptr;
}

}  // namespace tarvex::platform::internal

// ---- for platform/screen.h -------------------------------------------------------------

namespace tarvex::platform {

bool window_screen_rect(int channel, ScreenRect& rect) {
    auto m = model_of(channel);
    if (!m) return false;
    return ask_view<bool>(m->id, false, [&](Gui& g) {
        const QPoint origin = g.view->viewport()->mapToGlobal(QPoint(0, 0));
        rect = {origin.x(), origin.y(), g.view->viewport()->width(), g.view->viewport()->height()};
        return true;
    });
}

int text_width(std::string_view font_description, std::string_view text) {
    const std::string font(font_description), t(text);
    // The fonts are made (and cached) on the GUI thread, as out_text makes them.
    return call_blocking_result<int>(std::function<int()>([&] {
        return QFontMetrics(make_font(font)).horizontalAdvance(QString::fromLatin1(t.c_str()));
    }));
}

}  // namespace tarvex::platform
