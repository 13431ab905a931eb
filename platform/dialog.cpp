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

#include "platform/dialog_impl.h"
#include "platform/dialog_qt.h"
#include "platform/gui_thread.h"
#include "platform/hooks.h"
#include "platform/internal.h"

namespace tarvex::platform {

namespace {

std::atomic<int> g_modal_count{0};

// The window layer's function-key filter asks this module whether one of its
// modal dialogs is open.
const bool g_query_registered = (internal::set_modal_dialog_query(&modal_dialog_open), true);

std::string padded(const QString& text, int length) {
    std::string s = text.toUtf8().toStdString();
    if (length < 0) length = 0;
    s.resize(static_cast<size_t>(length), ' ');
    return s;
}

}  // namespace

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
