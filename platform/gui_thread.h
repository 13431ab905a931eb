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

// Queues fn to run on the GUI thread, after everything posted before it (by
// any thread: the queue is one first-in first-out list).
void post(std::function<void()> fn);

// Runs fn on the GUI thread and waits for it to finish. Everything posted
// before it has run by then.
void call_blocking(const std::function<void()>& fn);

template <typename R>
R call_blocking_result(const std::function<R()>& fn) {
    R result{};
    call_blocking([&] { result = fn(); });
    return result;
}

// Runs fn at once on the GUI thread, or posts it from any other thread. The
// window layer hands its state changes over this way, so that a thread's own
// changes keep their order.
void dispatch(std::function<void()> fn);

// Runs everything queued so far (GUI thread only; used where the GUI thread
// must see what other threads posted before it goes on, e.g. in tests).
void run_posted();

}  // namespace tarvex::platform
