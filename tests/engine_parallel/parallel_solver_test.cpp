// The solver on several threads gives the serial results to the bit.
//
// Rooms that use every part of the outer iteration (supply and extract, heat,
// contaminant and water gains with condensation, pressure boundaries with
// their jets, U-value surfaces, a buoyant region, the mixing-length model)
// run serially and then on other thread counts, with the parallel paths taken
// however small the grid. After every iteration the sums of the iteration
// (set-up residuals, condensation, sweep changes and their maxima, post-sweep
// residuals) must be the same bits, and at the end so must the saved-data
// file, byte for byte. The grids include thin ones (one cell across y or z)
// and thread counts above the number of rows along every axis.
//
// The program is small on purpose: the ThreadSanitizer stage of the test
// script runs it to check the workers' synchronisation.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/channels.h"
#include "engine/engine.h"
#include "engine/solver_loops.h"
#include "engine/solver_pool.h"
#include "engine/solver_threads.h"
#include "tests/engine/solve_fixture.h"
#include "tests/engine/run_setup.h"

namespace tarvex {
namespace {

int idx(int i, int j, int k) { return ARIDX(i, j, k); }

// A room of nx x ny x nz cells (uneven widths) with everything switched on.
void lay_out_room(int nx, int ny, int nz) {
    std::vector<double> dx, dy, dz;
    for (int i = 0; i < nx; ++i) dx.push_back(0.3 + 0.05 * (i % 3));
    for (int j = 0; j < ny; ++j) dy.push_back(0.25 + 0.04 * (j % 4));
    for (int k = 0; k < nz; ++k) dz.push_back(0.2 + 0.03 * (k % 2));
    test::make_grid(dx, dy, dz);

    test::set_steady_controls({.viseff = 0.02, .model = 3, .npass = 6, .npasst = 4, .npassc = 4, .rlx_flow = 0.6});
    runctl.ITEMP = 1;
    runctl.ICONC = 1;
    runctl.GZ = -9.81;
    runctl.BUOYZ = runctl.GZ * AIRDEN;
    test::fill(mixlen.XLMIX, 0.05);
    test::fill(fields.T, 293.15);
    test::fill(fields.C, 1e-4);
    test::fill(c2eq.C2, 1.2e-2);   // moist: some cells condense

    // A blocked cell inside, when there is room for one.
    if (nx > 2 && ny > 2 && nz > 2) test::block_cell(nx / 2, ny / 2, nz / 2);

    // Supply in a top corner, extract in the opposite bottom corner.
    const double m = 0.01;
    const int ps = idx(1, 1, nz), pe = idx(nx, ny, 1);
    fields.SMASS[ps] = m;
    fields.SPT[ps] = m;
    fields.SCT[ps] = m * 288.15;
    fields.SPC[ps] = m;
    c2eq.SPC2[ps] = m;
    c2eq.SCC2[ps] = m * 8e-3;
    fields.SMASS[pe] = -m;
    // Gains on the floor.
    fields.SCT[idx((nx + 1) / 2, 1, 1)] += 0.2;
    fields.SCC[idx(nx, (ny + 1) / 2, 1)] += 1e-6;
    c2eq.SCC2[idx(1, ny, 1)] += 1e-5;

    // Pressure boundaries: an opening in the west wall and one in the east
    // wall (their jets enter the momentum set-ups), one in the floor.
    test::add_pb(1, 1, 1, ny, 1, nz, 1, 0.002, 2.0, 0.5, 290.0, 0.0, 6e-3);
    test::add_pb(nx, nx, 1, 1, nz, nz, 2, 0.003, -1.0, 0.6, 295.0, 0.0, 7e-3);
    test::add_pb(1, nx, ny, ny, 1, 1, 5, 0.001, 0.5, 0.5, 293.0, 1e-5, 5e-3);
    test::pb_done();

    // U-value surfaces on the north wall: a fixed temperature beyond, and a
    // surface coupled to the air two cells across where there is such air.
    for (int k = 1; k <= nz; ++k)
        for (int i = 1; i <= nx; ++i) {
            const int p = idx(i, ny, k);
            uvaltab.UVALCELL[p] = true;
            for (int f = 1; f <= 6; ++f) uvaltab.UVAL[uvidx(p, f)] = uvaltab.UVALT[uvidx(p, f)] = NOT_SET;
            uvaltab.UVAL[uvidx(p, 4)] = 0.002;
            uvaltab.UVALT[uvidx(p, 4)] = 0.002 * 280.0;
            if (ny > 2) {
                uvaltab.UVAL[uvidx(p, 3)] = 0.001;
                uvaltab.UVALT[uvidx(p, 3)] = 0.001;   // coupled
            }
        }
    uvaltab.UVALSET = true;
}

// The sums an iteration leaves, as exact hexadecimal text.
std::string iteration_sums() {
    const double values[] = {runctl.RU0, runctl.RV0, runctl.RW0, runctl.RM0, runctl.RT0, runctl.RC0,
                             runctl.RC20, runctl.CONDT, runctl.RU, runctl.RV, runctl.RW, runctl.RM,
                             runctl.RT, runctl.RC, runctl.RC2, domsums.SDT, domsums.SDU, domsums.SDC,
                             domsums.XDT, domsums.XDU, domsums.XDC, domsums.FLOWIN, domsums.FLOWOUT};
    std::string out;
    char buf[40];
    for (double v : values) {
        std::snprintf(buf, sizeof buf, "%a ", v);
        out += buf;
    }
    return out + "\n";
}

// What a run leaves: the sums of every iteration, then the saved data.
struct RunResult {
    std::vector<std::string> sums;
    std::string saved;
};

RunResult run_room(int nx, int ny, int nz, int iterations, int threads) {
    set_solver_threads(threads);
    lay_out_room(nx, ny, nz);
    RunResult r;
    for (int it = 0; it < iterations; ++it) {
        runctl.ITER += 1;
        int iusr3 = 0, iconv = 0;
        SOLVE(iusr3, iconv);
        // The end-of-run balances are passes with sums too.
        double a, b, c, d;
        ALLFLOWS(a, b, c, d);
        double e, f;
        UENERGY(e, f);
        char buf[200];
        std::snprintf(buf, sizeof buf, "%a %a %a %a %a %a ", a, b, c, d, e, f);
        r.sums.push_back(iteration_sums() + buf);
    }
    r.saved = test::saved_bytes("tarvex_parallel");
    return r;
}

class ParallelSolver : public ::testing::Test {
protected:

