// The three momentum equations of the staggered grid.
//
// U(P), V(P), W(P) live on the west, south and bottom face of cell P, between
// the low cell L (P-1, P-JSTRIDE, P-KSTRIDE) and P. One set of kernels,
// templated on the component's axis, serves all three; Component names the
// arrays of one of them. The neighbour coefficients of a node are
// the means of the cell coefficients of L and P and are formed again in every
// pass instead of being stored.
//
// Serial order of a node's sums, the same in every pass:
//   AP = aN + aS + aE + aW + aT + aB + SP
//   NB = aW·vW + aS·vS + aN·vN + aE·vE + aT·vT + aB·vB
// and the pressure force (P(L) - P(P))·(first width)·(second width) with the
// widths across the face (U: DY, DZ; V: DX, DZ; W: DX, DY), multiplied in
// this order.

#include <cmath>

#include "engine/engine.h"
#include "engine/solver_kernels.h"
#include "engine/solver_loops.h"

namespace tarvex {

namespace {

using solver::Cell;
using solver::Grid;
using solver::Index;

// The arrays of one component: the velocity; the centre coefficient, source
// (both after relaxation) and numerator of the last sweep at each node; the
// case sources (explicit and implicit, cell-centred); the open fraction and
// density of the node's face.
template <int Axis>
struct Component;

template <>
struct Component<0> {
    static constexpr double* vel = fields.U;
    static constexpr double* ap = coefs.APU;
    static constexpr double* su = fields.SUU;
    static constexpr double* h = coefs.HU;
    static constexpr const double* sc = fields.SCU;
    static constexpr const double* sp = fields.SPU;
    static constexpr const double* cprf = fields.CPRU;
    static constexpr const double* denf = fields.DENU;
};
template <>
struct Component<1> {
    static constexpr double* vel = fields.V;
    static constexpr double* ap = coefs.APV;
    static constexpr double* su = fields.SUV;
    static constexpr double* h = coefs.HV;
    static constexpr const double* sc = fields.SCV;
    static constexpr const double* sp = fields.SPV;
    static constexpr const double* cprf = fields.CPRV;
    static constexpr const double* denf = fields.DENV;
};
template <>
struct Component<2> {
    static constexpr double* vel = fields.W;
    static constexpr double* ap = coefs.APW;
    static constexpr double* su = fields.SUW;
    static constexpr double* h = coefs.HW;
    static constexpr const double* sc = fields.SCW;
    static constexpr const double* sp = fields.SPW;
    static constexpr const double* cprf = fields.CPRW;
    static constexpr const double* denf = fields.DENW;
};

// The run values of a component and its sums: BUOYX ..., RLXU ..., the
// set-up residual sum RU0 ... and the post-sweep sum RU ...
struct ComponentValues {
    double buoy;
    double rlx;
    double* sum0;
    double* sum;
};

template <int Axis>
ComponentValues component_values() {
    if constexpr (Axis == 0) return {runctl.BUOYX, runctl.RLXU, &runctl.RU0, &runctl.RU};
    else if constexpr (Axis == 1) return {runctl.BUOYY, runctl.RLXV, &runctl.RV0, &runctl.RV};
    else return {runctl.BUOYZ, runctl.RLXW, &runctl.RW0, &runctl.RW};
}

// First node index along the component's axis: the west (south, bottom) wall
// face carries no node.
constexpr int FIRST_NODE = 2;

// The two cell widths across the node's face, in the order the pressure force
// multiplies them.
template <int Axis>
inline double width_a(const Cell& c) {
    return Axis == 0 ? fields.DY[c.j] : fields.DX[c.i];
}
template <int Axis>
inline double width_b(const Cell& c) {
    return Axis == 2 ? fields.DY[c.j] : fields.DZ[c.k];
}

// (P(L) - P(P)) times the two widths across the face.
template <int Axis>
inline double pressure_force(const double* pr, Index l, const Cell& c) {
    return (pr[l] - pr[c.p]) * width_a<Axis>(c) * width_b<Axis>(c);
}

struct NodeCoefs {
    double an, as, ae, aw, at, ab;
};

// The neighbour coefficients and the neighbour sum of the nodes of one
// component, from the cell coefficients of the two cells beside each node.
template <int Axis>
struct NodeStencil {
    static constexpr solver::CellCoefs cc{};
    static constexpr const double* cprf = Component<Axis>::cprf;

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
        if constexpr (Axis == 0) {
            if (!(c.i < g.nx && is_open(cprf[p + 1]))) a.ae = 0.0;
            if (!(c.i > FIRST_NODE && is_open(cprf[p - 1]))) a.aw = 0.0;
        } else if constexpr (Axis == 1) {
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
        if (c.i > (Axis == 0 ? FIRST_NODE : 1)) nb += a.aw * v[p - 1];
        if (c.j > (Axis == 1 ? FIRST_NODE : 1)) nb += a.as * v[p - g.js];
        if (c.j < g.ny) nb += a.an * v[p + g.js];
        if (c.i < g.nx) nb += a.ae * v[p + 1];
        if (c.k < g.nz) nb += a.at * v[p + g.ks];
        if (c.k > (Axis == 2 ? FIRST_NODE : 1)) nb += a.ab * v[p - g.ks];
        return nb;
    }
};

// Momentum of air entering through pressure boundaries at the node of cell
// (i, j, k): side 1 is the low cell, side 2 the cell itself. For each side the
// last inflowing row (table order) sets the coefficient, and the last
// inflowing row whose face lies across this component sets the source. A side
// takes part when its cell is open from OPEN_MIN on.
template <int Axis>
void jets(int i, int j, int k, double& su, double& sp) {
    if (pbtable.PBON != 1 || pbtable.NPB <= 0) return;
    const Grid g = loops::grid();
    const Cell node{i, j, k, g.index(i, j, k)};
    const double area = solver::axis_face_area<Axis>(node);
    const int face_low = solver::LOW_FACE<Axis>;     // source as it is
    const int face_high = solver::HIGH_FACE<Axis>;   // source with the velocity negated
    double src[2] = {0.0, 0.0};
    double cof[2] = {0.0, 0.0};
    for (int side = 0; side < 2; ++side) {
        const int ci = (side == 0 && Axis == 0) ? i - 1 : i;
        const int cj = (side == 0 && Axis == 1) ? j - 1 : j;
        const int ck = (side == 0 && Axis == 2) ? k - 1 : k;
        const Index c = side == 0 ? node.p - g.stride(Axis) : node.p;
        for (int n : pb_rows(ci, cj, ck)) {
            if (!is_open_from_min(fields.CPR[c])) continue;
            const double den = fields.DEN[c];
            const double m =
                pb_power_law(den, pbtable.PBCOEF[n], area, pbtable.PBP[n] - fields.P[c], pbtable.PBEXP[n]);
            const double vel = m / (area * den);
            if (!(m > 0.0)) continue;
            cof[side] = m;
            const int face = pbtable.PBFACE[n];
            if (face == face_low)
                src[side] = m * vel;
            else if (face == face_high)
                src[side] = m * -vel;
        }
    }
    su = 0.5 * (src[0] + src[1]);
    sp = 0.5 * (cof[0] + cof[1]);
}

// The set-up of one node: centre coefficient and source, relaxed in steady
// runs, and the residual of the current velocity, which is the node's term of
// RU0 (RV0, RW0).
template <int Axis>
struct SetupKernel {
    using C = Component<Axis>;
    static constexpr const double* mimb = fields.MIMB;
    static constexpr const double* vol = coefs.VOL;
    static constexpr const double* t = fields.T;
    static constexpr const double* pr = fields.P;
    static constexpr const double* rtref = regions.RTREF;
    static constexpr const int32_t* ireg = regions.IREG;
    static constexpr double* resuvw = resid.RESUVW;

