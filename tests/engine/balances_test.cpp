// End-of-run balances: which lines are printed, what each sum counts, and that
// the U-value sums never read a cell outside the grid.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/channels.h"
#include "common/textfmt.h"
#include "engine/engine.h"

namespace tarvex {
namespace {

// A 4 x 3 x 3 grid set up directly in the data groups: every cell open, no
// sources, no pressure boundaries, no U-value surfaces.
class BalancesTest : public ::testing::Test {
protected:
    static constexpr int NX = 4, NY = 3, NZ = 3;

    void SetUp() override {
        griddim = GRIDDIM{NX, NY, NZ, NX + 1, NY + 1, NZ + 1, NX + 1, (NX + 1) * (NY + 1)};
        const int padded = (NX + 1) * (NY + 1) * (NZ + 1);
        for (int p = 0; p <= padded + 2 * griddim.KSTRIDE && p <= NCELLMAX; ++p) {
            fields.SMASS[p] = 0.0;
            fields.SCT[p] = 0.0;
            fields.T[p] = 293.0;
            fields.CPR[p] = 1.0;
            uvaltab.UVALCELL[p] = false;
            for (int f = 1; f <= 6; ++f) {
                uvaltab.UVAL[uvidx(p, f)] = -999.0;
                uvaltab.UVALT[uvidx(p, f)] = -999.0;
            }
        }
        uvaltab.UVALSET = false;
        pbtable.NPB = 0;
        pbtable.PBON = 0;
        runctl.ICONC = 0;
        runctl.CONDT = 0.0;
        sink_.clear();
    }

    std::vector<std::string> summary() {
        ScopedChannelSink bind(CH_CONSOLE, &sink_);
        SUMMARYEND();
        return sink_.lines();
    }

    void add_pb(int i1, int i2, int j1, int j2, int k1, int k2, double t) {
        const int n = ++pbtable.NPB;
        pbtable.PBON = 1;
        pbtable.PBI1[n] = i1;
        pbtable.PBI2[n] = i2;
        pbtable.PBJ1[n] = j1;
        pbtable.PBJ2[n] = j2;
        pbtable.PBK1[n] = k1;
        pbtable.PBK2[n] = k2;
        pbtable.PBFACE[n] = 1;
        pbtable.PBT[n] = t;
    }

    void surface(int i, int j, int k, int face, double ua, double uat) {
        const int p = ARIDX(i, j, k);
        uvaltab.UVAL[uvidx(p, face)] = ua;
        uvaltab.UVALT[uvidx(p, face)] = uat;
        uvaltab.UVALCELL[p] = true;
        uvaltab.UVALSET = true;
    }

