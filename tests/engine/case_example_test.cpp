// The bundled example case reads without error and its totals match a hand
// calculation.

#include <gtest/gtest.h>

#include <string>

#include "tests/engine/case_testutil.h"

namespace tarvex::testing {
namespace {

TEST(CaseExample, RoomReadsAndTotalsMatch) {
    const LoadResult r = load_path(std::string(TARVEX_SOURCE_DIR) + "/examples/room/room.case");
    ASSERT_EQ(r.status, 0) << r.dump();
    EXPECT_EQ(griddim.NX, 16);
    EXPECT_EQ(griddim.NY, 12);
    EXPECT_EQ(griddim.NZ, 10);
    EXPECT_DOUBLE_EQ(gridline.X[16], 4.0);
    EXPECT_DOUBLE_EQ(gridline.Y[12], 3.0);
    EXPECT_DOUBLE_EQ(gridline.Z[10], 2.5);

    // Room 4 x 3 x 2.5 m less the cupboard of 0.2 x 0.3 x 0.8 m.
    EXPECT_NEAR(domsums.VOLTOT, 30.0 - 0.048, 1e-12);

    // Supply: 2 cells of 0.05 m3/s at 16 C; extract: 2 cells of -0.04 m3/s at
    // the initial 20 C. Density = 353.0487804878049 / absolute temperature.
    const double flowin = 0.1 * 353.0487804878049 / 289.15;      // 0.12210 kg/s
    const double flowout = -0.08 * 353.0487804878049 / 293.15;   // -0.09635 kg/s
    EXPECT_NEAR(domsums.FLOWIN, flowin, 1e-15);
    EXPECT_NEAR(domsums.FLOWOUT, flowout, 1e-15);
    EXPECT_NEAR(domsums.FLOWIN, 0.122099, 1e-6);
    EXPECT_NEAR(domsums.FLOWOUT, -0.096346, 1e-6);

    // 1 kW shared over the occupied box of 1.2 x 1.2 x 0.8 m.
    double heat = 0.0, contaminant = 0.0, water = 0.0;
    for (int idx = 1; idx <= 17 * 13 * 11; ++idx) {
        contaminant += fields.SCC[idx];
        water += c2eq.SCC2[idx];
    }
    for (int k = 1; k <= 4; ++k)
        for (int j = 5; j <= 8; ++j)
            for (int i = 7; i <= 10; ++i) heat += fields.SCT[ARIDX(i, j, k)];
    EXPECT_NEAR(heat, 1.0, 1e-12);
    EXPECT_NEAR(fields.SCT[ARIDX(8, 6, 3)], 1.0 * (0.3 * 0.3 * 0.3) / (1.2 * 1.2 * 0.8), 1e-15);
    // The inflow cells carry heat as mass flow times absolute temperature.
    EXPECT_NEAR(fields.SCT[ARIDX(1, 6, 9)], 289.15 * flowin / 2, 1e-12);
    EXPECT_NEAR(contaminant, 0.02e-3, 1e-15);   // the supply brings none
    EXPECT_NEAR(water, 0.02e-3 + 2 * flowin / 2 * RH2WC(40, 16), 1e-12);

    // The section totals on the console.
    const struct {
        const char* label;
        double value;
    } totals[] = {
        {" Domain active volume (m3) : ", 29.952},
        {"Forced inflow (kg/s): ", flowin},
        {"Total outflow (kg/s): ", flowout},
        {"Total pressure bound area (m2) : ", 0.09},
        {"Total heat gain (kW): ", 1.0},
        {"Total heat loss (kW/C) : ", 0.0018 * 9.84},
        {"Total contaminant gain (g/s) : ", 0.02},
        {"Total water gain (g/s) : ", 0.02},
    };
    for (const auto& t : totals) {
        SCOPED_TRACE(t.label);
        int found = 0;
        for (const std::string& line : r.console) {
            const std::string prefix = std::string(" ") + t.label;
            if (line.compare(0, prefix.size(), prefix) != 0) continue;
            ++found;
            EXPECT_NEAR(std::stod(line.substr(prefix.size())), t.value, 1e-9);
        }
        EXPECT_EQ(found, 1) << r.dump();
    }

    // Window: one cell face of 0.3 x 0.3 m on the north wall, outside air.
    EXPECT_EQ(pbtable.NPB, 1);
    EXPECT_EQ(pbtable.PBON, 1);
    EXPECT_EQ(pbtable.PBFACE[1], 4);
    EXPECT_DOUBLE_EQ(pbtable.PBT[1], 283.15);
    EXPECT_NEAR(pbtable.PBC2[1], RH2WC(70, 10), 1e-9);

    // South wall 4 x 2.5 m less the cupboard's 0.2 x 0.8 m, at 1.8 W/(m2 K).
    EXPECT_TRUE(uvaltab.UVALSET);
    double ua = 0.0;
    for (int k = 1; k <= 10; ++k)
        for (int i = 1; i <= 16; ++i) {
            const double v = uvaltab.UVAL[uvidx(ARIDX(i, 1, k), 3)];
            if (v > -990) ua += v;
        }
    EXPECT_NEAR(ua, 0.0018 * (10.0 - 0.16), 1e-12);
    EXPECT_EQ(uvaltab.UVAL[uvidx(ARIDX(16, 1, 1), 3)], -999.0);

    EXPECT_DOUBLE_EQ(regions.TREF[1], 293.15);
    EXPECT_EQ(regions.IREG[ARIDX(8, 6, 4)], 1);
    EXPECT_EQ(runctl.MONI, 8);
    // No warnings: nothing was assigned to blocked cells.
    EXPECT_FALSE(r.has(" Warning.. values assigned to blocked cells"));
}

}  // namespace
}  // namespace tarvex::testing
