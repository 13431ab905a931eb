// The texts the Data Viewer shows for one cell: its centre and widths, open
// volume, open fraction, the velocities on its low faces, pressure,
// temperature, both concentrations and the relative humidity, each written
// into 12 characters by its format (E12.5 or F12.3; asterisks when a value
// does not fit).
#pragma once

#include <array>
#include <string>

namespace tarvex {

struct CellText {
    int control;        // id of the value field in the Data Viewer
    std::string text;   // 12 characters
};

inline constexpr int CELL_TEXTS = 16;

// The loaded grid holds cell (i, j, k).
bool cell_in_grid(int i, int j, int k);

// The 16 texts of cell (i, j, k), in the order the dialog sets them. The
// cell must lie in the grid (cell_in_grid).
std::array<CellText, CELL_TEXTS> cell_texts(int i, int j, int k);

}  // namespace tarvex
