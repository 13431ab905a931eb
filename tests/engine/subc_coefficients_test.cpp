// Neighbour coefficients, effective viscosity and mass imbalance on a
// 3 x 3 x 3 grid of 1 m cells, against values worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "open_box_fixture.h"
#include "engine/engine.h"

namespace tarvex {
namespace {

using openbox::OpenBoxGrid;

int at(int i, int j, int k) { return ARIDX(i, j, k); }

void fill_face_densities(double den) {
    const int padded = (griddim.NX + 1) * (griddim.NY + 1) * (griddim.NZ + 1);
    for (int p = 1; p <= padded; ++p) fields.DENU[p] = fields.DENV[p] = fields.DENW[p] = den;
}

// The centre cell P = (2, 2, 2) of a 3 x 3 x 3 grid of 1 m cells (face areas
// 1 m2, centres 1 m apart), face densities 1.2 kg/m3. Its face flows
// F = 1.2 * velocity:
//   west  U(P) =  0.3  -> F =  0.36
//   east  U(E) =  0.5  -> F =  0.6
//   south V(P) =  0    -> F =  0
//   north V(N) = -0.25 -> F = -0.3
//   bottom W(P) = -0.4 -> F = -0.48
//   top   W(T) =  0    -> F =  0
// With an effective viscosity of 0.2 kg/(m s), D = 0.2 on every face and the
// Peclet numbers are 1.8 (west), 3 (east), 1.5 (north) and 2.4 (bottom):
//   AW = max(0.18, 0.2) + 0.18 = 0.38   (central)
//   AE = max(0.3, 0.2) - 0.3   = 0      (upwind, flow leaves to E)
//   AS = 0.2, AT = 0.2                  (diffusion only)
//   AN = max(0.15, 0.2) + 0.15 = 0.35   (central)
//   AB = max(0.24, 0.2) - 0.24 = 0      (upwind, flow leaves to B)
//   MIMB = 0.36 - 0.6 + 0 + 0.3 - 0.48 - 0 + SMASS(0.05) = -0.37
class SubcCentreCell : public ::testing::Test {
protected:
    void SetUp() override {
        grid_ = std::make_unique<OpenBoxGrid>(std::vector<double>{1, 1, 1}, std::vector<double>{1, 1, 1},
                                          std::vector<double>{1, 1, 1});
        fill_face_densities(1.2);
        fields.U[at(2, 2, 2)] = 0.3;
        fields.U[at(3, 2, 2)] = 0.5;
        fields.V[at(2, 3, 2)] = -0.25;
        fields.W[at(2, 2, 2)] = -0.4;
        fields.SMASS[at(2, 2, 2)] = 0.05;
        runctl.DENS = 1.4;
        runctl.VISC = 0.025;
        runctl.RM0 = 0.0;
    }
    void expect_centre_coefficients() {
        const int p = at(2, 2, 2);
        EXPECT_NEAR(coefs.AW[p], 0.38, 1e-15);
        EXPECT_EQ(coefs.AE[p], 0.0);
        EXPECT_NEAR(coefs.AS[p], 0.2, 1e-15);
        EXPECT_NEAR(coefs.AN[p], 0.35, 1e-15);
        EXPECT_EQ(coefs.AB[p], 0.0);
        EXPECT_NEAR(coefs.AT[p], 0.2, 1e-15);
        EXPECT_NEAR(fields.MIMB[p], -0.37, 1e-15);
        EXPECT_NEAR(resid.RESM[p], 0.37, 1e-15);
    }
    std::unique_ptr<OpenBoxGrid> grid_;
};

TEST_F(SubcCentreCell, ConstantViscosity) {
    runctl.ITURB = 1;
    runctl.VISEFF = 0.2;
    // Model 1 never reads the mixing lengths.
    for (int p = 1; p <= 64; ++p) mixlen.XLMIX[p] = std::numeric_limits<double>::quiet_NaN();
    SUBC();
    expect_centre_coefficients();
    // Its neighbours across the same faces, from their side: the west
    // neighbour's east face (Pe 1.8) and the east neighbour's west face (Pe 3).
    EXPECT_NEAR(coefs.AE[at(1, 2, 2)], 0.02, 1e-15);   // max(0.18, 0.2) - 0.18
    EXPECT_NEAR(coefs.AW[at(3, 2, 2)], 0.6, 1e-15);    // max(0.3, 0.2) + 0.3: upwind
    EXPECT_NEAR(coefs.AS[at(2, 3, 2)], 0.05, 1e-15);   // max(0.15, 0.2) - 0.15
    EXPECT_NEAR(coefs.AT[at(2, 2, 1)], 0.48, 1e-15);   // max(0.24, 0.2) + 0.24: upwind
    // Domain walls have no coefficient.
    EXPECT_EQ(coefs.AW[at(1, 2, 2)], 0.0);
    EXPECT_EQ(coefs.AE[at(3, 2, 2)], 0.0);
    EXPECT_EQ(coefs.AB[at(2, 2, 1)], 0.0);
    EXPECT_EQ(coefs.AT[at(2, 2, 3)], 0.0);
    for (int p = 1; p <= 64; ++p) ASSERT_FALSE(std::isnan(coefs.AN[p]));
}

TEST_F(SubcCentreCell, MixingLengthTimesSpeed) {
    runctl.ITURB = 2;
    runctl.VISEFF = 0.7;
    // 0.7 * 0.5 m * |(0.3, 0, -0.4)| + 0.025 = 0.175 + 0.025 = 0.2
    for (int p = 1; p <= 64; ++p) mixlen.XLMIX[p] = 0.5;
    SUBC();
    expect_centre_coefficients();
    // A cell whose three own faces are still: VISP is the fluid viscosity,
    // and with no flow its coefficient is the conductance.
    EXPECT_NEAR(coefs.AE[at(1, 1, 1)], 0.025, 1e-17);
    EXPECT_NEAR(coefs.AN[at(1, 1, 1)], 0.025, 1e-17);
}

TEST_F(SubcCentreCell, VelocityGradients) {
    runctl.ITURB = 3;
    runctl.VISEFF = 99.0;   // not used by model 3
    for (int p = 1; p <= 64; ++p) mixlen.XLMIX[p] = 0.5;
    // Neighbouring face velocities that shape P's gradients (none of them is
    // on a face of P):
    //   GRX from V, W along x: |W(P) - W(1,2,2)| = |-0.4 - 0.6| = 1.0 (forward 0.4)
    //   GRY from U, W along y: |W(P) - 0| = 0.4 (U gives 0.3)
    //   GRZ from U, V along z: |U(P) - U(2,2,1)| = |0.3 + 0.4| = 0.7 (forward 0)
    fields.W[at(1, 2, 2)] = 0.6;
    fields.U[at(2, 2, 3)] = 0.3;
    fields.U[at(2, 2, 1)] = -0.4;
    // VISP = 1.4 * 0.5^2 * ((1.0 + 0.4 + 0.7) / 3) / 1.4 + 0.025 = 0.2
    SUBC();
    expect_centre_coefficients();
}

TEST(SubcGradients, WallCellsSeeTheWall) {
    // Uniform U = 1 on every inner x face, parallel to the south and north
    // walls: a wall cell's gradient across y is 1 over its half width 0.5 m,
    // at the first row (backward estimate) and at the last (forward).
    OpenBoxGrid g({1, 1, 1}, {1, 1, 1}, {1, 1, 1});
    fill_face_densities(1.0);
    for (int k = 1; k <= 3; ++k)
        for (int j = 1; j <= 3; ++j)
            for (int i = 2; i <= 3; ++i) fields.U[at(i, j, k)] = 1.0;
    // Beyond the walls there is no velocity, whatever the padding holds.
    for (int k = 1; k <= 3; ++k)
        for (int i = 1; i <= 3; ++i) fields.U[at(i, 4, k)] = 5.0;
    for (int p = 1; p <= 64; ++p) mixlen.XLMIX[p] = 0.5;
    runctl.ITURB = 3;
    runctl.DENS = 1.4;
    runctl.VISC = 0.025;
    SUBC();
    // VISP = 1.4 * 0.25 * (2 / 3) / 1.4 + 0.025; the face to the middle row
    // carries no flow, so its coefficient is VISP * 1 m2 / 1 m.
    const double visp = 0.25 * 2.0 / 3.0 + 0.025;
    EXPECT_NEAR(coefs.AN[at(2, 1, 2)], visp, 1e-15);
    EXPECT_NEAR(coefs.AS[at(2, 3, 2)], visp, 1e-15);
    // The middle row has no gradient across y or z: VISP = VISC.
    EXPECT_NEAR(coefs.AN[at(2, 2, 2)], 0.025, 1e-15);
}

TEST(SubcFaces, ClosedFacesBlockedCellsAndTheImbalanceSum) {
    OpenBoxGrid g({1, 1, 1}, {1, 1, 1}, {1, 1, 1});
    fill_face_densities(1.0);
    runctl.ITURB = 1;
    runctl.VISEFF = 0.1;
    // A closed inner face with a velocity left on it: no flow, no coefficient.
    fields.CPRU[at(2, 1, 1)] = 0.0;
    fields.U[at(2, 1, 1)] = 5.0;
    // A blocked cell keeps what it held.
    g.block(3, 3, 3);
    g.finish();
    // Velocities and areas on the domain walls and the far faces are never
    // used.
    fields.U[at(1, 2, 2)] = 3.0;
    fields.AREAU[at(1, 2, 2)] = 1.0;
    fields.U[at(4, 2, 2)] = 7.0;
    fields.AREAU[at(4, 2, 2)] = 1.0;
    fields.W[at(2, 2, 4)] = -2.0;
    fields.AREAW[at(2, 2, 4)] = 1.0;
    const int b = at(3, 3, 3);
    coefs.AN[b] = coefs.AS[b] = coefs.AE[b] = coefs.AW[b] = coefs.AT[b] = coefs.AB[b] = 42.0;
    fields.MIMB[b] = 42.0;
    resid.RESM[b] = 42.0;
    fields.SMASS[b] = 1.0;
    // Some mass sources and flows for the imbalance sum.
    fields.SMASS[at(1, 1, 1)] = 0.25;
    fields.SMASS[at(2, 2, 2)] = -0.5;
    fields.V[at(2, 2, 2)] = 0.125;   // between (2,1,2) and (2,2,2), area 1, density 1
    runctl.RM0 = 1.0;                // SUBC adds to the sum it is given
    SUBC();

    EXPECT_EQ(coefs.AE[at(1, 1, 1)], 0.0);
    EXPECT_EQ(coefs.AW[at(2, 1, 1)], 0.0);
    EXPECT_NEAR(fields.MIMB[at(1, 1, 1)], 0.25, 1e-15);
    EXPECT_NEAR(fields.MIMB[at(2, 2, 2)], 0.125 - 0.5, 1e-15);
    EXPECT_NEAR(fields.MIMB[at(2, 1, 2)], -0.125, 1e-15);
    EXPECT_EQ(coefs.AW[at(1, 2, 2)], 0.0);
    EXPECT_EQ(fields.MIMB[at(1, 2, 2)], 0.0);
    EXPECT_EQ(coefs.AE[at(3, 2, 2)], 0.0);
    EXPECT_EQ(coefs.AT[at(2, 2, 3)], 0.0);
    EXPECT_EQ(fields.MIMB[at(3, 2, 2)], 0.0);
    // Faces towards the blocked cell are closed.
    EXPECT_EQ(coefs.AT[at(3, 3, 2)], 0.0);
    EXPECT_EQ(coefs.AE[at(2, 3, 3)], 0.0);
    for (double* a : {coefs.AN, coefs.AS, coefs.AE, coefs.AW, coefs.AT, coefs.AB, fields.MIMB, resid.RESM})
        EXPECT_EQ(a[b], 42.0);
    // The sum grows by |MIMB| of the open cells only: 0.25 + 0.375 + 0.125.
    EXPECT_NEAR(runctl.RM0, 1.0 + 0.75, 1e-15);
    // With no flow every open inner face has the conductance 0.1.
    EXPECT_NEAR(coefs.AN[at(1, 1, 1)], 0.1, 1e-16);
}

TEST(SubcFaces, OneCellWideDirection) {
    // NX = 1: no east or west coefficients and no x flow in the imbalance,
    // even with velocities and areas on both x faces.
    OpenBoxGrid g({2.0}, {1, 1, 1}, {1, 1, 1});
    fill_face_densities(1.0);
    runctl.ITURB = 1;
    runctl.VISEFF = 0.1;
    for (int k = 1; k <= 3; ++k)
        for (int j = 1; j <= 3; ++j)
            for (int i = 1; i <= 2; ++i) {
                fields.U[at(i, j, k)] = 1.0;
                fields.AREAU[at(i, j, k)] = 1.0;
            }
    fields.W[at(1, 2, 3)] = 0.5;   // leaves (1,2,2) through its top face: area 2
    SUBC();
    for (int k = 1; k <= 3; ++k)
        for (int j = 1; j <= 3; ++j) {
            EXPECT_EQ(coefs.AE[at(1, j, k)], 0.0);
            EXPECT_EQ(coefs.AW[at(1, j, k)], 0.0);
        }
    EXPECT_NEAR(fields.MIMB[at(1, 2, 2)], -1.0, 1e-15);
    EXPECT_NEAR(fields.MIMB[at(1, 2, 3)], 1.0, 1e-15);
    EXPECT_EQ(fields.MIMB[at(1, 1, 1)], 0.0);
    // Conductance with a 2 m2 face 1 m apart: 0.2; the top face of (1,2,2)
    // has F = 1, above 2D, so it is upwind: 0 towards the top cell.
    EXPECT_NEAR(coefs.AN[at(1, 1, 1)], 0.2, 1e-15);
    EXPECT_EQ(coefs.AT[at(1, 2, 2)], 0.0);
    EXPECT_NEAR(coefs.AB[at(1, 2, 3)], 1.0, 1e-15);
}

}  // namespace
}  // namespace tarvex
