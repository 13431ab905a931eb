#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "common/channels.h"
#include "frontend/runstate.h"
#include "frontend/winscreenio.h"
#include "platform/app.h"
#include "platform/frame_fixture.h"
#include "platform/menu.h"
#include "platform/threads.h"
#include "platform/window.h"

namespace tarvex {
namespace {

class RunStateTest : public platform::testing::FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        SETUPSCREEN();
        runstate.IRUNNING = 0;
        runstate.ISTOPRUN = 0;
    }
    void TearDown() override {
        set_run_end_menus({});
        set_channel_sink(CH_ITER, nullptr);
        FrameTest::TearDown();
    }
};

TEST(RunStateWords, StartClearedAndAreLockFree) {
    EXPECT_EQ(runstate.IRUNNING, 0);
    EXPECT_EQ(runstate.ISTOPRUN, 0);
    EXPECT_FALSE(runstate.GEOMOK);
    EXPECT_FALSE(runstate.CTRLOK);
    EXPECT_EQ(runstate.HWORKER, 0);
    EXPECT_TRUE(runstate.IRUNNING.is_lock_free());
    EXPECT_TRUE(runstate.HWORKER.is_lock_free());
}

// The calculation thread ends a run: whatever the GUI thread sees once
// IRUNNING is 0, the status bar and the run-end menus must already stand,
// so that a Run coming in then cannot have its menus overwritten.
TEST_F(RunStateTest, SetStopRunClearsTheFlagsOnlyAfterStatusAndMenusStand) {
    platform::modify_menu_flags(1, 1, platform::MENU_GRAYED);   // as at a run's start
    platform::set_status_text("calculations running");
    std::atomic<int> running_in_menus{-1};
    set_run_end_menus([&] {
        running_in_menus = runstate.IRUNNING.load();
        platform::modify_menu_flags(1, 1, platform::MENU_ENABLED);
    });
    runstate.IRUNNING = 1;
    runstate.ISTOPRUN = 1;
    const platform::ThreadHandle worker = platform::create_thread(
        [] {
            SETSTOPRUN(1);
            return 0;
        },
        platform::ThreadPriority::BelowNormal);
    while (runstate.IRUNNING.load() != 0) {   // serve the GUI until the flag drops
        QCoreApplication::processEvents();
        platform::run_posted();
    }
    // Read at once, without serving the GUI again.
    EXPECT_EQ(platform::status_text(), "idle");
    platform::MenuItemInfo info;
    ASSERT_TRUE(platform::menu_item_info(1, 1, info));
    EXPECT_TRUE(info.enabled);
    EXPECT_EQ(running_in_menus, 1);
    EXPECT_EQ(runstate.ISTOPRUN, 0);
    EXPECT_TRUE(platform::join_thread(worker));
}

// The stop request is polled once per iteration: one asked for while an
// iteration is in progress ends the run after that iteration.
TEST_F(RunStateTest, InterruptDuringAnIterationEndsTheRunAfterIt) {
    std::atomic<int> in_iteration{0};
    std::atomic<bool> go_on{false};
    std::atomic<int> completed{0};
    runstate.IRUNNING = 1;
    const platform::ThreadHandle worker = platform::create_thread([&] {
        for (int iter = 1; iter <= 10; ++iter) {
            in_iteration = iter;
            if (iter == 3)
                while (!go_on) platform::sleep_ms(1);   // the iteration's work
            completed = iter;
            if (CHECKSTOPRUN() == 1) break;
        }
        SETSTOPRUN(1);
        return 0;
    });
    while (in_iteration < 3) platform::sleep_ms(1);
    runstate.ISTOPRUN = 1;   // what Interrupt or F11 does
    go_on = true;
    while (runstate.IRUNNING.load() != 0) {
        QCoreApplication::processEvents();
        platform::run_posted();
    }
    EXPECT_EQ(completed, 3);
    EXPECT_TRUE(platform::join_thread(worker));
}

TEST_F(RunStateTest, CursorWaitLeavesTheResidualsDisplayActive) {
    for (bool flag : {true, false}) {
        platform::set_active_window(CH_RESPLOT);
        CURSORWAIT(flag);
        EXPECT_EQ(platform::active_channel(), CH_RESID);
        const auto expected = flag ? platform::Cursor::Wait : platform::Cursor::Arrow;
        EXPECT_EQ(platform::Window(CH_CONSOLE).mouse_cursor(), expected);
        EXPECT_EQ(platform::Window(CH_RESID).mouse_cursor(), expected);
    }
}

}  // namespace
}  // namespace tarvex
