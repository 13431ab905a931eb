// Solver benchmark.
//
// Writes a case of the asked size (a room with supply and extract, heat,
// contaminant and water gains, U-value walls, a one-cell partition with
// coupled surfaces, a buoyant region and about 50 pressure boundaries) and its
// control file, loads them through the engine's readers, starts new fields and
// runs outer iterations, on one thread and on all threads in the same run.
//
// Prints, for 1 thread and N threads side by side (N = --threads, default the
// solver's default count), the medians over --repeats repetitions in which
// the 1-thread and N-thread runs alternate (first one, then the other, the
// order swapped every repetition, so that a noisy neighbour on the machine
// hits both alike):
//   - seconds per outer iteration (SOLVE) and the speed-up;
//   - nanoseconds per cell update of each sweep routine (CALCU, CALCV, CALCW,
//     CALCP and the scalar sweeps CALCT, CALCA, CALC2A), called on the state
//     the last iteration left, in the order an iteration calls them;
//   - the ratio of each sweep to a plain 7-point Gauss-Seidel kernel timed in
//     the same repetitions on arrays of the same padded layout: forward, i
//     fastest, new west/south/bottom and old east/north/top values, one
//     update per cell from six neighbour coefficients, a source and a centre
//     coefficient, neighbours added in the engine's order. Its chain of
//     dependent operations from one cell to the next is what bounds a point
//     Gauss-Seidel sweep on one thread; memory bandwidth does not;
//   - a streaming copy of the arrays one velocity-pressure sweep touches, as
//     a bandwidth reference (not the bound);
//   - the peak resident memory of the process;
//   - whether 1 thread and N threads give the same bits: the case is loaded
//     again, run --check-iterations iterations on 1 thread, loaded again and
//     run as many on N threads, and every per-cell array the solver forms
//     and the sums of the iteration are compared bit for bit.
//
// With --scan N it instead scans the thread counts 1..N in one run: every
// repetition times one iteration on each count t = 2..N right after (or,
// every other repetition, right before) one on 1 thread, so that each count
// is set against 1 thread under the same load; it prints one line per count
// (median and best seconds per iteration, the speed-ups, how far the median
// lies above the best) with the load average, and checks every count's
// fields against 1 thread's bit for bit. --busy N keeps N cores busy with
// spinning processes of its own for the whole run (the "one core taken"
// case), and ends them afterwards. The scan's last line, "default", is the
// solver's default count, which uses fewer workers when that is faster
// (solver_pool.h); the numbered lines are fixed counts. --split, --adder and
// --interleave force that part of every parallel schedule, to measure what
// the driver's choice gains.
//
// Usage: tarvex_bench_solver [NX NY NZ | --grid NXxNYxNZ | --reference]
//                            [--threads N | --scan N] [--busy N]
//                            [--split j|k] [--adder on|off|last] [--interleave 1|2]
//                            [--repeats N] [--warmup N]
//                            [--passes N] [--check-iterations N]
//                            [--dir DIRECTORY] [--keep]
//
// --reference runs the reference room: 100 x 75 x 62 cells over 4 x 3 x 2.5 m
// with a heated floor (465,000 cells; the large build only). Other grids have
// cells of 0.1 m.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "common/channels.h"
#include "engine/engine.h"
#include "engine/solver_pool.h"
#include "engine/solver_threads.h"

namespace {

using namespace tarvex;
using Clock = std::chrono::steady_clock;
using Index = std::ptrdiff_t;

struct Options {
    int nx = SMALL_BUILD ? 61 : 98;
    int ny = SMALL_BUILD ? 61 : 98;
    int nz = SMALL_BUILD ? 61 : 98;
    bool reference = false;
    int threads = 0;            // 0: the solver's default
    int scan = 0;               // > 0: scan the counts 1..scan instead
    int busy = 0;               // spinning processes kept running meanwhile
    loops::Schedule schedule;   // parts of the parallel schedule forced (--split, --adder, --interleave)
    int repeats = 5;            // timed repetitions, each on 1 thread and on N threads
    int warmup = 1;             // untimed iterations on each thread count first
    int passes = 10;            // velocity-pressure sweeps per outer iteration
    int check_iterations = 2;   // iterations of the 1-thread / N-thread comparison (0: none)
    std::string dir;
    bool keep = false;
};

// The reference room.
constexpr int REF_NX = 100, REF_NY = 75, REF_NZ = 62;
constexpr double REF_LX = 4.0, REF_LY = 3.0, REF_LZ = 2.5;

void usage(std::FILE* to) {
    std::fprintf(to,
                 "usage: tarvex_bench_solver [NX NY NZ | --grid NXxNYxNZ | --reference] [--threads N | --scan N]\n"
                 "                           [--busy N] [--repeats N] [--warmup N] [--passes N]\n"
                 "                           [--check-iterations N] [--dir DIRECTORY] [--keep]\n"
                 "  NX NY NZ, --grid   cells of 0.1 m (default %d x %d x %d)\n"
                 "  --reference        the reference room, 100 x 75 x 62 cells over 4 x 3 x 2.5 m\n"
                 "  --threads N        the all-threads count set against 1 thread (default: the solver's, %d)\n"
                 "  --scan N           every count 1..N against 1 thread, alternating; one line per count\n"
                 "  --busy N           keep N cores busy with spinning processes during the run\n"
                 "  --split j|k, --adder on|off|last, --interleave 1|2\n"
                 "                     force a part of the parallel schedule (default: the driver's choice)\n"
                 "  --repeats N        timed repetitions, each on 1 and on N threads (default 5)\n"
                 "  --warmup N         untimed iterations on each count first (default 1)\n"
                 "  --passes N         velocity-pressure sweeps per outer iteration (default 10)\n"
                 "  --check-iterations N  iterations of the bit-for-bit check, 0 for none (default 2)\n"
                 "  --dir, --keep      where the case files go, and keep them\n",
                 Options{}.nx, Options{}.ny, Options{}.nz, default_solver_threads());
}

bool parse_grid(const std::string& s, Options& o) {
    int nx = 0, ny = 0, nz = 0;
    char x1 = 0, x2 = 0;
    char tail = 0;
    if (std::sscanf(s.c_str(), "%d%c%d%c%d%c", &nx, &x1, &ny, &x2, &nz, &tail) != 5) return false;
    if ((x1 != 'x' && x1 != 'X') || (x2 != 'x' && x2 != 'X')) return false;
    o.nx = nx;
    o.ny = ny;
    o.nz = nz;
    return true;
}

bool parse(int argc, char** argv, Options& o) {
    std::vector<int> dims;
    bool grid_given = false;
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        auto value = [&](int& out, int least) {
            if (a + 1 >= argc) return false;
            char* end = nullptr;
            const long v = std::strtol(argv[++a], &end, 10);
            if (end == argv[a] || *end != '\0' || v < least || v > 100000) return false;
            out = static_cast<int>(v);
            return true;
        };
        if (arg == "--threads") {
            if (!value(o.threads, 1)) return false;
        } else if (arg == "--scan") {
            if (!value(o.scan, 1)) return false;
        } else if (arg == "--busy") {
            if (!value(o.busy, 0)) return false;
        } else if (arg == "--split" && a + 1 < argc) {
            const std::string v = argv[++a];
            if (v != "j" && v != "k") return false;
            o.schedule.split = v == "j" ? loops::Schedule::Split::j : loops::Schedule::Split::k;
        } else if (arg == "--adder" && a + 1 < argc) {
            const std::string v = argv[++a];
            if (v != "on" && v != "off" && v != "last") return false;
            o.schedule.adder = v == "on"     ? loops::Schedule::Adder::on
                               : v == "last" ? loops::Schedule::Adder::last
                                             : loops::Schedule::Adder::off;
        } else if (arg == "--interleave") {
            if (!value(o.schedule.interleave, 1) || o.schedule.interleave > 2) return false;
        } else if (arg == "--repeats") {
            if (!value(o.repeats, 1)) return false;
        } else if (arg == "--warmup") {
            if (!value(o.warmup, 0)) return false;
        } else if (arg == "--passes") {
            if (!value(o.passes, 1)) return false;
        } else if (arg == "--check-iterations") {
            if (!value(o.check_iterations, 0)) return false;
        } else if (arg == "--reference") {
            o.reference = true;
        } else if (arg == "--grid") {
            if (a + 1 >= argc || !parse_grid(argv[++a], o)) return false;
            grid_given = true;
        } else if (arg == "--dir") {
            if (a + 1 >= argc) return false;
            o.dir = argv[++a];
        } else if (arg == "--keep") {
            o.keep = true;
        } else if (!arg.empty() && arg[0] != '-') {
            dims.push_back(std::atoi(arg.c_str()));
        } else {
            return false;
        }
    }
    if (dims.size() == 3) {
        if (grid_given) return false;
        o.nx = dims[0];
        o.ny = dims[1];
        o.nz = dims[2];
        grid_given = true;
    } else if (!dims.empty()) {
        return false;
    }
    if (o.scan > 0 && o.threads > 0) return false;
    if (o.scan > 1024 || o.busy > 1024) return false;
    if (o.reference) {
        if (grid_given) return false;
        o.nx = REF_NX;
        o.ny = REF_NY;
        o.nz = REF_NZ;
    }
    return o.nx >= 8 && o.ny >= 8 && o.nz >= 8;
}