    CaptureSink sink_;
};

// The values below are binary fractions, so every sum is exact.
TEST_F(BalancesTest, AllFlowsCountEverySourceOfTheGridOpenOrBlocked) {
    const int supply = ARIDX(1, 1, 1), extract1 = ARIDX(4, 3, 3), extract2 = ARIDX(4, 3, 2);
    const int gain = ARIDX(2, 2, 2), cooling = ARIDX(3, 1, 2), blocked = ARIDX(2, 3, 1);
    fields.SMASS[supply] = 0.5;
    fields.SCT[supply] = 0.5 * 293.0;
    fields.SMASS[extract1] = -0.25;
    fields.T[extract1] = 300.0;
    fields.SMASS[extract2] = -0.375;
    fields.T[extract2] = 296.0;
    fields.SCT[gain] = 2.0;
    fields.SCT[cooling] = -1.0;
    // A blocked cell inside an inflow box keeps what the case reader gave it.
    fields.CPR[blocked] = 0.0;
    fields.SMASS[blocked] = 0.125;
    fields.SCT[blocked] = 0.125 * 280.0;

    double mi, mo, hi, ho;
    ALLFLOWS(mi, mo, hi, ho);
    EXPECT_EQ(mi, 0.625);
    EXPECT_EQ(mo, -0.625);
    EXPECT_EQ(hi, 146.5 + 2.0 + 35.0);
    EXPECT_EQ(ho, -0.25 * 300.0 - 0.375 * 296.0 - 1.0);

    // Padded positions (the far faces) hold nothing the balances may count.
    const int far = ARIDX(NX + 1, 1, 1);
    fields.SMASS[far] = 100.0;
    fields.SCT[far] = 100.0;
    ALLFLOWS(mi, mo, hi, ho);
    EXPECT_EQ(mi, 0.625);
    EXPECT_EQ(hi, 183.5);
}

TEST_F(BalancesTest, FreeFlowsValueEnteringAirAtTheBoundaryAndCountSharedCellsPerBox) {
    // Box 1: cells (1..2, 1, 1); box 2: cells (2..3, 1, 1). Cell (2,1,1) is in both.
    add_pb(1, 2, 1, 1, 1, 1, 280.0);
    add_pb(2, 3, 1, 1, 1, 1, 270.0);
    fields.SMASS[ARIDX(1, 1, 1)] = 0.25;
    fields.SMASS[ARIDX(2, 1, 1)] = 0.5;
    fields.SMASS[ARIDX(3, 1, 1)] = -0.75;
    fields.T[ARIDX(3, 1, 1)] = 290.0;
    fields.SCT[ARIDX(1, 1, 1)] = 0.25 * 280.0;
    fields.SCT[ARIDX(2, 1, 1)] = 0.5 * 270.0;   // the later entry wrote the sources
    // Flows outside every box are not free flows.
    fields.SMASS[ARIDX(4, 3, 3)] = -0.5;
    fields.T[ARIDX(4, 3, 3)] = 300.0;

    double mi, mo, hi, ho;
    BOUNDFLOWS(mi, mo, hi, ho);
    EXPECT_EQ(mi, 0.25 + 0.5 + 0.5);
    EXPECT_EQ(hi, 0.25 * 280.0 + 0.5 * 280.0 + 0.5 * 270.0);
    EXPECT_EQ(mo, -0.75);
    EXPECT_EQ(ho, -0.75 * 290.0);

    ALLFLOWS(mi, mo, hi, ho);
    EXPECT_EQ(mi, 0.75);
    EXPECT_EQ(mo, -1.25);
}

TEST_F(BalancesTest, FreeFlowBoxesReachingOutsideTheGridCountOnlyTheirCellsInside) {
    add_pb(3, 9, 0, 1, 1, 1, 280.0);     // i 3..4 and j 1 lie inside
    add_pb(7, 9, 1, 3, 1, 3, 250.0);     // wholly outside
    fields.SMASS[ARIDX(4, 1, 1)] = 0.5;
    fields.SMASS[ARIDX(1, 2, 1)] = 0.25;   // the next row: a wrapped index would reach it
    double mi, mo, hi, ho;
    BOUNDFLOWS(mi, mo, hi, ho);
    EXPECT_EQ(mi, 0.5);
    EXPECT_EQ(hi, 140.0);
}

TEST_F(BalancesTest, UValueSurfacesAtAFixedTemperatureAndCoupledAcrossAWall) {
    fields.T[ARIDX(2, 2, 2)] = 295.0;
    surface(2, 2, 2, 1, 0.5, 0.5 * 275.0);      // colder outside: loss 0.5 * (275 - 295) = -10
    surface(2, 2, 2, 3, 0.25, 0.25 * 303.0);    // warmer outside: gain 0.25 * 8 = 2
    surface(2, 2, 2, 5, 0.125, 0.125 * 295.0);  // the same temperature: adds 0
    // Coupled face 2 of (2,2,2) reads (4,2,2), not the adjacent (3,2,2).
    surface(2, 2, 2, 2, 0.5, 0.5);
    fields.T[ARIDX(3, 2, 2)] = 1000.0;
    fields.T[ARIDX(4, 2, 2)] = 299.0;             // gain 0.5 * 4 = 2
    // A face without a surface in a cell that has one counts nothing.
    uvaltab.UVALT[uvidx(ARIDX(2, 2, 2), 6)] = 1.0e6;

    double gain, loss;
    UENERGY(gain, loss);
    EXPECT_EQ(gain, 4.0);
    EXPECT_EQ(loss, -10.0);
}

// A coupled face whose cell two steps across lies outside the grid has no air
// beyond it: it adds nothing, whichever of the six faces it is. Every cell
// that a wrapped or out-of-range index could reach is given a temperature
// that would show in the sums.
TEST_F(BalancesTest, CoupledFacesAtTheGridEdgeAddNothing) {
    struct Case {
        int i, j, k, face;
    } cases[] = {
        {1, 2, 2, 1}, {2, 2, 2, 1},   // i - 2 below 1
        {3, 2, 2, 2}, {4, 2, 2, 2},   // i + 2 above NX
        {2, 1, 2, 3}, {2, 2, 2, 3},   // j - 2
        {2, 2, 2, 4}, {2, 3, 2, 4},   // j + 2
        {2, 2, 1, 5}, {2, 2, 2, 5},   // k - 2
        {2, 2, 2, 6}, {2, 2, 3, 6},   // k + 2
        {1, 1, 1, 1}, {4, 3, 3, 6},   // the first and the last cell
    };
    for (int p = 0; p <= (NX + 1) * (NY + 1) * (NZ + 1) + 2 * griddim.KSTRIDE; ++p) fields.T[p] = 400.0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "cell " << c.i << "," << c.j << "," << c.k << " face " << c.face);
        SetUp();
        for (int p = 0; p <= (NX + 1) * (NY + 1) * (NZ + 1) + 2 * griddim.KSTRIDE; ++p) fields.T[p] = 400.0;
        fields.T[ARIDX(c.i, c.j, c.k)] = 290.0;
        surface(c.i, c.j, c.k, c.face, 0.5, 0.5);
        double gain = -1.0, loss = -1.0;
        UENERGY(gain, loss);
        EXPECT_EQ(gain, 0.0);
        EXPECT_EQ(loss, 0.0);
    }
}

