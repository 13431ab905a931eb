#include <gtest/gtest.h>

#include <QCoreApplication>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/gui_thread.h"

namespace tarvex::platform {

TEST(GuiThread, PostsFromAWorkerRunInOrderOnTheGuiThread) {
    std::vector<int> seen;
    std::atomic<bool> wrong_thread{false};
    std::thread worker([&] {
        for (int i = 0; i < 100; ++i)
            post([&, i] {
                if (!is_gui_thread()) wrong_thread = true;
                seen.push_back(i);
            });
    });
    worker.join();
    QCoreApplication::processEvents();
    ASSERT_EQ(seen.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(seen[i], i);
    EXPECT_FALSE(wrong_thread);
}

TEST(GuiThread, BlockingCallReturnsItsValueToTheWorker) {
    int answer = 0;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        answer = call_blocking_result<int>([] { return is_gui_thread() ? 42 : -1; });
        done = true;
    });
    while (!done) QCoreApplication::processEvents();
    worker.join();
    EXPECT_EQ(answer, 42);
    EXPECT_EQ(call_blocking_result<int>([] { return 7; }), 7);   // inline on the GUI thread
}

}  // namespace tarvex::platform
