// Child windows bound to channels.
//
// Each window has two halves. The model (configuration, drawing state) lives
// in a record shared by all threads and guarded by its mutex; a caller
// resolves coordinates, colours and clipping there at once. The view (the
// text rows or the image, and the widgets) lives on the GUI thread, which
// receives each change as a command in the order the caller issued it. A
// command names its window by id, so it lands on the window it was meant for
// whatever becomes active meanwhile, and does nothing once that window is gone.
#include <QAbstractScrollArea>
#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QIcon>
#include <QPixmap>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>

#include "common/channels.h"
#include "platform/fontspec.h"
#include "platform/gui_thread.h"
#include "platform/hooks.h"
#include "platform/internal.h"
#include "platform/screen.h"
#include "platform/window.h"

namespace tarvex::platform {

namespace {

constexpr int MAX_CHANNEL = 99;
constexpr WindowHandle FRAME_HANDLE = 1;

constexpr std::uint32_t BLACK = 0x000000;
constexpr std::uint32_t WHITE = 0xFFFFFF;

QColor to_qcolor(std::uint32_t c) { return QColor(red_of(c), green_of(c), blue_of(c)); }
QRgb to_qrgb(std::uint32_t c) { return qRgb(red_of(c), green_of(c), blue_of(c)); }
std::uint32_t from_qrgb(QRgb c) { return bgr(qRed(c), qGreen(c), qBlue(c)); }

// Rounds a device coordinate to a whole pixel, halves upwards, within a
// range that keeps integer arithmetic safe.
int snap(double v) {
    v = std::clamp(v, -1.0e7, 1.0e7);
    return static_cast<int>(std::floor(v + 0.5));
}

// ---- configuration ----------------------------------------------------------

// Fills the values left to the library and brings the others into range.
// Answers true when nothing had to change.
bool adjust_config(WindowKind kind, WindowConfig& c) {
    const WindowConfig in = c;
    auto clamp_or = [](int v, int lo, int hi, int def) { return v == -1 ? def : std::clamp(v, lo, hi); };
    c.font_width = clamp_or(c.font_width, 4, 64, CELL_WIDTH);
    c.font_height = clamp_or(c.font_height, 6, 128, CELL_HEIGHT);
    c.colors = clamp_or(c.colors, 2, 1 << 24, 256);
    if (kind == WindowKind::Text) {
        if (c.text_cols == -1) c.text_cols = c.pixels_x > 0 ? c.pixels_x / c.font_width : 80;
        if (c.text_rows == -1) c.text_rows = c.pixels_y > 0 ? c.pixels_y / c.font_height : 25;
        c.text_cols = std::clamp(c.text_cols, 1, 1000);
        c.text_rows = std::clamp(c.text_rows, 1, 10000);
        // A text window's pixels follow its text grid.
        c.pixels_x = c.text_cols * c.font_width;
        c.pixels_y = c.text_rows * c.font_height;
    } else {
        if (c.pixels_x == -1) c.pixels_x = c.text_cols > 0 ? c.text_cols * c.font_width : 1024;
        if (c.pixels_y == -1) c.pixels_y = c.text_rows > 0 ? c.text_rows * c.font_height : 640;
        c.pixels_x = std::clamp(c.pixels_x, 1, 8192);
        c.pixels_y = std::clamp(c.pixels_y, 1, 8192);
        if (c.text_cols == -1) c.text_cols = (c.pixels_x + c.font_width - 1) / c.font_width;
        if (c.text_rows == -1) c.text_rows = (c.pixels_y + c.font_height - 1) / c.font_height;
        c.text_cols = std::clamp(c.text_cols, 1, 1000);
        c.text_rows = std::clamp(c.text_rows, 1, 10000);
    }
    return c.pixels_x == in.pixels_x && c.pixels_y == in.pixels_y && c.text_cols == in.text_cols &&
           c.text_rows == in.text_rows && c.colors == in.colors && c.font_width == in.font_width &&
           c.font_height == in.font_height;
}

// ---- model ----------------------------------------------------------------------

struct Clip {
    int x1, y1, x2, y2;   // corners included
};

struct DrawState {
    std::uint32_t color = BLACK;
    std::uint32_t bk_color = WHITE;
    int text_index = 0;
    int bk_index = 15;
    std::uint32_t text_color = BLACK;
    double x = 0.0;   // current position, window pixels
    double y = 0.0;
    bool viewport_set = false;
    Clip viewport{0, 0, 0, 0};
    bool world_set = false;
    bool y_up = false;
    double wx1 = 0, wy1 = 0, wx2 = 1, wy2 = 1;
    std::string font;   // description of the selected font, empty: the default
};

struct Model {
    int id = 0;
    int channel = 0;
    WindowKind kind = WindowKind::Text;
    mutable std::mutex mutex;
    WindowConfig config;
    std::string title;
    DrawState ds;
    Cursor cursor = Cursor::Arrow;

