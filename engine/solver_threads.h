// The number of threads the solver's sweeps and passes run on.
//
// The count is read from TARVEX_THREADS when the engine first needs it and
// defaults to the cores the process may run on; a program (the benchmark,
// the tests) may set it before a run. Results do not depend on it, to the bit.
//
// Only the thread that drives the solver (the calculation thread, or the main
// thread of a test) sets it, and never while a routine of the solver runs.
// The program's threads as a whole: THREADS.md.
#pragma once

namespace tarvex {

// Threads the solver uses from now on (at most 1024); n < 1 means the
// default.
void set_solver_threads(int n);

// The count in use.
int solver_threads();

// Whether the count in use was asked for (TARVEX_THREADS, or a count set by
// the program) rather than taken from the machine's cores. An asked-for
// count is used as it is; the default lets the pool use fewer threads when
// the cores are busy with other programs (solver_pool.h).
bool solver_threads_asked();

// TARVEX_THREADS when it holds a whole number from 1 to 1024 (blanks around
// it allowed), else 0.
int threads_from_environment();

// The cores the process may run on (at least 1).
int usable_cores();

// The default: TARVEX_THREADS when it holds such a number, else the
// usable cores.
int default_solver_threads();

}  // namespace tarvex
