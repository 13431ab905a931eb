// The run driver against the real engine on a small case: the endings with
// their messages, saves and records; the bad-value guard; the residuals log,
// new or appended by start mode; the print cadence; the time-step names.
#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>

#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "aircalc_fixture.h"
#include "common/names.h"
#include "common/textfmt.h"
#include "engine/engine.h"
#include "frontend/dlg_rundata.h"
#include "platform/dialog.h"
#include "platform/dialog_qt.h"

namespace tarvex {
namespace {

using testing::ControlSettings;
using testing::file_exists;
using testing::read_lines;
using testing::small_control;
using testing::write_text;

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

class AircalcTest : public testing::ProgramTest {
public:
    // Loads the case and control file as Run would, with other control values.
    void use_control(const ControlSettings& c) {
        write_text("control.txt", small_control(c));
        runstate.CTRLOK = false;
    }
    // Runs a few iterations from new fields, so that a later run can continue.
    void fields_in_memory() {
        ASSERT_EQ(run(0, 2, 100).ending, RunEnding::Finished);
    }
    int lines_starting(const std::string& prefix) const {
        int n = 0;
        for (const auto& l : console_.lines())
            if (l.rfind(prefix, 0) == 0) ++n;
        return n;
    }
};

std::vector<int> save_iters(const RunReport& r) {
    std::vector<int> v;
    for (const auto& s : r.saves) v.push_back(s.iter);
    return v;
}

std::vector<std::string> save_names(const RunReport& r) {
    std::vector<std::string> v;
    for (const auto& s : r.saves) v.push_back(s.name);
    return v;
}

const char* const ENDING_MESSAGES[] = {" Run Finished", " Run Interrupted", " Run Interrupted, bad values",
                                       " File problem", " File save problem"};

// One table of endings. Each case starts from the loaded small case; the
// console must show the ending's message (and no other ending's), the
// balances when the ending prints them, and the run must have saved and
// recorded exactly the iterations listed.
TEST_F(AircalcTest, Endings) {
    struct Case {
        const char* name;
        std::function<void(AircalcTest&)> prepare;
        int restart, niter, nsave;
        RunEnding ending;
        const char* message;
        std::vector<int> saves;
        std::vector<int> records;
        int iter_after;
        bool balances;
    };
    const auto nothing = [](AircalcTest&) {};
    const auto interrupt_at_3 = [](AircalcTest&) {
        set_plot_viewer_refresh([] {
            // Interrupt chosen while iteration 3 is in progress.
            if (runctl.ITER == 3) platform::call_blocking([] { STOPWORKPROC(); });
        });
    };
    const auto diverging = [](AircalcTest& t) {
        t.fields_in_memory();
        fields.U[ARIDX(2, 2, 1)] = 1.0e10;
    };
    const auto nan_temperature = [](AircalcTest& t) {
        t.fields_in_memory();
        fields.T[ARIDX(3, 2, 2)] = NaN;
    };
    const auto unreadable_saved_file = [](AircalcTest&) {
        write_text("BROKEN", "this is not saved data\n");
        filenames.OUTFILE.assign("BROKEN");
    };
    const auto no_save_folder = [](AircalcTest&) { filenames.OUTFILE.assign("missing/OUTPUT"); };
    const auto log_is_a_folder = [](AircalcTest&) { std::filesystem::create_directory(RESIDUALS_LOG); };

    const std::vector<Case> cases = {
        {"normal end", nothing, 0, 5, 2, RunEnding::Finished, " Run Finished", {2, 4, 5}, {1, 5}, 5, true},
        {"save at the last iteration not repeated", nothing, 0, 4, 2, RunEnding::Finished, " Run Finished", {2, 4},
         {1, 4}, 4, true},
        {"no iterations", nothing, 0, 0, 0, RunEnding::Finished, " Run Finished", {}, {}, 0, true},
        {"interrupt after the current iteration", interrupt_at_3, 0, 10, 1, RunEnding::Interrupted,
         " Run Interrupted", {1, 2, 3, 3}, {1}, 3, true},
        {"diverging fields", diverging, 2, 5, 100, RunEnding::BadValues, " Run Interrupted, bad values", {}, {}, 3,
         false},
        {"temperature not a number", nan_temperature, 2, 5, 100, RunEnding::BadValues,
         " Run Interrupted, bad values", {}, {}, 3, false},
        {"saved-data file that cannot be read", unreadable_saved_file, 1, 5, 2, RunEnding::FileProblem,
         " File problem", {}, {}, 0, true},
        {"saved-data file that cannot be written", no_save_folder, 0, 5, 2, RunEnding::FileSaveProblem,
         " File save problem", {2}, {1}, 2, false},
        {"residuals log that cannot be opened", log_is_a_folder, 0, 5, 2, RunEnding::FileProblem, " File problem",
         {0}, {}, 0, true},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::error_code ec;
        std::filesystem::remove_all(RESIDUALS_LOG, ec);
        filenames.OUTFILE.assign("OUTPUT");
        runctl.ITER = 0;
        c.prepare(*this);
        const RunReport r = run(c.restart, c.niter, c.nsave);
        set_plot_viewer_refresh({});

        EXPECT_EQ(r.ending, c.ending);
        for (const char* m : ENDING_MESSAGES)
            EXPECT_EQ(console_has(m), std::string(m) == c.message) << m;
        EXPECT_EQ(save_iters(r), c.saves);
        EXPECT_EQ(r.records, c.records);
        EXPECT_EQ(runctl.ITER, c.iter_after);
        EXPECT_EQ(lines_starting("  all inflows (kg/s, kW) : ") == 1, c.balances) << console_text();
        EXPECT_FALSE(runflags.AUTORUN);
        EXPECT_EQ(runstate.IRUNNING, 0);
        EXPECT_EQ(runstate.ISTOPRUN, 0);
    }
    // The unreadable file was not overwritten by the ending.
    EXPECT_EQ(read_lines("BROKEN"), std::vector<std::string>{"this is not saved data"});
}

// The guard looks at the normalised residuals: above 1.0e15 or not a number
// ends the run at once, without a record or a save; 1.0e15 itself goes on.
TEST_F(AircalcTest, BadValueGuard) {
    struct Case {
        const char* name;
        double* sum;
        double value;   // per open volume, as normalised
        bool bad;
    };
    const std::vector<Case> cases = {
        {"mass 1e16", &runctl.RM0, 1.0e16, true},
        {"contaminant not a number", &runctl.RC0, NaN, true},
        {"water vapour infinite", &runctl.RC20, std::numeric_limits<double>::infinity(), true},
        {"force 1e16", &runctl.RU0, 1.0e16, true},
        {"energy 1e16", &runctl.RT0, 1.0e16, true},
        {"mass exactly 1e15", &runctl.RM0, 1.0e15, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        double* sum = c.sum;
        const double value = c.value;
        // Put the value in after the solver's iteration 2, as raw sums.
        set_plot_viewer_refresh([sum, value] {
            if (runctl.ITER != 2) return;
            double raw = value * domsums.VOLTOT;
            if (sum == &runctl.RT0) raw /= 0.93;
            if (sum == &runctl.RC0 || sum == &runctl.RC20) raw /= 1000.0;
            *sum = raw;
        });
        const RunReport r = run(0, 3, 1, 1);
        set_plot_viewer_refresh({});
        EXPECT_EQ(r.ending, c.bad ? RunEnding::BadValues : RunEnding::Finished);
        EXPECT_EQ(r.records, c.bad ? std::vector<int>({1}) : std::vector<int>({1, 2, 3}));
        EXPECT_EQ(save_iters(r), c.bad ? std::vector<int>({1}) : std::vector<int>({1, 2, 3}));
    }
}

TEST_F(AircalcTest, PrintCadence) {
    struct Case {
        int niter, nprint;
        std::vector<int> records;
    };
    const std::vector<Case> cases = {
        {10, 3, {1, 4, 7, 10}},
        {10, 20, {1, 10}},          // the first and the last always
        {4, 1, {1, 2, 3, 4}},
        {3, -999, {1, 2, 3}},       // not set: every iteration
        {1, 10, {1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("NPRINT " + std::to_string(c.nprint));
        const RunReport r = run(0, c.niter, c.niter, c.nprint);
        EXPECT_EQ(r.records, c.records);
        // The log holds the header and the same records, by their ITER column.
        const auto log = read_lines(RESIDUALS_LOG);
        ASSERT_EQ(log.size(), c.records.size() + 1);
        for (size_t n = 0; n < c.records.size(); ++n) EXPECT_EQ(log[n + 1].substr(0, 5), fmt_i(c.records[n], 5));
    }
}

// A run from new fields starts the log anew; continuing from memory or from
// the saved-data file adds a header and its records to its end.
TEST_F(AircalcTest, LogNewOrAppendedByStartMode) {
    const std::string header = std::string(RESID_HEADER2) + std::string(132 - RESID_HEADER2.size(), ' ');
    struct Step {
        int restart, niter;
        std::vector<std::string> log_iters;   // the ITER column of every line, "" for a header
    };
    const std::vector<Step> steps = {
        {0, 3, {"", "1", "3"}},
        {2, 2, {"", "1", "3", "", "4", "5"}},            // ITER goes on from 3
        {1, 2, {"", "1", "3", "", "4", "5", "", "1", "2"}},   // the saved fields, ITER from 0
        {0, 1, {"", "1"}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE("start mode " + std::to_string(s.restart));
        ASSERT_EQ(run(s.restart, s.niter, s.niter).ending, RunEnding::Finished);
        const auto log = read_lines(RESIDUALS_LOG);
        std::vector<std::string> iters;
        for (const auto& l : log) {
            if (l == header) {
                iters.push_back("");
                continue;
            }
            ASSERT_EQ(l.size(), 106u) << l;
            iters.push_back(std::to_string(std::stoi(l.substr(0, 5))));
        }
        EXPECT_EQ(iters, s.log_iters);
    }
}

// The record layouts, for values of every kind a record meets.
TEST(RunRecords, Layouts) {
    IterationRecord r;
    r.iter = 12;
    r.f = 1.5e-3;
    r.rm0 = 0.0;
    r.rt0 = 12.345;
    r.rc0 = 9.9996e-8;
    r.rc20 = 1.0e-12;
    r.u = -0.0451;
    r.v = 0.25;
    r.w = -1.0e-5;
    r.tc = 21.5;
    r.p = -3.25;
    r.mean_tc = 20.75;
    r.sdu = 2.5e-4;
    r.xdu = 0.0123;
    r.sdt = 1.0;
    r.xdt = 0.5;
    r.sdc = 0.0;
    r.xdc = 3.0e-7;
    EXPECT_EQ(log_record(r),
              "   12  0.150E-02 0.000E+00 0.123E+02 0.100E-06 0.100E-11 -.451E-01 0.250E+00 -.100E-04 0.215E+02 "
              "-.325E+01");
    EXPECT_EQ(residual_record(r),
              "   12 0.150E-02 0.000E+00 0.123E+02 0.100E-06 0.100E-11    .2500E-03 .1230E-01   .1000E+01 "
              ".5000E+00   .0000E+00 .3000E-06");
    EXPECT_EQ(monitor_record(r), "        -.451E-01 0.250E+00 -.100E-04 0.215E+02 -.325E+01 0.208E+02 ");
    EXPECT_EQ(log_record(r).size(), 106u);
    EXPECT_EQ(residual_record(r).size(), 122u);
    EXPECT_EQ(monitor_record(r).size(), 68u);
}

// Time steps: every step that converges is saved under its own name, and
// the run's final save goes to the last step's name.
TEST_F(AircalcTest, TimeStepSavesTrans1Trans2Trans3) {
    ControlSettings c;
    c.time_steps = 1;
    c.dt = 1.0;
    c.tend = 2.0;
    c.conv_u = c.conv_m = 1.0e30;   // every iteration ends its step
    use_control(c);
    const RunReport r = run(0, 10, 10);
    EXPECT_EQ(r.ending, RunEnding::Finished);
    EXPECT_EQ(save_names(r), (std::vector<std::string>{"TRANS1", "TRANS2", "TRANS3", "TRANS3"}));
    EXPECT_EQ(save_iters(r), (std::vector<int>{1, 2, 3, 3}));
    for (const char* name : {"TRANS1", "TRANS2", "TRANS3"}) EXPECT_TRUE(file_exists(name)) << name;
    EXPECT_EQ(filenames.OUTFILE.trimmed(), "TRANS3");
}

// Once the iterations are used up the run ends at once, its final save under
// the name the remaining steps would have reached (it stops changing at
// step 9999), however many steps remain.
TEST_F(AircalcTest, TimeStepsEndWhenTheIterationsAreUsedUp) {
    struct Case {
        double dt, tend;
        int niter;
        const char* name;
    };
    const std::vector<Case> cases = {
        {1.0, 5.0, 4, "TRANS6"},     // step 1 takes all 4 iterations; steps 2..6 only named
        {0.5, 2.0, 0, "TRANS5"},
        {1.0, 1.0e300, 3, "TRANS9999"},
        {1.0e-12, 3600.0, 2, "TRANS9999"},
        {1.0, -1.0, 3, "TRANS1"},    // no step at all: nothing runs, nothing is saved
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        ControlSettings c;
        c.time_steps = 1;
        c.dt = k.dt;
        c.tend = k.tend;
        use_control(c);
        const RunReport r = run(0, k.niter, 1000);
        EXPECT_EQ(r.ending, RunEnding::Finished);
        EXPECT_EQ(filenames.OUTFILE.trimmed(), k.name);
        const bool iterated = k.niter > 0 && k.tend >= 0.0;
        EXPECT_EQ(runctl.ITER, iterated ? k.niter : 0);
        EXPECT_EQ(save_names(r), iterated ? std::vector<std::string>({k.name}) : std::vector<std::string>());
    }
}

// The control reader refuses such a time step; one that reaches the run
// some other way is refused before the run starts.
TEST_F(AircalcTest, TimeStepThatCannotAdvanceIsRefusedBeforeTheRun) {
    ControlSettings c;
    c.time_steps = 1;
    use_control(c);
    ASSERT_EQ(AIRSTAGE1(), 0);
    runstate.GEOMOK = true;
    for (double dt : {0.0, -1.0, NaN}) {
        SCOPED_TRACE(dt);
        ASSERT_EQ(AIRSTAGE2(), 0);
        runstate.CTRLOK = true;
        runctl.DT = dt;
        console_.clear();
        runflags.AUTORUN = true;
        runctl.RESTART = 0;
        pbtable.NITER = pbtable.NSAVE = 3;
        STARTWORKPROC();
        EXPECT_EQ(runstate.IRUNNING, 0);
        EXPECT_EQ(runstate.HWORKER, 0);
        EXPECT_EQ(lines_starting("  time step not positive: "), 1) << console_text();
        EXPECT_EQ(platform::status_text(), "error found in control file");
        EXPECT_FALSE(runstate.CTRLOK);   // Run reads the control file again
        EXPECT_FALSE(file_exists(RESIDUALS_LOG));
    }
}

// The counts of the command line skip the Run Data dialog for the first run
// only; a cancelled dialog ends the run without a message and leaves the log;
// one closed with OK runs with what it shows.
TEST_F(AircalcTest, CommandLineCountsSkipTheDialogOnlyOnce) {
    int shown = 0;
    int press = 2;
    platform::set_dialog_show_hook([&shown, &press](platform::Dialog& d) {
        if (d.template_id() != 103) return;
        ++shown;
        platform::Dialog* dialog = &d;
        const int button = press;
        QTimer::singleShot(0, [dialog, button] {
            QTest::mouseClick(platform::dialog_control(*dialog, button), Qt::LeftButton);
        });
    });
    ASSERT_EQ(run(0, 2, 2).ending, RunEnding::Finished);
    EXPECT_EQ(shown, 0);
    const auto log = read_lines(RESIDUALS_LOG);

    console_.clear();
    STARTWORKPROC();   // as Run from the menu
    finish_run();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(last_run_report().ending, RunEnding::Cancelled);
    for (const char* m : ENDING_MESSAGES) EXPECT_FALSE(console_has(m)) << m;
    EXPECT_EQ(read_lines(RESIDUALS_LOG), log);
    EXPECT_EQ(platform::status_text(), "idle");

    // OK with the dialog as shown: from last data (no case was read since),
    // the same counts.
    press = 1;
    STARTWORKPROC();
    finish_run();
    platform::set_dialog_show_hook({});
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(last_run_report().ending, RunEnding::Finished);
    EXPECT_EQ(runctl.RESTART, 2);
    EXPECT_EQ(runctl.ITER, 4);
    EXPECT_EQ(read_lines(RESIDUALS_LOG).size(), log.size() * 2);
}

// Start mode 2 right after the case is read: there are no fields to continue
// from (they are all zero). The command line's counts would skip the dialog;
// it is shown all the same, saying why, and the run starts only from what is
// chosen there.
TEST_F(AircalcTest, ContinuingWithoutFieldsAsksInTheDialog) {
    std::vector<std::string> messages;
    int choose = 0;   // 0: Cancel; otherwise the start mode's radio, then OK
    platform::set_dialog_show_hook([&](platform::Dialog& d) {
        if (d.template_id() != 103) return;
        std::string m;
        d.get_text(1022, m, 400);
        messages.emplace_back(trim_right(m));
        platform::Dialog* dialog = &d;
        const int radio = choose;
        QTimer::singleShot(0, [dialog, radio] {
            if (radio) QTest::mouseClick(platform::dialog_control(*dialog, radio), Qt::LeftButton);
            QTest::mouseClick(platform::dialog_control(*dialog, radio ? 1 : 2), Qt::LeftButton);
        });
    });
    EXPECT_EQ(run(2, 3, 3).ending, RunEnding::Cancelled);
    EXPECT_EQ(messages, std::vector<std::string>{NO_FIELDS_MESSAGE});
    EXPECT_EQ(runctl.ITER, 0);
    EXPECT_FALSE(file_exists(RESIDUALS_LOG));

    choose = 1013;   // Initialise
    EXPECT_EQ(run(2, 3, 3).ending, RunEnding::Finished);
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_EQ(runctl.RESTART, 0);
    EXPECT_EQ(runctl.ITER, 3);

    // Now there are fields: the command line's start mode 2 goes on without the dialog.
    EXPECT_EQ(run(2, 2, 2).ending, RunEnding::Finished);
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_EQ(runctl.ITER, 5);
    platform::set_dialog_show_hook({});
}

// Mixing lengths: models 2 and 3 compute them before a run from new or saved
// fields; continuing from memory computes them only when new ones are due.
TEST_F(AircalcTest, MixingLengthsByStartMode) {
    ControlSettings c;
    c.model = 2;
    use_control(c);
    const auto searches = [this] { return lines_starting("  entering surface check"); };
    run(0, 1, 1);
    EXPECT_EQ(searches(), 1);
    run(2, 1, 1);
    EXPECT_EQ(searches(), 0);
    runctl.NEWDIST = true;   // as after Load Saved data
    run(2, 1, 1);
    EXPECT_EQ(searches(), 1);
    EXPECT_FALSE(runctl.NEWDIST);
    run(1, 1, 1);
    EXPECT_EQ(searches(), 1);

    c.model = 1;
    use_control(c);
    run(0, 1, 1);
    EXPECT_EQ(searches(), 0);
}

}  // namespace
}  // namespace tarvex
