// Field extremes, colour bands, the extreme search and the cell-centre
// velocities, on small open-box grids.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/data.h"
#include "engine/engine.h"
#include "engine/open_box_fixture.h"
#include "frontend/calc/fieldstats.h"
#include "frontend/calc/viewstate.h"

namespace tarvex {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double INF = std::numeric_limits<double>::infinity();

TEST(ColourBand, Table) {
    struct Case {
        double v, min, max;
        int band;
    };
    const Case cases[] = {
        // Scale 0 to 16: one band per unit, the ends clamped.
        {0.0, 0, 16, 1}, {0.99, 0, 16, 1}, {1.0, 0, 16, 2}, {8.5, 0, 16, 9}, {15.5, 0, 16, 16},
        {16.0, 0, 16, 16}, {20.0, 0, 16, 16}, {-3.0, 0, 16, 1},
        // A scale of 10..30 C: a sixteenth is 1.25.
        {11.24, 10, 30, 1}, {11.25, 10, 30, 2}, {28.75, 10, 30, 16}, {28.74, 10, 30, 15},
        // Downwards (max below min): the bands run the other way.
        {16.0, 16, 0, 1}, {15.5, 16, 0, 1}, {8.0, 16, 0, 9}, {0.5, 16, 0, 16}, {0.0, 16, 0, 16},
        {-4.0, 16, 0, 16}, {20.0, 16, 0, 1},
        // Off the scale by far: clamped in floating point, never an integer overflow.
        {INF, 0, 16, 16}, {-INF, 0, 16, 1}, {INF, 16, 0, 1}, {-INF, 16, 0, 16},
        {1.0e300, 0, 1.0e-300, 16}, {-1.0e300, 0, 1.0e-300, 1}, {1.0e10, 0, 1.0e-10, 16},
        {1.7e308, -1.7e308, 1.7e308, 16},
        // Not a number: no band, the cell is not drawn.
        {NaN, 0, 16, 0}, {NaN, 16, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(colour_band(c.v, c.min, c.max), c.band) << c.v << " on " << c.min << ".." << c.max;
}

// A 4 x 3 x 2 box, every cell open, with fields that make each extreme land
// in a known cell; cell (3, 2, 2) is blocked and holds values beyond all of
// them, so it must be left out.
class FieldStats : public ::testing::Test {
protected:
    void SetUp() override {
        set_view_defaults();
        for (int k = 1; k <= 2; ++k)
            for (int j = 1; j <= 3; ++j)
                for (int i = 1; i <= 4; ++i) {
                    const int32_t p = ARIDX(i, j, k);
                    fields.T[p] = 293.15;
                    fields.C[p] = 0.001;
                    c2eq.C2[p] = 0.007;
                    fields.P[p] = 1.0;
                }
        blocked = ARIDX(3, 2, 2);
        box.block(3, 2, 2);
        box.finish();
        fields.T[blocked] = 400.0;
        fields.C[blocked] = 1.0;
        c2eq.C2[blocked] = 0.5;
        fields.P[blocked] = -1.0e6;
        resid.RESM[blocked] = 1.0e9;
    }
    openbox::OpenBoxGrid box{{1.0, 1.0, 1.0, 1.0}, {1.0, 1.0, 1.0}, {1.0, 1.5}};
    int32_t blocked = 0;
};

TEST_F(FieldStats, BoundsLeaveOutTheBlockedCellAndGiveDegreesC) {
    fields.T[ARIDX(2, 1, 1)] = 303.15;
    fields.T[ARIDX(4, 3, 2)] = 288.15;
    fields.C[ARIDX(1, 3, 1)] = 0.004;
    fields.P[ARIDX(1, 1, 2)] = -7.5;
    c2eq.C2[ARIDX(2, 2, 1)] = 0.012;   // also the largest relative humidity
    resid.RESM[ARIDX(4, 1, 1)] = 2.0e-3;
    resid.REST[ARIDX(1, 1, 1)] = -3.0;
    // A partly blocked cell counts.
    fields.CPR[ARIDX(1, 2, 1)] = 0.25;
    resid.RESC[ARIDX(1, 2, 1)] = 5.0;
    // The blocked cell's west face (the east face of an open cell) is not
    // one of the open cells' low faces.
    fields.U[blocked] = 99.0;
    GETDATABOUNDS();
    EXPECT_DOUBLE_EQ(plotopt.TMAX, 303.15 - 273.15);
    EXPECT_DOUBLE_EQ(plotopt.TMIN, 288.15 - 273.15);
    EXPECT_DOUBLE_EQ(plotopt.CMAX, 0.004);
    EXPECT_DOUBLE_EQ(plotopt.CMIN, 0.001);
    EXPECT_DOUBLE_EQ(plotopt.C2MAX, 0.012);
    EXPECT_DOUBLE_EQ(plotopt.C2MIN, 0.007);
    // 12 g/kg at 20 C is the most humid cell, 7 g/kg at 30 C the driest.
    EXPECT_DOUBLE_EQ(plotopt.RHMAX, WC2RH(0.012, 20.0));
    EXPECT_DOUBLE_EQ(plotopt.RHMIN, WC2RH(0.007, 30.0));
    EXPECT_GT(plotopt.RHMAX, WC2RH(0.007, 15.0));
    EXPECT_DOUBLE_EQ(plotopt.PMAX, 1.0);
    EXPECT_DOUBLE_EQ(plotopt.PMIN, -7.5);
    EXPECT_DOUBLE_EQ(plotopt.RESMMAX, 2.0e-3);
    EXPECT_DOUBLE_EQ(plotopt.RESMMIN, 0.0);
    EXPECT_DOUBLE_EQ(plotopt.RESTMIN, -3.0);
    EXPECT_DOUBLE_EQ(plotopt.RESCMAX, 5.0);
    EXPECT_DOUBLE_EQ(plotopt.UMAX, 0.0);   // the blocked cell's 99 is not seen
}

// The velocity extremes are those of the low faces, not of the cell centres:
// U = 3 on the west face of (2, 1, 1) with 0 on its east face is a centre
// value of 1.5, but the extreme is 3.
TEST_F(FieldStats, VelocityExtremesComeFromFaceValues) {
    fields.U[ARIDX(2, 1, 1)] = 3.0;
    fields.V[ARIDX(1, 2, 1)] = -4.0;
    fields.W[ARIDX(4, 3, 2)] = 0.5;
    GETDATABOUNDS();
    EXPECT_DOUBLE_EQ(plotopt.UMAX, 3.0);
    EXPECT_DOUBLE_EQ(plotopt.UMIN, 0.0);
    EXPECT_DOUBLE_EQ(plotopt.VMIN, -4.0);
    EXPECT_DOUBLE_EQ(plotopt.WMAX, 0.5);
    EXPECT_DOUBLE_EQ(plotopt.SPMAX, 4.0);   // the face values of one cell, squared and summed
    EXPECT_DOUBLE_EQ(plotopt.SPMIN, 0.0);
    EXPECT_DOUBLE_EQ(GET_U(ARIDX(2, 1, 1), 2, 1, 1), 1.5);

    // FINDVAL compares cell-centre values: U of cell (1, 1, 1) is 1.5 as well
    // (0 and 3 on its faces) and comes first.
    int i = -1, j = -1, k = -1;
    FINDVAL(1, 4, i, j, k);
    EXPECT_EQ(i, 1);
    EXPECT_EQ(j, 1);
    EXPECT_EQ(k, 1);
}

TEST_F(FieldStats, ValuesThatAreNotNumbersChangeNoExtreme) {
    fields.T[ARIDX(2, 2, 1)] = NaN;
    fields.P[ARIDX(1, 1, 1)] = NaN;
    GETDATABOUNDS();
    EXPECT_DOUBLE_EQ(plotopt.TMAX, 20.0);
    EXPECT_DOUBLE_EQ(plotopt.TMIN, 20.0);
    EXPECT_DOUBLE_EQ(plotopt.PMAX, 1.0);
}

TEST_F(FieldStats, AllBlockedLeavesTheStartingExtremesAndFindsNoCell) {
    for (int k = 1; k <= 2; ++k)
        for (int j = 1; j <= 3; ++j)
            for (int i = 1; i <= 4; ++i) box.block(i, j, k);
    GETDATABOUNDS();
    const double maxima[] = {plotopt.TMAX, plotopt.CMAX, plotopt.C2MAX, plotopt.RHMAX, plotopt.PMAX,
                             plotopt.UMAX, plotopt.VMAX, plotopt.WMAX, plotopt.SPMAX, plotopt.RESUVWMAX,
                             plotopt.RESMMAX, plotopt.RESTMAX, plotopt.RESCMAX};
    const double minima[] = {plotopt.TMIN, plotopt.CMIN, plotopt.C2MIN, plotopt.RHMIN, plotopt.PMIN,
                             plotopt.UMIN, plotopt.VMIN, plotopt.WMIN, plotopt.SPMIN, plotopt.RESUVWMIN,
                             plotopt.RESMMIN, plotopt.RESTMIN, plotopt.RESCMIN};
    for (double v : maxima) EXPECT_EQ(v, -9.99e21);
    for (double v : minima) EXPECT_EQ(v, 9.99e21);   // temperatures included: 273.15 is lost at this size
    for (int choice : {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15})
        for (int mode : {1, -1}) {
            int i = 9, j = 9, k = 9;
            FINDVAL(mode, choice, i, j, k);
            EXPECT_EQ(i + j + k, 0) << "choice " << choice << " mode " << mode;
        }
}

TEST_F(FieldStats, FindvalReturnsNothingForFieldsThatAreNotNumbers) {
    for (int k = 1; k <= 2; ++k)
        for (int j = 1; j <= 3; ++j)
            for (int i = 1; i <= 4; ++i) fields.T[ARIDX(i, j, k)] = NaN;
    int i = 9, j = 9, k = 9;
    FINDVAL(1, 2, i, j, k);
    EXPECT_EQ(i + j + k, 0);
    FINDVAL(-1, 2, i, j, k);
    EXPECT_EQ(i + j + k, 0);
    // One number among them is found.
    fields.T[ARIDX(2, 3, 2)] = 290.0;
    FINDVAL(1, 2, i, j, k);
    EXPECT_EQ(i, 2);
    EXPECT_EQ(j, 3);
    EXPECT_EQ(k, 2);
}

TEST_F(FieldStats, FindvalByChoiceWithTiesToTheFirstCellInKJIOrder) {
    // Equal largest temperatures at (4, 1, 2), (2, 3, 1) and (3, 3, 1): the
    // lower K wins, then the lower J, then the lower I.
    fields.T[ARIDX(4, 1, 2)] = 300.0;
    fields.T[ARIDX(3, 3, 1)] = 300.0;
    fields.T[ARIDX(2, 3, 1)] = 300.0;
    fields.P[ARIDX(4, 3, 2)] = -2.0;
    c2eq.C2[ARIDX(1, 2, 2)] = 0.02;
    resid.RESUVW[ARIDX(2, 2, 2)] = 7.0;
    fields.W[ARIDX(1, 3, 2)] = 2.0;   // top layer: W of the bottom face alone
    fields.V[ARIDX(4, 2, 1)] = -1.0;  // V of (4, 1, 1) and (4, 2, 1): -0.5 each; the first wins
    struct Case {
        int mode, choice, i, j, k;
    };
    const Case cases[] = {
        {1, 2, 2, 3, 1},   {-1, 2, 1, 1, 1},   // all others at 293.15: the first cell
        {-1, 7, 4, 3, 2},  {1, 10, 1, 2, 2},   {1, 11, 1, 2, 2}, {1, 12, 2, 2, 2},
        {1, 5, 1, 3, 2},   {1, 6, 1, 3, 2},    {1, 9, 1, 3, 2},  {-1, 8, 4, 1, 1},
        // A choice without a per-cell value finds nothing.
        {1, 0, 0, 0, 0},   {1, 1, 0, 0, 0},    {-1, 16, 0, 0, 0},
    };
    for (const Case& c : cases) {
        int i = 9, j = 9, k = 9;
        FINDVAL(c.mode, c.choice, i, j, k);
        EXPECT_EQ(i, c.i) << "mode " << c.mode << " choice " << c.choice;
        EXPECT_EQ(j, c.j) << "mode " << c.mode << " choice " << c.choice;
        EXPECT_EQ(k, c.k) << "mode " << c.mode << " choice " << c.choice;
    }
    // The blocked cell's 400 K is never found, though it is the largest.
    int i = 0, j = 0, k = 0;
    FINDVAL(1, 2, i, j, k);
    EXPECT_NE(ARIDX(i, j, k), blocked);
}

TEST_F(FieldStats, CellCentreVelocitiesUseTheLowFaceAloneInTheLastCell) {
    const int32_t p = ARIDX(4, 3, 2);   // the last cell in every direction
    fields.U[p] = 2.0;
    fields.V[p] = -1.0;
    fields.W[p] = 0.5;
    // The closed wall faces beyond hold something; they must not enter.
    fields.U[p + 1] = 100.0;
    fields.V[p + griddim.JSTRIDE] = 100.0;
    fields.W[p + griddim.KSTRIDE] = 100.0;
    EXPECT_DOUBLE_EQ(GET_U(p, 4, 3, 2), 2.0);
    EXPECT_DOUBLE_EQ(GET_V(p, 4, 3, 2), -1.0);
    EXPECT_DOUBLE_EQ(GET_W(p, 4, 3, 2), 0.5);
    // Inside, the mean of the low and the high face.
    const int32_t q = ARIDX(3, 2, 1);
    fields.U[q] = 1.0;
    fields.U[q + 1] = 2.0;
    fields.V[q] = 1.0;
    fields.V[q + griddim.JSTRIDE] = -3.0;
    fields.W[q] = 0.0;
    fields.W[q + griddim.KSTRIDE] = 0.25;
    EXPECT_DOUBLE_EQ(GET_U(q, 3, 2, 1), 1.5);
    EXPECT_DOUBLE_EQ(GET_V(q, 3, 2, 1), -1.0);
    EXPECT_DOUBLE_EQ(GET_W(q, 3, 2, 1), 0.125);
}

}  // namespace
}  // namespace tarvex
