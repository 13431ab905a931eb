#include "engine/solver_pool.h"

#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <cstddef>
#include <memory>
#include <mutex>
#include <new>
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

// How long an idle worker keeps looking for the next job before it sleeps:
// long enough to bridge the serial code between two sweeps of an iteration,
// short against an iteration. Waking a sleeping thread costs tens of
// microseconds, far more on a virtual machine whose idle processor has to be
// woken too; a sweep of a large room lasts about a millisecond on all cores,
// so a worker that slept between the sweeps of an iteration would lose much
// of it. With 50 microseconds here the reference room ran 2.0 to 2.4 times
// faster on 8 threads than on 1; with 1 millisecond, 4.1 to 4.4 times.
constexpr auto IDLE_SPIN = std::chrono::microseconds(1000);
// Spins on a counter inside a job before sleeping on it: about 0.4 ms with a
// pause of 18 ns, enough to outlast the usual wait for the worker upstream in
// a sweep's pipeline (a plane of its block, some 20 microseconds), so a
// worker sleeps only when the one it waits for has lost its core.
constexpr int WAIT_SPINS = 20000;

// Spinning only pays while every thread has a core of its own; with more
// threads than cores a spinning thread takes the core from the one it waits
// for, so waiters then sleep at once.
bool spinning_pays(int threads) {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 || static_cast<unsigned>(threads) <= cores;
}

std::atomic<int> g_wait_spins{WAIT_SPINS};

// Yields to other threads after the spins and before sleeping: with more
// threads than cores the one waited for often needs just that.
constexpr int YIELDS = 16;
// Pauses between two yields while spinning (a power of two).
constexpr int SPINS_PER_YIELD = 64;

// One round of waiting: a pause while spins stay below pause_spins, then a
// yield; false once it is time to sleep.
inline bool wait_round(int& spins, int pause_spins) {
    ++spins;
    if (spins < pause_spins) {
        // A yield now and then gives the core away when some other thread
        // wants it: the one waited for, or another program's, when more
        // threads want to run than there are cores.
        if ((spins & (SPINS_PER_YIELD - 1)) == 0)
            std::this_thread::yield();
        else
            cpu_relax();
        return true;
    }
    if (spins < pause_spins + YIELDS) {
        std::this_thread::yield();
        return true;
    }
    return false;
}

class Pool {
public:
    explicit Pool(int threads)
        : size_(threads),
          spin_(spinning_pays(threads)),
          progress_(new Progress[static_cast<std::size_t>(threads)]) {
        g_wait_spins.store(spin_ ? WAIT_SPINS : 0, std::memory_order_relaxed);
        workers_.reserve(static_cast<std::size_t>(threads - 1));
        try {
            for (int w = 1; w < threads; ++w) workers_.emplace_back([this, w] { work(w); });
        } catch (...) {
            stop();   // the workers made so far end before the error goes on
            throw;
        }
    }

    ~Pool() { stop(); }

    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;

    int size() const { return size_; }
    Progress* progress() { return progress_.get(); }

    void run(int n, JobFn fn, void* ctx) {
        for (int w = 0; w < size_; ++w) progress_[w].done.store(0, std::memory_order_relaxed);
        fn_ = fn;
        ctx_ = ctx;
        remaining_.store(n - 1, std::memory_order_relaxed);
        // Publishes the job (its number and its count of workers in one
        // word, so that a worker left out of it reads nothing else); a
        // worker that has gone to sleep is woken. The seq_cst pair (job_
        // here, sleepers_ in work()) makes sure that either this thread sees
        // the sleeper or the sleeper sees the job.
        const std::uint64_t last = job_.load(std::memory_order_relaxed);
        job_.store(((last >> 32) + 1) << 32 | static_cast<std::uint32_t>(n), std::memory_order_seq_cst);
        if (sleepers_.load(std::memory_order_seq_cst) > 0) {
            { std::lock_guard<std::mutex> lk(sleep_m_); }
            sleep_cv_.notify_all();
        }
        fn(ctx, 0);
        const int wait_spins = spin_ ? WAIT_SPINS : 0;
        int spins = 0;
        for (int r = remaining_.load(std::memory_order_acquire); r != 0;
             r = remaining_.load(std::memory_order_acquire)) {
            if (wait_round(spins, wait_spins)) continue;
            caller_sleeps_.store(true, std::memory_order_seq_cst);
            r = remaining_.load(std::memory_order_seq_cst);
            if (r != 0) remaining_.wait(r, std::memory_order_seq_cst);
            caller_sleeps_.store(false, std::memory_order_relaxed);
        }
    }

private:
    // Ends and joins the workers.
    void stop() {
        {
            std::lock_guard<std::mutex> lk(sleep_m_);
            stop_ = true;
            job_.fetch_add(JOB_STEP, std::memory_order_seq_cst);
        }
        sleep_cv_.notify_all();
        for (auto& t : workers_) t.join();
        workers_.clear();
    }

