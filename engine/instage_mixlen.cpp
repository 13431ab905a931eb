// Near-wall mixing lengths for the turbulence models that need them.
//
// Every open cell that has a closed face (open fraction exactly 0) gives a
// wall point: on each axis the coordinate of its closed face(s) on that axis,
// or its centre coordinate when both faces on that axis are open. A cell with
// closed faces on two or three axes thus has its wall point on the edge or
// corner where they meet; a cell closed on both sides of one axis gives a
// point on each side. Taking the points from the cell on either side of the
// closed face makes the set of points the same seen from every wall: the
// west, south and bottom walls are treated as the east, north and top ones,
// and the lengths of a symmetric case are symmetric.
//
// Each open cell inside a point's window (a tenth of the domain length either
// side on each axis) receives the squared distance from its centre when it is
// smaller than what it holds, so in the end every open cell holds its
// smallest squared distance to a wall point; the length is 0.419 times that
// distance, capped at 0.045 of the shortest domain length.
#include <algorithm>
#include <cmath>

#include "common/channels.h"
#include "common/textfmt.h"
#include "engine/engine.h"

namespace tarvex {

namespace {

constexpr double NO_WALL = 9.9e19;

// The cells lo..hi (1..last) whose centre c lies within w of x0, the same
// cells as testing !(|c - x0| > w) one by one; the centres ascend.
struct Range {
    int lo, hi;
};
Range window(const double* c, int last, double x0, double w) {
    // first cell not below the window, then first cell beyond it
    int a = 1, b = last + 1;
    while (a < b) {
        int mid = a + (b - a) / 2;
        if (c[mid] - x0 < -w) a = mid + 1; else b = mid;
    }
    const int lo = a;
    b = last + 1;
    while (a < b) {
        int mid = a + (b - a) / 2;
        if (c[mid] - x0 > w) b = mid; else a = mid + 1;
    }
    return {lo, a - 1};
}

// Coordinates of the wall point on one axis: the closed faces' grid lines, or
// the centre when neither face is closed. Returns how many (1 or 2).
int axis_points(bool low_closed, bool high_closed, double low, double high, double centre, double out[2]) {
    int n = 0;
    if (low_closed) out[n++] = low;
    if (high_closed) out[n++] = high;
    if (n == 0) out[n++] = centre;
    return n;
}

}  // namespace

void DIST3D() {
    const int nx = griddim.NX;
    const int ny = griddim.NY;
    const int nz = griddim.NZ;
    const int js = griddim.JSTRIDE;
    const int ks = griddim.KSTRIDE;
    const double* X = gridline.X;
    const double* Y = gridline.Y;
    const double* Z = gridline.Z;
    const double* XC = gridline.XC;
    const double* YC = gridline.YC;
    const double* ZC = gridline.ZC;
    double* xl = mixlen.XLMIX;

    write_line(CH_CONSOLE, free_line(" entering surface check"));
    const int padded = (nx + 1) * (ny + 1) * (nz + 1);
    for (int p = 1; p <= padded; ++p) xl[p] = NO_WALL;

    const double lx = X[nx], ly = Y[ny], lz = Z[nz];
    const double wx = 0.1 * lx, wy = 0.1 * ly, wz = 0.1 * lz;
    const double lmax = std::min({0.09 * 0.5 * lx, 0.09 * 0.5 * ly, 0.09 * 0.5 * lz});

    // Candidates receive the squared distance from one wall point.
    auto spread = [&](double x0, double y0, double z0) {
        const Range rk = window(ZC, nz, z0, wz);
        if (rk.lo > rk.hi) return;
        const Range rj = window(YC, ny, y0, wy);
        if (rj.lo > rj.hi) return;
        const Range ri = window(XC, nx, x0, wx);
        if (ri.lo > ri.hi) return;
        for (int kk = rk.lo; kk <= rk.hi; ++kk) {
            const double dz = ZC[kk] - z0;
            for (int jj = rj.lo; jj <= rj.hi; ++jj) {
                const double dy = YC[jj] - y0;
                int q = ARIDX(ri.lo, jj, kk);
                for (int ii = ri.lo; ii <= ri.hi; ++ii, ++q) {
                    if (fields.CPR[q] == 0.0) continue;
                    const double dx = XC[ii] - x0;
                    const double d2 = dx * dx + dy * dy + dz * dz;
                    if (d2 < xl[q]) xl[q] = d2;
                }
            }
        }
    };

    for (int k = 1; k <= nz + 1; ++k) {
        write_line(CH_CONSOLE, free_line(" working..", k, " of ", nz + 1));
        if (k > nz) continue;   // the far layer holds no open cell
        for (int j = 1; j <= ny; ++j) {
            int p = ARIDX(1, j, k);
            for (int i = 1; i <= nx; ++i, ++p) {
                if (fields.CPR[p] == 0.0) continue;
                const bool w = fields.CPRU[p] == 0.0, e = fields.CPRU[p + 1] == 0.0;
                const bool s = fields.CPRV[p] == 0.0, n = fields.CPRV[p + js] == 0.0;
                const bool b = fields.CPRW[p] == 0.0, t = fields.CPRW[p + ks] == 0.0;
                if (!(w || e || s || n || b || t)) continue;
                double xs[2], ys[2], zs[2];
                const int nxs = axis_points(w, e, X[i - 1], X[i], XC[i], xs);
                const int nys = axis_points(s, n, Y[j - 1], Y[j], YC[j], ys);
                const int nzs = axis_points(b, t, Z[k - 1], Z[k], ZC[k], zs);
                for (int a = 0; a < nzs; ++a)
                    for (int c = 0; c < nys; ++c)
                        for (int d = 0; d < nxs; ++d) spread(xs[d], ys[c], zs[a]);
            }
        }
    }

    for (int k = 1; k <= nz; ++k)
        for (int j = 1; j <= ny; ++j) {
            int p = ARIDX(1, j, k);
            for (int i = 1; i <= nx; ++i, ++p) xl[p] = std::min(0.419 * std::sqrt(xl[p]), lmax);
        }

    write_line(CH_CONSOLE, free_line(" done"));
}

}  // namespace tarvex