    Grid g;
    NodeStencil<Axis> stencil;
    double buoy;      // BUOYX ...
    double rlx;       // RLXU ...
    bool transient;   // ITRANS = 1
    bool buoyant;     // ITEMP not 0 and a buoyancy factor not 0
    bool with_pb;     // the case has pressure boundaries
    double dt;        // DT

    double operator()(const Cell& c) const {
        const Index p = c.p;
        if (!is_open(C::cprf[p])) return 0.0;
        const Index l = p - g.stride(Axis);
        const NodeCoefs a = stencil.coefs_at(c, l);
        const double vel = C::vel[p];
        double su = 0.5 * (C::sc[l] + C::sc[p]);
        double sp = 0.5 * (C::sp[l] + C::sp[p]);
        double jet_su = 0.0, jet_sp = 0.0;
        if (with_pb && (pb_row_touched(Axis == 1 ? c.j - 1 : c.j, Axis == 2 ? c.k - 1 : c.k) ||
                        pb_row_touched(c.j, c.k)))
            jets<Axis>(c.i, c.j, c.k, jet_su, jet_sp);
        su += jet_su;
        sp += jet_sp;
        const double cp = solver::outflow_coefficient(0.5 * (mimb[l] + mimb[p]));
        su += cp * vel;
        sp += cp;
        if (transient) {
            const double tt = 0.5 * (vol[l] + vol[p]) * C::denf[p] / dt;
            sp += tt;
            su += tt * vel;
        }
        if (buoyant) {
            const double vl = vol[l], vp = vol[p];
            const double tf = (t[p] * vp + t[l] * vl) / (vl + vp);
            su += buoy * 0.5 * (vl + vp) * (1.0 / tf - rtref[ireg[p]]);
        }
        const double ap = a.an + a.as + a.ae + a.aw + a.at + a.ab + sp;
        const double nb = stencil.neighbour_sum(a, C::vel, c);
        const double f = pressure_force<Axis>(pr, l, c);
        const double r = std::fabs(nb + f + su - ap * vel);
        if constexpr (Axis == 0) {
            resuvw[p] = r;
        } else {
            if (r > resuvw[p]) resuvw[p] = r;
        }
        solver::store_relaxed(C::ap[p], C::su[p], ap, su, vel, rlx, transient);
        return r;
    }
};

// One node of a sweep: the numerator is stored at every visited node, the
// velocity changes where the centre coefficient is not 0; the absolute change
// is the node's term of SDU and XDU.
template <int Axis>
struct SweepKernel {
    using C = Component<Axis>;
    static constexpr const double* cpr = fields.CPR;
    static constexpr const double* pr = fields.P;

