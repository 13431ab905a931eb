#include "frontend/winwrapper.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "common/channels.h"
#include "common/names.h"
#include "common/textfmt.h"
#include "engine/data.h"
#include "engine/engine.h"
#include "frontend/calc/viewstate.h"
#include "frontend/runstate.h"
#include "frontend/viewdlg.h"
#include "frontend/winmain.h"
#include "frontend/winmenu.h"
#include "frontend/winscreenio.h"
#include "platform/app.h"
#include "platform/gui_thread.h"
#include "platform/threads.h"
#include "platform/window.h"

namespace tarvex {

namespace {

std::mutex g_args_mutex;
std::vector<std::string> g_args = {"tarvex"};

constexpr int ABOUT_LENGTH = 132;
constexpr int POLL_MS = 500;
constexpr int SLICE_MS = 50;   // how soon the idle loop notices the program's end

// Sleeps up to ms, returning early once the program ends.
void sleep_unless_ending(int ms) {
    for (int slept = 0; slept < ms && !platform::program_ending(); slept += SLICE_MS)
        platform::sleep_ms(std::min(SLICE_MS, ms - slept));
}

}  // namespace

std::string about_text(std::string_view engine_version) {
    std::string text(VERSION_TEXT.substr(0, 15));
    std::string engine(engine_version.substr(0, 15));
    engine.resize(15, ' ');
    text += engine;
    text += "\\Air movement, temperature, contaminant and water vapour"
            "\\in the spaces of buildings";
    text.resize(ABOUT_LENGTH, ' ');
    text.resize(trim_right(text).size());
    std::replace(text.begin(), text.end(), '\\', '\r');
    return text;
}

void set_command_line(int argc, const char* const* argv) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
    if (args.empty()) args.emplace_back("tarvex");
    std::lock_guard<std::mutex> lock(g_args_mutex);
    g_args = std::move(args);
}

bool INITIALSETTINGS() {
    runstate.IDGUI = platform::current_thread_id();
    return true;
}

void VER_INIT() {
    viewdlg.VIEWDOMOPEN = false;
    viewdlg.VIEWGRIDOPEN = false;
    viewdlg.VIEWDOMBUSY = false;
    viewdlg.VIEWGRIDBUSY = false;
    set_view_defaults();
}

int AIRSTAGE0() {
    std::vector<std::string> args;
    {
        std::lock_guard<std::mutex> lock(g_args_mutex);
        args = g_args;
    }
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    if (PROG_INIT(static_cast<int>(args.size()), argv.data()) != 0) {
        write_line(CH_CONSOLE, free_line(" error in initialising programme"));
        return -1;
    }
    VER_INIT();
    return 0;
}

void reap_worker() {
    const platform::ThreadHandle handle = runstate.HWORKER.load();
    if (handle == 0) return;
    int code = 0;
    if (!platform::thread_exit_code(handle, code) || code == platform::STILL_ACTIVE) return;
    // Run may have taken the handle meanwhile (it releases an ended thread
    // itself before it starts the next): only one of the two releases it.
    platform::ThreadHandle expected = handle;
    if (runstate.HWORKER.compare_exchange_strong(expected, 0)) platform::close_thread_handle(handle);
}

void TARVEX4() {
    std::memcpy(framewin.VERTEXT, VERSION_TEXT.data(), sizeof framewin.VERTEXT);
    platform::set_about_text(about_text(EVERSION()));
    framewin.VERTEXT[14] = '\0';
    framewin.HFRAME = platform::window_handle(platform::FRAME_CHANNEL);
    platform::set_window_text(framewin.HFRAME, std::string_view(framewin.VERTEXT, 14));

    runstate.HWORKER = 0;
    runstate.GEOMOK = false;
    runstate.CTRLOK = false;

    SETUPSCREEN();
    const bool stage0 = AIRSTAGE0() == 0;
    // Read before the menus exist: from then on the GUI thread owns the run data.
    const bool start_at_once = stage0 && runflags.GOFLAG;
    if (!stage0 || SETUPMENUS() != 0) {
        // The program ends on an error: its exit status says so.
        platform::set_exit_status(1);
        platform::MessageBox box;
        box.text = "Problem in initialisation\r please see screen";
        box.caption = "Error";
        box.icon = platform::Icon::Error;
        platform::message_box(box);
        // Returning stops the program as the window layer's end behaviour
        // says; before the menus exist it asks first, so the console's
        // messages can still be read.
        return;
    }

    if (start_at_once) {
        // Every run starts on the GUI thread, like the menu's Run.
        platform::post([] { STARTWORKPROC(); });
        sleep_unless_ending(1500);
    }

    while (!platform::program_ending()) {
        sleep_unless_ending(POLL_MS);
        reap_worker();
    }

    // The program ends. Exit is refused while a run is going, so a thread
    // held here has ended or is about to; one that still runs is asked to
    // stop after its iteration and waited for, so that its saves and the
    // log are complete.
    if (runstate.IRUNNING.load() != 0) runstate.ISTOPRUN = 1;
    if (const platform::ThreadHandle handle = runstate.HWORKER.exchange(0)) platform::join_thread(handle);
}

int run_tarvex(int argc, char** argv) {
    set_command_line(argc, argv);
    platform::AppHooks hooks;
    hooks.initial_settings = INITIALSETTINGS;
    hooks.main_routine = TARVEX4;
    return platform::run_application(argc, argv, hooks);
}

}  // namespace tarvex
