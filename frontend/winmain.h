// The run stages and the run driver: reading the case and control files,
// starting a run on its calculation thread, and the run itself with its
// residual screens, the residuals log "RESIDUALS", the saves and the endings.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/threads.h"

namespace tarvex {

// Reads the case file INFILE (the console is cleared first); 0, or -1 after
// the line " error in reading geometry data file".
int AIRSTAGE1();
// Reads the control file CTLFILE; 0, or -1 after the line
// " error in reading Control data file".
int AIRSTAGE2();

// The calculation thread's body: one run from the Run Data dialog to its
// ending. Every path ends in SETSTOPRUN; returns 0 afterwards.
int AIRCALC();

// The residuals log: always this name, in the current directory. A run holds
// a lock on it while the log is open, so that a run of another program in the
// same folder finds it in use, says so, and runs without writing into it.
inline constexpr const char* RESIDUALS_LOG = "RESIDUALS";
// The console line of a run that finds the log in use.
inline constexpr const char* RESIDUALS_IN_USE =
    " RESIDUALS in use by another running program: this run writes no log";

// The values of one printed iteration, as the records show them.
struct IterationRecord {
    int iter = 0;
    double f = 0, rm0 = 0, rt0 = 0, rc0 = 0, rc20 = 0;   // normalised residuals
    double u = 0, v = 0, w = 0, tc = 0, p = 0;           // at the monitor cell (T in degrees C)
    double mean_tc = 0;                                  // mean temperature of the open cells, degrees C
    double sdu = 0, xdu = 0, sdt = 0, xdt = 0, sdc = 0, xdc = 0;   // sweep changes per open volume, maxima
};

// The log record (106 characters): ITER, F, RM0, RT0, RC0, RC20 and the
// monitor values U, V, W, T, P.
std::string log_record(const IterationRecord& r);
// The Residuals display's residual record (122 characters).
std::string residual_record(const IterationRecord& r);
// The Residuals display's monitor record (68 characters).
std::string monitor_record(const IterationRecord& r);

// How the last run ended, and what it saved; for the program's tests.
enum class RunEnding { None, Cancelled, Finished, Interrupted, BadValues, FileProblem, FileSaveProblem };
struct RunReport {
    RunEnding ending = RunEnding::None;
    struct Save {
        int iter;
        std::string name;
        int status;
    };
    std::vector<Save> saves;       // every saved-data write, in order
    std::vector<int> records;      // the iterations that were recorded
};
RunReport last_run_report();

// Called on the calculation thread after every iteration's solver call, with
// the field lock released: the refresh of an open plot viewer, which redraws
// it on the GUI thread and then pauses (PLOT_VIEWER_REFRESH of
// frontend/dlg_plotwindow.h at program start). An empty function removes it.
void set_plot_viewer_refresh(std::function<void()> refresh);

// Called on the calculation thread at every ending of a run, once its fields
// are final: lets an open plot viewer draw what it could not draw while the
// run held the field lock (engine/data.h); PLOT_VIEWER_CATCH_UP at program
// start. An empty function removes it.
void set_plot_viewer_catch_up(std::function<void()> catch_up);

// How STARTWORKPROC (frontend/winmenu.h) makes the calculation thread; tests
// replace it to see a failed creation. An empty function restores the real one.
using ThreadMaker = std::function<platform::ThreadHandle(std::function<int()> body)>;
void set_thread_maker(ThreadMaker maker);
// A suspended calculation thread running body, made by the thread maker: the
// real one makes it at below-normal priority. 0 when it cannot be made.
platform::ThreadHandle make_thread(std::function<int()> body);

}  // namespace tarvex
