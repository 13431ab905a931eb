// The start-up of a real program: run_application makes its own application
// object, so the test runs this program again in a child process in the
// start-up mode below and reads what it printed.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/app.h"
#include "platform/gui_thread.h"
#include "platform/menu.h"
#include "platform/threads.h"
#include "platform/window.h"

namespace tarvex::platform {

// The child's program: the initial settings run on the GUI thread before the
// frame exists, the main routine on another thread, which ends the program
// and returns once the program ends.
int app_start_probe(int argc, char** argv) {
    std::atomic<std::uint64_t> gui_id{0};
    AppHooks hooks;
    hooks.initial_settings = [&] {
        gui_id = current_thread_id();
        std::printf("settings gui=%d frame=%d\n", is_gui_thread() ? 1 : 0, frame_exists() ? 1 : 0);
        return true;
    };
    hooks.main_routine = [&] {
        std::printf("main gui=%d other-thread=%d\n", is_gui_thread() ? 1 : 0,
                    current_thread_id() != gui_id.load() ? 1 : 0);
        std::printf("status=%s menus=%d\n", status_text().c_str(), menu_count());
        open_window(6, WindowKind::Text, "console");
        Window(6).write_line("hello");
        std::printf("console=%s\n", Window(6).text_lines()[0].c_str());
        set_end_behaviour(EndBehaviour::Close);
        stop_program();
        while (!program_ending()) sleep_ms(10);
        std::printf("main returns\n");
        std::fflush(stdout);
    };
    const int code = run_application(argc, argv, hooks);
    std::printf("exit=%d\n", code);
    return code;
}

namespace {

TEST(AppStart, MainRoutineRunsOnTheProgramThreadAndTheProgramEndsCleanly) {
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        execl("/proc/self/exe", "platform_tests", "--tarvex-app-start-probe", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buf[512];
    ssize_t n;
    while ((n = read(out[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<std::size_t>(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(text,
              "settings gui=1 frame=0\n"
              "main gui=0 other-thread=1\n"
              "status=Running menus=6\n"
              "console=hello\n"
              "main returns\n"
              "exit=0\n");
}

}  // namespace
}  // namespace tarvex::platform
