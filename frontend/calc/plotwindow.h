// The plot window's computations that need no window: its drawing size from
// the window's measure, the colour-scale limits of the current plot, the fit
// of a plane into the window with zoom and pan, the steps of the zoom, pan
// and index controls, the plot each choice draws, the frame's label texts
// and the picture names.
//
// The two plot viewers (the domain viewer and the residuals viewer) share the
// window, its state and this code; they differ only in the plot choice they
// show (IPLOT or IRPLOT), and with it in the source of the colour-scale
// limits and in the set of plots. PlotMember names which of the two is meant.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvex {

enum class PlotMember { domain, grid };

// ---- measuring ---------------------------------------------------------------

// What the window layer tells of the plot window: its configuration (pixels
// and text cells of the drawing area) and its current size in character cells.
struct WindowMeasure {
    int pixels_x = 0, pixels_y = 0;
    int text_cols = 0, text_rows = 0;
    int width = 0, height = 0;
};

struct PixelSize {
    int nxpix = 0;
    int nypix = 0;
};

// NXPIX = (pixels across / text columns) x width - 10, NYPIX likewise down,
// in 16-bit integer arithmetic with truncating division (a configuration
// without text cells gives -10).
PixelSize measure_pixels(const WindowMeasure& m);

// A window in which no plot fits: at most 100 pixels across (the legend's
// room) or no height. It is cleared and nothing is drawn.
bool window_too_small(int nxpix, int nypix);

// ---- colour scale ------------------------------------------------------------

// The colour-scale step: unless MANUAL is set, CSMIN and CSMAX become the
// field bounds of the member's current plot (IPLOT or IRPLOT, vectors by
// ICOLBY; other choices leave them); then equal limits are widened.
void colour_scale_step(PlotMember member);

// Equal limits: both 0 become -0.01 and 0.01; otherwise min := 0.99 max and
// max := 1.01 max (for a negative value the scale then runs downward).
void widen_equal_limits(double& csmin, double& csmax);

// ---- the plane ---------------------------------------------------------------

// The index limit of a plane: NZ on plane 1 (IJ), NY on 2 (IK), NX on any
// other (JK), of the loaded grid.
int plane_limit(int iplane);

// The extent of a plane (metres, from the loaded grid lines), its axis letters
// and the letter of its normal. FLIP exchanges across and up.
struct PlaneAxes {
    double h = 0.0, v = 0.0;   // across and up
    char across = 'X', up = 'Y';
    char normal = 'z';
};
PlaneAxes plane_axes(int iplane, bool flip);

// The centre of layer k along the plane's normal: (Z(k-1) + Z(k)) / 2 on
// plane 1, with Y on 2, with X on 3. k must lie in 1..plane_limit.
double layer_centre(int iplane, int k);

// ---- the fit of the plane into the window --------------------------------------

struct PlotGeometryInput {
    int nxpix = 0, nypix = 0;   // drawing size
    double h = 0.0, v = 0.0;    // extent of the plane across and up
    int izoom = 0;              // 1 or less: no zoom
    double panx = 0.0, pany = 0.0;
};

struct PlotGeometry {
    bool drawable = false;   // false: the window is too small, or the plane has no extent
    double scale = 0.0;      // metres per pixel
    double panx = 0.0, pany = 0.0;     // as given, or 0 without zoom
    double stepx = 0.0, stepy = 0.0;   // pan steps, 0 without zoom
    double left = 0.0, right = 0.0, bottom = 0.0, top = 0.0;   // plot edges
    double wx1 = 0.0, wx2 = 0.0, wy1 = 0.0, wy2 = 0.0;         // world window, y upwards
    double vxmin = 0.0, vxmax = 0.0, vymin = 0.0, vymax = 0.0; // visible range
    double r = 0.0, t = 0.0;           // right and top edges clipped to the plane
    int ipx0 = 0, ipx1 = 0, ipy0 = 0, ipy1 = 0;   // pixels of PANX, R, PANY, T (y from the top)
};

// The scale is the larger of h / (nxpix - 100) and v / nypix (the 100 pixels
// at the right are the legend's), divided by the zoom; the plot area starts
// at the pan offsets; the world window leaves a tenth of the area around it.
PlotGeometry plot_geometry(const PlotGeometryInput& in);

// ---- controls ---------------------------------------------------------------

// Pan steps: up and right stop where the step would pass the plane's extent,
// down and left stop at 0.
double pan_up(double pan, double step, double extent);   // also right
double pan_down(double pan, double step);                 // also left

// An integer typed into the index or the zoom field, read free-form.
enum class EntryVerdict {
    ignore,    // empty or unreadable: nothing happens
    accept,    // within lo..hi: value holds it
    restore,   // out of range: the previous value goes back into the field
};
EntryVerdict read_entry(std::string_view text, int lo, int hi, int& value);

inline constexpr int ZOOM_MIN = 1;
inline constexpr int ZOOM_MAX = 10;

// ---- plots ------------------------------------------------------------------

enum class PlotDraw { nothing, grid, blockage, blockage_marks, data, vectors };
struct PlotCall {
    PlotDraw draw = PlotDraw::nothing;
    int code = 0;   // quantity code of a data plot
};

// What the member draws for a plot choice: the domain viewer 0 grid, 1
// blockage (with the boundary marks when showbc), 2..8, 10, 11 a field, 9
// vectors; the residuals viewer 0 grid, 1 blockage only, 12..15 a residual
// field; anything else nothing.
PlotCall plot_call(PlotMember member, int choice, bool showbc);

// ---- texts ------------------------------------------------------------------

// The plane position shown beside the axis glyph, 16 characters: the normal's
// letter, "= " and the position in G12.5 ("0" when it is exactly 0).
std::string plane_position_label(char normal, double position);

// The left edge of the plane label, in window pixels: NXPIX - 90 where the
// text fits between there and NXPIX (the right edge of the axis glyph and the
// legend), else as far left as the text's width needs to end at NXPIX, but
// never left of the window.
int plane_label_left(int nxpix, int text_width);

// The left edge of the legend area: the legend's caption starts 125 pixels
// before NXPIX; the plane label may start further left. The area runs from
// there to the window's right edge, over the window's whole height.
inline constexpr int LEGEND_ROOM = 125;
int legend_area_left(int nxpix, int label_left);

// An edge coordinate, 16 characters: G12.5, or "0" for an exact 0 when
// zero_as_0 (the left and bottom edges).
std::string edge_label(double value, bool zero_as_0);

// The text of the plane-index field: the index in I12 with its leading
// blanks taken off, so that the narrow field shows the number itself rather
// than the blanks in front of it (a right-aligned 12-character text scrolls
// the digits out of view). The redraw reads the field back as a number.
std::string index_field_text(long long index);

// The proposed picture file name of picture n: "Pic_", n in four digits with
// leading zeros (asterisks from 10000 on) and ".BMP".
std::string picture_name(std::int64_t n);

}  // namespace tarvex
