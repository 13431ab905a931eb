// One outer iteration of the solver, and the densities.

#include <cstring>
#include <string>

#include "common/textfmt.h"
#include "engine/engine.h"
#include "engine/solver_kernels.h"
#include "engine/solver_loops.h"

namespace tarvex {

namespace {

using solver::Cell;
using solver::Grid;
using solver::Index;

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

// The arrays of the face densities across axis Axis: the cell widths along
// it, the faces' open fractions and their densities.
template <int Axis>
struct FaceDensityArrays;

template <>
struct FaceDensityArrays<0> {
    static constexpr const double* width = fields.DX;
    static constexpr const double* cprf = fields.CPRU;
    static constexpr double* denf = fields.DENU;
};
template <>
struct FaceDensityArrays<1> {
    static constexpr const double* width = fields.DY;
    static constexpr const double* cprf = fields.CPRV;
    static constexpr double* denf = fields.DENV;
};
template <>
struct FaceDensityArrays<2> {
    static constexpr const double* width = fields.DZ;
    static constexpr const double* cprf = fields.CPRW;
    static constexpr double* denf = fields.DENW;
};

// Density on the open low faces across axis Axis, interpolated linearly
// between the two cell centres beside the face.
template <int Axis>
struct FaceDensity {
    using A = FaceDensityArrays<Axis>;
    static constexpr const double* den = fields.DEN;
    Index step;
    void operator()(const Cell& c) const {
        if (!is_open(A::cprf[c.p])) return;
        const int m = c.at<Axis>();
        const double f = A::width[m - 1] / (A::width[m - 1] + A::width[m]);
        A::denf[c.p] = (1.0 - f) * den[c.p - step] + f * den[c.p];
    }
};

template <int Axis>
void face_densities(const Grid& g) {
    FaceDensity<Axis> kernel;
    kernel.step = g.stride(Axis);
    loops::pass(g, loops::nodes<Axis>(g), kernel);
}

// ---- the outer iteration ---------------------------------------------------

// Sweeps between two pressure-boundary updates inside an iteration.
constexpr int PB_UPDATE_INTERVAL = 50;

// A residual sum that is not a number counts as above its limit.
inline bool above(double sum, double limit) { return !(sum <= limit); }

// Puts text at the 1-based column col of LINE.
void put(int col, const std::string& text) {
    std::memcpy(runctl.LINE + col - 1, text.data(), text.size());
}

void hand_line() { WRITETOITER(runctl.LINE, LINE_LENGTH); }

void clear_line() { std::memset(runctl.LINE, ' ', LINE_LENGTH); }

void write_temperature_line(int sweeps) {
    clear_line();
    put(17, fmt_i(runctl.ITER, 5));
    put(22, fmt_i(sweeps, 5));
    put(27, fmt_e(runctl.RT, 10, 4));
    hand_line();
}

void write_concentration_line() {
    clear_line();
    put(19, fmt_i(runctl.ITER, 5));
    put(24, fmt_i(runctl.NSWC, 5));
    put(29, fmt_e(runctl.RC, 10, 4));
    hand_line();
}

void write_momentum_line(int sweeps) {
    clear_line();
    put(1, fmt_i(runctl.ITER, 5));
    put(6, fmt_i(sweeps, 5));
    put(13, fmt_e(runctl.RU, 10, 4));
    put(23, fmt_e(runctl.RV, 10, 4));
    put(33, fmt_e(runctl.RW, 10, 4));
    put(43, fmt_e(runctl.RM, 10, 4));
    put(53, fmt_e(runctl.RT, 10, 4));
    hand_line();
}

const char TEMPERATURE_HEADER[] = "temperature equ: iteration no., sweep no., residual";
const char CONCENTRATION_HEADER[] = "concentration equ: iteration no., sweep no., residual";

// A block of cycles of one scalar equation: two sweeps per cycle (forward,
// backward), then the post-sweep residual when something uses it. The block
// goes on while the sweep counter is below the pass count and, in time-step
// mode, the residual is above its limit.
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

}  // namespace

void DENSIT() {
    const Grid g = loops::grid();
    RegionSums regions_seen;
    loops::pass(g, loops::all_cells(g), RegionKernel{}, regions_seen);
    for (int r = 1; r <= NREGMAX; ++r) {
        if (regions.TREF[r] > 0.0)
            regions.RTREF[r] = 1.0 / regions.TREF[r];
        else if (regions_seen.count[r] > 0)
            regions.RTREF[r] = regions_seen.count[r] / regions_seen.tsum[r];
    }
    loops::pass(g, loops::all_cells(g), CellDensityKernel{});
    face_densities<0>(g);
    face_densities<1>(g);
    face_densities<2>(g);
}

void SOLVE(int& iusr3, int& iconv) {
    // 1. Sums of the iteration.
    iconv = 0;
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

    // 2-5. Densities, boundary flows, hook, coefficients.
    DENSIT();
    if (pbtable.PBON == 1) USRSUB2();
    if (iusr3 == 1) USRSUB3();
    SUBC();

    const bool print = runctl.IPRINT == 1;

    // 6. Temperature.
    if (runctl.ITEMP == 1) {
        SUBT();
        if (print) WRITETOITER(TEMPERATURE_HEADER, sizeof TEMPERATURE_HEADER - 1);
        int sweeps = 0;
        scalar_block(CALCT, ENER, runctl.RT, runctl.CONVT, runctl.NPASST, sweeps, [&] {
            if (print) write_temperature_line(sweeps);
        });
    }

    // 7. Contaminant, then water vapour.
    if (runctl.ICONC == 1) {
        SUBA();
        if (print) WRITETOITER(CONCENTRATION_HEADER, sizeof CONCENTRATION_HEADER - 1);
        scalar_block(CALCA, CONC, runctl.RC, runctl.CONVC, runctl.NPASSC, runctl.NSWC, [&] {
            if (print) write_concentration_line();
        });
        SUB2A();
        scalar_block(CALC2A, CONC2, runctl.RC2, runctl.CONVC2, runctl.NPASSC, runctl.NSWC, [] {});
    }

    // 8. Momentum set-up.
    SUBU();
    SUBV();
    SUBW();

    // 9. Velocity-pressure cycles.
    const bool transient = runctl.ITRANS == 1;
    const int nx = griddim.NX, ny = griddim.NY, nz = griddim.NZ;
    int n = 0;
    int pb_due = 2;
    do {
        ++n;
        if (nx > 1) CALCU(1);
        if (ny > 1) CALCV(1);
        if (nz > 1) CALCW(1);
        CALCP(1);
        ++n;
        if (nx > 1) CALCU(2);
        if (ny > 1) CALCV(2);
        if (nz > 1) CALCW(2);
        CALCP(2);

        runctl.RU = 0.0;
        runctl.RV = 0.0;
        runctl.RW = 0.0;
        runctl.RM = 0.0;
        if (transient || print) {
            UMOM();
            VMOM();
            WMOM();
            MASS();
        }
        if (print) write_momentum_line(n);

        if (transient && !above(runctl.RM, runctl.CONVM) && !above(runctl.RU, runctl.CONVU) &&
            !above(runctl.RV, runctl.CONVU) && !above(runctl.RW, runctl.CONVU)) {
            iconv = 1;
            return;
        }

        if (n == 2) pb_due = 2;
        if (pbtable.PBON == 1 && n == pb_due) {
            USRSUB2();
            pb_due += PB_UPDATE_INTERVAL;
        }
    } while (n < runctl.NPASS);

    // 10. Pressure level.
    ADJUSTP();
}

}  // namespace tarvex
