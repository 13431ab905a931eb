#include "frontend/winmain.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "common/channels.h"
#include "common/names.h"
#include "common/textfmt.h"
#include "engine/data.h"
#include "engine/engine.h"
#include "engine/limits.h"
#include "frontend/dlg_plotwindow.h"
#include "frontend/dlg_rundata.h"
#include "frontend/runstate.h"
#include "frontend/statustext.h"
#include "frontend/winscreenio.h"

namespace tarvex {

namespace {

std::mutex g_hooks_mutex;
// The plot viewers' own, until a test replaces them.
std::function<void()> g_viewer_refresh = PLOT_VIEWER_REFRESH;
std::function<void()> g_viewer_catch_up = PLOT_VIEWER_CATCH_UP;
ThreadMaker g_thread_maker;

std::mutex g_report_mutex;
RunReport g_report;

// The factor of the temperature residual sum, shown per unit open volume
// times this, as the screens and the log show it.
constexpr double TEMPERATURE_SUM_FACTOR = 0.93;

void console(std::string_view text) { write_line(CH_CONSOLE, free_line(text)); }

// LINE := text, blank-filled to its 132 characters.
void set_line(std::string_view text) {
    std::memset(runctl.LINE, ' ', LINE_LENGTH);
    std::memcpy(runctl.LINE, text.data(), std::min<std::size_t>(text.size(), LINE_LENGTH));
}
std::string_view line() { return std::string_view(runctl.LINE, LINE_LENGTH); }

// The residuals log. It belongs to the calculation thread of the run that
// opened it, and is closed at every ending. While it is open it holds a lock
// on the file: a run of another program that finds the lock taken leaves the
// file alone (the lock goes with the program, however it ends).
class ResidualsLog {
public:
    enum class Opened { yes, in_use, failed };

    ~ResidualsLog() { close(); }
    // Start mode 0 starts the file anew; the others add to its end. The file
    // is cut only once the lock is held, so that another run's log is never
    // emptied.
    Opened open(bool replace) {
        close();
        write_failed_ = false;
        const int fd = ::open(RESIDUALS_LOG, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        if (fd < 0) return Opened::failed;
        int locked;
        do {
            locked = ::flock(fd, LOCK_EX | LOCK_NB);
        } while (locked != 0 && errno == EINTR);
        // (A file system without locks gives another error: the log is written
        // as it always was.)
        if (locked != 0 && errno == EWOULDBLOCK) {
            ::close(fd);
            return Opened::in_use;
        }
        struct stat st {};
        if (replace && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) {
            ::close(fd);
            return Opened::failed;
        }
        file_ = ::fdopen(fd, "a");
        if (!file_) {
            ::close(fd);
            return Opened::failed;
        }
        return Opened::yes;
    }
    // One line, on disk at once: a run that is stopped or crashes keeps its records.
    void write(std::string_view text) {
        if (!file_) return;
        const bool ok = std::fwrite(text.data(), 1, text.size(), file_) == text.size() &&
                        std::fputc('\n', file_) != EOF && std::fflush(file_) == 0;
        if (!ok && !write_failed_) {
            write_failed_ = true;
            console(" error writing the residuals file RESIDUALS");
        }
    }
    void close() {
        if (file_) std::fclose(file_);
        file_ = nullptr;
    }

private:
    std::FILE* file_ = nullptr;
    bool write_failed_ = false;
};

// The name of time step n: "TRANS" and the number; from step 10000 on the
// name of step 9999 stays.
void name_time_step(long long step) {
    if (step > 9999) return;
    filenames.OUTFILE.assign("TRANS" + std::to_string(step));
}

// Runs a routine that writes the fields while holding the field lock, so
// that a viewer on the GUI thread never reads them half-written.
template <typename F>
auto locked(F&& fn) -> decltype(fn()) {
    std::lock_guard<std::mutex> lock(field_lock);
    return fn();
}

// The value of a cell of the loaded grid, 0 for an index outside the arrays.
double at(const CellArray& a, long long idx) { return idx >= 1 && idx <= NCELLMAX ? a[idx] : 0.0; }

class Run {
public:
    int execute();

private:
    enum class Step { go_on, step_converged, ended };

    bool open_log(bool replace);
    Step iterate();
    void record(double f);
    bool save();
    int end(RunEnding ending);

