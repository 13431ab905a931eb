#include "platform/threads.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace tarvex::platform {

namespace {

struct ThreadRecord {
    std::thread thread;
    std::mutex mutex;
    std::condition_variable resumed_cv;
    bool resumed = false;
    std::atomic<int> exit_code{STILL_ACTIVE};
};

std::mutex g_threads_mutex;
std::map<ThreadHandle, std::shared_ptr<ThreadRecord>> g_threads;
ThreadHandle g_next_handle = 0x100;

std::shared_ptr<ThreadRecord> find(ThreadHandle handle) {
    std::lock_guard<std::mutex> lock(g_threads_mutex);
    auto it = g_threads.find(handle);
    return it == g_threads.end() ? nullptr : it->second;
}

std::shared_ptr<ThreadRecord> take(ThreadHandle handle) {
    std::lock_guard<std::mutex> lock(g_threads_mutex);
    auto it = g_threads.find(handle);
    if (it == g_threads.end()) return nullptr;
    auto record = it->second;
    g_threads.erase(it);
    return record;
}

// Niceness of the calling thread for a priority hint. Raising the priority
// needs privileges; a refusal leaves the thread as it is.
void apply_priority(ThreadPriority priority) {
    int nice_value = 0;
    switch (priority) {
        case ThreadPriority::Lowest: nice_value = 10; break;
        case ThreadPriority::BelowNormal: nice_value = 5; break;
        case ThreadPriority::Normal: return;
        case ThreadPriority::AboveNormal: nice_value = -5; break;
    }
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    (void)::setpriority(PRIO_PROCESS, tid, nice_value);
}

}  // namespace

ThreadHandle create_thread(std::function<int()> body, ThreadPriority priority, bool suspended) {
    auto record = std::make_shared<ThreadRecord>();
    record->resumed = !suspended;
    ThreadHandle handle;
    {
        std::lock_guard<std::mutex> lock(g_threads_mutex);
        handle = g_next_handle++;
        g_threads[handle] = record;
    }
    try {
        // The record is shared with the thread, so a handle closed while the
        // thread runs leaves it valid until the thread ends.
        std::lock_guard<std::mutex> lock(record->mutex);
        record->thread = std::thread([record, body = std::move(body), priority] {
            apply_priority(priority);
            {
                std::unique_lock<std::mutex> wait_lock(record->mutex);
                record->resumed_cv.wait(wait_lock, [&] { return record->resumed; });
            }
            const int code = body();
            // A function returning the still-active code would look as if it
            // ran for ever; it has ended, so it reads as 0.
            record->exit_code.store(code == STILL_ACTIVE ? 0 : code);
        });
    } catch (const std::system_error&) {
        take(handle);
        return 0;
    }
    return handle;
}

bool resume_thread(ThreadHandle handle) {
    auto record = find(handle);
    if (!record) return false;
    std::lock_guard<std::mutex> lock(record->mutex);
    record->resumed = true;
    record->resumed_cv.notify_all();
    return true;
}

bool thread_exit_code(ThreadHandle handle, int& code) {
    auto record = find(handle);
    if (!record) return false;
    code = record->exit_code.load();
    return true;
}

bool thread_still_active(ThreadHandle handle) {
    int code = 0;
    return thread_exit_code(handle, code) && code == STILL_ACTIVE;
}

bool close_thread_handle(ThreadHandle handle) {
    auto record = take(handle);
    if (!record) return false;
    std::thread thread;
    {
        std::lock_guard<std::mutex> lock(record->mutex);
        thread = std::move(record->thread);
    }
    if (!thread.joinable()) return true;
    if (record->exit_code.load() != STILL_ACTIVE)
        thread.join();   // it has returned from its function: only its exit is left
    else
        thread.detach();
    return true;
}

bool join_thread(ThreadHandle handle) {
    auto record = take(handle);
    if (!record) return false;
    std::thread thread;
    {
        std::lock_guard<std::mutex> lock(record->mutex);
        record->resumed = true;   // a suspended thread could never end otherwise
        record->resumed_cv.notify_all();
        thread = std::move(record->thread);
    }
    if (thread.joinable()) thread.join();
    return true;
}

void sleep_ms(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::uint64_t current_thread_id() { return static_cast<std::uint64_t>(::syscall(SYS_gettid)); }

}  // namespace tarvex::platform
