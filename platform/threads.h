// Threads for the program: creation with a priority hint, exit codes, waits.
//
// A thread is addressed by a handle (0: none). Its exit code is the value its
// function returns; until it has returned the exit code is STILL_ACTIVE. A
// thread ends by returning from its function. Every function may be called
// from any thread.
#pragma once

#include <cstdint>
#include <functional>

namespace tarvex::platform {

using ThreadHandle = std::intptr_t;
inline constexpr int STILL_ACTIVE = 259;

enum class ThreadPriority { Lowest, BelowNormal, Normal, AboveNormal };

// Creates a thread running body; a suspended thread waits for
// resume_thread. The priority is a hint (raising it may not be allowed).
// 0 when the thread cannot be created.
ThreadHandle create_thread(std::function<int()> body, ThreadPriority priority = ThreadPriority::Normal,
                           bool suspended = false);
bool resume_thread(ThreadHandle handle);

// The exit code, or STILL_ACTIVE while the function has not returned. False
// for an unknown handle.
bool thread_exit_code(ThreadHandle handle, int& code);
bool thread_still_active(ThreadHandle handle);

// Releases the handle. A thread that has ended is joined; one that still runs
// goes on by itself and is released when it ends.
bool close_thread_handle(ThreadHandle handle);
// Waits for the thread to end and releases the handle. Never wait on the GUI
// thread for a thread that may be waiting for the GUI.
bool join_thread(ThreadHandle handle);

void sleep_ms(int milliseconds);
std::uint64_t current_thread_id();

}  // namespace tarvex::platform
