// The viewers' dialog records and the flags the run driver reads.
//
// The domain viewer and the residuals viewer share one dialog record
// (DLGVIEW) and one window (channel 99), so at most one of them is open. The
// open and busy flags are atomics: the calculation thread reads the open flags
// after every iteration. The dialogs themselves are touched on the GUI thread
// only (the dialog module hands every call over to it). See THREADS.md.
#pragma once

#include <atomic>

#include "platform/dialog.h"

namespace tarvex {

struct VIEWDLG {
    platform::Dialog DLGVIEW;     // the open plot viewer: "Data Plot" or "Grid Plot"
    platform::Dialog DLGMEANS;    // the region viewer's pages
    platform::Dialog DLGFLOWS;
    platform::Dialog DLGENERGY;
    std::atomic<bool> VIEWDOMOPEN{false};    // the domain viewer is open
    std::atomic<bool> VIEWGRIDOPEN{false};   // the residuals viewer is open
    std::atomic<bool> VIEWDOMBUSY{false};    // a run-time redraw of the domain viewer is going on
    std::atomic<bool> VIEWGRIDBUSY{false};   // ... of the residuals viewer
};

// The one instance. It is never destroyed, so that no dialog is released
// after the window layer has ended.
extern VIEWDLG& viewdlg;

}  // namespace tarvex
