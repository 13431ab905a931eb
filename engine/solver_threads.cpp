#include "engine/solver_threads.h"

#include <sched.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <thread>

namespace tarvex {

namespace {
// The count in use, and whether it was asked for, in one word: the count
// times 2, plus 1 when asked for. 0: not chosen yet.
std::atomic<int> g_threads{0};

int word(int n, bool asked) { return n * 2 + (asked ? 1 : 0); }

int chosen() {
    int w = g_threads.load(std::memory_order_relaxed);
    if (w == 0) {
        const int env = threads_from_environment();
        w = env > 0 ? word(env, true) : word(default_solver_threads(), false);
        g_threads.store(w, std::memory_order_relaxed);
    }
    return w;
}
}  // namespace

int threads_from_environment() {
    const char* s = std::getenv("TARVEX_THREADS");
    if (s == nullptr) return 0;
    while (std::isspace(static_cast<unsigned char>(*s))) ++s;
    if (*s == '+') ++s;   // no other sign
    if (!std::isdigit(static_cast<unsigned char>(*s))) return 0;
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(s, &end, 10);
    while (std::isspace(static_cast<unsigned char>(*end))) ++end;
    if (errno != 0 || *end != '\0' || n < 1 || n > 1024) return 0;
    return static_cast<int>(n);
}

int usable_cores() {
    // The cores this process may run on (a narrower affinity mask, as taskset
    // or a container's cpuset sets, leaves fewer than the machine has).
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int n = CPU_COUNT(&set);
        if (n >= 1) return n;
    }
    const unsigned hw = std::thread::hardware_concurrency();
    return hw >= 1 ? static_cast<int>(hw) : 1;
}

int default_solver_threads() {
    if (const int env = threads_from_environment(); env > 0) return env;
    return usable_cores();
}

void set_solver_threads(int n) {
    if (n >= 1) {
        g_threads.store(word(n < 1024 ? n : 1024, true), std::memory_order_relaxed);
        return;
    }
    g_threads.store(0, std::memory_order_relaxed);
    chosen();
}

int solver_threads() { return chosen() / 2; }

bool solver_threads_asked() { return (chosen() & 1) != 0; }

}  // namespace tarvex
