// Field statistics of the viewers: the extremes of every field over the open
// cells, the colour band of a value, the search for the cell holding a
// field's maximum or minimum, and the velocities at the cell centres.
#pragma once

#include <cstdint>

namespace tarvex {

// Recomputes every field extreme of PLOTOPT over the open cells
// (temperatures in degrees C, the rest in their stored units).
void GETDATABOUNDS();

// The residual fields need no gathering: the viewers read the per-cell
// residuals (engine/data.h, RESID) as the solver left them after its last
// outer iteration. Kept as the place for such a step; does nothing.
void GETRESIDUALS();

// The colour band 1..16 of value on the scale min..max (downwards when max
// is below min); 0 when the value is not a number (nothing is drawn for it).
int colour_band(double value, double min, double max);

// The open cell with the largest (mode 1) or smallest (any other mode) value
// of a plot choice (2 T, 3 C, 4 U, 5 W, 6 and 9 speed, 7 P, 8 V, 10 water
// vapour, 11 relative humidity, 12-15 residuals; cell-centre velocities);
// the first cell in K, J, I order wins a tie. i, j, k are 0 when no cell
// qualifies: no open cell, values that are not numbers or lie beyond
// +-99999, or a choice without a per-cell value (0 grid, 1 blockage).
void FINDVAL(int mode, int choice, int& i, int& j, int& k);

// The velocity components at the centre of cell (i, j, k) at index idx: the
// mean of its low and high faces, or the low face alone in the last cell of
// the direction.
double GET_U(int32_t idx, int i, int j, int k);
double GET_V(int32_t idx, int i, int j, int k);
double GET_W(int32_t idx, int i, int j, int k);

}  // namespace tarvex
