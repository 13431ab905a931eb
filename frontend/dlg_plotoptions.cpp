#include "frontend/dlg_plotoptions.h"

#include <string>

#include "frontend/calc/plotoptions.h"
#include "frontend/calc/viewstate.h"

namespace tarvex {

PLOTOPTDLG& plotoptdlg = *new PLOTOPTDLG;

namespace {

using platform::Attr;
using platform::CallbackKind;
using platform::Dialog;

constexpr int IDD_PLOTOPTIONS = 109;

constexpr int IDC_FLIP = 1060;
constexpr int IDC_SCHEME = 1016;
constexpr int IDC_SCHEME_SPIN = 1017;
constexpr int IDC_SCREEN = 1069;
constexpr int IDC_PAPER = 1070;
constexpr int IDC_MANUAL = 1048;
constexpr int IDC_MAX_LABEL = 1051;
constexpr int IDC_MAX = 1049;
constexpr int IDC_MIN_LABEL = 1052;
constexpr int IDC_MIN = 1050;
constexpr int IDC_VSCALE_LABEL = 1055;
constexpr int IDC_VSCALE_X = 1056;
constexpr int IDC_VSCALE = 1024;
constexpr int IDC_GRID = 1071;
constexpr int IDC_BLOCKAGE = 1072;

// Room for whatever the scheme field holds: an entry is read whole.
constexpr int ENTRY_TEXT = 256;

constexpr int OPTION_CONTROLS[] = {IDC_MANUAL, IDC_MAX,   IDC_MIN,  IDC_FLIP,    IDC_SCHEME,
                                   IDC_PAPER,  IDC_SCREEN, IDC_GRID, IDC_BLOCKAGE};

void set_enabled(Dialog& dlg, int id, bool on) { dlg.set_logical(id, Attr::enabled, on); }

// "Max", "Min" and their fields follow the "Manual" box.
void enable_limits(Dialog& dlg, bool on) {
    for (int id : {IDC_MAX_LABEL, IDC_MIN_LABEL, IDC_MAX, IDC_MIN}) set_enabled(dlg, id, on);
}

void enable_vector_scale(Dialog& dlg, bool on) {
    for (int id : {IDC_VSCALE, IDC_VSCALE_LABEL, IDC_VSCALE_X}) set_enabled(dlg, id, on);
}

bool checked(const Dialog& dlg, int id) {
    bool on = false;
    dlg.get_logical(id, Attr::state, on);
    return on;
}

std::string field_text(const Dialog& dlg, int id, int length) {
    std::string text;
    dlg.get_text(id, text, length);
    return text;
}

void fill(Dialog& dlg, OptionsOf viewer) {
    enable_vector_scale(dlg, false);
    for (int id : {IDC_PAPER, IDC_SCREEN, IDC_GRID, IDC_BLOCKAGE}) set_enabled(dlg, id, true);

    dlg.set_logical(IDC_FLIP, Attr::state, viewctl.FLIP);

    set_enabled(dlg, IDC_SCHEME, true);
    dlg.set_int(IDC_SCHEME_SPIN, Attr::range_min, SCHEME_MIN);
    dlg.set_int(IDC_SCHEME_SPIN, Attr::range_max, SCHEME_MAX);
    dlg.set_text(IDC_SCHEME, scheme_text(plotopt.ISCHEME));
    dlg.set_int(IDC_SCHEME_SPIN, Attr::position, plotopt.ISCHEME);

    plotopt.VSCALE = opening_vector_scale(plotopt.VSCALE);
    dlg.set_text(IDC_VSCALE, vector_scale_text(plotopt.VSCALE));

    // One of the two colour radios is always checked.
    dlg.set_logical(plotopt.PAPER ? IDC_PAPER : IDC_SCREEN, Attr::state, true);
    dlg.set_logical(IDC_GRID, Attr::state, plotopt.SHOWGRID);
    dlg.set_logical(IDC_BLOCKAGE, Attr::state, plotopt.SHOWCPR);

    for (int id : OPTION_CONTROLS) dlg.set_callback(id, OPTIONS_CALLBACK);

    const OptionsEnabling e = options_enabling(viewer, viewctl);
    set_enabled(dlg, IDC_MANUAL, e.manual_box);
    if (e.vector_scale) enable_vector_scale(dlg, true);

    // The limits already in force stay editable on a plot whose "Manual"
    // box cannot be changed.
    dlg.set_logical(IDC_MANUAL, Attr::state, viewctl.MANUAL);
    enable_limits(dlg, viewctl.MANUAL);

    dlg.set_text(IDC_MIN, limit_text(plotopt.CSMIN));
    dlg.set_text(IDC_MAX, limit_text(plotopt.CSMAX));
}

// The dialog of either viewer: one opening, one run, one reading back.
void run_plot_options(Dialog& dlg, OptionsOf viewer) {
    // A record in use belongs to a dialog that is still showing.
    if (dlg.initialised()) return;
    if (!dlg.init(IDD_PLOTOPTIONS)) return;
    fill(dlg, viewer);

    // OK and Cancel end the dialog alike.
    dlg.run_modal();

    const std::string min_text = field_text(dlg, IDC_MIN, OPTION_FIELD_TEXT);
    const std::string max_text = field_text(dlg, IDC_MAX, OPTION_FIELD_TEXT);
    const std::string vscale_text = field_text(dlg, IDC_VSCALE, OPTION_FIELD_TEXT);
    read_back_options(viewer, viewctl.MANUAL, {min_text, max_text, vscale_text}, plotopt);

    if (viewer == OptionsOf::residuals) KILL_OPTIONS();
    dlg.release();
}

}  // namespace

void VIEWOPTIONSPROC(bool /*flag*/) { run_plot_options(plotoptdlg.DLGOPT, OptionsOf::domain); }

void VIEWROPTIONSPROC(bool /*flag*/) { run_plot_options(plotoptdlg.DLGROPT, OptionsOf::residuals); }

void OPTIONS_CALLBACK(Dialog& dlg, int id, CallbackKind kind) {
    if (kind != CallbackKind::changed) return;
    switch (id) {
        case IDC_SCHEME: {
            int32_t value = 0;
            switch (read_scheme_entry(field_text(dlg, IDC_SCHEME, ENTRY_TEXT), value)) {
                case SchemeEntry::ignore: break;
                case SchemeEntry::accept: plotopt.ISCHEME = value; break;
                case SchemeEntry::restore: dlg.set_text(IDC_SCHEME, scheme_restore_text(plotopt.ISCHEME)); break;
            }
            break;
        }
        case IDC_MANUAL:
            viewctl.MANUAL = checked(dlg, IDC_MANUAL);
            enable_limits(dlg, viewctl.MANUAL);
            break;
        // The boxes are set from the state at the opening, so their checked
        // state is the state toggled.
        case IDC_FLIP: viewctl.FLIP = checked(dlg, IDC_FLIP); break;
        case IDC_SCREEN: plotopt.PAPER = false; break;
        case IDC_PAPER: plotopt.PAPER = true; break;
        case IDC_GRID: plotopt.SHOWGRID = checked(dlg, IDC_GRID); break;
        case IDC_BLOCKAGE: plotopt.SHOWCPR = checked(dlg, IDC_BLOCKAGE); break;
        // The limits are read when the dialog ends.
        case IDC_MAX:
        case IDC_MIN:
        default: break;
    }
}

void KILL_OPTIONS() {}

}  // namespace tarvex
