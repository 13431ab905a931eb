// A frame for each test, removed afterwards with everything in it.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "platform/app.h"
#include "platform/gui_thread.h"

namespace tarvex::platform::testing {

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override { create_frame(); }
    void TearDown() override {
        set_message_box_responder({});
        destroy_frame();
        QCoreApplication::processEvents();
    }
    // Lets the GUI thread run what other threads handed to it.
    static void pump() {
        QCoreApplication::processEvents();
        run_posted();
    }
};

}  // namespace tarvex::platform::testing
