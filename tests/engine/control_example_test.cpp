// The bundled example's control file reads cleanly and asks for a steady run.
#include <gtest/gtest.h>

#include <string>

#include "common/channels.h"
#include "engine/engine.h"

namespace tarvex {
namespace {

TEST(ControlExample, RoomControlFileReads) {
    ASSERT_TRUE(filenames.CTLFILE.assign(std::string(TARVEX_SOURCE_DIR) + "/examples/room/room.control"));
    runctl.VISC = 1.8e-5;
    CaptureSink console;
    ScopedChannelSink bind(CH_CONSOLE, &console);
    ASSERT_EQ(INPUT1(), 0) << console.text();
    EXPECT_TRUE(console.lines().empty());
    EXPECT_EQ(runctl.ITURB, 1);
    EXPECT_DOUBLE_EQ(runctl.VISEFF, 500.0 * 1.8e-5);
    EXPECT_EQ(runctl.ITRANS, 0);
    EXPECT_EQ(runctl.ITEMP, 1);
    EXPECT_EQ(runctl.ICONC, 1);
    EXPECT_GT(runctl.NPASS, 0);
    for (double f : {runctl.RLXU, runctl.RLXT, runctl.RLXP, runctl.RLXC}) {
        EXPECT_GT(f, 0.0);
        EXPECT_LE(f, 1.0);
    }
}

}  // namespace
}  // namespace tarvex