    Clip viewport() const {   // mutex held
        if (ds.viewport_set) return ds.viewport;
        return {0, 0, config.pixels_x - 1, config.pixels_y - 1};
    }
    double map_x(double x) const {
        if (!ds.world_set) return viewport().x1 + x;
        const Clip v = viewport();
        return v.x1 + (x - ds.wx1) * (v.x2 - v.x1) / (ds.wx2 - ds.wx1);
    }
    double map_y(double y) const {
        if (!ds.world_set) return viewport().y1 + y;
        const Clip v = viewport();
        if (ds.y_up) return v.y1 + (ds.wy2 - y) * (v.y2 - v.y1) / (ds.wy2 - ds.wy1);
        return v.y1 + (y - ds.wy1) * (v.y2 - v.y1) / (ds.wy2 - ds.wy1);
    }
};

std::mutex g_registry_mutex;
std::array<std::shared_ptr<Model>, MAX_CHANNEL + 1> g_channels;
std::map<WindowHandle, std::shared_ptr<Model>> g_by_handle;
WindowHandle g_next_id = FRAME_HANDLE + 1;
std::atomic<int> g_active{0};

std::shared_ptr<Model> model_of(int channel) {
    if (channel < 0 || channel > MAX_CHANNEL) return nullptr;
    std::lock_guard<std::mutex> lock(g_registry_mutex);
    return g_channels[channel];
}

std::shared_ptr<Model> model_by_handle(WindowHandle h) {
    std::lock_guard<std::mutex> lock(g_registry_mutex);
    auto it = g_by_handle.find(h);
    return it == g_by_handle.end() ? nullptr : it->second;
}

// The lines written to a channel go to whatever window is open on it.
class ChannelWindowSink : public LineSink {
public:
    void write_line(std::string_view line) override { Window(channel).write_line(line); }
    int channel = 0;
};

std::array<ChannelWindowSink, MAX_CHANNEL + 1>& channel_sinks() {
    static std::array<ChannelWindowSink, MAX_CHANNEL + 1> sinks = [] {
        std::array<ChannelWindowSink, MAX_CHANNEL + 1> s;
        for (int i = 0; i <= MAX_CHANNEL; ++i) s[i].channel = i;
        return s;
    }();
    return sinks;
}

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

// ---- views (GUI thread) -------------------------------------------------------------

struct TextRow {
    std::string text;
    std::uint32_t fg = BLACK;
    std::uint32_t bk = WHITE;
};

class View;
class SubWindow : public QMdiSubWindow {
public:
    explicit SubWindow(int channel) : channel_(channel) {}
    bool closing_by_program = false;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    int channel_;
};

class View : public QAbstractScrollArea {
public:
    View(int id, WindowKind kind) : id_(id), kind_(kind) {
        setFrameShape(QFrame::NoFrame);
        setFocusPolicy(Qt::StrongFocus);
        const bool text = kind == WindowKind::Text;
        setVerticalScrollBarPolicy(text ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
        setHorizontalScrollBarPolicy(text ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
        viewport()->setAutoFillBackground(false);
    }
    int id() const { return id_; }
    WindowKind kind() const { return kind_; }

    void configure(const WindowConfig& c) {
        cell_w_ = c.font_width;
        cell_h_ = c.font_height;
        if (kind_ == WindowKind::Text) {
            cols_ = c.text_cols;
            rows_.resize(static_cast<std::size_t>(c.text_rows), TextRow{std::string(), text_fg_, clear_bk_});
            cursor_row_ = std::min(cursor_row_, c.text_rows);
            font_ = cell_font(cell_w_, cell_h_);
            update_scroll_ranges();
        } else {
            grow_image(c.pixels_x, c.pixels_y, true);
        }
        viewport()->update();
    }

    // ---- text
    void set_text_colors(std::uint32_t fg, std::uint32_t bk) {
        text_fg_ = fg;
        text_bk_ = bk;
    }
    void clear(std::uint32_t bk) {
        clear_bk_ = bk;
        if (kind_ == WindowKind::Text) {
            for (auto& r : rows_) r = TextRow{std::string(), text_fg_, bk};
            cursor_row_ = 0;
        } else {
            image_.fill(to_qrgb(bk));
        }
        viewport()->update();
    }
    void write_line(std::string_view line) {
        if (kind_ != WindowKind::Text || rows_.empty()) return;
        std::string text(line);
        for (char& ch : text)
            if (static_cast<unsigned char>(ch) < 0x20) ch = ' ';
        // Blanks that would reach past the last column show nothing: they
        // do not start rows of their own (a blank-padded name stays one row).
        if (static_cast<int>(text.size()) > cols_) {
            const std::size_t last = text.find_last_not_of(' ');
            text.resize(last == std::string::npos ? 0 : last + 1);
        }
        std::size_t pos = 0;
        do {
            if (cursor_row_ >= static_cast<int>(rows_.size())) {
                rows_.erase(rows_.begin());
                rows_.push_back(TextRow{std::string(), text_fg_, clear_bk_});
                cursor_row_ = static_cast<int>(rows_.size()) - 1;
            }
            const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(cols_), text.size() - pos);
            rows_[static_cast<std::size_t>(cursor_row_)] = TextRow{text.substr(pos, n), text_fg_, text_bk_};
            ++cursor_row_;
            pos += n;
        } while (pos < text.size());
        ensure_visible(cursor_row_ - 1);
        viewport()->update();
    }
    void scroll(ScrollCommand cmd) {
        QScrollBar* bar = verticalScrollBar();
        const int page = std::max(1, visible_rows());
        switch (cmd) {
            case ScrollCommand::LineUp: bar->setValue(bar->value() - 1); break;
            case ScrollCommand::LineDown: bar->setValue(bar->value() + 1); break;
            case ScrollCommand::PageUp: bar->setValue(bar->value() - page); break;
            case ScrollCommand::PageDown: bar->setValue(bar->value() + page); break;
            case ScrollCommand::Top: bar->setValue(0); break;
            case ScrollCommand::Bottom: bar->setValue(bar->maximum()); break;
        }
        viewport()->update();
    }
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        for (const auto& r : rows_) {
            std::string s = r.text;
            while (!s.empty() && s.back() == ' ') s.pop_back();
            out.push_back(s);
        }
        return out;
    }
    int first_visible_row() const { return verticalScrollBar()->value(); }
    void set_caret(bool on) {
        caret_ = on;
        viewport()->update();
    }

