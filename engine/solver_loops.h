// The loop driver: every visiting order of the solver over the cells of the
// grid lives here, and nowhere else.
//
// A pass over a box of cells is one of three kinds:
//
//   sweep(g, box, order, kernel [, sums])
//       A point Gauss-Seidel sweep. Forward visits k, then j, then i
//       ascending (i fastest), backward all three descending. The kernel may
//       read the values of its cell P and of the six cells P±1, P±JSTRIDE,
//       P±KSTRIDE, and writes only the values of P (its own cell, or the
//       velocity node on P's low face). A cell so sees the new values of the
//       neighbours visited before it and the old values of those after it.
//   pass(g, box, kernel [, sums])
//       Independent per-cell work: set-ups, residuals, densities, shifts. The
//       kernel writes only the values of its own cell (or node) and reads,
//       beyond its own cell, nothing the same pass writes, so the cells may
//       be taken in any order; serially they are taken in the forward order.
//   pb_cells(g, fn)
//       The cells that some pressure-boundary box holds, in the forward
//       order, each with its rows in table order. These passes touch few
//       cells and run serially.
//
// A kernel is a small object called once per cell: kernel(cell). It names
// the arrays it reads and writes as constant members (solver_kernels.h) and
// holds the values of the pass (grid, factors, switches); it keeps no state
// from one cell to the next. It returns nothing, or the cell's term of the
// pass's sums; the driver hands each term to sums.add(term) in the visiting
// order, so that a sum is formed in the order the sweep or pass visits the
// cells, whatever does the per-cell work. Maxima are taken the same way,
// though their order does not matter.
//
// Order and bits. The results of a sweep depend on its order only through
// the rule above: any schedule in which every cell still sees the new values
// of the neighbours before it and the old values of those after it gives the
// same bits. Rows (j, k) are the unit of work: a forward row may start once
// rows (j-1, k) and (j, k-1) are done (a backward row once (j+1, k) and
// (j, k+1) are), so the rows of one anti-diagonal j + k are independent, and
// slabs of k planes can follow each other as a pipeline. Rows visited by
// visit_row<order>() in such a schedule, with their terms kept per cell and
// added in the serial order afterwards, reproduce the serial sweep bit for
// bit; so do the rows of a pass in any order. Since kernels keep no state
// between cells, one kernel may serve several rows at once, interleaved in
// one thread or on several threads.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "engine/data.h"
#include "engine/pbcells.h"

namespace tarvex::loops {

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

enum class Order { forward, backward };

// The direction argument of the sweep routines: 1 forward, any other value
// backward.
inline Order sweep_order(int dir) { return dir == 1 ? Order::forward : Order::backward; }

// ---- sums -----------------------------------------------------------------

// A pass without sums.
struct NoSums {};

// One sum of terms in visiting order. For a sum of absolute values a cell
// that adds nothing returns the term 0.0: such a sum starts at +0 and never
// becomes -0, so adding +0 leaves every bit of it as it is.
struct Sum {
    double value;
    void add(double term) { value += term; }
};

// The change sum and largest change of a sweep; a cell that changes nothing
// returns 0.0, which leaves both as they are (the maximum is never below 0).
struct ChangeSums {
    double sum;
    double max;
    void add(double d) {
        sum += d;
        if (d > max) max = d;
    }
};

// ---- visits -----------------------------------------------------------------

namespace detail {
template <class Kernel, class Sums>
inline void apply(const Kernel& kernel, const Cell& c, Sums& sums) {
    if constexpr (std::is_void_v<decltype(kernel(c))>)
        kernel(c);
    else
        sums.add(kernel(c));
}
}  // namespace detail

// The cells i0..i1 of row (j, k) of a box, ascending (forward) or descending.
template <Order O, class Kernel, class Sums>
inline void visit_row(const Grid& g, const Box& b, int j, int k, const Kernel& kernel, Sums& sums) {
    if constexpr (O == Order::forward) {
        Index p = g.index(b.i0, j, k);
        for (int i = b.i0; i <= b.i1; ++i, ++p) detail::apply(kernel, Cell{i, j, k, p}, sums);
    } else {
        Index p = g.index(b.i1, j, k);
        for (int i = b.i1; i >= b.i0; --i, --p) detail::apply(kernel, Cell{i, j, k, p}, sums);
    }
}

// The rows (j, k) of a box in the order of a serial sweep: k, then j,
// ascending (forward) or descending.
template <Order O, class Row>
inline void for_rows(const Box& b, Row&& row) {
    if constexpr (O == Order::forward) {
        for (int k = b.k0; k <= b.k1; ++k)
            for (int j = b.j0; j <= b.j1; ++j) row(j, k);
    } else {
        for (int k = b.k1; k >= b.k0; --k)
            for (int j = b.j1; j >= b.j0; --j) row(j, k);
    }
}

namespace detail {
// A serial visit works on its own copy of the kernel: nothing else can see
// the copy, so the compiler may keep the kernel's values in registers even
// across the calls a kernel makes to other routines.
template <Order O, class Kernel, class Sums>
inline void serial(const Grid& g, const Box& b, const Kernel& kernel, Sums& sums) {
    const Kernel own = kernel;
    for_rows<O>(b, [&](int j, int k) { visit_row<O>(g, b, j, k, own, sums); });
}
}  // namespace detail

template <class Kernel, class Sums>
inline void sweep(const Grid& g, const Box& b, Order order, const Kernel& kernel, Sums& sums) {
    if (order == Order::forward)
        detail::serial<Order::forward>(g, b, kernel, sums);
    else
        detail::serial<Order::backward>(g, b, kernel, sums);
}

template <class Kernel>
inline void sweep(const Grid& g, const Box& b, Order order, const Kernel& kernel) {
    NoSums none;
    sweep(g, b, order, kernel, none);
}

template <class Kernel, class Sums>
inline void pass(const Grid& g, const Box& b, const Kernel& kernel, Sums& sums) {
    detail::serial<Order::forward>(g, b, kernel, sums);
}

template <class Kernel>
inline void pass(const Grid& g, const Box& b, const Kernel& kernel) {
    NoSums none;
    pass(g, b, kernel, none);
}

// Calls fn(cell, rows) for every cell of the grid that a pressure-boundary box
// holds, forward order, rows in table order. Planes and rows that no box
// touches are passed over whole. The row sets were built for the grid of the
// last BUILD_PBCELLS; the bounds keep the cells inside both grids.
template <class Fn>
inline void pb_cells(const Grid& g, Fn&& fn) {
    const auto& a = pbcells_detail::pbaxis;
    const int nx = std::min(a.NXB, g.nx);
    const int ny = std::min(a.NYB, g.ny);
    const int nz = std::min(a.NZB, g.nz);
    for (int k = 1; k <= nz; ++k) {
        const PbRowSet in_plane = pb_rows_plane(k);
        if (in_plane.empty()) continue;
        for (int j = 1; j <= ny; ++j) {
            const PbRowSet in_row = in_plane & a.ROWSJ[j];
            if (in_row.empty()) continue;
            for (int i = 1; i <= nx; ++i) {
                const PbRowSet rows = in_row & a.ROWSI[i];
                if (rows.empty()) continue;
                fn(Cell{i, j, k, g.index(i, j, k)}, rows);
            }
        }
    }
}

}  // namespace tarvex::loops
