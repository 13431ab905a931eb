// The number of threads the solver's sweeps and passes run on.
//
// The count is read from TARVEX_THREADS when the engine first needs it and
// defaults to the machine's cores; a program (the benchmark, the tests) may
// set it before a run. Results do not depend on it, to the bit.
//
// Only the thread that drives the solver (the calculation thread, or the main
// thread of a test) sets it, and never while a routine of the solver runs.
#pragma once

namespace tarvex {

// Threads the solver uses from now on; n < 1 means the default.
void set_solver_threads(int n);

// The count in use.
int solver_threads();

// The default: TARVEX_THREADS when it holds a positive whole number, else the
// machine's cores (at least 1).
int default_solver_threads();

}  // namespace tarvex
