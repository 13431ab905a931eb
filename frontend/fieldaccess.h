// How the GUI thread reads the engine's fields (the rules are in
// engine/data.h). Every viewer that reads them on the GUI thread (the plot
// viewers, the Data Viewer, the Region Viewer) goes through one of the two
// calls below; none of them ever waits for the field lock.
//
// While a run holds the lock (inside INIVAL, INDSK, DIST3D or a SOLVE), a
// reader that cannot wait leaves its work for later: the run hands the GUI
// thread its pending reads between two iterations (run_pending_field_reads,
// through a blocking call, so the calculation thread waits meanwhile and the
// lock is free) and once more when it ends.
#pragma once

#include <functional>

namespace tarvex {

// GUI thread. Runs fn at once with the fields readable: with field_lock
// held (tried, never waited for), or inside a read already holding it. False
// when a run holds the lock: fn did not run.
bool read_fields_now(const std::function<void()>& fn);

// GUI thread. Runs fn now when the fields are readable; otherwise keeps it
// for the run's next pause, in place of what the same owner left before
// (only the latest read of an owner matters: it shows the state of then).
void read_fields_soon(const void* owner, std::function<void()> fn);

// GUI thread. Forgets what owner left (its dialog has gone).
void forget_field_reads(const void* owner);

// Any thread: some reads wait for the next pause.
bool field_reads_pending();

// GUI thread, with the fields readable (the calculation thread waits, or no
// run is going): performs and forgets the reads left so far.
void run_pending_field_reads();

// GUI thread: inside read_fields_now (or a pending read), the fields are
// readable.
bool gui_reads_fields();

}  // namespace tarvex
