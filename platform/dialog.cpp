#include "platform/dialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdio>
#include <map>
#include <optional>
#include <type_traits>

#include "platform/dialog_qt.h"
#include "platform/gui_thread.h"
#include "platform/hooks.h"
#include "platform/internal.h"

namespace tarvex::platform {

namespace {

std::atomic<int> g_modal_count{0};
std::function<void(Dialog&)> g_show_hook;   // GUI thread only

// The window layer's function-key filter asks this module whether one of its
// modal dialogs is open.
const bool g_query_registered = (internal::set_modal_dialog_query(&modal_dialog_open), true);

// An integer as a spin button reads its buddy: blanks around an optional sign
// and digits.
bool parse_spin_int(const QString& text, long long& value) {
    const QByteArray bytes = text.trimmed().toLatin1();
    if (bytes.isEmpty()) return false;
    const char* first = bytes.constData();
    const char* last = first + bytes.size();
    if (*first == '+') ++first;
    auto [ptr, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && ptr == last;
}

void bring_to_front(QWidget* w) {
    // The headless platform cannot raise windows and says so on every call.
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) w->raise();
    w->activateWindow();
}

std::string padded(const QString& text, int length) {
    std::string s = text.toUtf8().toStdString();
    if (length < 0) length = 0;
    s.resize(static_cast<size_t>(length), ' ');
    return s;
}

}  // namespace

// ---- widgets ---------------------------------------------------------------

class SpinButton : public QWidget {
    Q_OBJECT
public:
    explicit SpinButton(QWidget* parent) : QWidget(parent) {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        up_ = make_button(Qt::UpArrow, "up", +1);
        down_ = make_button(Qt::DownArrow, "down", -1);
        layout->addWidget(up_);
        layout->addWidget(down_);
    }

signals:
    void stepped(int delta);

private:
    QToolButton* make_button(Qt::ArrowType arrow, const char* name, int delta) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setArrowType(arrow);
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
        b->setMinimumSize(1, 1);
        connect(b, &QToolButton::clicked, this, [this, delta] { emit stepped(delta); });
        return b;
    }
    QToolButton* up_;
    QToolButton* down_;
};

class DialogWindow : public QDialog {
    Q_OBJECT
public:
    DialogWindow(Dialog::Impl* impl, QWidget* parent, Qt::WindowFlags flags)
        : QDialog(parent, flags), impl_(impl) {}

    void detach() { impl_ = nullptr; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Dialog::Impl* impl_;
};

// ---- the dialog variable ---------------------------------------------------

struct Control {
    ControlTemplate tmpl;
    QWidget* widget = nullptr;
    DialogCallback callback;
    // spin button
    long long range_min = 0, range_max = 100, position = 0;
    Control* buddy = nullptr;   // spin: the edit field it steps
    Control* spin = nullptr;    // edit: the spin button stepping it
    QButtonGroup* radio_group = nullptr;
};

struct Dialog::Impl {
    Dialog* self = nullptr;
    DialogTemplate tmpl;
    QPointer<DialogWindow> window;
    std::unique_ptr<QObject> context;   // context of the widget connections: gone at release
    std::map<int, std::unique_ptr<Control>> controls;   // by id
    std::vector<std::unique_ptr<Control>> statics;
    DialogCallback show_callback;
    BaseUnits base;
    std::string error;

    bool shown_once = false;
    bool running_modal = false;
    bool exited = false;
    int result = -1;
    QEventLoop* loop = nullptr;
    int callback_depth = 0;
    int current_control = 0;
    int programmatic = 0;   // > 0 while the program sets values: signals then fire nothing
    bool close_box = true;
    bool is_page = false;
    bool for_other_thread = false;   // run modally for a thread other than the GUI thread

    bool alive() const { return !window.isNull(); }

    Control* find(int id) {
        if (!alive()) return nullptr;
        auto it = controls.find(id);
        return it == controls.end() ? nullptr : it->second.get();
    }

    bool build(DialogTemplate t);
    void create_control(Control& c, int group_no, std::map<int, QButtonGroup*>& groups);
    void release();

