// The three transported scalars: temperature T, contaminant C and water
// vapour C2. One set-up kernel (ScalarSetup), one sweep kernel (ScalarSweep)
// and one residual kernel (ScalarResidual) serve all three; each equation is
// described by the arrays it works on (TemperatureEq, ContaminantEq,
// VapourEq).
//
// Set-up of cell P (k, j, i ascending, cells with CPR > OPEN_MIN):
//   CP = max(0, -MIMB);  SU = SC + CP·phi;  SP = SPc + CP
//   time-step mode: tau = DEN·VOL/DT;  SP += tau;  SU += tau·phi
//   USRSUB(code, ...);  AP = AN + AS + AE + AW + AT + AB + SP
//   NB = AW·phiW + AS·phiS + AN·phiN + AE·phiE + AT·phiT + AB·phiB
//   r = NB + SU - AP·phi  (summed and stored as |r|)
//   steady: AP/alpha and SU + (1 - alpha)·(AP/alpha)·phi are stored.
// The water-vapour set-up adds three steps to these: the surface-exchange
// sum before all others, the clipping of a negative content and the
// condensation after the sources, and the surface exchange's reduction of
// the source before the neighbour sum.

#include <cmath>

#include "engine/axis.h"
#include "engine/cells.h"
#include "engine/engine.h"
#include "engine/pbcells.h"
#include "engine/solver_kernels.h"
#include "engine/solver_loops.h"

namespace tarvex {

namespace {

// The arrays of the three scalar equations: the variable, the case sources
// (explicit and implicit part), the centre coefficient and source after
// relaxation, and the per-cell set-up residual.
struct TemperatureEq {
    static constexpr double* phi = fields.T;
    static constexpr const double* sc = fields.SCT;
    static constexpr const double* spc = fields.SPT;
    static constexpr double* ap = coefs.APT;
    static constexpr double* su = coefs.SUT;
    static constexpr double* res = resid.REST;
    static constexpr int HOOK = UVALUE_HOOK;   // USRSUB code
};
struct ContaminantEq {
    static constexpr double* phi = fields.C;
    static constexpr const double* sc = fields.SCC;
    static constexpr const double* spc = fields.SPC;
    static constexpr double* ap = fields.APC;
    static constexpr double* su = fields.SUC;
    static constexpr double* res = resid.RESC;
    static constexpr int HOOK = 5;
};
struct VapourEq {
    static constexpr double* phi = c2eq.C2;
    static constexpr const double* sc = c2eq.SCC2;
    static constexpr const double* spc = c2eq.SPC2;
    static constexpr double* ap = c2eq.APC2;
    static constexpr double* su = c2eq.SUC2;
    static constexpr double* res = resid.RESC2;
    static constexpr int HOOK = 5;
};

// What one cell's set-up adds to the sums of the pass: its absolute residual,
// and the water it condenses (always 0 but for water vapour).
struct ScalarSetupTerm {
    double residual = 0.0;
    double condensed = 0.0;
};

struct ScalarSetupSums {
    double residual;
    double condensed;
    void add(const ScalarSetupTerm& t) {
        residual += t.residual;
        if (t.condensed != 0.0) condensed += t.condensed;
    }
};

// The temperature and contaminant equations have no steps beyond the common
// ones.
struct CommonSteps {
    // Each cell's set-up reads only what the pass does not write.
    static constexpr bool ORDERED = false;
    double start(const Cell&) const { return 0.0; }
    double after_sources(const Cell&, double&) const { return 0.0; }
    void before_neighbours(double, double&) const {}
};

// Water condensed in a cell (kg/s): the excess of its content c2 over
// saturation at its temperature t (K), in its open volume. Nothing where the
// saturation pressure reaches the atmospheric pressure, since saturation has
// no water content there.
inline double condensation(double c2, double t, double vol) {
    const double tc = t - KELVIN_OFFSET;
    if (!(WC2RH(c2, tc) > 100.0)) return 0.0;
    if (!(T2SVP(tc) < 101325.0)) return 0.0;
    return (c2 - RH2WC(100.0, tc)) * vol * AIRDEN / t;
}

// The factor of the water-vapour equation's surface-exchange sum, by which
// the differences of content to the neighbours and to the pressure
// boundaries, times face area over distance, reduce the source.
constexpr double SURFACE_EXCHANGE = 0.003162;

// The water-vapour steps.
struct VapourSteps {
    // The content of each cell is clipped before the later cells read it, so
    // the set-up keeps the order of a forward sweep.
    static constexpr bool ORDERED = true;
    static constexpr double* c2 = c2eq.C2;
    static constexpr const double* t = fields.T;
    static constexpr const double* vol = coefs.VOL;
    static constexpr double* cond = c2eq.COND;
    static constexpr const int32_t* pbface = pbtable.PBFACE;
    static constexpr const double* pbc2 = pbtable.PBC2;

