// The drawing shared by the plot viewers: the cell fill, the colour legend
// and the plane walkers, drawn into the plot window (channel 99) in its world
// coordinates (metres of the domain), which the caller has set up together
// with the visible range and the colour-scale limits.
#pragma once

namespace tarvex {

// Fills the rectangle (x0, y0)-(x1, y1) in the colour of the value's band.
void PLOTBOX(double value, double min, double max, double x0, double x1, double y0, double y1);
// The colour legend for the scale min..max at the right of the plot window.
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

}  // namespace tarvex
