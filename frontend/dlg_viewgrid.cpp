#include "frontend/dlg_viewgrid.h"

#include <vector>

#include "common/channels.h"
#include "frontend/calc/viewstate.h"
#include "frontend/dlg_plotoptions.h"
#include "frontend/dlg_viewdomain.h"
#include "frontend/viewdlg.h"
#include "platform/window.h"

namespace tarvex {

namespace {

using platform::Dialog;

// The "Plot :" radios: code of IRPLOT, radio, legend title (nullptr keeps
// it), and what each enables: the index field and Find; the residuals viewer
// has no colour-by group and no "show BC" box.
const std::vector<PlotChoice>& grid_choices() {
    static const std::vector<PlotChoice> choices = {
        {0, 1015, nullptr, false, false, false, false},
        {1, 1012, nullptr, true, false, false, false},
        {12, 1013, "Pressure Pa", true, false, true, false},
        {13, 1014, "Momentum Kg-m/s", true, false, true, false},
        {14, 1019, "Energy kW", true, false, true, false},
        {15, 1020, "Conc g/s", true, false, true, false},
    };
    return choices;
}

}  // namespace

const PlotViewer& grid_viewer() {
    static const PlotViewer viewer = {
        PlotMember::grid,
        IDD_VIEWGRID,
        &viewdlg.VIEWGRIDOPEN,
        &viewdlg.VIEWGRIDBUSY,
        grid_choices(),
        false,
        false,
        VIEWGRID_CALLBACK,
        SNAPPIC_CALLBACK,
        [] { VIEWROPTIONSPROC(); },
    };
    return viewer;
}

void VIEWGRIDPROC(bool) { open_plot_viewer(grid_viewer()); }

void VIEWGRID_CALLBACK(Dialog& dialog, int control_id, platform::CallbackKind kind) {
    if (kind != platform::CallbackKind::changed) return;
    handle_plot_control(grid_viewer(), dialog, control_id);
}

void UPDATEVIEWRESID() { refresh_plot_viewer(grid_viewer()); }

void KILL_VIEWGRID() {
    platform::close_window(CH_VIEW);
    platform::Window(CH_CONSOLE).focus();
}

void MAKE_VIEWGRID() { make_plot_window(PlotMember::grid); }
void QUERY_VIEWGRID() { query_plot_window(); }
void UPDATE_VIEWGRID(Dialog& dialog) { update_plot_window(PlotMember::grid, dialog); }

}  // namespace tarvex
