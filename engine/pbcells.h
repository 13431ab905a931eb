// Pressure-boundary rows by cell, and the power law of the boundary flows.
//
// The rows of PBTABLE whose box holds a cell are kept as the intersection of
// three per-axis row sets: the rows whose I range holds I, those whose J range
// holds J and those whose K range holds K. BUILD_PBCELLS (engine.h) fills the
// three sets when a case is loaded; a query is then a few word operations per
// cell whatever the boxes cover, and the memory is fixed (three sets per grid
// line of the build's per-direction limit), even when every one of the
// table's rows covers the whole grid.
//
// Iterating a PbRowSet gives its rows in ascending order, that is in table
// order, so a routine that loops over the cells in its own order and over
// pb_rows() of each cell gets exactly what it would get by testing every row
// of the table against every cell.
//
// The sets describe the table as it stood at the last BUILD_PBCELLS; any
// change to NPB or to the boxes needs another call. Cells outside the grid of
// that call have no rows.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

#include "engine/axis.h"
#include "engine/data.h"
#include "engine/limits.h"

namespace tarvex {

inline constexpr int PB_WORDS = (NPBMAX + 63) / 64;

// A set of table rows 1..NPBMAX.
class PbRowSet {
public:
    PbRowSet() = default;

    bool empty() const {
        for (int w = 0; w < PB_WORDS; ++w)
            if (bits_[w] != 0) return false;
        return true;
    }
    bool contains(int n) const {
        if (n < 1 || n > NPBMAX) return false;
        return (bits_[(n - 1) / 64] >> ((n - 1) % 64)) & 1u;
    }
    void insert(int n) {
        if (n >= 1 && n <= NPBMAX) bits_[(n - 1) / 64] |= uint64_t{1} << ((n - 1) % 64);
    }

    PbRowSet operator&(const PbRowSet& o) const {
        PbRowSet r;
        for (int w = 0; w < PB_WORDS; ++w) r.bits_[w] = bits_[w] & o.bits_[w];
        return r;
    }
    PbRowSet operator|(const PbRowSet& o) const {
        PbRowSet r;
        for (int w = 0; w < PB_WORDS; ++w) r.bits_[w] = bits_[w] | o.bits_[w];
        return r;
    }

    // Ascending iteration over the rows: for (int n : set) ...
    class iterator {
    public:
        int operator*() const { return word_ * 64 + std::countr_zero(rest_) + 1; }
        iterator& operator++() {
            rest_ &= rest_ - 1;
            advance();
            return *this;
        }
        bool operator==(const iterator& o) const { return word_ == o.word_ && rest_ == o.rest_; }

    private:
        friend class PbRowSet;
        iterator(const PbRowSet* s, int word) : set_(s), word_(word), rest_(word < PB_WORDS ? s->bits_[word] : 0) {
            advance();
        }
        void advance() {
            while (rest_ == 0 && word_ < PB_WORDS) {
                ++word_;
                rest_ = word_ < PB_WORDS ? set_->bits_[word_] : 0;
            }
        }
        const PbRowSet* set_;
        int word_;
        uint64_t rest_;
    };
    iterator begin() const { return iterator(this, 0); }
    iterator end() const { return iterator(this, PB_WORDS); }

private:
    uint64_t bits_[PB_WORDS] = {};
};

namespace pbcells_detail {
// Row sets per grid line, filled by BUILD_PBCELLS. Element 0 and elements
// beyond the grid of the last build stay empty.
struct PbAxisSets {
    PbRowSet ROWSI[NDIRMAX + 1];
    PbRowSet ROWSJ[NDIRMAX + 1];
    PbRowSet ROWSK[NDIRMAX + 1];
    int32_t NXB, NYB, NZB;   // the grid of the last build
    // One bit per row (J, K) of that grid, bit (K-1)*NYB + J: set when some
    // box holds a cell of the row.
    uint64_t ROWANY[NCELLMAX / 64 + 1];
};
static_assert(static_cast<int64_t>(NDIRMAX - 1) * (NDIRMAX - 1) < 64 * (NCELLMAX / 64 + 1),
              "every row of the largest grid has its bit");
extern PbAxisSets pbaxis;
}  // namespace pbcells_detail

// Rows whose box holds cell (i, j, k), in table order; empty for a cell
// outside the grid (the far layer I = NX+1 ... included).
inline PbRowSet pb_rows(int i, int j, int k) {
    const auto& a = pbcells_detail::pbaxis;
    if (i < 1 || i > a.NXB || j < 1 || j > a.NYB || k < 1 || k > a.NZB) return PbRowSet();
    return a.ROWSI[i] & a.ROWSJ[j] & a.ROWSK[k];
}

// Rows whose box holds any cell of plane K, or of row (J, K): for loops that
// skip whole planes and rows before looking at cells.
inline PbRowSet pb_rows_plane(int k) {
    const auto& a = pbcells_detail::pbaxis;
    if (k < 1 || k > a.NZB) return PbRowSet();
    return a.ROWSK[k];
}
inline PbRowSet pb_rows_row(int j, int k) {
    const auto& a = pbcells_detail::pbaxis;
    if (j < 1 || j > a.NYB || k < 1 || k > a.NZB) return PbRowSet();
    return a.ROWSJ[j] & a.ROWSK[k];
}

// Whether some box holds a cell of row (j, k): the same as
// !pb_rows_row(j, k).empty(), at the cost of one bit test, for loops that ask
// it at every cell.
inline bool pb_row_touched(int j, int k) {
    const auto& a = pbcells_detail::pbaxis;
    if (j < 1 || j > a.NYB || k < 1 || k > a.NZB) return false;
    const int64_t bit = static_cast<int64_t>(k - 1) * a.NYB + j;
    return (a.ROWANY[bit / 64] >> (bit % 64)) & 1u;
}

// The face areas and widths by face code (pb_face_area, pb_face_width) are
// those of the axis table (axis.h).

// Calls fn(n) for every row n, in table order, whose box holds cell (i, j, k).
template <class Fn>
inline void for_pb_rows(int i, int j, int k, Fn&& fn) {
    for (int n : pb_rows(i, j, k)) fn(n);
}

// The power law of a pressure boundary, in kg/s:
//   m = s * den * coef * area * |dp|^exponent,  dp = outside minus inside pressure,
// s = -1 when dp < 0, else +1 (a zero difference counts as inflow, so with
// exponent 0 an equal pressure gives den * coef * area entering).
// m > 0: air enters the cell; m < 0: air leaves it.
inline double pb_power_law(double den, double coef, double area, double dp, double exponent) {
    const double s = dp < 0.0 ? -1.0 : 1.0;
    return s * den * coef * area * std::pow(std::fabs(dp), exponent);
}

// The law for row n of the table at a cell of density den and pressure p,
// taken with the given area (the cell's face area by PBFACE for the cell
// sources; the momentum jets pass their velocity face's area).
inline double pb_flow(int n, double den, double p, double area) {
    return pb_power_law(den, pbtable.PBCOEF[n], area, pbtable.PBP[n] - p, pbtable.PBEXP[n]);
}

}  // namespace tarvex
