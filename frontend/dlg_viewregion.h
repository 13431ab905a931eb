// The Region Viewer: the From and To corners of a box of cells, its open
// volume, and three pages (Means, Flows, Energy) with its means and
// extremes, its mass flows and its heat flows. A modal dialog on the GUI
// thread; the sums themselves are region_sums (frontend/calc/regionsums.h).
#pragma once

#include "platform/dialog.h"

namespace tarvex {

// View menu "&Region      F10" and the F10 key: opens the viewer on the whole
// grid and returns once it is closed. Does nothing unless a case is loaded
// and no run is going, or when its dialogs cannot be built. The flag is the
// menu item's check mark, unused.
void VIEWREGIONPROC(bool checked = false);

// The main dialog's shown callback: puts the three pages into the tab
// control and brings up the Means page.
void SHOWVIEWDLG(platform::Dialog& dialog, int id, platform::CallbackKind kind);

// Change callback of the six index fields: reads the first whole number of
// each; when all six can be read and lie inside the grid, orders each pair
// and shows the box. Otherwise nothing changes.
void VIEWREGION_CALLBACK(platform::Dialog& dialog, int id, platform::CallbackKind kind);

// Summarises the box i1..i2 x j1..j2 x k1..k2 (ordered, inside the grid) and
// shows it: the volume on the main dialog, the rest on the three pages. The
// fields are read through frontend/fieldaccess.h: while a run holds them, at
// its next pause.
void UPDATE_VIEWREGION(platform::Dialog& dialog, int& i1, int& j1, int& k1, int& i2, int& j2, int& k2);

}  // namespace tarvex
