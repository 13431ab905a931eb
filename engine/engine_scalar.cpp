// The three transported scalars: temperature T, contaminant C and water
// vapour C2. One set-up scheme, one sweep and one residual pass serve all
// three; each equation is described by the arrays it works on.
//
// Set-up of cell P (k, j, i ascending, cells with CPR > 1e-20):
//   CP = max(0, -MIMB);  SU = SC + CP·phi;  SP = SPc + CP
//   time-step mode: tau = DEN·VOL/DT;  SP += tau;  SU += tau·phi
//   USRSUB(code, ...);  AP = AN + AS + AE + AW + AT + AB + SP
//   NB = AW·phiW + AS·phiS + AN·phiN + AE·phiE + AT·phiT + AB·phiB
//   r = NB + SU - AP·phi  (summed and stored as |r|)
//   steady: AP/alpha and SU + (1 - alpha)·(AP/alpha)·phi are stored.
// The water-vapour set-up runs its own first steps (surface exchange,
// clipping, condensation) and then finishes like the others.

#include <cmath>

#include "engine/engine.h"
#include "engine/solver_loops.h"

namespace tarvex {

namespace {

using solver::Grid;
using solver::OPEN_TINY;

// The arrays of one scalar equation.
struct ScalarEq {
    double* phi;        // the variable
    const double* sc;   // case source, explicit part
    const double* spc;  // case source, implicit part
    double* ap;         // centre coefficient after relaxation
    double* su;         // source after relaxation
    double* res;        // per-cell set-up residual
};

ScalarEq temperature_eq() {
    return {fields.T, fields.SCT, fields.SPT, coefs.APT, coefs.SUT, resid.REST};
}
ScalarEq contaminant_eq() {
    return {fields.C, fields.SCC, fields.SPC, fields.APC, fields.SUC, resid.RESC};
}
ScalarEq vapour_eq() {
    return {c2eq.C2, c2eq.SCC2, c2eq.SPC2, c2eq.APC2, c2eq.SUC2, resid.RESC2};
}

// Set-up steps from the neighbour sum on: residual, then relaxation (steady)
// or the plain coefficient and source (time-step mode).
inline void finish_setup(const Grid& g, const ScalarEq& eq, int i, int j, int k, int32_t p, double su, double ap,
                         double alpha, bool transient, double& sum) {
    const double phi = eq.phi[p];
    const double nb = solver::scalar_neighbour_sum(g, eq.phi, i, j, k, p);
    const double r = std::fabs(nb + su - ap * phi);
    sum += r;
    eq.res[p] = r;
    solver::store_relaxed(eq.ap[p], eq.su[p], ap, su, phi, alpha, transient);
}

// Outflow part of the centre coefficient: the excess of outflow over inflow.
inline double outflow_coefficient(double mimb) {
    const double cp = -mimb;
    return cp < 0.0 ? 0.0 : cp;
}

inline double neighbour_coefficients(int32_t p) {
    return coefs.AN[p] + coefs.AS[p] + coefs.AE[p] + coefs.AW[p] + coefs.AT[p] + coefs.AB[p];
}

// The common set-up of the temperature and contaminant equations.
void setup_common(const ScalarEq& eq, int hook_code, double alpha, double& sum_out) {
    const Grid g = solver::grid();
    const bool transient = runctl.ITRANS == 1;
    const double dt = runctl.DT;
    double sum = sum_out;
    solver::for_all_cells(g, [&](int i, int j, int k, int32_t p) {
        if (!(fields.CPR[p] > OPEN_TINY)) return;
        const double cp = outflow_coefficient(fields.MIMB[p]);
        double su = eq.sc[p] + cp * eq.phi[p];
        double sp = eq.spc[p] + cp;
        if (transient) {
            const double tau = fields.DEN[p] * coefs.VOL[p] / dt;
            sp += tau;
            su += tau * eq.phi[p];
        }
        USRSUB(hook_code, i, j, k, su, sp);
        const double ap = neighbour_coefficients(p) + sp;
        finish_setup(g, eq, i, j, k, p, su, ap, alpha, transient, sum);
    });
    sum_out = sum;
}

// Water condensed in cell p this iteration (kg/s): the excess of the content
// over saturation at the cell's temperature. Nothing where the saturation
// pressure reaches the atmospheric pressure, since saturation has no water
// content there.
inline double condensation(int32_t p) {
    const double t = fields.T[p] - KELVIN_OFFSET;
    const double c2 = c2eq.C2[p];
    if (!(WC2RH(c2, t) > 100.0)) return 0.0;
    if (!(T2SVP(t) < 101325.0)) return 0.0;
    return (c2 - RH2WC(100.0, t)) * coefs.VOL[p] * AIRDEN / fields.T[p];
}

// The surface-exchange sum of the water-vapour equation, before its factor:
// (C2(P) - C2 beyond) · area / distance over the neighbours inside the grid
// (north, south, east, west, top, bottom) and the pressure boundaries whose
// box holds the cell.
inline double surface_exchange(const Grid& g, int i, int j, int k, int32_t p, bool with_pb) {
    const double* c2 = c2eq.C2;
    const double own = c2[p];
    double s = 0.0;
    if (j < g.ny)
        s += (own - c2[p + g.js]) * fields.AREAV[p + g.js] / std::fabs(gridline.YC[j + 1] - gridline.YC[j]);
    if (j > 1) s += (own - c2[p - g.js]) * fields.AREAV[p] / std::fabs(gridline.YC[j - 1] - gridline.YC[j]);
    if (i < g.nx) s += (own - c2[p + 1]) * fields.AREAU[p + 1] / std::fabs(gridline.XC[i + 1] - gridline.XC[i]);
    if (i > 1) s += (own - c2[p - 1]) * fields.AREAU[p] / std::fabs(gridline.XC[i - 1] - gridline.XC[i]);
    if (k < g.nz)
        s += (own - c2[p + g.ks]) * fields.AREAW[p + g.ks] / std::fabs(gridline.ZC[k + 1] - gridline.ZC[k]);
    if (k > 1) s += (own - c2[p - g.ks]) * fields.AREAW[p] / std::fabs(gridline.ZC[k - 1] - gridline.ZC[k]);
    if (with_pb) {
        for_pb_rows(i, j, k, [&](int n) {
            const int face = pbtable.PBFACE[n];
            double area, dist;
            if (face <= 2) {
                area = fields.DY[j] * fields.DZ[k];
                dist = fields.DX[i];
            } else if (face <= 4) {
                area = fields.DX[i] * fields.DZ[k];
                dist = fields.DY[j];
            } else {
                area = fields.DX[i] * fields.DY[j];
                dist = fields.DZ[k];
            }
            s += (own - pbtable.PBC2[n]) * area / dist;
        });
    }
    return s;
}

// One Gauss-Seidel sweep. Open is the equation's cell test; clip sets the new
// value to 0 where the neighbour sum plus source is not positive; sd and xd
// (may be null) collect the changes.
template <class Open, bool Clip>
void sweep(const ScalarEq& eq, int dir, Open open, double* sd, double* xd) {
    const Grid g = solver::grid();
    double sum = sd ? *sd : 0.0;
    double max = xd ? *xd : 0.0;
    solver::for_cells(g, 1, 1, 1, dir == 1, [&](int i, int j, int k, int32_t p) {
        if (!open(fields.CPR[p])) return;
        const double ap = eq.ap[p];
        if (ap == 0.0) return;
        const double top = solver::scalar_neighbour_sum(g, eq.phi, i, j, k, p) + eq.su[p];
        double value;
        if (Clip && top <= 0.0)
            value = 0.0;
        else
            value = top / ap;
        if (sd) solver::note_change(std::fabs(value - eq.phi[p]), sum, max);
        eq.phi[p] = value;
    });
    if (sd) *sd = sum;
    if (xd) *xd = max;
}

// Post-sweep residual of every cell with CPR > 1e-20, added to sum.
void residual(const ScalarEq& eq, double& sum_out) {
    const Grid g = solver::grid();
    double sum = sum_out;
    solver::for_all_cells(g, [&](int i, int j, int k, int32_t p) {
        if (!(fields.CPR[p] > OPEN_TINY)) return;
        const double nb = solver::scalar_neighbour_sum(g, eq.phi, i, j, k, p);
        sum += std::fabs(nb + eq.su[p] - eq.ap[p] * eq.phi[p]);
    });
    sum_out = sum;
}

struct NonZero {
    bool operator()(double cpr) const { return cpr != 0.0; }
};
struct AboveTiny {
    bool operator()(double cpr) const { return cpr > OPEN_TINY; }
};

}  // namespace

void SUBT() { setup_common(temperature_eq(), 4, runctl.RLXT, runctl.RT0); }

void SUBA() { setup_common(contaminant_eq(), 5, runctl.RLXC, runctl.RC0); }

void SUB2A() {
    const ScalarEq eq = vapour_eq();
    const Grid g = solver::grid();
    const bool transient = runctl.ITRANS == 1;
    const bool with_pb = pbtable.PBON == 1 && pbtable.NPB > 0;
    const double dt = runctl.DT;
    const double alpha = c2eq.RLXC2;
    double sum = runctl.RC20;
    double condt = runctl.CONDT;
    solver::PbRowCache rows;
    solver::for_all_cells(g, [&](int i, int j, int k, int32_t p) {
        if (!(fields.CPR[p] > OPEN_TINY)) return;
        const double s = 0.003162 * surface_exchange(g, i, j, k, p, with_pb && rows.any(j, k));
        const double cp = outflow_coefficient(fields.MIMB[p]);
        double su = c2eq.SCC2[p] + cp * c2eq.C2[p];
        double sp = c2eq.SPC2[p] + cp;
        if (c2eq.C2[p] < 0.0) c2eq.C2[p] = 0.0;
        const double cond = condensation(p);
        c2eq.COND[p] = cond;
        if (cond != 0.0) condt += cond;
        su -= cond;
        if (transient) {
            const double tau = fields.DEN[p] * coefs.VOL[p] / dt;
            sp += tau;
            su += tau * c2eq.C2[p];
        }
        USRSUB(5, i, j, k, su, sp);
        const double ap = neighbour_coefficients(p) + sp;
        if (s < su) su -= s;
        finish_setup(g, eq, i, j, k, p, su, ap, alpha, transient, sum);
    });
    runctl.RC20 = sum;
    runctl.CONDT = condt;
}

void CALCT(int dir) { sweep<NonZero, false>(temperature_eq(), dir, NonZero{}, &domsums.SDT, &domsums.XDT); }

void CALCA(int dir) { sweep<AboveTiny, true>(contaminant_eq(), dir, AboveTiny{}, &domsums.SDC, &domsums.XDC); }

void CALC2A(int dir) { sweep<AboveTiny, false>(vapour_eq(), dir, AboveTiny{}, nullptr, nullptr); }

void ENER() { residual(temperature_eq(), runctl.RT); }

void CONC() { residual(contaminant_eq(), runctl.RC); }

void CONC2() { residual(vapour_eq(), runctl.RC2); }

}  // namespace tarvex
