// Pressure-boundary flows: the power law, the row sets by cell, and USRSUB2,
// which turns the boundary flows of the current pressure field into the
// cells' mass and scalar sources.
#include <algorithm>

#include "engine/cells.h"
#include "engine/engine.h"
#include "engine/pbcells.h"
#include "engine/solver_loops.h"

namespace tarvex {

namespace pbcells_detail {
PbAxisSets pbaxis;
}  // namespace pbcells_detail

void BUILD_PBCELLS() {
    using pbcells_detail::pbaxis;
    for (int m = 0; m <= NDIRMAX; ++m) {
        pbaxis.ROWSI[m] = PbRowSet();
        pbaxis.ROWSJ[m] = PbRowSet();
        pbaxis.ROWSK[m] = PbRowSet();
    }
    // The grid of this build, kept within the arrays whatever griddim holds.
    pbaxis.NXB = std::clamp(griddim.NX, 0, NDIRMAX - 1);
    pbaxis.NYB = std::clamp(griddim.NY, 0, NDIRMAX - 1);
    pbaxis.NZB = std::clamp(griddim.NZ, 0, NDIRMAX - 1);
    const int nrows = std::clamp(pbtable.NPB, 0, NPBMAX);

    // A box holds cell (i, j, k) when PBI1 <= i <= PBI2 and likewise in J and
    // K; only the part of it inside the grid can hold a cell.
    auto mark = [](PbRowSet* sets, int n, int lo, int hi, int last) {
        lo = std::max(lo, 1);
        hi = std::min(hi, last);
        for (int m = lo; m <= hi; ++m) sets[m].insert(n);
    };
    for (int n = 1; n <= nrows; ++n) {
        mark(pbaxis.ROWSI, n, pbtable.PBI1[n], pbtable.PBI2[n], pbaxis.NXB);
        mark(pbaxis.ROWSJ, n, pbtable.PBJ1[n], pbtable.PBJ2[n], pbaxis.NYB);
        mark(pbaxis.ROWSK, n, pbtable.PBK1[n], pbtable.PBK2[n], pbaxis.NZB);
    }

    // The rows (J, K) some box touches.
    for (uint64_t& w : pbaxis.ROWANY) w = 0;
    loops::for_rows<loops::Order::forward>(Box{1, 1, 1, pbaxis.NYB, 1, pbaxis.NZB}, [](int j, int k) {
        if ((pbaxis.ROWSJ[j] & pbaxis.ROWSK[k]).empty()) return;
        const int64_t bit = static_cast<int64_t>(k - 1) * pbaxis.NYB + j;
        pbaxis.ROWANY[bit / 64] |= uint64_t{1} << (bit % 64);
    });
}

namespace {

// Sets the sources of cell p for the flow m of a boundary row (kg/s, in when
// positive): the mass source, and for air that enters the heat, contaminant
// and water it brings; a leaving flow brings nothing.
void set_boundary_sources(int32_t p, int n, double m) {
    fields.SMASS[p] = m;
    if (m > 0.0) {
        fields.SPT[p] = m;
        fields.SCT[p] = m * pbtable.PBT[n];
        fields.SPC[p] = m;
        fields.SCC[p] = m * pbtable.PBC[n];
        c2eq.SPC2[p] = m;
        c2eq.SCC2[p] = m * pbtable.PBC2[n];
    } else {
        fields.SPT[p] = 0.0;
        fields.SCT[p] = 0.0;
        fields.SPC[p] = 0.0;
        fields.SCC[p] = 0.0;
        c2eq.SPC2[p] = 0.0;
        c2eq.SCC2[p] = 0.0;
    }
}

}  // namespace

void USRSUB2() {
    if (pbtable.PBON != 1) return;

    // Every cell a box holds, open or not, k, then j, then i; rows in table
    // order, so the last row of a cell sets its sources.
    double min_total = 0.0;
    double mout_total = 0.0;
    loops::pb_cells(grid(), [&](const Cell& c, const PbRowSet& rows) {
        for (int n : rows) {
            const double area = pb_face_area(pbtable.PBFACE[n], c.i, c.j, c.k);
            const double m = pb_flow(n, fields.DEN[c.p], fields.P[c.p], area);
            set_boundary_sources(c.p, n, m);
            if (m > 0.0) min_total += m;
            if (m < 0.0) mout_total += m;
        }
    });
    domsums.FLOWIN = min_total;
    domsums.FLOWOUT = mout_total;
}

}  // namespace tarvex
