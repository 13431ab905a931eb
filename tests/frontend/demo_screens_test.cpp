// Opens the frame with its four child windows as a run fills them (the
// engine's console messages from another thread, residual records, the
// iteration lines and the residual plot) and saves pictures of the frame:
// frame_startup.png (the start-up layout), frame_run.png (the plot maximised,
// as during a run) and frame_tiled.png (the four windows side by side).
// TARVEX_SCREENSHOT_DIR names the directory (default: the working directory).
#include <gtest/gtest.h>

#include <QImage>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "common/channels.h"
#include "common/textfmt.h"
#include "engine/data.h"
#include "engine/engine.h"
#include "frontend/runstate.h"
#include "frontend/winscreenio.h"
#include "platform/app.h"
#include "platform/frame_fixture.h"
#include "platform/menu.h"
#include "platform/window.h"

namespace tarvex {
namespace {

std::string picture(const char* name) {
    const char* dir = std::getenv("TARVEX_SCREENSHOT_DIR");
    return (dir && *dir ? std::string(dir) + "/" : std::string()) + name;
}

void residual_record(int iter, double f, double m) {
    std::string line = fmt_i(iter, 5);
    for (double v : {f, m, 0.0, 0.0, 0.0}) {
        line += ' ';
        line += fmt_e(v, 9, 3);
    }
    line += "    ";
    line += fmt_e(m * 0.1, 9, 4);
    line += ' ';
    line += fmt_e(0.02, 9, 4);
    WRITETORESID(line, true);
    std::string monitor(8, ' ');
    for (double v : {0.12, -0.03, 0.0, 21.5, -1.25, 20.75}) {
        monitor += fmt_e(v, 9, 3);
        monitor += ' ';
    }
    WRITETORESID(monitor, true);
}

using DemoTest = platform::testing::FrameTest;

TEST_F(DemoTest, FrameWithTheFourWindowsAsARunFillsThem) {
    platform::set_window_text(platform::window_handle(platform::FRAME_CHANNEL), "Tarvex V1.4 b ");
    ASSERT_EQ(SETUPSCREEN(), 0);
    SETSTATBAR("idle ");

    // The engine's own routines write the console from another thread: a
    // grid too large for the build, a control file that is missing, then the
    // example's control file and a grid that fits.
    std::atomic<int> results{0};
    std::thread engine([&results] {
        if (SETUP_ARRAY(2000, 1000, 10) != 0) ++results;
        filenames.CTLFILE = PaddedName("MISSING.CTL");
        if (INPUT1() != 0) ++results;
        filenames.CTLFILE = PaddedName(std::string(TARVEX_SOURCE_DIR) + "/examples/room/room.control");
        if (INPUT1() == 0) ++results;
        if (SETUP_ARRAY(20, 10, 12) == 0) ++results;
        write_line(CH_CONSOLE, free_line(" input data OK"));
    });
    engine.join();
    pump();
    EXPECT_EQ(results, 4);
    platform::grab_frame(picture("frame_startup.png"));

    // A run of 40 iterations on the calculation thread: records every 5th.
    runctl.ITEMP = 1;
    runctl.ICONC = 0;
    domsums.VOLTOT = 48.6;
    resplot = RESPLOT{};
    std::atomic<bool> done{false};
    std::thread calc([&done] {
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
            if (iter == 1 || iter % 5 == 0) {
                residual_record(iter, 5.0 * decay, runctl.RM0);
                write_line(CH_ITER, free_line("sin,sout", 0.0612, -0.0612));
            }
        }
        write_line(CH_CONSOLE, free_line(" Run Finished"));
        done = true;
    });
    while (!done) pump();   // the run waits for the GUI now and then: serve it
    calc.join();
    pump();
    ASSERT_TRUE(platform::grab_frame(picture("frame_run.png")));

    RAISERESID();
    platform::Window(CH_RESPLOT).set_place({platform::WindowState::Restored});
    platform::Window(CH_ITER).set_place({platform::WindowState::Restored});
    platform::trigger_menu_item(5, 2);   // Window > Tile
    pump();
    ASSERT_TRUE(platform::grab_frame(picture("frame_tiled.png")));

    const QImage run(QString::fromStdString(picture("frame_run.png")));
    ASSERT_FALSE(run.isNull());
    EXPECT_GE(run.width(), 128 * 8);
    const auto console = platform::Window(CH_CONSOLE).text_lines();
    EXPECT_EQ(console[0], "  problem size too big");
    EXPECT_EQ(console[3], "  error opening control file");
    EXPECT_EQ(console[4], " MISSING.CTL");   // the blank-padded name on one row
    EXPECT_EQ(console[5], " (No such file or directory)");
    EXPECT_EQ(console[6], "  input data OK");
    EXPECT_EQ(console[7], "  Run Finished");
    EXPECT_EQ(platform::Window(CH_ITER).text_lines()[0].substr(0, 9), " sin,sout");
}

}  // namespace
}  // namespace tarvex
