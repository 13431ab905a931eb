#include "engine/solver_pool.h"

#include <pthread.h>

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cstddef>
#include <exception>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/solver_threads.h"

namespace tarvex::loops {

namespace {

using Clock = std::chrono::steady_clock;

inline void cpu_relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

std::int64_t now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// The patience policy (see the header for the reasons).
constexpr int SPIN_US = 1000;
// Yields after the spinning, before sleeping: with more threads than cores
// the thread waited for often needs just that.
constexpr int YIELDS = 16;
// Pauses between two yields while spinning (a power of two): a yield now and
// then gives the core away when some other thread wants it, the one waited
// for or another program's.
constexpr int SPINS_PER_YIELD = 64;

std::atomic<int> g_spin_us{SPIN_US};

// Spinning pays only while every thread has a core of its own.
bool spinning_pays(int threads) { return threads <= usable_cores(); }

}  // namespace

Counter::Patient::Patient(bool may_spin) : until_ns(0), yields(YIELDS) {
    const int us = may_spin ? g_spin_us.load(std::memory_order_relaxed) : 0;
    if (us > 0) until_ns = now_ns() + std::int64_t{us} * 1000;
}

bool Counter::Patient::again() {
    if (until_ns != 0) {
        if ((++spins & (SPINS_PER_YIELD - 1)) != 0) {
            cpu_relax();
            return true;
        }
        std::this_thread::yield();
        if (now_ns() < until_ns) return true;
        until_ns = 0;
    }
    if (yields > 0) {
        --yields;
        std::this_thread::yield();
        return true;
    }
    return false;
}

namespace {

std::atomic<int> g_start_limit{-1};

class Pool {
public:
    explicit Pool(int threads)
        : size_(threads),
          progress_(new Counter[static_cast<std::size_t>(threads)]),
          start_(new Counter[static_cast<std::size_t>(threads)]) {
        g_spin_us.store(spinning_pays(threads) ? SPIN_US : 0, std::memory_order_relaxed);
        workers_.reserve(static_cast<std::size_t>(threads - 1));
        try {
            for (int w = 1; w < threads; ++w) {
                const int limit = g_start_limit.load(std::memory_order_relaxed);
                if (limit >= 0 && w > limit)
                    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
                workers_.emplace_back([this, w] { work(w); });
            }
        } catch (...) {
            stop();   // the workers made so far end before the error goes on
            throw;
        }
    }

    ~Pool() { stop(); }

    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;

    int size() const { return size_; }
    Counter* progress() { return progress_.get(); }

    void run(int n, JobFn fn, void* ctx) {
        assert(n >= 2 && n <= size_ && "a job needs 2 to pool_threads() workers");
        for (int w = 0; w < size_; ++w) progress_[w].reset(0);
        fn_ = fn;
        ctx_ = ctx;
        remaining_.reset(static_cast<std::uint32_t>(n - 1));
        // Each worker of the job is told on its own job word; the others
        // are not disturbed (a job smaller than the pool leaves them
        // asleep, their cores free for those that work).
        for (int w = 1; w < n; ++w) start_[w].add(1);
        fn(ctx, 0);
        remaining_.wait([](std::uint32_t r) { return r == 0; });
    }

private:
    // Ends and joins the workers.
    void stop() {
        stop_.store(true, std::memory_order_relaxed);   // ordered by the job words' publication
        for (std::size_t t = 0; t < workers_.size(); ++t) start_[t + 1].add(1);
        for (auto& t : workers_) t.join();
        workers_.clear();
    }

    void work(int w) {
        std::uint32_t seen = 0;
        for (;;) {
            // The caller raises the word once per job of this worker and
            // waits for the worker to finish before it raises it again, so
            // the worker sees every raise.
            seen = start_[w].wait([seen](std::uint32_t v) { return v != seen; });
            if (stop_.load(std::memory_order_relaxed)) return;
            fn_(ctx_, w);
            remaining_.add(~std::uint32_t{0});   // minus one
        }
    }

    const int size_;
    std::unique_ptr<Counter[]> progress_;
    std::unique_ptr<Counter[]> start_;   // the workers' job words (start_[0] unused)
    std::vector<std::thread> workers_;

    // The job: written by the caller before it publishes the job's word,
    // read by the job's workers after they see that word; the caller waits
    // for them before it writes the next.
    JobFn fn_ = nullptr;
    void* ctx_ = nullptr;
    std::atomic<bool> stop_{false};

