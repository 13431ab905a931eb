// Summary of a box of cells for the Region Viewer: its open volume, the
// means and extremes of the fields over its open cells, the mass flows
// through its sides, sources, pressure boundaries and mid-planes, and its
// heat flows. Window-free: the dialog only formats what comes back.
//
// Flows are kg/s, heats mass flow times kelvin (kg K/s, shown as kW). In-
// totals are 0 or positive, out-totals 0 or negative.
#pragma once

#include <cstdint>

namespace tarvex {

// A box of cells, bounds included, in the indices of the loaded grid.
struct RegionBox {
    int i1 = 1, j1 = 1, k1 = 1;
    int i2 = 1, j2 = 1, k2 = 1;
    bool operator==(const RegionBox&) const = default;
};

// Swaps each pair whose first index exceeds the second. False (box
// unchanged) when any index lies outside 1..NX, 1..NY or 1..NZ of its
// direction.
bool order_region_box(RegionBox& box);

// The nine quantities of the means, in the Means page's row order.
enum RegionQuantity {
    RQ_U,       // m/s, on the cells' west faces
    RQ_V,       // m/s, south faces
    RQ_W,       // m/s, bottom faces
    RQ_SPEED,   // m/s, from those three face values
    RQ_T,       // K
    RQ_P,       // Pa
    RQ_C,       // kg/kg
    RQ_C2,      // kg/kg
    RQ_RH,      // %
    RQ_COUNT
};

// Mean and extremes of one quantity, in its stored unit.
struct RegionStat {
    // The weight of the mean (the open face area for u, v and w, the open
    // volume for the rest) is not 0. Without it there is no mean.
    bool has_mean = false;
    double mean = 0.0;
    // At least one open cell gave a value (a box with no open cell has no
    // extremes).
    bool has_extremes = false;
    double min = 0.0;
    double max = 0.0;
};

struct InOut {
    double in = 0.0;    // >= 0
    double out = 0.0;   // <= 0
};

// Flow through the mid-plane of a box one cell thick in the plane's normal
// direction, split by the sign of each cell's mean face flow.
struct PlaneFlow {
    bool marked = false;    // the box is one cell thick in this direction
    double positive = 0.0;  // towards rising index
    double negative = 0.0;
};

struct RegionSums {
    RegionBox box;               // the box summarised (ordered)
    int64_t open_cells = 0;      // cells whose open fraction is not 0
    double volume = 0.0;         // open volume, m3
    RegionStat stat[RQ_COUNT];

    InOut total_mass;            // cell mass sources and the box sides, kg/s
    InOut pb_mass;               // pressure boundaries, every row of a cell
    PlaneFlow plane_k;           // IJ plane (K1 = K2)
    PlaneFlow plane_i;           // JK plane (I1 = I2)
    PlaneFlow plane_j;           // IK plane (J1 = J2)

    InOut source_heat;           // temperature sources less pressure-boundary inflow heat
    InOut pb_heat;               // pressure boundaries (the last row with a flow per cell)
    InOut fabric_heat;           // U-value surfaces
    InOut side_heat;             // air crossing the box sides
};

// Summarises the box of the loaded grid from the current fields. The
// pairs are taken in either order. A box reaching outside the grid is not
// read at all: the result is that of a box with no open cell.
RegionSums region_sums(const RegionBox& box);

// A stored value of a quantity in the unit the viewer shows: degrees C for
// the temperature, g/kg for both concentrations, the others unchanged.
double region_display_value(RegionQuantity q, double stored);

}  // namespace tarvex