// ---- the case ------------------------------------------------------------

struct Writer {
    std::ofstream out;
    void line(const std::string& s) { out << s << '\n'; }
    template <class... Items>
    void items(const Items&... v) {
        std::string s;
        ((s += (s.empty() ? "" : " ") + item(v)), ...);
        line(s);
    }
    static std::string item(int v) { return std::to_string(v); }
    static std::string item(double v) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.6g", v);
        std::string s = buf;
        if (s.find_first_of(".eE") == std::string::npos) s += ".0";
        return s;
    }
    void marker(const char* title) { line(std::string("--- ") + title); }
};

int clampi(int v, int lo, int hi) { return std::max(lo, std::min(hi, v)); }

// Cell widths of the case.
struct Widths {
    double x, y, z;
};

Widths case_widths(const Options& o) {
    if (o.reference) return {REF_LX / REF_NX, REF_LY / REF_NY, REF_LZ / REF_NZ};
    return {0.1, 0.1, 0.1};
}

// Cells of 0.1 m (the default grid is a room of 9.8 m each way), or the
// reference room. The U-values are given for faces of 0.1 m by 0.1 m and
// scaled with the face area; the reference room's floor is heated from
// below, the other rooms' floor loses heat to 10 C.
bool write_case(const std::string& path, const Options& o) {
    const int nx = o.nx, ny = o.ny, nz = o.nz;
    const Widths w = case_widths(o);
    const double ux = w.y * w.z / 0.01, uy = w.x * w.z / 0.01, uz = w.x * w.y / 0.01;
    Writer f{std::ofstream(path)};
    if (!f.out) return false;
    f.line(o.reference ? "Solver benchmark reference room" : "Solver benchmark room");
    f.line("supply, extract, gains, U-value walls, a partition, a buoyant region, pressure boundaries");
    f.line("---");
    f.items(nx, ny, nz);

    f.marker("monitor location");
    f.items(nx / 2, ny / 2, nz / 2);
    f.marker("gravity vector");
    f.items(0.0, 0.0, -9.81);
    f.marker("external conditions");
    f.items(5.0, 0.0, 70.0);
    f.marker("fluid parameters");
    f.items(1.2, 1.8e-5);
    f.marker("initial conditions");
    f.items(18.0, 0.0, 50.0);

    f.marker("X grid dimensions");
    f.items(2, nx + 1, w.x);
    f.items(0, 0, 0.0);
    f.marker("Y grid dimensions");
    f.items(2, ny + 1, w.y);
    f.items(0, 0, 0.0);
    f.marker("Z grid dimensions");
    f.items(2, nz + 1, w.z);
    f.items(0, 0, 0.0);

    // A partition one cell thick at 60 % of x over half of y, and a table.
    const int ip = nx * 6 / 10;
    f.marker("cell blockage");
    f.items(ip, ip, 1, ny / 2, 1, nz, 0.0);
    f.items(nx / 5, nx / 5 + nx / 10, ny / 5, ny / 5 + ny / 10, nz / 5, nz / 5, 0.0);
    f.items(0, 0, 0, 0, 0, 0, 0.0);
    // A half-open grille in the partition's line beyond it.
    f.marker("face blockages");
    f.items(ip, ip, ny / 2 + 1, ny / 2 + ny / 10, 1, nz / 2, 0.5, -1.0, -1.0);
    f.items(0, 0, 0, 0, 0, 0, 0.0, 0.0, 0.0);

    // Supply in the ceiling west of the partition, extract in the ceiling east.
    const int sj1 = ny / 2 - ny / 20, sj2 = ny / 2 + ny / 20;
    f.marker("inflow section");
    f.items(nx / 4, nx / 4 + nx / 20, sj1, sj2, nz, nz, 0.0, 0.0, 0.0, -0.8, 16.0, 0.0, 40.0);
    f.items(0, 0, 0, 0, 0, 0, 0.0, 0.0, 0.0, 0.0);
    f.marker("outflow section");
    f.items(nx * 8 / 10, nx * 8 / 10 + nx / 20, sj1, sj2, nz, nz, -0.004);
    f.items(0, 0, 0, 0, 0, 0, 0.0);

    // About 50 openings: vents along the west and south walls at two heights,
    // and a few in the roof.
    f.marker("pressure bounds section");
    for (int n = 0; n < 20; ++n) {
        const int j = clampi(2 + n * (ny - 4) / 20, 1, ny);
        const int k = n % 2 == 0 ? clampi(nz / 10, 1, nz) : clampi(nz * 8 / 10, 1, nz);
        f.items(1, 1, j, j, k, k, 1, 0.6, 0.0, 0.5, 5.0, 0.0, 70.0);
    }
    for (int n = 0; n < 20; ++n) {
        const int i = clampi(2 + n * (nx - 4) / 20, 1, nx);
        const int k = n % 2 == 0 ? clampi(nz / 5, 1, nz) : clampi(nz * 7 / 10, 1, nz);
        f.items(i, i, 1, 1, k, k, 3, 0.6, -0.5, 0.5);
    }
    for (int n = 0; n < 10; ++n) {
        const int i = clampi(nx / 10 + n * nx / 12, 1, nx);
        f.items(i, i, ny - 2, ny - 1, nz, nz, 6, 0.6, -1.0, 0.6);
    }
    f.items(0, 0, 0, 0, 0, 0);

    // Occupants, a heater by the west wall and a cold window.
    f.marker("heat gains section");
    f.items(nx / 3, nx / 3 + nx / 10, ny / 3, ny / 3 + ny / 10, 1, nz / 6, 1.2, 2, 2, 2);
    f.items(2, 2, ny / 4, ny * 3 / 4, 2, nz / 4, 0.4, 0, 1, 1);
    f.items(0, 0, 0, 0, 0, 0, 0.0, 0, 0, 0);

    // Outside walls, the roof and floor, and the partition's two faces coupled
    // to the air on its far side.
    f.marker("Temp/Uval section");
    f.items(1, 1, 1, ny, 1, nz, 1, 0.0003 * ux, 5.0);
    f.items(nx, nx, 1, ny, 1, nz, 2, 0.0003 * ux, 5.0);
    f.items(1, nx, 1, 1, 1, nz, 3, 0.0003 * uy, 5.0);
    f.items(1, nx, ny, ny, 1, nz, 4, 0.0003 * uy, 12.0);
    f.items(1, nx, 1, ny, nz, nz, 6, 0.0002 * uz, 0.0);
    f.items(1, nx, 1, ny, 1, 1, 5, 0.0002 * uz, o.reference ? 28.0 : 10.0);
    f.items(ip - 1, ip - 1, 1, ny / 2, 1, nz, 2, 0.002 * ux, -300.0);
    f.items(ip + 1, ip + 1, 1, ny / 2, 1, nz, 1, 0.002 * ux, -300.0);
    f.items(0, 0, 0, 0, 0, 0, 0, 0.0, 0.0);

    f.marker("contaminant section");
    f.items(nx / 3, nx / 3 + nx / 10, ny / 3, ny / 3 + ny / 10, 1, nz / 6, 0.05, 2, 2, 2);
    f.items(0, 0, 0, 0, 0, 0, 0.0, 0, 0, 0);
    f.marker("water contaminant section");
    f.items(nx / 3, nx / 3 + nx / 10, ny / 3, ny / 3 + ny / 10, 1, nz / 6, 0.08, 2, 2, 2);
    f.items(0, 0, 0, 0, 0, 0, 0.0, 0, 0, 0);

    // The part east of the partition floats on its own reference.
    f.marker("buoyant region section");
    f.items(ip + 1, nx, 1, ny, 1, nz, 2, 18.0);
    f.items(0, 0, 0, 0, 0, 0, 0);
    return static_cast<bool>(f.out);
}