    ResidualsLog log_;
    RunReport report_;
    long long last_ = 0;        // ITER at which the iterations end
    long long next_save_ = 0;   // ITER of the next periodic save
    long long since_print_ = 0;
    bool first_ = true;         // the first iteration is always recorded
    bool log_open_failed_ = false;
    RunEnding pending_ = RunEnding::None;
};

int Run::execute() {
    CURSORWAIT(true);
    // The command line's start mode 2 needs fields to continue from, as the
    // dialog's does: without them the dialog is shown and says why.
    const bool cannot_continue = runctl.RESTART == 2 && !runflags.FIELDSOK;
    if ((!runflags.AUTORUN || cannot_continue) &&
        RUNDATAPROC(runflags.AUTORUN ? NO_FIELDS_MESSAGE : "") < 0) {
        CURSORWAIT(false);
        return end(RunEnding::Cancelled);
    }
    CLEARITER();

    const bool mixing_lengths = runctl.ITURB == 2 || runctl.ITURB == 3;
    const long long niter = std::max<long long>(pbtable.NITER, 0);
    switch (runctl.RESTART) {
        case 1:
            if (locked([] { return INDSK(filenames.OUTFILE); }) < 0) return end(RunEnding::FileProblem);
            runflags.NEWFIELDS = false;
            runctl.ITER = 0;
            last_ = niter;
            if (!open_log(false)) return end(RunEnding::FileProblem);
            if (mixing_lengths) locked(DIST3D);
            runctl.NEWDIST = false;
            break;
        case 2:
            last_ = runctl.ITER + niter;
            if (!open_log(false)) return end(RunEnding::FileProblem);
            if (runctl.NEWDIST) {
                if (mixing_lengths) locked(DIST3D);
                runctl.NEWDIST = false;
            }
            break;
        default:   // 0: new fields
            locked(INIVAL);
            runctl.ITER = 0;
            last_ = niter;
            runflags.NEWFIELDS = true;
            if (!open_log(true)) return end(RunEnding::FileProblem);
            if (mixing_lengths) locked(DIST3D);
            runctl.NEWDIST = false;
            break;
    }
    last_ = std::min<long long>(last_, std::numeric_limits<int32_t>::max());

    CLEARRESID();
    RESIDTITLE();
    log_.write(line());   // LINE holds the second header line
    LOWERRESID();
    RAISERESGRP(runctl.ITER, static_cast<int>(last_));

    next_save_ = static_cast<long long>(runctl.ITER) + pbtable.NSAVE;
    runflags.NEWFIELDS = false;

    if (runctl.ITRANS == 1) {
        double run_time = 0.0;
        long long step = 0;
        filenames.OUTFILE.assign("TRANS1");
        while (run_time <= runctl.TEND) {
            if (runctl.ITER >= last_) {
                // The iterations are used up: the remaining steps would only
                // be counted and named. Take the name they would reach (it
                // stops changing after step 9999) without going through them.
                while (run_time <= runctl.TEND && step < 9999) {
                    run_time += runctl.DT;
                    ++step;
                }
                name_time_step(step);
                break;
            }
            run_time += runctl.DT;
            ++step;
            name_time_step(step);
            while (runctl.ITER < last_) {
                const Step s = iterate();
                if (s == Step::ended) return end(pending_);
                if (s == Step::step_converged) break;
            }
        }
    } else {
        // A steady run is one pass of the time loop.
        runctl.DT = 1.0;
        while (runctl.ITER < last_)
            if (iterate() == Step::ended) return end(pending_);
    }
    return end(RunEnding::Finished);
}

// Opens the log; false when it cannot be opened. A log that another running
// program writes stays as it is: the run goes on without one, and says so on
// the console and in the status bar before its first iteration.
bool Run::open_log(bool replace) {
    switch (log_.open(replace)) {
        case ResidualsLog::Opened::yes:
            return true;
        case ResidualsLog::Opened::in_use:
            console(RESIDUALS_IN_USE);
            SETSTATBAR(status::RUNNING_WITHOUT_LOG);
            return true;
        case ResidualsLog::Opened::failed:
            break;
    }
    log_open_failed_ = true;
    return false;
}

Run::Step Run::iterate() {
    ++runctl.ITER;
    ++since_print_;
    int iusr3 = 0;
    int iconv = 0;
    locked([&] { SOLVE(iusr3, iconv); });

    std::function<void()> refresh;
    {
        std::lock_guard<std::mutex> lock(g_hooks_mutex);
        refresh = g_viewer_refresh;
    }
    if (refresh) refresh();

    const double vol = domsums.VOLTOT;
    const double f = std::max({runctl.RU0, runctl.RV0, runctl.RW0}) / vol;
    runctl.RT0 = runctl.RT0 * TEMPERATURE_SUM_FACTOR / vol;
    runctl.RM0 = runctl.RM0 / vol;
    runctl.RC0 = runctl.RC0 * 1000.0 / vol;
    runctl.RC20 = runctl.RC20 * 1000.0 / vol;
    runctl.CONDT = runctl.CONDT * 1000.0;

    // Diverging, or not numbers at all.
    for (double x : {runctl.RM0, f, runctl.RC20, runctl.RT0, runctl.RC0}) {
        if (!(x <= 1.0e15)) {
            pending_ = RunEnding::BadValues;
            return Step::ended;
        }
    }

    PLOTRESID(runctl.ITER);

    if (first_ || since_print_ >= pbtable.NPRINT || runctl.ITER == last_) {
        first_ = false;
        since_print_ = 0;
        record(f);
    }

    if (runctl.ITER == next_save_) {
        if (!save()) {
            pending_ = RunEnding::FileSaveProblem;
            return Step::ended;
        }
        next_save_ += pbtable.NSAVE;
    }

    if (runctl.ITRANS == 1 && iconv == 1) {
        if (!save()) {
            pending_ = RunEnding::FileSaveProblem;
            return Step::ended;
        }
        return Step::step_converged;
    }

    if (CHECKSTOPRUN() == 1) {
        pending_ = RunEnding::Interrupted;
        return Step::ended;
    }
    return Step::go_on;
}

void Run::record(double f) {
    const long long mon = ARIDX(runctl.MONI, runctl.MONJ, runctl.MONK);
    IterationRecord r;
    r.iter = runctl.ITER;
    r.f = f;
    r.rm0 = runctl.RM0;
    r.rt0 = runctl.RT0;
    r.rc0 = runctl.RC0;
    r.rc20 = runctl.RC20;
    r.u = at(fields.U, mon);
    r.v = at(fields.V, mon);
    r.w = at(fields.W, mon);
    r.tc = at(fields.T, mon) - KELVIN_OFFSET;
    r.p = at(fields.P, mon);
    log_.write(log_record(r));

    // Mean temperature of the open cells; a grid without any shows 0.
    double sum = 0.0;
    long long open = 0;
    for (int k = 1; k <= griddim.NZ; ++k)
        for (int j = 1; j <= griddim.NY; ++j)
            for (int i = 1; i <= griddim.NX; ++i) {
                const int32_t idx = ARIDX(i, j, k);
                if (fields.CPR[idx] != 0.0) {
                    sum += fields.T[idx];
                    ++open;
                }
            }
    r.mean_tc = open > 0 ? sum / static_cast<double>(open) - KELVIN_OFFSET : 0.0;

    const double vol = domsums.VOLTOT;
    r.sdu = domsums.SDU / vol;
    r.xdu = domsums.XDU;
    r.sdt = domsums.SDT / vol;
    r.xdt = domsums.XDT;
    r.sdc = domsums.SDC / vol;
    r.xdc = domsums.XDC;

    set_line(residual_record(r));
    WRITETORESID(line(), true);
    set_line(monitor_record(r));
    WRITETORESID(line(), true);
    set_line(free_line("sin,sout", domsums.FLOWIN, domsums.FLOWOUT));
    WRITETOITER(runctl.LINE, LINE_LENGTH);
    report_.records.push_back(runctl.ITER);
}

bool Run::save() {
    const int status = OUTDSK(filenames.OUTFILE);
    report_.saves.push_back({runctl.ITER, filenames.OUTFILE.trimmed(), status});
    return status >= 0;
}

// Every ending: wait cursor off, its message, its screens, balances and save,
// then the log closed and the run's state handed back through SETSTOPRUN.
int Run::end(RunEnding ending) {
    CURSORWAIT(false);
    switch (ending) {
        case RunEnding::Finished:
            RESIDTITLE();
            console("Run Finished");
            RAISERESID();
            SUMMARYEND();
            // Not again when the last iteration was a save point, or none ran.
            if (runctl.ITER != next_save_ - pbtable.NSAVE && !save()) return end(RunEnding::FileSaveProblem);
            break;
        case RunEnding::Interrupted:
            console("Run Interrupted");
            RESIDTITLE();
            RAISERESID();
            SUMMARYEND();
            if (!save()) return end(RunEnding::FileSaveProblem);
            break;
        case RunEnding::BadValues:
            console("Run Interrupted, bad values");
            RESIDTITLE();
            RAISERESID();
            break;
        case RunEnding::FileProblem:
            console("File problem");
            RESIDTITLE();
            RAISERESID();
            SUMMARYEND();
            // After a saved-data file that could not be read nothing is
            // written: OUTFILE names that very file, and the fields in memory
            // may be partly what it held.
            if (log_open_failed_ && pbtable.NSAVE != 0 && !save()) return end(RunEnding::FileSaveProblem);
            break;
        case RunEnding::FileSaveProblem:
            console("File save problem");
            RESIDTITLE();
            RAISERESID();
            break;
        case RunEnding::Cancelled:
        case RunEnding::None:
            break;
    }
    log_.close();
    runflags.AUTORUN = false;
    report_.ending = ending;
    // The fields are final: a viewer draws what it left while they were locked.
    std::function<void()> catch_up;
    {
        std::lock_guard<std::mutex> lock(g_hooks_mutex);
        catch_up = g_viewer_catch_up;
    }
    if (catch_up) catch_up();
    {
        std::lock_guard<std::mutex> lock(g_report_mutex);
        g_report = report_;
    }
    SETSTOPRUN(ending == RunEnding::Finished || ending == RunEnding::Cancelled ? 0 : 1);
    return 0;
}

}  // namespace

// ---- records -------------------------------------------------------------------

std::string log_record(const IterationRecord& r) {
    std::string s = fmt_i(r.iter, 5);
    s += ' ';
    for (double v : {r.f, r.rm0, r.rt0, r.rc0, r.rc20, r.u, r.v, r.w, r.tc, r.p}) {
        s += ' ';
        append_e(s, v, 9, 3);
    }
    return s;
}

std::string residual_record(const IterationRecord& r) {
    std::string s = fmt_i(r.iter, 5);
    for (double v : {r.f, r.rm0, r.rt0, r.rc0, r.rc20}) {
        s += ' ';
        append_e(s, v, 9, 3);
    }
    s += ' ';
    const double pairs[3][2] = {{r.sdu, r.xdu}, {r.sdt, r.xdt}, {r.sdc, r.xdc}};
    for (const auto& p : pairs) {
        s += "   ";
        append_e(s, p[0], 9, 4);
        s += ' ';
        append_e(s, p[1], 9, 4);
    }
    return s;
}

std::string monitor_record(const IterationRecord& r) {
    std::string s(8, ' ');
    for (double v : {r.u, r.v, r.w, r.tc, r.p, r.mean_tc}) {
        append_e(s, v, 9, 3);
        s += ' ';
    }
    return s;
}

// ---- stages --------------------------------------------------------------------

int AIRSTAGE1() {
    CURSORWAIT(true);
    CLEARLOG();
    if (INPUT0() != 0) {
        console(" error in reading geometry data file");
        CURSORWAIT(false);
        return -1;
    }
    CURSORWAIT(false);
    return 0;
}

int AIRSTAGE2() {
    CURSORWAIT(true);
    if (INPUT1() != 0) {
        console(" error in reading Control data file");
        CURSORWAIT(false);
        return -1;
    }
    CURSORWAIT(false);
    return 0;
}

// ---- the run -------------------------------------------------------------------

int AIRCALC() {
    Run run;
    return run.execute();
}

RunReport last_run_report() {
    std::lock_guard<std::mutex> lock(g_report_mutex);
    return g_report;
}

void set_plot_viewer_refresh(std::function<void()> refresh) {
    std::lock_guard<std::mutex> lock(g_hooks_mutex);
    g_viewer_refresh = std::move(refresh);
}

void set_plot_viewer_catch_up(std::function<void()> catch_up) {
    std::lock_guard<std::mutex> lock(g_hooks_mutex);
    g_viewer_catch_up = std::move(catch_up);
}

void set_thread_maker(ThreadMaker maker) {
    std::lock_guard<std::mutex> lock(g_hooks_mutex);
    g_thread_maker = std::move(maker);
}

platform::ThreadHandle make_thread(std::function<int()> body) {
    ThreadMaker maker;
    {
        std::lock_guard<std::mutex> lock(g_hooks_mutex);
        maker = g_thread_maker;
    }
    if (maker) return maker(std::move(body));
    return platform::create_thread(std::move(body), platform::ThreadPriority::BelowNormal, true);
}

}  // namespace tarvex