    solver::CellFaces faces;
    bool with_pb;   // the case has pressure boundaries

    // The surface-exchange sum SURFACE_EXCHANGE × ((C2(P) - C2 beyond) · area /
    // distance over the neighbours inside the grid (north, south, east, west,
    // top, bottom), then over the pressure boundaries whose box holds the cell
    // (whole face area and cell width by the boundary's face code)).
    double start(const Cell& c) const {
        const Index p = c.p;
        const double own = c2[p];
        double s = 0.0;
        faces.y.add_exchange_high(c, c2, own, s);
        faces.y.add_exchange_low(c, c2, own, s);
        faces.x.add_exchange_high(c, c2, own, s);
        faces.x.add_exchange_low(c, c2, own, s);
        faces.z.add_exchange_high(c, c2, own, s);
        faces.z.add_exchange_low(c, c2, own, s);
        if (with_pb && pb_row_touched(c.j, c.k)) {
            for (int n : pb_rows(c.i, c.j, c.k)) {
                const int face = pbface[n];
                s += (own - pbc2[n]) * pb_face_area(face, c.i, c.j, c.k) / pb_face_width(face, c.i, c.j, c.k);
            }
        }
        return SURFACE_EXCHANGE * s;
    }

    // A negative content is set to 0 (the sources already took the old
    // value), then the condensation leaves the source; returns the water
    // condensed.
    double after_sources(const Cell& c, double& su) const {
        const Index p = c.p;
        if (c2[p] < 0.0) c2[p] = 0.0;
        const double w = condensation(c2[p], t[p], vol[p]);
        cond[p] = w;
        su -= w;
        return w;
    }

    // The surface exchange reduces the source only when it is smaller.
    void before_neighbours(double s, double& su) const {
        if (s < su) su -= s;
    }
};

// The set-up of one open cell (CPR > OPEN_MIN) of equation Eq.
template <class Eq, class Steps>
struct ScalarSetup {
    static constexpr const double* cpr = fields.CPR;
    static constexpr const double* mimb = fields.MIMB;
    static constexpr const double* den = fields.DEN;
    static constexpr const double* vol = coefs.VOL;
    static constexpr solver::CellCoefs cc{};

    Grid g;
    Steps steps;
    solver::UvalueSurfaces surfaces;   // the source hook's (USRSUB) U-value surfaces
    bool transient;   // ITRANS = 1
    double dt;        // DT
    double alpha;     // relaxation factor

    ScalarSetupTerm operator()(const Cell& c) const {
        const Index p = c.p;
        if (!is_open(cpr[p])) return ScalarSetupTerm{};
        const double s = steps.start(c);
        const double cp = solver::outflow_coefficient(mimb[p]);
        double su = Eq::sc[p] + cp * Eq::phi[p];
        double sp = Eq::spc[p] + cp;
        ScalarSetupTerm term;
        term.condensed = steps.after_sources(c, su);
        if (transient) {
            const double tau = den[p] * vol[p] / dt;
            sp += tau;
            su += tau * Eq::phi[p];
        }
        // The source hook (USRSUB): U-value surfaces, for the temperature code.
        if constexpr (Eq::HOOK == UVALUE_HOOK) {
            if (surfaces.any(p)) surfaces.add_sources(c, su, sp);
        }
        const double ap = cc.sum(p) + sp;
        steps.before_neighbours(s, su);
        const double phi = Eq::phi[p];
        const double nb = cc.neighbour_sum(g, Eq::phi, c);
        term.residual = std::fabs(nb + su - ap * phi);
        Eq::res[p] = term.residual;
        solver::store_relaxed(Eq::ap[p], Eq::su[p], ap, su, phi, alpha, transient);
        return term;
    }
};

// Sets up equation Eq over every cell; its residuals go to res0, its
// condensation to condt.
template <class Eq, class Steps>
void set_up_scalar(const Steps& steps, double alpha, double& res0, double& condt) {
    const Grid g = grid();
    const ScalarSetup<Eq, Steps> kernel{g, steps, solver::UvalueSurfaces{g}, runctl.ITRANS == 1, runctl.DT, alpha};
    ScalarSetupSums sums{res0, condt};
    if constexpr (Steps::ORDERED)
        loops::sweep(g, all_cells(g), loops::Order::forward, kernel, sums);
    else
        loops::pass(g, all_cells(g), kernel, sums);
    res0 = sums.residual;
    condt = sums.condensed;
}

// Cell tests of the sweeps.
enum class Test { not_blocked, open };

// One cell of a Gauss-Seidel sweep of equation Eq; its absolute change is
// its term of the equation's change sums. With Clip the new value is 0 where
// the neighbour sum plus source is not positive.
template <class Eq, Test CellTest, bool Clip>
struct ScalarSweep {
    static constexpr const double* cpr = fields.CPR;
    static constexpr solver::CellCoefs cc{};

