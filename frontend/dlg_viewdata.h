// The Data Viewer: every value the system holds about one cell, chosen by
// its I, J and K indices (template 101, modal, on the GUI thread).
#pragma once

#include "platform/dialog.h"

namespace tarvex {

// View > Data. Opens the viewer on cell (1, 1, 1) and runs it until OK;
// nothing happens while no case is loaded (GEOMOK) or a run is going, or
// when the dialog cannot be built. The flag is the item's check mark, unused.
void VIEWDATAPROC(bool checked = false);

// Change callback of the three index fields: reads all three (free form,
// the first number of each) and shows that cell when it lies in the grid.
// A field without a readable number, or a cell outside the grid, changes
// nothing.
void VIEWDATA_CALLBACK(platform::Dialog& dialog, int control, platform::CallbackKind kind);

// Writes the values of cell (i, j, k) into the dialog's value fields;
// nothing for a cell outside the grid. The fields are read through
// frontend/fieldaccess.h: while a run holds them, at its next pause.
void UPDATE_VIEWDATA(platform::Dialog& dialog, int i, int j, int k);

}  // namespace tarvex
