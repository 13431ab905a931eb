// The main program: its start-up (title, About text, menus, the failure box),
// and the whole program started as the README starts it, in a process of its
// own: the run started at once on the bundled example (a Ctrl+C during it
// changes nothing), its files and balances, the ended thread released, and
// Exit through its menu routine.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>

#include <atomic>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "aircalc_fixture.h"
#include "common/channels.h"
#include "common/textfmt.h"
#include "engine/data.h"
#include "engine/engine.h"
#include "frontend/calc/viewstate.h"
#include "frontend/runstate.h"
#include "frontend/viewdlg.h"
#include "frontend/winmain.h"
#include "frontend/winmenu.h"
#include "frontend/winwrapper.h"
#include "platform/app.h"
#include "platform/frame_fixture.h"
#include "platform/menu.h"
#include "platform/threads.h"
#include "platform/window.h"
#include "viewcalc/view_defaults_check.h"

namespace tarvex {

namespace {

// The user of a child's program: waits for the run started at once to end,
// notes what the program shows, and chooses Exit.
void note_the_end_and_exit() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (last_run_report().ending == RunEnding::None && std::chrono::steady_clock::now() < deadline)
        platform::sleep_ms(20);
    // The idle loop releases the ended thread within about half a second.
    bool reaped = false;
    for (int n = 0; n < 100 && !reaped; ++n) {
        reaped = runstate.HWORKER.load() == 0;
        if (!reaped) platform::sleep_ms(20);
    }
    std::printf("ending=%d reaped=%d\n", static_cast<int>(last_run_report().ending), reaped ? 1 : 0);
    for (const auto& line : platform::Window(CH_CONSOLE).text_lines())
        if (!line.empty()) std::printf("console:%s\n", line.c_str());
    std::printf("status=%s\n", platform::status_text().c_str());
    std::printf("title=%s\n",
                platform::window_text(platform::window_handle(platform::FRAME_CHANNEL)).c_str());
    platform::MenuItemInfo info;
    platform::menu_item_info(menu_pos::FILE_MENU, menu_pos::EXIT, info);
    std::printf("exit item=%s enabled=%d\n", info.text.c_str(), info.enabled ? 1 : 0);
    std::fflush(stdout);
    platform::set_message_box_responder([](const platform::MessageBox& box) {
        std::printf("box=%s|%s\n", box.caption.c_str(), box.text.c_str());
        return platform::Answer::Ok;
    });
    platform::trigger_menu_item(menu_pos::FILE_MENU, menu_pos::EXIT);
}

}  // namespace

// The child's program: Tarvex itself, with a user who waits for the run
// started at once to end, notes what the program shows, and chooses Exit.
// Tarvex with the given refresh after every iteration, and the user who
// waits for the end and chooses Exit; prints the exit code.
int run_probe(int argc, char** argv, std::function<void()> refresh) {
    set_plot_viewer_refresh(std::move(refresh));
    std::thread user(note_the_end_and_exit);
    const int code = run_tarvex(argc, argv);
    user.join();
    std::printf("exit=%d\n", code);
    std::fflush(stdout);
    return code;
}

int program_probe(int argc, char** argv) {
    // Ctrl+C in the middle of the run changes nothing.
    return run_probe(argc, argv, [] {
        if (runctl.ITER == 5) std::raise(SIGINT);
    });
}

// The child's program of two programs in one folder: Tarvex itself, whose run
// started at once says "paused" in its second iteration, before that
// iteration's record, and waits there
// until its standard input ends; then as program_probe (without the Ctrl+C).
int program_probe_pausing(int argc, char** argv) {
    return run_probe(argc, argv, [] {
        if (runctl.ITER != 2) return;
        std::printf("paused\n");
        std::fflush(stdout);
        char c;
        while (::read(0, &c, 1) > 0) {
        }
    });
}

