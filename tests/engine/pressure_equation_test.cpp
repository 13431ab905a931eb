// Pressure equation, mass residual and pressure level.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/engine.h"
#include "solve_fixture.h"

namespace tarvex {
namespace {

using test::add_pb;
using test::make_uniform_grid;

// Cells 1 and 3 of a 3 x 1 x 1 grid are taken out of the sweep (their faces
// stay open), so the balance of cell 2 closes against fixed neighbours.
void prepare_middle_cell() {
    make_uniform_grid(3, 1, 1);
    test::fill(fields.DENU, 1.2);
    fields.CPR[ARIDX(1, 1, 1)] = 0.0;
    fields.CPR[ARIDX(3, 1, 1)] = 0.0;
    const int w = ARIDX(2, 1, 1), e = ARIDX(3, 1, 1);
    coefs.APU[w] = 2.0;
    coefs.HU[w] = 3.0;
    coefs.APU[e] = 4.0;
    coefs.HU[e] = 1.0;
    fields.P[ARIDX(1, 1, 1)] = 10.0;
    fields.P[ARIDX(3, 1, 1)] = 2.0;
    fields.SMASS[w] = 0.6;
}

// Mass balance of cell 2 with the face velocities the pressure equation
// assumes: (numerator + A·(low P - high P))/centre coefficient.
double middle_balance() {
    const int w = ARIDX(2, 1, 1), e = ARIDX(3, 1, 1);
    const double uw = (coefs.HU[w] + (fields.P[ARIDX(1, 1, 1)] - fields.P[w])) / coefs.APU[w];
    const double ue = (coefs.HU[e] + (fields.P[w] - fields.P[e])) / coefs.APU[e];
    return 1.2 * uw - 1.2 * ue + fields.SMASS[w];
}

TEST(PressureSweep, FullRelaxationClosesTheCellBalance) {
    prepare_middle_cell();
    runctl.RLXP = 1.0;
    ASSERT_GT(std::fabs(middle_balance()), 0.1);
    CALCP(1);
    // Q = 0.6 + 0.3·(2 - 1) + 0.6·(10 + 3) = 8.7, G = 0.9.
    EXPECT_DOUBLE_EQ(fields.P[ARIDX(2, 1, 1)], 8.7 / 0.9);
    EXPECT_NEAR(middle_balance(), 0.0, 1e-12);
    EXPECT_EQ(fields.P[ARIDX(1, 1, 1)], 10.0);
    EXPECT_EQ(fields.P[ARIDX(3, 1, 1)], 2.0);
}

TEST(PressureSweep, PartialRelaxationMovesPartOfTheWay) {
    prepare_middle_cell();
    runctl.RLXP = 0.25;
    fields.P[ARIDX(2, 1, 1)] = 1.0;
    CALCP(2);
    EXPECT_DOUBLE_EQ(fields.P[ARIDX(2, 1, 1)], 1.0 + 0.25 * (8.7 / 0.9 - 1.0));
}

TEST(PressureSweep, FacesAreTestedForExactZero) {
    // An open fraction of 1e-30 still counts for the pressure faces; a zero
    // centre coefficient or open fraction drops the face.
    struct Case {
        double cpru_e, apu_e;
        double expected;
    };
    const Case cases[] = {
        {1.0, 4.0, 8.7 / 0.9},
        {1e-30, 4.0, 8.7 / 0.9},            // area from the fixture's open face
        {0.0, 4.0, (0.6 + 7.8) / 0.6},      // east face dropped
        {1.0, 0.0, (0.6 + 7.8) / 0.6},
    };
    for (const Case& c : cases) {
        prepare_middle_cell();
        runctl.RLXP = 1.0;
        fields.CPRU[ARIDX(3, 1, 1)] = c.cpru_e;
        coefs.APU[ARIDX(3, 1, 1)] = c.apu_e;
        CALCP(1);
        EXPECT_DOUBLE_EQ(fields.P[ARIDX(2, 1, 1)], c.expected) << c.cpru_e << " " << c.apu_e;
    }
}

TEST(PressureSweep, CellWithoutUsableFaceKeepsItsPressure) {
    make_uniform_grid(1, 1, 1);
    const int p = ARIDX(1, 1, 1);
    fields.P[p] = 5.0;
    fields.SMASS[p] = 1.0;
    runctl.RLXP = 1.0;
    CALCP(1);
    EXPECT_EQ(fields.P[p], 5.0);
}

TEST(PressureSweep, ForwardAndBackwardOrder) {
    // Two open cells: the one visited second sees the first one's new value.
    make_uniform_grid(2, 1, 1);
    test::fill(fields.DENU, 1.0);
    const int a = ARIDX(1, 1, 1), b = ARIDX(2, 1, 1);
    coefs.APU[b] = 1.0;
    coefs.HU[b] = 0.0;
    fields.SMASS[a] = 1.0;   // a balances at P(b) + 1
    fields.SMASS[b] = 2.0;   // b balances at P(a) + 2
    runctl.RLXP = 1.0;
    CALCP(1);
    EXPECT_EQ(fields.P[a], 1.0);
    EXPECT_EQ(fields.P[b], 3.0);
    fields.P[a] = fields.P[b] = 0.0;
    CALCP(2);
    EXPECT_EQ(fields.P[b], 2.0);
    EXPECT_EQ(fields.P[a], 3.0);
}

TEST(MassResidual, SumsAbsoluteImbalanceIgnoringEdgeFaces) {
    make_uniform_grid(2, 1, 1);
    test::fill(fields.DENU, 1.2);
    const int a = ARIDX(1, 1, 1), b = ARIDX(2, 1, 1);
    fields.U[b] = 1.0;                  // 1.2 kg/s from cell 1 to cell 2
    fields.U[a] = 5.0;                  // west wall face: not counted
    fields.AREAU[a] = 1.0;
    fields.U[ARIDX(3, 1, 1)] = 5.0;     // east wall face: not counted
    fields.AREAU[ARIDX(3, 1, 1)] = 1.0;
    fields.SMASS[a] = 1.0;
    runctl.RM = 0.0;
    MASS();
    EXPECT_DOUBLE_EQ(runctl.RM, std::fabs(-1.2 + 1.0) + 1.2);
}

// ---- pressure level ----------------------------------------------------------

// 3 x 1 x 1 cells of 1 m, DEN 1.2. A fixed inflow into cell 1 and one
// boundary over cell 3 (face 2, coefficient 0.5).
void prepare_level(double inflow, double pb_exponent, double pb_pressure) {
    make_uniform_grid(3, 1, 1);
    test::fill(fields.DEN, 1.2);
    test::fill(fields.P, 0.0);
    test::fill(fields.SMASS, 0.0);
    pbtable.NPB = 0;
    fields.SMASS[ARIDX(1, 1, 1)] = inflow;
    add_pb(3, 3, 1, 1, 1, 1, 2, 0.5, pb_pressure, pb_exponent);
    test::pb_done();
    runctl.RLXADJ = 1.0;
}

double shift_of(int i) { return fields.P[ARIDX(i, 1, 1)]; }

TEST(PressureLevel, ShiftIsImbalanceOverSlope) {
    // Exponent 1: slope = DEN·coef·A·A = 0.6; imbalance 0.06 gives 0.1 Pa.
    prepare_level(0.3, 1.0, 0.0);
    fields.SMASS[ARIDX(3, 1, 1)] = -0.24;
    ADJUSTP();
    for (int i = 1; i <= 3; ++i) EXPECT_DOUBLE_EQ(shift_of(i), 0.06 / 0.6) << i;
}

TEST(PressureLevel, EqualPressuresUseMinimumGap) {
    // Exponent 0.5 with the inside pressure equal to the boundary's: the gap
    // is taken as 0.001 Pa.
    prepare_level(0.01, 0.5, 0.0);
    ADJUSTP();
    const double slope = 0.5 * 1.2 * 0.5 * 1.0 * 1.0 / std::pow(0.001, 0.5);
    EXPECT_DOUBLE_EQ(shift_of(2), 0.01 / slope);
}

TEST(PressureLevel, ShiftIsClampedToOnePascal) {
    prepare_level(50.0, 1.0, 0.0);
    ADJUSTP();
    EXPECT_EQ(shift_of(1), 1.0);
    EXPECT_EQ(shift_of(3), 1.0);
    prepare_level(-50.0, 1.0, 0.0);
    ADJUSTP();
    EXPECT_EQ(shift_of(1), -1.0);
}

TEST(PressureLevel, NoShiftCases) {
    struct Case {
        const char* name;
        double coef, exponent, rlxadj, inflow;
        bool with_pb;
    };
    const Case cases[] = {
        {"no pressure boundaries", 0.5, 1.0, 1.0, 5.0, false},
        {"sources cancel", 0.5, 1.0, 1.0, 0.0, true},
        {"zero coefficient: every slope 0", 0.0, 1.0, 1.0, 5.0, true},
        {"zero exponent: every slope 0", 0.5, 0.0, 1.0, 5.0, true},
        {"zero factor with zero slopes: quotient not a number", 0.0, 1.0, 0.0, 5.0, true},
        {"zero factor", 0.5, 1.0, 0.0, 5.0, true},
    };
    for (const Case& c : cases) {
        make_uniform_grid(3, 1, 1);
        test::fill(fields.DEN, 1.2);
        test::fill(fields.P, 0.0);
        pbtable.NPB = 0;
        pbtable.PBON = 0;
        fields.SMASS[ARIDX(1, 1, 1)] = c.inflow;
        if (c.with_pb) add_pb(3, 3, 1, 1, 1, 1, 2, c.coef, 0.0, c.exponent);
        test::pb_done();
        runctl.RLXADJ = c.rlxadj;
        ADJUSTP();
        for (int i = 1; i <= 3; ++i) EXPECT_EQ(shift_of(i), 0.0) << c.name;
    }
}

TEST(PressureLevel, BlockedCellsNeitherCountNorMove) {
    // The boundary box covers an open and a blocked cell: the shift is that of
    // the open cell alone, and the blocked cell keeps its pressure.
    make_uniform_grid(3, 1, 1);
    test::fill(fields.DEN, 1.2);
    test::block_cell(3, 1, 1);
    fields.DEN[ARIDX(3, 1, 1)] = 1.2;
    fields.SMASS[ARIDX(1, 1, 1)] = 0.06;
    add_pb(2, 3, 1, 1, 1, 1, 2, 0.5, 0.0, 1.0);
    test::pb_done();
    runctl.RLXADJ = 1.0;
    ADJUSTP();
    EXPECT_DOUBLE_EQ(shift_of(1), 0.1);
    EXPECT_DOUBLE_EQ(shift_of(2), 0.1);
    EXPECT_EQ(shift_of(3), 0.0);
}

TEST(PressureLevel, NotANumberSlopeGivesNoShift) {
    prepare_level(0.3, 0.5, 0.0);
    fields.P[ARIDX(3, 1, 1)] = std::numeric_limits<double>::quiet_NaN();
    ADJUSTP();
    EXPECT_EQ(shift_of(1), 0.0);
}

}  // namespace
}  // namespace tarvex
