// The cells of the loaded grid as the solver sees them: the grid read once
// per routine, one visited cell, a box of cells, and the two boxes every
// equation visits (all real cells, the cells that carry a velocity node).
//
// Every kernel (solver_kernels.h and the engine_*.cpp files) is called with a
// Cell; the loop driver (solver_loops.h) builds the Cells of a Box in its
// visiting orders.
#pragma once

#include <cstddef>

#include "engine/data.h"

namespace tarvex {

// Cell indices in the loops: a signed type of the machine's address width, so
// that index arithmetic needs no widening.
using Index = std::ptrdiff_t;

// The grid of the loaded case, read once per routine.
struct Grid {
    int nx, ny, nz;
    Index js, ks;   // JSTRIDE, KSTRIDE

    Index index(int i, int j, int k) const { return i + (j - 1) * js + (k - 1) * ks; }
    // Index step along axis 0 (x), 1 (y) or 2 (z).
    Index stride(int axis) const { return axis == 0 ? 1 : (axis == 1 ? js : ks); }
    // Number of cells along an axis.
    int count(int axis) const { return axis == 0 ? nx : (axis == 1 ? ny : nz); }
};

inline Grid grid() {
    return Grid{griddim.NX, griddim.NY, griddim.NZ, griddim.JSTRIDE, griddim.KSTRIDE};
}

// One visited cell: its indices and its cell index.
struct Cell {
    int i, j, k;
    Index p;

    // Position along axis 0, 1 or 2.
    template <int Axis>
    int at() const {
        if constexpr (Axis == 0) return i;
        else if constexpr (Axis == 1) return j;
        else return k;
    }
    int at(int axis) const { return axis == 0 ? i : (axis == 1 ? j : k); }
};

// A box of cells, bounds inclusive. Empty when a lower bound exceeds its
// upper one.
struct Box {
    int i0, i1, j0, j1, k0, k1;
};

// Every real cell of the grid.
inline Box all_cells(const Grid& g) { return Box{1, g.nx, 1, g.ny, 1, g.nz}; }

// The cells that carry a velocity node of axis Axis on their low face: all
// real cells but the first layer along the axis (the wall face has no node).
template <int Axis>
inline Box nodes(const Grid& g) {
    return Box{Axis == 0 ? 2 : 1, g.nx, Axis == 1 ? 2 : 1, g.ny, Axis == 2 ? 2 : 1, g.nz};
}

}  // namespace tarvex
