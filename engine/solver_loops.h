// Loop order and small helpers shared by the equation routines.
//
// Every sweep, set-up and residual pass of the solver visits the cells of a
// box in one of two fixed orders: forward (k outermost, then j, then i, all
// ascending) or backward (all three descending). The order decides the
// results of the Gauss-Seidel sweeps bit for bit, so it lives here once, in
// plain loops that step the cell index, and each routine passes the body for
// one cell.
#pragma once

#include <cstdint>

#include "engine/data.h"
#include "engine/pbcells.h"

namespace tarvex::solver {

// Open fraction above which most equation routines count a cell or face as
// open. Routines that test differently say so where they test.
inline constexpr double OPEN_TINY = OPEN_MIN;

// The grid of the loaded case, read once per routine.
struct Grid {
    int32_t nx, ny, nz;
    int32_t js, ks;   // JSTRIDE, KSTRIDE
};

inline Grid grid() {
    return Grid{griddim.NX, griddim.NY, griddim.NZ, griddim.JSTRIDE, griddim.KSTRIDE};
}

// Calls body(i, j, k, idx) for i = i0..nx, j = j0..ny, k = k0..nz, forward
// (k, j, i ascending, i fastest) or backward (all descending).
template <class Body>
inline void for_cells(const Grid& g, int i0, int j0, int k0, bool forward, Body&& body) {
    if (forward) {
        for (int k = k0; k <= g.nz; ++k) {
            for (int j = j0; j <= g.ny; ++j) {
                int32_t idx = i0 + (j - 1) * g.js + (k - 1) * g.ks;
                for (int i = i0; i <= g.nx; ++i, ++idx) body(i, j, k, idx);
            }
        }
    } else {
        for (int k = g.nz; k >= k0; --k) {
            for (int j = g.ny; j >= j0; --j) {
                int32_t idx = g.nx + (j - 1) * g.js + (k - 1) * g.ks;
                for (int i = g.nx; i >= i0; --i, --idx) body(i, j, k, idx);
            }
        }
    }
}

// Forward order over every real cell.
template <class Body>
inline void for_all_cells(const Grid& g, Body&& body) {
    for_cells(g, 1, 1, 1, true, static_cast<Body&&>(body));
}

// The cell-centred neighbour sum of a scalar: W, S, N, E, T, B in this order,
// each term only where that neighbour lies inside the grid.
inline double scalar_neighbour_sum(const Grid& g, const double* phi, int i, int j, int k, int32_t p) {
    double nb = -0.0;   // -0.0 + x is x exactly, so the first term present starts the sum
    if (i > 1) nb += coefs.AW[p] * phi[p - 1];
    if (j > 1) nb += coefs.AS[p] * phi[p - g.js];
    if (j < g.ny) nb += coefs.AN[p] * phi[p + g.js];
    if (i < g.nx) nb += coefs.AE[p] * phi[p + 1];
    if (k < g.nz) nb += coefs.AT[p] * phi[p + g.ks];
    if (k > 1) nb += coefs.AB[p] * phi[p - g.ks];
    return nb;
}

// Whether any pressure-boundary row holds a cell of row (j, k), asked again
// only when the row changes: loops over cells use it to pass over the rows no
// boundary touches without asking for the rows of every cell.
class PbRowCache {
public:
    bool any(int j, int k) {
        if (j != j_ || k != k_) {
            j_ = j;
            k_ = k;
            any_ = !pb_rows_row(j, k).empty();
        }
        return any_;
    }

private:
    int j_ = -1, k_ = -1;
    bool any_ = false;
};

// Largest-change bookkeeping of the sweeps: the sum grows by d, the maximum is
// raised to d when d is larger.
inline void note_change(double d, double& sum, double& max) {
    sum += d;
    if (d > max) max = d;
}

// Stores the centre coefficient and source an equation's sweep uses at one
// cell: as set up in time-step runs, otherwise under-relaxed towards the
// current value with the factor rlx.
inline void store_relaxed(double& ap_out, double& su_out, double ap, double su, double value, double rlx,
                          bool transient) {
    if (transient) {
        ap_out = ap;
        su_out = su;
    } else {
        const double apr = ap / rlx;
        ap_out = apr;
        su_out = su + (1.0 - rlx) * apr * value;
    }
}

}  // namespace tarvex::solver