    Grid g;

    double operator()(const Cell& c) const {
        const Index p = c.p;
        if (!(CellTest == Test::open ? is_open(cpr[p]) : is_not_blocked(cpr[p]))) return 0.0;
        const double ap = Eq::ap[p];
        if (ap == 0.0) return 0.0;
        const double top = cc.neighbour_sum(g, Eq::phi, c) + Eq::su[p];
        double value;
        if (Clip && top <= 0.0)
            value = 0.0;
        else
            value = top / ap;
        const double d = std::fabs(value - Eq::phi[p]);
        Eq::phi[p] = value;
        return d;
    }
};

template <class Eq, Test CellTest, bool Clip, class Sums>
void sweep_scalar(int dir, Sums& sums) {
    const Grid g = grid();
    loops::sweep(g, all_cells(g), loops::sweep_order(dir), ScalarSweep<Eq, CellTest, Clip>{g}, sums);
}

// The post-sweep residual of one open cell: its term of the equation's sum.
template <class Eq>
struct ScalarResidual {
    static constexpr const double* cpr = fields.CPR;
    static constexpr solver::CellCoefs cc{};

    Grid g;

    double operator()(const Cell& c) const {
        const Index p = c.p;
        if (!is_open(cpr[p])) return 0.0;
        const double nb = cc.neighbour_sum(g, Eq::phi, c);
        return std::fabs(nb + Eq::su[p] - Eq::ap[p] * Eq::phi[p]);
    }
};

template <class Eq>
void scalar_residual(double& sum_out) {
    const Grid g = grid();
    loops::Sum sum{sum_out};
    loops::pass(g, all_cells(g), ScalarResidual<Eq>{g}, sum);
    sum_out = sum.value;
}

}  // namespace

void SUBT() {
    double condt = 0.0;   // nothing condenses in this equation
    set_up_scalar<TemperatureEq>(CommonSteps{}, runctl.RLXT, runctl.RT0, condt);
}

void SUBA() {
    double condt = 0.0;
    set_up_scalar<ContaminantEq>(CommonSteps{}, runctl.RLXC, runctl.RC0, condt);
}

void SUB2A() {
    const Grid g = grid();
    const VapourSteps steps{solver::cell_faces(g), pbtable.PBON == 1 && pbtable.NPB > 0};
    set_up_scalar<VapourEq>(steps, c2eq.RLXC2, runctl.RC20, runctl.CONDT);
}

void CALCT(int dir) {
    loops::ChangeSums changes{domsums.SDT, domsums.XDT};
    sweep_scalar<TemperatureEq, Test::not_blocked, false>(dir, changes);
    domsums.SDT = changes.sum;
    domsums.XDT = changes.max;
}

void CALCA(int dir) {
    loops::ChangeSums changes{domsums.SDC, domsums.XDC};
    sweep_scalar<ContaminantEq, Test::open, true>(dir, changes);
    domsums.SDC = changes.sum;
    domsums.XDC = changes.max;
}

void CALC2A(int dir) {
    loops::NoSums none;   // the water-vapour sweeps keep no change sums
    sweep_scalar<VapourEq, Test::open, false>(dir, none);
}

void ENER() { scalar_residual<TemperatureEq>(runctl.RT); }

void CONC() { scalar_residual<ContaminantEq>(runctl.RC); }

void CONC2() { scalar_residual<VapourEq>(runctl.RC2); }

}  // namespace tarvex
