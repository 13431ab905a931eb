// The domain viewer: one plane of the loaded case in the window "Domain
// view" (channel 99), steered by the modeless dialog "Data Plot" (template
// 102): the grid, the blockage with its boundary marks, a field in colour
// bands or the velocity vectors; the plane of a field's maximum or minimum;
// zoom and pan; the Plot Options (frontend/dlg_plotoptions.h); pictures of
// the window. The window, the redraw and the
// control handling it shares with the residuals viewer are in
// frontend/dlg_plotwindow.h.
//
// Everything here runs on the GUI thread except UPDATEVIEWDOMAIN, the
// run-time refresh on the calculation thread.
#pragma once

#include <cstdint>

#include "common/names.h"
#include "frontend/dlg_plotwindow.h"
#include "platform/dialog.h"

namespace tarvex {

inline constexpr int IDD_VIEWDOMAIN = 102;

// The menu routine of View "D&omain data F9" and of F9: opens the viewer once
// a case is loaded; brings an open plot viewer to the front instead.
void VIEWDOMAINPROC(bool checked = false);

// The callback of every control of the dialog but Save Image.
void VIEWDOMAIN_CALLBACK(platform::Dialog& dialog, int control_id, platform::CallbackKind kind);

// Save Image, in both plot viewers: the next picture name is proposed in the
// picture dialog; on OK window 99 is saved as a bitmap under the chosen name.
// A file that cannot be written is reported in a message box naming it.
void SNAPPIC_CALLBACK(platform::Dialog& dialog, int control_id, platform::CallbackKind kind);

// The run-time refresh, on the calculation thread after an iteration.
void UPDATEVIEWDOMAIN();

// Closes channel 99 and focuses the console.
void KILL_VIEWDOMAIN();

// The window part (frontend/dlg_plotwindow.h) for this viewer.
void MAKE_VIEWDOMAIN();
void QUERY_VIEWDOMAIN();
void UPDATE_VIEWDOMAIN(platform::Dialog& dialog);

// The viewer's description: template, plot choices, flags, callbacks.
const PlotViewer& domain_viewer();

// The number of the last picture proposed (never reset), and the picture
// file name. GUI thread.
extern int32_t NPIC;
extern PaddedName PICNAME;

}  // namespace tarvex
