// The order in which the equation routines add up their terms. Results must
// not change when the sweeps are reorganised, so the order of every sum is
// pinned here: two terms of +2^60 and -2^60 swallow every small term added
// before the second of them, so the result tells which small terms come after
// it. The small terms are distinct powers of two.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "solve_fixture.h"

namespace tarvex {
namespace {

constexpr double BIG = 1152921504606846976.0;   // 2^60

// compute receives the terms in the expected order and returns the routine's
// sum of them. For every pair of positions a < b carrying +BIG and -BIG, the
// sum must be that of the small terms after b.
// divisor: the routine returns the sum divided by it.
void expect_order(const std::string& what, size_t n, const std::function<double(const std::vector<double>&)>& compute,
                  double divisor = 1.0) {
    for (size_t a = 0; a < n; ++a)
        for (size_t b = a + 1; b < n; ++b) {
            std::vector<double> terms(n);
            double small = 1.0, expected = 0.0;
            for (size_t q = 0; q < n; ++q) {
                if (q == a) {
                    terms[q] = BIG;
                } else if (q == b) {
                    terms[q] = -BIG;
                } else {
                    terms[q] = small;
                    if (q > b) expected += small;
                    small *= 2.0;
                }
            }
            EXPECT_EQ(compute(terms), expected / divisor) << what << ": big terms at " << a << " and " << b;
        }
}

TEST(SumOrder, ScalarNeighbourSumWestSouthNorthEastTopBottom) {
    expect_order("CALCT", 6, [](const std::vector<double>& t) {
        test::make_uniform_grid(3, 3, 3);
        const int p = ARIDX(2, 2, 2);
        coefs.AW[p] = coefs.AS[p] = coefs.AN[p] = coefs.AE[p] = coefs.AT[p] = coefs.AB[p] = 1.0;
        coefs.APT[p] = 1.0;
        coefs.SUT[p] = 0.0;
        fields.T[ARIDX(1, 2, 2)] = t[0];
        fields.T[ARIDX(2, 1, 2)] = t[1];
        fields.T[ARIDX(2, 3, 2)] = t[2];
        fields.T[ARIDX(3, 2, 2)] = t[3];
        fields.T[ARIDX(2, 2, 3)] = t[4];
        fields.T[ARIDX(2, 2, 1)] = t[5];
        CALCT(1);
        return fields.T[p];
    });
}

TEST(SumOrder, ScalarCentreCoefficientNorthSouthEastWestTopBottomSource) {
    expect_order("SUBT", 7, [](const std::vector<double>& t) {
        test::make_uniform_grid(3, 3, 3);
        const int p = ARIDX(2, 2, 2);
        coefs.AN[p] = t[0];
        coefs.AS[p] = t[1];
        coefs.AE[p] = t[2];
        coefs.AW[p] = t[3];
        coefs.AT[p] = t[4];
        coefs.AB[p] = t[5];
        fields.SPT[p] = t[6];
        runctl.ITRANS = 0;
        runctl.RLXT = 1.0;
        SUBT();
        return coefs.APT[p];
    });
}

// U node (3,2,2) of a 4 x 3 x 3 grid has all six neighbour nodes.
TEST(SumOrder, MomentumNeighbourSumWestSouthNorthEastTopBottom) {
    for (int axis = 0; axis < 3; ++axis) {
        expect_order("CALC" + std::string(1, "UVW"[axis]), 6, [axis](const std::vector<double>& t) {
            const int n[3] = {axis == 0 ? 4 : 3, axis == 1 ? 4 : 3, axis == 2 ? 4 : 3};
            test::make_uniform_grid(n[0], n[1], n[2]);
            test::fill(coefs.AN, 1.0);
            test::fill(coefs.AS, 1.0);
            test::fill(coefs.AE, 1.0);
            test::fill(coefs.AW, 1.0);
            test::fill(coefs.AT, 1.0);
            test::fill(coefs.AB, 1.0);
            const int c[3] = {axis == 0 ? 3 : 2, axis == 1 ? 3 : 2, axis == 2 ? 3 : 2};
            const int p = ARIDX(c[0], c[1], c[2]);
            double* vel[3] = {fields.U, fields.V, fields.W};
            double* ap[3] = {coefs.APU, coefs.APV, coefs.APW};
            double* h[3] = {coefs.HU, coefs.HV, coefs.HW};
            void (*sweep[3])(int) = {CALCU, CALCV, CALCW};
            ap[axis][p] = 1.0;
            double* v = vel[axis];
            v[p - 1] = t[0];
            v[p - griddim.JSTRIDE] = t[1];
            v[p + griddim.JSTRIDE] = t[2];
            v[p + 1] = t[3];
            v[p + griddim.KSTRIDE] = t[4];
            v[p - griddim.KSTRIDE] = t[5];
            sweep[axis](1);
            return h[axis][p];
        });
    }
}

TEST(SumOrder, MomentumCentreCoefficientNorthSouthEastWestTopBottomSource) {
    for (int axis = 0; axis < 3; ++axis) {
        expect_order("SUB" + std::string(1, "UVW"[axis]), 7, [axis](const std::vector<double>& t) {
            const int n[3] = {axis == 0 ? 4 : 3, axis == 1 ? 4 : 3, axis == 2 ? 4 : 3};
            test::make_uniform_grid(n[0], n[1], n[2]);
            test::fill(coefs.AN, t[0]);
            test::fill(coefs.AS, t[1]);
            test::fill(coefs.AE, t[2]);
            test::fill(coefs.AW, t[3]);
            test::fill(coefs.AT, t[4]);
            test::fill(coefs.AB, t[5]);
            double* sp[3] = {fields.SPU, fields.SPV, fields.SPW};
            test::fill(sp[axis], t[6]);
            runctl.ITRANS = 0;
            runctl.RLXU = runctl.RLXV = runctl.RLXW = 1.0;
            void (*setup[3])() = {SUBU, SUBV, SUBW};
            setup[axis]();
            const int c[3] = {axis == 0 ? 3 : 2, axis == 1 ? 3 : 2, axis == 2 ? 3 : 2};
            double* ap[3] = {coefs.APU, coefs.APV, coefs.APW};
            return ap[axis][ARIDX(c[0], c[1], c[2])];
        });
    }
}

TEST(SumOrder, PressureFacesNorthSouthEastWestTopBottom) {
    // Centre cell of 3 x 3 x 3 alone in the sweep; every face weight and area
    // is 1 and every numerator 0, so Q = SMASS + the six neighbour pressures.
    expect_order("CALCP", 7, [](const std::vector<double>& t) {
        test::make_uniform_grid(3, 3, 3);
        test::fill(fields.CPR, 0.0);
        const int p = ARIDX(2, 2, 2);
        fields.CPR[p] = 1.0;
        const int js = griddim.JSTRIDE, ks = griddim.KSTRIDE;
        for (int f : {p, p + 1}) {
            fields.DENU[f] = 1.0;
            coefs.APU[f] = 1.0;
        }
        for (int f : {p, p + js}) {
            fields.DENV[f] = 1.0;
            coefs.APV[f] = 1.0;
        }
        for (int f : {p, p + ks}) {
            fields.DENW[f] = 1.0;
            coefs.APW[f] = 1.0;
        }
        fields.SMASS[p] = t[0];
        fields.P[p + js] = t[1];
        fields.P[p - js] = t[2];
        fields.P[p + 1] = t[3];
        fields.P[p - 1] = t[4];
        fields.P[p + ks] = t[5];
        fields.P[p - ks] = t[6];
        fields.P[p] = 0.0;
        runctl.RLXP = 1.0;
        CALCP(1);
        return fields.P[p];
    }, 6.0);
}

TEST(SumOrder, MassResidualWestEastSouthNorthBottomTopSource) {
    expect_order("MASS", 7, [](const std::vector<double>& t) {
        test::make_uniform_grid(3, 3, 3);
        test::fill(fields.CPR, 0.0);
        const int p = ARIDX(2, 2, 2);
        fields.CPR[p] = 1.0;
        const int js = griddim.JSTRIDE, ks = griddim.KSTRIDE;
        test::fill(fields.DENU, 1.0);
        test::fill(fields.DENV, 1.0);
        test::fill(fields.DENW, 1.0);
        // Inflows on the low faces, outflows (negated) on the high faces.
        fields.U[p] = t[0];
        fields.U[p + 1] = -t[1];
        fields.V[p] = t[2];
        fields.V[p + js] = -t[3];
        fields.W[p] = t[4];
        fields.W[p + ks] = -t[5];
        fields.SMASS[p] = t[6];
        runctl.RM = 0.0;
        MASS();
        return runctl.RM;
    });
}

}  // namespace
}  // namespace tarvex
