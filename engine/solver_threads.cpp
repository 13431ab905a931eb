#include "engine/solver_threads.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace tarvex {

namespace {
std::atomic<int> g_threads{0};  // 0: not chosen yet
}

int default_solver_threads() {
    if (const char* s = std::getenv("TARVEX_THREADS"); s != nullptr && *s != '\0') {
        char* end = nullptr;
        long n = std::strtol(s, &end, 10);
        if (end != s && *end == '\0' && n >= 1 && n <= 1024) return static_cast<int>(n);
    }
    unsigned hw = std::thread::hardware_concurrency();
    return hw >= 1 ? static_cast<int>(hw) : 1;
}

void set_solver_threads(int n) {
    g_threads.store(n >= 1 ? n : default_solver_threads(), std::memory_order_relaxed);
}

int solver_threads() {
    int n = g_threads.load(std::memory_order_relaxed);
    if (n < 1) {
        n = default_solver_threads();
        g_threads.store(n, std::memory_order_relaxed);
    }
    return n;
}

}  // namespace tarvex
