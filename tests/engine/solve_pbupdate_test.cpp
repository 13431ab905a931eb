// When the outer iteration refreshes the pressure-boundary flows: at its start
// and after the velocity-pressure cycles that end at sweeps 2, 52, 102 ...

#include <gtest/gtest.h>

#include <cmath>

#include "engine/engine.h"
#include "solve_fixture.h"
#include "tests/engine/run_setup.h"

namespace tarvex {
namespace {

// A duct of 20 x 4 x 4 cells of 0.5 m: a fixed inflow at its west end and an
// opening to the outside at its east end, from fields at rest. The pressure
// field is still moving after a hundred sweeps, so every refresh of the
// boundary flow gives a new value.
constexpr int NX = 20;

void prepare_duct(int npass) {
    test::make_uniform_grid(NX, 4, 4, 0.5);
    test::fill(fields.T, 293.15);
    for (int k = 2; k <= 3; ++k)
        for (int j = 2; j <= 3; ++j) {
            const int p = ARIDX(1, j, k);
            fields.SMASS[p] = 0.05;
            fields.SPU[p] = 0.05;
            fields.SCU[p] = 0.05 * 1.0;
        }
    test::add_pb(NX, NX, 1, 4, 1, 4, 2, 0.6, 0.0, 0.5);
    test::pb_done();
    fields.SMASS[ARIDX(NX, 2, 2)] = 7.0;   // stale: the start of the iteration replaces it
    test::set_steady_controls({.viseff = 500.0 * 1.8e-5, .npass = npass, .rlx_flow = 0.5, .rlxadj = 0.01});
    runctl.ITEMP = 0;
    runctl.ICONC = 0;
    runctl.ITER = 1;
}

// The boundary flow of one outlet cell after one outer iteration.
double outlet_flow_after(int npass) {
    prepare_duct(npass);
    int iusr3 = 0, iconv = 0;
    SOLVE(iusr3, iconv);
    return fields.SMASS[ARIDX(NX, 2, 2)];
}

TEST(SolvePressureBoundaries, FlowsRefreshedAtSweeps2And52And102) {
    const double at2 = outlet_flow_after(2);
    EXPECT_EQ(outlet_flow_after(50), at2) << "no refresh between sweeps 2 and 50";
    const double at52 = outlet_flow_after(52);
    EXPECT_NE(at52, at2);
    EXPECT_EQ(outlet_flow_after(51), at52);
    EXPECT_EQ(outlet_flow_after(100), at52) << "no refresh between sweeps 52 and 100";
    const double at102 = outlet_flow_after(101);
    EXPECT_NE(at102, at52);
    EXPECT_EQ(outlet_flow_after(102), at102);
    EXPECT_LT(at2, 0.0);   // air leaves through the opening
}

TEST(SolvePressureBoundaries, IterationStartsWithFreshFlows) {
    // The mass imbalance of the set-up sees the flows of the current pressure
    // field (here 0 at rest), not the stale 7 kg/s.
    prepare_duct(2);
    int iusr3 = 0, iconv = 0;
    SOLVE(iusr3, iconv);
    EXPECT_LT(runctl.RM0, 1.0);
    EXPECT_NEAR(runctl.RM0, 4 * 0.05, 1e-12);
}

}  // namespace
}  // namespace tarvex