    void fire(Control& c) {
        if (!c.callback) return;
        DialogCallback cb = c.callback;   // the callback may replace or remove itself
        const int id = c.tmpl.id;
        const int saved = current_control;
        ++callback_depth;
        current_control = id;
        cb(*self, id, CallbackKind::changed);
        current_control = saved;
        --callback_depth;
    }

    void fire_shown() {
        if (shown_once) return;
        shown_once = true;
        if (g_show_hook) {
            auto hook = g_show_hook;
            hook(*self);
        }
        if (!show_callback || !alive()) return;
        DialogCallback cb = show_callback;
        const int saved = current_control;
        ++callback_depth;
        current_control = tmpl.id;
        cb(*self, tmpl.id, CallbackKind::shown);
        current_control = saved;
        --callback_depth;
    }

    // A push button was clicked (or pressed through Enter or Escape).
    void pressed(Control& c) {
        if (c.callback) fire(c);
        else close_with(c.tmpl.id);
    }

    void press_id(int id) {
        Control* c = find(id);
        if (!c) {
            close_with(id);
            return;
        }
        if (c->tmpl.kind != ControlKind::button || !c->widget->isEnabled()) return;
        pressed(*c);
    }

    void close_with(int value) {
        result = value;
        exited = true;
        if (loop) loop->quit();
        if (alive() && !is_page) window->hide();
    }

    void step_spin(Control& spin, int delta) {
        const long long lo = std::min(spin.range_min, spin.range_max);
        const long long hi = std::max(spin.range_min, spin.range_max);
        const long long dir = spin.range_max >= spin.range_min ? delta : -delta;
        long long current = spin.position;
        if (spin.buddy) {
            long long typed = 0;
            auto* edit = static_cast<QLineEdit*>(spin.buddy->widget);
            if (parse_spin_int(edit->text(), typed) && typed >= lo && typed <= hi) current = typed;
        }
        current = std::clamp(current, lo, hi);
        long long next = current + dir;
        if (next > hi) next = spin.tmpl.wrap ? lo : hi;
        if (next < lo) next = spin.tmpl.wrap ? hi : lo;
        spin.position = next;
        if (!spin.buddy) return;
        auto* edit = static_cast<QLineEdit*>(spin.buddy->widget);
        const QString text = QString::number(next);
        if (edit->text() == text) return;
        ++programmatic;
        edit->setText(text);
        --programmatic;
        fire(*spin.buddy);   // as typing would
    }

