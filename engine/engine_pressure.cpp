// The pressure equation, the mass residual and the pressure level.
//
// CALCP moves each open cell's pressure towards the value Q/G at which the
// cell's mass balance closes, with the face velocities taken from the
// numerators and centre coefficients the momentum sweeps left:
//   velocity = (numerator + A·(low-side P - high-side P)) / centre coefficient.
// The faces are taken in the order north, south, east, west, top, bottom.

#include <cmath>

#include "engine/engine.h"
#include "engine/solver_loops.h"

namespace tarvex {

using solver::Grid;
using solver::OPEN_TINY;

void CALCP(int dir) {
    const Grid g = solver::grid();
    const double rlxp = runctl.RLXP;
    double* pr = fields.P;
    solver::for_cells(g, 1, 1, 1, dir == 1, [&](int i, int j, int k, int32_t p) {
        if (!(fields.CPR[p] > OPEN_TINY)) return;
        double q = fields.SMASS[p];
        double gsum = 0.0;
        const double axz = fields.DX[i] * fields.DZ[k];   // north and south faces
        const double ayz = fields.DY[j] * fields.DZ[k];   // east and west faces
        const double axy = fields.DX[i] * fields.DY[j];   // top and bottom faces
        if (j < g.ny) {
            const int32_t n = p + g.js;
            if (fields.CPRV[n] != 0.0 && coefs.APV[n] != 0.0) {
                const double d = fields.AREAV[n] * fields.DENV[n] / coefs.APV[n];
                q += d * (axz * pr[n] - coefs.HV[n]);
                gsum += d * axz;
            }
        }
        if (j > 1) {
            if (fields.CPRV[p] != 0.0 && coefs.APV[p] != 0.0) {
                const double d = fields.AREAV[p] * fields.DENV[p] / coefs.APV[p];
                q += d * (axz * pr[p - g.js] + coefs.HV[p]);
                gsum += d * axz;
            }
        }
        if (i < g.nx) {
            const int32_t e = p + 1;
            if (fields.CPRU[e] != 0.0 && coefs.APU[e] != 0.0) {
                const double d = fields.AREAU[e] * fields.DENU[e] / coefs.APU[e];
                q += d * (ayz * pr[e] - coefs.HU[e]);
                gsum += d * ayz;
            }
        }
        if (i > 1) {
            if (fields.CPRU[p] != 0.0 && coefs.APU[p] != 0.0) {
                const double d = fields.AREAU[p] * fields.DENU[p] / coefs.APU[p];
                q += d * (ayz * pr[p - 1] + coefs.HU[p]);
                gsum += d * ayz;
            }
        }
        if (k < g.nz) {
            const int32_t t = p + g.ks;
            if (fields.CPRW[t] != 0.0 && coefs.APW[t] != 0.0) {
                const double d = fields.AREAW[t] * fields.DENW[t] / coefs.APW[t];
                q += d * (axy * pr[t] - coefs.HW[t]);
                gsum += d * axy;
            }
        }
        if (k > 1) {
            if (fields.CPRW[p] != 0.0 && coefs.APW[p] != 0.0) {
                const double d = fields.AREAW[p] * fields.DENW[p] / coefs.APW[p];
                q += d * (axy * pr[p - g.ks] + coefs.HW[p]);
                gsum += d * axy;
            }
        }
        if (gsum != 0.0) pr[p] = pr[p] + rlxp * (q / gsum - pr[p]);
    });
}

void MASS() {
    const Grid g = solver::grid();
    double rm = runctl.RM;
    solver::for_all_cells(g, [&](int i, int j, int k, int32_t p) {
        if (!(fields.CPR[p] > OPEN_TINY)) return;
        const double fw = i > 1 ? fields.DENU[p] * fields.AREAU[p] * fields.U[p] : 0.0;
        const double fe = i < g.nx ? fields.DENU[p + 1] * fields.AREAU[p + 1] * fields.U[p + 1] : 0.0;
        const double fs = j > 1 ? fields.DENV[p] * fields.AREAV[p] * fields.V[p] : 0.0;
        const double fn = j < g.ny ? fields.DENV[p + g.js] * fields.AREAV[p + g.js] * fields.V[p + g.js] : 0.0;
        const double fb = k > 1 ? fields.DENW[p] * fields.AREAW[p] * fields.W[p] : 0.0;
        const double ft = k < g.nz ? fields.DENW[p + g.ks] * fields.AREAW[p + g.ks] * fields.W[p + g.ks] : 0.0;
        rm += std::fabs(fw - fe + fs - fn + fb - ft + fields.SMASS[p]);
    });
    runctl.RM = rm;
}

// Shifts the pressure of every open cell by one amount so that the
// pressure-boundary flows move towards balancing the fixed sources: the
// imbalance over the number of boundary cells times their area-weighted mean
// slope of the power law, scaled by RLXADJ and limited to 1 Pa either way.
// No shift when no open cell lies in a boundary box, when the sources cancel,
// when every slope is 0, or when the quotient is not a finite number.
void ADJUSTP() {
    const Grid g = solver::grid();
    double min = 0.0, mout = 0.0, s1 = 0.0, s2 = 0.0;
    int nc = 0;
    solver::PbRowCache rows;
    solver::for_all_cells(g, [&](int i, int j, int k, int32_t p) {
        if (!(fields.CPR[p] > OPEN_TINY)) return;
        const double m = fields.SMASS[p];
        if (m > 0.0) min += m;
        if (m < 0.0) mout += m;
        if (!rows.any(j, k)) return;
        for_pb_rows(i, j, k, [&](int n) {
            const double a = pb_face_area(pbtable.PBFACE[n], i, j, k);
            double gap = std::fabs(pbtable.PBP[n] - fields.P[p]);
            if (gap <= 0.001) gap = 0.001;
            const double e = pbtable.PBEXP[n];
            s1 += e * fields.DEN[p] * pbtable.PBCOEF[n] * a * a / std::pow(gap, 1.0 - e);
            s2 += a;
            nc += 1;
        });
    });
    const double imbalance = min + mout;
    if (s2 == 0.0 || imbalance == 0.0 || s1 == 0.0) return;
    double dp = runctl.RLXADJ * imbalance / (nc * s1 / s2);
    if (!std::isfinite(dp)) return;
    if (dp > 1.0) dp = 1.0;
    if (dp < -1.0) dp = -1.0;
    solver::for_all_cells(g, [&](int, int, int, int32_t p) {
        if (fields.CPR[p] > OPEN_TINY) fields.P[p] = fields.P[p] + dp;
    });
}

}  // namespace tarvex