    // ---- graphics
    QImage& image() { return image_; }
    void grow_image(int w, int h, bool exact) {
        if (kind_ != WindowKind::Graphics) return;
        if (!exact) {
            w = std::max(w, image_.width());
            h = std::max(h, image_.height());
        }
        if (w == image_.width() && h == image_.height()) return;
        QImage next(std::max(1, w), std::max(1, h), QImage::Format_RGB32);
        next.fill(to_qrgb(clear_bk_));
        if (!image_.isNull()) {
            QPainter p(&next);
            p.drawImage(0, 0, image_);
        }
        image_ = next;
    }
    void changed() { viewport()->update(); }

    // ---- size
    // Size of the drawing area for a client area of w by h pixels: text
    // windows add their scroll bars outside it.
    QSize outer_size_for(int w, int h) const {
        if (kind_ != WindowKind::Text) return QSize(w, h);
        const int ext = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
        const bool vbar = static_cast<int>(rows_.size()) * cell_h_ > h;
        const bool hbar = cols_ * cell_w_ > w;
        return QSize(w + (vbar ? ext : 0), h + (hbar ? ext : 0));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(viewport());
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setRenderHint(QPainter::TextAntialiasing, false);
        if (kind_ == WindowKind::Graphics) {
            p.fillRect(viewport()->rect(), to_qcolor(clear_bk_));
            p.drawImage(0, 0, image_);
            return;
        }
        p.fillRect(viewport()->rect(), to_qcolor(clear_bk_));
        p.setFont(font_);
        const QFontMetrics fm(font_);
        const int top = verticalScrollBar()->value();
        const int left = horizontalScrollBar()->value();
        const int baseline = (cell_h_ - fm.height()) / 2 + fm.ascent();
        const int nrows = visible_rows() + 1;
        for (int r = 0; r < nrows; ++r) {
            const int row = top + r;
            if (row >= static_cast<int>(rows_.size())) break;
            const TextRow& tr = rows_[static_cast<std::size_t>(row)];
            const int y = r * cell_h_;
            p.fillRect(QRect(0, y, viewport()->width(), cell_h_), to_qcolor(tr.bk));
            p.setPen(to_qcolor(tr.fg));
            for (int col = left; col < static_cast<int>(tr.text.size()); ++col) {
                const int x = (col - left) * cell_w_;
                if (x > viewport()->width()) break;
                const char ch = tr.text[static_cast<std::size_t>(col)];
                if (ch != ' ') p.drawText(x, y + baseline, QString(QLatin1Char(ch)));
            }
        }
        if (caret_ && cursor_row_ >= top && cursor_row_ < top + nrows)
            p.fillRect(QRect(0, (cursor_row_ - top) * cell_h_ + cell_h_ - 3, cell_w_, 2), to_qcolor(text_fg_));
    }
    void resizeEvent(QResizeEvent* e) override {
        // A text window that shows its newest line keeps showing it when its
        // size changes: minimised, maximised (the frame maximises every child
        // it activates while one is maximised) or restored. Qt delivers the
        // resize of a hidden window late and without its old size, so the
        // rows shown before are kept here.
        bool newest_in_view = false;
        if (kind_ == WindowKind::Text && cursor_row_ > 0) {
            const int top = verticalScrollBar()->value();
            newest_in_view = cursor_row_ - 1 >= top && cursor_row_ - 1 < top + std::max(1, shown_rows_);
        }
        QAbstractScrollArea::resizeEvent(e);
        if (kind_ == WindowKind::Text) {
            update_scroll_ranges();
            if (newest_in_view) ensure_visible(cursor_row_ - 1);
            shown_rows_ = visible_rows();
        } else {
            grow_image(viewport()->width(), viewport()->height(), false);
        }
    }

private:
    int visible_rows() const { return cell_h_ > 0 ? viewport()->height() / cell_h_ : 0; }
    void update_scroll_ranges() {
        const int vis_rows = visible_rows();
        const int vis_cols = cell_w_ > 0 ? viewport()->width() / cell_w_ : 0;
        verticalScrollBar()->setRange(0, std::max(0, static_cast<int>(rows_.size()) - vis_rows));
        verticalScrollBar()->setPageStep(std::max(1, vis_rows));
        horizontalScrollBar()->setRange(0, std::max(0, cols_ - vis_cols));
        horizontalScrollBar()->setPageStep(std::max(1, vis_cols));
    }
    void ensure_visible(int row) {
        QScrollBar* bar = verticalScrollBar();
        const int vis = std::max(1, visible_rows());
        if (row < bar->value())
            bar->setValue(row);
        else if (row >= bar->value() + vis)
            bar->setValue(row - vis + 1);
    }