    void work(int w) {
        std::uint64_t seen = 0;
        for (;;) {
            std::uint64_t g = job_.load(std::memory_order_acquire);
            if (g == seen) {
                const Clock::time_point until = Clock::now() + IDLE_SPIN;
                int spins = 0, yields = 0;
                while (g == seen) {
                    if (spin_ && ((++spins & (SPINS_PER_YIELD - 1)) != 0 || Clock::now() < until)) {
                        if ((spins & (SPINS_PER_YIELD - 1)) == 0)
                            std::this_thread::yield();
                        else
                            cpu_relax();
                        g = job_.load(std::memory_order_acquire);
                        continue;
                    }
                    if (++yields < YIELDS) {
                        std::this_thread::yield();
                        g = job_.load(std::memory_order_acquire);
                        continue;
                    }
                    sleepers_.fetch_add(1, std::memory_order_seq_cst);
                    {
                        std::unique_lock<std::mutex> lk(sleep_m_);
                        sleep_cv_.wait(lk, [&] { return job_.load(std::memory_order_seq_cst) != seen; });
                    }
                    sleepers_.fetch_sub(1, std::memory_order_seq_cst);
                    g = job_.load(std::memory_order_acquire);
                }
            }
            seen = g;
            if (stop_) return;
            if (w >= static_cast<int>(g & 0xffffffffu)) continue;   // not in this job
            fn_(ctx_, w);
            if (remaining_.fetch_sub(1, std::memory_order_seq_cst) == 1 &&
                caller_sleeps_.load(std::memory_order_seq_cst))
                remaining_.notify_all();
        }
    }

    const int size_;
    const bool spin_;   // whether waiting threads spin before they sleep
    std::unique_ptr<Progress[]> progress_;
    std::vector<std::thread> workers_;

    // The job: written by the caller before it publishes the job's word,
    // read by the job's workers after they see that word; the caller waits
    // for them before it writes the next.
    JobFn fn_ = nullptr;
    void* ctx_ = nullptr;
    bool stop_ = false;

    // Number of the job (high half) and its count of workers (low half).
    static constexpr std::uint64_t JOB_STEP = std::uint64_t{1} << 32;
    alignas(64) std::atomic<std::uint64_t> job_{0};
    alignas(64) std::atomic<int> remaining_{0};
    std::atomic<bool> caller_sleeps_{false};
    alignas(64) std::atomic<int> sleepers_{0};
    std::mutex sleep_m_;
    std::condition_variable sleep_cv_;
};

// The pool and the term buffer belong to whoever holds g_use (a PoolLease).
std::mutex g_use;
std::unique_ptr<Pool> g_pool;
std::atomic<int> g_min_cells{4096};

struct TermBuffer {
    struct Free {
        void operator()(std::byte* p) const { ::operator delete(p, std::align_val_t(64)); }
    };
    std::unique_ptr<std::byte, Free> data;
    std::size_t size = 0;
};
TermBuffer g_terms;

}  // namespace

void Progress::wait_for(int n) {
    const int wait_spins = g_wait_spins.load(std::memory_order_relaxed);
    int spins = 0;
    for (int v = done.load(std::memory_order_acquire); v < n; v = done.load(std::memory_order_acquire)) {
        if (wait_round(spins, wait_spins)) continue;
        // The seq_cst pair (sleepers here, done in publish()) makes sure that
        // either the publisher sees this sleeper or this thread sees the
        // new count before it sleeps.
        sleepers.fetch_add(1, std::memory_order_seq_cst);
        v = done.load(std::memory_order_seq_cst);
        if (v < n) done.wait(v, std::memory_order_seq_cst);
        sleepers.fetch_sub(1, std::memory_order_seq_cst);
    }
}

namespace {

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
    if (!g_pool || g_pool->size() != threads) {
        g_pool.reset();
        try {
            g_pool = std::make_unique<Pool>(threads);
        } catch (const std::exception&) {
            g_pool.reset();
        }
    }
    return g_pool.get();
}

}  // namespace

PoolLease::PoolLease() : held_(g_use.try_lock()) {
    if (held_ && pool() == nullptr) {
        g_use.unlock();
        held_ = false;
    }
}

PoolLease::~PoolLease() {
    if (held_) g_use.unlock();
}

void PoolLease::run(int workers, JobFn fn, void* ctx) { g_pool->run(workers, fn, ctx); }

Progress* PoolLease::progress() { return g_pool->progress(); }

void* PoolLease::terms(std::size_t bytes) {
    if (bytes > g_terms.size) {
        g_terms.data.reset();
        g_terms.size = 0;
        g_terms.data.reset(static_cast<std::byte*>(::operator new(bytes, std::align_val_t(64))));
        g_terms.size = bytes;
    }
    return g_terms.data.get();
}

int pool_threads() { return solver_threads(); }

int parallel_min_cells() { return g_min_cells.load(std::memory_order_relaxed); }

void set_parallel_min_cells(int n) { g_min_cells.store(n < 0 ? 0 : n, std::memory_order_relaxed); }

}  // namespace tarvex::loops
