// The menus and filters: the bar after set-up, the item states and status
// texts through loads, a run, an interrupt, failed loads and the run after
// them; the function keys; the close filter and Exit; the File routines'
// tests of a run and of the loaded flags.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "aircalc_fixture.h"
#include "engine/data.h"
#include "engine/engine.h"
#include "frontend/winwrapper.h"
#include "platform/dialog.h"
#include "platform/hooks.h"
#include "platform/window.h"

namespace tarvex {
namespace {

using testing::ControlSettings;
using testing::ScriptedChooser;
using testing::small_case;
using testing::small_control;
using testing::write_text;
using namespace menu_pos;

// The eight states, E enabled or G grayed, in the order Load Geometry, Load
// Control, Load Saved data, Select Output, Run, Interrupt, Exit, View.
std::string menu_states() {
    std::string s;
    for (int item : {LOAD_GEOMETRY, LOAD_CONTROL, LOAD_SAVED, SELECT_OUTPUT, RUN, INTERRUPT, EXIT}) {
        platform::MenuItemInfo info;
        s += platform::menu_item_info(FILE_MENU, item, info) && info.enabled ? 'E' : 'G';
    }
    platform::MenuItemInfo view;
    s += platform::menu_item_info(VIEW_MENU, 0, view) && view.enabled ? 'E' : 'G';
    return s;
}

std::string frame_title() { return platform::window_text(platform::window_handle(platform::FRAME_CHANNEL)); }

class MenuTest : public testing::ProgramTest {
protected:
    MenuTest() {
        view_items_ = {
            {"&Data", [this] { ++opened_data; }, 0},
            {"&Region      F10", [this] { ++opened_region; }, 10},
            {"Re&siduals", [this] { ++opened_residuals; }, 0},
            {"D&omain data F9", [this] { ++opened_domain; }, 9},
        };
    }
    std::string path(const char* name) const { return dir_ + "/" + name; }