    int id_;
    WindowKind kind_;
    int cell_w_ = CELL_WIDTH;
    int cell_h_ = CELL_HEIGHT;
    int shown_rows_ = 0;   // text rows in view at the last resize
    // text
    int cols_ = 80;
    std::vector<TextRow> rows_;
    int cursor_row_ = 0;
    bool caret_ = false;
    std::uint32_t text_fg_ = BLACK;
    std::uint32_t text_bk_ = WHITE;
    QFont font_;
    // both
    std::uint32_t clear_bk_ = WHITE;
    // graphics
    QImage image_;
};

struct Gui {
    SubWindow* sub = nullptr;
    View* view = nullptr;
    WindowPlace normal;   // the last placed size, in cells
    bool placed = false;
};

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

// Runs fn on the window's view, in order with the caller's other changes.
template <typename F>
void to_view(int id, F fn) {
    dispatch([id, fn = std::move(fn)]() mutable {
        if (Gui* g = gui(id)) fn(*g);
    });
}

template <typename R, typename F>
R ask_view(int id, R fallback, F fn) {
    return call_blocking_result<R>(std::function<R()>([&]() -> R {
        if (Gui* g = gui(id)) return fn(*g);
        return fallback;
    }));
}

// ---- raster operations (GUI thread) -------------------------------------------------

QRect clip_rect(const QImage& img, const Clip& c) {
    return QRect(QPoint(c.x1, c.y1), QPoint(c.x2, c.y2)).normalized().intersected(img.rect());
}

void put_pixel(QImage& img, const QRect& clip, int x, int y, QRgb c) {
    if (clip.contains(x, y)) reinterpret_cast<QRgb*>(img.scanLine(y))[x] = c;
}

void fill_rect(QImage& img, const QRect& clip, int l, int t, int r, int b, QRgb c) {
    const QRect area = QRect(l, t, r - l, b - t).intersected(clip);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        std::fill(line + area.left(), line + area.right() + 1, c);
    }
}

// A line between whole pixels, both ends included.
void draw_line(QImage& img, const QRect& clip, int x0, int y0, int x1, int y1, QRgb c) {
    long long dx = std::llabs(static_cast<long long>(x1) - x0);
    long long dy = -std::llabs(static_cast<long long>(y1) - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    long long err = dx + dy;
    for (;;) {
        put_pixel(img, clip, x0, y0, c);
        if (x0 == x1 && y0 == y1) break;
        const long long e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

// Cuts a segment to a rectangle (Liang-Barsky); false when nothing is inside.
bool clip_segment(double& x0, double& y0, double& x1, double& y1, double l, double t, double r, double b) {
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) return false;
    double u0 = 0.0, u1 = 1.0;
    const double dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - l, r - x0, y0 - t, b - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) return false;
        } else {
            const double u = q[i] / p[i];
            if (p[i] < 0.0)
                u0 = std::max(u0, u);
            else
                u1 = std::min(u1, u);
        }
    }
    if (u0 > u1) return false;
    const double nx0 = x0 + u0 * dx, ny0 = y0 + u0 * dy;
    x1 = x0 + u1 * dx;
    y1 = y0 + u1 * dy;
    x0 = nx0;
    y0 = ny0;
    return true;
}

}  // namespace

// ---- colours ------------------------------------------------------------------------

std::uint32_t palette_color(int index) {
    static constexpr std::uint32_t table[16] = {
        bgr(0, 0, 0),       bgr(0, 0, 128),     bgr(0, 128, 0),   bgr(0, 128, 128),
        bgr(128, 0, 0),     bgr(128, 0, 128),   bgr(128, 128, 0), bgr(192, 192, 192),
        bgr(128, 128, 128), bgr(0, 0, 255),     bgr(0, 255, 0),   bgr(0, 255, 255),
        bgr(255, 0, 0),     bgr(255, 0, 255),   bgr(255, 255, 0), bgr(255, 255, 255)};
    return table[static_cast<unsigned>(index) & 15u];
}

// ---- channels ------------------------------------------------------------------------

