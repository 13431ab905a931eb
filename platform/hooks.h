// Filters on the GUI thread's events: the close command and the function keys.
//
// Filters form a chain, the newest first; each answers true to consume the
// event or false to pass it on to the next. They run on the GUI thread.
// Install and remove may be called from any thread.
#pragma once

#include <cstdint>
#include <functional>

namespace tarvex::platform {

using HookHandle = std::intptr_t;   // 0: not installed

// Asked for every close command of the frame and its child windows (title-bar
// button, system menu, Alt+F4); true refuses it. The program's own closing of
// a window is not asked. Dialogs ask the same chain for their close command.
HookHandle set_close_filter(std::function<bool()> refuse);
bool remove_close_filter(HookHandle handle);

// Asked, application-wide, when a function key F1..F12 is released (auto-
// repeat ignored) with the key's number 1..12; true consumes the release.
HookHandle set_function_key_filter(std::function<bool(int key)> filter);
bool remove_function_key_filter(HookHandle handle);

// True while a modal window (a message box, a file dialog, a modal dialog) is
// open on the GUI thread.
bool modal_window_open();

// Test and program use: hands a function-key release to the filters as the
// event filter would; true when one consumed it.
bool deliver_function_key(int key);
// Asks the close chain as a close command would; true when refused.
bool close_command_refused();

}  // namespace tarvex::platform
