#include "platform/gui_thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace tarvex::platform {

namespace {

// The queue is ours (standard mutex and condition variable), so the hand-over
// between threads is visible to race checkers; Qt only carries the wake-up.
QObject* g_gui_object = nullptr;
std::atomic<QThread*> g_gui_thread{nullptr};

std::mutex g_queue_mutex;
std::deque<std::function<void()>> g_queue;
bool g_wake_pending = false;

void drain() {
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard<std::mutex> lock(g_queue_mutex);
        batch.swap(g_queue);
        g_wake_pending = false;
    }
    for (auto& fn : batch) fn();
}

}  // namespace

void init_gui_thread() {
    g_gui_thread.store(QThread::currentThread());
    if (!g_gui_object) g_gui_object = new QObject(QCoreApplication::instance());
}

bool is_gui_thread() { return QThread::currentThread() == g_gui_thread.load(); }

void post(std::function<void()> fn) {
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(g_queue_mutex);
        g_queue.push_back(std::move(fn));
        if (!g_wake_pending) {
            g_wake_pending = true;
            wake = true;
        }
    }
    if (wake) QMetaObject::invokeMethod(g_gui_object, [] { drain(); }, Qt::QueuedConnection);
}

void call_blocking(const std::function<void()>& fn) {
    if (is_gui_thread()) {
        fn();
        return;
    }
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    post([&] {
        fn();
        std::lock_guard<std::mutex> lock(m);
        done = true;
        cv.notify_one();
    });
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return done; });
}

void dispatch(std::function<void()> fn) {
    if (is_gui_thread())
        fn();
    else
        post(std::move(fn));
}

void run_posted() {
    if (is_gui_thread()) drain();
}

}  // namespace tarvex::platform
