// Solver benchmark.
//
// Writes a case of the asked size (a room with supply and extract, heat,
// contaminant and water gains, U-value walls, a one-cell partition with
// coupled surfaces, a buoyant region and about 50 pressure boundaries) and its
// control file, loads them through the engine's readers, starts new fields and
// runs outer iterations. Prints the seconds per outer iteration, the
// nanoseconds per cell of one velocity-pressure sweep (CALCU, CALCV, CALCW and
// CALCP in one direction), the bytes of arrays such a sweep must read and
// write divided by its time, and the same for a plain streaming copy of the
// same arrays, so the sweep reads as a fraction of the machine's bandwidth.
// Ends with the peak resident memory of the process.
//
// Usage: tarvex_bench_solver [NX NY NZ] [--iterations N] [--passes N]
//                            [--sweeps N] [--dir DIRECTORY] [--keep]

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/channels.h"
#include "engine/engine.h"

namespace {

using namespace tarvex;
using Clock = std::chrono::steady_clock;

struct Options {
    int nx = SMALL_BUILD ? 61 : 98;
    int ny = SMALL_BUILD ? 61 : 98;
    int nz = SMALL_BUILD ? 61 : 98;
    int iterations = 5;
    int passes = 10;        // velocity-pressure sweeps per outer iteration
    int sweeps = 20;        // timed velocity-pressure sweeps
    std::string dir;
    bool keep = false;
};

void usage() {
    std::fprintf(stderr,
                 "usage: tarvex_bench_solver [NX NY NZ] [--iterations N] [--passes N] [--sweeps N]"
                 " [--dir DIRECTORY] [--keep]\n");
}

bool parse(int argc, char** argv, Options& o) {
    std::vector<int> dims;
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        auto value = [&](int& out) {
            if (a + 1 >= argc) return false;
            out = std::atoi(argv[++a]);
            return out > 0;
        };
        if (arg == "--iterations") {
            if (!value(o.iterations)) return false;
        } else if (arg == "--passes") {
            if (!value(o.passes)) return false;
        } else if (arg == "--sweeps") {
            if (!value(o.sweeps)) return false;
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
        o.nx = dims[0];
        o.ny = dims[1];
        o.nz = dims[2];
    } else if (!dims.empty()) {
        return false;
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

// Cells of 0.1 m: the default grid is a room of 9.8 m each way.
bool write_case(const std::string& path, const Options& o) {
    const int nx = o.nx, ny = o.ny, nz = o.nz;
    const double w = 0.1;
    Writer f{std::ofstream(path)};
    if (!f.out) return false;
    f.line("Solver benchmark room");
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
    f.items(2, nx + 1, w);
    f.items(0, 0, 0.0);
    f.marker("Y grid dimensions");
    f.items(2, ny + 1, w);
    f.items(0, 0, 0.0);
    f.marker("Z grid dimensions");
    f.items(2, nz + 1, w);
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
    int count = 0;
    for (int n = 0; n < 20; ++n) {
        const int j = clampi(2 + n * (ny - 4) / 20, 1, ny);
        const int k = n % 2 == 0 ? clampi(nz / 10, 1, nz) : clampi(nz * 8 / 10, 1, nz);
        f.items(1, 1, j, j, k, k, 1, 0.6, 0.0, 0.5, 5.0, 0.0, 70.0);
        ++count;
    }
    for (int n = 0; n < 20; ++n) {
        const int i = clampi(2 + n * (nx - 4) / 20, 1, nx);
        const int k = n % 2 == 0 ? clampi(nz / 5, 1, nz) : clampi(nz * 7 / 10, 1, nz);
        f.items(i, i, 1, 1, k, k, 3, 0.6, -0.5, 0.5);
        ++count;
    }
    for (int n = 0; n < 10; ++n) {
        const int i = clampi(nx / 10 + n * nx / 12, 1, nx);
        f.items(i, i, ny - 2, ny - 1, nz, nz, 6, 0.6, -1.0, 0.6);
        ++count;
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
    f.items(1, 1, 1, ny, 1, nz, 1, 0.0003, 5.0);
    f.items(nx, nx, 1, ny, 1, nz, 2, 0.0003, 5.0);
    f.items(1, nx, 1, 1, 1, nz, 3, 0.0003, 5.0);
    f.items(1, nx, ny, ny, 1, nz, 4, 0.0003, 12.0);
    f.items(1, nx, 1, ny, nz, nz, 6, 0.0002, 0.0);
    f.items(1, nx, 1, ny, 1, 1, 5, 0.0002, 10.0);
    f.items(ip - 1, ip - 1, 1, ny / 2, 1, nz, 2, 0.002, -300.0);
    f.items(ip + 1, ip + 1, 1, ny / 2, 1, nz, 1, 0.002, -300.0);
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

// ---- measurements --------------------------------------------------------

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

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

class CountSink : public LineSink {
public:
    void write_line(std::string_view) override {}
};

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) {
        usage();
        return 2;
    }
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
    CountSink quiet;
    set_channel_sink(CH_CONSOLE, &quiet);
    set_channel_sink(CH_ITER, &quiet);
    filenames.INFILE.assign(case_path);
    filenames.CTLFILE.assign(control_path);
    const auto tl0 = Clock::now();
    if (INPUT0() != 0) {
        set_channel_sink(CH_CONSOLE, nullptr);
        std::fprintf(stderr, "the case file %s was refused; rerun with --keep to look at it\n", case_path.c_str());
        return 1;
    }
    if (INPUT1() != 0) {
        std::fprintf(stderr, "the control file %s was refused\n", control_path.c_str());
        return 1;
    }
    INIVAL();
    const auto tl1 = Clock::now();

    const int32_t cells = griddim.NX * griddim.NY * griddim.NZ;
    const int32_t padded = (griddim.NX + 1) * (griddim.NY + 1) * (griddim.NZ + 1);
    std::printf("build:                %s\n", SMALL_BUILD ? "small" : "large");
    std::printf("grid:                 %d x %d x %d = %d cells (%d padded), %d pressure boundaries\n", griddim.NX,
                griddim.NY, griddim.NZ, cells, padded, pbtable.NPB);
    std::printf("passes per iteration: %d velocity-pressure, %d temperature, %d concentration\n", runctl.NPASS,
                runctl.NPASST, runctl.NPASSC);
    std::printf("load and initialise:  %.3f s\n", seconds(tl0, tl1));

    // Outer iterations.
    std::vector<double> times;
    for (int it = 0; it < o.iterations; ++it) {
        runctl.ITER += 1;
        int iusr3 = 0, iconv = 0;
        const auto t0 = Clock::now();
        SOLVE(iusr3, iconv);
        const auto t1 = Clock::now();
        times.push_back(seconds(t0, t1));
        const double vol = domsums.VOLTOT;
        std::printf("  iteration %3d: %.3f s   mass %.3e  force %.3e  energy %.3e\n", runctl.ITER, times.back(),
                    runctl.RM0 / vol, std::max({runctl.RU0, runctl.RV0, runctl.RW0}) / vol, runctl.RT0 * 0.93 / vol);
    }
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    double mean = 0.0;
    for (double t : times) mean += t;
    mean /= static_cast<double>(times.size());
    std::printf("seconds per outer iteration: mean %.4f, median %.4f, best %.4f\n", mean, sorted[sorted.size() / 2],
                sorted.front());

    // Velocity-pressure sweeps alone, on the state the iterations left.
    const auto ts0 = Clock::now();
    for (int s = 0; s < o.sweeps; ++s) {
        const int dir_arg = s % 2 == 0 ? 1 : 2;
        CALCU(dir_arg);
        CALCV(dir_arg);
        CALCW(dir_arg);
        CALCP(dir_arg);
    }
    const auto ts1 = Clock::now();
    const double per_sweep = seconds(ts0, ts1) / o.sweeps;
    const double sweep_bytes = static_cast<double>(SWEEP_ARRAYS) * sizeof(double) * padded;
    const double sweep_bw = sweep_bytes / per_sweep;
    const long peak_kb = peak_rss_kb();
    const double copy_bw = copy_bandwidth(padded);
    std::printf("velocity-pressure sweep: %.2f ms, %.2f ns per cell\n", per_sweep * 1e3, per_sweep * 1e9 / cells);
    std::printf("effective bandwidth:  %.2f GB/s (%d arrays of %d cells read or written per sweep)\n",
                sweep_bw / 1e9, SWEEP_ARRAYS, padded);
    std::printf("streaming copy:       %.2f GB/s over the same arrays; the sweep reaches %.0f %% of it\n",
                copy_bw / 1e9, 100.0 * sweep_bw / copy_bw);
    std::printf("peak memory:          %.1f MB resident\n", static_cast<double>(peak_kb) / 1024.0);

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