bool open_window(int channel, WindowKind kind, std::string_view title) {
    if (channel < 0 || channel > MAX_CHANNEL) return false;
    std::shared_ptr<Model> m;
    bool created = false;
    {
        std::lock_guard<std::mutex> lock(g_registry_mutex);
        m = g_channels[channel];
        if (m && m->kind != kind) return false;
        if (!m) {
            m = std::make_shared<Model>();
            m->id = g_next_id++;
            m->channel = channel;
            m->kind = kind;
            adjust_config(kind, m->config);
            g_channels[channel] = m;
            g_by_handle[m->id] = m;
            created = true;
        }
    }
    std::string t(title);
    WindowConfig config;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        m->title = t;
        m->config.title = t;
        config = m->config;
    }
    const int id = m->id;
    if (created) {
        set_channel_sink(channel, &channel_sinks()[channel]);
        dispatch([id, channel, kind, config, t] { create_gui(id, channel, kind, config, t); });
    } else {
        to_view(id, [t](Gui& g) { g.sub->setWindowTitle(QString::fromLatin1(t.c_str())); });
    }
    g_active = channel;
    return true;
}

void close_window(int channel) {
    std::shared_ptr<Model> m;
    {
        std::lock_guard<std::mutex> lock(g_registry_mutex);
        if (channel < 0 || channel > MAX_CHANNEL || !g_channels[channel]) return;
        m = g_channels[channel];
        g_channels[channel] = nullptr;
        g_by_handle.erase(m->id);
    }
    if (channel_sink(channel) == &channel_sinks()[channel]) set_channel_sink(channel, nullptr);
    int expected = channel;
    g_active.compare_exchange_strong(expected, 0);
    const int id = m->id;
    dispatch([id] { remove_gui(id); });
}

namespace internal {

void close_all_windows() {
    for (int c = 0; c <= MAX_CHANNEL; ++c) close_window(c);
    run_posted();
    std::vector<int> ids;
    for (auto& [id, g] : g_gui) ids.push_back(id);
    for (int id : ids) remove_gui(id);
    g_active = 0;
}

QWidget* channel_view(int channel) {
    auto m = model_of(channel);
    Gui* g = m ? gui(m->id) : nullptr;
    return g ? g->view : nullptr;
}

}  // namespace internal

void set_active_window(int channel) {
    if (model_of(channel)) g_active = channel;
}

int active_channel() { return g_active.load(); }

Window active_window() { return Window(g_active.load()); }

WindowHandle window_handle(int channel) {
    if (channel == FRAME_CHANNEL) return FRAME_HANDLE;
    auto m = model_of(channel);
    return m ? m->id : 0;
}

void scroll_window(WindowHandle handle, ScrollCommand command) {
    if (auto m = model_by_handle(handle)) Window(m->channel).scroll(command);
}

void set_window_text(WindowHandle handle, std::string_view text) {
    std::string t(text);
    if (handle == FRAME_HANDLE) {
        dispatch([t] {
            if (QWidget* f = internal::frame_widget()) f->setWindowTitle(QString::fromLatin1(t.c_str()));
        });
        return;
    }
    auto m = model_by_handle(handle);
    if (!m) return;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        m->title = t;
        m->config.title = t;
    }
    to_view(m->id, [t](Gui& g) { g.sub->setWindowTitle(QString::fromLatin1(t.c_str())); });
}

std::string window_text(WindowHandle handle) {
    if (handle == FRAME_HANDLE)
        return call_blocking_result<std::string>([] {
            QWidget* f = internal::frame_widget();
            return f ? f->windowTitle().toStdString() : std::string();
        });
    auto m = model_by_handle(handle);
    if (!m) return {};
    std::lock_guard<std::mutex> lock(m->mutex);
    return m->title;
}

int init_fonts() {
    return call_blocking_result<int>([] {
        load_fonts();
        return g_font_count;
    });
}

// ---- Window -------------------------------------------------------------------------------

bool Window::exists() const { return model_of(channel_) != nullptr; }

WindowKind Window::kind() const {
    auto m = model_of(channel_);
    return m ? m->kind : WindowKind::Text;
}

bool Window::set_config(WindowConfig& config) {
    auto m = model_of(channel_);
    if (!m) return false;
    const bool exact = adjust_config(m->kind, config);
    WindowConfig applied;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        if (!config.title.empty()) m->title = config.title;
        config.title = m->title;
        m->config = config;
        applied = config;
    }
    to_view(m->id, [applied](Gui& g) {
        g.view->configure(applied);
        g.sub->setWindowTitle(QString::fromLatin1(applied.title.c_str()));
    });
    return exact;
}

bool Window::get_config(WindowConfig& config) const {
    auto m = model_of(channel_);
    if (!m) return false;
    std::lock_guard<std::mutex> lock(m->mutex);
    config = m->config;
    config.title = m->title;
    return true;
}

