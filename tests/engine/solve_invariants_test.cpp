// Physical invariants of the whole outer iteration on small rooms of our own:
// each case has a state that the equations must reach or keep, derived by
// hand below, whatever order the loops visit the cells in. They guard any
// change to how the solver's work is scheduled.
//
// Each case runs on 1, 2, 3, 8 and 13 threads (13 is more than the rows of
// any of these grids along any axis), with the parallel paths taken however
// small the grid. On more than one thread the case is first run serially and
// the saved-data files of the two runs must be the same byte for byte.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "common/channels.h"
#include "engine/engine.h"
#include "engine/solver_pool.h"
#include "engine/solver_threads.h"
#include "solve_fixture.h"
#include "tests/engine/run_setup.h"

namespace tarvex {
namespace {

// Steady run controls shared by the cases: constant effective viscosity
// (model 1), the run driver's relaxation factors, no per-sweep lines.
void steady_controls(double viseff) { test::set_steady_controls({.viseff = viseff}); }

// Gravity along -z, as the case reader turns it into buoyancy factors.
void gravity_down() {
    runctl.GZ = -9.81;
    runctl.BUOYX = 0.0;
    runctl.BUOYY = 0.0;
    runctl.BUOYZ = runctl.GZ * AIRDEN;
}

void iterate(int n) {
    for (int it = 0; it < n; ++it) {
        runctl.ITER += 1;
        int iusr3 = 0, iconv = 0;
        SOLVE(iusr3, iconv);
        ASSERT_EQ(iconv, 0);
    }
}

int idx(int i, int j, int k) { return ARIDX(i, j, k); }

double largest_speed() {
    double v = 0.0;
    for (int k = 1; k <= griddim.NZ; ++k)
        for (int j = 1; j <= griddim.NY; ++j)
            for (int i = 1; i <= griddim.NX; ++i) {
                const int p = idx(i, j, k);
                v = std::max({v, std::fabs(fields.U[p]), std::fabs(fields.V[p]), std::fabs(fields.W[p])});
            }
    return v;
}

class SolveInvariants : public ::testing::TestWithParam<int> {
protected:

    // Sets the case up and runs it for n iterations on the test's threads;
    // on more than one thread runs it serially first, and the saved data of
    // both runs must agree to the byte. The threaded run's state is left
    // for the checks.
    void run_case(const std::function<void()>& setup, int n) {
        std::string serial;
        if (GetParam() > 1) {
            set_solver_threads(1);
            setup();
            iterate(n);
            serial = test::saved_bytes("tarvex_invariants");
        }
        set_solver_threads(GetParam());
        setup();
        iterate(n);
        if (GetParam() > 1) {
            const std::string threaded = test::saved_bytes("tarvex_invariants");
            EXPECT_TRUE(threaded == serial) << "saved data differ from the serial run's on " << GetParam()
                                            << " threads";
        }
    }

private:
    test::ParallelPaths parallel_paths_;
};

INSTANTIATE_TEST_SUITE_P(Threads, SolveInvariants, ::testing::Values(1, 2, 3, 8, 13),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return "threads_" + std::to_string(info.param);
                         });

// A closed room at one temperature, with gravity and uneven cells. The
// buoyancy of a W node is BUOYZ·(volume)·(1/Tf − RTREF): with T the same in
// every cell the face temperature Tf, the volume-weighted mean of two equal
// values, is T, and the region's reference RTREF (the reciprocal of its mean
// temperature) is 1/T, so no node has a source. Nothing flows in or out, so
// the rest state (U = V = W = 0, P unchanged, every scalar where it is) is the
// solution, and the iteration must keep it: nothing is there to move the air.
// Rounding in Tf and the mean leaves at most an ulp of 1/T, hence the bounds.
TEST_P(SolveInvariants, StillUniformlyWarmRoomStaysAtRest) {
    run_case(
        [] {
            test::make_grid({0.2, 0.5, 0.7, 0.3}, {0.4, 0.6, 0.25}, {0.1, 0.3, 0.5, 0.35, 0.2});
            steady_controls(0.05);
            gravity_down();
            runctl.ITEMP = 1;
            runctl.ICONC = 1;
            test::fill(fields.T, 300.0);
            test::fill(fields.C, 1e-3);
            test::fill(c2eq.C2, 6e-3);   // about 27 % at 27 C: nothing condenses
        },
        20);

    EXPECT_LT(largest_speed(), 1e-12);
    for (int k = 1; k <= griddim.NZ; ++k)
        for (int j = 1; j <= griddim.NY; ++j)
            for (int i = 1; i <= griddim.NX; ++i) {
                const int p = idx(i, j, k);
                EXPECT_NEAR(fields.P[p], 0.0, 1e-9) << i << ' ' << j << ' ' << k;
                EXPECT_NEAR(fields.T[p], 300.0, 1e-9);
                EXPECT_NEAR(fields.C[p], 1e-3, 1e-15);
                EXPECT_NEAR(c2eq.C2[p], 6e-3, 1e-15);
            }
    EXPECT_EQ(runctl.CONDT, 0.0);
}

// A closed room stratified stably: each layer warmer than the one below,
// 1 K more per layer, against a fixed reference of 295 K. ITEMP = 2 keeps the
// buoyancy of the momentum equations (any value but 0) while the temperature
// equation is not solved (only 1 solves it), so the layers keep their
// temperatures. At rest every W node has no neighbour sum and no outflow
// term, and its residual (P(k-1) − P(k))·DX·DY + BUOYZ·½(V(k-1)+V(k))·(1/Tf −
// 1/Tref) vanishes only when
//   P(k) − P(k-1) = gz·AIRDEN·½(DZ(k-1) + DZ(k))·(1/Tf − 1/Tref),
// with Tf = (T(k)·DZ(k) + T(k-1)·DZ(k-1))/(DZ(k-1) + DZ(k)): the hydrostatic
// step of the air's density relative to the reference, g·(ρf − ρref)·Δz.
// The layers are level, so nothing drives a horizontal flow; the pressure
// must settle on these steps, the same over the whole layer, with the air at
// rest.
TEST_P(SolveInvariants, StablyStratifiedStillRoomKeepsHydrostaticSteps) {
    const std::vector<double> dz = {0.3, 0.5, 0.4, 0.6, 0.2};
    run_case(
        [&] {
            test::make_grid({0.5, 0.4, 0.6}, {0.3, 0.7}, dz);
            steady_controls(0.05);
            gravity_down();
            runctl.ITEMP = 2;
            runctl.ICONC = 0;
            regions.TREF[1] = 295.0;
            for (int k = 1; k <= griddim.NZ; ++k)
                for (int j = 1; j <= griddim.NY; ++j)
                    for (int i = 1; i <= griddim.NX; ++i) fields.T[idx(i, j, k)] = 292.0 + k;
        },
        400);

    EXPECT_LT(largest_speed(), 1e-12);
    for (int k = 2; k <= griddim.NZ; ++k) {
        const double tl = 292.0 + (k - 1), tp = 292.0 + k;
        const double dl = dz[k - 2], dp = dz[k - 1];
        const double tf = (tp * dp + tl * dl) / (dl + dp);
        const double step = runctl.GZ * AIRDEN * 0.5 * (dl + dp) * (1.0 / tf - 1.0 / 295.0);
        for (int j = 1; j <= griddim.NY; ++j)
            for (int i = 1; i <= griddim.NX; ++i) {
                const double got = fields.P[idx(i, j, k)] - fields.P[idx(i, j, k - 1)];
                EXPECT_NEAR(got, step, 1e-9 * std::fabs(step)) << "layers " << k - 1 << '-' << k;
            }
    }
    // The steps are of the expected sign and size: denser air below the
    // reference temperature lowers the pressure upwards, lighter air above it
    // raises it (0.01 to 0.02 Pa per layer here).
    EXPECT_LT(fields.P[idx(1, 1, 2)] - fields.P[idx(1, 1, 1)], -0.01);
    EXPECT_GT(fields.P[idx(1, 1, 5)] - fields.P[idx(1, 1, 4)], 0.01);
}

// A room that is its own mirror image across x = 2 m (and across y = 1 m):
// cool air enters through the four middle ceiling cells, leaves through the
// two floor cells at the ends, and a heat gain warms the floor in the middle.
// The mirror image of the case is the same case, so its steady solution is
// its own mirror image: T, P, C, V and W equal at mirrored cells, U (normal to
// the mirror) of opposite sign at mirrored faces. The sweeps visit the cells
// in an order that is not symmetric, so the iterates are not, but their
// asymmetry must die out as the iteration converges; the bounds are those of
// the convergence reached.
TEST_P(SolveInvariants, MirrorSymmetricRoomGivesMirrorSymmetricFields) {
    const std::vector<double> dx = {0.3, 0.6, 0.5, 0.5, 0.6, 0.3};
    const std::vector<double> dy = {0.3, 0.4, 0.4, 0.3};
    const int nx = 6, ny = 4, nz = 4;
    run_case(
        [&] {
            test::make_grid(dx, dy, {0.4, 0.8, 0.6, 0.4});
            steady_controls(0.05);
            gravity_down();
            runctl.ITEMP = 1;
            runctl.ICONC = 1;
            test::fill(fields.T, 293.15);
            test::fill(c2eq.C2, 5e-3);
            const double m = 0.02;   // kg/s per supply cell
            for (int i = 3; i <= 4; ++i)
                for (int j = 2; j <= 3; ++j) {
                    const int p = idx(i, j, nz);
                    fields.SMASS[p] = m;
                    fields.SPT[p] = m;
                    fields.SCT[p] = m * 288.15;
                    fields.SPC[p] = m;
                    fields.SCC[p] = m * 1e-4;
                    c2eq.SPC2[p] = m;
                    c2eq.SCC2[p] = m * 5e-3;
                }
            for (int j = 2; j <= 3; ++j) {
                fields.SMASS[idx(1, j, 1)] = -m;
                fields.SMASS[idx(nx, j, 1)] = -m;
            }
            for (int i = 3; i <= 4; ++i)
                for (int j = 1; j <= ny; ++j) fields.SCT[idx(i, j, 1)] += 0.01;
        },
        400);
    ASSERT_EQ(griddim.NX, nx);
    ASSERT_EQ(griddim.NY, ny);
    ASSERT_EQ(griddim.NZ, nz);

    const double scale = largest_speed();
    ASSERT_GT(scale, 1e-3);
    double du = 0.0, dv = 0.0, dw = 0.0, dt = 0.0, dc = 0.0, dp = 0.0, pscale = 0.0, tspread = 0.0;
    for (int k = 1; k <= nz; ++k)
        for (int j = 1; j <= ny; ++j)
            for (int i = 1; i <= nx; ++i) {
                const int p = idx(i, j, k);
                for (const int q : {idx(nx + 1 - i, j, k), idx(i, ny + 1 - j, k)}) {
                    dt = std::max(dt, std::fabs(fields.T[p] - fields.T[q]));
                    dc = std::max(dc, std::fabs(fields.C[p] - fields.C[q]));
                    dp = std::max(dp, std::fabs(fields.P[p] - fields.P[q]));
                    dw = std::max(dw, std::fabs(fields.W[p] - fields.W[q]));
                }
                dv = std::max(dv, std::fabs(fields.V[p] - fields.V[idx(nx + 1 - i, j, k)]));
                if (j > 1) dv = std::max(dv, std::fabs(fields.V[p] + fields.V[idx(i, ny + 2 - j, k)]));
                du = std::max(du, std::fabs(fields.U[p] - fields.U[idx(i, ny + 1 - j, k)]));
                if (i > 1) du = std::max(du, std::fabs(fields.U[p] + fields.U[idx(nx + 2 - i, j, k)]));
                pscale = std::max(pscale, std::fabs(fields.P[p] - fields.P[idx(1, 1, 1)]));
                tspread = std::max(tspread, std::fabs(fields.T[p] - 288.15));
            }
    EXPECT_LT(du, 1e-9 * scale);
    EXPECT_LT(dv, 1e-9 * scale);
    EXPECT_LT(dw, 1e-9 * scale);
    EXPECT_LT(dt, 1e-9 * tspread);
    EXPECT_LT(dc, 1e-9 * 1e-4);
    EXPECT_LT(dp, 1e-9 * pscale);
}

// Two openings in series: a closed room whose only ways in and out are a
// pressure boundary on its west wall at 10 Pa and one on its east wall at
// 0 Pa, of the same flow coefficient, exponent and area. Air at the room's
// temperature flows through both. At convergence the mass entering through
// one equals the mass leaving through the other, and each is the power law
// of its opening at the pressure solved in its cell:
//   m = (AIRDEN/T)·C·A·|Pout − P|^n.
// The flow is small (C = 0.002), so the room's own pressure drop is a tiny
// part of the 10 Pa: both cells sit near the pressure at which the two laws
// give the same flow, 10 − P = P, that is P = 5 Pa, and m = ρ·C·A·√5.
TEST_P(SolveInvariants, TwoOpeningsInSeriesGiveThePowerLawFlow) {
    const double t = 293.15, coef = 0.002, e = 0.5;
    int nin = 0, nout = 0;
    run_case(
        [&] {
            test::make_grid({0.5, 0.5, 0.5, 0.5, 0.5}, {0.4, 0.4, 0.4}, {0.5, 0.5, 0.5});
            steady_controls(0.02);
            runctl.ITEMP = 0;
            runctl.ICONC = 0;
            test::fill(fields.T, t);
            nin = test::add_pb(1, 1, 2, 2, 2, 2, 1, coef, 10.0, e, t);
            nout = test::add_pb(5, 5, 2, 2, 2, 2, 2, coef, 0.0, e, t);
            test::pb_done();
        },
        300);

    const int pin = idx(1, 2, 2), pout = idx(5, 2, 2);
    const double rho = AIRDEN / t;
    const double area = fields.DY[2] * fields.DZ[2];
    const double law_in = rho * coef * area * std::pow(std::fabs(pbtable.PBP[nin] - fields.P[pin]), e);
    const double law_out = -rho * coef * area * std::pow(std::fabs(pbtable.PBP[nout] - fields.P[pout]), e);
    // The boundary flows as the solver holds them, evaluated at the solved
    // pressures of the last iteration.
    EXPECT_NEAR(fields.SMASS[pin], law_in, 1e-9 * law_in);
    EXPECT_NEAR(fields.SMASS[pout], law_out, 1e-9 * law_in);
    // In series: what enters leaves.
    EXPECT_NEAR(fields.SMASS[pin] + fields.SMASS[pout], 0.0, 1e-6 * law_in);
    EXPECT_NEAR(domsums.FLOWIN + domsums.FLOWOUT, 0.0, 1e-6 * law_in);
    // Near the middle pressure, and the hand-computed flow.
    EXPECT_NEAR(fields.P[pin], 5.0, 1e-3);
    EXPECT_NEAR(fields.P[pout], 5.0, 1e-3);
    EXPECT_NEAR(law_in, rho * coef * area * std::sqrt(5.0), 1e-4 * law_in);
}

// Supply and extract of the same mass flow m into a closed room, with a heat
// gain q and a contaminant gain g inside. In a steady state nothing builds up,
// so what the extract carries out is what the supply and the gains bring in:
//   m·T(extract) = m·Tsupply + q,   m·C(extract) = m·Csupply + g,
// that is T(extract) = 288.15 K + q/m = 298.15 K and C(extract) = g/m
// = 2e-4 kg/kg with the values here (heat as mass flow times temperature,
// with a specific heat of 1 kJ/(kg K), as the engine counts it). The
// end-of-run sums of all flows must balance the same way.
TEST_P(SolveInvariants, ExtractCarriesOutWhatSupplyAndGainsBringIn) {
    const double m = 0.05, tin = 288.15, q = 0.5, g = 1e-5;
    int pe = 0;
    run_case(
        [&] {
            test::make_grid({0.4, 0.6, 0.6, 0.6, 0.6, 0.4}, {0.5, 0.7, 0.7, 0.5}, {0.4, 0.6, 0.5});
            steady_controls(0.02);
            runctl.ITEMP = 1;
            runctl.ICONC = 1;
            test::fill(fields.T, 293.15);
            test::fill(c2eq.C2, 5e-3);
            const int ps = idx(1, 2, 3);
            pe = idx(6, 3, 1);
            fields.SMASS[ps] = m;
            fields.SPT[ps] = m;
            fields.SCT[ps] = m * tin;
            fields.SPC[ps] = m;
            fields.SCC[ps] = 0.0;
            c2eq.SPC2[ps] = m;
            c2eq.SCC2[ps] = m * 5e-3;
            fields.SMASS[pe] = -m;
            fields.SCT[idx(3, 2, 1)] += q;
            fields.SCC[idx(4, 3, 2)] += g;
        },
        1500);

    EXPECT_NEAR(fields.T[pe], tin + q / m, 1e-9);
    EXPECT_NEAR(fields.C[pe], g / m, 1e-9 * g / m);
    double massin, massout, heatin, heatout;
    ALLFLOWS(massin, massout, heatin, heatout);
    EXPECT_DOUBLE_EQ(massin, m);
    EXPECT_DOUBLE_EQ(massout, -m);
    EXPECT_DOUBLE_EQ(heatin, m * tin + q);
    EXPECT_NEAR(heatin + heatout, 0.0, 1e-9 * q);
}

}  // namespace
}  // namespace tarvex
