// The dialog module: dialogs built from the templates the program carries
// (platform/dialog_template.h), with their controls addressed by id.
//
// A Dialog is the dialog variable: it holds the dialog's controls, their values
// and callbacks from init() to release(). Every operation may be called from
// any thread; the widgets live on the GUI thread and the calls are handed over
// to it (gui_thread.h), so the GUI thread must never wait for a thread that is
// inside one of these calls. Callbacks always run on the GUI thread.
//
// Values are set and read as integers, logicals or texts:
//   edit field   text (state); enabled
//   label        text (state); enabled
//   button       caption (state); enabled
//   check, radio checked (state, logical); caption (state, text); enabled
//   group box    title (state); enabled
//   spin button  range_min, range_max, position (integers); enabled
//   tab control  selected page from 1 (state, integer); page_count;
//                page_title (text, with the page number as index)
// Setting a value from the program never fires a callback; what the user does
// fires the callback of the control that changed:
//   edit field   every change of its text by typing, or a step of its spin button
//   check, radio, push button   a click (or Space, or the Enter/Escape routing)
//   tab control  the user selecting another page
// A push button without a callback closes the dialog, which then returns the
// button's id. Enter presses the control with id 1 and Escape the one with id 2
// (with no such control they close the dialog with 1 or 2). The close box acts
// as Escape unless set_close_box(false); a dialog of the GUI thread first asks
// the layer's close filters (hooks.h), which may refuse it, while a dialog run
// modally for another thread does not ask them. Dialog windows are owned by
// the frame when there is one.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tarvex::platform {

struct DialogTemplate;

enum class Attr {
    value,       // the control's own value: its state, or a spin button's position
    state,       // text of an edit field, label, button or group box; checked state; selected page
    enabled,
    range_min,   // spin button
    range_max,   // spin button
    position,    // spin button
    page_count,  // tab control
    page_title,  // tab control, index = page (from 1)
};

enum class CallbackKind {
    changed,   // the control changed or was pressed
    shown,     // once, when the dialog is shown; registered with the dialog's own template id
};

class Dialog;
using DialogCallback = std::function<void(Dialog& dialog, int control_id, CallbackKind kind)>;

class Dialog {
public:
    Dialog();
    ~Dialog();   // releases
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Builds the dialog from the embedded template with this id (hidden). A
    // dialog already initialised is released first. False when the template is
    // missing or malformed (last_error() tells why).
    bool init(int template_id);
    // Builds the dialog from a template already parsed.
    bool init(const DialogTemplate& tmpl);
    bool initialised() const;
    int template_id() const;
    std::string last_error() const;

    // False when the control or the attribute does not exist for that control.
    bool set_int(int control_id, Attr attr, long long value, int index = 0);
    bool set_logical(int control_id, Attr attr, bool value);
    bool set_text(int control_id, Attr attr, std::string_view text, int index = 0);
    bool set_text(int control_id, std::string_view text) { return set_text(control_id, Attr::state, text); }

    bool get_int(int control_id, Attr attr, long long& value, int index = 0) const;
    bool get_logical(int control_id, Attr attr, bool& value) const;
    // The text cut or filled with blanks to length characters (bytes of UTF-8).
    bool get_text(int control_id, Attr attr, std::string& text, int length, int index = 0) const;
    bool get_text(int control_id, std::string& text, int length) const {
        return get_text(control_id, Attr::state, text, length);
    }

    // One callback per control (a later one replaces it; an empty one removes
    // it). For CallbackKind::shown the id is the dialog's template id.
    bool set_callback(int control_id, DialogCallback callback, CallbackKind kind = CallbackKind::changed);

    // Shows the dialog and returns the id of the button that closed it, or -1
    // when the dialog is not initialised or already showing. On the GUI thread
    // the frame waits meanwhile (modal_dialog_open() is true); from another
    // thread the caller waits but the frame's menus and keys stay alive.
    int run_modal();

    // Shows the dialog and returns at once; false when not initialised.
    bool show_modeless();

    // Places the (not yet shown or shown) dialog beside the frame: outside
    // its right edge when the screen has room there, else outside its left
    // edge, else inside along its right edge; level with the frame's client
    // area. Without a frame the window system places it. False when not
    // initialised.
    bool place_beside_frame();

    // Shows this dialog as the content of page `page` (from 1) of the tab
    // control `tab_id` of `owner`. The tab control shows and hides it as its
    // pages are selected.
    bool show_as_page(Dialog& owner, int tab_id, int page);

    // Closes the dialog from a callback; the control values stay readable
    // until release(). run_modal() then returns `result`, by default the id of
    // the control whose callback is running.
    void exit();
    void exit(int result);

    // Whether the close box closes the dialog (as Escape would); default true.
    void set_close_box(bool closes);

    // Frees the widgets; safe from within the dialog's own callbacks.
    void release();

    struct Impl;
    Impl* impl() const { return impl_.get(); }

private:
    std::unique_ptr<Impl> impl_;
};

// True while a dialog that makes the frame wait (a modal dialog run on the GUI
// thread, a file dialog) is open. Read on the GUI thread by the function-key
// filter, which ignores the keys meanwhile.
bool modal_dialog_open();

// Counts as an open modal dialog for its lifetime (message boxes, file dialogs).
class ModalScope {
public:
    ModalScope();
    ~ModalScope();
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;
};

}  // namespace tarvex::platform
