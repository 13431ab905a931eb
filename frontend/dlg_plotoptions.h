// The Plot Options dialog (template 109) of the two plot viewers: colour
// scheme, screen or paper colours, flipped axes, grid and blockage overlays,
// manual colour-scale limits and, for the domain viewer, the vector scale.
//
// A modal dialog on the GUI thread, opened by a viewer's Options button (and
// Escape, which presses it). The scheme, the check boxes and the radio
// buttons change the shared plot state at once, so they stay after Cancel as
// well; the manual limits and the vector scale are read back when the dialog
// ends, by either button. Nothing is redrawn here: the calling viewer
// repeats its colour-scale step and redraws once the routine returns. The
// window-free part is frontend/calc/plotoptions.h.
#pragma once

#include "platform/dialog.h"

namespace tarvex {

// The two dialog records, each initialised at an opening and released once
// the dialog has ended and been read back. Never destroyed, so that no
// dialog is released after the window layer has ended.
struct PLOTOPTDLG {
    platform::Dialog DLGOPT;    // the domain viewer's Plot Options
    platform::Dialog DLGROPT;   // the residuals viewer's
};
extern PLOTOPTDLG& plotoptdlg;

// The domain viewer's Plot Options: runs the dialog and returns when it has
// ended and been read back. The vector scale can be set for the vector and
// water-vapour plots; "Manual" can be changed for the data and vector plots.
// Returns at once, changing nothing, when the dialog cannot be built or its
// record is already in use. The flag (a button's state) is not used.
void VIEWOPTIONSPROC(bool flag = true);

// The residuals viewer's Plot Options: as VIEWOPTIONSPROC, but "Manual" can
// be changed for the four residual plots and the vector scale is never
// enabled nor read back.
void VIEWROPTIONSPROC(bool flag = true);

// The one callback of the option controls (1048, 1049, 1050, 1060, 1016,
// 1069, 1070, 1071, 1072) in both dialogs.
void OPTIONS_CALLBACK(platform::Dialog& dialog, int control_id, platform::CallbackKind kind);

// Called by the residuals viewer's Plot Options just before its record is
// released; has nothing to do.
void KILL_OPTIONS();

}  // namespace tarvex
