// The workers that run the solver's sweeps and passes on several threads.
//
// One pool for the process, made on first use with solver_threads() threads
// (the calling thread counts as one: it does the share of worker 0) and made
// again when that count changes. Standard threads and atomics, not a parallel
// runtime: ThreadSanitizer sees every synchronisation here. How the pool
// sits among the program's other threads: THREADS.md.
//
// Waiting. Every wait in the pool is a wait on a Counter (below): each idle
// worker waits on its job word for the next job it is in, the caller waits
// on the countdown of the job's workers, and inside a job a worker waits on the
// progress counter of the worker whose rows it needs. All of them wait with
// one patience policy: spin on the counter for a while, then yield the core
// a few times, then sleep on the counter until it is published.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tarvex::loops {

// ---- the waiting primitive ------------------------------------------------

// The patience policy of every wait. A waiter spins on the counter for up
// to a millisecond (a pause at a time, with a yield every 64 pauses, so that
// a thread that wants the core gets it), then yields the core 16 times, then
// sleeps on the counter until it is published.
//
// Spinning bridges the short waits of a job (the worker upstream in a
// sweep's pipeline is a plane of its block ahead, some 20 microseconds) and
// the serial code between two jobs of an iteration, without a wake-up: a
// sleeping thread costs tens of microseconds to wake, far more on a virtual
// machine. With 50 microseconds of idle spinning the reference room ran 2.0
// to 2.4 times faster on 8 threads than on 1; with 1 millisecond, 4.1 to 4.4
// times. Spinning only pays while every thread has a core of its own: with
// more threads than cores a spinning thread takes the core of the one it
// waits for, so waiters then yield and sleep at once. A worker left out of a
// job does not wait on it at all (each worker has a job word of its own).

// A counter that one side publishes and the other waits on. 32 bits wide:
// atomic::wait() sleeps on the word itself (a futex) only for that width.
//
// Memory order, argued once for every wait of the pool. A publisher writes
// its data, then the counter with a seq_cst store or read-modify-write (a
// release); a waiter reads the counter with seq_cst loads (acquires) until
// its condition holds, and only then reads the data, which the release and
// acquire on the counter order before its reads. Sleeping cannot lose a
// wake-up: the waiter raises sleepers_ and then reads the counter again
// before it sleeps, the publisher writes the counter and then reads
// sleepers_, all four seq_cst, so in their single total order either the
// publisher sees the sleeper (and wakes it) or the waiter sees the new value
// (and does not sleep); and atomic::wait() itself returns at once when the
// value is no longer the one it was given. A publisher whose waiters keep
// pace so makes no system call.
class alignas(64) Counter {
public:
    // Sets the value (a publication).
    void publish(std::uint32_t v) {
        value_.store(v, std::memory_order_seq_cst);
        wake();
    }
    // Adds d (wrapping) and returns the new value (a publication).
    std::uint32_t add(std::uint32_t d) {
        const std::uint32_t v = value_.fetch_add(d, std::memory_order_seq_cst) + d;
        wake();
        return v;
    }
    // Sets the value with no waiter about: before a job is published, which
    // orders the store before every reader's loads.
    void reset(std::uint32_t v) { value_.store(v, std::memory_order_relaxed); }
    std::uint32_t load() const { return value_.load(std::memory_order_seq_cst); }

    // Waits until done(value) holds, with the pool's patience (spin only when
    // may_spin); returns the value that satisfied it.
    template <class Done>
    std::uint32_t wait(Done done, bool may_spin = true) const {
        std::uint32_t v = load();
        if (done(v)) return v;
        return wait_slow(done, may_spin);
    }
    // Waits until the value is at least n.
    std::uint32_t wait_at_least(std::uint32_t n, bool may_spin = true) const {
        return wait([n](std::uint32_t v) { return v >= n; }, may_spin);
    }

private:
    void wake() {
        if (sleepers_.load(std::memory_order_seq_cst) > 0) value_.notify_all();
    }
    // One step of the patience policy: false once it is time to sleep.
    struct Patient {
        explicit Patient(bool may_spin);
        bool again();
        std::int64_t until_ns;
        int spins = 0, yields;
    };
    template <class Done>
    std::uint32_t wait_slow(Done done, bool may_spin) const {
        Patient p(may_spin);
        for (;;) {
            const std::uint32_t v = load();
            if (done(v)) return v;
            if (p.again()) continue;
            sleepers_.fetch_add(1, std::memory_order_seq_cst);
            const std::uint32_t w = load();
            if (!done(w)) value_.wait(w, std::memory_order_seq_cst);
            sleepers_.fetch_sub(1, std::memory_order_seq_cst);
        }
    }

    std::atomic<std::uint32_t> value_{0};
    mutable std::atomic<int> sleepers_{0};
};

// ---- the pool ---------------------------------------------------------------

// The job of one parallel sweep or pass: fn(ctx, w) for w = 0 .. workers-1.
using JobFn = void (*)(void* ctx, int worker);