bool Window::set_place(const WindowPlace& p) {
    auto m = model_of(channel_);
    if (!m) return false;
    if (p.state == WindowState::Place && (p.width <= 0 || p.height <= 0)) return false;
    to_view(m->id, [p](Gui& g) {
        switch (p.state) {
            case WindowState::Place: place(g, p); break;
            case WindowState::Minimised: g.sub->showMinimized(); break;
            case WindowState::Maximised: g.sub->showMaximized(); break;
            case WindowState::Restored:
                g.sub->showNormal();
                if (g.placed) place(g, g.normal);
                break;
        }
    });
    return true;
}

bool Window::get_place(WindowPlace& p) const {
    auto m = model_of(channel_);
    if (!m) return false;
    return ask_view<bool>(m->id, false, [&](Gui& g) {
        if (g.sub->isMinimized()) {
            p = g.normal;
            p.state = WindowState::Minimised;
            return true;
        }
        const QSize vp = g.view->viewport()->size();
        p.state = g.sub->isMaximized() ? WindowState::Maximised : WindowState::Restored;
        p.x = g.sub->x() / CELL_WIDTH;
        p.y = g.sub->y() / CELL_HEIGHT;
        p.width = vp.width() / CELL_WIDTH;
        p.height = vp.height() / CELL_HEIGHT;
        return true;
    });
}

void Window::focus() {
    auto m = model_of(channel_);
    if (!m) return;
    g_active = channel_;
    to_view(m->id, [](Gui& g) {
        if (QMdiArea* mdi = internal::frame_mdi_area()) mdi->setActiveSubWindow(g.sub);
        g.view->setFocus();
    });
}

void Window::clear() {
    auto m = model_of(channel_);
    if (!m) return;
    std::uint32_t bk;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        bk = m->ds.bk_color;
        const Clip v = m->viewport();
        m->ds.x = v.x1;
        m->ds.y = v.y1;
    }
    to_view(m->id, [bk](Gui& g) { g.view->clear(bk); });
}

void Window::set_caret(bool on) {
    auto m = model_of(channel_);
    if (m) to_view(m->id, [on](Gui& g) { g.view->set_caret(on); });
}

namespace {

// Sets the text or the background colour of a window from the palette by
// index, and hands the pair on to its view; returns the previous index.
int set_color_index(int channel, int index, int DrawState::*slot, std::uint32_t DrawState::*color) {
    auto m = model_of(channel);
    if (!m) return 0;
    std::uint32_t fg, bk;
    int previous;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        previous = m->ds.*slot;
        m->ds.*slot = index & 15;
        m->ds.*color = palette_color(index);
        fg = m->ds.text_color;
        bk = m->ds.bk_color;
    }
    to_view(m->id, [fg, bk](Gui& g) { g.view->set_text_colors(fg, bk); });
    return previous;
}

}  // namespace

int Window::set_text_color_index(int index) {
    return set_color_index(channel_, index, &DrawState::text_index, &DrawState::text_color);
}

int Window::set_bk_color_index(int index) {
    return set_color_index(channel_, index, &DrawState::bk_index, &DrawState::bk_color);
}

void Window::set_mouse_cursor(Cursor cursor) {
    auto m = model_of(channel_);
    if (!m) return;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        m->cursor = cursor;
    }
    to_view(m->id, [cursor](Gui& g) {
        g.view->viewport()->setCursor(cursor == Cursor::Wait ? Qt::WaitCursor : Qt::ArrowCursor);
    });
}

Cursor Window::mouse_cursor() const {
    auto m = model_of(channel_);
    if (!m) return Cursor::Arrow;
    std::lock_guard<std::mutex> lock(m->mutex);
    return m->cursor;
}

void Window::write_line(std::string_view text) {
    auto m = model_of(channel_);
    if (!m || m->kind != WindowKind::Text) return;
    std::string line(text);
    to_view(m->id, [line](Gui& g) { g.view->write_line(line); });
}

void Window::scroll(ScrollCommand command) {
    auto m = model_of(channel_);
    if (m) to_view(m->id, [command](Gui& g) { g.view->scroll(command); });
}

std::vector<std::string> Window::text_lines() const {
    auto m = model_of(channel_);
    if (!m) return {};
    return ask_view<std::vector<std::string>>(m->id, {}, [](Gui& g) { return g.view->lines(); });
}

int Window::first_visible_row() const {
    auto m = model_of(channel_);
    if (!m) return 0;
    return ask_view<int>(m->id, 0, [](Gui& g) { return g.view->first_visible_row(); });
}

// ---- graphics -------------------------------------------------------------------------------

std::uint32_t Window::set_color_rgb(std::uint32_t color) {
    auto m = model_of(channel_);
    if (!m) return 0;
    std::lock_guard<std::mutex> lock(m->mutex);
    const std::uint32_t previous = m->ds.color;
    m->ds.color = color & 0xFFFFFFu;
    return previous;
}

std::uint32_t Window::set_bk_color_rgb(std::uint32_t color) {
    auto m = model_of(channel_);
    if (!m) return 0;
    std::lock_guard<std::mutex> lock(m->mutex);
    const std::uint32_t previous = m->ds.bk_color;
    m->ds.bk_color = color & 0xFFFFFFu;
    return previous;
}

