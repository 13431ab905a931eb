// Temperature, contaminant and water-vapour equations: set-up, sweeps,
// residuals, condensation, surface exchange and U-value surfaces, on small
// grids whose coefficients are set by hand.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/engine.h"
#include "solve_fixture.h"

namespace tarvex {
namespace {

using test::fill;
using test::make_grid;
using test::make_uniform_grid;

// Neighbour coefficients of a 3 x 3 x 3 grid, different per direction so that
// a mixed-up neighbour shows: AW 1, AE 2, AS 3, AN 4, AB 5, AT 6, and 0 on the
// faces at the domain walls.
void set_direction_coefficients() {
    for (int k = 1; k <= griddim.NZ; ++k)
        for (int j = 1; j <= griddim.NY; ++j)
            for (int i = 1; i <= griddim.NX; ++i) {
                const int p = ARIDX(i, j, k);
                coefs.AW[p] = i > 1 ? 1.0 : 0.0;
                coefs.AE[p] = i < griddim.NX ? 2.0 : 0.0;
                coefs.AS[p] = j > 1 ? 3.0 : 0.0;
                coefs.AN[p] = j < griddim.NY ? 4.0 : 0.0;
                coefs.AB[p] = k > 1 ? 5.0 : 0.0;
                coefs.AT[p] = k < griddim.NZ ? 6.0 : 0.0;
            }
}

// T = 300 + i + 2j + 3k.
void set_temperature_ramp() {
    for (int k = 1; k <= griddim.NZ; ++k)
        for (int j = 1; j <= griddim.NY; ++j)
            for (int i = 1; i <= griddim.NX; ++i) fields.T[ARIDX(i, j, k)] = 300.0 + i + 2 * j + 3 * k;
}

TEST(ScalarSetup, TemperatureCentreCellSteadyAndTimeStep) {
    make_uniform_grid(3, 3, 3);
    set_direction_coefficients();
    set_temperature_ramp();
    const int p = ARIDX(2, 2, 2);
    fields.SCT[p] = 10.0;
    fields.SPT[p] = 0.5;
    fields.MIMB[p] = -2.0;   // outflow excess 2 kg/s
    fields.MIMB[ARIDX(1, 2, 2)] = 3.0;   // inflow excess: no outflow term

    // NB = 1·311 + 3·310 + 4·314 + 2·313 + 6·315 + 5·309 = 6558
    // SU = 10 + 2·312 = 634, SP = 2.5, AP = 21 + 2.5 = 23.5
    // r = 6558 + 634 - 23.5·312 = -140
    runctl.ITRANS = 0;
    runctl.RLXT = 0.5;
    SUBT();
    EXPECT_EQ(coefs.APT[p], 47.0);
    EXPECT_EQ(coefs.SUT[p], 634.0 + 0.5 * 47.0 * 312.0);
    EXPECT_EQ(resid.REST[p], 140.0);

    // A cell with inflow excess: no outflow term, AP is the neighbour sum.
    const int w = ARIDX(1, 2, 2);
    EXPECT_EQ(coefs.APT[w], (2.0 + 3.0 + 4.0 + 5.0 + 6.0) / 0.5);

    // Time-step mode: tau = DEN·VOL/DT = 1.2·1/0.5 = 2.4 joins SP, tau·T joins
    // SU, and nothing is relaxed.
    runctl.ITRANS = 1;
    runctl.DT = 0.5;
    fields.DEN[p] = 1.2;
    runctl.RT0 = 0.0;
    SUBT();
    const double tau = 1.2 * 1.0 / 0.5;
    EXPECT_DOUBLE_EQ(coefs.APT[p], 23.5 + tau);
    EXPECT_DOUBLE_EQ(coefs.SUT[p], 634.0 + tau * 312.0);
    EXPECT_DOUBLE_EQ(resid.REST[p], std::fabs(6558.0 + 634.0 + tau * 312.0 - (23.5 + tau) * 312.0));
}

TEST(ScalarSetup, UnitRelaxationStoresPlainCoefficientAndSumsResiduals) {
    make_uniform_grid(3, 3, 3);
    set_direction_coefficients();
    set_temperature_ramp();
    runctl.ITRANS = 0;
    runctl.RLXT = 1.0;
    runctl.RT0 = 0.0;
    SUBT();
    double sum = 0.0;
    for (int k = 1; k <= 3; ++k)
        for (int j = 1; j <= 3; ++j)
            for (int i = 1; i <= 3; ++i) {
                const int p = ARIDX(i, j, k);
                const double ap = coefs.AN[p] + coefs.AS[p] + coefs.AE[p] + coefs.AW[p] + coefs.AT[p] + coefs.AB[p];
                EXPECT_EQ(coefs.APT[p], ap);
                EXPECT_EQ(coefs.SUT[p], 0.0);
                sum += resid.REST[p];
            }
    EXPECT_EQ(runctl.RT0, sum);
    EXPECT_GT(sum, 0.0);
}

// Two cells take part in the sweep: A = (1,2,2) and its east neighbour
// B = (2,2,2); every other centre coefficient is 0, so those cells stay.
void prepare_two_cell_sweep() {
    make_uniform_grid(3, 3, 3);
    set_direction_coefficients();
    set_temperature_ramp();
    const int a = ARIDX(1, 2, 2), b = ARIDX(2, 2, 2);
    coefs.APT[a] = 20.0;
    coefs.SUT[a] = 13.0;
    coefs.APT[b] = 20.0;
    coefs.SUT[b] = 41.0;
}

TEST(ScalarSweep, ForwardUsesValuesUpdatedEarlierInTheSweep) {
    prepare_two_cell_sweep();
    const int a = ARIDX(1, 2, 2), b = ARIDX(2, 2, 2);
    // A: NB = 3·309 + 4·313 + 2·312 + 6·314 + 5·308 = 6227, (6227 + 13)/20 = 312.
    // B then sees the new west value: NB = 6558 + 1 = 6559, (6559 + 41)/20 = 330.
    CALCT(1);
    EXPECT_EQ(fields.T[a], 312.0);
    EXPECT_EQ(fields.T[b], 330.0);
    EXPECT_EQ(fields.T[ARIDX(3, 2, 2)], 313.0);   // centre coefficient 0: unchanged
    EXPECT_EQ(domsums.SDT, 1.0 + 18.0);
    EXPECT_EQ(domsums.XDT, 18.0);
}

TEST(ScalarSweep, BackwardVisitsTheEastCellFirst) {
    prepare_two_cell_sweep();
    const int a = ARIDX(1, 2, 2), b = ARIDX(2, 2, 2);
    CALCT(2);
    const double tb = (6558.0 + 41.0) / 20.0;
    EXPECT_EQ(fields.T[b], tb);
    EXPECT_DOUBLE_EQ(fields.T[a], (3 * 309.0 + 4 * 313.0 + 2 * tb + 6 * 314.0 + 5 * 308.0 + 13.0) / 20.0);
    // Both sweeps of a cycle add to the same change sums.
    const double after_one = domsums.SDT;
    CALCT(1);
    EXPECT_GT(domsums.SDT, after_one);
}

TEST(ScalarSweep, OpenCellTestsDifferPerEquation) {
    // A cell with an open fraction of 1e-30 is open for the temperature sweep
    // (not 0) but not for the contaminant and water-vapour sweeps nor for any
    // residual (above 1e-20).
    make_uniform_grid(1, 1, 1);
    const int p = ARIDX(1, 1, 1);
    fields.CPR[p] = 1e-30;
    coefs.APT[p] = 2.0;
    coefs.SUT[p] = 600.0;
    fields.APC[p] = 2.0;
    fields.SUC[p] = 0.2;
    c2eq.APC2[p] = 2.0;
    c2eq.SUC2[p] = 0.02;
    CALCT(1);
    CALCA(1);
    CALC2A(1);
    EXPECT_EQ(fields.T[p], 300.0);
    EXPECT_EQ(fields.C[p], 0.0);
    EXPECT_EQ(c2eq.C2[p], 0.0);
    runctl.RT = 0.0;
    ENER();
    EXPECT_EQ(runctl.RT, 0.0);

    fields.CPR[p] = 1.0;
    CALCA(1);
    CALC2A(1);
    EXPECT_EQ(fields.C[p], 0.1);
    EXPECT_EQ(c2eq.C2[p], 0.01);
}

TEST(ScalarSweep, ContaminantClipsToZeroWhereSumIsNotPositive) {
    make_uniform_grid(3, 1, 1);
    for (int i = 1; i <= 3; ++i) {
        const int p = ARIDX(i, 1, 1);
        fields.APC[p] = 4.0;
        fields.C[p] = 0.5;
    }
    coefs.AE[ARIDX(1, 1, 1)] = 1.0;
    coefs.AW[ARIDX(2, 1, 1)] = 1.0;
    fields.SUC[ARIDX(1, 1, 1)] = -3.0;   // NB 0.5 + SU -3 < 0: 0
    fields.SUC[ARIDX(2, 1, 1)] = 0.0;    // NB 0 (new west value) + 0: exactly 0 clips too
    fields.SUC[ARIDX(3, 1, 1)] = 2.0;    // 2/4
    CALCA(1);
    EXPECT_EQ(fields.C[ARIDX(1, 1, 1)], 0.0);
    EXPECT_FALSE(std::signbit(fields.C[ARIDX(1, 1, 1)]));
    EXPECT_EQ(fields.C[ARIDX(2, 1, 1)], 0.0);
    EXPECT_EQ(fields.C[ARIDX(3, 1, 1)], 0.5);
    EXPECT_EQ(domsums.SDC, 1.0);
    EXPECT_EQ(domsums.XDC, 0.5);

    // The water-vapour sweep does not clip.
    c2eq.APC2[ARIDX(1, 1, 1)] = 4.0;
    c2eq.SUC2[ARIDX(1, 1, 1)] = -3.0;
    CALC2A(1);
    EXPECT_EQ(c2eq.C2[ARIDX(1, 1, 1)], -0.75);
}

TEST(ScalarResidual, SumsRelaxedEquationWithCurrentField) {
    make_uniform_grid(2, 1, 1);
    const int a = ARIDX(1, 1, 1), b = ARIDX(2, 1, 1);
    coefs.AE[a] = 1.0;
    coefs.AW[b] = 2.0;
    fields.C[a] = 0.25;
    fields.C[b] = 0.5;
    fields.APC[a] = 3.0;
    fields.SUC[a] = 0.1;
    fields.APC[b] = 4.0;
    fields.SUC[b] = 0.2;
    runctl.RC = 0.0;
    CONC();
    // |0.5 + 0.1 - 0.75| + |0.5 + 0.2 - 2|
    EXPECT_DOUBLE_EQ(runctl.RC, 0.15 + 1.3);
}

// ---- water vapour -----------------------------------------------------------

TEST(VapourSetup, CondensationAtAndAboveSaturation) {
    make_uniform_grid(3, 1, 1, 2.0);   // cells of 8 m3
    runctl.ITRANS = 0;
    c2eq.RLXC2 = 1.0;
    const double t20 = 293.15;
    const int a = ARIDX(1, 1, 1), b = ARIDX(2, 1, 1), c = ARIDX(3, 1, 1);
    fields.T[a] = t20;
    fields.T[b] = t20;
    fields.T[c] = t20;
    const double sat = RH2WC(100.0, t20 - 273.15);
    c2eq.C2[a] = sat;            // exactly saturated: nothing condenses
    c2eq.C2[b] = sat + 0.002;    // above: the excess condenses in full
    c2eq.C2[c] = 0.5 * sat;
    SUB2A();
    EXPECT_EQ(c2eq.COND[a], 0.0);
    const double cond = (c2eq.C2[b] - sat) * 8.0 * 353.0487804878049 / t20;
    EXPECT_NEAR(cond, 0.002 * 8.0 * 1.2043, 1e-5);
    EXPECT_EQ(c2eq.COND[b], cond);
    EXPECT_EQ(c2eq.COND[c], 0.0);
    EXPECT_EQ(runctl.CONDT, cond);
    // The condensed water leaves the source (no exchange term here: the
    // neighbours' differences make S positive and above the source).
    EXPECT_EQ(c2eq.SUC2[b], -cond);
}

TEST(VapourSetup, NoCondensationWhereSaturationReachesAtmosphericPressure) {
    // At 100 C and above the saturation pressure exceeds 101325 Pa, and the
    // saturated content RH2WC(100, t) is negative: a moist cell there must not
    // "condense" the difference.
    make_uniform_grid(1, 1, 1);
    const int p = ARIDX(1, 1, 1);
    runctl.ITRANS = 0;
    c2eq.RLXC2 = 1.0;
    for (const double t : {373.15, 380.0, 400.0}) {
        fields.T[p] = t;
        c2eq.C2[p] = 5.0;
        ASSERT_GE(T2SVP(t - 273.15), 101325.0);
        ASSERT_LT(RH2WC(100.0, t - 273.15), 0.0);
        SUB2A();
        EXPECT_EQ(c2eq.COND[p], 0.0) << t;
        EXPECT_EQ(runctl.CONDT, 0.0) << t;
        EXPECT_EQ(c2eq.SUC2[p], 0.0) << t;
    }
}

TEST(VapourSetup, NegativeContentIsClippedAfterTheSourceUsedIt) {
    make_uniform_grid(1, 1, 1);
    const int p = ARIDX(1, 1, 1);
    runctl.ITRANS = 0;
    c2eq.RLXC2 = 1.0;
    fields.T[p] = 293.15;
    fields.MIMB[p] = -2.0;
    c2eq.C2[p] = -0.001;
    SUB2A();
    EXPECT_EQ(c2eq.C2[p], 0.0);
    EXPECT_EQ(c2eq.SUC2[p], 2.0 * -0.001);   // CP·C2 with the old value
    EXPECT_EQ(c2eq.APC2[p], 2.0);
}

TEST(VapourSetup, SurfaceExchangeReducesSourceOnlyWhenSmaller) {
    // Three cells along x, widths 1, 2, 1: centres 0.5, 2, 3.5. The middle cell
    // exchanges with both neighbours over faces of 1 m2 at 1.5 m.
    make_grid({1.0, 2.0, 1.0}, {1.0}, {1.0});
    runctl.ITRANS = 0;
    c2eq.RLXC2 = 1.0;
    const int a = ARIDX(1, 1, 1), b = ARIDX(2, 1, 1), c = ARIDX(3, 1, 1);
    for (int p : {a, b, c}) fields.T[p] = 293.15;
    struct Case {
        double centre, west, east, source;
    };
    const Case cases[] = {
        {0.006, 0.004, 0.005, 1.0},     // S > 0 and below the source: subtracted
        {0.006, 0.004, 0.005, 1e-6},    // S above the source: unchanged
        {0.004, 0.006, 0.006, 0.0},     // S < 0 below a source of 0: raises it
    };
    for (const Case& k : cases) {
        c2eq.C2[a] = k.west;
        c2eq.C2[b] = k.centre;
        c2eq.C2[c] = k.east;
        c2eq.SCC2[b] = k.source;
        SUB2A();
        const double s = 0.003162 * ((k.centre - k.east) * 1.0 / 1.5 + (k.centre - k.west) * 1.0 / 1.5);
        const double expected = s < k.source ? k.source - s : k.source;
        EXPECT_DOUBLE_EQ(c2eq.SUC2[b], expected) << k.centre << " " << k.source;
    }
}

TEST(VapourSetup, PressureBoundaryJoinsTheSurfaceExchange) {
    make_uniform_grid(1, 1, 1, 2.0);
    const int p = ARIDX(1, 1, 1);
    runctl.ITRANS = 0;
    c2eq.RLXC2 = 1.0;
    fields.T[p] = 293.15;
    c2eq.C2[p] = 0.008;
    c2eq.SCC2[p] = 1.0;
    test::add_pb(1, 1, 1, 1, 1, 1, 3, 0.5, 0.0, 0.5, 293.15, 0.0, 0.002);
    test::pb_done();
    SUB2A();
    // Face 3: area DX·DZ = 4, distance DY = 2.
    EXPECT_DOUBLE_EQ(c2eq.SUC2[p], 1.0 - 0.003162 * ((0.008 - 0.002) * 4.0 / 2.0));
    // Without the boundary flag the row is not looked at.
    pbtable.PBON = 0;
    SUB2A();
    EXPECT_EQ(c2eq.SUC2[p], 1.0);
}

// ---- U-value surfaces -------------------------------------------------------

void set_uvalue(int i, int j, int k, int face, double uval, double uvalt) {
    const int p = ARIDX(i, j, k);
    uvaltab.UVAL[uvidx(p, face)] = uval;
    uvaltab.UVALT[uvidx(p, face)] = uvalt;
    uvaltab.UVALCELL[p] = true;
    uvaltab.UVALSET = true;
}

void clear_uvalues() {
    for (int p = 1; p <= ARIDX(griddim.NX, griddim.NY, griddim.NZ); ++p) {
        for (int f = 1; f <= 6; ++f) {
            uvaltab.UVAL[uvidx(p, f)] = -999.0;
            uvaltab.UVALT[uvidx(p, f)] = -999.0;
        }
        uvaltab.UVALCELL[p] = false;
    }
}

TEST(UValueHook, FixedAndCoupledFaces) {
    make_uniform_grid(5, 1, 1);
    clear_uvalues();
    for (int i = 1; i <= 5; ++i) fields.T[ARIDX(i, 1, 1)] = 290.0 + i;
    set_uvalue(3, 1, 1, 2, 0.2, 0.2 * 280.0);   // fixed outside temperature 280 K
    set_uvalue(3, 1, 1, 1, 0.3, 0.3);           // coupled: the cell two steps west, (1,1,1)
    double su = 1.0, sp = 0.5;
    USRSUB(4, 3, 1, 1, su, sp);
    EXPECT_DOUBLE_EQ(su, 1.0 + 0.2 * 280.0 + 0.3 * 291.0);
    EXPECT_DOUBLE_EQ(sp, 0.5 + 0.2 + 0.3);

    // Other hook codes change nothing.
    su = 1.0;
    sp = 0.5;
    USRSUB(5, 3, 1, 1, su, sp);
    EXPECT_EQ(su, 1.0);
    EXPECT_EQ(sp, 0.5);
}

TEST(UValueHook, CoupledFaceWithoutCellTwoAcrossAddsNothing) {
    make_uniform_grid(5, 1, 1);
    clear_uvalues();
    for (int i = 1; i <= 5; ++i) fields.T[ARIDX(i, 1, 1)] = 290.0 + i;
    struct Case {
        int i, face;
    };
    // West of cell 2, east of cell 4, and the y and z faces of a one-cell-deep grid.
    for (const Case c : {Case{2, 1}, Case{4, 2}, Case{3, 3}, Case{3, 4}, Case{3, 5}, Case{3, 6}}) {
        clear_uvalues();
        set_uvalue(c.i, 1, 1, c.face, 0.3, 0.3);
        double su = 1.0, sp = 0.5;
        USRSUB(4, c.i, 1, 1, su, sp);
        EXPECT_EQ(su, 1.0) << c.i << " " << c.face;
        EXPECT_EQ(sp, 0.5) << c.i << " " << c.face;
    }
    // A face without a surface (-999) adds nothing either, even when the cell
    // has surfaces on other faces.
    clear_uvalues();
    set_uvalue(3, 1, 1, 2, 0.2, 56.0);
    uvaltab.UVAL[uvidx(ARIDX(3, 1, 1), 2)] = -999.0;
    double su = 1.0, sp = 0.5;
    USRSUB(4, 3, 1, 1, su, sp);
    EXPECT_EQ(su, 1.0);
    EXPECT_EQ(sp, 0.5);
}

TEST(UValueHook, TemperatureSetupGainsTheSurfaceHeat) {
    make_uniform_grid(5, 1, 1);
    clear_uvalues();
    for (int i = 1; i <= 5; ++i) fields.T[ARIDX(i, 1, 1)] = 290.0;
    set_uvalue(3, 1, 1, 2, 0.2, 0.2 * 280.0);
    runctl.ITRANS = 0;
    runctl.RLXT = 1.0;
    SUBT();
    const int p = ARIDX(3, 1, 1);
    EXPECT_DOUBLE_EQ(coefs.APT[p], 0.2);
    EXPECT_DOUBLE_EQ(coefs.SUT[p], 56.0);
    // The surface's heat flow at the current field: U·A·(280 - 290) = -2.
    EXPECT_DOUBLE_EQ(resid.REST[p], 2.0);
}

TEST(ScalarSweep, NaNTravelsThroughTheSums) {
    make_uniform_grid(2, 1, 1);
    const int a = ARIDX(1, 1, 1), b = ARIDX(2, 1, 1);
    coefs.AE[a] = 1.0;
    coefs.AW[b] = 1.0;
    fields.T[a] = std::numeric_limits<double>::quiet_NaN();
    fields.T[b] = 300.0;
    coefs.APT[a] = coefs.APT[b] = 1.0;
    runctl.RT = 0.0;
    ENER();
    EXPECT_TRUE(std::isnan(runctl.RT));
}

}  // namespace
}  // namespace tarvex
