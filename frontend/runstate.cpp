#include "frontend/runstate.h"

#include <mutex>
#include <utility>

#include "frontend/winscreenio.h"
#include "common/channels.h"
#include "platform/app.h"

namespace tarvex {

RUNSTATE runstate;
FRAMEWIN framewin;

namespace {

std::mutex g_menus_mutex;
std::function<void()> g_run_end_menus;

}  // namespace

int CHECKSTOPRUN() { return runstate.ISTOPRUN.load(); }

void CURSORWAIT(bool flag) {
    const platform::Cursor cursor = flag ? platform::Cursor::Wait : platform::Cursor::Arrow;
    for (int channel : {int(CH_CONSOLE), int(CH_RESID)}) {
        platform::Window w(channel);
        w.make_active();
        w.set_mouse_cursor(cursor);
    }
}

void set_run_end_menus(std::function<void()> apply) {
    std::lock_guard<std::mutex> lock(g_menus_mutex);
    g_run_end_menus = std::move(apply);
}

void SETSTOPRUN(int /*status*/) {
    SETSTATBAR("idle ");
    std::function<void()> menus;
    {
        std::lock_guard<std::mutex> lock(g_menus_mutex);
        menus = g_run_end_menus;
    }
    if (menus) menus();
    // Status and menus stand before the flags clear: a Run or an Interrupt
    // that comes in after this sees an idle program whose menus are final.
    platform::flush_gui();
    runstate.ISTOPRUN = 0;
    runstate.IRUNNING = 0;
}

}  // namespace tarvex