// The child's program: Tarvex itself, with a user who answers every message
// box with its first button (OK, or Yes) and notes it.
int program_probe_answering_boxes(int argc, char** argv) {
    platform::set_message_box_responder([](const platform::MessageBox& box) {
        std::printf("box=%s|%s\n", box.caption.c_str(), box.text.c_str());
        std::fflush(stdout);
        return box.buttons == platform::Buttons::YesNo || box.buttons == platform::Buttons::YesNoCancel
                   ? platform::Answer::Yes
                   : platform::Answer::Ok;
    });
    return run_tarvex(argc, argv);
}

namespace {

using testing::file_exists;
using testing::read_lines;

// Runs this test program again as Tarvex with the given arguments; returns
// what it printed, and its exit status.
std::string run_program(const std::vector<std::string>& args, int& status,
                        const char* probe_flag = "--tarvex-program-probe") {
    int out[2];
    if (pipe(out) != 0) return "";
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::vector<char*> argv;
        static char self[] = "frontend_tests";
        argv.push_back(self);
        argv.push_back(const_cast<char*>(probe_flag));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv("/proc/self/exe", argv.data());
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = read(out[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<std::size_t>(n));
    close(out[0]);
    waitpid(pid, &status, 0);
    return text;
}

bool has_line(const std::string& text, const std::string& line) {
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

TEST(Program, StartedAsTheReadmeStartsItRunsTheExampleAndExits) {
    char pattern[] = "/tmp/tarvex_program_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    const std::string example = std::string(TARVEX_SOURCE_DIR) + "/examples/room/";
    for (const char* f : {"room.case", "room.control"})
        std::filesystem::copy_file(example + f, dir + "/" + f);

    int status = 0;
    const std::string out =
        run_program({"-d", dir, "-i", "room.case", "-c", "room.control", "-n", "20", "-g"}, status);
    ASSERT_TRUE(WIFEXITED(status)) << out;
    EXPECT_EQ(WEXITSTATUS(status), 0) << out;

    EXPECT_TRUE(has_line(out, "ending=" + std::to_string(static_cast<int>(RunEnding::Finished)) + " reaped=1"))
        << out;
    EXPECT_TRUE(has_line(out, "console: Run Finished")) << out;
    EXPECT_NE(out.find("console:  all inflows (kg/s, kW) : "), std::string::npos) << out;
    EXPECT_NE(out.find("console:  free inflows (kg/s, kW) : "), std::string::npos) << out;
    EXPECT_TRUE(has_line(out, "status=idle")) << out;
    EXPECT_TRUE(has_line(out, "title=Tarvex V1.4 b ")) << out;
    EXPECT_TRUE(has_line(out, "exit item=E&xit enabled=1")) << out;
    EXPECT_TRUE(has_line(out, "box=Confirm Exit|Press OK to exit Tarvex")) << out;
    EXPECT_TRUE(has_line(out, "exit=0")) << out;

    // The saved data of the last iteration, and the log of the run.
    ASSERT_TRUE(file_exists(dir + "/OUTPUT"));
    EXPECT_EQ(read_lines(dir + "/OUTPUT").at(0), "  16  12  10");
    const auto log = read_lines(dir + "/RESIDUALS");
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].rfind(" Mon: U m/s|", 0), 0u);
    EXPECT_EQ(log[1].substr(0, 5), "    1");
    EXPECT_EQ(log[2].substr(0, 5), "   11");
    EXPECT_EQ(log[3].substr(0, 5), "   20");
    std::filesystem::remove_all(dir);
}

// Two programs run in one folder. The first one's run holds its residuals
// log; a run of the second says so on the console and in the status bar
// before its first iteration, runs to its end and leaves the log alone. The
// first run's log is whole afterwards; once that program has ended, runs of
// the second write the log as ever.
class TwoProgramsTest : public testing::ProgramTest {};

TEST_F(TwoProgramsTest, ARunLeavesTheLogOfAnotherRunningProgramAlone) {
    const std::string header = std::string(RESID_HEADER2) + std::string(132 - RESID_HEADER2.size(), ' ');
    const auto iters_of = [&header](const std::vector<std::string>& log) {
        std::vector<std::string> iters;
        for (const auto& l : log) iters.push_back(l == header ? std::string("head") : l.substr(0, 5));
        return iters;
    };

    int in[2], out[2];
    ASSERT_EQ(::pipe(in), 0);
    ASSERT_EQ(::pipe(out), 0);
    std::vector<std::string> args = {"frontend_tests", "--tarvex-program-pausing", "-d", dir_, "-i", "case.txt",
                                     "-c", "control.txt", "-n", "6", "-p", "1", "-g"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::close(in[1]);
        ::close(out[0]);
        ::execv("/proc/self/exe", argv.data());
        ::_exit(127);
    }
    ASSERT_GT(pid, 0);
    ::close(in[0]);
    ::close(out[1]);
    std::string child_out;
    const auto read_child = [&](const char* until) {
        char buf[4096];
        ssize_t n;
        while ((until == nullptr || child_out.find(until) == std::string::npos) &&
               (n = ::read(out[0], buf, sizeof buf)) > 0)
            child_out.append(buf, static_cast<std::size_t>(n));
    };
    read_child("paused\n");
    ASSERT_NE(child_out.find("paused\n"), std::string::npos) << child_out;
    const auto held = read_lines(RESIDUALS_LOG);
    // (The pause comes before the second iteration's record.)
    ASSERT_EQ(iters_of(held), (std::vector<std::string>{"head", "    1"}));

    // This program's run, from new fields (which would start the log anew).
    std::string status_during_run;
    set_plot_viewer_refresh([&] {
        if (status_during_run.empty()) status_during_run = platform::status_text();
    });
    EXPECT_EQ(run(0, 3, 3).ending, RunEnding::Finished);
    EXPECT_TRUE(console_has(free_line(RESIDUALS_IN_USE))) << console_text();
    EXPECT_EQ(status_during_run, status::RUNNING_WITHOUT_LOG);
    EXPECT_EQ(read_lines(RESIDUALS_LOG), held);

    // The first program goes on to its end, its log whole.
    ::close(in[1]);
    read_child(nullptr);
    ::close(out[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << child_out;
    EXPECT_TRUE(has_line(child_out, "ending=" + std::to_string(static_cast<int>(RunEnding::Finished)) + " reaped=1"))
        << child_out;
    EXPECT_EQ(child_out.find("in use"), std::string::npos) << child_out;
    EXPECT_EQ(iters_of(read_lines(RESIDUALS_LOG)),
              (std::vector<std::string>{"head", "    1", "    2", "    3", "    4", "    5", "    6"}));

    // Alone in the folder, a run writes the log as ever.
    EXPECT_EQ(run(0, 2, 2).ending, RunEnding::Finished);
    EXPECT_FALSE(console_has(free_line(RESIDUALS_IN_USE))) << console_text();
    EXPECT_EQ(iters_of(read_lines(RESIDUALS_LOG)), (std::vector<std::string>{"head", "    1", "    2"}));
}

// A program that ends on an error says so in its exit status: a command-line
// error ends it after the "Problem in initialisation" box with status 1.
TEST(Program, CommandLineErrorEndsWithANonZeroExitStatus) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-n", "0"}, {"-x"}, {"-d", "/no/such/folder"}}) {
        SCOPED_TRACE(args[0]);
        int status = 0;
        const std::string out = run_program(args, status, "--tarvex-program-boxes");
        ASSERT_TRUE(WIFEXITED(status)) << out;
        EXPECT_EQ(WEXITSTATUS(status), 1) << out;
        EXPECT_TRUE(has_line(out, "box=Error|Problem in initialisation\r please see screen")) << out;
    }
}

// The main routine in this process, on a program thread of its own.
class MainRoutineTest : public platform::testing::FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        char pattern[] = "/tmp/tarvex_main_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        old_dir_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        if (program_) {
            while (platform::thread_still_active(program_)) pump();
            platform::join_thread(program_);
        }
        set_channel_sink(CH_ITER, nullptr);
        set_run_end_menus({});
        set_command_line(1, std::vector<const char*>{"tarvex"}.data());
        std::filesystem::current_path(old_dir_);
        std::filesystem::remove_all(dir_);
        FrameTest::TearDown();
    }
    void start(std::vector<const char*> args) {
        args.insert(args.begin(), "tarvex");
        set_command_line(static_cast<int>(args.size()), args.data());
        program_ = platform::create_thread([] {
            TARVEX4();
            return 0;
        });
    }
    platform::ThreadHandle program_ = 0;
    std::string dir_;
    std::filesystem::path old_dir_;
};

