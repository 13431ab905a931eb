// Test main for the Qt-backed tests: an application object on this thread,
// which is then the GUI thread.
#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

#include "platform/gui_thread.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Headless unless a test run asks for a real display.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    tarvex::platform::init_gui_thread();
    return RUN_ALL_TESTS();
}
