// The residuals viewer: one plane of the loaded case in the window "Grid
// view" (channel 99), steered by the modeless dialog "Grid Plot" (template
// 105): the grid, the blockage, or one of the per-cell residual fields the
// solver left after its last outer iteration (momentum, mass, energy,
// contaminant) in colour bands; the plane of a residual's maximum or minimum;
// zoom and pan; its own Plot Options; pictures of the window.
//
// It is the domain viewer's window, redraw, control handling, pictures and
// thread rules (frontend/dlg_plotwindow.h) with another set of plots: the
// two viewers share one dialog record, one window and the plane, index,
// zoom, pan, scale and option state, so at most one of them is open and what
// is set in one is in force in the other.
//
// Everything here runs on the GUI thread except UPDATEVIEWRESID, the
// run-time refresh on the calculation thread.
#pragma once

#include "frontend/dlg_plotwindow.h"
#include "platform/dialog.h"

namespace tarvex {

inline constexpr int IDD_VIEWGRID = 105;

// The menu routine of View "Re&siduals": opens the viewer once a case is
// loaded; brings an open plot viewer to the front instead.
void VIEWGRIDPROC(bool checked = false);

// The callback of every control of the dialog but Save Image (which is
// SNAPPIC_CALLBACK, frontend/dlg_viewdomain.h).
void VIEWGRID_CALLBACK(platform::Dialog& dialog, int control_id, platform::CallbackKind kind);

// The run-time refresh, on the calculation thread after an iteration.
void UPDATEVIEWRESID();

// Closes channel 99 and focuses the console.
void KILL_VIEWGRID();

// The window part (frontend/dlg_plotwindow.h) for this viewer.
void MAKE_VIEWGRID();
void QUERY_VIEWGRID();
void UPDATE_VIEWGRID(platform::Dialog& dialog);

// The viewer's description: template, plot choices, flags, callbacks.
const PlotViewer& grid_viewer();

}  // namespace tarvex
