// The menus, the close and function-key filters, and the File menu routines.
//
// After SETUPMENUS the bar holds File, View, then the window layer's Window
// and Help menus. Every menu routine and both filters run on the GUI thread;
// the routines that load files or start runs do nothing while a run is going
// (IRUNNING), and test it again after their file dialog has returned.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/statustext.h"

namespace tarvex {

// Menu and item numbers of the bar (items count from 1; 0 is the menu itself).
namespace menu_pos {
inline constexpr int FILE_MENU = 1;
inline constexpr int VIEW_MENU = 2;
inline constexpr int LOAD_GEOMETRY = 1;
inline constexpr int LOAD_CONTROL = 2;
inline constexpr int LOAD_SAVED = 3;
inline constexpr int SELECT_OUTPUT = 5;
inline constexpr int RUN = 7;
inline constexpr int INTERRUPT = 8;
inline constexpr int EXIT = 10;
}  // namespace menu_pos

// An item of the View menu, offered by a viewer module before SETUPMENUS
// runs; function_key (9 or 10, 0 for none) opens it too while no run is
// going and a case is loaded.
struct ViewItem {
    std::string text;
    std::function<void()> routine;
    int function_key = 0;
};
void set_view_items(std::vector<ViewItem> items);
// The program's View menu: Data, Region (F10), Residuals, Domain data (F9).
std::vector<ViewItem> standard_view_items();

// Builds the menus, the close filter (every close command is refused: the
// program ends only through Exit) and the function-key filter. 0, or -1 when
// a filter cannot be installed (after a console line).
int SETUPMENUS();

// The File menu routines. The flag is the item's check mark, unused.
void OPENDATAPROC(bool checked = false);   // Load Geometry, F5
void OPENCTRLPROC(bool checked = false);   // Load Control, F6
void OPENPREVPROC(bool checked = false);   // Load Saved data, F4
void OPENSAVEPROC(bool checked = false);   // Select Output, F3
// Run, F12: reads the case and control files not loaded yet, then starts
// AIRCALC (frontend/winmain.h) on a calculation thread at below-normal
// priority. Nothing happens while a run is going.
void STARTWORKPROC(bool checked = false);
void STOPWORKPROC(bool checked = false);   // Interrupt, F11
void USEREXIT(bool checked = false);       // Exit

// The function keys as the filter acts on them (1..12 for F1..F12). The
// action is handed to the GUI thread's queue. True when the key is one of
// ours (consumed); keys are ignored while a modal window is open, except F11
// while a run is going, which asks it to stop as ever.
bool function_key_released(int key);

// Menu states of the events that change them.
// Load Saved data and the View menu need a case: enabled once a case file
// was read (GEOMOK), grayed again when a later one fails to load.
void menus_case_loaded();   // Load Saved data and the View menu enabled
void menus_no_case();       // Load Saved data and the View menu grayed
void menus_run_start();
void menus_interrupt_asked();
void menus_run_end();

// The frame title: the version text alone, or with the case file name.
void set_plain_title();
void set_case_title(std::string_view case_name);

}  // namespace tarvex
