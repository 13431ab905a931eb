// The three momentum equations of the staggered grid.
//
// U(P), V(P), W(P) live on the west, south and bottom face of cell P, between
// the low cell L (P-1, P-JSTRIDE, P-KSTRIDE) and P. One set of kernels,
// templated on the component's axis A, serves all three; solver::Axis<A>
// (axis.h) names the arrays of one of them. The neighbour coefficients of a
// node are the means of the cell coefficients of L and P and are formed again
// in every pass instead of being stored.
//
// Serial order of a node's sums, the same in every pass:
//   AP = aN + aS + aE + aW + aT + aB + SP
//   NB = aW·vW + aS·vS + aN·vN + aE·vE + aT·vT + aB·vB
// and the pressure force (P(L) - P(P))·(first width)·(second width) with the
// widths across the face (U: DY, DZ; V: DX, DZ; W: DX, DY), multiplied in
// this order.

#include <cmath>

#include "engine/axis.h"
#include "engine/cells.h"
#include "engine/engine.h"
#include "engine/pbcells.h"
#include "engine/solver_kernels.h"
#include "engine/solver_loops.h"

namespace tarvex {

namespace {

// First node index along the component's axis: the west (south, bottom) wall
// face carries no node.
constexpr int FIRST_NODE = 2;

// (P(L) - P(P)) times the two widths across the face, multiplied in this
// order (U: DY, DZ; V: DX, DZ; W: DX, DY).
template <int A>
inline double pressure_force(const double* pr, Index l, const Cell& c) {
    return (pr[l] - pr[c.p]) * solver::first_width_across<A>(c) * solver::second_width_across<A>(c);
}

struct NodeCoefs {
    double an, as, ae, aw, at, ab;
};

// The neighbour coefficients and the neighbour sum of the nodes of one
// component, from the cell coefficients of the two cells beside each node.
template <int A>
struct NodeStencil {
    static constexpr solver::CellCoefs cc{};
    static constexpr const double* cprf = solver::Axis<A>::cpr;

    Grid g;

    // Means of the cell coefficients of L and P. The pair along the
    // component's axis is 0 where the neighbour node beyond is at the wall or
    // closed.
    NodeCoefs coefs_at(const Cell& c, Index l) const {
        const Index p = c.p;
        NodeCoefs a;
        a.an = 0.5 * (cc.an[l] + cc.an[p]);
        a.as = 0.5 * (cc.as[l] + cc.as[p]);
        a.ae = 0.5 * (cc.ae[l] + cc.ae[p]);
        a.aw = 0.5 * (cc.aw[l] + cc.aw[p]);
        a.at = 0.5 * (cc.at[l] + cc.at[p]);
        a.ab = 0.5 * (cc.ab[l] + cc.ab[p]);
        if constexpr (A == 0) {
            if (!(c.i < g.nx && is_open(cprf[p + 1]))) a.ae = 0.0;
            if (!(c.i > FIRST_NODE && is_open(cprf[p - 1]))) a.aw = 0.0;
        } else if constexpr (A == 1) {
            if (!(c.j < g.ny && is_open(cprf[p + g.js]))) a.an = 0.0;
            if (!(c.j > FIRST_NODE && is_open(cprf[p - g.js]))) a.as = 0.0;
        } else {
            if (!(c.k < g.nz && is_open(cprf[p + g.ks]))) a.at = 0.0;
            if (!(c.k > FIRST_NODE && is_open(cprf[p - g.ks]))) a.ab = 0.0;
        }
        return a;
    }

    // Neighbour sum W, S, N, E, T, B. Along the component's axis the low
    // neighbour node exists from the third index on.
    double neighbour_sum(const NodeCoefs& a, const double* v, const Cell& c) const {
        const Index p = c.p;
        double nb = -0.0;   // -0.0 + x is x exactly, so the first term present starts the sum
        if (c.i > (A == 0 ? FIRST_NODE : 1)) nb += a.aw * v[p - 1];
        if (c.j > (A == 1 ? FIRST_NODE : 1)) nb += a.as * v[p - g.js];
        if (c.j < g.ny) nb += a.an * v[p + g.js];
        if (c.i < g.nx) nb += a.ae * v[p + 1];
        if (c.k < g.nz) nb += a.at * v[p + g.ks];
        if (c.k > (A == 2 ? FIRST_NODE : 1)) nb += a.ab * v[p - g.ks];
        return nb;
    }
};

// Momentum of air entering through pressure boundaries at a node: side 1 is
// the low cell, side 2 the node's own cell. For each side the last inflowing
// row (table order) sets the coefficient, and the last inflowing row whose
// face lies across this component sets the source (as it is through the low
// face, with the velocity negated through the high one). A side takes part
// when its cell is open from OPEN_MIN on. The flow is the boundary's power
// law taken with the area of the node's own face.
template <int A>
struct Jets {
    static constexpr const double* cpr = fields.CPR;
    static constexpr const double* den = fields.DEN;
    static constexpr const double* pr = fields.P;
    static constexpr const int32_t* pbface = pbtable.PBFACE;
    static constexpr const double* pbcoef = pbtable.PBCOEF;
    static constexpr const double* pbp = pbtable.PBP;
    static constexpr const double* pbexp = pbtable.PBEXP;

