// The frame window: a main window with a multiple-document area, the menu bar
// and a status bar; message boxes, the About text, the end of the program,
// the close and function-key filters, and the application start-up.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QStyleFactory>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/app.h"
#include "platform/gui_thread.h"
#include "platform/hooks.h"
#include "platform/internal.h"
#include "platform/menu.h"
#include "platform/threads.h"
#include "platform/window.h"

namespace tarvex::platform {

namespace {

// Client area of a new frame, in character cells.
constexpr int FRAME_COLS = 128;
constexpr int FRAME_ROWS = 40;

QString to_qt_text(std::string_view text) {
    QString s = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

// ---- filters -------------------------------------------------------------

std::mutex g_hooks_mutex;
std::vector<std::pair<HookHandle, std::function<bool()>>> g_close_filters;      // newest first
std::vector<std::pair<HookHandle, std::function<bool(int)>>> g_key_filters;     // newest first
HookHandle g_next_hook = 1;
bool (*g_modal_dialog_query)() = nullptr;

// ---- frame state (GUI thread) ----------------------------------------------

class Frame;
QPointer<Frame> g_frame;
QLabel* g_status_label = nullptr;
QObject* g_key_filter_object = nullptr;
bool g_frame_closing_by_program = false;

std::mutex g_state_mutex;   // guards the values below, read from any thread
std::string g_status_text;
std::string g_about_text;
std::map<int, std::string> g_library_messages = {{MSG_RUNNING, "Running"}};
int g_status_shows_message = 0;   // library message on the bar, 0: the program's text
EndBehaviour g_end_behaviour = EndBehaviour::Ask;
std::function<Answer(const MessageBox&)> g_responder;

std::atomic<bool> g_ending{false};
std::atomic<int> g_exit_status{0};

void show_status_on_bar(const std::string& text) {
    if (g_status_label) g_status_label->setText(QString::fromLatin1(text.c_str()));
}

class Frame : public QMainWindow {
public:
    Frame() {
        setAttribute(Qt::WA_DeleteOnClose, false);
        mdi_ = new QMdiArea(this);
        mdi_->setBackground(QColor(0x80, 0x80, 0x80));
        setCentralWidget(mdi_);
        g_status_label = new QLabel(this);
        g_status_label->setObjectName(QStringLiteral("tarvex_status"));
        g_status_label->setMinimumWidth(0);
        statusBar()->addPermanentWidget(g_status_label, 1);
        statusBar()->setSizeGripEnabled(false);
    }
    QMdiArea* mdi() const { return mdi_; }

protected:
    void closeEvent(QCloseEvent* event) override {
        if (!g_frame_closing_by_program && close_command_refused()) {
            event->ignore();
            return;
        }
        event->accept();
        if (!g_frame_closing_by_program) {
            g_ending = true;
            QCoreApplication::exit(0);
        }
    }

private:
    QMdiArea* mdi_;
};

// Function keys: the release of F1..F12 (not an auto-repeat) goes to the
// filters. An event that is passed on propagates to the receiver's parents and
// arrives here again for each of them; it is offered to the filters once.
class KeyFilterObject : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyRelease) {
            auto* key = static_cast<QKeyEvent*>(event);
            const int k = key->key();
            if (!key->isAutoRepeat() && k >= Qt::Key_F1 && k <= Qt::Key_F12) {
                if (key == last_event_ && is_propagation(watched)) {
                    last_watched_ = watched;
                    return false;
                }
                last_event_ = key;
                last_watched_ = watched;
                if (deliver_function_key(k - Qt::Key_F1 + 1)) {
                    last_event_ = nullptr;
                    return true;
                }
                return false;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    // True when watched is a parent of the object the event was last offered to.
    bool is_propagation(QObject* watched) const {
        if (!last_watched_) return false;
        for (QObject* o = last_watched_->parent(); o; o = o->parent())
            if (o == watched) return true;
        return false;
    }
    const QKeyEvent* last_event_ = nullptr;
    QPointer<QObject> last_watched_;
};

void show_about() {
    std::string text;
    {
        std::lock_guard<std::mutex> lock(g_state_mutex);
        text = g_about_text;
    }
    QMessageBox::about(g_frame, QStringLiteral("About"), to_qt_text(text));
}

void copy_active_text() {
    Window w = active_window();
    if (!w.exists() || w.kind() != WindowKind::Text) return;
    QString all;
    for (const auto& line : w.text_lines()) {
        all += QString::fromLatin1(line.c_str());
        all += QLatin1Char('\n');
    }
    if (QClipboard* clipboard = QApplication::clipboard()) clipboard->setText(all);
}

void build_default_menus() {
    QMenuBar* bar = g_frame->menuBar();
    bar->clear();
    auto add = [&](const char* title) { return bar->addMenu(QString::fromLatin1(title)); };
    QMenu* file = add("&File");
    file->addAction(QStringLiteral("&Print"));
    file->addAction(QStringLiteral("&Save"));
    QObject::connect(file->addAction(QStringLiteral("E&xit")), &QAction::triggered, g_frame.data(),
                     [] { if (g_frame) g_frame->close(); });
    QMenu* edit = add("&Edit");
    QObject::connect(edit->addAction(QStringLiteral("&Copy")), &QAction::triggered, g_frame.data(),
                     [] { copy_active_text(); });
    QMenu* view = add("&View");
    QAction* status = view->addAction(QStringLiteral("&Status Bar"));
    status->setCheckable(true);
    status->setChecked(true);
    QObject::connect(status, &QAction::toggled, g_frame.data(),
                     [](bool on) { if (g_frame) g_frame->statusBar()->setVisible(on); });
    QMenu* state = add("&State");
    state->addAction(QStringLiteral("&Pause"));
    QMenu* window = add("&Window");
    QObject::connect(window->addAction(QStringLiteral("&Cascade")), &QAction::triggered, g_frame.data(),
                     [] { if (g_frame) g_frame->mdi()->cascadeSubWindows(); });
    QObject::connect(window->addAction(QStringLiteral("&Tile")), &QAction::triggered, g_frame.data(),
                     [] { if (g_frame) g_frame->mdi()->tileSubWindows(); });
    QMenu* help = add("&Help");
    QObject::connect(help->addAction(QStringLiteral("&About")), &QAction::triggered, g_frame.data(),
                     [] { show_about(); });
}

// Sizes the frame so that its client area is FRAME_COLS by FRAME_ROWS cells.
void size_frame() {
    g_frame->resize(FRAME_COLS * CELL_WIDTH + 16, FRAME_ROWS * CELL_HEIGHT + 80);
    QWidget* vp = g_frame->mdi()->viewport();
    const int dw = FRAME_COLS * CELL_WIDTH - vp->width();
    const int dh = FRAME_ROWS * CELL_HEIGHT - vp->height();
    if (dw != 0 || dh != 0) g_frame->resize(g_frame->width() + dw, g_frame->height() + dh);
}

Answer run_box(const MessageBox& box) {
    QMessageBox mb(g_frame);
    mb.setWindowTitle(QString::fromLatin1(box.caption.c_str()));
    mb.setText(to_qt_text(box.text));
    switch (box.icon) {
        case Icon::None: mb.setIcon(QMessageBox::NoIcon); break;
        case Icon::Error: mb.setIcon(QMessageBox::Critical); break;
        case Icon::Warning: mb.setIcon(QMessageBox::Warning); break;
        case Icon::Question: mb.setIcon(QMessageBox::Question); break;
        case Icon::Information: mb.setIcon(QMessageBox::Information); break;
    }
    std::vector<std::pair<QPushButton*, Answer>> buttons;
    auto add = [&](QMessageBox::StandardButton b, Answer a) { buttons.emplace_back(mb.addButton(b), a); };
    Answer escape = Answer::Cancel;
    switch (box.buttons) {
        case Buttons::Ok: add(QMessageBox::Ok, Answer::Ok); escape = Answer::Ok; break;
        case Buttons::OkCancel: add(QMessageBox::Ok, Answer::Ok); add(QMessageBox::Cancel, Answer::Cancel); break;
        case Buttons::YesNo: add(QMessageBox::Yes, Answer::Yes); add(QMessageBox::No, Answer::No); escape = Answer::No; break;
        case Buttons::YesNoCancel:
            add(QMessageBox::Yes, Answer::Yes); add(QMessageBox::No, Answer::No); add(QMessageBox::Cancel, Answer::Cancel);
            break;
        case Buttons::RetryCancel: add(QMessageBox::Retry, Answer::Retry); add(QMessageBox::Cancel, Answer::Cancel); break;
    }
    const int def = std::clamp(box.default_button, 1, static_cast<int>(buttons.size())) - 1;
    mb.setDefaultButton(buttons[def].first);
    for (auto& [button, answer] : buttons)
        if (answer == escape) mb.setEscapeButton(button);
    mb.exec();
    for (auto& [button, answer] : buttons)
        if (mb.clickedButton() == button) return answer;
    return escape;
}

void request_exit() {
    g_ending = true;
    QCoreApplication::exit(0);
}

// The end of the program as the end behaviour says (GUI thread).
void end_program() {
    switch (end_behaviour()) {
        case EndBehaviour::Close: request_exit(); break;
        case EndBehaviour::Stay: break;
        case EndBehaviour::Ask: {
            MessageBox box;
            box.text = "Program terminated. Exit window?";
            box.caption = "Tarvex";
            box.buttons = Buttons::YesNo;
            box.icon = Icon::Question;
            if (message_box(box) == Answer::Yes) request_exit();
            break;
        }
    }
}

}  // namespace

// ---- internal ----------------------------------------------------------------

namespace internal {

QWidget* frame_widget() { return g_frame.data(); }
QMdiArea* frame_mdi_area() { return g_frame ? g_frame->mdi() : nullptr; }

void set_modal_dialog_query(bool (*query)()) {
    std::lock_guard<std::mutex> lock(g_hooks_mutex);
    g_modal_dialog_query = query;
}

}  // namespace internal

// ---- frame -------------------------------------------------------------------

void create_frame() {
    if (g_frame) return;
    static bool styled = false;
    if (!styled) {
        // One style everywhere, so that sizes and pictures do not depend on the desktop.
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        styled = true;
    }
    init_fonts();
    {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(12);
        QApplication::setFont(font);
    }
    g_ending = false;
    g_frame = new Frame();
    build_default_menus();
    g_frame->show();
    size_frame();
    g_key_filter_object = new KeyFilterObject(qApp);
    qApp->installEventFilter(g_key_filter_object);
    std::string text;
    {
        std::lock_guard<std::mutex> lock(g_state_mutex);
        text = g_status_text;
    }
    show_status_on_bar(text);
}

void destroy_frame() {
    internal::close_all_windows();
    if (g_key_filter_object) {
        qApp->removeEventFilter(g_key_filter_object);
        delete g_key_filter_object;
        g_key_filter_object = nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(g_hooks_mutex);
        g_close_filters.clear();
        g_key_filters.clear();
    }
    {
        std::lock_guard<std::mutex> lock(g_state_mutex);
        g_status_text.clear();
        g_about_text.clear();
        g_library_messages = {{MSG_RUNNING, "Running"}};
        g_status_shows_message = 0;
        g_end_behaviour = EndBehaviour::Ask;
    }
    if (g_frame) {
        g_frame_closing_by_program = true;
        g_status_label = nullptr;
        delete g_frame.data();
        g_frame_closing_by_program = false;
    }
}

bool frame_exists() {
    return call_blocking_result<bool>([] { return !g_frame.isNull(); });
}

void set_status_text(std::string_view text) {
    std::string copy(text);
    {
        std::lock_guard<std::mutex> lock(g_state_mutex);
        g_status_text = copy;
        g_status_shows_message = 0;
    }
    dispatch([copy] { show_status_on_bar(copy); });
}

std::string status_text() {
    return call_blocking_result<std::string>([] {
        return g_status_label ? g_status_label->text().toStdString() : std::string();
    });
}

void set_library_message(int id, std::string_view text) {
    std::string copy(text);
    bool shown = false;
    {
        std::lock_guard<std::mutex> lock(g_state_mutex);
        g_library_messages[id] = copy;
        shown = g_status_shows_message == id;
        if (shown) g_status_text = copy;
    }
    if (shown) dispatch([copy] { show_status_on_bar(copy); });
}

void set_about_text(std::string_view text) {
    std::lock_guard<std::mutex> lock(g_state_mutex);
    g_about_text.assign(text.substr(0, 512));
}

std::string about_text() {
    std::lock_guard<std::mutex> lock(g_state_mutex);
    return g_about_text;
}

void set_message_box_responder(std::function<Answer(const MessageBox&)> responder) {
    std::lock_guard<std::mutex> lock(g_state_mutex);
    g_responder = std::move(responder);
}

Answer message_box(const MessageBox& box) {
    std::function<Answer(const MessageBox&)> responder;
    {
        std::lock_guard<std::mutex> lock(g_state_mutex);
        responder = g_responder;
    }
    if (responder) return call_blocking_result<Answer>([&] { return responder(box); });
    return call_blocking_result<Answer>([&] { return run_box(box); });
}

void set_end_behaviour(EndBehaviour behaviour) {
    std::lock_guard<std::mutex> lock(g_state_mutex);
    g_end_behaviour = behaviour;
}

EndBehaviour end_behaviour() {
    std::lock_guard<std::mutex> lock(g_state_mutex);
    return g_end_behaviour;
}

void stop_program() { call_blocking([] { end_program(); }); }

bool program_ending() { return g_ending.load(); }

void set_exit_status(int status) { g_exit_status = status; }

void flush_gui() { call_blocking([] {}); }

bool grab_frame(std::string_view png_file) {
    std::string name(png_file);
    return call_blocking_result<bool>([&] {
        if (!g_frame) return false;
        QPixmap picture = g_frame->grab();
        return picture.save(QString::fromLocal8Bit(name.c_str()), "PNG");
    });
}

// ---- filters -------------------------------------------------------------------

HookHandle set_close_filter(std::function<bool()> refuse) {
    if (!refuse) return 0;
    std::lock_guard<std::mutex> lock(g_hooks_mutex);
    const HookHandle h = g_next_hook++;
    g_close_filters.insert(g_close_filters.begin(), {h, std::move(refuse)});
    return h;
}

bool remove_close_filter(HookHandle handle) {
    std::lock_guard<std::mutex> lock(g_hooks_mutex);
    auto it = std::find_if(g_close_filters.begin(), g_close_filters.end(),
                           [&](const auto& f) { return f.first == handle; });
    if (it == g_close_filters.end()) return false;
    g_close_filters.erase(it);
    return true;
}

HookHandle set_function_key_filter(std::function<bool(int key)> filter) {
    if (!filter) return 0;
    std::lock_guard<std::mutex> lock(g_hooks_mutex);
    const HookHandle h = g_next_hook++;
    g_key_filters.insert(g_key_filters.begin(), {h, std::move(filter)});
    return h;
}

bool remove_function_key_filter(HookHandle handle) {
    std::lock_guard<std::mutex> lock(g_hooks_mutex);
    auto it = std::find_if(g_key_filters.begin(), g_key_filters.end(),
                           [&](const auto& f) { return f.first == handle; });
    if (it == g_key_filters.end()) return false;
    g_key_filters.erase(it);
    return true;
}

bool modal_window_open() {
    bool (*query)() = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_hooks_mutex);
        query = g_modal_dialog_query;
    }
    if (query && query()) return true;
    return call_blocking_result<bool>([] { return QApplication::activeModalWidget() != nullptr; });
}

