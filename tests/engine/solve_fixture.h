// Small grids for the equation tests: the dimensions, widths, centres, open
// fractions, areas and volumes of a case with every cell open and the domain
// walls closed, set directly so that each test can then set the coefficient
// arrays and fields by hand.
#pragma once

#include <cmath>
#include <vector>

#include "engine/data.h"
#include "engine/engine.h"

namespace tarvex::test {

// Areas and volumes from the widths and the open fractions; call again after
// changing an open fraction.
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

// Zeroes what the equation tests use, over the padded cells of a grid of
// ncells cells, so that tests do not depend on what an earlier test left in
// the same process.
inline void reset_state(int ncells) {
    double* arrays[] = {
        fields.SUW, fields.AREAW, fields.CPRW, fields.SCW, fields.SPW, fields.W, fields.C, fields.SCC, fields.SPC,
        fields.APC, fields.SUC, fields.P, fields.T, fields.SCV, fields.SUU, fields.SUV, fields.AREAU, fields.AREAV,
        fields.MIMB, fields.CPRU, fields.CPRV, fields.DEN, fields.CPR, fields.U, fields.V, fields.SCT, fields.SMASS,
        fields.SCU, fields.SPU, fields.SPT, fields.SPV, fields.DENU, fields.DENV, fields.DENW, coefs.APT, coefs.SUT,
        coefs.HU, coefs.HV, coefs.HW, coefs.AN, coefs.AS, coefs.AE, coefs.AW, coefs.AT, coefs.AB, coefs.VOL,
        coefs.APU, coefs.APV, coefs.APW, c2eq.C2, c2eq.SCC2, c2eq.SPC2, c2eq.APC2, c2eq.SUC2, c2eq.COND,
        resid.RESUVW, resid.RESM, resid.REST, resid.RESC, resid.RESC2};
    for (double* a : arrays)
        for (int p = 0; p <= ncells && p <= NCELLMAX; ++p) a[p] = 0.0;
    for (int p = 0; p <= ncells && p <= NCELLMAX; ++p) {
        uvaltab.UVALCELL[p] = false;
        mixlen.XLMIX[p] = 9.9e19;
    }
    runctl = RUNCTL{};
    domsums = DOMSUMS{};
    pbtable.NPB = 0;
    pbtable.PBON = 0;
    for (int r = 0; r <= NREGMAX; ++r) regions.RTREF[r] = regions.TREF[r] = 0.0;
}

inline void make_grid(const std::vector<double>& dx, const std::vector<double>& dy, const std::vector<double>& dz) {
    const int nx = static_cast<int>(dx.size()), ny = static_cast<int>(dy.size()), nz = static_cast<int>(dz.size());
    griddim.NX = nx;
    griddim.NY = ny;
    griddim.NZ = nz;
    griddim.NXP1 = nx + 1;
    griddim.NYP1 = ny + 1;
    griddim.NZP1 = nz + 1;
    griddim.JSTRIDE = nx + 1;
    griddim.KSTRIDE = (nx + 1) * (ny + 1);
    reset_state((nx + 1) * (ny + 1) * (nz + 1));
    auto axis = [](const std::vector<double>& w, double* lines, double* centres, double* widths) {
        const int n = static_cast<int>(w.size());
        lines[0] = 0.0;
        centres[0] = 0.0;
        for (int i = 1; i <= n; ++i) {
            widths[i] = w[i - 1];
            lines[i] = lines[i - 1] + w[i - 1];
            centres[i] = (lines[i] + lines[i - 1]) * 0.5;
        }
        centres[n + 1] = lines[n];
    };
    axis(dx, gridline.X, gridline.XC, fields.DX);
    axis(dy, gridline.Y, gridline.YC, fields.DY);
    axis(dz, gridline.Z, gridline.ZC, fields.DZ);
    for (int k = 1; k <= nz + 1; ++k)
        for (int j = 1; j <= ny + 1; ++j)
            for (int i = 1; i <= nx + 1; ++i) {
                const int p = ARIDX(i, j, k);
                const bool ci = i <= nx, cj = j <= ny, ck = k <= nz;
                fields.CPRU[p] = (cj && ck && i > 1 && i <= nx) ? 1.0 : 0.0;
                fields.CPRV[p] = (ci && ck && j > 1 && j <= ny) ? 1.0 : 0.0;
                fields.CPRW[p] = (ci && cj && k > 1 && k <= nz) ? 1.0 : 0.0;
                fields.CPR[p] = (ci && cj && ck) ? 1.0 : 0.0;
            }
    for (int r = 1; r <= NREGMAX; ++r) regions.TREF[r] = 0.0;
    for (int p = 1; p <= (nx + 1) * (ny + 1) * (nz + 1); ++p) regions.IREG[p] = 1;
    update_geometry();
    BUILD_PBCELLS();
}

inline void make_uniform_grid(int nx, int ny, int nz, double w = 1.0) {
    make_grid(std::vector<double>(nx, w), std::vector<double>(ny, w), std::vector<double>(nz, w));
}

// Sets every real cell of a per-cell array.
inline void fill(double* a, double value) {
    for (int k = 1; k <= griddim.NZ + 1; ++k)
        for (int j = 1; j <= griddim.NY + 1; ++j)
            for (int i = 1; i <= griddim.NX + 1; ++i) a[ARIDX(i, j, k)] = value;
}

// Blocks one cell and its six faces.
inline void block_cell(int i, int j, int k) {
    const int p = ARIDX(i, j, k);
    fields.CPR[p] = 0.0;
    fields.CPRU[p] = fields.CPRU[p + 1] = 0.0;
    fields.CPRV[p] = fields.CPRV[p + griddim.JSTRIDE] = 0.0;
    fields.CPRW[p] = fields.CPRW[p + griddim.KSTRIDE] = 0.0;
    update_geometry();
}

// Adds one pressure-boundary row over a box; returns its row number.
inline int add_pb(int i1, int i2, int j1, int j2, int k1, int k2, int face, double coef, double p, double e,
                  double t = 293.15, double c = 0.0, double c2 = 0.0) {
    const int n = ++pbtable.NPB;
    pbtable.PBI1[n] = i1;
    pbtable.PBI2[n] = i2;
    pbtable.PBJ1[n] = j1;
    pbtable.PBJ2[n] = j2;
    pbtable.PBK1[n] = k1;
    pbtable.PBK2[n] = k2;
    pbtable.PBFACE[n] = face;
    pbtable.PBCOEF[n] = coef;
    pbtable.PBP[n] = p;
    pbtable.PBEXP[n] = e;
    pbtable.PBT[n] = t;
    pbtable.PBC[n] = c;
    pbtable.PBC2[n] = c2;
    pbtable.PBON = 1;
    return n;
}

// Call once the rows of a test are in the table: builds the rows by cell.
inline void pb_done() { BUILD_PBCELLS(); }

}  // namespace tarvex::test
