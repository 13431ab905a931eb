// One outer iteration of the solver, and the densities.

#include "engine/axis.h"
#include "engine/cells.h"
#include "engine/engine.h"
#include "engine/iterlines.h"
#include "engine/solver_loops.h"

namespace tarvex {

namespace {

// ---- densities -----------------------------------------------------------

// What an open cell adds to the sums of its buoyant region: its region
// (0 for none) and its temperature.
struct RegionTerm {
    int region = 0;
    double t = 0.0;
};

struct RegionSums {
    int count[NREGMAX + 1] = {};
    double tsum[NREGMAX + 1] = {};
    void add(const RegionTerm& term) {
        if (term.region == 0) return;
        count[term.region] += 1;
        tsum[term.region] += term.t;
    }
};

struct RegionKernel {
    static constexpr const double* cpr = fields.CPR;
    static constexpr const double* t = fields.T;
    static constexpr const int32_t* ireg = regions.IREG;
    RegionTerm operator()(const Cell& c) const {
        if (!is_not_blocked(cpr[c.p])) return RegionTerm{};
        const int r = ireg[c.p];
        if (r < 1 || r > NREGMAX) return RegionTerm{};   // the case reader keeps regions in 1..25
        return RegionTerm{r, t[c.p]};
    }
};

struct CellDensityKernel {
    static constexpr const double* cpr = fields.CPR;
    static constexpr const double* t = fields.T;
    static constexpr double* den = fields.DEN;
    void operator()(const Cell& c) const {
        if (is_not_blocked(cpr[c.p])) den[c.p] = AIRDEN / t[c.p];
    }
};

// Density on the open low faces across axis A, interpolated linearly
// between the two cell centres beside the face.
template <int A>
struct FaceDensity {
    static constexpr const double* width = solver::Axis<A>::width;   // DX, DY, DZ
    static constexpr const double* cprf = solver::Axis<A>::cpr;      // CPRU ...
    static constexpr double* denf = solver::Axis<A>::den;            // DENU ...
    static constexpr const double* den = fields.DEN;
    Index step;
    void operator()(const Cell& c) const {
        if (!is_open(cprf[c.p])) return;
        const int m = c.at<A>();
        const double f = width[m - 1] / (width[m - 1] + width[m]);
        denf[c.p] = (1.0 - f) * den[c.p - step] + f * den[c.p];
    }
};

template <int A>
void face_densities(const Grid& g) {
    FaceDensity<A> kernel;
    kernel.step = g.stride(A);
    loops::pass(g, nodes<A>(g), kernel);
}

// ---- the outer iteration ---------------------------------------------------

// Sweeps between two pressure-boundary updates inside an iteration.
constexpr int PB_UPDATE_INTERVAL = 50;

// A residual sum that is not a number counts as above its limit.
inline bool above(double sum, double limit) { return !(sum <= limit); }

// Zeroes the sums of an iteration: the set-up residuals, the condensation
// and the sweep changes.
void zero_iteration_sums() {
    runctl.RU0 = 0.0;
    runctl.RV0 = 0.0;
    runctl.RW0 = 0.0;
    runctl.RM0 = 0.0;
    runctl.RT0 = 0.0;
    runctl.RC0 = 0.0;
    runctl.RC20 = 0.0;
    runctl.CONDT = 0.0;
    domsums.SDT = 0.0;
    domsums.SDU = 0.0;
    domsums.SDC = 0.0;
    domsums.XDT = 0.0;
    domsums.XDU = 0.0;
    domsums.XDC = 0.0;
}

// A block of cycles of one scalar equation: two sweeps per cycle (forward,
// backward), then the post-sweep residual when something uses it and the
// cycle's line. The block goes on while the sweep counter is below the pass
// count and, in time-step mode, the residual is above its limit.
template <class Line>
void scalar_block(void (*sweep)(int), void (*residual)(), double& sum, double limit, int passes, int& counter,
                  Line&& line) {
    const bool transient = runctl.ITRANS == 1;
    const bool print = runctl.IPRINT == 1;
    counter = 0;
    do {
        ++counter;
        sweep(1);
        ++counter;
        sweep(2);
        sum = 0.0;
        if (transient || print) residual();
        line();
    } while (counter < passes && (!transient || above(sum, limit)));
}

void temperature_block() {
    SUBT();
    const bool print = runctl.IPRINT == 1;
    if (print) iterlines::temperature_header();
    // The temperature block counts its sweeps in a counter of its own; the
    // two concentration blocks count theirs in NSWC (below), which the
    // water-vapour block starts again from 0, so NSWC ends an iteration
    // with the water-vapour count.
    int sweeps = 0;
    scalar_block(CALCT, ENER, runctl.RT, runctl.CONVT, runctl.NPASST, sweeps, [&] {
        if (print) iterlines::temperature_line(runctl.ITER, sweeps, runctl.RT);
    });
}

void contaminant_block() {
    SUBA();
    const bool print = runctl.IPRINT == 1;
    if (print) iterlines::concentration_header();
    // Sweeps counted in NSWC, not locally (see temperature_block).
    scalar_block(CALCA, CONC, runctl.RC, runctl.CONVC, runctl.NPASSC, runctl.NSWC, [&] {
        if (print) iterlines::concentration_line(runctl.ITER, runctl.NSWC, runctl.RC);
    });
}

void vapour_block() {
    SUB2A();
    scalar_block(CALC2A, CONC2, runctl.RC2, runctl.CONVC2, runctl.NPASSC, runctl.NSWC, [] {});
}

// One sweep of the three momentum equations (leaving out a direction with a
// single cell) and of the pressure equation.
void velocity_pressure_sweep(int dir) {
    if (griddim.NX > 1) CALCU(dir);
    if (griddim.NY > 1) CALCV(dir);
    if (griddim.NZ > 1) CALCW(dir);
    CALCP(dir);
}

// The post-sweep momentum and mass residuals, when something uses them.
void momentum_residuals(bool wanted) {
    runctl.RU = 0.0;
    runctl.RV = 0.0;
    runctl.RW = 0.0;
    runctl.RM = 0.0;
    if (!wanted) return;
    UMOM();
    VMOM();
    WMOM();
    MASS();
}

bool momentum_converged() {
    return !above(runctl.RM, runctl.CONVM) && !above(runctl.RU, runctl.CONVU) && !above(runctl.RV, runctl.CONVU) &&
           !above(runctl.RW, runctl.CONVU);
}

// The velocity-pressure cycles of an iteration; true when, in time-step mode,
// a cycle has met the momentum and mass limits (the iteration then ends at
// once). The pressure-boundary flows are updated after the cycles that end
// at sweeps 2, 52, 102 and so on: the sweep at which the next update is due
// starts at 2 in every iteration, so nothing of an earlier iteration carries
// over.
bool velocity_pressure_cycles() {
    const bool transient = runctl.ITRANS == 1;
    const bool print = runctl.IPRINT == 1;
    int n = 0;
    int pb_due = 2;
    do {
        ++n;
        velocity_pressure_sweep(1);
        ++n;
        velocity_pressure_sweep(2);
        momentum_residuals(transient || print);
        if (print) iterlines::momentum_line(runctl.ITER, n, runctl.RU, runctl.RV, runctl.RW, runctl.RM, runctl.RT);
        if (transient && momentum_converged()) return true;
        if (pbtable.PBON == 1 && n == pb_due) {
            USRSUB2();
            pb_due += PB_UPDATE_INTERVAL;
        }
    } while (n < runctl.NPASS);
    return false;
}

}  // namespace

void DENSIT() {
    const Grid g = grid();
    RegionSums regions_seen;
    loops::pass(g, all_cells(g), RegionKernel{}, regions_seen);
    for (int r = 1; r <= NREGMAX; ++r) {
        if (regions.TREF[r] > 0.0)
            regions.RTREF[r] = 1.0 / regions.TREF[r];
        else if (regions_seen.count[r] > 0)
            regions.RTREF[r] = regions_seen.count[r] / regions_seen.tsum[r];
    }
    loops::pass(g, all_cells(g), CellDensityKernel{});
    face_densities<0>(g);
    face_densities<1>(g);
    face_densities<2>(g);
}

void SOLVE(int& iusr3, int& iconv) {
    iconv = 0;
    zero_iteration_sums();
    DENSIT();
    if (pbtable.PBON == 1) USRSUB2();
    if (iusr3 == 1) USRSUB3();
    SUBC();
    if (runctl.ITEMP == 1) temperature_block();
    if (runctl.ICONC == 1) {
        contaminant_block();
        vapour_block();
    }
    SUBU();
    SUBV();
    SUBW();
    if (velocity_pressure_cycles()) {
        iconv = 1;
        return;
    }
    ADJUSTP();
}

}  // namespace tarvex
