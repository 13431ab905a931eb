// A rectangular test grid: SETUP_ARRAY for the dimensions (which also resets
// the case data), grid lines from the given widths, every real cell open, inner
// faces open and the domain walls closed, then areas and volumes. Cells can
// be blocked afterwards; finish() recomputes what depends on the blockage.
#pragma once

#include <stdexcept>
#include <vector>

#include "engine/data.h"
#include "engine/engine.h"

namespace tarvex::openbox {

// Open areas and volumes of the real cells, and VOLTOT, from the widths and
// the open fractions (what GEOM3D computes, without its messages).
inline void update_geometry() {
    domsums.VOLTOT = 0.0;
    for (int k = 1; k <= griddim.NZ; ++k)
        for (int j = 1; j <= griddim.NY; ++j)
            for (int i = 1; i <= griddim.NX; ++i) {
                const int p = ARIDX(i, j, k);
                fields.AREAU[p] = fields.DY[j] * fields.DZ[k] * fields.CPRU[p];
                fields.AREAV[p] = fields.DX[i] * fields.DZ[k] * fields.CPRV[p];
                fields.AREAW[p] = fields.DX[i] * fields.DY[j] * fields.CPRW[p];
                coefs.VOL[p] = fields.DX[i] * fields.DY[j] * fields.DZ[k] * fields.CPR[p];
                domsums.VOLTOT += coefs.VOL[p];
            }
}

// Grid lines, centres and widths along one direction from the cell widths.
inline void lay_out_axis(const std::vector<double>& w, double* x, double* xc, double* d) {
    const int n = static_cast<int>(w.size());
    x[0] = 0.0;
    xc[0] = 0.0;
    for (int i = 1; i <= n; ++i) {
        x[i] = x[i - 1] + w[i - 1];
        xc[i] = (x[i] + x[i - 1]) * 0.5;
        d[i] = x[i] - x[i - 1];
    }
    xc[n + 1] = x[n];
}

// Lays out the box on the grid SETUP_ARRAY has just stored: grid lines from
// the widths, every real cell and inner face open, the domain walls closed,
// then areas and volumes.
inline void lay_out_open_box(const std::vector<double>& dx, const std::vector<double>& dy,
                             const std::vector<double>& dz) {
    const int nx = griddim.NX, ny = griddim.NY, nz = griddim.NZ;
    lay_out_axis(dx, gridline.X, gridline.XC, fields.DX);
    lay_out_axis(dy, gridline.Y, gridline.YC, fields.DY);
    lay_out_axis(dz, gridline.Z, gridline.ZC, fields.DZ);
    for (int k = 1; k <= nz + 1; ++k)
        for (int j = 1; j <= ny + 1; ++j)
            for (int i = 1; i <= nx + 1; ++i) {
                const int p = ARIDX(i, j, k);
                const bool ri = i <= nx, rj = j <= ny, rk = k <= nz;
                fields.CPRU[p] = (rj && rk && i > 1 && i <= nx) ? 1.0 : 0.0;
                fields.CPRV[p] = (ri && rk && j > 1 && j <= ny) ? 1.0 : 0.0;
                fields.CPRW[p] = (ri && rj && k > 1 && k <= nz) ? 1.0 : 0.0;
                fields.CPR[p] = (ri && rj && rk) ? 1.0 : 0.0;
            }
    update_geometry();
}

// The grid as a case load leaves it: SETUP_ARRAY for the dimensions (which
// also resets the case data), then the open box.
class OpenBoxGrid {
public:
    OpenBoxGrid(const std::vector<double>& dx, const std::vector<double>& dy, const std::vector<double>& dz) {
        // The case-load path: dimensions, strides and the reset of the case data.
        if (SETUP_ARRAY(static_cast<int>(dx.size()), static_cast<int>(dy.size()), static_cast<int>(dz.size())) != 0)
            throw std::runtime_error("grid does not fit the build");
        lay_out_open_box(dx, dy, dz);
    }

    // Blocks a real cell and closes its six faces.
    void block(int i, int j, int k) {
        const int p = ARIDX(i, j, k);
        fields.CPR[p] = 0.0;
        fields.CPRU[p] = fields.CPRU[p + 1] = 0.0;
        fields.CPRV[p] = fields.CPRV[p + griddim.JSTRIDE] = 0.0;
        fields.CPRW[p] = fields.CPRW[p + griddim.KSTRIDE] = 0.0;
    }

    // Open face areas and cell volumes of the real cells.
    void finish() { update_geometry(); }
};

}  // namespace tarvex::openbox
