// The Run Data dialog: start mode, iterations, save interval and relaxation
// factors, asked for at the start of a run.
#pragma once

#include <string>

namespace tarvex {

// Shows the dialog (template 103) filled from the current run settings and
// stores every valid entry at once in the shared run data (RESTART, NITER,
// NSAVE, the relaxation factors). The dialog comes back until all entries are
// valid: at once after an entry that cannot be read, after all entries when
// one is out of range or no start mode is chosen.
// When it comes back it shows what was typed, with a line that says which
// entry could not be used and why. "from last data" is refused (the dialog
// comes back) while there are no fields of the loaded case in memory: no run
// and no saved data since the case was read (runflags.FIELDSOK).
// Returns 1 when closed with OK and every entry valid, -1 when closed any
// other way, -2 when the dialog cannot be built. Callable from any thread
// (the run asks for it on its calculation thread).
int RUNDATAPROC();
// The same, with a line shown in the first showing (why the dialog is shown
// although the command line gave the run's settings).
int RUNDATAPROC(const std::string& first_message);

// The line that says why "from last data" cannot be used.
extern const char* const NO_FIELDS_MESSAGE;

}  // namespace tarvex
