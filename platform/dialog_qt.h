// Qt side of the dialog module, for the rest of platform/ and for tests only:
// the front end never includes this header.
#pragma once

#include <QFont>

#include <functional>
#include <QWidget>

#include "platform/dialog.h"
#include "platform/dialog_template.h"

namespace tarvex::platform {

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
