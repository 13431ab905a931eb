// Pieces of per-cell work that several equations share: the faces of a cell
// along one axis (mass flows, conductances, the pressure equation's face
// terms, the velocity gradients), the six neighbour coefficients of a cell,
// the U-value surfaces of a cell, the outflow coefficient and the
// under-relaxation of a cell's equation.
//
// Kernels and their pieces name the arrays they read and write in one place,
// at the top of their definition, as constant pointers into the data groups
// (static constexpr members: the addresses are fixed for the whole process,
// so the per-cell code addresses the arrays directly and keeps its registers
// for the values). What changes from pass to pass (grid, factors, switches)
// the kernel holds as ordinary members, set when the pass starts. A kernel
// so has no state of its own between cells, and its reads and writes are
// those of its cell and its neighbours.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/axis.h"
#include "engine/cells.h"
#include "engine/data.h"
#include "engine/engine.h"

namespace tarvex::solver {

// Mass flow F and diffusion conductance D of one face; both 0 on the domain
// boundary.
struct FaceFlow {
    double f = 0.0;
    double d = 0.0;
};

// The faces of a cell across axis A: the low face carries the node of the
// cell itself (index P), the high face the node of the next cell along the
// axis (P + step). Faces on the domain boundary are absent. Reads, per face
// (axis.h): den (DENU, DENV, DENW: density at the face), area (AREAU ...:
// open area), vel (U, V, W), cpr (CPRU ...: open fraction), ap (APU ...:
// centre coefficient of the node), h (HU ...: numerator of the node's last
// sweep); and centre (XC, YC, ZC: centre coordinates, walls at 0 and
// last+1).
template <int A>
struct AxisFaces {
    static constexpr const double* den = Axis<A>::den;
    static constexpr const double* area = Axis<A>::area;
    static constexpr const double* vel = Axis<A>::vel;
    static constexpr const double* cpr = Axis<A>::cpr;
    static constexpr const double* ap = Axis<A>::ap;
    static constexpr const double* h = Axis<A>::h;
    static constexpr const double* centre = Axis<A>::centre;

    Index step;   // index step along the axis
    int last;     // cells along the axis

    bool has_low(const Cell& c) const { return c.at<A>() > 1; }
    bool has_high(const Cell& c) const { return c.at<A>() < last; }

    // Mass flow through the face of node n, positive along the axis.
    double flow(Index n) const { return den[n] * area[n] * vel[n]; }
    double low_flow(const Cell& c) const { return has_low(c) ? flow(c.p) : 0.0; }
    double high_flow(const Cell& c) const { return has_high(c) ? flow(c.p + step) : 0.0; }

    // Distance from the cell's centre to the centre beyond its low or high
    // face (to the wall for the first and last cells).
    double low_distance(const Cell& c) const {
        const int m = c.at<A>();
        return centre[m] - centre[m - 1];
    }
    double high_distance(const Cell& c) const {
        const int m = c.at<A>();
        return centre[m + 1] - centre[m];
    }

    // Flow and conductance visp * open area / distance between the centres.
    FaceFlow low_face(const Cell& c, double visp) const {
        FaceFlow ff;
        if (!has_low(c)) return ff;
        ff.f = flow(c.p);
        ff.d = visp * area[c.p] / low_distance(c);
        return ff;
    }
    FaceFlow high_face(const Cell& c, double visp) const {
        FaceFlow ff;
        if (!has_high(c)) return ff;
        const Index n = c.p + step;
        ff.f = flow(n);
        ff.d = visp * area[n] / high_distance(c);
        return ff;
    }

    // The pressure equation's term of a face: with d = open area × density /
    // centre coefficient of its node, Q grows by d·(A·P beyond ∓ numerator)
    // and G by d·A, A the full face area. A face counts when it lies inside
    // the grid and both its open fraction and its node's centre coefficient
    // are not 0.
    void add_pressure_low(const Cell& c, double a, const double* pr, double& q, double& g) const {
        if (!has_low(c)) return;
        const Index n = c.p;
        if (cpr[n] != 0.0 && ap[n] != 0.0) {
            const double d = area[n] * den[n] / ap[n];
            q += d * (a * pr[c.p - step] + h[n]);
            g += d * a;
        }
    }
    void add_pressure_high(const Cell& c, double a, const double* pr, double& q, double& g) const {
        if (!has_high(c)) return;
        const Index n = c.p + step;
        if (cpr[n] != 0.0 && ap[n] != 0.0) {
            const double d = area[n] * den[n] / ap[n];
            q += d * (a * pr[n] - h[n]);
            g += d * a;
        }
    }

    // The exchange term of a face for the water-vapour equation: s grows by
    // (own - phi beyond) × open area / |distance between the centres|, for a
    // face inside the grid.
    void add_exchange_low(const Cell& c, const double* phi, double own, double& s) const {
        if (!has_low(c)) return;
        const int m = c.at<A>();
        s += (own - phi[c.p - step]) * area[c.p] / std::fabs(centre[m - 1] - centre[m]);
    }
    void add_exchange_high(const Cell& c, const double* phi, double own, double& s) const {
        if (!has_high(c)) return;
        const int m = c.at<A>();
        const Index n = c.p + step;
        s += (own - phi[n]) * area[n] / std::fabs(centre[m + 1] - centre[m]);
    }

