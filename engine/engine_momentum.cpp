// The three momentum equations of the staggered grid.
//
// U(P), V(P), W(P) live on the west, south and bottom face of cell P, between
// the low cell L (P-1, P-JSTRIDE, P-KSTRIDE) and P. One set of routines,
// templated on the component's axis, serves all three; a Component holds the
// arrays and factors of one of them. The neighbour coefficients of a node are
// the means of the cell coefficients of L and P and are formed again in every
// pass instead of being stored.
//
// Serial order of a node's sums, the same in every pass:
//   AP = aN + aS + aE + aW + aT + aB + SP
//   NB = aW·vW + aS·vS + aN·vN + aE·vE + aT·vT + aB·vB
// and the pressure force (P(L) - P(P))·(first width)·(second width) with the
// widths across the face (U: DY, DZ; V: DX, DZ; W: DX, DY).

#include <cmath>

#include "engine/engine.h"
#include "engine/solver_loops.h"

namespace tarvex {

namespace {

using solver::Grid;
using solver::OPEN_TINY;

struct Component {
    double* vel;          // U, V or W
    double* ap;           // APU ...: centre coefficient after relaxation
    double* su;           // SUU ...: source after relaxation
    double* h;            // HU ...: neighbour sum plus source of the last sweep
    const double* sc;     // SCU ...: case source, explicit
    const double* sp;     // SPU ...: case source, implicit
    const double* cprf;   // CPRU ...: open fraction of the node's face
    const double* denf;   // DENU ...: density at the face
    double buoy;          // BUOYX ...
    double rlx;           // RLXU ...
    double* sum0;         // RU0 ...: set-up residual sum
    double* sum;          // RU ...: post-sweep residual sum
};

template <int Axis>
Component component();

template <>
Component component<0>() {
    return {fields.U,     coefs.APU,  fields.SUU,  coefs.HU,    fields.SCU,    fields.SPU,
            fields.CPRU,  fields.DENU, runctl.BUOYX, runctl.RLXU, &runctl.RU0, &runctl.RU};
}
template <>
Component component<1>() {
    return {fields.V,     coefs.APV,  fields.SUV,  coefs.HV,    fields.SCV,    fields.SPV,
            fields.CPRV,  fields.DENV, runctl.BUOYY, runctl.RLXV, &runctl.RV0, &runctl.RV};
}
template <>
Component component<2>() {
    return {fields.W,     coefs.APW,  fields.SUW,  coefs.HW,    fields.SCW,    fields.SPW,
            fields.CPRW,  fields.DENW, runctl.BUOYZ, runctl.RLXW, &runctl.RW0, &runctl.RW};
}

// Index step to the low cell along the component's axis.
template <int Axis>
inline int32_t axis_stride(const Grid& g) {
    return Axis == 0 ? 1 : (Axis == 1 ? g.js : g.ks);
}

// First node index along each direction: 2 along the component's axis (the
// west wall face carries no node), 1 across it.
template <int Axis>
inline constexpr int first_i() { return Axis == 0 ? 2 : 1; }
template <int Axis>
inline constexpr int first_j() { return Axis == 1 ? 2 : 1; }
template <int Axis>
inline constexpr int first_k() { return Axis == 2 ? 2 : 1; }

// The two cell widths across the node's face, in the order the pressure force
// multiplies them.
template <int Axis>
inline double width_a(int i, int j) {
    return Axis == 0 ? fields.DY[j] : fields.DX[i];
}
template <int Axis>
inline double width_b(int j, int k) {
    return Axis == 2 ? fields.DY[j] : fields.DZ[k];
}

template <int Axis>
inline double pressure_force(int32_t l, int32_t p, int i, int j, int k) {
    return (fields.P[l] - fields.P[p]) * width_a<Axis>(i, j) * width_b<Axis>(j, k);
}

struct NodeCoefs {
    double an, as, ae, aw, at, ab;
};

// Means of the cell coefficients of L and P. The pair along the component's
// axis is 0 where the neighbour node beyond is at the wall or closed.
template <int Axis>
inline NodeCoefs node_coefs(const Grid& g, const Component& c, int i, int j, int k, int32_t l, int32_t p) {
    NodeCoefs a;
    a.an = 0.5 * (coefs.AN[l] + coefs.AN[p]);
    a.as = 0.5 * (coefs.AS[l] + coefs.AS[p]);
    a.ae = 0.5 * (coefs.AE[l] + coefs.AE[p]);
    a.aw = 0.5 * (coefs.AW[l] + coefs.AW[p]);
    a.at = 0.5 * (coefs.AT[l] + coefs.AT[p]);
    a.ab = 0.5 * (coefs.AB[l] + coefs.AB[p]);
    if constexpr (Axis == 0) {
        if (!(i < g.nx && c.cprf[p + 1] > OPEN_TINY)) a.ae = 0.0;
        if (!(i > 2 && c.cprf[p - 1] > OPEN_TINY)) a.aw = 0.0;
    } else if constexpr (Axis == 1) {
        if (!(j < g.ny && c.cprf[p + g.js] > OPEN_TINY)) a.an = 0.0;
        if (!(j > 2 && c.cprf[p - g.js] > OPEN_TINY)) a.as = 0.0;
    } else {
        if (!(k < g.nz && c.cprf[p + g.ks] > OPEN_TINY)) a.at = 0.0;
        if (!(k > 2 && c.cprf[p - g.ks] > OPEN_TINY)) a.ab = 0.0;
    }
    return a;
}

// Neighbour sum W, S, N, E, T, B. Along the component's axis the low
// neighbour node exists from the third index on.
template <int Axis>
inline double node_neighbour_sum(const Grid& g, const NodeCoefs& a, const double* v, int i, int j, int k,
                                 int32_t p) {
    double nb = -0.0;   // -0.0 + x is x exactly, so the first term present starts the sum
    if (i > first_i<Axis>()) nb += a.aw * v[p - 1];
    if (j > first_j<Axis>()) nb += a.as * v[p - g.js];
    if (j < g.ny) nb += a.an * v[p + g.js];
    if (i < g.nx) nb += a.ae * v[p + 1];
    if (k < g.nz) nb += a.at * v[p + g.ks];
    if (k > first_k<Axis>()) nb += a.ab * v[p - g.ks];
    return nb;
}

// Momentum of air entering through pressure boundaries at the node of cell
// (i, j, k): side 1 is the low cell, side 2 the cell itself. For each side the
// last inflowing row (table order) sets the coefficient, and the last
// inflowing row whose face lies across this component sets the source.
template <int Axis>
void jets(int i, int j, int k, double& su, double& sp) {
    if (pbtable.PBON != 1 || pbtable.NPB <= 0) return;
    const Grid g = solver::grid();
    const int32_t p = i + (j - 1) * g.js + (k - 1) * g.ks;
    const double area = width_a<Axis>(i, j) * width_b<Axis>(j, k);
    const int face_low = 2 * Axis + 1;    // 1, 3, 5: source as it is
    const int face_high = 2 * Axis + 2;   // 2, 4, 6: source with the velocity negated
    double src[2] = {0.0, 0.0};
    double cof[2] = {0.0, 0.0};
    for (int side = 0; side < 2; ++side) {
        const int ci = (side == 0 && Axis == 0) ? i - 1 : i;
        const int cj = (side == 0 && Axis == 1) ? j - 1 : j;
        const int ck = (side == 0 && Axis == 2) ? k - 1 : k;
        const int32_t c = side == 0 ? p - axis_stride<Axis>(g) : p;
        for_pb_rows(ci, cj, ck, [&](int n) {
            if (!is_open_from_min(fields.CPR[c])) return;
            const double den = fields.DEN[c];
            const double m =
                pb_power_law(den, pbtable.PBCOEF[n], area, pbtable.PBP[n] - fields.P[c], pbtable.PBEXP[n]);
            const double vel = m / (area * den);
            if (!(m > 0.0)) return;
            cof[side] = m;
            const int face = pbtable.PBFACE[n];
            if (face == face_low)
                src[side] = m * vel;
            else if (face == face_high)
                src[side] = m * -vel;
        });
    }
    su = 0.5 * (src[0] + src[1]);
    sp = 0.5 * (cof[0] + cof[1]);
}

inline double outflow_coefficient(double mimb_l, double mimb_p) {
    const double cp = -0.5 * (mimb_l + mimb_p);
    return cp < 0.0 ? 0.0 : cp;
}

template <int Axis>
void setup() {
    const Component c = component<Axis>();
    const Grid g = solver::grid();
    const int32_t step = axis_stride<Axis>(g);
    const bool transient = runctl.ITRANS == 1;
    const bool buoyant = runctl.ITEMP != 0 && c.buoy != 0.0;
    const double dt = runctl.DT;
    const double rlx = c.rlx;
    const bool with_pb = pbtable.PBON == 1 && pbtable.NPB > 0;
    solver::PbRowCache low_row, own_row;   // rows of the jet's two cells
    double sum0 = *c.sum0;
    solver::for_cells(g, first_i<Axis>(), first_j<Axis>(), first_k<Axis>(), true,
                      [&](int i, int j, int k, int32_t p) {
        if (!(c.cprf[p] > OPEN_TINY)) return;
        const int32_t l = p - step;
        const NodeCoefs a = node_coefs<Axis>(g, c, i, j, k, l, p);
        const double vel = c.vel[p];
        double su = 0.5 * (c.sc[l] + c.sc[p]);
        double sp = 0.5 * (c.sp[l] + c.sp[p]);
        double jet_su = 0.0, jet_sp = 0.0;
        if (with_pb && (low_row.any(Axis == 1 ? j - 1 : j, Axis == 2 ? k - 1 : k) || own_row.any(j, k)))
            jets<Axis>(i, j, k, jet_su, jet_sp);
        su += jet_su;
        sp += jet_sp;
        const double cp = outflow_coefficient(fields.MIMB[l], fields.MIMB[p]);
        su += cp * vel;
        sp += cp;
        if (transient) {
            const double tt = 0.5 * (coefs.VOL[l] + coefs.VOL[p]) * c.denf[p] / dt;
            sp += tt;
            su += tt * vel;
        }
        if (buoyant) {
            const double vl = coefs.VOL[l], vp = coefs.VOL[p];
            const double tf = (fields.T[p] * vp + fields.T[l] * vl) / (vl + vp);
            su += c.buoy * 0.5 * (vl + vp) * (1.0 / tf - regions.RTREF[regions.IREG[p]]);
        }
        const double ap = a.an + a.as + a.ae + a.aw + a.at + a.ab + sp;
        const double nb = node_neighbour_sum<Axis>(g, a, c.vel, i, j, k, p);
        const double f = pressure_force<Axis>(l, p, i, j, k);
        const double r = std::fabs(nb + f + su - ap * vel);
        sum0 += r;
        if constexpr (Axis == 0) {
            resid.RESUVW[p] = r;
        } else {
            if (r > resid.RESUVW[p]) resid.RESUVW[p] = r;
        }
        solver::store_relaxed(c.ap[p], c.su[p], ap, su, vel, rlx, transient);
    });
    *c.sum0 = sum0;
}

template <int Axis>
void sweep(int dir) {
    const Component c = component<Axis>();
    const Grid g = solver::grid();
    const int32_t step = axis_stride<Axis>(g);
    double sdu = domsums.SDU;
    double xdu = domsums.XDU;
    solver::for_cells(g, first_i<Axis>(), first_j<Axis>(), first_k<Axis>(), dir == 1,
                      [&](int i, int j, int k, int32_t p) {
        if (!(fields.CPR[p] > OPEN_TINY)) return;
        const int32_t l = p - step;
        const NodeCoefs a = node_coefs<Axis>(g, c, i, j, k, l, p);
        const double h = c.su[p] + node_neighbour_sum<Axis>(g, a, c.vel, i, j, k, p);
        c.h[p] = h;
        const double ap = c.ap[p];
        if (ap == 0.0) return;
        const double value = (h + pressure_force<Axis>(l, p, i, j, k)) / ap;
        solver::note_change(std::fabs(value - c.vel[p]), sdu, xdu);
        c.vel[p] = value;
    });
    domsums.SDU = sdu;
    domsums.XDU = xdu;
}

template <int Axis>
void residual() {
    const Component c = component<Axis>();
    const Grid g = solver::grid();
    const int32_t step = axis_stride<Axis>(g);
    double sum = *c.sum;
    solver::for_cells(g, first_i<Axis>(), first_j<Axis>(), first_k<Axis>(), true,
                      [&](int i, int j, int k, int32_t p) {
        if (!(c.cprf[p] > OPEN_TINY)) return;
        const int32_t l = p - step;
        const NodeCoefs a = node_coefs<Axis>(g, c, i, j, k, l, p);
        const double nb = node_neighbour_sum<Axis>(g, a, c.vel, i, j, k, p);
        sum += std::fabs(nb + c.su[p] + pressure_force<Axis>(l, p, i, j, k) - c.ap[p] * c.vel[p]);
    });
    *c.sum = sum;
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
