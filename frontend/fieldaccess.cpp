#include "frontend/fieldaccess.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

#include "engine/data.h"

namespace tarvex {

namespace {

// GUI thread only, apart from the count.
bool g_holding = false;   // the GUI thread holds field_lock
std::vector<std::pair<const void*, std::function<void()>>> g_pending;
std::atomic<int> g_pending_count{0};

void recount() { g_pending_count.store(static_cast<int>(g_pending.size())); }

}  // namespace

bool read_fields_now(const std::function<void()>& fn) {
    if (g_holding) {   // a read inside a read: the lock is ours already
        fn();
        return true;
    }
    std::unique_lock<std::mutex> lock(field_lock, std::try_to_lock);
    if (!lock.owns_lock()) return false;
    g_holding = true;
    fn();
    g_holding = false;
    return true;
}

void read_fields_soon(const void* owner, std::function<void()> fn) {
    if (read_fields_now(fn)) {
        // Done with the state of now: what the owner left before is stale.
        forget_field_reads(owner);
        return;
    }
    auto it = std::find_if(g_pending.begin(), g_pending.end(), [owner](const auto& p) { return p.first == owner; });
    if (it != g_pending.end())
        it->second = std::move(fn);
    else
        g_pending.emplace_back(owner, std::move(fn));
    recount();
}

void forget_field_reads(const void* owner) {
    std::erase_if(g_pending, [owner](const auto& p) { return p.first == owner; });
    recount();
}

bool field_reads_pending() { return g_pending_count.load() > 0; }

void run_pending_field_reads() {
    if (g_pending.empty()) return;
    read_fields_now([] {
        // A read may leave another (a dialog that changes what it shows).
        auto batch = std::move(g_pending);
        g_pending.clear();
        recount();
        for (auto& p : batch) p.second();
    });
}

bool gui_reads_fields() { return g_holding; }

}  // namespace tarvex