TEST_F(BalancesTest, SummaryPrintsOnlyTheLinesThatApply) {
    fields.SMASS[ARIDX(1, 1, 1)] = 0.5;
    fields.SCT[ARIDX(1, 1, 1)] = 146.5;
    fields.SMASS[ARIDX(4, 1, 1)] = -0.5;
    fields.T[ARIDX(4, 1, 1)] = 296.0;

    // The shortest output: the two "all" lines.
    EXPECT_EQ(summary(), (std::vector<std::string>{
                             free_line(" all inflows (kg/s, kW) : ", 0.5, 146.5),
                             free_line(" all outflows (kg/s, kW) : ", -0.5, -148.0),
                         }));

    // Pressure boundaries, U-value surfaces and the concentration equations
    // each add their lines, in this order.
    sink_.clear();
    add_pb(4, 4, 1, 1, 1, 1, 270.0);
    surface(2, 2, 2, 4, 0.25, 0.25 * 285.0);
    runctl.ICONC = 1;
    runctl.CONDT = 0.75;
    EXPECT_EQ(summary(), (std::vector<std::string>{
                             free_line(" free inflows (kg/s, kW) : ", 0.0, 0.0),
                             free_line(" free outflows (kg/s, kW) : ", -0.5, -148.0),
                             free_line(" all inflows (kg/s, kW) : ", 0.5, 146.5),
                             free_line(" all outflows (kg/s, kW) : ", -0.5, -148.0),
                             free_line(" Uval inflow (kW) : ", 0.0),
                             free_line(" Uval outflow (kW) : ", -2.0),
                             free_line("  water condensing (g/s) : ", 0.75),
                         }));

    // The condensing line follows an odd ICONC; the other lines follow the
    // flags, not the tables behind them.
    pbtable.PBON = 0;
    uvaltab.UVALSET = false;
    for (int iconc : {0, 2, -2}) {
        sink_.clear();
        runctl.ICONC = iconc;
        EXPECT_EQ(summary().size(), 2u) << "ICONC " << iconc;
    }
    for (int iconc : {3, -1}) {
        sink_.clear();
        runctl.ICONC = iconc;
        EXPECT_EQ(summary().back(), free_line("  water condensing (g/s) : ", 0.75)) << "ICONC " << iconc;
    }
}

TEST_F(BalancesTest, SummaryChangesNoField) {
    add_pb(1, 4, 1, 3, 1, 3, 270.0);
    surface(3, 2, 2, 1, 0.5, 0.5);
    fields.SMASS[ARIDX(2, 2, 2)] = -0.25;
    const double t_before = fields.T[ARIDX(2, 2, 2)];
    summary();
    summary();
    EXPECT_EQ(fields.SMASS[ARIDX(2, 2, 2)], -0.25);
    EXPECT_EQ(fields.T[ARIDX(2, 2, 2)], t_before);
    // Both calls print the same lines: nothing accumulates between calls.
    const auto lines = sink_.lines();
    ASSERT_EQ(lines.size(), 12u);
    for (int n = 0; n < 6; ++n) EXPECT_EQ(lines[n], lines[n + 6]);
}

}  // namespace
}  // namespace tarvex