std::uint32_t Window::color_rgb() const {
    auto m = model_of(channel_);
    if (!m) return 0;
    std::lock_guard<std::mutex> lock(m->mutex);
    return m->ds.color;
}

std::uint32_t Window::bk_color_rgb() const {
    auto m = model_of(channel_);
    if (!m) return 0;
    std::lock_guard<std::mutex> lock(m->mutex);
    return m->ds.bk_color;
}

void Window::move_to(int x, int y) {
    auto m = model_of(channel_);
    if (!m) return;
    std::lock_guard<std::mutex> lock(m->mutex);
    const Clip v = m->viewport();
    m->ds.x = v.x1 + x;
    m->ds.y = v.y1 + y;
}

void Window::move_to_w(double x, double y) {
    auto m = model_of(channel_);
    if (!m) return;
    std::lock_guard<std::mutex> lock(m->mutex);
    m->ds.x = m->map_x(x);
    m->ds.y = m->map_y(y);
}

namespace {

// Draws from the current position to (dx, dy) in window pixels and moves there.
void line_from_current(const std::shared_ptr<Model>& m, double dx, double dy) {
    double x0, y0, x1 = dx, y1 = dy;
    Clip v;
    std::uint32_t color;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        x0 = m->ds.x;
        y0 = m->ds.y;
        m->ds.x = dx;
        m->ds.y = dy;
        v = m->viewport();
        color = m->ds.color;
    }
    // Cut to the viewport with a margin first, so that far-away points cost nothing.
    if (!clip_segment(x0, y0, x1, y1, v.x1 - 2.0, v.y1 - 2.0, v.x2 + 2.0, v.y2 + 2.0)) return;
    const int ix0 = snap(x0), iy0 = snap(y0), ix1 = snap(x1), iy1 = snap(y1);
    to_view(m->id, [=](Gui& g) {
        QImage& img = g.view->image();
        draw_line(img, clip_rect(img, v), ix0, iy0, ix1, iy1, to_qrgb(color));
        g.view->changed();
    });
}

void rectangle_device(const std::shared_ptr<Model>& m, Fill fill, double x1, double y1, double x2, double y2,
                      const Clip& v, std::uint32_t color) {
    const int l = snap(std::min(x1, x2)), r = snap(std::max(x1, x2));
    const int t = snap(std::min(y1, y2)), b = snap(std::max(y1, y2));
    if (r <= l || b <= t) return;
    to_view(m->id, [=](Gui& g) {
        QImage& img = g.view->image();
        const QRect clip = clip_rect(img, v);
        const QRgb c = to_qrgb(color);
        if (fill == Fill::Filled) {
            fill_rect(img, clip, l, t, r, b, c);
        } else {
            fill_rect(img, clip, l, t, r, t + 1, c);
            fill_rect(img, clip, l, b - 1, r, b, c);
            fill_rect(img, clip, l, t, l + 1, b, c);
            fill_rect(img, clip, r - 1, t, r, b, c);
        }
        g.view->changed();
    });
}

void polygon_device(const std::shared_ptr<Model>& m, Fill fill, const std::vector<QPoint>& pts, const Clip& v,
                    std::uint32_t color) {
    if (pts.size() < 2) return;
    to_view(m->id, [=](Gui& g) {
        QImage& img = g.view->image();
        const QRect clip = clip_rect(img, v);
        if (fill == Fill::Filled && pts.size() >= 3) {
            QPainter p(&img);
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setClipRect(clip);
            p.setPen(Qt::NoPen);
            p.setBrush(to_qcolor(color));
            p.drawPolygon(QPolygon(QList<QPoint>(pts.begin(), pts.end())), Qt::OddEvenFill);
        } else {
            for (std::size_t i = 0; i < pts.size(); ++i) {
                const QPoint a = pts[i], b = pts[(i + 1) % pts.size()];
                draw_line(img, clip, a.x(), a.y(), b.x(), b.y(), to_qrgb(color));
            }
        }
        g.view->changed();
    });
}

}  // namespace

void Window::line_to(int x, int y) {
    auto m = model_of(channel_);
    if (!m) return;
    double dx, dy;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        const Clip v = m->viewport();
        dx = v.x1 + x;
        dy = v.y1 + y;
    }
    line_from_current(m, dx, dy);
}

void Window::line_to_w(double x, double y) {
    auto m = model_of(channel_);
    if (!m) return;
    double dx, dy;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        dx = m->map_x(x);
        dy = m->map_y(y);
    }
    line_from_current(m, dx, dy);
}

void Window::rectangle(Fill fill, int x1, int y1, int x2, int y2) {
    auto m = model_of(channel_);
    if (!m) return;
    Clip v;
    std::uint32_t color;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        v = m->viewport();
        color = m->ds.color;
    }
    rectangle_device(m, fill, v.x1 + x1, v.y1 + y1, v.x1 + x2, v.y1 + y2, v, color);
}

