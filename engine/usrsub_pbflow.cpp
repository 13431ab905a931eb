// Pressure-boundary flows: the power law, the row sets by cell, and USRSUB2,
// which turns the boundary flows of the current pressure field into the
// cells' mass and scalar sources.
#include <algorithm>

#include "engine/engine.h"
#include "engine/pbcells.h"

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
}

void USRSUB2() {
    if (pbtable.PBON != 1) return;

    double min_total = 0.0;
    double mout_total = 0.0;
    // The sets were built for the loaded grid; the bounds keep the cell
    // index inside the arrays even if they were not.
    const int nx = std::min(pbcells_detail::pbaxis.NXB, griddim.NX);
    const int ny = std::min(pbcells_detail::pbaxis.NYB, griddim.NY);
    const int nz = std::min(pbcells_detail::pbaxis.NZB, griddim.NZ);

    // Every cell, open or not, k, then j, then i; rows in table order. Planes,
    // rows and cells that no box holds add nothing and are passed over.
    for (int k = 1; k <= nz; ++k) {
        const PbRowSet in_plane = pb_rows_plane(k);
        if (in_plane.empty()) continue;
        for (int j = 1; j <= ny; ++j) {
            const PbRowSet in_row = in_plane & pbcells_detail::pbaxis.ROWSJ[j];
            if (in_row.empty()) continue;
            for (int i = 1; i <= nx; ++i) {
                const PbRowSet rows = in_row & pbcells_detail::pbaxis.ROWSI[i];
                if (rows.empty()) continue;
                const int p = ARIDX(i, j, k);
                for (int n : rows) {
                    const double area = pb_face_area(pbtable.PBFACE[n], i, j, k);
                    const double m = pb_flow(n, fields.DEN[p], fields.P[p], area);
                    fields.SMASS[p] = m;
                    if (m > 0.0) min_total += m;
                    if (m < 0.0) mout_total += m;
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
            }
        }
    }
    domsums.FLOWIN = min_total;
    domsums.FLOWOUT = mout_total;
}

}  // namespace tarvex