    // Workers of the job other than the caller that have not returned.
    Counter remaining_;
};

// The pool and the term buffer belong to whoever holds the lease.
std::atomic<bool> g_leased{false};
std::unique_ptr<Pool> g_pool;
// When the pool's threads could not be started: the count, and when to try
// again (a failure on every sweep would start and join threads each time).
std::atomic<int> g_failed_threads{0};
Clock::time_point g_retry_at;
std::atomic<int> g_min_cells{4096};
std::atomic<bool> g_adapts{true};
std::atomic<int> g_forced_split{0}, g_forced_adder{0}, g_forced_interleave{0};

struct TermBuffer {
    struct Free {
        void operator()(std::byte* p) const { ::operator delete(p, std::align_val_t(64)); }
    };
    std::unique_ptr<std::byte, Free> data;
    std::size_t size = 0;
};
TermBuffer g_terms;

// A child process made by fork() has none of the pool's workers: it forgets
// the pool (without touching its threads, which do not exist there) and makes
// its own when it needs one.
void forget_pool_in_child() { static_cast<void>(g_pool.release()); }

// The pool of solver_threads() threads, made or made again as needed;
// nullptr when the system cannot start the threads (the work then runs
// serially, as on one thread).
Pool* pool() {
    static const bool registered = pthread_atfork(nullptr, nullptr, forget_pool_in_child) == 0;
    static_cast<void>(registered);
    const int threads = solver_threads();
    if (threads < 2) return nullptr;
    if (!g_pool || g_pool->size() != threads) {
        g_pool.reset();
        if (threads == g_failed_threads.load(std::memory_order_relaxed) && Clock::now() < g_retry_at) return nullptr;
        try {
            g_pool = std::make_unique<Pool>(threads);
            g_failed_threads.store(0, std::memory_order_relaxed);
        } catch (const std::exception&) {
            g_pool.reset();
            g_failed_threads.store(threads, std::memory_order_relaxed);
            g_retry_at = Clock::now() + std::chrono::seconds(1);
        }
    }
    return g_pool.get();
}

}  // namespace

PoolLease::PoolLease() {
    bool free = false;
    held_ = g_leased.compare_exchange_strong(free, true, std::memory_order_acquire, std::memory_order_relaxed);
    if (held_ && pool() == nullptr) {
        g_leased.store(false, std::memory_order_release);
        held_ = false;
    }
}

PoolLease::~PoolLease() {
    if (held_) g_leased.store(false, std::memory_order_release);
}

void PoolLease::run(int workers, JobFn fn, void* ctx) {
    assert(held_ && "a job runs only under a lease that was had");
    g_pool->run(workers, fn, ctx);
}

Counter* PoolLease::progress() {
    assert(held_ && "the counters belong to the lease's holder");
    return g_pool->progress();
}

void* PoolLease::terms(std::size_t bytes) {
    assert(held_ && "the term buffer belongs to the lease's holder");
    if (bytes > g_terms.size) {
        g_terms.data.reset();
        g_terms.size = 0;
        g_terms.data.reset(static_cast<std::byte*>(::operator new(bytes, std::align_val_t(64))));
        g_terms.size = bytes;
    }
    return g_terms.data.get();
}

int pool_threads() { return solver_threads(); }

void set_thread_start_limit(int n) {
    g_start_limit.store(n, std::memory_order_relaxed);
    g_failed_threads.store(0, std::memory_order_relaxed);   // try again at once
}

int parallel_min_cells() { return g_min_cells.load(std::memory_order_relaxed); }

void set_parallel_min_cells(int n) { g_min_cells.store(n < 0 ? 0 : n, std::memory_order_relaxed); }

bool count_adapts() { return g_adapts.load(std::memory_order_relaxed) && !solver_threads_asked(); }

void set_count_adapts(bool on) { g_adapts.store(on, std::memory_order_relaxed); }

// ---- the count of workers ----------------------------------------------------

int CountTuner::choose(int most) {
    if (most <= 1 || most > MOST) return most;
    ++jobs_;
    trying_ = 0;
    // First all the workers, then all but one, one, and half of them: a core
    // taken by another program (all but one is then fastest) or a busy
    // machine is found within the first jobs, not after a climb down one
    // count at a time.
    for (int c : {most, most - 1, 1, (most + 1) / 2})
        if (per_cell_[c] == 0.0) return c;
    int best = 0;
    for (int c = 1; c <= most; ++c)
        if (per_cell_[c] > 0.0 && (best == 0 || per_cell_[c] < per_cell_[best])) best = c;
    // Every eighth job by default a neighbour, and every 64th half or twice
    // the best count, so that a count timed long ago under other load is timed
    // again. A try that loses doubles the gap before the next (up to MAX_GAP),
    // a try that wins brings it back to eight: once the best count stands,
    // the tries cost little even where a try costs much (every core busy and
    // one thread best, a try of two takes two or three times as long).
    if (jobs_ % (8 * gap_) == 0) {
        far_ = !far_;
        const int c = far_ ? std::max(1, best / 2) : std::min(most, best * 2);
        if (c != best) return trying_ = c;
    }
    if (jobs_ % gap_ == 0) {
        side_ = -side_;
        int c = best + side_;
        if (c < 1 || c > most) c = best - side_;
        if (c >= 1 && c <= most) return trying_ = c;
    }
    return best;
}

void CountTuner::record(int workers, double cells, double seconds) {
    if (workers < 1 || workers > MOST || cells <= 0.0) return;
    const double t = seconds / cells;
    double& s = per_cell_[workers];
    if (workers != trying_) {
        s = s > 0.0 ? 0.7 * s + 0.3 * t : t;
        return;
    }
    // A try times its count again: what was timed long ago is replaced.
    trying_ = 0;
    s = t;
    bool won = true;
    for (int c = 1; c <= MOST; ++c)
        if (c != workers && per_cell_[c] > 0.0 && per_cell_[c] < s) won = false;
    gap_ = won ? 8 : std::min(gap_ * 2, MAX_GAP);
}

// ---- forcing a schedule -------------------------------------------------------

Schedule forced_schedule() {
    Schedule s;
    s.split = static_cast<Schedule::Split>(g_forced_split.load(std::memory_order_relaxed));
    s.adder = static_cast<Schedule::Adder>(g_forced_adder.load(std::memory_order_relaxed));
    s.interleave = g_forced_interleave.load(std::memory_order_relaxed);
    return s;
}

void set_forced_schedule(const Schedule& s) {
    g_forced_split.store(static_cast<int>(s.split), std::memory_order_relaxed);
    g_forced_adder.store(static_cast<int>(s.adder), std::memory_order_relaxed);
    g_forced_interleave.store(s.interleave, std::memory_order_relaxed);
}

}  // namespace tarvex::loops
