// Inside the platform layer only: the state of a dialog variable
// (Dialog::Impl), its window and its controls' widgets, shared by the dialog
// functions (dialog.cpp) and the building and running of a dialog
// (dialog_impl.cpp). GUI thread only.
#pragma once

#include <QButtonGroup>
#include <QDialog>
#include <QEventLoop>
#include <QLineEdit>
#include <QPointer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/dialog_qt.h"
#include "platform/dialog_template.h"

namespace tarvex::platform {

// The hook of set_dialog_show_hook; GUI thread only.
extern std::function<void(Dialog&)> g_show_hook;

// An integer as a spin button reads its buddy: blanks around an optional sign
// and digits.
bool parse_spin_int(const QString& text, long long& value);

// Raises a window (where the platform can) and activates it.
void bring_to_front(QWidget* w);

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

}  // namespace tarvex::platform