    Grid g;
    bool on;   // PBON = 1 and NPB > 0

    // Whether some boundary box can hold a cell of the node's two rows: a
    // bit test per row, before the rows of each cell are looked up.
    bool near(const Cell& node) const {
        return pb_row_touched(A == 1 ? node.j - 1 : node.j, A == 2 ? node.k - 1 : node.k) ||
               pb_row_touched(node.j, node.k);
    }

    // Sets su and sp to the jet source and coefficient of the node; leaves
    // them as they are when the case has no pressure boundaries.
    void add(const Cell& node, double& su, double& sp) const {
        if (!on) return;
        const double area = solver::face_area<A>(node);
        double src[2] = {0.0, 0.0};
        double cof[2] = {0.0, 0.0};
        for (int side = 0; side < 2; ++side) {
            const int ci = (side == 0 && A == 0) ? node.i - 1 : node.i;
            const int cj = (side == 0 && A == 1) ? node.j - 1 : node.j;
            const int ck = (side == 0 && A == 2) ? node.k - 1 : node.k;
            const Index c = side == 0 ? node.p - g.stride(A) : node.p;
            for (int n : pb_rows(ci, cj, ck)) {
                if (!is_open_from_min(cpr[c])) continue;
                const double d = den[c];
                const double m = pb_power_law(d, pbcoef[n], area, pbp[n] - pr[c], pbexp[n]);
                const double vel = m / (area * d);
                if (!(m > 0.0)) continue;
                cof[side] = m;
                if (pbface[n] == solver::Axis<A>::LOW_FACE)
                    src[side] = m * vel;
                else if (pbface[n] == solver::Axis<A>::HIGH_FACE)
                    src[side] = m * -vel;
            }
        }
        su = 0.5 * (src[0] + src[1]);
        sp = 0.5 * (cof[0] + cof[1]);
    }
};

// The set-up of one node: centre coefficient and source, relaxed in steady
// runs, and the residual of the current velocity, which is the node's term of
// RU0 (RV0, RW0).
template <int A>
struct MomentumSetup {
    using X = solver::Axis<A>;   // vel, cpr, den, sc, sp read; ap, su written
    static constexpr const double* mimb = fields.MIMB;
    static constexpr const double* vol = coefs.VOL;
    static constexpr const double* t = fields.T;
    static constexpr const double* pr = fields.P;
    static constexpr const double* rtref = regions.RTREF;
    static constexpr const int32_t* ireg = regions.IREG;
    static constexpr double* resuvw = resid.RESUVW;

    Grid g;
    NodeStencil<A> stencil;
    Jets<A> jets;
    double buoy;      // BUOYX ...
    double rlx;       // RLXU ...
    bool transient;   // ITRANS = 1
    bool buoyant;     // ITEMP not 0 and a buoyancy factor not 0
    double dt;        // DT

    double operator()(const Cell& c) const {
        const Index p = c.p;
        if (!is_open(X::cpr[p])) return 0.0;
        const Index l = p - g.stride(A);
        const NodeCoefs a = stencil.coefs_at(c, l);
        const double vel = X::vel[p];
        double su = 0.5 * (X::sc[l] + X::sc[p]);
        double sp = 0.5 * (X::sp[l] + X::sp[p]);
        double jet_su = 0.0, jet_sp = 0.0;
        if (jets.on && jets.near(c)) jets.add(c, jet_su, jet_sp);
        su += jet_su;
        sp += jet_sp;
        const double cp = solver::outflow_coefficient(0.5 * (mimb[l] + mimb[p]));
        su += cp * vel;
        sp += cp;
        if (transient) {
            const double tt = 0.5 * (vol[l] + vol[p]) * X::den[p] / dt;
            sp += tt;
            su += tt * vel;
        }
        if (buoyant) {
            const double vl = vol[l], vp = vol[p];
            const double tf = (t[p] * vp + t[l] * vl) / (vl + vp);
            su += buoy * 0.5 * (vl + vp) * (1.0 / tf - rtref[ireg[p]]);
        }
        const double ap = a.an + a.as + a.ae + a.aw + a.at + a.ab + sp;
        const double nb = stencil.neighbour_sum(a, X::vel, c);
        const double f = pressure_force<A>(pr, l, c);
        const double r = std::fabs(nb + f + su - ap * vel);
        // RESUVW is one array for the three components, never cleared between
        // iterations: the U set-up, which runs first, overwrites it at its
        // nodes, and the V and W set-ups only raise it. A cell without a U
        // node (the first of each row, or a closed west face) so keeps the
        // largest V or W residual seen since the array was last cleared.
        if constexpr (A == 0) {
            resuvw[p] = r;
        } else {
            if (r > resuvw[p]) resuvw[p] = r;
        }
        solver::store_relaxed(X::ap[p], X::su[p], ap, su, vel, rlx, transient);
        return r;
    }
};

// One node of a sweep: the numerator is stored at every visited node, the
// velocity changes where the centre coefficient is not 0; the absolute change
// is the node's term of SDU and XDU.
template <int A>
struct MomentumSweep {
    using X = solver::Axis<A>;   // su, ap read; h, vel written
    static constexpr const double* cpr = fields.CPR;
    static constexpr const double* pr = fields.P;

