// Field statistics of the viewers: the extremes of every field over the open
// cells, the colour band of a value, the search for the cell holding a
// field's maximum or minimum, and the velocities at the cell centres.
#pragma once

#include <cstdint>

namespace tarvex {

// Recomputes every field extreme of PLOTOPT over the open cells
// (temperatures in degrees C, the rest in their stored units).
void GETDATABOUNDS();

// The colour band 1..16 of value on the scale min..max (downwards when max
// is below min); 0 when the value is not a number (nothing is drawn for it).
int colour_band(double value, double min, double max);

// The open cell with the largest (mode 1) or smallest (any other mode) value
// of a plot choice; i, j, k are 0 when no cell qualifies.
void FINDVAL(int mode, int choice, int& i, int& j, int& k);

// The velocity components at the centre of cell (i, j, k) at index idx.
double GET_U(int32_t idx, int i, int j, int k);
double GET_V(int32_t idx, int i, int j, int k);
double GET_W(int32_t idx, int i, int j, int k);

}  // namespace tarvex
