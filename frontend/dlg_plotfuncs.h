// The drawing shared by the plot viewers: the cell fill, the colour legend
// and the plane walkers, drawn into the plot window (channel 99) in its world
// coordinates (metres of the domain), which the caller has set up together
// with the visible range and the colour-scale limits.
//
// The walkers visit the cells of one layer of the current plane (IPLANE,
// FLIP) and draw only the cells that lie wholly inside the visible range
// VXMIN..VXMAX, VYMIN..VYMAX. A layer outside the plane's range (after the
// plane was changed and the index kept) draws no cells. Every routine leaves
// the drawing colour as it found it, except the legend, which leaves the
// text colour.
//
// Colours by role (COLTAB of ISCHEME, screen entry, swapped with PAPER):
// grid lines 19, open cells 20, blocked cells 21, open faces 22, closed faces
// 23, outlines and text 18. Markers: mass source 000077 (in) and 770000
// (out), heat source 0000AA and AA0000, U-value face AA0000, pressure
// boundary 00BBBB.
#pragma once

#include <cstdint>

namespace tarvex {

// Fills the rectangle (x0, y0)-(x1, y1) in the colour of the value's band;
// a value that is not a number is not filled. With SHOWGRID the rectangle
// is outlined in the text colour.
void PLOTBOX(double value, double min, double max, double x0, double x1, double y0, double y1);
// The colour legend for the scale min..max at the right of the plot window:
// 16 boxes from band 16 at the top to band 1, their labels (G10.4), min
// below the lowest box and the caption PLTITLE, in pixels of the window
// (NXPIX, NYPIX as measured).
void CONTOUR_SCALE(double min, double max);

// The grid lines of the current plane, clipped to the given plot edges.
void DRAW_GRID(double xl, double xr, double yb, double yt);
// Plane k of the current orientation: blockage; boundary markers; a field by
// its quantity code (1 T, 2 C, 3 P, 4-6 U V W, 7 speed, 12-15 residuals,
// 21 water vapour, 22 relative humidity); vectors coloured by colby.
void DRAW_CPR(int k);
void DRAW_BNDS(int k);
void DRAW_DATA(int k, int code);
void DRAW_VECTOR(int k, int colby);

// ---- one cell ------------------------------------------------------------------
// The face flags are the open fractions of the left, bottom, right and top
// edges; 0 is a closed face, anything else (half open too) an open one.

// A cell of the blockage plot: filled as open or blocked, edges as open or
// closed faces.
void PLOTCPR(double cpr, double left, double bottom, double right, double top, double x0, double x1, double y0,
             double y1);
// The blockage over a cell of a field or vector plot: a blocked cell filled,
// else its closed faces only.
void ADDCPR(double cpr, double left, double bottom, double right, double top, double x0, double x1, double y0,
            double y1);
// The boundary markers of an open cell (i, j, k) at idx on plane `plane`:
// mass and heat sources as triangles, U-value faces and pressure-boundary
// faces as edges.
void PLOTBNDS(double cpr, double x0, double x1, double y0, double y1, int plane, int i, int j, int k, int32_t idx);
// A cell of a field plot.
void PLOTDATA(int32_t idx, int i, int j, int k, int code, double min, double max, double x0, double x1, double y0,
              double y1);
// A cell of a vector plot.
void PLOTVECTOR(int32_t idx, int i, int j, int k, int colby, double min, double max, double x0, double x1,
                double y0, double y1);
// One arrow of the in-plane velocity (uh, uv) centred on (xc, yc), coloured
// by the band of value; scale is metres of arrow per m/s. Note the corner
// order of the cell's rectangle, (x0, y0) then (x1, y1). No arrow for a
// value or velocity that is not a number.
void PLOTVEC(double value, double uh, double uv, double min, double max, double xc, double yc, double scale,
             double x0, double y0, double x1, double y1);

}  // namespace tarvex