bool write_control(const std::string& path, const Options& o) {
    Writer f{std::ofstream(path)};
    if (!f.out) return false;
    f.line("Solver benchmark control");
    f.line("---");
    f.line("1 50.0 0.0");
    f.line("---");
    f.line("1.0e-3 1.0e-4 1.0e-3 1.0e-6 1.0e-6");
    f.line("---");
    f.items(o.passes);
    f.line("---");
    f.line("1 4");
    f.line("---");
    f.line("1 4");
    f.line("---");
    f.line("0 1.0");
    f.line("---");
    f.line("0.5 0.8 0.8 0.8 1.0 0.01");
    f.line("---");
    f.line("0");
    f.line("---");
    f.line("1.0");
    return static_cast<bool>(f.out);
}

class QuietSink : public LineSink {
public:
    void write_line(std::string_view) override {}
};

// Reads the case and control files and starts new fields, as a new run does.
bool load_case(const std::string& case_path, const std::string& control_path) {
    filenames.INFILE.assign(case_path);
    filenames.CTLFILE.assign(control_path);
    if (INPUT0() != 0) {
        std::fprintf(stderr, "the case file %s was refused; rerun with --keep to look at it\n", case_path.c_str());
        return false;
    }
    if (INPUT1() != 0) {
        std::fprintf(stderr, "the control file %s was refused\n", control_path.c_str());
        return false;
    }
    INIVAL();
    if (runctl.ITURB == 2 || runctl.ITURB == 3) DIST3D();
    runctl.ITER = 0;
    return true;
}

// ---- measurements --------------------------------------------------------

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

