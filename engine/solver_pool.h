// The workers that run the solver's sweeps and passes on several threads.
//
// One pool for the process, made on first use with solver_threads() threads
// (the calling thread counts as one: it does the share of worker 0) and made
// again when that count changes. Between two jobs the workers spin for about a
// millisecond, so that the sweeps of one iteration follow each other
// without a wake-up, and then sleep on a condition variable: an idle pool
// costs no processor time between iterations. With more threads than cores
// nobody spins (a spinning thread would take the core of the one it waits
// for); waiters yield a few times and sleep.
//
// Standard threads and atomics, not a parallel runtime: ThreadSanitizer sees
// every synchronisation here. Progress inside a job goes through Progress
// counters: a worker publishes how far it has got with a store, another waits
// for that with an acquire load, spinning briefly and then sleeping on the
// counter itself. Everything a job reads and writes is so ordered by these
// atomics and by the job's start and end.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tarvex::loops {

// How far one worker has got in a job, on a cache line of its own. A waiter
// spins briefly, then sleeps on the counter; the publisher wakes it only when
// someone sleeps, so a job whose workers keep pace makes no system call.
struct alignas(64) Progress {
    std::atomic<int> done{0};
    std::atomic<int> sleepers{0};

    void publish(int n) {
        done.store(n, std::memory_order_seq_cst);
        if (sleepers.load(std::memory_order_seq_cst) > 0) done.notify_all();
    }
    // Returns once done >= n.
    void wait_for(int n);
};

// The job of one parallel sweep or pass: fn(ctx, w) for w = 0 .. workers-1.
using JobFn = void (*)(void* ctx, int worker);

// The pool for the duration of one sweep or pass. Taking it fails when
// another thread of the process is using it (the solver runs on one thread at
// a time, so only a stray caller meets this); the caller then does its work
// serially.
class PoolLease {
public:
    PoolLease();
    ~PoolLease();
    PoolLease(const PoolLease&) = delete;
    PoolLease& operator=(const PoolLease&) = delete;

    explicit operator bool() const { return held_; }

    // Runs fn(ctx, w) for every w in 0 .. workers-1 (2 <= workers <=
    // pool_threads()), w = 0 on the calling thread, and returns when all
    // have returned. The progress counters of the workers are 0 when the
    // job starts.
    void run(int workers, JobFn fn, void* ctx);

    // The progress counters of the job's workers.
    Progress* progress();

    // A buffer of at least bytes bytes for the terms of the sums of a pass,
    // aligned to 64, kept from one pass to the next.
    void* terms(std::size_t bytes);

private:
    bool held_;
};

// The threads the solver's sweeps and passes may use: solver_threads().
int pool_threads();

// Boxes with fewer cells than this run serially: on a few thousand cells the
// start of a job costs more than the work it shares out. Tests lower it to
// reach the parallel paths with small grids.
int parallel_min_cells();
void set_parallel_min_cells(int n);

}  // namespace tarvex::loops