    // Largest of the forward and backward estimates of |d phi / d axis| at
    // the cell, from the values stored on the faces of the cell and of its
    // neighbours along the axis; beyond the first and last cells phi is 0 on
    // the boundary grid line.
    double gradient(const double* phi, const Cell& c) const {
        const int m = c.at<A>();
        const Index p = c.p;
        const double fwd = m < last ? std::fabs((phi[p] - phi[p + step]) / (centre[m] - centre[m + 1]))
                                    : std::fabs(phi[p] / (centre[last] - centre[last + 1]));
        const double bwd = m > 1 ? std::fabs((phi[p] - phi[p - step]) / (centre[m] - centre[m - 1]))
                                 : std::fabs(phi[p] / centre[1]);
        return std::max(fwd, bwd);
    }
};

template <int A>
inline AxisFaces<A> axis_faces(const Grid& g) {
    AxisFaces<A> f;
    f.step = g.stride(A);
    f.last = g.count(A);
    return f;
}

// The faces of all three axes.
struct CellFaces {
    AxisFaces<0> x;
    AxisFaces<1> y;
    AxisFaces<2> z;
};

inline CellFaces cell_faces(const Grid& g) { return {axis_faces<0>(g), axis_faces<1>(g), axis_faces<2>(g)}; }

// A cell's mass imbalance: the net inflow through its faces (low faces in,
// high faces out) plus its mass source, in the order west, east, south,
// north, bottom, top.
inline double net_inflow(double fw, double fe, double fs, double fn, double fb, double ft, double smass) {
    return fw - fe + fs - fn + fb - ft + smass;
}

// The six neighbour coefficients of the cells.
struct CellCoefs {
    static constexpr const double* an = coefs.AN;
    static constexpr const double* as = coefs.AS;
    static constexpr const double* ae = coefs.AE;
    static constexpr const double* aw = coefs.AW;
    static constexpr const double* at = coefs.AT;
    static constexpr const double* ab = coefs.AB;

    // AN + AS + AE + AW + AT + AB of cell p.
    double sum(Index p) const { return an[p] + as[p] + ae[p] + aw[p] + at[p] + ab[p]; }

    // The cell-centred neighbour sum of a scalar: W, S, N, E, T, B in this
    // order, each term only where that neighbour lies inside the grid.
    double neighbour_sum(const Grid& g, const double* phi, const Cell& c) const {
        const Index p = c.p;
        double nb = -0.0;   // -0.0 + x is x exactly, so the first term present starts the sum
        if (c.i > 1) nb += aw[p] * phi[p - 1];
        if (c.j > 1) nb += as[p] * phi[p - g.js];
        if (c.j < g.ny) nb += an[p] * phi[p + g.js];
        if (c.i < g.nx) nb += ae[p] * phi[p + 1];
        if (c.k < g.nz) nb += at[p] * phi[p + g.ks];
        if (c.k > 1) nb += ab[p] * phi[p - g.ks];
        return nb;
    }
};

inline CellCoefs cell_coefs() { return {}; }

// Outflow part of a centre coefficient: the excess of outflow over inflow,
// -imbalance where that is positive, else 0.
inline double outflow_coefficient(double mimb) {
    const double cp = -mimb;
    return cp < 0.0 ? 0.0 : cp;
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

// The U-value surfaces of the cells (face f = 1..6 of cell P is element
// P + (f-1)·NCELLMAX of UVAL and UVALT), as the energy equation, the balances
// and the region viewer see them (UvalueFace, engine.h).
struct UvalueSurfaces {
    static constexpr const double* uval = uvaltab.UVAL;
    static constexpr const double* uvalt = uvaltab.UVALT;
    static constexpr const bool* uvalcell = uvaltab.UVALCELL;
    static constexpr const double* t = fields.T;

    Grid g;

    // Whether cell p has any surface.
    bool any(Index p) const { return uvalcell[p]; }

    // Face f of cell c: false when it has no surface, or is coupled to the
    // air two cells across it and that cell lies outside the grid.
    bool face(const Cell& c, int f, UvalueFace& out) const {
        const Index q = c.p + static_cast<Index>(f - 1) * NCELLMAX;
        const double u = uval[q];
        if (!(u > NOT_SET_BELOW)) return false;
        out.u = u;
        out.ut = uvalt[q];
        out.coupled = !(out.ut - u >= 1e-5);
        out.far = 0;
        if (!out.coupled) return true;
        // Two cells across the face: down the axis for the low face (odd
        // codes), up it for the high face.
        const int a = face_axis(f);
        const int d = f % 2 == 1 ? -2 : 2;
        const int m = c.at(a) + d;
        if (m < 1 || m > g.count(a)) return false;
        out.far = static_cast<int32_t>(c.p + d * g.stride(a));
        return true;
    }

    // The temperature beyond a face that face() accepted, K.
    double far_temperature(const UvalueFace& f) const { return f.coupled ? t[f.far] : f.ut / f.u; }

    // The temperature equation's sources of cell c: for each surface U·A·T
    // beyond to the source (a coupled surface keeps UVALT = UVAL, so UVALT ×
    // T beyond is that) and U·A to the centre coefficient.
    void add_sources(const Cell& c, double& su, double& sp) const {
        if (!uvalcell[c.p]) return;
        for (int f = 1; f <= 6; ++f) {
            UvalueFace s;
            if (!face(c, f, s)) continue;
            su += s.coupled ? s.ut * t[s.far] : s.ut;
            sp += s.u;
        }
    }
};

}  // namespace tarvex::solver