    Grid g;
    NodeStencil<Axis> stencil;

    double operator()(const Cell& c) const {
        const Index p = c.p;
        if (!is_open(cpr[p])) return 0.0;
        const Index l = p - g.stride(Axis);
        const NodeCoefs a = stencil.coefs_at(c, l);
        const double h = C::su[p] + stencil.neighbour_sum(a, C::vel, c);
        C::h[p] = h;
        const double ap = C::ap[p];
        if (ap == 0.0) return 0.0;
        const double value = (h + pressure_force<Axis>(pr, l, c)) / ap;
        const double d = std::fabs(value - C::vel[p]);
        C::vel[p] = value;
        return d;
    }
};

// The residual of one set-up node after the sweeps: its term of RU (RV, RW).
template <int Axis>
struct ResidualKernel {
    using C = Component<Axis>;
    static constexpr const double* pr = fields.P;

    Grid g;
    NodeStencil<Axis> stencil;

    double operator()(const Cell& c) const {
        const Index p = c.p;
        if (!is_open(C::cprf[p])) return 0.0;
        const Index l = p - g.stride(Axis);
        const NodeCoefs a = stencil.coefs_at(c, l);
        const double nb = stencil.neighbour_sum(a, C::vel, c);
        return std::fabs(nb + C::su[p] + pressure_force<Axis>(pr, l, c) - C::ap[p] * C::vel[p]);
    }
};

template <int Axis>
void setup() {
    const Grid g = loops::grid();
    const ComponentValues v = component_values<Axis>();
    const SetupKernel<Axis> kernel{g,
                                   NodeStencil<Axis>{g},
                                   v.buoy,
                                   v.rlx,
                                   runctl.ITRANS == 1,
                                   runctl.ITEMP != 0 && v.buoy != 0.0,
                                   pbtable.PBON == 1 && pbtable.NPB > 0,
                                   runctl.DT};
    loops::Sum sum0{*v.sum0};
    loops::pass(g, loops::nodes<Axis>(g), kernel, sum0);
    *v.sum0 = sum0.value;
}

template <int Axis>
void sweep(int dir) {
    const Grid g = loops::grid();
    const SweepKernel<Axis> kernel{g, NodeStencil<Axis>{g}};
    loops::ChangeSums changes{domsums.SDU, domsums.XDU};
    loops::sweep(g, loops::nodes<Axis>(g), loops::sweep_order(dir), kernel, changes);
    domsums.SDU = changes.sum;
    domsums.XDU = changes.max;
}

template <int Axis>
void residual() {
    const Grid g = loops::grid();
    const ComponentValues v = component_values<Axis>();
    const ResidualKernel<Axis> kernel{g, NodeStencil<Axis>{g}};
    loops::Sum sum{*v.sum};
    loops::pass(g, loops::nodes<Axis>(g), kernel, sum);
    *v.sum = sum.value;
}

}  // namespace

void SUBU() { setup<0>(); }
void SUBV() { setup<1>(); }
void SUBW() { setup<2>(); }

void PBCU(int i, int j, int k, double& su, double& sp) { jets<0>(i, j, k, su, sp); }
void PBCV(int i, int j, int k, double& su, double& sp) { jets<1>(i, j, k, su, sp); }
void PBCW(int i, int j, int k, double& su, double& sp) { jets<2>(i, j, k, su, sp); }

void CALCU(int dir) { sweep<0>(dir); }
void CALCV(int dir) { sweep<1>(dir); }
void CALCW(int dir) { sweep<2>(dir); }

void UMOM() { residual<0>(); }
void VMOM() { residual<1>(); }
void WMOM() { residual<2>(); }

}  // namespace tarvex