void Window::rectangle_w(Fill fill, double x1, double y1, double x2, double y2) {
    auto m = model_of(channel_);
    if (!m) return;
    Clip v;
    std::uint32_t color;
    double a, b, c, d;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        v = m->viewport();
        color = m->ds.color;
        a = m->map_x(x1);
        b = m->map_y(y1);
        c = m->map_x(x2);
        d = m->map_y(y2);
    }
    if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(c) || !std::isfinite(d)) return;
    rectangle_device(m, fill, a, b, c, d, v, color);
}

void Window::polygon(Fill fill, const std::vector<PixelPoint>& points) {
    auto m = model_of(channel_);
    if (!m) return;
    std::vector<QPoint> pts;
    Clip v;
    std::uint32_t color;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        v = m->viewport();
        color = m->ds.color;
        for (const auto& p : points) pts.emplace_back(snap(v.x1 + double(p.x)), snap(v.y1 + double(p.y)));
    }
    polygon_device(m, fill, pts, v, color);
}

void Window::polygon_w(Fill fill, const std::vector<WorldPoint>& points) {
    auto m = model_of(channel_);
    if (!m) return;
    std::vector<QPoint> pts;
    Clip v;
    std::uint32_t color;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        v = m->viewport();
        color = m->ds.color;
        for (const auto& p : points) {
            const double x = m->map_x(p.x), y = m->map_y(p.y);
            if (!std::isfinite(x) || !std::isfinite(y)) return;
            pts.emplace_back(snap(x), snap(y));
        }
    }
    polygon_device(m, fill, pts, v, color);
}

void Window::out_text(std::string_view text) {
    auto m = model_of(channel_);
    if (!m || text.empty()) return;
    std::string t(text);
    Clip v;
    std::uint32_t color;
    std::string font;
    int x, y;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        v = m->viewport();
        color = m->ds.color;
        font = m->ds.font;
        x = snap(m->ds.x);
        y = snap(m->ds.y);
    }
    to_view(m->id, [=](Gui& g) {
        QImage& img = g.view->image();
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setRenderHint(QPainter::TextAntialiasing, false);
        p.setClipRect(clip_rect(img, v));
        const QFont f = make_font(font);
        p.setFont(f);
        p.setPen(to_qcolor(color));
        p.drawText(x, y + QFontMetrics(f).ascent(), QString::fromLatin1(t.c_str()));
        g.view->changed();
    });
}

int Window::select_font(std::string_view description) {
    auto m = model_of(channel_);
    FontSpec spec;
    if (!m || !parse_font_description(description, spec)) return -1;
    std::lock_guard<std::mutex> lock(m->mutex);
    m->ds.font.assign(description);
    const std::string family = font_family_for(spec);
    return family == "DejaVu Sans" ? 0 : family == "DejaVu Sans Mono" ? 1 : 2;
}

bool Window::set_viewport(int x1, int y1, int x2, int y2) {
    auto m = model_of(channel_);
    if (!m) return false;
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    std::lock_guard<std::mutex> lock(m->mutex);
    m->ds.viewport_set = true;
    m->ds.viewport = {x1, y1, x2, y2};
    m->ds.x = x1;
    m->ds.y = y1;
    return true;
}

bool Window::set_world_window(bool y_up, double x1, double y1, double x2, double y2) {
    auto m = model_of(channel_);
    if (!m) return false;
    if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return false;
    if (x1 == x2 || y1 == y2) return false;
    std::lock_guard<std::mutex> lock(m->mutex);
    m->ds.world_set = true;
    m->ds.y_up = y_up;
    m->ds.wx1 = x1;
    m->ds.wy1 = y1;
    m->ds.wx2 = x2;
    m->ds.wy2 = y2;
    return true;
}

WorldPoint Window::world_to_pixel(double x, double y) const {
    auto m = model_of(channel_);
    if (!m) return {0.0, 0.0};
    std::lock_guard<std::mutex> lock(m->mutex);
    return {m->map_x(x), m->map_y(y)};
}

int Window::save_image(std::string_view file_name, int x1, int y1, int x2, int y2) {
    auto m = model_of(channel_);
    if (!m || m->kind != WindowKind::Graphics) return -1;
    const std::string name(file_name);
    if (name.empty()) return -1;
    return ask_view<int>(m->id, -1, [&](Gui& g) {
        const QImage& img = g.view->image();
        const QRect area = QRect(QPoint(x1, y1), QPoint(x2, y2)).normalized().intersected(img.rect());
        if (area.isEmpty()) return -1;
        const QImage part = img.copy(area).convertToFormat(QImage::Format_RGB888);
        return part.save(QString::fromLocal8Bit(name.c_str()), "BMP") ? 0 : -1;
    });
}

std::uint32_t Window::pixel(int x, int y) const {
    auto m = model_of(channel_);
    if (!m || m->kind != WindowKind::Graphics) return 0;
    return ask_view<std::uint32_t>(m->id, 0u, [&](Gui& g) -> std::uint32_t {
        const QImage& img = g.view->image();
        if (!img.rect().contains(x, y)) return 0;
        return from_qrgb(img.pixel(x, y));
    });
}

}  // namespace tarvex::platform

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