    int run_modal(bool frame_waits);
};

bool Dialog::Impl::build(DialogTemplate t) {
    tmpl = std::move(t);

    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint;
    if (tmpl.caption_bar) flags |= Qt::WindowTitleHint;
    if (tmpl.sysmenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    context = std::make_unique<QObject>();
    auto* w = new DialogWindow(this, tmpl.child ? nullptr : dialog_owner_window(), flags);
    window = w;
    w->setWindowTitle(QString::fromUtf8(tmpl.caption));
    const QFont font = template_font(tmpl);
    w->setFont(font);
    base = base_units_of(font);
    w->setFixedSize(du_to_px_x(tmpl.width, base), du_to_px_y(tmpl.height, base));

    std::map<int, QButtonGroup*> groups;
    int group_no = 0;
    for (const ControlTemplate& ct : tmpl.controls) {
        if (ct.group) ++group_no;
        auto c = std::make_unique<Control>();
        c->tmpl = ct;
        create_control(*c, group_no, groups);
        if (ct.id == STATIC_ID) statics.push_back(std::move(c));
        else controls[ct.id] = std::move(c);
    }
    // Spin buttons and their buddies.
    for (auto& [id, c] : controls) {
        if (c->tmpl.kind != ControlKind::spin) continue;
        Control* buddy = find(c->tmpl.buddy);
        c->buddy = buddy;
        buddy->spin = c.get();
        if (c->tmpl.alignright) {
            const PxRect b = du_to_px(buddy->tmpl.rect, base);
            const int sw = du_to_px_x(c->tmpl.rect.w, base);
            const int bw = std::max(1, b.w - sw);
            buddy->widget->setGeometry(b.x, b.y, bw, b.h);
            c->widget->setGeometry(b.x + bw, b.y, sw, b.h);
        }
        if (c->tmpl.arrowkeys) buddy->widget->installEventFilter(w);
    }
    // Group boxes lie behind the controls they frame.
    for (auto& c : statics)
        if (c->tmpl.kind == ControlKind::groupbox) c->widget->lower();
    for (auto& [id, c] : controls)
        if (c->tmpl.kind == ControlKind::groupbox) c->widget->lower();
    return true;
}

// The templates were drawn for a face that may be missing here; the base
// units keep the dialog's shape, but a word can still come out wider than
// its box. Labels, check boxes and radio buttons then grow to the right just
// enough to show it (a one-line box: its whole line; a taller one: its
// longest word) instead of cutting it off.
static int fitting_width(const Control& c, const PxRect& r) {
    const ControlKind kind = c.tmpl.kind;
    // Check boxes and radio buttons: their box or circle, and the text on one line.
    if (kind == ControlKind::check || kind == ControlKind::radio) return std::max(r.w, c.widget->sizeHint().width());
    if (kind != ControlKind::label) return r.w;
    const QFontMetrics fm(c.widget->font());
    const bool one_line = r.h < 2 * fm.height();
    int needed = 0;
    for (const QString& line : QString::fromUtf8(c.tmpl.text).split(QLatin1Char('\n'))) {
        if (one_line) {
            needed = std::max(needed, fm.horizontalAdvance(line));
            continue;
        }
        for (const QString& word : line.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            needed = std::max(needed, fm.horizontalAdvance(word));
    }
    return std::max(r.w, needed + 1);
}

void Dialog::Impl::create_control(Control& c, int group_no, std::map<int, QButtonGroup*>& groups) {
    QWidget* parent = window.data();
    const ControlTemplate& t = c.tmpl;
    const QString text = QString::fromUtf8(t.text);
    auto align = [&](Qt::Alignment vertical) {
        Qt::Alignment a = vertical;
        if (t.align == TextAlign::center) a |= Qt::AlignHCenter;
        else if (t.align == TextAlign::right) a |= Qt::AlignRight;
        else a |= Qt::AlignLeft;
        return a;
    };
    QWidget* widget = nullptr;
    switch (t.kind) {
        case ControlKind::label: {
            auto* l = new QLabel(text, parent);
            l->setTextFormat(Qt::PlainText);
            l->setWordWrap(true);
            l->setAlignment(align(Qt::AlignTop));
            widget = l;
            break;
        }
        case ControlKind::edit: {
            auto* e = new QLineEdit(text, parent);
            e->setFrame(t.border);
            e->setReadOnly(t.readonly);
            e->setAlignment(align(Qt::AlignVCenter));
            e->setTextMargins(0, 0, 0, 0);
            QObject::connect(e, &QLineEdit::textEdited, context.get(), [this, &c] {
                if (programmatic == 0) fire(c);
            });
            widget = e;
            break;
        }
        case ControlKind::button: {
            auto* b = new QPushButton(text, parent);
            b->setAutoDefault(false);
            b->setDefault(t.default_button);
            QObject::connect(b, &QPushButton::clicked, context.get(), [this, &c] { pressed(c); });
            widget = b;
            break;
        }
        case ControlKind::check: {
            auto* b = new QCheckBox(text, parent);
            QObject::connect(b, &QCheckBox::clicked, context.get(), [this, &c] { fire(c); });
            widget = b;
            break;
        }
        case ControlKind::radio: {
            auto* b = new QRadioButton(text, parent);
            b->setAutoExclusive(false);
            QButtonGroup*& g = groups[group_no];
            if (!g) {
                g = new QButtonGroup(parent);
                g->setExclusive(true);
            }
            g->addButton(b);
            c.radio_group = g;
            QObject::connect(b, &QRadioButton::clicked, context.get(), [this, &c] { fire(c); });
            widget = b;
            break;
        }
        case ControlKind::groupbox: {
            widget = new QGroupBox(text, parent);
            break;
        }
        case ControlKind::spin: {
            auto* s = new SpinButton(parent);
            QObject::connect(s, &SpinButton::stepped, context.get(), [this, &c](int delta) { step_spin(c, delta); });
            widget = s;
            break;
        }
        case ControlKind::tab: {
            auto* tw = new QTabWidget(parent);
            QObject::connect(tw, &QTabWidget::currentChanged, context.get(), [this, &c](int) {
                if (programmatic == 0) fire(c);
            });
            widget = tw;
            break;
        }
    }
    c.widget = widget;
    if (t.id != STATIC_ID) widget->setObjectName(QString::number(t.id));
    const PxRect r = du_to_px(t.rect, base);
    widget->setGeometry(r.x, r.y, fitting_width(c, r), r.h);
    if (t.kind == ControlKind::label || t.kind == ControlKind::groupbox || t.kind == ControlKind::spin)
        widget->setFocusPolicy(Qt::NoFocus);
    else if (!t.tabstop)
        widget->setFocusPolicy(Qt::ClickFocus);
    widget->setEnabled(!t.disabled);
    widget->setVisible(!t.hidden);
}

void Dialog::Impl::release() {
    if (loop) {
        if (!exited) result = -1;
        exited = true;
        loop->quit();
    }
    context.reset();
    if (DialogWindow* w = window.data()) {
        w->detach();
        if (QCoreApplication::instance()) {
            w->hide();
            // Inside a callback or a modal run the window's own code is still on
            // the stack: delete it once control is back in the event loop.
            if (callback_depth > 0 || running_modal) w->deleteLater();
            else delete w;
        }
    }
    window.clear();
    controls.clear();
    statics.clear();
    show_callback = nullptr;
    shown_once = false;
    is_page = false;
    tmpl = DialogTemplate{};
}

int Dialog::Impl::run_modal(bool frame_waits) {
    if (!alive() || running_modal || is_page) return -1;
    window->setWindowModality(frame_waits ? Qt::ApplicationModal : Qt::NonModal);
    std::optional<ModalScope> scope;
    if (frame_waits) scope.emplace();
    running_modal = true;
    for_other_thread = !frame_waits;
    exited = false;
    result = -1;
    QEventLoop local;
    loop = &local;
    window->show();
    bring_to_front(window.data());
    fire_shown();
    if (!exited && alive()) local.exec(QEventLoop::DialogExec);
    loop = nullptr;
    running_modal = false;
    for_other_thread = false;
    if (alive()) window->hide();
    return result;
}

// ---- DialogWindow ----------------------------------------------------------

void DialogWindow::keyPressEvent(QKeyEvent* event) {
    if (!impl_ || impl_->is_page) {
        event->ignore();   // a page passes its keys to the dialog around it
        return;
    }
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if ((event->modifiers().toInt() & ~int(Qt::KeypadModifier)) != 0) break;
            impl_->press_id(1);
            return;
        case Qt::Key_Escape:
            if (event->modifiers() != Qt::NoModifier) break;
            impl_->press_id(2);
            return;
        default:
            break;
    }
    QWidget::keyPressEvent(event);
}

void DialogWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (!impl_ || !impl_->close_box || impl_->is_page) return;
    // The GUI thread's windows ask the layer's close filters; a dialog shown
    // for another thread (Run Data, for the calculation thread) does not.
    if (!impl_->for_other_thread && close_command_refused()) return;
    impl_->press_id(2);
}

bool DialogWindow::eventFilter(QObject* watched, QEvent* event) {
    // Up and Down in an edit field step its spin button.
    if (impl_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
            for (auto& [id, c] : impl_->controls) {
                if (c->widget == watched && c->spin && c->spin->tmpl.arrowkeys && c->spin->widget->isEnabled()) {
                    impl_->step_spin(*c->spin, key->key() == Qt::Key_Up ? +1 : -1);
                    return true;
                }
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

// ---- Dialog ----------------------------------------------------------------

Dialog::Dialog() : impl_(std::make_unique<Impl>()) { impl_->self = this; }

Dialog::~Dialog() { release(); }

bool Dialog::init(int template_id) {
    return on_gui([&] {
        impl_->release();
        impl_->error.clear();
        DialogTemplate t;
        if (!load_dialog_template(template_id, t, impl_->error)) {
            std::fprintf(stderr, "%s\n", impl_->error.c_str());
            return false;
        }
        return impl_->build(std::move(t));
    });
}

bool Dialog::init(const DialogTemplate& tmpl) {
    return on_gui([&] {
        impl_->release();
        impl_->error.clear();
        return impl_->build(tmpl);
    });
}

bool Dialog::initialised() const {
    return on_gui([&] { return impl_->alive(); });
}

int Dialog::template_id() const {
    return on_gui([&] { return impl_->alive() ? impl_->tmpl.id : 0; });
}

std::string Dialog::last_error() const {
    return on_gui([&] { return impl_->error; });
}

bool Dialog::set_int(int control_id, Attr attr, long long value, int /*index*/) {
    return on_gui([&] {
        Control* c = impl_->find(control_id);
        if (!c) return false;
        const ControlKind kind = c->tmpl.kind;
        if (kind == ControlKind::spin) {
            switch (attr) {
                case Attr::range_min: c->range_min = value; return true;
                case Attr::range_max: c->range_max = value; return true;
                case Attr::value:
                case Attr::position: c->position = value; return true;
                default: return false;
            }
        }
        if (kind == ControlKind::tab) {
            auto* tw = static_cast<QTabWidget*>(c->widget);
            ++impl_->programmatic;
            bool ok = false;
            if (attr == Attr::page_count && value >= 0 && value <= 64) {
                while (tw->count() < value) {
                    auto* page = new QWidget;
                    tw->addTab(page, QString());
                }
                while (tw->count() > value) {
                    QWidget* page = tw->widget(tw->count() - 1);
                    tw->removeTab(tw->count() - 1);
                    delete page;
                }
                ok = true;
            } else if ((attr == Attr::state || attr == Attr::value) && value >= 1 && value <= tw->count()) {
                tw->setCurrentIndex(static_cast<int>(value - 1));
                ok = true;
            }
            --impl_->programmatic;
            return ok;
        }
        return false;
    });
}

bool Dialog::set_logical(int control_id, Attr attr, bool value) {
    return on_gui([&] {
        Control* c = impl_->find(control_id);
        if (!c) return false;
        if (attr == Attr::enabled) {
            c->widget->setEnabled(value);
            return true;
        }
        if (attr != Attr::state && attr != Attr::value) return false;
        const ControlKind kind = c->tmpl.kind;
        if (kind != ControlKind::check && kind != ControlKind::radio) return false;
        auto* b = static_cast<QAbstractButton*>(c->widget);
        ++impl_->programmatic;
        if (kind == ControlKind::radio && !value && b->isChecked()) {
            // An exclusive group keeps one button checked; let go of it briefly.
            c->radio_group->setExclusive(false);
            b->setChecked(false);
            c->radio_group->setExclusive(true);
        } else {
            b->setChecked(value);
        }
        --impl_->programmatic;
        return true;
    });
}

bool Dialog::set_text(int control_id, Attr attr, std::string_view text, int index) {
    return on_gui([&] {
        Control* c = impl_->find(control_id);
        if (!c) return false;
        const QString q = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        const ControlKind kind = c->tmpl.kind;
        if (kind == ControlKind::tab) {
            auto* tw = static_cast<QTabWidget*>(c->widget);
            if (attr != Attr::page_title || index < 1 || index > tw->count()) return false;
            tw->setTabText(index - 1, q);
            return true;
        }
        if (attr != Attr::state && attr != Attr::value) return false;
        ++impl_->programmatic;
        bool ok = true;
        switch (kind) {
            case ControlKind::label: static_cast<QLabel*>(c->widget)->setText(q); break;
            case ControlKind::edit: {
                // Shown from its first character, as a native edit field is
                // after its text is set: a text wider than the field keeps
                // its sign and leading digits in view, not its tail.
                auto* e = static_cast<QLineEdit*>(c->widget);
                e->setText(q);
                e->setCursorPosition(0);
                break;
            }
            case ControlKind::button:
            case ControlKind::check:
            case ControlKind::radio: static_cast<QAbstractButton*>(c->widget)->setText(q); break;
            case ControlKind::groupbox: static_cast<QGroupBox*>(c->widget)->setTitle(q); break;
            default: ok = false; break;
        }
        --impl_->programmatic;
        return ok;
    });
}

bool Dialog::get_int(int control_id, Attr attr, long long& value, int /*index*/) const {
    std::optional<long long> got = on_gui([&]() -> std::optional<long long> {
        Control* c = impl_->find(control_id);
        if (!c) return std::nullopt;
        if (c->tmpl.kind == ControlKind::spin) {
            switch (attr) {
                case Attr::range_min: return c->range_min;
                case Attr::range_max: return c->range_max;
                case Attr::value:
                case Attr::position: return c->position;
                default: return std::nullopt;
            }
        }
        if (c->tmpl.kind == ControlKind::tab) {
            auto* tw = static_cast<QTabWidget*>(c->widget);
            if (attr == Attr::page_count) return tw->count();
            if (attr == Attr::state || attr == Attr::value) return tw->currentIndex() + 1;
        }
        return std::nullopt;
    });
    if (!got) return false;
    value = *got;
    return true;
}

bool Dialog::get_logical(int control_id, Attr attr, bool& value) const {
    std::optional<bool> got = on_gui([&]() -> std::optional<bool> {
        Control* c = impl_->find(control_id);
        if (!c) return std::nullopt;
        if (attr == Attr::enabled) return c->widget->isEnabled();
        if (attr != Attr::state && attr != Attr::value) return std::nullopt;
        if (c->tmpl.kind != ControlKind::check && c->tmpl.kind != ControlKind::radio) return std::nullopt;
        return static_cast<QAbstractButton*>(c->widget)->isChecked();
    });
    if (!got) return false;
    value = *got;
    return true;
}

bool Dialog::get_text(int control_id, Attr attr, std::string& text, int length, int index) const {
    std::optional<QString> got = on_gui([&]() -> std::optional<QString> {
        Control* c = impl_->find(control_id);
        if (!c) return std::nullopt;
        const ControlKind kind = c->tmpl.kind;
        if (kind == ControlKind::tab) {
            auto* tw = static_cast<QTabWidget*>(c->widget);
            if (attr != Attr::page_title || index < 1 || index > tw->count()) return std::nullopt;
            return tw->tabText(index - 1);
        }
        if (attr != Attr::state && attr != Attr::value) return std::nullopt;
        switch (kind) {
            case ControlKind::label: return static_cast<QLabel*>(c->widget)->text();
            case ControlKind::edit: return static_cast<QLineEdit*>(c->widget)->text();
            case ControlKind::button:
            case ControlKind::check:
            case ControlKind::radio: return static_cast<QAbstractButton*>(c->widget)->text();
            case ControlKind::groupbox: return static_cast<QGroupBox*>(c->widget)->title();
            default: return std::nullopt;
        }
    });
    if (!got) return false;
    text = padded(*got, length);
    return true;
}

bool Dialog::set_callback(int control_id, DialogCallback callback, CallbackKind kind) {
    return on_gui([&] {
        if (!impl_->alive()) return false;
        if (kind == CallbackKind::shown) {
            if (control_id != impl_->tmpl.id) return false;
            impl_->show_callback = std::move(callback);
            return true;
        }
        Control* c = impl_->find(control_id);
        if (!c) return false;
        c->callback = std::move(callback);
        return true;
    });
}

int Dialog::run_modal() {
    const bool frame_waits = is_gui_thread();
    return on_gui([&] { return impl_->run_modal(frame_waits); });
}

bool Dialog::show_modeless() {
    return on_gui([&] {
        if (!impl_->alive() || impl_->running_modal) return false;
        DialogWindow* w = impl_->window.data();
        w->setWindowModality(Qt::NonModal);
        impl_->exited = false;
        w->show();
        if (!impl_->is_page) bring_to_front(w);
        impl_->fire_shown();
        return true;
    });
}

bool Dialog::place_beside_frame() {
    return on_gui([&] {
        if (!impl_->alive() || impl_->is_page) return false;
        QWidget* frame = internal::frame_widget();
        if (!frame) return true;
        DialogWindow* w = impl_->window.data();
        const QRect f = frame->frameGeometry();
        const QScreen* screen = frame->screen();
        const QRect avail = screen ? screen->availableGeometry() : f;
        // The dialog's outer size: its decoration once shown, an estimate before.
        const QSize outer = w->isVisible() ? w->frameGeometry().size() : w->size() + QSize(8, 30);
        int x;
        if (f.right() + 1 + outer.width() <= avail.right() + 1) x = f.right() + 1;
        else if (f.left() - outer.width() >= avail.left()) x = f.left() - outer.width();
        else x = f.right() + 1 - outer.width();
        const int top = frame->geometry().top();
        const int y = std::clamp(top, avail.top(), std::max(avail.top(), avail.bottom() + 1 - outer.height()));
        w->move(x, y);
        return true;
    });
}

bool Dialog::show_as_page(Dialog& owner, int tab_id, int page) {
    return on_gui([&] {
        if (!impl_->alive() || impl_->running_modal || &owner == this) return false;
        Control* tab = owner.impl_->find(tab_id);
        if (!tab || tab->tmpl.kind != ControlKind::tab) return false;
        auto* tw = static_cast<QTabWidget*>(tab->widget);
        if (page < 1 || page > tw->count()) return false;
        QWidget* container = tw->widget(page - 1);
        DialogWindow* w = impl_->window.data();
        impl_->is_page = true;
        w->setParent(container, Qt::Widget);
        w->move(0, 0);
        w->show();
        impl_->fire_shown();
        return true;
    });
}

void Dialog::exit() {
    on_gui([&] { impl_->close_with(impl_->current_control); });
}

void Dialog::exit(int result) {
    on_gui([&] { impl_->close_with(result); });
}

void Dialog::set_close_box(bool closes) {
    on_gui([&] { impl_->close_box = closes; });
}

void Dialog::release() {
    if (!impl_) return;
    if (!QCoreApplication::instance()) {
        // The application is gone and its widgets with it: only forget them.
        impl_->context.release();
        impl_->window.clear();
        impl_->controls.clear();
        impl_->statics.clear();
        return;
    }
    on_gui([&] { impl_->release(); });
}

// ---- modal state -----------------------------------------------------------

bool modal_dialog_open() { return g_modal_count.load() > 0; }

ModalScope::ModalScope() { g_modal_count.fetch_add(1); }
ModalScope::~ModalScope() { g_modal_count.fetch_sub(1); }

// ---- Qt side ---------------------------------------------------------------

QWidget* dialog_widget(const Dialog& dialog) {
    return on_gui([&]() -> QWidget* { return dialog.impl()->window.data(); });
}

QWidget* dialog_control(const Dialog& dialog, int control_id) {
    return on_gui([&]() -> QWidget* {
        Control* c = dialog.impl()->find(control_id);
        return c ? c->widget : nullptr;
    });
}

BaseUnits dialog_base_units(const Dialog& dialog) {
    return on_gui([&] { return dialog.impl()->base; });
}

QFont template_font(const DialogTemplate& tmpl) {
    QFont font(QString::fromUtf8(tmpl.font_family));
    font.setStyleHint(QFont::SansSerif);
    // Point sizes on the 96-dpi scale the templates were drawn for.
    font.setPixelSize(mul_div(tmpl.font_points, 96, 72));
    return font;
}

BaseUnits base_units_of(const QFont& font) {
    const QFontMetrics fm(font);
    const int cx = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(cx / 26 + 1) / 2, fm.height()};
}

void set_dialog_show_hook(std::function<void(Dialog&)> hook) {
    on_gui([&] { g_show_hook = std::move(hook); });
}

QWidget* dialog_owner_window() { return internal::frame_widget(); }

}  // namespace tarvex::platform

#include "dialog.moc"
