#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/channels.h"
#include "common/textfmt.h"
#include "engine/data.h"
#include "frontend/winscreenio.h"
#include "platform/app.h"
#include "platform/frame_fixture.h"
#include "platform/window.h"

namespace tarvex {
namespace {

using platform::Window;
using platform::WindowPlace;
using platform::WindowState;

class ScreensTest : public platform::testing::FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        ASSERT_EQ(SETUPSCREEN(), 0);
    }
    void TearDown() override {
        set_channel_sink(CH_ITER, nullptr);
        FrameTest::TearDown();
    }
    static std::vector<std::string> resid_lines() { return Window(CH_RESID).text_lines(); }
};

TEST_F(ScreensTest, SetupOpensTheFourWindowsWithTheirSizesAndPlaces) {
    struct Expect {
        int channel;
        const char* title;
        platform::WindowKind kind;
        int cols, rows;
        WindowState state;
        int x, y, width, height;
    };
    const Expect expect[] = {
        {CH_CONSOLE, "console", platform::WindowKind::Text, 80, 82, WindowState::Restored, 1, 13, 81, 14},
        {CH_RESID, "Residuals display", platform::WindowKind::Text, 134, 110, WindowState::Restored, 0, 0, 85, 10},
        {CH_ITER, "iteration data", platform::WindowKind::Text, 60, 15, WindowState::Minimised, 0, 0, 40, 10},
        {CH_RESPLOT, "residuals plot", platform::WindowKind::Graphics, 75, 13, WindowState::Minimised, 0, 0, 75, 13},
    };
    for (const auto& e : expect) {
        SCOPED_TRACE(e.title);
        Window w(e.channel);
        ASSERT_TRUE(w.exists());
        EXPECT_EQ(w.kind(), e.kind);
        platform::WindowConfig cfg;
        ASSERT_TRUE(w.get_config(cfg));
        EXPECT_EQ(cfg.title, e.title);
        EXPECT_EQ(cfg.text_cols, e.cols);
        EXPECT_EQ(cfg.text_rows, e.rows);
        WindowPlace p;
        ASSERT_TRUE(w.get_place(p));
        EXPECT_EQ(p.state, e.state);
        EXPECT_EQ(p.x, e.x);
        EXPECT_EQ(p.y, e.y);
        EXPECT_EQ(p.width, e.width);
        EXPECT_EQ(p.height, e.height);
        EXPECT_EQ(w.bk_color_rgb(), 0xFFFFFFu);
    }
    platform::WindowConfig plot;
    Window(CH_RESPLOT).get_config(plot);
    EXPECT_EQ(plot.pixels_x, 600);
    EXPECT_EQ(plot.pixels_y, 200);
    EXPECT_EQ(reswin.NRESLINES, 0);
    EXPECT_EQ(reswin.NRESVIS, 10);
    EXPECT_EQ(reswin.NRESMAX, 110);
    EXPECT_EQ(reswin.HRESWIN, platform::window_handle(CH_RESID));
    EXPECT_EQ(platform::active_channel(), CH_CONSOLE);
    // The library's "Running" text is blanked: the bar shows only the system's texts.
    EXPECT_EQ(platform::status_text(), "");
}

TEST_F(ScreensTest, HeaderTextsAndTheLineTheyLeave) {
    EXPECT_EQ(RESID_HEADER1.size(), 99u);
    EXPECT_EQ(RESID_HEADER2.size(), 60u);
    RESIDTITLE();
    const auto lines = resid_lines();
    EXPECT_EQ(lines[0], RESID_HEADER1);
    EXPECT_EQ(lines[1], RESID_HEADER2);
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(reswin.NRESLINES, 2);
    const std::string line(runctl.LINE, LINE_LENGTH);
    EXPECT_EQ(line, std::string(RESID_HEADER2) + std::string(132 - 60, ' '));
}

// A page holds 110 lines; the next line with the page flag clears the
// display and starts it with the two headers. Lines without the flag never
// clear it, and the newest line stays in view.
TEST_F(ScreensTest, ResidualsDisplayTurnsThePageOnlyWithThePageFlag) {
    CLEARRESID();
    RESIDTITLE();
    for (int i = 1; i <= 108; ++i) WRITETORESID("record " + std::to_string(i), true);
    EXPECT_EQ(reswin.NRESLINES, 110);
    auto lines = resid_lines();
    EXPECT_EQ(lines[0], RESID_HEADER1);
    EXPECT_EQ(lines[109], "record 108");
    EXPECT_EQ(Window(CH_RESID).first_visible_row(), 100);   // rows 100..109 in view

    WRITETORESID("record 109", true);
    lines = resid_lines();
    EXPECT_EQ(lines[0], RESID_HEADER1);
    EXPECT_EQ(lines[1], RESID_HEADER2);
    EXPECT_EQ(lines[2], "record 109");
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(reswin.NRESLINES, 3);
    EXPECT_EQ(Window(CH_RESID).first_visible_row(), 0);

    // Fill the page again, then write without the flag: no page turn, the
    // text moves up and the count stays at the maximum.
    for (int i = 110; i <= 216; ++i) WRITETORESID("record " + std::to_string(i), true);
    EXPECT_EQ(reswin.NRESLINES, 110);
    RESIDTITLE();
    lines = resid_lines();
    EXPECT_EQ(reswin.NRESLINES, 110);
    EXPECT_EQ(lines[107], "record 216");
    EXPECT_EQ(lines[108], RESID_HEADER1);
    EXPECT_EQ(lines[109], RESID_HEADER2);
    EXPECT_EQ(Window(CH_RESID).first_visible_row(), 100);
}