double median(std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

double minimum(const std::vector<double>& v) { return v.empty() ? 0.0 : *std::min_element(v.begin(), v.end()); }
double maximum(const std::vector<double>& v) { return v.empty() ? 0.0 : *std::max_element(v.begin(), v.end()); }

double one_iteration() {
    runctl.ITER += 1;
    int iusr3 = 0, iconv = 0;
    const auto t0 = Clock::now();
    SOLVE(iusr3, iconv);
    return seconds(t0, Clock::now());
}

// The sweep routines, in the order an outer iteration calls them.
struct SweepRoutine {
    const char* name;
    void (*fn)(int);
    bool velocity_pressure;
};

const SweepRoutine ROUTINES[] = {
    {"CALCU", CALCU, true}, {"CALCV", CALCV, true}, {"CALCW", CALCW, true},   {"CALCP", CALCP, true},
    {"CALCT", CALCT, false}, {"CALCA", CALCA, false}, {"CALC2A", CALC2A, false},
};
constexpr int NROUTINES = sizeof ROUTINES / sizeof ROUTINES[0];
constexpr int NVP = 4;   // the first four are the velocity-pressure sweeps

// Times each sweep routine once forward and once backward, called as an
// iteration calls them (CALCU, CALCV, CALCW, CALCP forward, then backward;
// then each scalar sweep forward and backward); adds to each routine's
// samples its mean nanoseconds per cell of the grid.
void time_sweeps(double cells, std::vector<double> (&samples)[NROUTINES]) {
    double total[NROUTINES] = {};
    // In an iteration the sweeps follow parallel set-ups, with the workers
    // awake; here they follow the benchmark's own serial work, after which
    // the workers have gone to sleep. An untimed pass over the cells (the
    // mass residual, which changes nothing but the residual, put back)
    // wakes them, so that the first sweep timed does not pay for it.
    const double rm = runctl.RM;
    MASS();
    runctl.RM = rm;
    for (int dir = 1; dir <= 2; ++dir) {
        for (int r = 0; r < NVP; ++r) {
            const auto t0 = Clock::now();
            ROUTINES[r].fn(dir);
            total[r] += seconds(t0, Clock::now());
        }
    }
    for (int r = NVP; r < NROUTINES; ++r) {
        for (int dir = 1; dir <= 2; ++dir) {
            const auto t0 = Clock::now();
            ROUTINES[r].fn(dir);
            total[r] += seconds(t0, Clock::now());
        }
    }
    for (int r = 0; r < NROUTINES; ++r) samples[r].push_back(total[r] / 2.0 * 1e9 / cells);
}

// A plain point Gauss-Seidel sweep of a 7-point stencil over arrays of the
// engine's padded layout (strides NX+1 and (NX+1)(NY+1)), with one plane of
// zeros below and above so that no neighbour needs a test.
class PlainGaussSeidel {
public:
    PlainGaussSeidel(int nx, int ny, int nz)
        : nx_(nx), ny_(ny), nz_(nz), js_(nx + 1), ks_(static_cast<Index>(nx + 1) * (ny + 1)) {
        const size_t size = static_cast<size_t>(ks_) * (nz + 3);
        for (auto* a : {&ae_, &aw_, &an_, &as_, &at_, &ab_, &ap_, &su_, &phi_}) a->assign(size, 0.0);
        uint64_t state = 0x9e3779b97f4a7c15u;
        auto next = [&state] {   // in [0, 1)
            state = state * 6364136223846793005u + 1442695040888963407u;
            return static_cast<double>(state >> 11) * 0x1.0p-53;
        };
        for (int k = 1; k <= nz_; ++k)
            for (int j = 1; j <= ny_; ++j)
                for (int i = 1; i <= nx_; ++i) {
                    const Index p = index(i, j, k);
                    ae_[p] = 0.5 + next();
                    aw_[p] = 0.5 + next();
                    an_[p] = 0.5 + next();
                    as_[p] = 0.5 + next();
                    at_[p] = 0.5 + next();
                    ab_[p] = 0.5 + next();
                    ap_[p] = ae_[p] + aw_[p] + an_[p] + as_[p] + at_[p] + ab_[p] + 0.1;
                    su_[p] = next() - 0.5;
                }
    }

    // Seconds of one forward sweep.
    double sweep() {
        const auto t0 = Clock::now();
        forward(ae_.data(), aw_.data(), an_.data(), as_.data(), at_.data(), ab_.data(), ap_.data(), su_.data(),
                phi_.data());
        return seconds(t0, Clock::now());
    }

    size_t bytes() const { return 9 * ae_.size() * sizeof(double); }

private:
    Index index(int i, int j, int k) const { return ks_ + i + (j - 1) * js_ + (k - 1) * ks_; }

    // West, south, north, east, top, bottom, then the source, over the centre
    // coefficient: the order of the engine's neighbour sums.
    __attribute__((noinline)) void forward(const double* __restrict ae, const double* __restrict aw,
                                           const double* __restrict an, const double* __restrict as,
                                           const double* __restrict at, const double* __restrict ab,
                                           const double* __restrict ap, const double* __restrict su,
                                           double* __restrict phi) const {
        const Index js = js_, ks = ks_;
        for (int k = 1; k <= nz_; ++k)
            for (int j = 1; j <= ny_; ++j) {
                Index p = index(1, j, k);
                for (int i = 1; i <= nx_; ++i, ++p) {
                    double nb = aw[p] * phi[p - 1];
                    nb += as[p] * phi[p - js];
                    nb += an[p] * phi[p + js];
                    nb += ae[p] * phi[p + 1];
                    nb += at[p] * phi[p + ks];
                    nb += ab[p] * phi[p - ks];
                    phi[p] = (su[p] + nb) / ap[p];
                }
            }
    }

    int nx_, ny_, nz_;
    Index js_, ks_;
    std::vector<double> ae_, aw_, an_, as_, at_, ab_, ap_, su_, phi_;
};

// Arrays one velocity-pressure sweep in one direction reads and writes:
// each momentum sweep reads the six cell coefficients, its face's open
// fraction, the cell's open fraction, the velocity, its source and centre
// coefficient and the pressure, and writes the numerator and the velocity;
// the pressure sweep reads the cell's open fraction, the mass source, the
// pressure, and for each of the three components the face's open fraction,
// centre coefficient, open area, face density and numerator, and writes the
// pressure.
constexpr int MOMENTUM_ARRAYS = 12 + 2;
constexpr int PRESSURE_ARRAYS = 3 + 3 * 5 + 1;
constexpr int SWEEP_ARRAYS = 3 * MOMENTUM_ARRAYS + PRESSURE_ARRAYS;

// Plain streaming copy over the arrays a sweep touches, read once and written
// once into a scratch array: the machine's bandwidth for the same traffic.
double copy_bandwidth(int32_t ncells) {
    const double* sources[] = {
        coefs.AN,    coefs.AS,   coefs.AE,    coefs.AW,    coefs.AT,   coefs.AB,   fields.CPRU, fields.CPRV,
        fields.CPRW, fields.CPR, fields.U,    fields.V,    fields.W,   fields.SUU, fields.SUV,  fields.SUW,
        coefs.APU,   coefs.APV,  coefs.APW,   fields.P,    coefs.HU,   coefs.HV,   coefs.HW,    fields.SMASS,
        fields.AREAU, fields.AREAV, fields.AREAW, fields.DENU, fields.DENV, fields.DENW};
    std::vector<double> scratch(static_cast<size_t>(ncells) + 1);
    const size_t bytes = static_cast<size_t>(ncells) * sizeof(double);
    double best = 0.0;
    for (int rep = 0; rep < 5; ++rep) {
        const auto t0 = Clock::now();
        for (const double* s : sources) std::memcpy(scratch.data() + 1, s + 1, bytes);
        const auto t1 = Clock::now();
        const double traffic = 2.0 * static_cast<double>(bytes) * (sizeof sources / sizeof sources[0]);
        best = std::max(best, traffic / seconds(t0, t1));
    }
    volatile double sink = scratch[ncells / 2];
    (void)sink;
    return best;
}

long peak_rss_kb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// ---- 1 thread against N threads, bit for bit ------------------------------

// The per-cell arrays of the solution, the coefficients, sources and residuals
// the solver forms, and the mixing lengths.
struct NamedArray {
    const char* name;
    const double* data;
};

const NamedArray SOLVER_ARRAYS[] = {
    {"U", fields.U},         {"V", fields.V},         {"W", fields.W},         {"P", fields.P},
    {"T", fields.T},         {"C", fields.C},         {"C2", c2eq.C2},         {"DEN", fields.DEN},
    {"DENU", fields.DENU},   {"DENV", fields.DENV},   {"DENW", fields.DENW},   {"MIMB", fields.MIMB},
    {"SMASS", fields.SMASS}, {"SUU", fields.SUU},     {"SUV", fields.SUV},     {"SUW", fields.SUW},
    {"SCU", fields.SCU},     {"SCV", fields.SCV},     {"SCW", fields.SCW},     {"SPU", fields.SPU},
    {"SPV", fields.SPV},     {"SPW", fields.SPW},     {"SCT", fields.SCT},     {"SPT", fields.SPT},
    {"SCC", fields.SCC},     {"SPC", fields.SPC},     {"APC", fields.APC},     {"SUC", fields.SUC},
    {"AN", coefs.AN},        {"AS", coefs.AS},        {"AE", coefs.AE},        {"AW", coefs.AW},
    {"AT", coefs.AT},        {"AB", coefs.AB},        {"APU", coefs.APU},      {"APV", coefs.APV},
    {"APW", coefs.APW},      {"HU", coefs.HU},        {"HV", coefs.HV},        {"HW", coefs.HW},
    {"APT", coefs.APT},      {"SUT", coefs.SUT},      {"SCC2", c2eq.SCC2},     {"SPC2", c2eq.SPC2},
    {"APC2", c2eq.APC2},     {"SUC2", c2eq.SUC2},     {"COND", c2eq.COND},     {"RESUVW", resid.RESUVW},
    {"RESM", resid.RESM},    {"REST", resid.REST},    {"RESC", resid.RESC},    {"RESC2", resid.RESC2},
    {"XLMIX", mixlen.XLMIX},
};
constexpr int NARRAYS = sizeof SOLVER_ARRAYS / sizeof SOLVER_ARRAYS[0];

// The solved fields, kept whole so that a difference can be located.
constexpr int NKEPT = 7;   // U, V, W, P, T, C, C2

// The sums of an iteration.
std::vector<std::pair<const char*, double>> iteration_sums() {
    return {{"RU0", runctl.RU0},       {"RV0", runctl.RV0},       {"RW0", runctl.RW0},
            {"RM0", runctl.RM0},       {"RT0", runctl.RT0},       {"RC0", runctl.RC0},
            {"RC20", runctl.RC20},     {"CONDT", runctl.CONDT},   {"SDT", domsums.SDT},
            {"SDU", domsums.SDU},      {"SDC", domsums.SDC},      {"XDT", domsums.XDT},
            {"XDU", domsums.XDU},      {"XDC", domsums.XDC},      {"FLOWIN", domsums.FLOWIN},
            {"FLOWOUT", domsums.FLOWOUT}, {"RT", runctl.RT},      {"RC", runctl.RC},
            {"RC2", runctl.RC2}};
}

uint64_t bits(double v) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// FNV-1a over the 64-bit words of an array.
uint64_t hash_words(const double* a, int32_t n) {
    uint64_t h = 0xcbf29ce484222325u;
    for (int32_t p = 0; p < n; ++p) {
        h ^= bits(a[p]);
        h *= 0x100000001b3u;
    }
    return h;
}

struct Snapshot {
    uint64_t hash[NARRAYS] = {};
    std::vector<double> kept[NKEPT];
    std::vector<uint64_t> sums;
};

Snapshot take_snapshot(int32_t padded) {
    Snapshot s;
    for (int a = 0; a < NARRAYS; ++a) s.hash[a] = hash_words(SOLVER_ARRAYS[a].data, padded);
    for (int a = 0; a < NKEPT; ++a) s.kept[a].assign(SOLVER_ARRAYS[a].data, SOLVER_ARRAYS[a].data + padded);
    for (const auto& [name, v] : iteration_sums()) s.sums.push_back(bits(v));
    return s;
}

// Lists what differs between a snapshot and the engine's state now; empty
// when every bit agrees.
std::string differences(const Snapshot& s, int32_t padded) {
    std::string out;
    auto add = [&out](const std::string& item) { out += (out.empty() ? "" : ", ") + item; };
    for (int a = 0; a < NARRAYS; ++a) {
        const double* now = SOLVER_ARRAYS[a].data;
        if (a < NKEPT) {
            int32_t count = 0, first = -1;
            for (int32_t p = 0; p < padded; ++p)
                if (bits(now[p]) != bits(s.kept[a][p])) {
                    if (first < 0) first = p;
                    ++count;
                }
            if (count == 0) continue;
            // Cell index p = i + (j-1) JSTRIDE + (k-1) KSTRIDE.
            const int js = griddim.JSTRIDE, ks = griddim.KSTRIDE;
            const int q = std::max(first - 1, 0);
            const int k = q / ks + 1, j = q % ks / js + 1, i = q % ks % js + 1;
            add(std::string(SOLVER_ARRAYS[a].name) + " (" + std::to_string(count) + " cells, first at " +
                std::to_string(i) + "," + std::to_string(j) + "," + std::to_string(k) + ")");
        } else if (hash_words(now, padded) != s.hash[a]) {
            add(SOLVER_ARRAYS[a].name);
        }
    }
    const auto sums = iteration_sums();
    for (size_t n = 0; n < sums.size(); ++n)
        if (bits(sums[n].second) != s.sums[n]) add(sums[n].first);
    return out;
}

void run_iterations(int n) {
    for (int it = 0; it < n; ++it) one_iteration();
}

// ---- other programs on the machine ----------------------------------------

// The load averages of the machine, as /proc/loadavg gives them ("?" when it
// cannot be read).
std::string load_average() {
    std::ifstream in("/proc/loadavg");
    double a = 0, b = 0, c = 0;
    if (!(in >> a >> b >> c)) return "?";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f %.2f %.2f", a, b, c);
    return buf;
}

// Processes that each keep a core busy, as another program would, until
// the benchmark ends them.
class BusyCores {
public:
    explicit BusyCores(int n) {
        for (int c = 0; c < n; ++c) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                ::alarm(3600);   // never outlives a benchmark that died
                volatile unsigned long x = 0;
                for (;;) x = x + 1;
            }
            if (pid > 0) pids_.push_back(pid);
        }
    }
    ~BusyCores() {
        for (pid_t pid : pids_) ::kill(pid, SIGKILL);
        for (pid_t pid : pids_) ::waitpid(pid, nullptr, 0);
    }
    BusyCores(const BusyCores&) = delete;
    BusyCores& operator=(const BusyCores&) = delete;
    int count() const { return static_cast<int>(pids_.size()); }

