// Momentum equations: set-up of one node by hand, the sweep, the three
// components against each other on a rotated problem, buoyancy, the residual
// array and the pressure-boundary jets.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "engine/engine.h"
#include "solve_fixture.h"

namespace tarvex {
namespace {

using test::add_pb;
using test::make_grid;
using test::make_uniform_grid;

// 3 x 3 x 3 cells, DY(2) = 0.5 and DZ(2) = 2, every cell coefficient
// AN 4, AS 3, AE 2, AW 1, AT 6, AB 5.
void prepare_u_node() {
    make_grid({1.0, 1.0, 1.0}, {1.0, 0.5, 1.0}, {1.0, 2.0, 1.0});
    test::fill(coefs.AN, 4.0);
    test::fill(coefs.AS, 3.0);
    test::fill(coefs.AE, 2.0);
    test::fill(coefs.AW, 1.0);
    test::fill(coefs.AT, 6.0);
    test::fill(coefs.AB, 5.0);
    const int l = ARIDX(1, 2, 2), p = ARIDX(2, 2, 2);
    fields.SCU[l] = 2.0;
    fields.SCU[p] = 4.0;
    fields.SPU[l] = 1.0;
    fields.MIMB[l] = -1.0;
    fields.MIMB[p] = -3.0;
    fields.U[p] = 1.0;
    fields.U[ARIDX(3, 2, 2)] = 2.0;    // east
    fields.U[ARIDX(1, 2, 2)] = 9.0;    // west of the first node: no neighbour node
    fields.U[ARIDX(2, 1, 2)] = 0.5;    // south
    fields.U[ARIDX(2, 3, 2)] = 1.5;    // north
    fields.U[ARIDX(2, 2, 1)] = 0.25;   // bottom
    fields.U[ARIDX(2, 2, 3)] = 0.75;   // top
    fields.P[l] = 10.0;
    fields.P[p] = 4.0;
}

TEST(MomentumSetup, UNodeByHand) {
    prepare_u_node();
    const int p = ARIDX(2, 2, 2);
    // aW = 0 at i = 2; AP = 4 + 3 + 2 + 0 + 6 + 5 + SP, SP = 0.5 + CP 2 = 2.5.
    // SU = 3 + 2·1 = 5. NB = 3·0.5 + 4·1.5 + 2·2 + 6·0.75 + 5·0.25 = 17.25.
    // F = (10 - 4)·0.5·2 = 6. r = 17.25 + 6 + 5 - 22.5 = 5.75.
    runctl.ITRANS = 0;
    runctl.RLXU = 0.5;
    SUBU();
    EXPECT_EQ(coefs.APU[p], 45.0);
    EXPECT_EQ(fields.SUU[p], 5.0 + 0.5 * 45.0 * 1.0);
    EXPECT_EQ(resid.RESUVW[p], 5.75);

    // Time-step mode: TT = 0.5·(1 + 1)·DENU/DT joins SP, TT·U joins SU; no
    // relaxation.
    runctl.ITRANS = 1;
    runctl.DT = 0.5;
    fields.DENU[p] = 1.2;
    SUBU();
    const double tt = 0.5 * 2.0 * 1.2 / 0.5;
    EXPECT_DOUBLE_EQ(coefs.APU[p], 22.5 + tt);
    EXPECT_DOUBLE_EQ(fields.SUU[p], 5.0 + tt);
}

TEST(MomentumSetup, ClosedFaceIsNeverSetUpNorMoved) {
    prepare_u_node();
    const int p = ARIDX(2, 2, 2);
    fields.CPRU[p] = 0.0;
    test::update_geometry();
    runctl.RLXU = 1.0;
    SUBU();
    EXPECT_EQ(coefs.APU[p], 0.0);
    EXPECT_EQ(resid.RESUVW[p], 0.0);
    CALCU(1);
    EXPECT_EQ(fields.U[p], 1.0);
    // Its neighbour to the east loses the west coefficient: with the face
    // open, aW is the mean 1; closed, 0.
    const int e = ARIDX(3, 2, 2);
    const double closed = coefs.APU[e];
    fields.CPRU[p] = 1.0;
    test::update_geometry();
    SUBU();
    EXPECT_EQ(coefs.APU[e], closed + 1.0);
}

TEST(MomentumSweep, NumeratorStoredAndVelocityUpdated) {
    prepare_u_node();
    const int p = ARIDX(2, 2, 2);
    coefs.APU[p] = 20.0;
    fields.SUU[p] = 3.0;
    CALCU(1);
    // The node's neighbours have APU = 0 and keep their velocities; the node
    // sees them as they are: HU = 3 + 17.25, U = (20.25 + 6)/20.
    EXPECT_EQ(coefs.HU[p], 20.25);
    EXPECT_EQ(fields.U[p], 26.25 / 20.0);
    EXPECT_EQ(domsums.SDU, std::fabs(26.25 / 20.0 - 1.0));
    EXPECT_EQ(domsums.XDU, domsums.SDU);
    // A visited node with APU = 0 still gets its numerator.
    const int e = ARIDX(3, 2, 2);
    EXPECT_EQ(fields.U[e], 2.0);
    EXPECT_NE(coefs.HU[e], 0.0);

    // UMOM sums every set-up node with the stored coefficients.
    runctl.RU = 0.0;
    UMOM();
    EXPECT_GT(runctl.RU, 0.0);   // the other nodes do not satisfy their equations
}

TEST(MomentumSweep, BlockedCellIsNotVisited) {
    prepare_u_node();
    const int p = ARIDX(2, 2, 2);
    coefs.APU[p] = 20.0;
    fields.SUU[p] = 3.0;
    fields.CPR[p] = 1e-21;   // the face stays open; the cell counts as closed
    coefs.HU[p] = -7.0;
    CALCU(2);
    EXPECT_EQ(coefs.HU[p], -7.0);
    EXPECT_EQ(fields.U[p], 1.0);
}

TEST(MomentumSetup, BuoyancyUsesVolumeWeightedFaceTemperatureAndRegionOfHighCell) {
    make_uniform_grid(2, 1, 1);
    const int l = ARIDX(1, 1, 1), p = ARIDX(2, 1, 1);
    coefs.VOL[l] = 1.0;
    coefs.VOL[p] = 3.0;
    fields.T[l] = 300.0;
    fields.T[p] = 400.0;   // face temperature (1200 + 300)/4 = 375
    regions.IREG[l] = 1;
    regions.IREG[p] = 2;
    regions.RTREF[1] = 1.0 / 500.0;
    regions.RTREF[2] = 1.0 / 250.0;
    runctl.BUOYX = 1.0;
    runctl.RLXU = 1.0;
    runctl.ITEMP = 1;
    SUBU();
    EXPECT_DOUBLE_EQ(fields.SUU[p], 1.0 * 0.5 * 4.0 * (1.0 / 375.0 - 1.0 / 250.0));
    EXPECT_DOUBLE_EQ(runctl.RU0, std::fabs(fields.SUU[p]));

    // Any ITEMP other than 0 switches it on; 0 switches it off, and so does a
    // zero factor.
    runctl.ITEMP = 2;
    SUBU();
    EXPECT_NE(fields.SUU[p], 0.0);
    runctl.ITEMP = 0;
    SUBU();
    EXPECT_EQ(fields.SUU[p], 0.0);
}

// ---- the three components on one problem, rotated --------------------------

// Deterministic values in [lo, hi).
struct Lcg {
    uint64_t s;
    double next(double lo, double hi) {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return lo + (hi - lo) * static_cast<double>(s >> 11) / 9007199254740992.0;
    }
};

// Per-cell values of a problem in the axes of one component ("along" is the
// component's own direction, "a" and "b" the two across it).
struct Problem {
    static constexpr int N0 = 4, N1 = 3, N2 = 3;   // cells along, across a, across b
    double w0[N0], w1[N1], w2[N2];
    // Indexed [c0][c1][c2].
    double hi0[N0][N1][N2], lo0[N0][N1][N2];   // coefficients towards +along / -along
    double hi1[N0][N1][N2], lo1[N0][N1][N2];
    double hi2[N0][N1][N2], lo2[N0][N1][N2];
    double sc[N0][N1][N2], sp[N0][N1][N2], mimb[N0][N1][N2], vel[N0][N1][N2], p[N0][N1][N2];
    double t[N0][N1][N2];
    double cpr_face[N0][N1][N2];
};

Problem make_problem() {
    Problem pr{};
    Lcg r{12345};
    for (double& w : pr.w0) w = r.next(0.5, 1.5);
    for (double& w : pr.w1) w = r.next(0.5, 1.5);
    for (double& w : pr.w2) w = r.next(0.5, 1.5);
    for (int a = 0; a < Problem::N0; ++a)
        for (int b = 0; b < Problem::N1; ++b)
            for (int c = 0; c < Problem::N2; ++c) {
                pr.hi0[a][b][c] = r.next(0.1, 2.0);
                pr.lo0[a][b][c] = r.next(0.1, 2.0);
                pr.hi1[a][b][c] = r.next(0.1, 2.0);
                pr.lo1[a][b][c] = r.next(0.1, 2.0);
                pr.hi2[a][b][c] = r.next(0.1, 2.0);
                pr.lo2[a][b][c] = r.next(0.1, 2.0);
                pr.sc[a][b][c] = r.next(-1.0, 1.0);
                pr.sp[a][b][c] = r.next(0.0, 0.5);
                pr.mimb[a][b][c] = r.next(-1.0, 1.0);
                pr.vel[a][b][c] = r.next(-1.0, 1.0);
                pr.p[a][b][c] = r.next(-5.0, 5.0);
                pr.t[a][b][c] = r.next(280.0, 320.0);
                pr.cpr_face[a][b][c] = 1.0;
            }
    // One closed inner face to exercise the zeroed coefficients.
    pr.cpr_face[2][1][1] = 0.0;
    return pr;
}

// Loads the problem for the component along axis (0 x, 1 y, 2 z): "along" is
// that axis, "across a" and "across b" the next two in the cycle x, y, z.
void load_problem(const Problem& pr, int axis) {
    const int dims[3] = {Problem::N0, Problem::N1, Problem::N2};
    const double* ws[3] = {pr.w0, pr.w1, pr.w2};
    // Grid axis g holds problem axis (g - axis) mod 3.
    std::vector<double> w[3];
    for (int g = 0; g < 3; ++g) {
        const int q = (g - axis + 3) % 3;
        w[g].assign(ws[q], ws[q] + dims[q]);
    }
    make_grid(w[0], w[1], w[2]);
    double* hi[3] = {coefs.AE, coefs.AN, coefs.AT};
    double* lo[3] = {coefs.AW, coefs.AS, coefs.AB};
    double* vel[3] = {fields.U, fields.V, fields.W};
    double* sc[3] = {fields.SCU, fields.SCV, fields.SCW};
    double* sp[3] = {fields.SPU, fields.SPV, fields.SPW};
    double* cprf[3] = {fields.CPRU, fields.CPRV, fields.CPRW};
    for (int a = 0; a < Problem::N0; ++a)
        for (int b = 0; b < Problem::N1; ++b)
            for (int c = 0; c < Problem::N2; ++c) {
                int g[3];
                g[axis] = a;
                g[(axis + 1) % 3] = b;
                g[(axis + 2) % 3] = c;
                const int idx = ARIDX(g[0] + 1, g[1] + 1, g[2] + 1);
                const double his[3] = {pr.hi0[a][b][c], pr.hi1[a][b][c], pr.hi2[a][b][c]};
                const double los[3] = {pr.lo0[a][b][c], pr.lo1[a][b][c], pr.lo2[a][b][c]};
                for (int q = 0; q < 3; ++q) {
                    hi[(axis + q) % 3][idx] = his[q];
                    lo[(axis + q) % 3][idx] = los[q];
                }
                vel[axis][idx] = pr.vel[a][b][c];
                sc[axis][idx] = pr.sc[a][b][c];
                sp[axis][idx] = pr.sp[a][b][c];
                fields.MIMB[idx] = pr.mimb[a][b][c];
                fields.P[idx] = pr.p[a][b][c];
                fields.T[idx] = pr.t[a][b][c];
                if (a > 0) cprf[axis][idx] = pr.cpr_face[a][b][c];
            }
    test::update_geometry();
    runctl.BUOYX = runctl.BUOYY = runctl.BUOYZ = 0.0;
    if (axis == 0) runctl.BUOYX = 3.0;
    if (axis == 1) runctl.BUOYY = 3.0;
    if (axis == 2) runctl.BUOYZ = 3.0;
    regions.RTREF[1] = 1.0 / 300.0;
    runctl.ITEMP = 1;
    runctl.RLXU = runctl.RLXV = runctl.RLXW = 0.7;
    runctl.RU0 = runctl.RV0 = runctl.RW0 = 0.0;
}

struct Result {
    double ap[Problem::N0][Problem::N1][Problem::N2];
    double su[Problem::N0][Problem::N1][Problem::N2];
    double h[Problem::N0][Problem::N1][Problem::N2];
    double vel[Problem::N0][Problem::N1][Problem::N2];
    double r0, r, sdu;
};

Result run_component(int axis) {
    const Problem pr = make_problem();
    load_problem(pr, axis);
    void (*setup[3])() = {SUBU, SUBV, SUBW};
    void (*sweep[3])(int) = {CALCU, CALCV, CALCW};
    void (*res[3])() = {UMOM, VMOM, WMOM};
    double* r0[3] = {&runctl.RU0, &runctl.RV0, &runctl.RW0};
    double* r[3] = {&runctl.RU, &runctl.RV, &runctl.RW};
    double* ap[3] = {coefs.APU, coefs.APV, coefs.APW};
    double* su[3] = {fields.SUU, fields.SUV, fields.SUW};
    double* h[3] = {coefs.HU, coefs.HV, coefs.HW};
    double* vel[3] = {fields.U, fields.V, fields.W};
    auto node = [axis](int a, int b, int c) {
        int g[3];
        g[axis] = a;
        g[(axis + 1) % 3] = b;
        g[(axis + 2) % 3] = c;
        return ARIDX(g[0] + 1, g[1] + 1, g[2] + 1);
    };
    Result out{};
    setup[axis]();
    // The visiting order of a sweep differs between the rotated problems. To
    // make the sweeps comparable only the nodes of one parity move: each then
    // sees only neighbours that keep their values.
    for (int a = 0; a < Problem::N0; ++a)
        for (int b = 0; b < Problem::N1; ++b)
            for (int c = 0; c < Problem::N2; ++c) {
                out.ap[a][b][c] = ap[axis][node(a, b, c)];
                out.su[a][b][c] = su[axis][node(a, b, c)];
                if ((a + b + c) % 2 == 1) ap[axis][node(a, b, c)] = 0.0;
            }
    sweep[axis](1);
    sweep[axis](2);
    *r[axis] = 0.0;
    res[axis]();
    for (int a = 0; a < Problem::N0; ++a)
        for (int b = 0; b < Problem::N1; ++b)
            for (int c = 0; c < Problem::N2; ++c) {
                const bool moves = (a + b + c) % 2 == 0;
                out.h[a][b][c] = moves ? h[axis][node(a, b, c)] : 0.0;
                out.vel[a][b][c] = vel[axis][node(a, b, c)];
            }
    out.r0 = *r0[axis];
    out.r = *r[axis];
    out.sdu = domsums.SDU;
    return out;
}

TEST(MomentumComponents, VAndWSolveTheRotatedUProblem) {
    // The same problem posed along x, y and z must give the same nodes; only
    // the order of the neighbour terms differs, so values agree to rounding.
    const Result u = run_component(0);
    for (int axis : {1, 2}) {
        domsums.SDU = 0.0;
        const Result v = run_component(axis);
        for (int a = 0; a < Problem::N0; ++a)
            for (int b = 0; b < Problem::N1; ++b)
                for (int c = 0; c < Problem::N2; ++c) {
                    SCOPED_TRACE(testing::Message() << "axis " << axis << " node " << a << b << c);
                    EXPECT_NEAR(v.ap[a][b][c], u.ap[a][b][c], 1e-12);
                    EXPECT_NEAR(v.su[a][b][c], u.su[a][b][c], 1e-12);
                    EXPECT_NEAR(v.h[a][b][c], u.h[a][b][c], 1e-12);
                    EXPECT_NEAR(v.vel[a][b][c], u.vel[a][b][c], 1e-12);
                }
        EXPECT_NEAR(v.r0, u.r0, 1e-11);
        EXPECT_NEAR(v.r, u.r, 1e-11);
        EXPECT_NEAR(v.sdu, u.sdu, 1e-11);
    }
    // The first layer of nodes (the west wall faces) is never set up.
    EXPECT_EQ(u.ap[0][1][1], 0.0);
    EXPECT_NE(u.ap[1][1][1], 0.0);
    EXPECT_EQ(u.ap[2][1][1], 0.0);   // the closed face
    EXPECT_GT(u.r0, 0.0);
}

TEST(MomentumSetup, ResidualArrayKeepsLargestOfVAndWWhereNoUNode) {
    // Cell (1,2,2) has no U node: its residual is the larger of its V and W
    // residuals and stays until a larger one comes.
    make_uniform_grid(3, 3, 3);
    const int p = ARIDX(1, 2, 2);
    runctl.RLXV = runctl.RLXW = 1.0;
    fields.SCV[p] = 2.0;   // V residual at (1,2,2): 0.5·(0 + 2) = 1, W sees 0
    SUBV();
    SUBW();
    EXPECT_EQ(resid.RESUVW[p], 1.0);
    fields.SCV[p] = 0.0;
    fields.SCW[p] = 6.0;   // W residual 3, V residual 0
    SUBV();
    SUBW();
    EXPECT_EQ(resid.RESUVW[p], 3.0);
    fields.SCW[p] = 0.0;
    SUBV();
    SUBW();
    EXPECT_EQ(resid.RESUVW[p], 3.0);
    // A U node's residual is overwritten by each U set-up.
    const int q = ARIDX(2, 2, 2);
    resid.RESUVW[q] = 99.0;
    SUBU();
    EXPECT_EQ(resid.RESUVW[q], 0.0);
}

// ---- pressure-boundary jets --------------------------------------------------

// 3 x 3 x 3 cells of 1 m, DEN 1.2, P 0; a boundary of coefficient 0.5,
// exponent 0.5 and pressure 4 Pa gives m = 1.2·0.5·1·2 = 1.2 kg/s through a
// face of 1 m2 and a velocity of 1 m/s.
void prepare_jets() {
    make_uniform_grid(3, 3, 3);
    test::fill(fields.DEN, 1.2);
}

TEST(MomentumJets, OneSideInXFaceBoxGivesHalfSourceAndCoefficient) {
    prepare_jets();
    add_pb(2, 2, 2, 2, 2, 2, 1, 0.5, 4.0, 0.5);
    test::pb_done();
    double su = 0.0, sp = 0.0;
    PBCU(2, 2, 2, su, sp);   // side 2 (cell (2,2,2)) in the box, side 1 not
    EXPECT_DOUBLE_EQ(su, 0.5 * 1.2 * 1.0);
    EXPECT_DOUBLE_EQ(sp, 0.5 * 1.2);
    // Face 2: the entering air moves towards -x.
    pbtable.PBFACE[1] = 2;
    PBCU(2, 2, 2, su, sp);
    EXPECT_DOUBLE_EQ(su, -0.5 * 1.2);
    EXPECT_DOUBLE_EQ(sp, 0.5 * 1.2);
    // The same cell is side 1 of the node east of it.
    PBCU(3, 2, 2, su, sp);
    EXPECT_DOUBLE_EQ(su, -0.5 * 1.2);
}

TEST(MomentumJets, CrossFaceBoxOverBothCellsGivesMeanCoefficientNoSource) {
    prepare_jets();
    fields.P[ARIDX(1, 2, 2)] = 3.0;   // dp 1: m = 1.2·0.5·1·1 = 0.6
    add_pb(1, 2, 2, 2, 2, 2, 3, 0.5, 4.0, 0.5);
    test::pb_done();
    double su = 0.0, sp = 0.0;
    PBCU(2, 2, 2, su, sp);
    EXPECT_EQ(su, 0.0);
    EXPECT_DOUBLE_EQ(sp, 0.5 * (0.6 + 1.2));
    // The jet area is the U face's, DY·DZ, whatever the boundary's face.
    make_grid({1.0, 1.0, 1.0}, {1.0, 2.0, 1.0}, {1.0, 1.0, 1.0});
    test::fill(fields.DEN, 1.2);
    fields.P[ARIDX(1, 2, 2)] = 3.0;
    add_pb(1, 2, 2, 2, 2, 2, 3, 0.5, 4.0, 0.5);
    test::pb_done();
    PBCU(2, 2, 2, su, sp);
    EXPECT_DOUBLE_EQ(sp, 0.5 * (2.0 * 0.6 + 2.0 * 1.2));
}

TEST(MomentumJets, LaterInflowingBoxWinsOutflowAndClosedCellsChangeNothing) {
    prepare_jets();
    add_pb(2, 2, 2, 2, 2, 2, 1, 0.5, 4.0, 0.5);    // m = 1.2, x face
    add_pb(2, 2, 2, 2, 2, 2, 3, 0.25, 4.0, 0.5);   // m = 0.6, y face: takes the coefficient
    add_pb(2, 2, 2, 2, 2, 2, 1, 0.5, -4.0, 0.5);   // outflow: changes nothing
    test::pb_done();
    double su = 0.0, sp = 0.0;
    PBCU(2, 2, 2, su, sp);
    EXPECT_DOUBLE_EQ(sp, 0.5 * 0.6);
    EXPECT_DOUBLE_EQ(su, 0.5 * 1.2);   // the source stays with the last x-face inflow

    // A closed cell does not take part; an open fraction of exactly 1e-20 does.
    fields.CPR[ARIDX(2, 2, 2)] = 0.99e-20;
    PBCU(2, 2, 2, su, sp);
    EXPECT_EQ(su, 0.0);
    EXPECT_EQ(sp, 0.0);
    fields.CPR[ARIDX(2, 2, 2)] = 1e-20;
    PBCU(2, 2, 2, su, sp);
    EXPECT_DOUBLE_EQ(sp, 0.5 * 0.6);

    // No boundaries switched on: the caller's values stay.
    pbtable.PBON = 0;
    su = 7.0;
    sp = 8.0;
    PBCU(2, 2, 2, su, sp);
    EXPECT_EQ(su, 7.0);
    EXPECT_EQ(sp, 8.0);
}

TEST(MomentumJets, VAndWUseTheirOwnFacesAndSides) {
    prepare_jets();
    add_pb(2, 2, 2, 2, 2, 2, 4, 0.5, 4.0, 0.5);   // +y face
    add_pb(2, 2, 2, 2, 2, 2, 5, 0.5, 4.0, 0.5);   // -z face, later: wins the coefficient
    test::pb_done();
    double su = 0.0, sp = 0.0;
    PBCV(2, 2, 2, su, sp);
    EXPECT_DOUBLE_EQ(su, -0.5 * 1.2);   // face 4 negated for V
    EXPECT_DOUBLE_EQ(sp, 0.5 * 1.2);
    PBCV(2, 3, 2, su, sp);              // the cell is side 1 of the node north of it
    EXPECT_DOUBLE_EQ(su, -0.5 * 1.2);
    PBCW(2, 2, 2, su, sp);
    EXPECT_DOUBLE_EQ(su, 0.5 * 1.2);    // face 5 as it is for W
    PBCW(2, 2, 3, su, sp);
    EXPECT_DOUBLE_EQ(su, 0.5 * 1.2);
    PBCU(2, 2, 2, su, sp);
    EXPECT_EQ(su, 0.0);                 // no x face
    EXPECT_DOUBLE_EQ(sp, 0.5 * 1.2);

    // The set-up adds the jet to the node's case source, also at the nodes
    // whose boundary cell is the low one, in the row below or the plane
    // below.
    runctl.RLXV = runctl.RLXW = 1.0;
    SUBV();
    SUBW();
    EXPECT_DOUBLE_EQ(fields.SUV[ARIDX(2, 2, 2)], -0.5 * 1.2);
    EXPECT_DOUBLE_EQ(fields.SUV[ARIDX(2, 3, 2)], -0.5 * 1.2);
    EXPECT_DOUBLE_EQ(fields.SUW[ARIDX(2, 2, 2)], 0.5 * 1.2);
    EXPECT_DOUBLE_EQ(fields.SUW[ARIDX(2, 2, 3)], 0.5 * 1.2);
    EXPECT_EQ(fields.SUV[ARIDX(2, 2, 3)], 0.0);
}

}  // namespace
}  // namespace tarvex
