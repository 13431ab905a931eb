// The plot viewers' window and everything the two plot viewers (the domain
// viewer "Data Plot" and the residuals viewer "Grid Plot") share: the
// graphics window on channel 99 with its opening, measuring and redraw; the
// opening of a viewer, the handling of its controls, and its refresh after
// every iteration of a run.
//
// A viewer is described once (PlotViewer) and every routine here takes that
// description: the viewers differ only in their dialog template, their plot
// choice (IPLOT or IRPLOT) with its table of radios and legend titles, the
// controls they lack, their flags and their Plot Options.
//
// Threads (the whole picture: THREADS.md). Everything here but
// refresh_plot_viewer, PLOT_VIEWER_REFRESH and PLOT_VIEWER_CATCH_UP runs on
// the GUI thread, and so does every drawing into channel 99. The fields are
// read only as engine/data.h allows (through frontend/fieldaccess.h): a
// control handled while a run holds the field lock records its change (the
// viewer state changes at once) and leaves the redraw or the Max/Min search
// to the run's next refresh, which performs it on the GUI thread while the
// calculation thread waits between two iterations.
#pragma once

#include <atomic>
#include <vector>

#include "frontend/calc/plotwindow.h"
#include "platform/dialog.h"

namespace tarvex {

// Control ids the two plot viewers' templates share.
namespace plot_ctl {
inline constexpr int CLOSE = 1;
inline constexpr int OPTIONS = 2;
inline constexpr int PLANE_IJ = 1007;
inline constexpr int PLANE_IK = 1008;
inline constexpr int PLANE_JK = 1009;
inline constexpr int INDEX = 1010;
inline constexpr int INDEX_SPIN = 1011;
inline constexpr int INDEX_LETTER = 1045;
inline constexpr int FIND_MAX = 1046;
inline constexpr int FIND_MIN = 1047;
inline constexpr int FIND_LABEL = 1053;
inline constexpr int COLOUR_BY_LABEL = 1054;
inline constexpr int COLOUR_BY_SPEED = 1057;
inline constexpr int COLOUR_BY_TEMP = 1058;
inline constexpr int COLOUR_BY_CONC = 1059;
inline constexpr int SHOW_BC = 1073;
inline constexpr int ZOOM = 1025;
inline constexpr int ZOOM_SPIN = 1026;
inline constexpr int SAVE_IMAGE = 1063;
inline constexpr int PAN_UP = 1064;
inline constexpr int PAN_RIGHT = 1065;
inline constexpr int PAN_LEFT = 1066;
inline constexpr int PAN_DOWN = 1067;
}  // namespace plot_ctl

// One radio of a viewer's "Plot :" group, with the controls it enables.
struct PlotChoice {
    int code;             // the value of IPLOT or IRPLOT
    int control;          // its radio
    const char* title;    // legend title; nullptr: PLTITLE unchanged
    bool index;           // the index field
    bool colour_by;       // the colour-by group
    bool find;            // "Find :", Max and Min
    bool show_bc;         // "show BC"
};

struct PlotViewer {
    PlotMember member;
    int template_id;            // 102 "Data Plot", 105 "Grid Plot"
    std::atomic<bool>* open;    // VIEWDOMOPEN, VIEWGRIDOPEN
    std::atomic<bool>* busy;    // VIEWDOMBUSY, VIEWGRIDBUSY
    std::vector<PlotChoice> choices;
    bool colour_by;             // has the colour-by group (vectors)
    bool show_bc;               // has the "show BC" box
    platform::DialogCallback callback;       // of every control but Save Image
    platform::DialogCallback save_callback;  // of Save Image
    void (*options)();          // its Plot Options; nullptr: the button does nothing
};

// ---- the window ----------------------------------------------------------------

// Opens channel 99 as a graphics window with the viewer's title, clears it,
// maximises it in the frame, measures it and selects the frame's font.
void make_plot_window(PlotMember member);
// Measures the window: NXPIX and NYPIX from its configuration and size.
void query_plot_window();
// The redraw: field bounds and colour scale, the window measured and focused,
// cleared in the scheme's background, the plane fitted with zoom and pan,
// then (when the window is large enough and the dialog's index field holds
// an index of the current plane) the axis glyph, the plane position, the
// edges and their coordinates and the member's plot. It reads the fields only
// as engine/data.h allows: while a run holds them it draws nothing, answers
// false and leaves the redraw of the open viewer to the run's next refresh.
bool update_plot_window(PlotMember member, platform::Dialog& dialog);

// ---- the viewers ------------------------------------------------------------------

// The viewer's menu routine: opens it (only once a case is loaded). While a
// plot viewer is open, a request to open one brings the open one, dialog and
// window, to the front and does nothing else.
void open_plot_viewer(const PlotViewer& viewer);
// The viewer's control callback.
void handle_plot_control(const PlotViewer& viewer, platform::Dialog& dialog, int control_id);
// Places the viewer's dialog beside the frame when the screen has room, else
// inside it just left of the plot window's legend area (frontend/calc/
// dialogplace.h), so that it never covers the legend, the axis glyph or the
// plane label.
void place_clear_of_legend(platform::Dialog& dialog);
// The same, or with only_if_covering only when the dialog now overlaps the
// legend area (after the window changed size); true when it was moved.
bool place_dialog_of_viewer(platform::Dialog& dialog, bool only_if_covering);
// Brings the open plot viewer to the front, maximised; false when none is
// open. The window is redrawn at its new size (see below).
bool raise_open_plot_viewer();

// A loaded case replaced the one the open plot viewer shows (GUI thread, no
// run going). loaded: the viewer is kept on the new case, its ranges reset
// (the plane index kept inside the new plane, with its spin range and field;
// the pan inside the new extents) and redrawn; otherwise (the case failed to
// load and what is in memory is no case) it is closed. Nothing when no plot
// viewer is open.
void plot_viewer_case_changed(bool loaded);

// New fields of the same case (saved data loaded): the open plot viewer is
// redrawn.
void plot_viewer_fields_changed();

// Whenever the plot window's drawing area changes size (the frame or the
// window resized, maximised, restored) the open viewer is redrawn at the new
// size, soon after, on the GUI thread.

// The run-time refresh of a viewer, on the calculation thread: the redraw
// (with whatever the viewer left for it) runs on the GUI thread through a
// blocking call, if the viewer is still open there, with its busy flag set
// meanwhile; then a pause of 200 ms on the calculation thread. A viewer found
// closed there (closed since the run looked) is neither drawn nor waited for.
void refresh_plot_viewer(const PlotViewer& viewer);

// The run driver's hooks (frontend/winmain.h), installed at start-up: the
// refresh after every iteration of the domain viewer if it is open, else of
// the residuals viewer if that is open (neither, and no pause, when both are
// closed), and at the end of a
// run the redraw or search it still owes. Both also hand the GUI thread the
// field reads other viewers left while the run held the fields
// (frontend/fieldaccess.h).
void PLOT_VIEWER_REFRESH();
void PLOT_VIEWER_CATCH_UP();

// True while the open viewer has a redraw or search left for the next refresh
// (GUI thread; for tests).
bool plot_viewer_work_pending();

}  // namespace tarvex
