// End-of-run balances: the mass and heat flows of the domain through its
// boundaries, printed on the console after a run and after saved fields are
// loaded.
//
// Heat is mass flow times absolute temperature (kg K/s), read as kW: a
// specific heat of 1 kJ/(kg K) is taken, so no factor enters.

#include <algorithm>

#include "common/channels.h"
#include "common/textfmt.h"
#include "engine/engine.h"

namespace tarvex {

namespace {

// A box limit clamped into 1..n, so that a table entry can never make the
// sums read outside the grid.
int clamp_to_grid(int value, int n) { return std::clamp(value, 1, std::max(n, 1)); }

}  // namespace

void BOUNDFLOWS(double& massin, double& massout, double& heatin, double& heatout) {
    massin = 0.0;
    massout = 0.0;
    heatin = 0.0;
    heatout = 0.0;
    const int nx = griddim.NX, ny = griddim.NY, nz = griddim.NZ;
    if (nx < 1 || ny < 1 || nz < 1) return;
    const int npb = std::min<int>(pbtable.NPB, NPBMAX);
    for (int n = 1; n <= npb; ++n) {
        // Only the cells of the box are visited, in the grid's own order
        // (k, then j, then i ascending), so the sums are those of a visit of
        // every cell that keeps the cells inside the box.
        const int i1 = clamp_to_grid(pbtable.PBI1[n], nx), i2 = clamp_to_grid(pbtable.PBI2[n], nx);
        const int j1 = clamp_to_grid(pbtable.PBJ1[n], ny), j2 = clamp_to_grid(pbtable.PBJ2[n], ny);
        const int k1 = clamp_to_grid(pbtable.PBK1[n], nz), k2 = clamp_to_grid(pbtable.PBK2[n], nz);
        if (pbtable.PBI1[n] > nx || pbtable.PBI2[n] < 1 || pbtable.PBJ1[n] > ny || pbtable.PBJ2[n] < 1 ||
            pbtable.PBK1[n] > nz || pbtable.PBK2[n] < 1)
            continue;   // the box lies wholly outside the grid
        const double tin = pbtable.PBT[n];
        for (int k = k1; k <= k2; ++k) {
            for (int j = j1; j <= j2; ++j) {
                int p = ARIDX(i1, j, k);
                for (int i = i1; i <= i2; ++i, ++p) {
                    const double m = fields.SMASS[p];
                    if (m > 0.0) {
                        massin += m;
                        heatin += m * tin;
                    } else if (m < 0.0) {
                        massout += m;
                        heatout += m * fields.T[p];
                    }
                }
            }
        }
    }
}

void ALLFLOWS(double& massin, double& massout, double& heatin, double& heatout) {
    massin = 0.0;
    massout = 0.0;
    heatin = 0.0;
    heatout = 0.0;
    const int nx = griddim.NX, ny = griddim.NY, nz = griddim.NZ;
    for (int k = 1; k <= nz; ++k) {
        for (int j = 1; j <= ny; ++j) {
            int p = ARIDX(1, j, k);
            for (int i = 1; i <= nx; ++i, ++p) {
                const double m = fields.SMASS[p];
                if (m > 0.0) {
                    massin += m;
                } else if (m < 0.0) {
                    massout += m;
                    heatout += m * fields.T[p];
                }
                const double s = fields.SCT[p];
                if (s > 0.0) {
                    heatin += s;
                } else if (s < 0.0) {
                    heatout += s;
                }
            }
        }
    }
}

void UENERGY(double& gain, double& loss) {
    gain = 0.0;
    loss = 0.0;
    const int nx = griddim.NX, ny = griddim.NY, nz = griddim.NZ;
    for (int k = 1; k <= nz; ++k) {
        for (int j = 1; j <= ny; ++j) {
            int p = ARIDX(1, j, k);
            for (int i = 1; i <= nx; ++i, ++p) {
                if (!uvaltab.UVALCELL[p]) continue;
                const double tp = fields.T[p];
                for (int f = 1; f <= 6; ++f) {
                    UvalueFace face;
                    if (!uvalue_face(p, i, j, k, f, face)) continue;
                    const double tx = uvalue_far_temperature(face);
                    const double q = (tx - tp) * face.u;
                    if (tx < tp) {
                        loss += q;
                    } else {
                        gain += q;
                    }
                }
            }
        }
    }
}

void SUMMARYEND() {
    double massin = 0.0, massout = 0.0, heatin = 0.0, heatout = 0.0;
    if (pbtable.PBON == 1) {
        BOUNDFLOWS(massin, massout, heatin, heatout);
        write_line(CH_CONSOLE, free_line(" free inflows (kg/s, kW) : ", massin, heatin));
        write_line(CH_CONSOLE, free_line(" free outflows (kg/s, kW) : ", massout, heatout));
    }
    ALLFLOWS(massin, massout, heatin, heatout);
    write_line(CH_CONSOLE, free_line(" all inflows (kg/s, kW) : ", massin, heatin));
    write_line(CH_CONSOLE, free_line(" all outflows (kg/s, kW) : ", massout, heatout));
    if (uvaltab.UVALSET) {
        UENERGY(heatin, heatout);
        write_line(CH_CONSOLE, free_line(" Uval inflow (kW) : ", heatin));
        write_line(CH_CONSOLE, free_line(" Uval outflow (kW) : ", heatout));
    }
    if (runctl.ICONC % 2 != 0) {
        write_line(CH_CONSOLE, free_line("  water condensing (g/s) : ", runctl.CONDT));
    }
}

}  // namespace tarvex
