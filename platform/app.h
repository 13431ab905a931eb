// The application and its frame: start-up, the status bar, the About text,
// message boxes owned by the frame, and the end of the program.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tarvex::platform {

struct AppHooks {
    // Called on the GUI thread before the frame exists; true keeps the
    // default set-up (false ends the program at once).
    std::function<bool()> initial_settings;
    // The program's main routine, run on the program thread once the frame is
    // shown. It should return once program_ending() is true.
    std::function<void()> main_routine;
};

// Builds the application object, the frame and its default menus, starts the
// main routine on the program thread and runs the message loop on this
// thread, which becomes the GUI thread. Returns the exit code when the
// program ends, after the program thread has returned.
int run_application(int argc, char** argv, const AppHooks& hooks);

// For hosts that make their own application object and GUI thread (tests):
// builds the frame with its default menus (and shows it), or removes it with
// every child window, menu and filter. GUI thread only.
void create_frame();
void destroy_frame();
bool frame_exists();

// Status-bar text (a permanent label: menu hints do not replace it).
void set_status_text(std::string_view text);
std::string status_text();

// The library's own status texts; message 5 is "Running", shown while the
// main routine runs. Replacing a message that is shown updates the bar.
inline constexpr int MSG_RUNNING = 5;
void set_library_message(int id, std::string_view text);

// About text (at most 512 characters; a carriage return breaks a line), shown
// by the Help menu's About item.
void set_about_text(std::string_view text);
std::string about_text();

// Message boxes owned by the frame. A carriage return breaks a line.
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class Icon { None, Error, Warning, Question, Information };
enum class Answer { Ok, Cancel, Yes, No, Retry };
struct MessageBox {
    std::string text;
    std::string caption;
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
    int default_button = 1;   // 1 = first button
};
// Shows the box (on the GUI thread, waiting for it from any other thread) and
// answers the button pressed; Escape or closing the box answers Cancel (No
// for Yes/No boxes).
Answer message_box(const MessageBox& box);
// Tests answer message boxes: with a responder set, no box is shown and the
// responder's answer is returned. An empty function restores the real boxes.
void set_message_box_responder(std::function<Answer(const MessageBox&)> responder);

// What happens when the program stops (stop_program) or the main routine
// returns: ask before closing the windows, close them without asking, or
// keep them open.
enum class EndBehaviour { Ask, Close, Stay };
void set_end_behaviour(EndBehaviour behaviour);
EndBehaviour end_behaviour();
// Stops the program as the end behaviour says; from the program thread the
// caller then returns from the main routine. With Ask the question is
// "Program terminated. Exit window?"; No keeps the windows open.
void stop_program();
// True once the program is ending (the message loop has finished or is about
// to): the main routine's idle loop returns then.
bool program_ending();

// The exit status that run_application returns when the program ends (0
// unless set): a program that ends on an error sets a non-zero one.
void set_exit_status(int status);

// Waits until the GUI thread has run everything handed to it before.
void flush_gui();

// Saves an image of the frame with its child windows as a PNG file.
bool grab_frame(std::string_view png_file);

}  // namespace tarvex::platform
