// The Run Data dialog: start mode, iterations, save interval and relaxation
// factors, asked for at the start of a run.
#pragma once

namespace tarvex {

// Shows the dialog (template 103) filled from the current run settings and
// stores every valid entry at once in the shared run data (RESTART, NITER,
// NSAVE, the relaxation factors). The dialog comes back until all entries are
// valid: at once after an entry that cannot be read, after all entries when
// one is out of range or no start mode is chosen.
// Returns 1 when closed with OK and every entry valid, -1 when closed any
// other way, -2 when the dialog cannot be built. Callable from any thread
// (the run asks for it on its calculation thread).
int RUNDATAPROC();

}  // namespace tarvex