    // Runs a room serially and on each thread count; every run must match
    // the serial one.
    void expect_same_as_serial(int nx, int ny, int nz, int iterations, const std::vector<int>& counts) {
        const RunResult serial = run_room(nx, ny, nz, iterations, 1);
        ASSERT_FALSE(serial.saved.empty());
        for (int n : counts) {
            const RunResult got = run_room(nx, ny, nz, iterations, n);
            ASSERT_EQ(got.sums.size(), serial.sums.size());
            for (std::size_t it = 0; it < serial.sums.size(); ++it)
                ASSERT_EQ(got.sums[it], serial.sums[it]) << n << " threads, iteration " << it + 1;
            EXPECT_TRUE(got.saved == serial.saved) << "saved data differ on " << n << " threads";
        }
    }

private:
    test::ParallelPaths parallel_paths_;
};

TEST_F(ParallelSolver, RoomGivesTheSerialBitsOnAnyThreadCount) {
    // 9 rows along y and 7 along z: 13 threads exceed both.
    expect_same_as_serial(11, 9, 7, 4, {2, 3, 5, 8, 13});
}

TEST_F(ParallelSolver, ThinRoomsGiveTheSerialBits) {
    // One cell across y: the rows form a single chain along z.
    expect_same_as_serial(10, 1, 8, 3, {2, 3, 8});
    // One cell across z: a single plane of rows.
    expect_same_as_serial(10, 8, 1, 3, {2, 3, 8});
    // A single row of cells.
    expect_same_as_serial(12, 1, 1, 3, {3});
}

// The default threshold keeps tiny grids serial, and the results are the
// same either way.
TEST_F(ParallelSolver, SmallGridsRunSeriallyByDefaultWithTheSameBits) {
    const RunResult parallel = run_room(6, 5, 4, 3, 4);
    loops::set_parallel_min_cells(1 << 30);
    const RunResult serial_path = run_room(6, 5, 4, 3, 4);
    EXPECT_EQ(parallel.sums, serial_path.sums);
    EXPECT_TRUE(parallel.saved == serial_path.saved);
}

// The solver may be driven from a thread other than the one that made the
// workers (the front end's calculation thread), one thread at a time.
TEST_F(ParallelSolver, AnotherDrivingThreadGetsTheSameBits) {
    const RunResult here = run_room(8, 6, 5, 3, 3);
    RunResult there;
    std::thread t([&] { there = run_room(8, 6, 5, 3, 3); });
    t.join();
    EXPECT_EQ(here.sums, there.sums);
    EXPECT_TRUE(here.saved == there.saved);
}

// A child process made by fork() after the workers exist has none of them;
// its sweeps must still finish, with the same bits.
TEST_F(ParallelSolver, ForkedChildMakesWorkersOfItsOwn) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "ThreadSanitizer ends a child of a threaded process that starts threads";
#else
    const RunResult parent = run_room(8, 6, 5, 2, 3);
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        alarm(60);   // a child that waits for workers it lacks ends instead of hanging
        const RunResult child = run_room(8, 6, 5, 2, 3);
        ::_exit(child.sums == parent.sums && child.saved == parent.saved ? 0 : 1);
    }
    ASSERT_GT(pid, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
#endif
}


// Every schedule the driver can take, forced on every sweep and pass: blocks
// of j rows or of k planes, the terms added by a worker of its own while the
// others visit rows, by the caller after them, or plane by plane by the last
// sweeper of blocks of j (with blocks of k, and in the passes, the caller adds
// them after), one or two interleaved rows, on 2 to 13
// threads (13 exceed the rows along both axes, so the blocks shrink to one
// row and the workers to the rows there are). One iteration runs every sweep
// and pass of the solver; the ThreadSanitizer stage runs this table too.
TEST_F(ParallelSolver, EveryForcedScheduleGivesTheSerialBits) {
    using S = loops::Schedule;
    const RunResult serial = run_room(7, 9, 6, 1, 1);
    ASSERT_FALSE(serial.saved.empty());
    for (S::Split split : {S::Split::j, S::Split::k})
        for (S::Adder adder : {S::Adder::on, S::Adder::off, S::Adder::last})
            for (int interleave : {1, 2}) {
                S sched;
                sched.split = split;
                sched.adder = adder;
                sched.interleave = interleave;
                loops::set_forced_schedule(sched);
                for (int n = 2; n <= 13; ++n) {
                    const RunResult got = run_room(7, 9, 6, 1, n);
                    const std::string what = std::string("blocks of ") + (split == S::Split::j ? "j" : "k") +
                                             (adder == S::Adder::on     ? ", adder"
                                              : adder == S::Adder::last ? ", last sweeper adds"
                                                                        : ", no adder") + ", " +
                                             std::to_string(interleave) + " row(s) at once, " +
                                             std::to_string(n) + " threads";
                    EXPECT_EQ(got.sums, serial.sums) << what;
                    EXPECT_TRUE(got.saved == serial.saved) << "saved data differ: " << what;
                }
            }
    loops::set_forced_schedule(S{});
}

// The blocks of a sweep whose last sweeper adds the planes: they cover the
// rows along j once, in order, each holds a row, and the last is no wider
// than any other (it adds the planes besides), over boxes from as many rows
// as sweepers up to the reference room's, on 2 to 13 threads.
TEST(SweepPlan, BlocksWhenTheLastSweeperAddsCoverEveryRowOnce) {
    using S = loops::Schedule;
    S sched;
    sched.split = S::Split::j;
    sched.adder = S::Adder::last;
    loops::set_forced_schedule(sched);
    for (int threads = 2; threads <= 13; ++threads)
        for (Index nj : {2, 3, 5, 9, 13, 20, 75, 200}) {
            const loops::detail::BoxShape shape{100, nj, 62};
            const loops::detail::SweepPlan plan = loops::detail::plan_sweep(threads, shape, true);
            const std::string what = std::to_string(threads) + " threads, " + std::to_string(nj) + " rows";
            ASSERT_TRUE(plan.split_j && plan.last_adds && !plan.adder) << what;
            ASSERT_EQ(plan.sweepers(), std::min<Index>(threads, nj)) << what;
            EXPECT_EQ(plan.block_start(0), 0) << what;
            EXPECT_EQ(plan.block_start(plan.sweepers()), nj) << what;
            const int last = plan.block_start(plan.sweepers()) - plan.block_start(plan.sweepers() - 1);
            EXPECT_EQ(last, plan.last_rows) << what;
            for (int w = 0; w < plan.sweepers(); ++w) {
                const int len = plan.block_start(w + 1) - plan.block_start(w);
                EXPECT_GE(len, 1) << what << ", sweeper " << w;
                EXPECT_LE(last, len) << what << ", sweeper " << w;
            }
        }
    loops::set_forced_schedule(S{});
}

// The schedule the driver takes for a box: blocks of j rows where the box has
// the rows for them (none when it has one row along j: each row needs the
// one before it), the last sweeper adding when the terms are kept, and a
// forced split that leaves the way of adding to the driver never brings in
// an adder of its own.
TEST(SweepPlan, ChoiceForTheBoxAndAForcedSplit) {
    using S = loops::Schedule;
    struct Case {
        const char* what;
        int threads;
        Index nj, nk;
        bool keeps;
        S::Split split;
        bool split_j, adder, last_adds;
        int workers;   // below 2: the sweep runs serially
    };
    const Case cases[] = {
        {"reference room, sums", 8, 75, 62, true, S::Split::automatic, true, false, true, 8},
        {"reference room, no sums", 8, 75, 62, false, S::Split::automatic, true, false, false, 8},
        {"two threads, sums", 2, 75, 62, true, S::Split::automatic, true, false, true, 2},
        {"one row along j", 8, 1, 62, true, S::Split::automatic, true, false, false, 1},
        {"blocks of k forced, sums", 8, 75, 62, true, S::Split::k, false, false, false, 8},
        {"blocks of k forced, four threads", 4, 75, 62, true, S::Split::k, false, false, false, 4},
        {"blocks of j forced on a box that prefers k", 8, 3, 200, true, S::Split::j, true, false, false, 3},
    };
    for (const Case& c : cases) {
        S sched;
        sched.split = c.split;
        loops::set_forced_schedule(sched);
        const loops::detail::SweepPlan plan = loops::detail::plan_sweep(c.threads, loops::detail::BoxShape{100, c.nj, c.nk}, c.keeps);
        EXPECT_EQ(plan.split_j, c.split_j) << c.what;
        EXPECT_EQ(plan.adder, c.adder) << c.what;
        EXPECT_EQ(plan.last_adds, c.last_adds) << c.what;
        EXPECT_EQ(plan.workers, c.workers) << c.what;
    }
    loops::set_forced_schedule(S{});
}

// The default count, whose workers per job choose themselves, gives the
// serial bits whatever it chooses.
TEST_F(ParallelSolver, DefaultCountChoosingItsWorkersGivesTheSerialBits) {
    const RunResult serial = run_room(9, 8, 7, 6, 1);
    const RunResult chosen = run_room(9, 8, 7, 6, 0);
    EXPECT_EQ(chosen.sums, serial.sums);
    EXPECT_TRUE(chosen.saved == serial.saved);
}

// When the system refuses the pool's threads, at once or after some have
// started, the work runs serially with the same bits; once threads can be
// had again, the pool is made.
TEST_F(ParallelSolver, PoolThatCannotStartItsThreadsRunsSerially) {
    const RunResult serial = run_room(8, 6, 5, 3, 1);
    for (int limit : {0, 1, 2}) {
        loops::set_thread_start_limit(limit);
        const RunResult got = run_room(8, 6, 5, 3, 4);
        {
            loops::PoolLease lease;
            EXPECT_FALSE(lease) << "a pool of 4 threads was made though only " << limit << " could start";
        }
        EXPECT_EQ(got.sums, serial.sums) << limit << " threads could start";
        EXPECT_TRUE(got.saved == serial.saved) << limit << " threads could start";
    }
    loops::set_thread_start_limit(-1);
    const RunResult again = run_room(8, 6, 5, 3, 4);
    {
        loops::PoolLease lease;
        EXPECT_TRUE(lease) << "the pool was not made again once threads could start";
    }
    EXPECT_EQ(again.sums, serial.sums);
}

// A pool already in use (a lease held elsewhere) cannot be had a second
// time; the solver then runs serially with the same bits, and the pool is
// there again once the lease ends.
TEST_F(ParallelSolver, PoolAlreadyInUseLeavesTheWorkSerial) {
    const RunResult serial = run_room(8, 6, 5, 3, 1);
    set_solver_threads(3);
    std::optional<loops::PoolLease> held;
    held.emplace();
    ASSERT_TRUE(*held);
    {
        loops::PoolLease second;
        EXPECT_FALSE(second);
    }
    const RunResult while_held = run_room(8, 6, 5, 3, 3);
    EXPECT_EQ(while_held.sums, serial.sums);
    EXPECT_TRUE(while_held.saved == serial.saved);
    held.reset();
    {
        loops::PoolLease after;
        EXPECT_TRUE(after);
    }
}

// The tuner of the count times all the workers, all but one, one and half of them first,
// then keeps to the fastest count timed, tries its neighbours every eighth
// job and half or twice it every 64th.
TEST(CountTuner, KeepsToTheFastestCountAndTriesItsNeighbours) {
    loops::CountTuner t;
    EXPECT_EQ(t.choose(1), 1);
    const int first[] = {8, 7, 1, 4};
    for (int c : first) {
        EXPECT_EQ(t.choose(8), c);
        t.record(c, 1000.0, 2e-3);
    }
    for (int c = 1; c <= 8; ++c) t.record(c, 1000.0, c == 3 ? 1e-3 : 2e-3);
    int at_best = 0, at_two = 0, at_four = 0, at_one = 0, other = 0;
    for (int job = 0; job < 64; ++job) {
        const int c = t.choose(8);
        (c == 3 ? at_best : c == 2 ? at_two : c == 4 ? at_four : c == 1 ? at_one : other) += 1;
    }
    // Jobs 5 to 68: the 64th tries half the best count, the other eighths
    // its neighbours in turn.
    EXPECT_EQ(at_best, 56);
    EXPECT_EQ(at_one, 1);
    EXPECT_EQ(at_two, 4);
    EXPECT_EQ(at_four, 3);
    EXPECT_EQ(other, 0);
    // A smaller bound than the best count: a count within it.
    EXPECT_LE(t.choose(2), 2);
    // The best count slows down: the tuner moves away from it.
    for (int n = 0; n < 10; ++n) t.record(3, 1000.0, 5e-3);
    int moved = 0;
    for (int job = 0; job < 8; ++job) moved += t.choose(8) != 3 ? 1 : 0;
    EXPECT_GE(moved, 7);
}

// Tries that lose space the next ones out: with one worker far the fastest
// (every core busy), the tries of other counts become rare; when two become
// faster the tuner finds them and tries often again.
TEST(CountTuner, LosingTriesComeMoreRarely) {
    loops::CountTuner t;
    double per_cell[9] = {0, 1e-6, 3e-6, 3e-6, 3e-6, 3e-6, 3e-6, 3e-6, 3e-6};
    auto job = [&] {
        const int c = t.choose(8);
        t.record(c, 1000.0, per_cell[c] * 1000.0);
        return c;
    };
    for (int n = 0; n < 4; ++n) job();   // all the workers, all but one, one, half of them
    int tries = 0;
    for (int n = 0; n < 2048; ++n) tries += job() != 1 ? 1 : 0;
    // Every eighth job would be 256 tries; spaced out, 2048 jobs hold fewer
    // than 32 (the gap doubles from 8 to 128, then a try every 128 jobs).
    EXPECT_LT(tries, 32);
    EXPECT_GT(tries, 0);   // still tried now and then

    per_cell[2] = 0.4e-6;   // the load lifts: two workers are now the fastest
    int first_two = -1;
    for (int n = 0; n < 1024 && first_two < 0; ++n)
        if (job() == 2) first_two = n;
    ASSERT_GE(first_two, 0);
    int at_two = 0;
    for (int n = 0; n < 64; ++n) at_two += job() == 2 ? 1 : 0;
    EXPECT_GE(at_two, 48);
}

// TARVEX_THREADS: a whole number from 1 to 1024 is the count, asked for;
// anything else leaves the cores the process may run on, not asked for.
TEST(SolverThreads, EnvironmentSetting) {
    const char* before = std::getenv("TARVEX_THREADS");
    const std::string saved = before != nullptr ? before : "";
    const int cores = usable_cores();
    EXPECT_GE(cores, 1);
    EXPECT_LE(cores, std::max(1, static_cast<int>(std::thread::hardware_concurrency())));
    struct Case {
        const char* value;   // nullptr: unset
        int threads;         // 0: the machine's cores
    };
    const Case cases[] = {
        {nullptr, 0}, {"", 0},     {"garbage", 0}, {"0", 0},    {"-3", 0},     {"1", 1},    {"3", 3},
        {" 5 ", 5},   {"7x", 0},   {"2.5", 0},     {"1024", 1024}, {"1025", 0}, {"99999999999999999999999", 0},
        {"+4", 4}, {"-", 0}, {"+", 0},
    };
    for (const Case& c : cases) {
        if (c.value == nullptr)
            ::unsetenv("TARVEX_THREADS");
        else
            ::setenv("TARVEX_THREADS", c.value, 1);
        set_solver_threads(0);
        const std::string what = c.value == nullptr ? "(unset)" : std::string("\"") + c.value + "\"";
        EXPECT_EQ(solver_threads(), c.threads > 0 ? c.threads : cores) << what;
        EXPECT_EQ(solver_threads_asked(), c.threads > 0) << what;
        EXPECT_EQ(loops::count_adapts(), c.threads == 0) << what;
    }
    // A count set by the program is asked for and wins over the setting.
    ::setenv("TARVEX_THREADS", "3", 1);
    set_solver_threads(2);
    EXPECT_EQ(solver_threads(), 2);
    EXPECT_TRUE(solver_threads_asked());
    if (before != nullptr)
        ::setenv("TARVEX_THREADS", saved.c_str(), 1);
    else
        ::unsetenv("TARVEX_THREADS");
    set_solver_threads(0);
}

}  // namespace
}  // namespace tarvex
