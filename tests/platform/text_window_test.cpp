#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "common/channels.h"
#include "frame_fixture.h"
#include "platform/window.h"

namespace tarvex::platform {
namespace {

using TextWindowTest = testing::FrameTest;

Window text_window(int channel, int cols, int rows, int place_rows) {
    open_window(channel, WindowKind::Text, "text");
    Window w(channel);
    WindowConfig cfg{-1, -1, cols, rows, -1, -1, -1, ""};
    w.set_config(cfg);
    w.set_place({WindowState::Place, 0, 0, cols + 1, place_rows});
    return w;
}

TEST_F(TextWindowTest, LinesFillRowsThenScrollAndLongLinesWrap) {
    Window w = text_window(11, 10, 4, 4);
    w.write_line("one");
    w.write_line("two");
    w.write_line("abcdefghijKLM");   // 13 characters in 10 columns
    EXPECT_EQ(w.text_lines(), (std::vector<std::string>{"one", "two", "abcdefghij", "KLM"}));
    w.write_line("five");            // past the last row: the text moves up
    EXPECT_EQ(w.text_lines(), (std::vector<std::string>{"two", "abcdefghij", "KLM", "five"}));
    w.write_line("");
    EXPECT_EQ(w.text_lines(), (std::vector<std::string>{"abcdefghij", "KLM", "five", ""}));
    w.write_line(" NAME" + std::string(250, ' '));   // a blank-padded file name: one row
    w.write_line("last");
    EXPECT_EQ(w.text_lines(), (std::vector<std::string>{"five", "", " NAME", "last"}));
    w.clear();
    w.write_line("top");
    EXPECT_EQ(w.text_lines(), (std::vector<std::string>{"top", "", "", ""}));
}

TEST_F(TextWindowTest, ViewFollowsTheLineWrittenAndScrollMessagesMoveIt) {
    Window w = text_window(7, 20, 30, 5);
    for (int i = 0; i < 5; ++i) w.write_line("line " + std::to_string(i));
    EXPECT_EQ(w.first_visible_row(), 0);
    w.write_line("line 5");
    EXPECT_EQ(w.first_visible_row(), 1);   // rows 1..5 in view
    w.scroll(ScrollCommand::LineDown);
    EXPECT_EQ(w.first_visible_row(), 2);
    w.write_line("line 6");                 // already in view: the view stays
    EXPECT_EQ(w.first_visible_row(), 2);
    scroll_window(window_handle(7), ScrollCommand::Top);
    EXPECT_EQ(w.first_visible_row(), 0);
    w.scroll(ScrollCommand::Bottom);
    EXPECT_EQ(w.first_visible_row(), 25);   // 30 rows, 5 visible
    w.scroll(ScrollCommand::LineDown);
    EXPECT_EQ(w.first_visible_row(), 25);
}

// The engine writes channels from its own thread; the lines must arrive in
// the order written and on the window of that channel.
TEST_F(TextWindowTest, ChannelWritesFromAWorkerArriveInOrder) {
    Window w = text_window(6, 40, 500, 10);
    text_window(8, 40, 500, 10);
    std::thread worker([] {
        for (int i = 0; i < 400; ++i) {
            write_line(CH_CONSOLE, "console " + std::to_string(i));
            if (i % 4 == 0) write_line(CH_ITER, "iter " + std::to_string(i));
        }
    });
    worker.join();
    pump();
    const auto lines = w.text_lines();
    for (int i = 0; i < 400; ++i) ASSERT_EQ(lines[static_cast<std::size_t>(i)], "console " + std::to_string(i));
    EXPECT_EQ(Window(8).text_lines()[99], "iter 396");
    // Closing the channel unbinds it: later lines no longer reach a window.
    close_window(6);
    EXPECT_EQ(channel_sink(CH_CONSOLE), nullptr);
}

TEST_F(TextWindowTest, ColourIndicesReturnThePreviousIndex) {
    Window w = text_window(12, 10, 3, 3);
    EXPECT_EQ(w.set_bk_color_index(15), 15);
    EXPECT_EQ(w.set_bk_color_index(1), 15);
    EXPECT_EQ(w.bk_color_rgb(), palette_color(1));
    EXPECT_EQ(w.set_text_color_index(0), 0);
    EXPECT_EQ(w.set_text_color_index(14), 0);
    EXPECT_EQ(palette_color(15), 0xFFFFFFu);
    EXPECT_EQ(palette_color(12), bgr(255, 0, 0));
}

TEST_F(TextWindowTest, MouseCursorAndActiveWindow) {
    text_window(6, 10, 3, 3);
    text_window(7, 10, 3, 3);
    EXPECT_EQ(active_channel(), 7);
    set_active_window(6);
    EXPECT_EQ(active_channel(), 6);
    set_active_window(42);   // no such window: unchanged
    EXPECT_EQ(active_channel(), 6);
    active_window().set_mouse_cursor(Cursor::Wait);
    EXPECT_EQ(Window(6).mouse_cursor(), Cursor::Wait);
    EXPECT_EQ(Window(7).mouse_cursor(), Cursor::Arrow);
    Window(7).focus();
    EXPECT_EQ(active_channel(), 7);
}

}  // namespace
}  // namespace tarvex::platform