TEST_F(MainRoutineTest, StartUpSetsTitleAboutTextAndMenus) {
    // The viewer state as a process starts: all zero (whatever ran before here).
    plotopt = PLOTOPT{};
    viewctl = VIEWCTL{};
    viewwin = VIEWWIN{};
    viewdlg.VIEWDOMOPEN = viewdlg.VIEWGRIDOPEN = true;
    start({});
    while (platform::menu_count() != 4 || platform::status_text() != "idle") pump();
    // The viewers' defaults, as the program really starts.
    testing::expect_view_defaults();
    EXPECT_FALSE(viewdlg.VIEWDOMOPEN);
    EXPECT_FALSE(viewdlg.VIEWGRIDOPEN);
    // The colour table is filled: scheme 4 runs from blue to red on black.
    EXPECT_EQ(plotopt.COLTAB[4][1], 0xFF0000u);
    EXPECT_EQ(plotopt.COLTAB[4][16], 0x0000FFu);
    EXPECT_EQ(plotopt.COLTAB[4][colour_entry::TEXT], 0xFFFFFFu);
    EXPECT_EQ(plotopt.COLTAB[7][1], 0xE4E4E4u);
    EXPECT_EQ(platform::window_text(platform::window_handle(platform::FRAME_CHANNEL)), "Tarvex V1.4 b ");
    const std::string about = platform::about_text();
    EXPECT_EQ(about.substr(0, about.find('\r')), "Tarvex V1.4 b   engine: V1.4 h");
    EXPECT_EQ(std::string(framewin.VERTEXT, 14), "Tarvex V1.4 b ");
    EXPECT_EQ(framewin.VERTEXT[14], '\0');
    EXPECT_FALSE(runstate.GEOMOK);
    EXPECT_FALSE(runstate.CTRLOK);
    EXPECT_EQ(platform::end_behaviour(), platform::EndBehaviour::Close);
    EXPECT_FALSE(runflags.GOFLAG);

    platform::set_message_box_responder([](const platform::MessageBox&) { return platform::Answer::Ok; });
    USEREXIT();
    while (platform::thread_still_active(program_)) pump();   // the idle loop returns
    testing::forget_program_end();
}