private:
    std::vector<pid_t> pids_;
};

// ---- the scan of thread counts ----------------------------------------------

// Untimed iterations of the default count before the scan times it.
constexpr int DEFAULT_WARMUP = 12;

// Every count 1..max against 1 thread in the same repetitions, then every
// count's bits against 1 thread's. Returns false when the case cannot be
// loaded again.
bool scan_counts(const Options& o, int max, const std::string& case_path, const std::string& control_path,
                 int32_t padded) {
    // Warm-up: the first iterations touch the arrays for the first time.
    for (int n = 0; n < o.warmup; ++n) {
        for (int t = 1; t <= max; ++t) {
            set_solver_threads(t);
            one_iteration();
        }
    }
    // The default count times its choices of workers in the first iterations
    // of a run (every kind of sweep and pass tries all the workers, all but
    // one, one and half of them, then spaces out its tries of other counts):
    // the scan times it as it runs past them.
    set_solver_threads(0);
    for (int it = 0; it < DEFAULT_WARMUP; ++it) one_iteration();
    const std::string load_before = load_average();
    // time[t][0]: the 1-thread iteration timed next to count t; time[t][1]:
    // count t's own.
    // Index max + 1: the default count.
    std::vector<std::vector<double>> time[2];
    time[0].resize(static_cast<size_t>(max) + 2);
    time[1].resize(static_cast<size_t>(max) + 2);
    for (int rep = 0; rep < o.repeats; ++rep) {
        for (int t = 2; t <= max + 1; ++t) {
            const int order[2] = {rep % 2, 1 - rep % 2};   // 0: 1 thread, 1: t threads
            for (int s : order) {
                set_solver_threads(s == 0 ? 1 : t <= max ? t : 0);
                time[s][static_cast<size_t>(t)].push_back(one_iteration());
            }
        }
        std::fprintf(stderr, "  repetition %d of %d done\n", rep + 1, o.repeats);
    }
    const std::string load_after = load_average();
    // The 1-thread line: all the 1-thread iterations of the scan.
    std::vector<double> all_one;
    for (int t = 2; t <= max; ++t)
        all_one.insert(all_one.end(), time[0][static_cast<size_t>(t)].begin(), time[0][static_cast<size_t>(t)].end());
    if (max < 2) {
        for (int rep = 0; rep < o.repeats; ++rep) {
            set_solver_threads(1);
            all_one.push_back(one_iteration());
        }
    }

    // Bits: every count from the same start as 1 thread.
    std::vector<std::string> diff(static_cast<size_t>(max) + 1);
    const bool check = o.check_iterations > 0;
    if (check) {
        set_solver_threads(1);
        if (!load_case(case_path, control_path)) return false;
        run_iterations(o.check_iterations);
        const Snapshot serial = take_snapshot(padded);
        for (int t = 2; t <= max; ++t) {
            set_solver_threads(t);
            if (!load_case(case_path, control_path)) return false;
            run_iterations(o.check_iterations);
            diff[static_cast<size_t>(t)] = differences(serial, padded);
        }
    }

    std::printf("\nscan of thread counts, %d repetitions; load average %s before the timing, %s after\n",
                o.repeats, load_before.c_str(), load_after.c_str());
    std::printf("  (each count's iterations alternate with 1-thread iterations, the order swapped every repetition;\n"
                "   speed-up = the 1-thread median over the count's median, and best over best)\n");
    std::printf("  %7s %12s %12s %10s %10s %9s %9s %11s %9s\n", "threads", "1 thr med s", "N thr med s",
                "1 thr best", "N thr best", "speed-up", "best s-u", "med/best-1", "bits");
    std::printf("  %7d %12.4f %12.4f %10.4f %10.4f %9.2f %9.2f %10.0f%% %9s\n", 1, median(all_one), median(all_one),
                minimum(all_one), minimum(all_one), 1.0, 1.0,
                100.0 * (median(all_one) / minimum(all_one) - 1.0), "-");
    for (int t = 2; t <= max; ++t) {
        const auto& one = time[0][static_cast<size_t>(t)];
        const auto& many = time[1][static_cast<size_t>(t)];
        const std::string& d = diff[static_cast<size_t>(t)];
        std::printf("  %7d %12.4f %12.4f %10.4f %10.4f %9.2f %9.2f %10.0f%% %9s\n", t, median(one), median(many),
                    minimum(one), minimum(many), median(one) / median(many), minimum(one) / minimum(many),
                    100.0 * (median(many) / minimum(many) - 1.0), !check ? "-" : d.empty() ? "same" : "DIFFER");
    }
    {
        set_solver_threads(0);
        const auto& one = time[0][static_cast<size_t>(max) + 1];
        const auto& many = time[1][static_cast<size_t>(max) + 1];
        std::printf("  %7s %12.4f %12.4f %10.4f %10.4f %9.2f %9.2f %10.0f%% %9s\n", "default", median(one),
                    median(many), minimum(one), minimum(many), median(one) / median(many),
                    minimum(one) / minimum(many), 100.0 * (median(many) / minimum(many) - 1.0), "-");
        std::printf("  (default: the solver's default count, %d, with %s)\n", default_solver_threads(),
                    loops::count_adapts() ? "the count of workers choosing itself" : "a count asked for");
    }
    for (int t = 2; t <= max; ++t)
        if (!diff[static_cast<size_t>(t)].empty())
            std::printf("  differing on %d threads: %s\n", t, diff[static_cast<size_t>(t)].c_str());
    if (check)
        std::printf("  (bits: %d iteration%s from new fields on each count against 1 thread; %d arrays and %zu sums)\n",
                    o.check_iterations, o.check_iterations == 1 ? "" : "s", NARRAYS, iteration_sums().size());
    std::printf("peak memory:          %.1f MB resident\n", static_cast<double>(peak_rss_kb()) / 1024.0);
    return true;
}