bool deliver_function_key(int key) {
    if (key < 1 || key > 12) return false;
    std::vector<std::function<bool(int)>> chain;
    {
        std::lock_guard<std::mutex> lock(g_hooks_mutex);
        for (auto& f : g_key_filters) chain.push_back(f.second);
    }
    return call_blocking_result<bool>([&] {
        for (auto& f : chain)
            if (f(key)) return true;
        return false;
    });
}

bool close_command_refused() {
    std::vector<std::function<bool()>> chain;
    {
        std::lock_guard<std::mutex> lock(g_hooks_mutex);
        for (auto& f : g_close_filters) chain.push_back(f.second);
    }
    return call_blocking_result<bool>([&] {
        for (auto& f : chain)
            if (f()) return true;
        return false;
    });
}

// ---- start-up ------------------------------------------------------------------

int run_application(int argc, char** argv, const AppHooks& hooks) {
    static int s_argc;
    s_argc = argc;
    QApplication app(s_argc, argv);
    init_gui_thread();
    if (hooks.initial_settings && !hooks.initial_settings()) return 1;
    create_frame();
    {
        std::string running;
        {
            std::lock_guard<std::mutex> lock(g_state_mutex);
            running = g_library_messages[MSG_RUNNING];
            g_status_text = running;
            g_status_shows_message = MSG_RUNNING;
        }
        show_status_on_bar(running);
    }
    std::function<void()> main_routine = hooks.main_routine;
    const ThreadHandle program = create_thread([main_routine] {
        if (main_routine) main_routine();
        // A main routine that returns by itself ends the program as the end
        // behaviour says; one that returns because the program ends does not.
        if (!program_ending()) post([] { end_program(); });
        return 0;
    });
    const int code = program ? app.exec() : 1;
    g_ending = true;
    // The program thread may still be handing work to this thread: serve it
    // until the thread has returned.
    while (program && thread_still_active(program)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        run_posted();
        sleep_ms(5);
    }
    if (program) join_thread(program);
    run_posted();
    destroy_frame();
    return g_exit_status.load() != 0 ? g_exit_status.load() : code;
}

}  // namespace tarvex::platform
