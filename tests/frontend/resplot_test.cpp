#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "common/channels.h"
#include "engine/data.h"
#include "frontend/winscreenio.h"
#include "platform/frame_fixture.h"
#include "platform/window.h"

namespace tarvex {
namespace {

using platform::Window;

constexpr std::uint32_t RED = 0x0000FF, BLUE = 0xFF0000, BLACK = 0x000000;

class ResidualPlotTest : public platform::testing::FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        SETUPSCREEN();
        resplot = RESPLOT{};   // as at program start
        runctl.ITEMP = 0;
        runctl.ICONC = 0;
        runctl.RU0 = runctl.RV0 = runctl.RW0 = 0.0;
        runctl.RM0 = runctl.RT0 = runctl.RC0 = runctl.RC20 = 0.0;
        domsums.VOLTOT = 2.0;
    }
    void TearDown() override {
        set_channel_sink(CH_ITER, nullptr);
        FrameTest::TearDown();
    }
    static std::set<std::uint32_t> colours() {
        std::set<std::uint32_t> seen;
        Window w(CH_RESPLOT);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 600; ++x) seen.insert(w.pixel(x, y));
        return seen;
    }
    // The chart's mapping worked out by hand for RAISERESGRP(0, 10): the
    // image is 600 by 200 pixels (viewport 0..599, 0..199); x runs from
    // -1 to 10 and y from -4.5 to 3.1 upwards.
    static int px(double x) { return static_cast<int>(std::floor((x + 1.0) * 599.0 / 11.0 + 0.5)); }
    static int py(double y) { return static_cast<int>(std::floor((3.1 - y) * 199.0 / 7.6 + 0.5)); }
};

// A mass residual of 1e-2 at iteration 1 draws the mass curve from (0, 0)
// (a residual of 1 at program start) to (1, -2).
TEST_F(ResidualPlotTest, OneSegmentLandsWhereTheLogarithmicScalePutsIt) {
    RAISERESGRP(0, 10);
    EXPECT_EQ(px(0.0), 54);
    EXPECT_EQ(py(0.0), 81);
    EXPECT_EQ(px(1.0), 109);
    EXPECT_EQ(py(-2.0), 134);
    Window w(CH_RESPLOT);
    EXPECT_EQ(w.pixel(54, 50), BLACK);    // the axis at the first iteration
    EXPECT_EQ(w.pixel(300, py(1.0)), BLACK);   // the decade line 1.0e+1
    runctl.RM0 = 1.0e-2;
    runctl.RU0 = 3.0e-3;   // force: the largest of the three over the volume, 2e-3
    runctl.RV0 = 4.0e-3;
    runctl.RW0 = 1.0e-3;
    PLOTRESID(1);
    EXPECT_EQ(w.pixel(54, 81), BLUE);
    EXPECT_EQ(w.pixel(109, 134), BLUE);
    EXPECT_EQ(w.pixel(109, 135), 0xFFFFFFu);   // (row 134 is the decade line 1.0e-2)
    // Half way along, the line passes within a pixel of the middle.
    bool near_middle = false;
    for (int y = 106; y <= 109; ++y) near_middle |= w.pixel(81, y) == BLUE || w.pixel(82, y) == BLUE;
    EXPECT_TRUE(near_middle);
    EXPECT_DOUBLE_EQ(resplot.LAST[1], -2.0);
    EXPECT_DOUBLE_EQ(resplot.LAST[0], std::log10(2.0e-3));
    EXPECT_EQ(w.pixel(109, py(std::log10(2.0e-3))), RED);
}

TEST_F(ResidualPlotTest, ResidualsThatAreNotPositivePlotBelowTheChart) {
    RAISERESGRP(0, 10);
    const double cases[] = {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()};
    int iter = 1;
    for (double v : cases) {
        runctl.RM0 = v;
        PLOTRESID(iter++);
        EXPECT_DOUBLE_EQ(resplot.LAST[1], -5.0) << v;
    }
    // The segment to -5 runs down out of the chart (below y = -4.5).
    EXPECT_GT(py(-5.0), 199);
}

TEST_F(ResidualPlotTest, LegendAndCurvesFollowTheSwitches) {
    RAISERESGRP(0, 10);
    runctl.RM0 = runctl.RT0 = runctl.RC0 = runctl.RC20 = 0.5;
    PLOTRESID(1);
    auto seen = colours();
    EXPECT_TRUE(seen.count(RED));
    EXPECT_TRUE(seen.count(BLUE));
    for (std::uint32_t c : {0x00AA00u, 0x007700u, 0xFFFF00u, 0xFF00AAu}) EXPECT_FALSE(seen.count(c)) << std::hex << c;

    runctl.ITEMP = 1;
    runctl.ICONC = 1;
    runctl.RC0 = 0.05;   // apart, so that no curve covers another
    runctl.RC20 = 0.005;
    RAISERESGRP(0, 10);
    PLOTRESID(2);
    seen = colours();
    for (std::uint32_t c : {RED, BLUE, 0x00AA00u, 0x007700u, 0xFFFF00u, 0xFF00AAu})
        EXPECT_TRUE(seen.count(c)) << std::hex << c;
}

// The last points are not reset by a new chart: a run that continues
// starts its curves where the previous run left them.
TEST_F(ResidualPlotTest, CurvesCarryOverFromRunToRun) {
    RAISERESGRP(0, 10);
    runctl.RM0 = 1.0e-2;
    PLOTRESID(1);
    RAISERESGRP(1, 11);   // continuing: x from 0 to 11, pixel x = (x - 0) * 599 / 11
    runctl.RM0 = 1.0;
    PLOTRESID(2);
    Window w(CH_RESPLOT);
    EXPECT_EQ(w.pixel(static_cast<int>(std::floor(599.0 / 11.0 + 0.5)), py(-2.0)), BLUE);   // from (1, -2)
    EXPECT_EQ(w.pixel(static_cast<int>(std::floor(2 * 599.0 / 11.0 + 0.5)), py(0.0)), BLUE);   // to (2, 0)
}

TEST_F(ResidualPlotTest, ChartIsMaximisedAndARunWithoutIterationsStillGetsOne) {
    RAISERESGRP(5, 5);
    platform::WindowPlace p;
    ASSERT_TRUE(Window(CH_RESPLOT).get_place(p));
    EXPECT_EQ(p.state, platform::WindowState::Maximised);
    EXPECT_EQ(platform::active_channel(), CH_RESPLOT);
    EXPECT_EQ(Window(CH_RESPLOT).pixel(54, 50), BLACK);   // the axis, as for a one-iteration run
}

}  // namespace
}  // namespace tarvex
