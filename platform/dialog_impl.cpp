// Building a dialog from its template, running it modally, releasing it, and
// its window's keys, close command and arrow keys.
#include "platform/dialog_impl.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include <charconv>
#include <optional>

#include "platform/hooks.h"

namespace tarvex::platform {

std::function<void(Dialog&)> g_show_hook;   // GUI thread only

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

}  // namespace tarvex::platform
