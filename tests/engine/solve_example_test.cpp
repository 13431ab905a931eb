// The bundled example: a steady run of the room, for the 300 iterations the
// example is run with, from new fields.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "common/channels.h"
#include "engine/engine.h"
#include "tests/engine/run_setup.h"

namespace tarvex {
namespace {

// Post-sweep residual sums of one iteration.
struct Sums {
    double mass, momentum, temperature;
};

TEST(SolveExample, SteadyRoomResidualsFallByThreeOrders) {
    CaptureSink console, iter;
    ScopedChannelSink c(CH_CONSOLE, &console), it(CH_ITER, &iter);
    ASSERT_TRUE(test::read_case_and_control(test::example_room_file("room.case"),
                                            test::example_room_file("room.control"), console))
        << console.text();
    ASSERT_EQ(runctl.ITRANS, 0);
    test::start_new_fields();
    runctl.IPRINT = 1;   // the post-sweep sums are computed for the per-sweep lines

    std::vector<Sums> sums;
    for (int n = 0; n < 300; ++n) {
        runctl.ITER += 1;
        int iusr3 = 0, iconv = 0;
        SOLVE(iusr3, iconv);
        ASSERT_EQ(iconv, 0);
        iter.clear();
        sums.push_back({runctl.RM, runctl.RU + runctl.RV + runctl.RW, runctl.RT});
        ASSERT_TRUE(std::isfinite(sums.back().mass + sums.back().momentum + sums.back().temperature)) << runctl.ITER;
    }
    // The sums of the last iteration against the largest of the first ten,
    // where the start-up transient peaks.
    Sums peak{0.0, 0.0, 0.0};
    for (int n = 0; n < 10; ++n) {
        peak.mass = std::max(peak.mass, sums[n].mass);
        peak.momentum = std::max(peak.momentum, sums[n].momentum);
        peak.temperature = std::max(peak.temperature, sums[n].temperature);
    }
    const Sums& last = sums.back();
    EXPECT_LT(last.mass, peak.mass / 1000.0);
    EXPECT_LT(last.momentum, peak.momentum / 1000.0);
    EXPECT_LT(last.temperature, peak.temperature / 1000.0);

    // The normalised set-up sums the run driver shows fall too.
    EXPECT_LT(std::max({runctl.RU0, runctl.RV0, runctl.RW0}) / domsums.VOLTOT, 1e-3);
    EXPECT_LT(runctl.RT0 * 0.93 / domsums.VOLTOT, 1e-3);

    // The room ends up warmer than its supply air, and the window lets out
    // the difference between supply (0.1 m3/s at 16 C) and extract (0.08 m3/s
    // at the initial 20 C).
    const int mon = ARIDX(runctl.MONI, runctl.MONJ, runctl.MONK);
    EXPECT_GT(fields.T[mon] - 273.15, 17.0);
    const double supply = 0.1 * 353.0487804878049 / 289.15;
    const double extract = 0.08 * 353.0487804878049 / 293.15;
    EXPECT_EQ(domsums.FLOWIN, 0.0);
    EXPECT_NEAR(-domsums.FLOWOUT, supply - extract, 1e-3 * supply);
}

}  // namespace
}  // namespace tarvex
