// Pictures of the frame with its four child windows as a run fills them: the
// engine's console messages from another thread, the residual and monitor
// records, the iteration lines and the residual plot. Saves frame_startup.png
// (the start-up layout), frame_run.png (the plot maximised, as during a run)
// and frame_tiled.png (the four windows side by side) in the directory named
// by the first argument (default: the working directory). Runs on a display
// or headless with QT_QPA_PLATFORM=offscreen.
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>

#include "common/channels.h"
#include "common/names.h"
#include "common/textfmt.h"
#include "engine/data.h"
#include "engine/engine.h"
#include "frontend/winmain.h"
#include "frontend/winscreenio.h"
#include "frontend/winwrapper.h"
#include "platform/app.h"
#include "platform/menu.h"
#include "platform/window.h"

namespace tarvex {
namespace {

std::string g_dir;
bool g_saved = true;

void save(const char* name) {
    platform::flush_gui();
    const std::string file = (g_dir.empty() ? std::string() : g_dir + "/") + name;
    if (platform::grab_frame(file)) {
        std::printf("%s\n", file.c_str());
    } else {
        std::fprintf(stderr, "could not save %s\n", file.c_str());
        g_saved = false;
    }
}

// The records of one recorded iteration, as the run writes them.
void write_records(int iter, double f) {
    IterationRecord r;
    r.iter = iter;
    r.f = f;
    r.rm0 = runctl.RM0;
    r.rt0 = runctl.RT0;
    r.u = 0.12;
    r.v = -0.03;
    r.tc = 21.5;
    r.p = -1.25;
    r.mean_tc = 20.75;
    r.sdu = 0.1 * runctl.RM0;
    r.xdu = 0.02;
    r.sdt = 0.01 * runctl.RT0;
    r.xdt = 0.004;
    WRITETORESID(residual_record(r), true);
    WRITETORESID(monitor_record(r), true);
    write_line(CH_ITER, free_line("sin,sout", 0.0612, -0.0612));
}

void demo() {
    platform::set_window_text(platform::window_handle(platform::FRAME_CHANNEL), "Tarvex V1.4 b ");
    if (SETUPSCREEN() != 0) {
        g_saved = false;
        platform::stop_program();
        return;
    }
    SETSTATBAR("idle ");

    // The engine's own routines write the console: a grid too large for the
    // build, a control file that is missing, then the example's control file
    // and a grid that fits.
    SETUP_ARRAY(2000, 1000, 10);
    filenames.CTLFILE = PaddedName("MISSING.CTL");
    INPUT1();
    filenames.CTLFILE = PaddedName(std::string(TARVEX_SOURCE_DIR) + "/examples/room/room.control");
    INPUT1();
    SETUP_ARRAY(20, 10, 12);
    write_line(CH_CONSOLE, free_line(" input data OK"));
    save("frame_startup.png");

    // A run of 40 iterations on a calculation thread: records every 5th.
    runctl.ITEMP = 1;
    runctl.ICONC = 0;
    domsums.VOLTOT = 48.6;
    resplot = RESPLOT{};
    std::thread calc([] {
        SETSTATBAR("calculations running");
        CLEARITER();
        CLEARRESID();
        RESIDTITLE();
        LOWERRESID();
        RAISERESGRP(0, 40);
        for (int iter = 1; iter <= 40; ++iter) {
            const double decay = std::exp(-0.15 * iter);
            runctl.RU0 = 5.0 * decay * domsums.VOLTOT;
            runctl.RV0 = runctl.RW0 = 0.0;
            runctl.RM0 = 0.2 * std::exp(-0.2 * iter);
            runctl.RT0 = 0.05 * std::exp(-0.1 * iter) * (1.0 + 0.3 * std::sin(iter));
            PLOTRESID(iter);
            if (iter == 1 || iter % 5 == 0) write_records(iter, 5.0 * decay);
        }
        write_line(CH_CONSOLE, free_line(" Run Finished"));
    });
    calc.join();
    save("frame_run.png");

    RAISERESID();
    platform::Window(CH_RESPLOT).set_place({platform::WindowState::Restored});
    platform::Window(CH_ITER).set_place({platform::WindowState::Restored});
    platform::trigger_menu_item(5, 2);   // Window > Tile
    save("frame_tiled.png");

    platform::set_end_behaviour(platform::EndBehaviour::Close);
    platform::stop_program();
}

}  // namespace
}  // namespace tarvex

int main(int argc, char** argv) {
    if (argc > 1) tarvex::g_dir = argv[1];
    tarvex::platform::AppHooks hooks;
    hooks.initial_settings = tarvex::INITIALSETTINGS;
    hooks.main_routine = tarvex::demo;
    char* args[] = {argv[0], nullptr};
    const int status = tarvex::platform::run_application(1, args, hooks);
    return status != 0 ? status : tarvex::g_saved ? 0 : 1;
}
