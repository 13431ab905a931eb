#include "frontend/winmenu.h"

#include <cmath>
#include <mutex>
#include <string>
#include <utility>

#include "common/channels.h"
#include "common/names.h"
#include "common/textfmt.h"
#include "engine/data.h"
#include "engine/engine.h"
#include "frontend/dlg_plotwindow.h"
#include "frontend/dlg_viewdata.h"
#include "frontend/dlg_viewdomain.h"
#include "frontend/dlg_viewgrid.h"
#include "frontend/dlg_viewregion.h"
#include "frontend/runstate.h"
#include "frontend/winfile.h"
#include "frontend/winmain.h"
#include "frontend/winscreenio.h"
#include "frontend/winwrapper.h"
#include "platform/app.h"
#include "platform/hooks.h"
#include "platform/menu.h"
#include "platform/window.h"

namespace tarvex {

namespace {

using namespace menu_pos;
using platform::MENU_ENABLED;
using platform::MENU_GRAYED;
using platform::MENU_SEPARATOR;

std::mutex g_view_mutex;
std::vector<ViewItem> g_view_items = standard_view_items();

std::vector<ViewItem> view_items() {
    std::lock_guard<std::mutex> lock(g_view_mutex);
    return g_view_items;
}

void console(std::string_view text) { write_line(CH_CONSOLE, free_line(text)); }

void file_item(int item, unsigned flags) { platform::modify_menu_flags(FILE_MENU, item, flags); }
void view_menu(unsigned flags) { platform::modify_menu_flags(VIEW_MENU, 0, flags); }

bool running() { return runstate.IRUNNING.load() != 0; }

// Removes the layer's default menus but its window and help menus, and the
// default items of its File menu.
void remove_default_menus() {
    for (int menu = platform::menu_count(); menu >= 1; --menu) {
        platform::MenuItemInfo info;
        if (!platform::menu_item_info(menu, 0, info)) continue;
        if (info.text == "&File" || info.text == "&Window" || info.text == "&Help") continue;
        platform::delete_menu_item(menu, 0);
    }
    for (int item = platform::menu_item_count(FILE_MENU); item >= 1; --item)
        platform::delete_menu_item(FILE_MENU, item);
}

void append_file_item(const char* text, void (*routine)(bool)) {
    if (routine)
        platform::append_menu_item(FILE_MENU, MENU_ENABLED, text, [routine](bool checked) { routine(checked); });
    else
        platform::append_menu_item(FILE_MENU, MENU_SEPARATOR, "", {});
}

// A viewer's key: only while no run is going, and only with a case loaded
// (like the View menu, which is grayed until then).
void open_view_item(int key) {
    if (running() || !runstate.GEOMOK) return;
    for (const ViewItem& item : view_items())
        if (item.function_key == key && item.routine) item.routine();
}

}  // namespace

// The View menu's items in their order (Data, Region, Residuals, Domain);
// each viewer module has its line here.
std::vector<ViewItem> standard_view_items() {
    return {
        {"&Data", [] { VIEWDATAPROC(); }, 0},
        {"&Region      F10", [] { VIEWREGIONPROC(); }, 10},
        {"Re&siduals", [] { VIEWGRIDPROC(); }, 0},
        {"D&omain data F9", [] { VIEWDOMAINPROC(); }, 9},
    };
}

void set_view_items(std::vector<ViewItem> items) {
    std::lock_guard<std::mutex> lock(g_view_mutex);
    g_view_items = std::move(items);
}

// ---- menu states ---------------------------------------------------------------

void menus_case_loaded() {
    view_menu(MENU_ENABLED);
    file_item(LOAD_SAVED, MENU_ENABLED);
}

void menus_no_case() {
    view_menu(MENU_GRAYED);
    file_item(LOAD_SAVED, MENU_GRAYED);
}

void menus_run_start() {
    file_item(LOAD_GEOMETRY, MENU_GRAYED);
    file_item(LOAD_CONTROL, MENU_GRAYED);
    file_item(LOAD_SAVED, MENU_GRAYED);
    file_item(SELECT_OUTPUT, MENU_GRAYED);
    file_item(RUN, MENU_GRAYED);
    file_item(INTERRUPT, MENU_ENABLED);
    file_item(EXIT, MENU_GRAYED);
    view_menu(MENU_GRAYED);
}

void menus_interrupt_asked() { file_item(INTERRUPT, MENU_GRAYED); }

void menus_run_end() {
    file_item(INTERRUPT, MENU_GRAYED);
    for (int item : {LOAD_GEOMETRY, LOAD_CONTROL, SELECT_OUTPUT, RUN, EXIT}) file_item(item, MENU_ENABLED);
    if (runstate.GEOMOK)
        menus_case_loaded();
    else
        menus_no_case();
}

void set_plain_title() {
    platform::set_window_text(platform::window_handle(platform::FRAME_CHANNEL), VERSION_TEXT.substr(0, 14));
}

void set_case_title(std::string_view case_name) {
    // Room for 132 characters with the ending NUL.
    std::string title(trim_right(VERSION_TEXT.substr(0, 14)));
    title += "  : [ ";
    title += trim_right(case_name);
    title += " ]";
    if (title.size() > 131) title.resize(131);
    platform::set_window_text(platform::window_handle(platform::FRAME_CHANNEL), title);
}

// ---- set-up --------------------------------------------------------------------

int SETUPMENUS() {
    remove_default_menus();

    append_file_item("Load &Geometry   F5", OPENDATAPROC);
    append_file_item("Load &Control    F6", OPENCTRLPROC);
    append_file_item("Load &Saved data F4", OPENPREVPROC);
    append_file_item("", nullptr);
    append_file_item("&Select Output   F3", OPENSAVEPROC);
    append_file_item("", nullptr);
    append_file_item("&Run       F12", STARTWORKPROC);
    append_file_item("&Interrupt F11", STOPWORKPROC);
    append_file_item("", nullptr);
    append_file_item("E&xit", USEREXIT);

    // Every close command (the frame's and the child windows' close boxes,
    // their system menus, Alt+F4) is refused: Exit is the only way out.
    const platform::HookHandle close_hook = platform::set_close_filter([] { return true; });
    runstate.HCBTHOOK = close_hook;
    if (close_hook == 0) {
        console("ERROR: could not set hook");
        return -1;
    }
    platform::set_end_behaviour(platform::EndBehaviour::Close);

    platform::insert_menu_item(VIEW_MENU, 0, MENU_ENABLED, "&View", {});
    int position = 1;
    for (const ViewItem& item : view_items()) {
        std::function<void()> routine = item.routine;
        platform::insert_menu_item(VIEW_MENU, position++, MENU_ENABLED, item.text,
                                   [routine](bool) { if (routine) routine(); });
    }

    const platform::HookHandle key_hook = platform::set_function_key_filter(function_key_released);
    runstate.HKBDHOOK = key_hook;
    if (key_hook == 0) {
        console("ERROR: could not set keyboard hook");
        return -1;
    }

    set_run_end_menus(menus_run_end);
    SETSTATBAR(status::IDLE);
    file_item(INTERRUPT, MENU_GRAYED);
    file_item(LOAD_SAVED, MENU_GRAYED);
    view_menu(MENU_GRAYED);
    return 0;
}

// ---- function keys -------------------------------------------------------------

bool function_key_released(int key) {
    if (key < 1 || key > 12) return false;
    // Interrupt only asks the run to stop: it works whenever a run is going,
    // also while a modal window (Plot Options, a file dialog, a message box)
    // keeps the menu out of reach.
    if (key == 11 && running()) {
        STOPWORKPROC();
        return true;
    }
    // A file dialog, message box or modal dialog is open: its keys are its own.
    if (platform::modal_window_open()) return false;
    switch (key) {
        case 3: OPENSAVEPROC(); break;
        case 4: OPENPREVPROC(); break;
        case 5: OPENDATAPROC(); break;
        case 6: OPENCTRLPROC(); break;
        case 9:
        case 10: open_view_item(key); break;
        case 11: STOPWORKPROC(); break;
        case 12: STARTWORKPROC(); break;
        default: break;   // F1, F2, F7, F8: nothing
    }
    return true;
}

// ---- File menu routines --------------------------------------------------------

void OPENDATAPROC(bool) {
    if (running()) return;
    PaddedName chosen;
    if (FILEOPENDLG(chosen) != 0) return;
    // A run started at once may have begun while the dialog was open.
    if (running()) return;
    filenames.INFILE = chosen;
    SETSTATBAR(status::READING_INPUT);
    if (AIRSTAGE1() != 0) {
        // What the failed read left in memory is no case: Run reads the file
        // again, and nothing that needs a case is offered meanwhile.
        runstate.GEOMOK = false;
        menus_no_case();
        plot_viewer_case_changed(false);
        SETSTATBAR(status::INPUT_ERROR);
        set_plain_title();
        return;
    }
    SETSTATBAR(status::INPUT_OK);
    runstate.GEOMOK = true;
    // The case reset the turbulence model: the control file is read again
    // before the next run, with the viscosity of this case.
    runstate.CTRLOK = false;
    menus_case_loaded();
    plot_viewer_case_changed(true);
    set_case_title(chosen.trimmed());
}

void OPENCTRLPROC(bool) {
    if (running()) return;
    PaddedName chosen;
    if (FILEOPENDLG(chosen) != 0) return;
    if (running()) return;
    filenames.CTLFILE = chosen;
    SETSTATBAR(status::READING_CONTROL);
    if (AIRSTAGE2() != 0) {
        // Half-read control values: Run reads the file again.
        runstate.CTRLOK = false;
        SETSTATBAR(status::CONTROL_ERROR);
        return;
    }
    SETSTATBAR(status::CONTROL_OK);
    runstate.CTRLOK = true;
}

void OPENPREVPROC(bool) {
    if (running() || !runstate.GEOMOK) return;
    PaddedName chosen;
    if (FILEOPENDLG(chosen) != 0) return;
    if (running() || !runstate.GEOMOK) return;
    CURSORWAIT(true);
    const int status = INDSK(chosen);
    CURSORWAIT(false);
    // An open plot viewer shows what is in memory now, read whole or not.
    plot_viewer_fields_changed();
    // The engine has written what went wrong; a failed read changes nothing
    // the next run starts from.
    if (status < 0) return;
    runctl.NEWDIST = true;
    runflags.NEWFIELDS = false;
    runctl.ITER = 0;
}

void OPENSAVEPROC(bool) {
    if (running()) return;
    PaddedName chosen;
    if (FILESAVEDLG(chosen) != 0) return;
    if (running()) return;
    filenames.OUTFILE = chosen;
}

void STARTWORKPROC(bool) {
    if (runstate.IRUNNING.load() != 0) return;

    if (!runstate.GEOMOK) {
        if (AIRSTAGE1() != 0) {
            menus_no_case();
            SETSTATBAR(status::INPUT_ERROR);
            return;
        }
        SETSTATBAR(status::INPUT_OK);
        runstate.GEOMOK = true;
        runstate.CTRLOK = false;   // the case reset the turbulence model
        menus_case_loaded();
    }
    if (!runstate.CTRLOK) {
        if (AIRSTAGE2() != 0) {
            SETSTATBAR(status::CONTROL_ERROR_AT_RUN);
            return;
        }
        SETSTATBAR(status::CONTROL_OK);
        runstate.CTRLOK = true;
    }
    // A time loop that would never advance.
    if (runctl.ITRANS == 1 && !(runctl.DT > 0.0 && std::isfinite(runctl.DT))) {
        write_line(CH_CONSOLE, free_line(" time step not positive: ", runctl.DT, " run not started"));
        SETSTATBAR(status::CONTROL_ERROR_AT_RUN);
        runstate.CTRLOK = false;
        return;
    }

    // The previous run's thread has ended (IRUNNING is 0) but may not have
    // been released yet: release it here, so no handle is lost.
    if (const platform::ThreadHandle previous = runstate.HWORKER.exchange(0)) platform::join_thread(previous);

    runstate.IRUNNING = 1;
    runstate.ISTOPRUN = 0;
    const platform::ThreadHandle worker = make_thread([] { return AIRCALC(); });
    if (worker == 0) {
        runstate.ISTOPRUN = 0;
        runstate.IRUNNING = 0;
        console(" could not start the calculation thread");
        SETSTATBAR(status::IDLE);
        menus_run_end();
        return;
    }
    runstate.HWORKER = worker;
    SETSTATBAR(status::RUNNING);
    menus_run_start();
    platform::resume_thread(worker);
}

void STOPWORKPROC(bool) {
    if (!running()) return;
    SETSTATBAR(status::INTERRUPTED);
    menus_interrupt_asked();
    runstate.ISTOPRUN = 1;
}

void USEREXIT(bool) {
    if (running()) return;
    platform::MessageBox box;
    box.text = "Press OK to exit Tarvex";
    box.caption = "Confirm Exit";
    box.buttons = platform::Buttons::OkCancel;
    box.default_button = 2;
    if (platform::message_box(box) != platform::Answer::Ok) return;
    // A run started at once while the box was open goes on; Exit again once it has ended.
    if (running()) return;
    if (const platform::HookHandle h = runstate.HCBTHOOK.exchange(0)) platform::remove_close_filter(h);
    platform::stop_program();
}

}  // namespace tarvex
