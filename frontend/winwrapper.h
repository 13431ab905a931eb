// The main program: start-up of the frame's contents, the engine's run
// defaults and the menus, the start-at-once run, and the idle loop that reaps
// finished calculation threads.
#pragma once

#include <string>
#include <string_view>

namespace tarvex {

// The version text: 13 characters and two blanks. The frame title is its
// first 14 characters.
inline constexpr std::string_view VERSION_TEXT = "Tarvex V1.4 b  ";

// The About text for an engine version text: the version text, the engine's,
// then further lines (carriage returns break the lines).
std::string about_text(std::string_view engine_version);

// The command line the first stage hands to the engine (argv[0] the program).
void set_command_line(int argc, const char* const* argv);

// Start-up hook of the window layer, on the GUI thread before the frame
// exists: records the GUI thread's id. True.
bool INITIALSETTINGS();

// The main routine, on the program thread: title, About text, child windows,
// AIRSTAGE0, SETUPMENUS, the start-at-once run, then the idle loop until the
// program ends. On a failed start-up it shows "Problem in initialisation" and
// returns.
void TARVEX4();

// The first stage: viewer flags, the engine's command line and run defaults
// (PROG_INIT), the viewer defaults (VER_INIT). 0, or -1 after
// " error in initialising programme".
int AIRSTAGE0();

// The viewers' defaults: open and busy flags cleared, plane, plot choices,
// options and the colour table (frontend/calc/viewstate.h).
void VER_INIT();

// One poll of the idle loop: a calculation thread that has ended is released
// and HWORKER cleared.
void reap_worker();

// The whole program: the window layer's start-up with INITIALSETTINGS and
// TARVEX4. Returns the exit code.
int run_tarvex(int argc, char** argv);

}  // namespace tarvex
