#include "frontend/calc/fieldstats.h"

#include <cmath>

#include "engine/data.h"
#include "engine/engine.h"
#include "frontend/calc/viewstate.h"

namespace tarvex {

namespace {

constexpr double BOUND_START = 9.99e21;    // starting extremes of GETDATABOUNDS
constexpr double SEARCH_START = 99999.0;   // starting best values of FINDVAL

// Raises max to v, then separately lowers min to v. A value that is not a
// number passes both tests and changes neither.
inline void widen(double v, double& lo, double& hi) {
    if (v > hi) hi = v;
    if (v < lo) lo = v;
}

// The value FINDVAL compares for a plot choice; false for a choice that has
// no per-cell value.
bool search_value(int choice, int32_t idx, int i, int j, int k, double& v) {
    switch (choice) {
        case 2: v = fields.T[idx]; return true;
        case 3: v = fields.C[idx]; return true;
        case 4: v = GET_U(idx, i, j, k); return true;
        case 5: v = GET_W(idx, i, j, k); return true;
        case 6:
        case 9: {
            const double u = GET_U(idx, i, j, k), vv = GET_V(idx, i, j, k), w = GET_W(idx, i, j, k);
            v = std::sqrt(u * u + vv * vv + w * w);
            return true;
        }
        case 7: v = fields.P[idx]; return true;
        case 8: v = GET_V(idx, i, j, k); return true;
        case 10: v = c2eq.C2[idx]; return true;
        case 11: v = WC2RH(c2eq.C2[idx], fields.T[idx] - KELVIN_OFFSET); return true;
        case 12: v = resid.RESUVW[idx]; return true;
        case 13: v = resid.RESM[idx]; return true;
        case 14: v = resid.REST[idx]; return true;
        case 15: v = resid.RESC[idx]; return true;
        default: return false;
    }
}

}  // namespace

void GETDATABOUNDS() {
    PLOTOPT& o = plotopt;
    double* const mins[] = {&o.TMIN, &o.CMIN, &o.C2MIN, &o.RHMIN, &o.PMIN, &o.UMIN, &o.VMIN,
                            &o.WMIN, &o.SPMIN, &o.RESUVWMIN, &o.RESMMIN, &o.RESTMIN, &o.RESCMIN};
    double* const maxs[] = {&o.TMAX, &o.CMAX, &o.C2MAX, &o.RHMAX, &o.PMAX, &o.UMAX, &o.VMAX,
                            &o.WMAX, &o.SPMAX, &o.RESUVWMAX, &o.RESMMAX, &o.RESTMAX, &o.RESCMAX};
    // Scanned into locals and stored at the end, so that a redraw never sees
    // half-scanned extremes.
    double lo[13], hi[13];
    for (int n = 0; n < 13; ++n) {
        lo[n] = BOUND_START;
        hi[n] = -BOUND_START;
    }

    const int nx = griddim.NX, ny = griddim.NY, nz = griddim.NZ;
    for (int k = 1; k <= nz; ++k)
        for (int j = 1; j <= ny; ++j)
            for (int i = 1; i <= nx; ++i) {
                const int32_t idx = ARIDX(i, j, k);
                if (fields.CPR[idx] == 0.0) continue;
                const double t = fields.T[idx];
                const double c2 = c2eq.C2[idx];
                // Face values, not cell-centre ones.
                const double u = fields.U[idx], v = fields.V[idx], w = fields.W[idx];
                const double values[13] = {t,
                                           fields.C[idx],
                                           c2,
                                           WC2RH(c2, t - KELVIN_OFFSET),
                                           fields.P[idx],
                                           u,
                                           v,
                                           w,
                                           std::sqrt(u * u + v * v + w * w),
                                           resid.RESUVW[idx],
                                           resid.RESM[idx],
                                           resid.REST[idx],
                                           resid.RESC[idx]};
                for (int n = 0; n < 13; ++n) widen(values[n], lo[n], hi[n]);
            }

    for (int n = 0; n < 13; ++n) {
        *mins[n] = lo[n];
        *maxs[n] = hi[n];
    }
    // Degrees C from here on.
    o.TMAX -= KELVIN_OFFSET;
    o.TMIN -= KELVIN_OFFSET;
}

int colour_band(double value, double min, double max) {
    if (std::isnan(value)) return 0;
    // In floating point and clamped before any conversion: a value far off
    // the scale (or an infinite one) must not overflow the integer.
    const double r = 16.0 * (value - min) / (max - min);
    if (std::isnan(r)) {
        // Equal limits, or a width too large for a double: place the value
        // by comparison with max alone.
        const bool upwards = !(max < min);
        return (upwards ? value >= max : value <= max) ? 16 : 1;
    }
    const double n = std::trunc(r) + 1.0;
    if (n < 1.0) return 1;
    if (n > 16.0) return 16;
    return static_cast<int>(n);
}

void FINDVAL(int mode, int choice, int& i, int& j, int& k) {
    i = j = k = 0;
    double best_max = -SEARCH_START;
    double best_min = SEARCH_START;
    const int nx = griddim.NX, ny = griddim.NY, nz = griddim.NZ;
    for (int kk = 1; kk <= nz; ++kk)
        for (int jj = 1; jj <= ny; ++jj)
            for (int ii = 1; ii <= nx; ++ii) {
                const int32_t idx = ARIDX(ii, jj, kk);
                if (!(fields.CPR[idx] > 0.0)) continue;
                double v = 0.0;
                if (!search_value(choice, idx, ii, jj, kk, v)) return;   // nothing to compare
                // Strict comparisons: a tie keeps the earlier cell, a value
                // that is not a number never wins.
                if (mode == 1) {
                    if (v > best_max) {
                        best_max = v;
                        i = ii, j = jj, k = kk;
                    }
                } else if (v < best_min) {
                    best_min = v;
                    i = ii, j = jj, k = kk;
                }
            }
}

double GET_U(int32_t idx, int i, int, int) {
    if (i < griddim.NX) return 0.5 * (fields.U[idx] + fields.U[idx + 1]);
    return fields.U[idx];
}

double GET_V(int32_t idx, int, int j, int) {
    if (j < griddim.NY) return 0.5 * (fields.V[idx] + fields.V[idx + griddim.JSTRIDE]);
    return fields.V[idx];
}

double GET_W(int32_t idx, int, int, int k) {
    if (k < griddim.NZ) return 0.5 * (fields.W[idx] + fields.W[idx + griddim.KSTRIDE]);
    return fields.W[idx];
}

void GETRESIDUALS() {}

}  // namespace tarvex