// The pool for the duration of one sweep or pass. Taking it fails when
// another thread of the process is using it (the solver runs on one thread at
// a time, so only a stray caller meets this) or when the system cannot start
// the pool's threads; the caller then does its work serially.
class PoolLease {
public:
    PoolLease();
    ~PoolLease();
    PoolLease(const PoolLease&) = delete;
    PoolLease& operator=(const PoolLease&) = delete;

    explicit operator bool() const { return held_; }

    // Runs fn(ctx, w) for every w in 0 .. workers-1 (2 <= workers <=
    // threads()), w = 0 on the calling thread, and returns when all have
    // returned. The progress counters of the workers are 0 when the job
    // starts. Misuse (a lease not held, a count out of range) is asserted.
    void run(int workers, JobFn fn, void* ctx);

    // The progress counters of the job's workers, one per worker.
    Counter* progress();

    // A buffer of at least bytes bytes for the terms of the sums of a pass,
    // aligned to 64, kept from one pass to the next.
    void* terms(std::size_t bytes);

private:
    bool held_;
};

// The threads the solver's sweeps and passes may use: solver_threads().
int pool_threads();

// Tests: from now on starting the pool's threads fails, as when the system
// refuses them, once n threads of a pool have started (-1: never).
void set_thread_start_limit(int n);

// Boxes with fewer cells than this run serially: on a few thousand cells the
// start of a job costs more than the work it shares out. Tests lower it to
// reach the parallel paths with small grids.
int parallel_min_cells();
void set_parallel_min_cells(int n);

// ---- the count of workers ----------------------------------------------------
//
// With the default count (neither TARVEX_THREADS nor a count set by the
// program) the number of workers of a job chooses itself: each kind of sweep
// or pass keeps a CountTuner that times its jobs per cell and keeps to the
// count that has been fastest lately (after timing all the workers, all but
// one, one and half of them first), trying a neighbouring count every eighth
// job and half or twice the best count every 64th; tries that lose space the
// next ones out, up to a neighbour every 128th job. A core taken by another
// program so costs one worker instead of the pipeline's pace (every worker of
// a sweep waits for the one before it), and with every core busy the jobs go
// down to one thread. A count that was asked for is used as it is.
//
// Measure: tarvex_bench_solver --reference --scan 8 [--busy 1] compares the
// chosen count (its "default" line, timed past the first iterations of a
// run) with every fixed count, each against 1 thread in the same
// repetitions. On the quiet machine (three scans of 7 repetitions, medians)
// the default's speed-up was 5.23, 5.14 and 5.15 against 5.25, 5.35 and 5.23
// for 8 fixed threads: its tries cost 0 to 4 %. With one core kept busy
// (--busy 1) it was 4.52, 4.75 and 4.46 against 3.33, 3.40 and 3.24 for 8
// fixed threads, 86 to 92 % of its quiet speed. On the shared machine (load
// average 45 to 100 on 8 cores, 5 repetitions, four scans) it was 0.71,
// 1.20, 0.72 and 1.33 against 0.61, 0.85, 0.51 and 0.77 for 8 fixed threads.

// Whether the count chooses itself: the default count, and not switched off.
bool count_adapts();
// Tests and the benchmark switch the choice off (false) or back on.
void set_count_adapts(bool on);

// Used only by the holder of a lease, so it needs no atomics: the lease
// orders one holder's use before the next one's.
class CountTuner {
public:
    static constexpr int MOST = 64;   // counts above this are used as they are
    static constexpr unsigned MAX_GAP = 128;   // jobs between two neighbour tries, at most

    // The workers for the next job, from 1 to most.
    int choose(int most);
    // A job on workers workers took seconds for cells cells.
    void record(int workers, double cells, double seconds);

private:
    double per_cell_[MOST + 1] = {};   // smoothed seconds per cell; 0: not timed
    unsigned jobs_ = 0;
    int side_ = 1;      // the neighbour tried next: +1 or -1
    bool far_ = false;  // the far count tried last: half (true) or twice the best
    unsigned gap_ = 8;  // jobs between two neighbour tries (8 times as many for a far try)
    int trying_ = 0;    // the count of the job chosen last, when it was a try
};

// ---- forcing a schedule (tests) ---------------------------------------------

// The schedule of the parallel sweeps and passes: each part chosen by the
// driver (automatic) or forced. A forced schedule that a box cannot take (a
// split along an axis of one row) falls back to what the box can take.
struct Schedule {
    enum class Split { automatic, j, k };
    enum class Adder { automatic, on, off, last };
    Split split = Split::automatic;   // sweeps: blocks of j rows or of k planes
    Adder adder = Adder::automatic;   // a worker of its own adds the terms (on), the caller
                                      // after the job (off), or the last sweeper (last)
    int interleave = 0;               // sweeps: rows visited at once, 1 or 2 (0: automatic)
};

Schedule forced_schedule();
void set_forced_schedule(const Schedule& s);

}  // namespace tarvex::loops
