// Densities and buoyant-region reference temperatures.

#include <gtest/gtest.h>

#include "engine/engine.h"
#include "solve_fixture.h"

namespace tarvex {
namespace {

TEST(Densities, CellAndFaceDensities) {
    // Widths 1 and 3 along x: the face between the cells lies a quarter of the
    // way from the first centre to the second.
    test::make_grid({1.0, 3.0}, {1.0, 1.0}, {2.0, 2.0});
    test::fill(fields.T, 300.0);
    fields.T[ARIDX(2, 1, 1)] = 350.0;
    fields.T[ARIDX(1, 2, 1)] = 280.0;
    fields.T[ARIDX(1, 1, 2)] = 320.0;
    DENSIT();
    const double d300 = 353.0487804878049 / 300.0, d350 = 353.0487804878049 / 350.0;
    EXPECT_EQ(fields.DEN[ARIDX(1, 1, 1)], d300);
    EXPECT_EQ(fields.DEN[ARIDX(2, 1, 1)], d350);
    const double f = 1.0 / (1.0 + 3.0);
    EXPECT_EQ(fields.DENU[ARIDX(2, 1, 1)], (1.0 - f) * d300 + f * d350);
    EXPECT_EQ(fields.DENV[ARIDX(1, 2, 1)], 0.5 * d300 + 0.5 * (353.0487804878049 / 280.0));
    EXPECT_EQ(fields.DENW[ARIDX(1, 1, 2)], 0.5 * d300 + 0.5 * (353.0487804878049 / 320.0));
}

TEST(Densities, BlockedCellsClosedAndWallFacesKeepTheirValues) {
    test::make_uniform_grid(3, 1, 1);
    test::fill(fields.T, 300.0);
    test::block_cell(3, 1, 1);
    fields.DEN[ARIDX(3, 1, 1)] = 7.0;
    fields.DENU[ARIDX(3, 1, 1)] = 8.0;    // closed by the blocked cell
    fields.DENU[ARIDX(1, 1, 1)] = 9.0;    // west wall
    fields.DENU[ARIDX(4, 1, 1)] = 10.0;   // east wall (far face)
    fields.CPRU[ARIDX(2, 1, 1)] = 1e-20;  // not above 1e-20: kept
    fields.DENU[ARIDX(2, 1, 1)] = 11.0;
    DENSIT();
    EXPECT_EQ(fields.DEN[ARIDX(3, 1, 1)], 7.0);
    EXPECT_EQ(fields.DENU[ARIDX(3, 1, 1)], 8.0);
    EXPECT_EQ(fields.DENU[ARIDX(1, 1, 1)], 9.0);
    EXPECT_EQ(fields.DENU[ARIDX(4, 1, 1)], 10.0);
    EXPECT_EQ(fields.DENU[ARIDX(2, 1, 1)], 11.0);
    // A cell with an open fraction of 1e-30 is open for the densities.
    fields.CPR[ARIDX(3, 1, 1)] = 1e-30;
    DENSIT();
    EXPECT_EQ(fields.DEN[ARIDX(3, 1, 1)], 353.0487804878049 / 300.0);
}

TEST(Densities, RegionReferenceTemperatures) {
    test::make_uniform_grid(4, 1, 1);
    fields.T[ARIDX(1, 1, 1)] = 290.0;
    fields.T[ARIDX(2, 1, 1)] = 300.0;
    fields.T[ARIDX(3, 1, 1)] = 310.0;
    fields.T[ARIDX(4, 1, 1)] = 999.0;
    regions.IREG[ARIDX(3, 1, 1)] = 2;
    regions.IREG[ARIDX(4, 1, 1)] = 2;
    test::block_cell(4, 1, 1);   // a blocked cell does not count in its region
    regions.TREF[3] = 295.0;      // a given reference wins
    regions.RTREF[4] = 0.125;     // no cells, no reference: kept
    DENSIT();
    EXPECT_EQ(regions.RTREF[1], 2.0 / 590.0);
    EXPECT_EQ(regions.RTREF[2], 1.0 / 310.0);
    EXPECT_EQ(regions.RTREF[3], 1.0 / 295.0);
    EXPECT_EQ(regions.RTREF[4], 0.125);
}

}  // namespace
}  // namespace tarvex