    Grid g;
    NodeStencil<A> stencil;

    double operator()(const Cell& c) const {
        const Index p = c.p;
        if (!is_open(cpr[p])) return 0.0;
        const Index l = p - g.stride(A);
        const NodeCoefs a = stencil.coefs_at(c, l);
        const double h = X::su[p] + stencil.neighbour_sum(a, X::vel, c);
        X::h[p] = h;
        const double ap = X::ap[p];
        if (ap == 0.0) return 0.0;
        const double value = (h + pressure_force<A>(pr, l, c)) / ap;
        const double d = std::fabs(value - X::vel[p]);
        X::vel[p] = value;
        return d;
    }
};

// The residual of one set-up node after the sweeps: its term of RU (RV, RW).
template <int A>
struct MomentumResidual {
    using X = solver::Axis<A>;   // cpr, vel, su, ap read
    static constexpr const double* pr = fields.P;

    Grid g;
    NodeStencil<A> stencil;

    double operator()(const Cell& c) const {
        const Index p = c.p;
        if (!is_open(X::cpr[p])) return 0.0;
        const Index l = p - g.stride(A);
        const NodeCoefs a = stencil.coefs_at(c, l);
        const double nb = stencil.neighbour_sum(a, X::vel, c);
        return std::fabs(nb + X::su[p] + pressure_force<A>(pr, l, c) - X::ap[p] * X::vel[p]);
    }
};

template <int A>
Jets<A> jets_of_case(const Grid& g) {
    return Jets<A>{g, pbtable.PBON == 1 && pbtable.NPB > 0};
}

template <int A>
void set_up_momentum() {
    using X = solver::Axis<A>;
    const Grid g = grid();
    const MomentumSetup<A> kernel{g,
                                  NodeStencil<A>{g},
                                  jets_of_case<A>(g),
                                  *X::buoy,
                                  *X::rlx,
                                  runctl.ITRANS == 1,
                                  runctl.ITEMP != 0 && *X::buoy != 0.0,
                                  runctl.DT};
    loops::Sum sum0{*X::res0};
    loops::pass(g, nodes<A>(g), kernel, sum0);
    *X::res0 = sum0.value;
}

template <int A>
void sweep_momentum(int dir) {
    const Grid g = grid();
    const MomentumSweep<A> kernel{g, NodeStencil<A>{g}};
    loops::ChangeSums changes{domsums.SDU, domsums.XDU};
    loops::sweep(g, nodes<A>(g), loops::sweep_order(dir), kernel, changes);
    domsums.SDU = changes.sum;
    domsums.XDU = changes.max;
}

template <int A>
void momentum_residual() {
    using X = solver::Axis<A>;
    const Grid g = grid();
    const MomentumResidual<A> kernel{g, NodeStencil<A>{g}};
    loops::Sum sum{*X::res};
    loops::pass(g, nodes<A>(g), kernel, sum);
    *X::res = sum.value;
}

// The jets of the node of cell (i, j, k), for the routines PBCU, PBCV, PBCW.
template <int A>
void node_jets(int i, int j, int k, double& su, double& sp) {
    const Grid g = grid();
    jets_of_case<A>(g).add(Cell{i, j, k, g.index(i, j, k)}, su, sp);
}

}  // namespace

void SUBU() { set_up_momentum<0>(); }
void SUBV() { set_up_momentum<1>(); }
void SUBW() { set_up_momentum<2>(); }

void PBCU(int i, int j, int k, double& su, double& sp) { node_jets<0>(i, j, k, su, sp); }
void PBCV(int i, int j, int k, double& su, double& sp) { node_jets<1>(i, j, k, su, sp); }
void PBCW(int i, int j, int k, double& su, double& sp) { node_jets<2>(i, j, k, su, sp); }

void CALCU(int dir) { sweep_momentum<0>(dir); }
void CALCV(int dir) { sweep_momentum<1>(dir); }
void CALCW(int dir) { sweep_momentum<2>(dir); }

void UMOM() { momentum_residual<0>(); }
void VMOM() { momentum_residual<1>(); }
void WMOM() { momentum_residual<2>(); }

}  // namespace tarvex
