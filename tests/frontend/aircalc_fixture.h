// The program's windows and menus in a frame of their own, in a fresh working
// directory, with a small case and control file written there, the console
// captured, and helpers that start a run and wait for its end while serving
// the GUI.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/channels.h"
#include "common/names.h"
#include "engine/data.h"
#include "frontend/runstate.h"
#include "frontend/winmain.h"
#include "frontend/winmenu.h"
#include "frontend/winscreenio.h"
#include "platform/app.h"
#include "platform/dialog_file.h"
#include "platform/frame_fixture.h"
#include "platform/gui_thread.h"
#include "platform/menu.h"
#include "platform/threads.h"

namespace tarvex::testing {

// A box of 4 x 3 x 2 cells (4 m by 3 m by 2.5 m) with a supply low on the
// west wall and an extract high on the east wall; no pressure boundaries.
inline std::string small_case(const std::string& initial_c = "20 0 50") {
    return "small test case\n"
           "--- end of header\n"
           "4 3 2\n"
           "--- in monitor location\n2 2 1\n"
           "--- in gravity vector\n0 0 -9.81\n"
           "--- in external conditions\n20 0 50\n"
           "--- in fluid parameters\n1.2 1.8e-5\n"
           "--- in initial conditions\n" + initial_c + "\n"
           "--- in X grid dimensions\n2 3 0.5\n4 5 1.5\n0 0 0\n"
           "--- in Y grid dimensions\n2 4 1.0\n0 0 0\n"
           "--- in Z grid dimensions\n2 3 1.25\n0 0 0\n"
           "--- in cell blockage\n0 0 0 0 0 0 0\n"
           "--- in face blockages\n0 0 0 0 0 0 0 0 0\n"
           "--- in inflow section\n1 1 2 2 1 1 0.05 0.2 0 0 18 0 40\n0 0 0 0 0 0 0 0 0 0\n"
           "--- in outflow section\n4 4 2 2 2 2 -0.05\n0 0 0 0 0 0 0\n"
           "--- in pressure bounds section\n0 0 0 0 0 0\n"
           "--- in heat gains section\n2 3 1 3 1 1 0.2 2 2 2\n0 0 0 0 0 0 0 0 0 0\n"
           "--- in Temp/Uval section\n0 0 0 0 0 0 0 0 0\n"
           "--- in contaminant section\n2 3 1 3 1 1 0.01 2 2 2\n0 0 0 0 0 0 0 0 0 0\n"
           "--- in water contaminant section\n0 0 0 0 0 0 0 0 0 0\n"
           "--- in buoyant region section\n0 0 0 0 0 0 0\n";
}

struct ControlSettings {
    int model = 1;
    double conv_u = 1.0e-9, conv_m = 1.0e-9;   // time steps never converge
    int time_steps = 0;
    double dt = 1.0;
    double tend = 10.0;
};

inline std::string small_control(const ControlSettings& c = {}) {
    std::ostringstream s;
    s << "test control file\n"
      << "--- turbulence\n" << c.model << " 100.0 0.0\n"
      << "--- convergence\n" << c.conv_u << " " << c.conv_m << " 1.0e-2 1.0e-5 1.0e-5\n"
      << "--- uvwp passes\n4\n"
      << "--- temperature passes\n1 2\n"
      << "--- concentration passes\n1 2\n"
      << "--- timestep\n" << c.time_steps << " " << c.dt << "\n"
      << "--- relaxation\n0.5 0.8 0.5 0.8 0.0 0.01\n"
      << "--- print\n0\n"
      << "--- time at end\n" << c.tend << "\n";
    return s.str();
}

inline void write_text(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

inline std::vector<std::string> read_lines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

inline bool file_exists(const std::string& path) { return std::filesystem::exists(path); }

// After Exit in this process: the application's loop was told to quit, which
// would end every later event loop (dialogs) at once. A loop of its own that
// ends clears that again, so later tests in the same process are unaffected.
inline void forget_program_end() {
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

// Answers the file dialogs from a list of names (nullptr: Cancel); `during`
// runs while the dialog is open, before it answers.
class ScriptedChooser : public platform::FileChooser {
public:
    ScriptedChooser() { platform::set_file_chooser(this); }
    ~ScriptedChooser() override { platform::set_file_chooser(nullptr); }
    void answer(std::vector<const char*> names) {
        names_ = std::move(names);
        next_ = 0;
    }
    bool choose(const platform::FileRequest&, std::string& name) override {
        ++shown;
        if (during) during();
        if (next_ >= names_.size() || names_[next_] == nullptr) {
            ++next_;
            return false;
        }
        name = names_[next_++];
        return true;
    }
    void refuse(const platform::FileRequest&, const std::string& message) override { refusals.push_back(message); }
    int shown = 0;
    std::function<void()> during;
    std::vector<std::string> refusals;

private:
    std::vector<const char*> names_;
    size_t next_ = 0;
};

class ProgramTest : public platform::testing::FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        char pattern[] = "/tmp/tarvex_frontend_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        old_dir_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);

        runstate.IRUNNING = 0;
        runstate.ISTOPRUN = 0;
        runstate.GEOMOK = false;
        runstate.CTRLOK = false;
        runstate.HWORKER = 0;
        runflags.AUTORUN = false;
        runflags.NEWFIELDS = true;
        runctl.ITER = 0;
        runctl.RESTART = -999;
        pbtable.NITER = pbtable.NSAVE = pbtable.NPRINT = -999;
        filenames.INFILE.assign("case.txt");
        filenames.CTLFILE.assign("control.txt");
        filenames.OUTFILE.assign("OUTPUT");
        write_text("case.txt", small_case());
        write_text("control.txt", small_control());

        ASSERT_EQ(SETUPSCREEN(), 0);
        set_view_items(view_items_);
        ASSERT_EQ(SETUPMENUS(), 0);
        set_channel_sink(CH_CONSOLE, &console_);
    }

    void TearDown() override {
        finish_run();
        set_plot_viewer_refresh({});
        set_thread_maker({});
        set_channel_sink(CH_CONSOLE, nullptr);
        set_channel_sink(CH_ITER, nullptr);
        set_run_end_menus({});
        set_view_items(standard_view_items());   // the program's own, for the tests that follow
        std::filesystem::current_path(old_dir_);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
        FrameTest::TearDown();
    }

    // Serves the GUI until the run has ended and releases its thread.
    static void finish_run() {
        while (runstate.IRUNNING.load() != 0) {
            pump();
            platform::sleep_ms(1);
        }
        pump();
        if (const platform::ThreadHandle h = runstate.HWORKER.exchange(0)) platform::join_thread(h);
    }

    // A run with the counts of the command line (no Run Data dialog).
    RunReport run(int restart, int niter, int nsave, int nprint = 10) {
        runflags.AUTORUN = true;
        runctl.RESTART = restart;
        pbtable.NITER = niter;
        pbtable.NSAVE = nsave;
        pbtable.NPRINT = nprint;
        console_.clear();
        STARTWORKPROC();
        finish_run();
        return last_run_report();
    }

    bool console_has(const std::string& line) const {
        for (const auto& l : console_.lines())
            if (l == line) return true;
        return false;
    }
    std::string console_text() const { return console_.text(); }

    static bool enabled(int menu, int item) {
        platform::MenuItemInfo info;
        return platform::menu_item_info(menu, item, info) && info.enabled;
    }

    std::vector<ViewItem> view_items_;   // what the View menu offers, set before SetUp
    std::string dir_;
    std::filesystem::path old_dir_;
    CaptureSink console_;
};

}  // namespace tarvex::testing
