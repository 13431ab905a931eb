// Neighbour coefficients shared by every equation, the effective viscosity of
// the three turbulence models, and the mass imbalance of each cell.
//
// Hybrid differencing: on a face with mass flow F (positive in the positive
// coordinate direction) and conductance D, the high-side coefficient is
// max(|F/2|, D) - F/2 and the low-side one max(|F/2|, D) + F/2, that is
// central differencing up to a cell Peclet number |F|/D of 2 and upwind
// without diffusion above it.
#include <algorithm>
#include <cmath>

#include "engine/engine.h"

namespace tarvex {

namespace {

inline double high_side(double f, double d) { return std::max(std::fabs(f / 2.0), d) - f / 2.0; }
inline double low_side(double f, double d) { return std::max(std::fabs(f / 2.0), d) + f / 2.0; }

// Largest of the forward and backward gradient estimates of phi along one
// direction: c the centre coordinates (c[0] = 0 the low wall, c[last+1] the
// high wall), m the cell's position along it, step the index step. Beyond
// the first and last cells phi is 0 on the boundary grid line.
inline double gradient(const double* phi, int p, int step, const double* c, int m, int last) {
    const double fwd = m < last ? std::fabs((phi[p] - phi[p + step]) / (c[m] - c[m + 1]))
                                : std::fabs(phi[p] / (c[last] - c[last + 1]));
    const double bwd = m > 1 ? std::fabs((phi[p] - phi[p - step]) / (c[m] - c[m - 1]))
                             : std::fabs(phi[p] / c[1]);
    return std::max(fwd, bwd);
}

}  // namespace

void SUBC() {
    const int nx = griddim.NX;
    const int ny = griddim.NY;
    const int nz = griddim.NZ;
    const int js = griddim.JSTRIDE;
    const int ks = griddim.KSTRIDE;
    const int model = runctl.ITURB;
    const double viseff = runctl.VISEFF;
    const double visc = runctl.VISC;
    const double dens = runctl.DENS;
    const double* xc = gridline.XC;
    const double* yc = gridline.YC;
    const double* zc = gridline.ZC;
    const double* U = fields.U;
    const double* V = fields.V;
    const double* W = fields.W;

    double visp = viseff;   // model 1: the same for every cell
    for (int k = 1; k <= nz; ++k) {
        for (int j = 1; j <= ny; ++j) {
            int p = ARIDX(1, j, k);
            for (int i = 1; i <= nx; ++i, ++p) {
                if (fields.CPR[p] == 0.0) continue;

                if (model == 2) {
                    visp = viseff * mixlen.XLMIX[p] * std::sqrt(U[p] * U[p] + V[p] * V[p] + W[p] * W[p]) + visc;
                } else if (model == 3) {
                    const double grx = std::max(gradient(V, p, 1, xc, i, nx), gradient(W, p, 1, xc, i, nx));
                    const double gry = std::max(gradient(U, p, js, yc, j, ny), gradient(W, p, js, yc, j, ny));
                    const double grz = std::max(gradient(U, p, ks, zc, k, nz), gradient(V, p, ks, zc, k, nz));
                    const double xl = mixlen.XLMIX[p];
                    visp = dens * (xl * xl) * ((grx + gry + grz) / 3.0) / 1.4 + visc;
                }

                double fn = 0.0, dn = 0.0, fs = 0.0, ds = 0.0;
                double fe = 0.0, de = 0.0, fw = 0.0, dw = 0.0;
                double ft = 0.0, dt = 0.0, fb = 0.0, db = 0.0;
                if (j < ny) {
                    const int n = p + js;
                    fn = fields.DENV[n] * fields.AREAV[n] * V[n];
                    dn = visp * fields.AREAV[n] / (yc[j + 1] - yc[j]);
                }
                if (j > 1) {
                    fs = fields.DENV[p] * fields.AREAV[p] * V[p];
                    ds = visp * fields.AREAV[p] / (yc[j] - yc[j - 1]);
                }
                if (i < nx) {
                    const int e = p + 1;
                    fe = fields.DENU[e] * fields.AREAU[e] * U[e];
                    de = visp * fields.AREAU[e] / (xc[i + 1] - xc[i]);
                }
                if (i > 1) {
                    fw = fields.DENU[p] * fields.AREAU[p] * U[p];
                    dw = visp * fields.AREAU[p] / (xc[i] - xc[i - 1]);
                }
                if (k < nz) {
                    const int t = p + ks;
                    ft = fields.DENW[t] * fields.AREAW[t] * W[t];
                    dt = visp * fields.AREAW[t] / (zc[k + 1] - zc[k]);
                }
                if (k > 1) {
                    fb = fields.DENW[p] * fields.AREAW[p] * W[p];
                    db = visp * fields.AREAW[p] / (zc[k] - zc[k - 1]);
                }

                coefs.AN[p] = high_side(fn, dn);
                coefs.AS[p] = low_side(fs, ds);
                coefs.AE[p] = high_side(fe, de);
                coefs.AW[p] = low_side(fw, dw);
                coefs.AT[p] = high_side(ft, dt);
                coefs.AB[p] = low_side(fb, db);

                const double mimb = fw - fe + fs - fn + fb - ft + fields.SMASS[p];
                fields.MIMB[p] = mimb;
                runctl.RM0 += std::fabs(mimb);
                resid.RESM[p] = std::fabs(mimb);
            }
        }
    }
}

}  // namespace tarvex
