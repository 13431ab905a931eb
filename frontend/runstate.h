// The words the three threads of the front end share, and the routines that
// act on them from the calculation thread.
//
// Every RUNSTATE word is an atomic word, written and read whole. The
// threads that share them, and what each owns: THREADS.md.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/hooks.h"
#include "platform/threads.h"
#include "platform/window.h"

namespace tarvex {

struct RUNSTATE {
    std::atomic<platform::HookHandle> HCBTHOOK{0};     // the close-refusing filter
    std::atomic<std::uint64_t> IDGUI{0};               // id of the GUI (primary) thread
    std::atomic<std::int32_t> IRUNNING{0};             // 1 while a calculation thread runs
    std::atomic<std::int32_t> ISTOPRUN{0};             // 1: interrupt after the current iteration
    std::atomic<bool> GEOMOK{false};                   // a case file has been read
    std::atomic<bool> CTRLOK{false};                   // a control file has been read
    std::atomic<platform::ThreadHandle> HWORKER{0};    // the latest calculation thread, 0: none
    std::atomic<platform::HookHandle> HKBDHOOK{0};     // the function-key filter
};
extern RUNSTATE runstate;

// The frame window and the version text "Tarvex V1.4 b  " (13 characters and
// two blanks; the main program puts a NUL at its 15th character so that the
// first 14 serve as the frame title).
struct FRAMEWIN {
    std::atomic<platform::WindowHandle> HFRAME{0};
    char VERTEXT[15];
};
extern FRAMEWIN framewin;

// The stop request as the run driver sees it, once per iteration.
int CHECKSTOPRUN();

// Wait cursor (true) or arrow (false) on the console and the Residuals
// display; the Residuals display is the active window afterwards.
void CURSORWAIT(bool flag);

// The last act of every run, on the calculation thread: status "idle ", the
// menus of a run's end (through the routine set below), and then, once the
// GUI shows both, ISTOPRUN and IRUNNING cleared, IRUNNING last. The status
// (0 or 1) changes nothing. The caller's thread function returns right after.
void SETSTOPRUN(int status);

// The menu changes of a run's end (the menus' owner sets them up).
void set_run_end_menus(std::function<void()> apply);

}  // namespace tarvex