TEST_F(ScreensTest, IterationWindowShowsTheFirstSixtyCharacters) {
    const std::string momentum(62, 'm');
    const std::string shorter = " sin,sout  1.5  -1.5";
    std::thread engine([&] {   // the engine writes channel 8 from the calculation thread
        write_line(CH_ITER, momentum);
        write_line(CH_ITER, shorter);
        write_line(CH_ITER, std::string(60, 'x'));
    });
    engine.join();
    pump();
    const auto lines = Window(CH_ITER).text_lines();
    EXPECT_EQ(lines[0], std::string(60, 'm'));
    EXPECT_EQ(lines[1], shorter);
    EXPECT_EQ(lines[2], std::string(60, 'x'));
    EXPECT_EQ(lines[3], "");

    CLEARITER();
    EXPECT_EQ(Window(CH_ITER).text_lines()[0], "");
    WindowPlace p;
    ASSERT_TRUE(Window(CH_ITER).get_place(p));
    EXPECT_EQ(p.state, WindowState::Minimised);
    EXPECT_EQ(platform::active_channel(), CH_ITER);
}

TEST_F(ScreensTest, StatusTextLosesTrailingBlanksAndIsCutAt34) {
    const struct {
        std::string in;
        std::string shown;
    } cases[] = {
        {"idle ", "idle"},
        {"calculations running", "calculations running"},
        {std::string(40, 'a'), std::string(34, 'a')},
        {std::string(34, 'b') + "      ", std::string(34, 'b')},
        {"   ", ""},
    };
    for (const auto& c : cases) {
        SETSTATBAR(c.in);
        EXPECT_EQ(platform::status_text(), c.shown) << '"' << c.in << '"';
    }
}

TEST_F(ScreensTest, ConsoleShowsTheEngineMessagesAndClears) {
    std::thread engine([] {
        write_line(CH_CONSOLE, free_line(" number of cells requested: ", 1000));
        write_line(CH_CONSOLE, free_line(" input data OK"));
    });
    engine.join();
    pump();
    auto lines = Window(CH_CONSOLE).text_lines();
    EXPECT_EQ(lines[0], free_line(" number of cells requested: ", 1000));
    EXPECT_EQ(lines[1], "  input data OK");
    CLEARLOG();
    lines = Window(CH_CONSOLE).text_lines();
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(platform::active_channel(), CH_CONSOLE);
}

// A run minimises the display, maximises the plot and makes the display the
// active window now and then (which maximises it while the plot is
// maximised); when the run ends and the display is restored, its newest
// lines are the ones in view.
TEST_F(ScreensTest, ResidualsDisplayShowsItsNewestLinesAfterARun) {
    CLEARRESID();
    RESIDTITLE();
    LOWERRESID();
    Window(CH_RESPLOT).set_place({WindowState::Maximised});
    for (int i = 1; i <= 102; ++i) {
        WRITETORESID("record " + std::to_string(i), true);
        if (i % 10 == 0) Window(CH_RESID).make_active();
    }
    RESIDTITLE();
    RAISERESID();
    platform::flush_gui();
    const int newest = reswin.NRESLINES - 1;   // row of the last header line
    ASSERT_EQ(resid_lines()[static_cast<std::size_t>(newest)], RESID_HEADER2);
    const int top = Window(CH_RESID).first_visible_row();
    EXPECT_LE(top, newest);
    EXPECT_GT(top + 10, newest);   // the display is 10 rows high
}

TEST_F(ScreensTest, RaiseAndLowerTheResidualsDisplay) {
    LOWERRESID();
    WindowPlace p;
    ASSERT_TRUE(Window(CH_RESID).get_place(p));
    EXPECT_EQ(p.state, WindowState::Minimised);
    RAISERESID();
    ASSERT_TRUE(Window(CH_RESID).get_place(p));
    EXPECT_EQ(p.state, WindowState::Restored);
    EXPECT_EQ(p.width, 85);
    EXPECT_EQ(p.height, 10);
    EXPECT_EQ(platform::active_channel(), CH_RESID);
}

}  // namespace
}  // namespace tarvex
