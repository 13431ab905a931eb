// Qt side of the dialog module, for the rest of platform/ and for tests only:
// the front end never includes this header.
#pragma once

#include <QFont>

#include <atomic>
#include <functional>
#include <optional>
#include <type_traits>
#include <QWidget>

#include "platform/dialog.h"
#include "platform/dialog_template.h"
#include "platform/gui_thread.h"

namespace tarvex::platform {

// Runs fn on the GUI thread (inline when already there) and returns its result.
// The blocking call already orders the two threads both ways; the
// release/acquire pairs state that ordering in code the race checker sees
// (the hand-over inside Qt is not instrumented).
template <typename F>
auto on_gui(F&& fn) -> decltype(fn()) {
    using R = decltype(fn());
    std::atomic<bool> sent{false}, done{false};
    sent.store(true, std::memory_order_release);
    if constexpr (std::is_void_v<R>) {
        call_blocking([&] {
            (void)sent.load(std::memory_order_acquire);
            fn();
            done.store(true, std::memory_order_release);
        });
        (void)done.load(std::memory_order_acquire);
    } else {
        std::optional<R> result;
        call_blocking([&] {
            (void)sent.load(std::memory_order_acquire);
            result.emplace(fn());
            done.store(true, std::memory_order_release);
        });
        (void)done.load(std::memory_order_acquire);
        return std::move(*result);
    }
}

// The window (or page widget) of an initialised dialog; nullptr otherwise.
QWidget* dialog_widget(const Dialog& dialog);

// The widget of a control (for a spin button, a widget holding two tool
// buttons named "up" and "down"); nullptr when there is none.
QWidget* dialog_control(const Dialog& dialog, int control_id);

// The base units the dialog was laid out with.
BaseUnits dialog_base_units(const Dialog& dialog);

// The font a template asks for (its typeface at its point size on a 96-dpi
// scale), and the base units of a font.
QFont template_font(const DialogTemplate& tmpl);
BaseUnits base_units_of(const QFont& font);

// Called on the GUI thread after any dialog is shown (modal, modeless or as a
// page), before the dialog's own shown callback: lets tests answer dialogs
// that the code under test builds. An empty hook removes it.
void set_dialog_show_hook(std::function<void(Dialog&)> hook);

// The window that owns dialogs and message boxes: the frame once the window
// layer has one.
QWidget* dialog_owner_window();

}  // namespace tarvex::platform