    int opened_data = 0, opened_region = 0, opened_residuals = 0, opened_domain = 0;
    ScriptedChooser chooser;
};

TEST_F(MenuTest, BarAfterSetup) {
    std::vector<std::string> menus;
    for (int m = 1; m <= platform::menu_count(); ++m) {
        platform::MenuItemInfo info;
        ASSERT_TRUE(platform::menu_item_info(m, 0, info));
        menus.push_back(info.text);
    }
    EXPECT_EQ(menus, (std::vector<std::string>{"&File", "&View", "&Window", "&Help"}));

    const std::vector<std::string> file = {"Load &Geometry   F5", "Load &Control    F6", "Load &Saved data F4", "",
                                           "&Select Output   F3", "", "&Run       F12", "&Interrupt F11", "",
                                           "E&xit"};
    ASSERT_EQ(platform::menu_item_count(FILE_MENU), static_cast<int>(file.size()));
    for (int i = 1; i <= static_cast<int>(file.size()); ++i) {
        platform::MenuItemInfo info;
        ASSERT_TRUE(platform::menu_item_info(FILE_MENU, i, info));
        EXPECT_EQ(info.separator, file[i - 1].empty()) << i;
        if (!info.separator) {
            EXPECT_EQ(info.text, file[i - 1]) << i;
        }
    }
    // The View menu holds what the viewers offer, and runs their routines.
    ASSERT_EQ(platform::menu_item_count(VIEW_MENU), 4);
    platform::MenuItemInfo info;
    ASSERT_TRUE(platform::menu_item_info(VIEW_MENU, 4, info));
    EXPECT_EQ(info.text, "D&omain data F9");
    EXPECT_FALSE(platform::trigger_menu_item(VIEW_MENU, 4));   // grayed until a case is loaded
    menus_case_loaded();
    EXPECT_TRUE(platform::trigger_menu_item(VIEW_MENU, 4));
    EXPECT_EQ(opened_domain, 1);
}

class BareMenuTest : public testing::ProgramTest {};

TEST_F(BareMenuTest, ViewMenuIsEmptyWithoutViewers) {
    platform::MenuItemInfo info;
    ASSERT_TRUE(platform::menu_item_info(VIEW_MENU, 0, info));
    EXPECT_EQ(info.text, "&View");
    EXPECT_EQ(platform::menu_item_count(VIEW_MENU), 0);
    // F9 and F10 open nothing, and are still the program's keys.
    EXPECT_TRUE(platform::deliver_function_key(9));
    EXPECT_TRUE(platform::deliver_function_key(10));
}

// The menu states and status texts as they follow one another through a
// session: loads that fail and succeed, a run with an interrupt, a failed
// load after it, the Run that reads the file again, and the run after the
// file is mended.
TEST_F(MenuTest, StatesAndStatusThroughASession) {
    struct Row {
        std::string event, states, status;
    };
    std::vector<Row> seen;
    const auto note = [&seen](const std::string& event) {
        seen.push_back({event, menu_states(), platform::status_text()});
    };
    write_text("bad.txt", "a case file without its sections\n");
    write_text("badctl.txt", "a control file without its sections\n");

    note("menus built");

    chooser.answer({"bad.txt"});
    OPENDATAPROC();
    note("Load Geometry fails");
    EXPECT_FALSE(runstate.GEOMOK);
    EXPECT_EQ(frame_title(), "Tarvex V1.4 b ");

    chooser.answer({"case.txt"});
    OPENDATAPROC();
    note("Load Geometry");
    EXPECT_TRUE(runstate.GEOMOK);
    EXPECT_EQ(frame_title(), "Tarvex V1.4 b  : [ " + path("case.txt") + " ]");

    chooser.answer({"badctl.txt"});
    OPENCTRLPROC();
    note("Load Control fails");
    EXPECT_FALSE(runstate.CTRLOK);

    chooser.answer({"control.txt"});
    OPENCTRLPROC();
    note("Load Control");
    EXPECT_TRUE(runstate.CTRLOK);

    // The run: its states are looked at from the calculation thread while
    // iterations 1 and 2 are in progress; Interrupt is chosen in iteration 2.
    set_plot_viewer_refresh([&note] {
        if (runctl.ITER == 1) note("run start");
        if (runctl.ITER == 2) {
            platform::call_blocking([] { STOPWORKPROC(); });
            note("interrupt asked");
        }
    });
    EXPECT_EQ(run(0, 10, 10).ending, RunEnding::Interrupted);
    set_plot_viewer_refresh({});
    note("run end");

    chooser.answer({"bad.txt"});
    OPENDATAPROC();
    note("Load Geometry fails after the run");
    EXPECT_FALSE(runstate.GEOMOK);
    EXPECT_EQ(frame_title(), "Tarvex V1.4 b ");

    // The grayed items' keys do nothing either.
    chooser.shown = 0;
    for (int key : {4, 9, 10}) EXPECT_TRUE(platform::deliver_function_key(key));
    EXPECT_EQ(chooser.shown, 0);
    EXPECT_EQ(opened_domain + opened_region, 0);

    console_.clear();
    STARTWORKPROC();
    note("Run reads the failed file again");
    EXPECT_EQ(runstate.HWORKER, 0);
    EXPECT_NE(console_text().find("  error in reading geometry data file"), std::string::npos);

    write_text("bad.txt", small_case());   // mended
    set_plot_viewer_refresh([&note] {
        if (runctl.ITER == 1) note("run start after the failed load");
    });
    EXPECT_EQ(run(0, 2, 2).ending, RunEnding::Finished);
    set_plot_viewer_refresh({});
    note("run end after the failed load");
    EXPECT_TRUE(runstate.GEOMOK);

    const std::vector<Row> expected = {
        {"menus built", "EEGEEGEG", "idle"},
        {"Load Geometry fails", "EEGEEGEG", "error found in input file"},
        {"Load Geometry", "EEEEEGEE", "input data OK"},
        {"Load Control fails", "EEEEEGEE", "error in control file"},
        {"Load Control", "EEEEEGEE", "control data OK"},
        {"run start", "GGGGGEGG", "calculations running"},
        {"interrupt asked", "GGGGGGGG", "..interrupted.."},
        {"run end", "EEEEEGEE", "idle"},
        // No case loaded any more: Load Saved data and the View menu are grayed.
        {"Load Geometry fails after the run", "EEGEEGEG", "error found in input file"},
        {"Run reads the failed file again", "EEGEEGEG", "error found in input file"},
        {"run start after the failed load", "GGGGGEGG", "calculations running"},
        {"run end after the failed load", "EEEEEGEE", "idle"},
    };
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t n = 0; n < expected.size(); ++n) {
        EXPECT_EQ(seen[n].event, expected[n].event);
        EXPECT_EQ(seen[n].states, expected[n].states) << expected[n].event;
        EXPECT_EQ(seen[n].status, expected[n].status) << expected[n].event;
    }
}

// What each function key does, with and without a run going, with and
// without a case loaded.
TEST_F(MenuTest, FunctionKeys) {
    struct Case {
        int key;
        bool running, case_loaded;
        bool dialog;      // a file dialog was shown
        bool run_started;
        bool stop_asked;
        int view_opened;  // 9 domain, 10 region, 0 none
    };
    const std::vector<Case> cases = {
        {3, false, false, true, false, false, 0},   {4, false, false, false, false, false, 0},
        {4, false, true, true, false, false, 0},    {5, false, false, true, false, false, 0},
        {6, false, false, true, false, false, 0},
        // The viewers' keys need a case, as the View menu does.
        {9, false, false, false, false, false, 0},  {10, false, false, false, false, false, 0},
        {9, false, true, false, false, false, 9},   {10, false, true, false, false, false, 10},
        {11, false, true, false, false, false, 0},
        {12, false, false, false, true, false, 0},
        {3, true, true, false, false, false, 0},    {4, true, true, false, false, false, 0},
        {5, true, true, false, false, false, 0},    {6, true, true, false, false, false, 0},
        {9, true, true, false, false, false, 0},    {10, true, true, false, false, false, 0},
        {11, true, true, false, false, true, 0},    {12, true, true, false, false, false, 0},
        {1, false, true, false, false, false, 0},   {2, false, true, false, false, false, 0},
        {7, true, true, false, false, false, 0},    {8, true, true, false, false, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("F" + std::to_string(c.key) + (c.running ? " during a run" : "") +
                     (c.case_loaded ? " with a case" : ""));
        chooser.answer({nullptr});   // every dialog is cancelled
        chooser.shown = 0;
        opened_domain = opened_region = 0;
        runflags.AUTORUN = true;
        runctl.RESTART = 0;
        pbtable.NITER = pbtable.NSAVE = 0;
        runstate.GEOMOK = c.case_loaded;
        runstate.ISTOPRUN = 0;
        runstate.IRUNNING = c.running ? 1 : 0;   // a run as far as the keys can tell
        SETSTATBAR("idle ");

        EXPECT_TRUE(platform::deliver_function_key(c.key));
        EXPECT_EQ(chooser.shown > 0, c.dialog);
        EXPECT_EQ(runstate.HWORKER != 0, c.run_started);
        EXPECT_EQ(runstate.ISTOPRUN == 1, c.stop_asked);
        EXPECT_EQ(platform::status_text(),
                  c.stop_asked ? "..interrupted.." : c.run_started ? "calculations running" : "idle");
        EXPECT_EQ(opened_domain, c.view_opened == 9 ? 1 : 0);
        EXPECT_EQ(opened_region, c.view_opened == 10 ? 1 : 0);
        if (c.stop_asked) {
            EXPECT_FALSE(enabled(FILE_MENU, INTERRUPT));
        }

        if (c.running) runstate.IRUNNING = 0;
        finish_run();
        runstate.ISTOPRUN = 0;
    }
}

// While a file dialog or another modal window is open the keys are left to it.
TEST_F(MenuTest, FunctionKeysWaitWhileAModalWindowIsOpen) {
    runstate.GEOMOK = true;
    runflags.AUTORUN = true;
    runctl.RESTART = 0;
    pbtable.NITER = pbtable.NSAVE = 0;
    {
        platform::ModalScope modal;
        for (int key = 1; key <= 12; ++key) EXPECT_FALSE(platform::deliver_function_key(key)) << key;
    }
    EXPECT_EQ(chooser.shown, 0);
    EXPECT_EQ(runstate.HWORKER, 0);
    EXPECT_EQ(opened_domain + opened_region, 0);

    // A second Load Geometry key while the first one's dialog is open.
    bool inner = true;
    chooser.during = [&inner] { inner = platform::deliver_function_key(5); };
    chooser.answer({nullptr});
    EXPECT_TRUE(platform::deliver_function_key(5));
    EXPECT_FALSE(inner);
    EXPECT_EQ(chooser.shown, 1);
}

TEST_F(MenuTest, ProgramEndsOnlyThroughExit) {
    EXPECT_TRUE(platform::close_command_refused());

    std::vector<platform::MessageBox> boxes;
    platform::Answer answer = platform::Answer::Cancel;
    std::function<void()> while_open;
    platform::set_message_box_responder([&](const platform::MessageBox& box) {
        boxes.push_back(box);
        if (while_open) while_open();
        return answer;
    });

    USEREXIT();   // Cancel
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Press OK to exit Tarvex");
    EXPECT_EQ(boxes[0].caption, "Confirm Exit");
    EXPECT_EQ(boxes[0].buttons, platform::Buttons::OkCancel);
    EXPECT_EQ(boxes[0].default_button, 2);
    EXPECT_FALSE(platform::program_ending());
    EXPECT_TRUE(platform::close_command_refused());

    runstate.IRUNNING = 1;   // a run going: Exit does nothing
    answer = platform::Answer::Ok;
    USEREXIT();
    EXPECT_EQ(boxes.size(), 1u);
    runstate.IRUNNING = 0;

    // A run that starts while the box is open (a run started at once) keeps
    // the program going.
    while_open = [] { runstate.IRUNNING = 1; };
    USEREXIT();
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_FALSE(platform::program_ending());
    EXPECT_TRUE(platform::close_command_refused());
    runstate.IRUNNING = 0;

    while_open = nullptr;
    EXPECT_TRUE(platform::trigger_menu_item(FILE_MENU, EXIT));
    EXPECT_EQ(boxes.size(), 3u);
    EXPECT_TRUE(platform::program_ending());
    EXPECT_FALSE(platform::close_command_refused());
    testing::forget_program_end();
}

// A run may begin while a File routine's dialog is open (a run started at
// once is handed to the GUI thread): the routine then does nothing.
TEST_F(MenuTest, FileRoutinesTestForARunAfterTheirDialog) {
    struct Case {
        const char* name;
        void (*routine)(bool);
        std::function<bool()> unchanged;
    };
    const std::vector<Case> cases = {
        {"Load Geometry", OPENDATAPROC, [] { return filenames.INFILE.trimmed() == "case.txt" && !runstate.GEOMOK; }},
        {"Load Control", OPENCTRLPROC, [] { return filenames.CTLFILE.trimmed() == "control.txt" && !runstate.CTRLOK; }},
        {"Load Saved data", OPENPREVPROC, [] { return runctl.ITER == 7; }},
        {"Select Output", OPENSAVEPROC, [] { return filenames.OUTFILE.trimmed() == "OUTPUT"; }},
    };
    ASSERT_EQ(AIRSTAGE1(), 0);   // fields for Load Saved data to replace
    ASSERT_EQ(OUTDSK(PaddedName("SAVED")), 0);
    runctl.ITER = 7;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        runstate.GEOMOK = c.routine == OPENPREVPROC;
        chooser.during = [] { runstate.IRUNNING = 1; };
        chooser.answer({c.routine == OPENPREVPROC ? "SAVED" : c.routine == OPENCTRLPROC ? "control.txt" : "case.txt"});
        console_.clear();
        c.routine(false);
        runstate.IRUNNING = 0;
        if (c.routine == OPENPREVPROC) runstate.GEOMOK = false;
        EXPECT_EQ(chooser.shown > 0, true);
        chooser.shown = 0;
        EXPECT_TRUE(c.unchanged());
        EXPECT_EQ(console_text(), "");
    }
}

// A successful case load resets the turbulence model: the control file is
// read again before the next run, which uses the model it asks for and the
// viscosity of the case now loaded.
TEST_F(MenuTest, CaseLoadMakesRunReadTheControlFileAgain) {
    ControlSettings model2;
    model2.model = 2;
    write_text("control.txt", small_control(model2));
    chooser.answer({"control.txt"});
    OPENCTRLPROC();
    ASSERT_TRUE(runstate.CTRLOK);
    ASSERT_EQ(runctl.ITURB, 2);

    chooser.answer({"case.txt"});
    OPENDATAPROC();
    ASSERT_TRUE(runstate.GEOMOK);
    EXPECT_FALSE(runstate.CTRLOK);
    EXPECT_EQ(runctl.ITURB, 1);

    EXPECT_EQ(run(0, 1, 1).ending, RunEnding::Finished);
    EXPECT_TRUE(runstate.CTRLOK);
    EXPECT_EQ(runctl.ITURB, 2);
    EXPECT_DOUBLE_EQ(runctl.VISEFF, 100.0 * runctl.VISC);
    EXPECT_NE(console_text().find("  entering surface check"), std::string::npos);

    // A run after that reads neither file again.
    EXPECT_EQ(run(2, 1, 1).ending, RunEnding::Finished);
    EXPECT_EQ(console_text().find("reading input file"), std::string::npos);
    EXPECT_EQ(console_text().find("error"), std::string::npos);
}

TEST_F(MenuTest, FailedControlLoadMakesRunReadItAgain) {
    chooser.answer({"control.txt"});
    OPENCTRLPROC();
    ASSERT_TRUE(runstate.CTRLOK);
    write_text("broken.txt", "a control file without its sections\n");
    chooser.answer({"broken.txt"});
    OPENCTRLPROC();
    EXPECT_FALSE(runstate.CTRLOK);
    // Run reads the broken file again and stops there.
    console_.clear();
    STARTWORKPROC();
    EXPECT_EQ(runstate.HWORKER, 0);
    EXPECT_EQ(platform::status_text(), "error found in control file");
    EXPECT_NE(console_text().find("  error in reading Control data file"), std::string::npos);
}

TEST_F(MenuTest, LoadSavedData) {
    // Refused before a case is loaded, from the menu and from F4.
    EXPECT_FALSE(platform::trigger_menu_item(FILE_MENU, LOAD_SAVED));
    OPENPREVPROC();
    platform::deliver_function_key(4);
    EXPECT_EQ(chooser.shown, 0);

    ASSERT_EQ(run(0, 3, 3).ending, RunEnding::Finished);   // reads the case, saves OUTPUT
    write_text("BROKEN", "not saved data\n");

    // A file that cannot be read leaves the next run's starting point.
    runctl.ITER = 7;
    runflags.NEWFIELDS = true;
    runctl.NEWDIST = false;
    chooser.answer({"BROKEN"});
    EXPECT_TRUE(platform::trigger_menu_item(FILE_MENU, LOAD_SAVED));
    EXPECT_EQ(runctl.ITER, 7);
    EXPECT_TRUE(runflags.NEWFIELDS);
    EXPECT_FALSE(runctl.NEWDIST);

    console_.clear();
    chooser.answer({"OUTPUT"});
    OPENPREVPROC();
    EXPECT_EQ(runctl.ITER, 0);
    EXPECT_FALSE(runflags.NEWFIELDS);
    EXPECT_TRUE(runctl.NEWDIST);
    EXPECT_EQ(filenames.OUTFILE.trimmed(), "OUTPUT");
    EXPECT_NE(console_text().find("  all inflows (kg/s, kW) : "), std::string::npos);   // its balances
}

TEST_F(MenuTest, ThreadThatCannotBeMadeResetsTheRunState) {
    set_thread_maker([](std::function<int()>) { return platform::ThreadHandle(0); });
    runflags.AUTORUN = true;
    runctl.RESTART = 0;
    pbtable.NITER = pbtable.NSAVE = 2;
    STARTWORKPROC();
    EXPECT_EQ(runstate.IRUNNING, 0);
    EXPECT_EQ(runstate.HWORKER, 0);
    EXPECT_EQ(menu_states(), "EEEEEGEE");
    EXPECT_EQ(platform::status_text(), "idle");
    EXPECT_NE(console_text().find("  could not start the calculation thread"), std::string::npos);

    set_thread_maker({});
    EXPECT_EQ(run(0, 2, 2).ending, RunEnding::Finished);
}

// A run that has ended but whose thread the idle loop has not released yet:
// the next Run releases it before it starts its own.
TEST_F(MenuTest, RunReleasesTheEndedThreadOfTheLastRun) {
    runflags.AUTORUN = true;
    runctl.RESTART = 0;
    pbtable.NITER = pbtable.NSAVE = 1;
    STARTWORKPROC();
    const platform::ThreadHandle first = runstate.HWORKER;
    ASSERT_NE(first, 0);
    while (runstate.IRUNNING.load() != 0) pump();
    ASSERT_EQ(runstate.HWORKER, first);   // not reaped

    runflags.AUTORUN = true;
    runctl.RESTART = 2;
    STARTWORKPROC();
    int code = 0;
    EXPECT_FALSE(platform::thread_exit_code(first, code));   // released
    EXPECT_NE(runstate.HWORKER, first);
    EXPECT_NE(runstate.HWORKER, 0);
    finish_run();
    EXPECT_EQ(runctl.ITER, 2);

    // The idle loop's poll releases an ended thread too, once.
    runflags.AUTORUN = true;
    STARTWORKPROC();
    const platform::ThreadHandle third = runstate.HWORKER;
    while (runstate.IRUNNING.load() != 0) pump();
    while (platform::thread_still_active(third)) platform::sleep_ms(1);
    reap_worker();
    EXPECT_EQ(runstate.HWORKER, 0);
    EXPECT_FALSE(platform::thread_exit_code(third, code));
    reap_worker();
}

}  // namespace
}  // namespace tarvex
