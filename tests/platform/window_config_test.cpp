#include <gtest/gtest.h>

#include <string>

#include "frame_fixture.h"
#include "platform/window.h"

namespace tarvex::platform {
namespace {

using testing::FrameTest;
using WindowConfigTest = FrameTest;

struct ConfigCase {
    const char* name;
    WindowKind kind;
    WindowConfig in;
    WindowConfig out;   // what the first call leaves
};

// The values the library fills in are fixed (a cell of 8 by 16 pixels), so
// that the numbers derived from them are the same everywhere; a first call
// that fills or changes anything answers false, the same values set again
// answer true.
TEST_F(WindowConfigTest, AdjustedValuesAreDeterministicAndStable) {
    const ConfigCase cases[] = {
        {"console", WindowKind::Text, {-1, -1, 80, 82, -1, -1, -1, ""}, {640, 1312, 80, 82, 256, 8, 16, ""}},
        {"residuals", WindowKind::Text, {-1, -1, 134, 110, -1, 8, 16, ""}, {1072, 1760, 134, 110, 256, 8, 16, ""}},
        {"iteration", WindowKind::Text, {-1, -1, 60, 15, -1, -1, -1, ""}, {480, 240, 60, 15, 256, 8, 16, ""}},
        {"text from pixels", WindowKind::Text, {100, 50, -1, -1, 16, 8, 16, ""}, {96, 48, 12, 3, 16, 8, 16, ""}},
        {"text out of range", WindowKind::Text, {-1, -1, 5000, 0, -1, -1, -1, ""}, {8000, 16, 1000, 1, 256, 8, 16, ""}},
        {"residual plot", WindowKind::Graphics, {600, 200, -1, -1, -1, 8, 16, ""}, {600, 200, 75, 13, 256, 8, 16, ""}},
        {"graphics defaults", WindowKind::Graphics, {-1, -1, -1, -1, -1, -1, -1, ""}, {1024, 640, 128, 40, 256, 8, 16, ""}},
        {"graphics from text grid", WindowKind::Graphics, {-1, -1, 50, 20, -1, -1, -1, ""}, {400, 320, 50, 20, 256, 8, 16, ""}},
    };
    int channel = 20;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(open_window(channel, c.kind, c.name));
        Window w(channel++);
        WindowConfig cfg = c.in;
        EXPECT_FALSE(w.set_config(cfg));
        EXPECT_EQ(cfg.pixels_x, c.out.pixels_x);
        EXPECT_EQ(cfg.pixels_y, c.out.pixels_y);
        EXPECT_EQ(cfg.text_cols, c.out.text_cols);
        EXPECT_EQ(cfg.text_rows, c.out.text_rows);
        EXPECT_EQ(cfg.colors, c.out.colors);
        EXPECT_EQ(cfg.font_width, c.out.font_width);
        EXPECT_EQ(cfg.font_height, c.out.font_height);
        EXPECT_EQ(cfg.title, c.name);
        WindowConfig again = cfg;
        EXPECT_TRUE(w.set_config(again));
        WindowConfig got;
        ASSERT_TRUE(w.get_config(got));
        EXPECT_EQ(got.text_rows, c.out.text_rows);
        EXPECT_EQ(got.pixels_x, c.out.pixels_x);
    }
}

TEST_F(WindowConfigTest, ChannelsOpenOnceAndCloseCleanly) {
    EXPECT_FALSE(open_window(100, WindowKind::Text, "x"));
    EXPECT_FALSE(open_window(-3, WindowKind::Text, "x"));
    ASSERT_TRUE(open_window(5, WindowKind::Text, "first"));
    EXPECT_EQ(active_channel(), 5);
    EXPECT_TRUE(open_window(5, WindowKind::Text, "renamed"));
    EXPECT_EQ(window_text(window_handle(5)), "renamed");
    EXPECT_FALSE(open_window(5, WindowKind::Graphics, "other kind"));
    const WindowHandle h = window_handle(5);
    EXPECT_NE(h, 0);
    EXPECT_NE(h, window_handle(FRAME_CHANNEL));
    close_window(5);
    EXPECT_FALSE(Window(5).exists());
    EXPECT_EQ(window_handle(5), 0);
    EXPECT_EQ(active_channel(), 0);
    // Operations on a closed channel do nothing.
    Window(5).write_line("lost");
    EXPECT_TRUE(Window(5).text_lines().empty());
    // A reopened channel is a new window.
    ASSERT_TRUE(open_window(5, WindowKind::Text, "again"));
    EXPECT_NE(window_handle(5), h);
}

TEST_F(WindowConfigTest, PlaceInCellsReadsBackAndKeepsThePlacedSizeWhileMinimised) {
    ASSERT_TRUE(open_window(6, WindowKind::Text, "console"));
    Window w(6);
    WindowConfig cfg{-1, -1, 80, 82, -1, -1, -1, ""};
    w.set_config(cfg);
    ASSERT_TRUE(w.set_place({WindowState::Place, 1, 13, 81, 14}));
    WindowPlace p;
    ASSERT_TRUE(w.get_place(p));
    EXPECT_EQ(p.state, WindowState::Restored);
    EXPECT_EQ(p.x, 1);
    EXPECT_EQ(p.y, 13);
    EXPECT_EQ(p.width, 81);
    EXPECT_EQ(p.height, 14);

    w.set_place({WindowState::Minimised});
    ASSERT_TRUE(w.get_place(p));
    EXPECT_EQ(p.state, WindowState::Minimised);
    EXPECT_EQ(p.width, 81);
    EXPECT_EQ(p.height, 14);

    w.set_place({WindowState::Maximised});
    ASSERT_TRUE(w.get_place(p));
    EXPECT_EQ(p.state, WindowState::Maximised);
    EXPECT_GT(p.width, 81);

    w.set_place({WindowState::Restored});
    ASSERT_TRUE(w.get_place(p));
    EXPECT_EQ(p.state, WindowState::Restored);
    EXPECT_EQ(p.width, 81);
    EXPECT_EQ(p.x, 1);
    EXPECT_FALSE(w.set_place({WindowState::Place, 0, 0, 0, 5}));
}

// The frame's client area is 128 by 40 cells everywhere, so the maximised
// size of a graphics window (which the plot viewers measure) is fixed too.
TEST_F(WindowConfigTest, MaximisedWindowHasAFixedSize) {
    ASSERT_TRUE(open_window(99, WindowKind::Graphics, "Domain view"));
    Window w(99);
    w.set_place({WindowState::Maximised});
    WindowPlace p;
    ASSERT_TRUE(w.get_place(p));
    EXPECT_EQ(p.state, WindowState::Maximised);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    EXPECT_EQ(p.width, 128);
    EXPECT_EQ(p.height, 40);
}

}  // namespace
}  // namespace tarvex::platform