// ---- report ----------------------------------------------------------------

void print_row(const char* name, double one, double many, double gs) {
    std::printf("  %-26s %9.2f %10.2f %9.2f %9.2f %9.2f\n", name, one, many, one / many, one / gs, many / gs);
}

}  // namespace

int main(int argc, char** argv) {
    for (int a = 1; a < argc; ++a)
        if (std::strcmp(argv[a], "--help") == 0 || std::strcmp(argv[a], "-h") == 0) {
            usage(stdout);
            return 0;
        }
    Options o;
    if (!parse(argc, argv, o)) {
        usage(stderr);
        return 2;
    }
    const int64_t padded_cells = static_cast<int64_t>(o.nx + 1) * (o.ny + 1) * (o.nz + 1);
    if (padded_cells >= NCELLMAX || o.nx >= NDIRMAX || o.ny >= NDIRMAX || o.nz >= NDIRMAX) {
        std::fprintf(stderr, "%d x %d x %d cells exceed the limits of the %s build (%d padded cells, %d a side)\n",
                     o.nx, o.ny, o.nz, SMALL_BUILD ? "small" : "large", NCELLMAX, NDIRMAX);
        return 2;
    }
    const int nthreads = o.threads > 0 ? o.threads : default_solver_threads();
    BusyCores busy(o.busy);
    loops::set_forced_schedule(o.schedule);

    namespace fs = std::filesystem;
    fs::path dir;
    bool made_dir = false;
    if (o.dir.empty()) {
        std::string tmpl = (fs::temp_directory_path() / "tarvex-bench-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) {
            std::perror("mkdtemp");
            return 1;
        }
        dir = tmpl;
        made_dir = true;
    } else {
        dir = o.dir;
        fs::create_directories(dir);
    }
    const std::string case_path = (dir / "bench.case").string();
    const std::string control_path = (dir / "bench.control").string();
    if (!write_case(case_path, o) || !write_control(control_path, o)) {
        std::fprintf(stderr, "cannot write the case files in %s\n", dir.string().c_str());
        return 1;
    }

    // The readers' console lines are of no interest here.
    QuietSink quiet;
    set_channel_sink(CH_CONSOLE, &quiet);
    set_channel_sink(CH_ITER, &quiet);
    const auto tl0 = Clock::now();
    if (!load_case(case_path, control_path)) return 1;
    const auto tl1 = Clock::now();

    const int32_t cells = griddim.NX * griddim.NY * griddim.NZ;
    const int32_t padded = (griddim.NX + 1) * (griddim.NY + 1) * (griddim.NZ + 1);
    const Widths w = case_widths(o);
    std::printf("build:                %s\n", SMALL_BUILD ? "small" : "large");
    std::printf("grid:                 %d x %d x %d = %d cells (%d padded), %d pressure boundaries\n", griddim.NX,
                griddim.NY, griddim.NZ, cells, padded, pbtable.NPB);
    std::printf("room:                 %.2f x %.2f x %.2f m%s\n", griddim.NX * w.x, griddim.NY * w.y,
                griddim.NZ * w.z, o.reference ? " (the reference room, heated floor)" : "");
    std::printf("passes per iteration: %d velocity-pressure, %d temperature, %d concentration\n", runctl.NPASS,
                runctl.NPASST, runctl.NPASSC);
    if (o.scan > 0)
        std::printf("threads:              1 against each of 2..%d (default %d)\n", o.scan, default_solver_threads());
    else
        std::printf("threads:              1 against %d (default %d)\n", nthreads, default_solver_threads());
    std::printf("repetitions:          %d, 1-thread and %s runs alternating; medians below\n", o.repeats,
                o.scan > 0 ? "N-thread" : (std::to_string(nthreads) + "-thread").c_str());
    std::printf("cores kept busy:      %d by processes of the benchmark's own; %u cores, load average %s\n",
                busy.count(), std::thread::hardware_concurrency(), load_average().c_str());
    std::printf("load and initialise:  %.3f s\n", seconds(tl0, tl1));

    if (o.scan > 0) {
        const bool ok = scan_counts(o, o.scan, case_path, control_path, padded);
        set_solver_threads(0);
        set_channel_sink(CH_CONSOLE, nullptr);
        set_channel_sink(CH_ITER, nullptr);
        if (made_dir && !o.keep) {
            std::error_code ec;
            fs::remove_all(dir, ec);
        }
        return ok ? 0 : 1;
    }

    // Warm-up: the first iterations touch the arrays for the first time.
    for (int n = 0; n < o.warmup; ++n) {
        for (int t : {1, nthreads}) {
            set_solver_threads(t);
            one_iteration();
        }
    }
    const long solver_peak_kb = peak_rss_kb();

    PlainGaussSeidel gs(griddim.NX, griddim.NY, griddim.NZ);
    gs.sweep();

    std::vector<double> iter_time[2];
    std::vector<double> sweep_ns[2][NROUTINES];
    std::vector<double> gs_ns;
    for (int rep = 0; rep < o.repeats; ++rep) {
        const int order[2] = {rep % 2, 1 - rep % 2};   // 0: 1 thread, 1: N threads
        double t_iter[2] = {};
        for (int s : order) {
            set_solver_threads(s == 0 ? 1 : nthreads);
            t_iter[s] = one_iteration();
            iter_time[s].push_back(t_iter[s]);
        }
        for (int s : order) {
            set_solver_threads(s == 0 ? 1 : nthreads);
            time_sweeps(cells, sweep_ns[s]);
        }
        gs_ns.push_back((gs.sweep() + gs.sweep()) / 2.0 * 1e9 / cells);
        const double vol = domsums.VOLTOT;
        std::printf("  repetition %2d: iteration %.3f s on 1 thread, %.3f s on %d   (mass %.3e  force %.3e  energy %.3e)\n",
                    rep + 1, t_iter[0], t_iter[1], nthreads, runctl.RM0 / vol,
                    std::max({runctl.RU0, runctl.RV0, runctl.RW0}) / vol, runctl.RT0 * 0.93 / vol);
    }
    set_solver_threads(nthreads);

    const double it1 = median(iter_time[0]), itn = median(iter_time[1]);
    std::printf("\nseconds per outer iteration   %9s %10s %9s\n", "1 thread", (std::to_string(nthreads) + " threads").c_str(),
                "speed-up");
    std::printf("  median                     %9.4f %10.4f %9.2f\n", it1, itn, it1 / itn);
    std::printf("  best                       %9.4f %10.4f\n", minimum(iter_time[0]), minimum(iter_time[1]));
    std::printf("  worst                      %9.4f %10.4f\n", maximum(iter_time[0]), maximum(iter_time[1]));

    const double gsm = median(gs_ns);
    std::printf("\nns per cell update (median)  %9s %10s %9s %9s %9s\n", "1 thread",
                (std::to_string(nthreads) + " threads").c_str(), "speed-up", "/GS, 1", "/GS, N");
    double med[2][NROUTINES];
    double vp[2] = {};
    for (int r = 0; r < NROUTINES; ++r) {
        for (int s = 0; s < 2; ++s) {
            med[s][r] = median(sweep_ns[s][r]);
            if (ROUTINES[r].velocity_pressure) vp[s] += med[s][r];
        }
        print_row(ROUTINES[r].name, med[0][r], med[1][r], gsm);
    }
    print_row("velocity-pressure (4)", vp[0], vp[1], gsm * NVP);
    std::printf("  plain 7-point Gauss-Seidel %9.2f   (1 thread, the latency bound of a point Gauss-Seidel sweep)\n",
                gsm);
    std::printf("  (/GS, 1 and /GS, N: the sweep's time on 1 and on %d threads over the plain kernel's on 1 thread;\n"
                "   the velocity-pressure line against 4 plain sweeps)\n",
                nthreads);

    // What the sweeps make of an iteration: an iteration of steady runs makes
    // NPASS velocity-pressure sweeps and the scalar blocks their passes, each
    // rounded up to pairs (forward and backward).
    auto sweeps_of = [](int passes) { return std::max(2, (passes + 1) / 2 * 2); };
    for (int s = 0; s < 2; ++s) {
        const double in_iter = s == 0 ? it1 : itn;
        const double vp_s = sweeps_of(runctl.NPASS) * vp[s] * cells * 1e-9;
        const double sc_s = (sweeps_of(runctl.NPASST) * med[s][4] + sweeps_of(runctl.NPASSC) * (med[s][5] + med[s][6])) *
                            cells * 1e-9;
        const std::string label = s == 0 ? "1 thread:" : std::to_string(nthreads) + " threads:";
        // The sweeps are timed apart from the iteration; when they took
        // longer there than within it (a noisy machine), the rest is shown
        // as nothing rather than as a negative share.
        const double rest = in_iter - vp_s - sc_s;
        std::printf("share of an iteration, %-11s velocity-pressure sweeps %.0f %%, scalar sweeps %.0f %%,"
                    " set-ups and the rest %s\n",
                    label.c_str(), 100.0 * vp_s / in_iter, 100.0 * sc_s / in_iter,
                    rest > 0.005 * in_iter ? (std::to_string(static_cast<int>(100.0 * rest / in_iter + 0.5)) + " %").c_str()
                                          : "0 % (the sweeps timed apart took at least the whole iteration)");
    }

    // Bandwidth reference.
    const double copy_bw = copy_bandwidth(padded);
    const double sweep_bytes = static_cast<double>(SWEEP_ARRAYS) * sizeof(double) * padded;
    const double vp_seconds = vp[0] * cells * 1e-9;
    std::printf("\nstreaming copy:       %.2f GB/s; at that rate the %d arrays one velocity-pressure sweep reads or\n"
                "                      writes stream in %.2f ns per cell, against the sweep's %.2f ns on 1 thread\n"
                "                      (%.2f GB/s): a bandwidth reference, not the bound; the sweeps are bound by\n"
                "                      the latency of the Gauss-Seidel chain (see /GS above)\n",
                copy_bw / 1e9, SWEEP_ARRAYS, sweep_bytes / copy_bw * 1e9 / cells, vp[0], sweep_bytes / vp_seconds / 1e9);

    const long end_peak_kb = peak_rss_kb();
    std::printf("peak memory:          %.1f MB resident after the warm-up (the solver's); %.1f MB at the end of the\n"
                "                      timing, with the plain kernel's %.1f MB and the copy's scratch array\n",
                static_cast<double>(solver_peak_kb) / 1024.0, static_cast<double>(end_peak_kb) / 1024.0,
                static_cast<double>(gs.bytes()) / (1024.0 * 1024.0));

    // 1 thread against N threads from the same start.
    if (o.check_iterations > 0) {
        set_solver_threads(1);
        if (!load_case(case_path, control_path)) return 1;
        run_iterations(o.check_iterations);
        const Snapshot serial = take_snapshot(padded);
        set_solver_threads(nthreads);
        if (!load_case(case_path, control_path)) return 1;
        run_iterations(o.check_iterations);
        const std::string diff = differences(serial, padded);
        std::printf("fields identical: %s   (%d iteration%s from new fields on 1 and on %d threads; %d arrays and "
                    "%zu sums compared bit for bit)\n",
                    diff.empty() ? "yes" : "no", o.check_iterations, o.check_iterations == 1 ? "" : "s", nthreads,
                    NARRAYS, serial.sums.size());
        if (!diff.empty()) std::printf("  differing: %s\n", diff.c_str());
    }

    set_channel_sink(CH_CONSOLE, nullptr);
    set_channel_sink(CH_ITER, nullptr);
    if (made_dir && !o.keep) {
        std::error_code ec;
        fs::remove_all(dir, ec);
    } else {
        std::printf("case files kept in %s\n", dir.string().c_str());
    }
    return 0;
}