TEST_F(MainRoutineTest, CommandLineErrorEndsInTheInitialisationBox) {
    std::vector<std::string> console_at_box;
    std::vector<platform::MessageBox> boxes;
    platform::set_message_box_responder([&](const platform::MessageBox& box) {
        boxes.push_back(box);
        console_at_box = platform::Window(CH_CONSOLE).text_lines();
        return platform::Answer::Ok;
    });
    start({"-n", "0"});
    while (platform::thread_still_active(program_)) pump();   // returns by itself
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].text, "Problem in initialisation\r please see screen");
    EXPECT_EQ(boxes[0].icon, platform::Icon::Error);
    std::vector<std::string> shown;
    for (const auto& l : console_at_box)
        if (!l.empty()) shown.push_back(l);
    EXPECT_EQ(shown, (std::vector<std::string>{"  invalid iteration number", "  error in initialising programme"}));
    // The menus were never built: the layer still asks before it closes.
    EXPECT_EQ(platform::end_behaviour(), platform::EndBehaviour::Ask);
}

TEST(AboutText, VersionTextsThenFurtherLines) {
    const std::string text = about_text(" engine: V1.4 h");
    EXPECT_EQ(text.rfind("Tarvex V1.4 b   engine: V1.4 h\r", 0), 0u);
    EXPECT_EQ(text.find('\\'), std::string::npos);
    EXPECT_NE(text.back(), ' ');
    EXPECT_LE(text.size(), 132u);
}

}  // namespace
}  // namespace tarvex
