// Running work on the GUI thread.
//
// Windows and dialogs are touched only on the GUI thread. Other threads (the
// program thread, the calculation thread) hand work over: post() queues it in
// order and returns at once; call_blocking() waits for the result and runs
// the work inline when already on the GUI thread. Nothing the GUI thread waits
// for may itself wait for the GUI thread.
#pragma once

#include <functional>
#include <utility>

namespace tarvex::platform {

// Records the calling thread as the GUI thread; the application object must
// exist. Called once by the application start-up (and by test mains).
void init_gui_thread();

bool is_gui_thread();

// Queues fn to run on the GUI thread, after everything posted before it.
void post(std::function<void()> fn);

// Runs fn on the GUI thread and waits for it to finish.
void call_blocking(const std::function<void()>& fn);

template <typename R>
R call_blocking_result(const std::function<R()>& fn) {
    R result{};
    call_blocking([&] { result = fn(); });
    return result;
}

}  // namespace tarvex::platform
