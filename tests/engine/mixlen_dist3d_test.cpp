// Near-wall mixing lengths: progress lines, the lengths next to walls, the
// search window, symmetry, and agreement with a search over every pair.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "open_box_fixture.h"
#include "common/channels.h"
#include "engine/engine.h"

namespace tarvex {
namespace {

using openbox::OpenBoxGrid;

double lmax_of() {
    return std::min({0.045 * gridline.X[griddim.NX], 0.045 * gridline.Y[griddim.NY], 0.045 * gridline.Z[griddim.NZ]});
}

double xl(int i, int j, int k) { return mixlen.XLMIX[ARIDX(i, j, k)]; }

std::vector<std::string> run_dist3d() {
    CaptureSink sink;
    ScopedChannelSink bind(CH_CONSOLE, &sink);
    DIST3D();
    return sink.lines();
}

TEST(Dist3d, ProgressLines) {
    OpenBoxGrid g({0.5, 0.5, 0.5, 0.5}, {0.5, 0.5, 0.5}, {0.5, 0.5});
    const std::vector<std::string> expected = {"  entering surface check", "  working.. 1  of  3",
                                               "  working.. 2  of  3", "  working.. 3  of  3", "  done"};
    EXPECT_EQ(run_dist3d(), expected);
}

TEST(Dist3d, LengthsNextToWalls) {
    // 10 m cube of 1 m cells, finer first cells along x and y: the window is
    // 1 m either side, the cap 0.45 m.
    std::vector<double> w(10, 1.0);
    std::vector<double> wx = w, wy = w;
    wx[0] = 0.25;
    wx[1] = 1.75;
    wy[0] = 0.5;
    wy[1] = 1.5;
    OpenBoxGrid g(wx, wy, w);
    run_dist3d();
    const double lmax = 0.45;
    ASSERT_DOUBLE_EQ(lmax_of(), lmax);

    // West wall cell with its other faces open: its own half width.
    EXPECT_DOUBLE_EQ(xl(1, 5, 5), 0.419 * 0.125);
    // Corner of the west and south walls: the diagonal to the edge.
    EXPECT_DOUBLE_EQ(xl(1, 1, 5), 0.419 * std::sqrt(0.125 * 0.125 + 0.25 * 0.25));
    // The same corner seen from the east wall, and the bottom corner.
    EXPECT_DOUBLE_EQ(xl(10, 1, 5), 0.419 * std::sqrt(0.5 * 0.5 + 0.25 * 0.25));
    EXPECT_DOUBLE_EQ(xl(1, 1, 1), 0.419 * std::sqrt(0.125 * 0.125 + 0.25 * 0.25 + 0.5 * 0.5));
    // South wall cell away from the corners: half of 0.5 m.
    EXPECT_DOUBLE_EQ(xl(5, 1, 5), 0.419 * 0.25);
    // Top wall: half of 1 m gives 0.2095, below the cap.
    EXPECT_DOUBLE_EQ(xl(5, 5, 10), 0.419 * 0.5);
    // Inner cells are beyond every window: the cap.
    EXPECT_DOUBLE_EQ(xl(5, 5, 5), lmax);
    EXPECT_DOUBLE_EQ(xl(3, 5, 5), lmax);
}

TEST(Dist3d, BlockedCellsAreWallsAndGetTheCap) {
    // A 4 m cube of 0.5 m cells with one blocked cell inside.
    std::vector<double> w(8, 0.5);
    OpenBoxGrid g(w, w, w);
    g.block(4, 4, 4);
    g.finish();
    run_dist3d();
    const double lmax = 0.18;
    EXPECT_DOUBLE_EQ(xl(4, 4, 4), lmax);
    // Its six open neighbours see a wall half a cell away, whichever side
    // of the blocked cell they are on.
    for (auto [i, j, k] : std::vector<std::array<int, 3>>{
             {3, 4, 4}, {5, 4, 4}, {4, 3, 4}, {4, 5, 4}, {4, 4, 3}, {4, 4, 5}})
        EXPECT_DOUBLE_EQ(xl(i, j, k), 0.419 * 0.25) << i << j << k;
}

// Cell (4, 4, 4) lies in the middle of a 20 x 20 x 10 m domain, d above a
// closed horizontal plane at z = 5 m; the window in z is 1 m.
void plate_case(double d) {
    std::vector<double> w(8, 2.5);
    const double h = 0.0625;
    OpenBoxGrid g(w, w, {2.5, 2.5, d - h, 2 * h, 10.0 - (5.0 + d + h)});
    for (int j = 1; j <= 8; ++j)
        for (int i = 1; i <= 8; ++i) fields.CPRW[ARIDX(i, j, 3)] = 0.0;
    g.finish();
    ASSERT_DOUBLE_EQ(gridline.ZC[4], 5.0 + d);
    run_dist3d();
}

TEST(Dist3d, SearchWindowInZ) {
    // Exactly at the window's edge the plate is seen.
    plate_case(1.0);
    EXPECT_DOUBLE_EQ(xl(4, 4, 4), 0.419 * 1.0);
    // Just beyond it the plate is not looked at, although 0.419 times the
    // distance would still be below the cap.
    plate_case(1.0625);
    ASSERT_LT(0.419 * 1.0625, 0.45);
    EXPECT_DOUBLE_EQ(xl(4, 4, 4), 0.45);
}

TEST(Dist3d, OneCellInZ) {
    OpenBoxGrid g({1, 1, 1, 1, 1}, {1, 1, 1, 1, 1}, {0.25});
    run_dist3d();
    const double lmax = 0.045 * 0.25;
    for (int j = 1; j <= 5; ++j)
        for (int i = 1; i <= 5; ++i) EXPECT_DOUBLE_EQ(xl(i, j, 1), lmax);
}

TEST(Dist3d, MirrorSymmetricBox) {
    // Widths, an obstacle and a baffle, all symmetric about the three middle
    // planes; the widths are exact binary numbers, so the mirrored distances
    // are exactly equal.
    OpenBoxGrid g({0.125, 0.25, 0.5, 0.125, 0.125, 0.5, 0.25, 0.125}, {0.125, 0.25, 0.25, 0.25, 0.25, 0.125},
              {0.125, 0.25, 0.125, 0.125, 0.25, 0.125});
    const int nx = 8, ny = 6, nz = 6;
    for (int k = 3; k <= 4; ++k)
        for (int j = 3; j <= 4; ++j) g.block(3, j, k), g.block(6, j, k);
    for (int j = 1; j <= ny; ++j) fields.CPRU[ARIDX(5, j, 1)] = fields.CPRU[ARIDX(5, j, nz)] = 0.0;
    g.finish();
    run_dist3d();

    int below_cap = 0;
    const double lmax = lmax_of();
    for (int k = 1; k <= nz; ++k)
        for (int j = 1; j <= ny; ++j)
            for (int i = 1; i <= nx; ++i) {
                const double v = xl(i, j, k);
                EXPECT_EQ(v, xl(nx + 1 - i, j, k)) << i << ',' << j << ',' << k;
                EXPECT_EQ(v, xl(i, ny + 1 - j, k)) << i << ',' << j << ',' << k;
                EXPECT_EQ(v, xl(i, j, nz + 1 - k)) << i << ',' << j << ',' << k;
                if (v < lmax) ++below_cap;
            }
    // Not trivially symmetric: most cells of the first layer along the walls
    // (192 cells) are below the cap.
    EXPECT_GT(below_cap, 150);
}

// Search over every wall point and every open cell, testing the window of
// each pair: what the windowed search must reproduce.
std::vector<double> every_pair_lengths() {
    const int nx = griddim.NX, ny = griddim.NY, nz = griddim.NZ;
    const double* X = gridline.X;
    const double* Y = gridline.Y;
    const double* Z = gridline.Z;
    const double* XC = gridline.XC;
    const double* YC = gridline.YC;
    const double* ZC = gridline.ZC;
    const double wx = 0.1 * X[nx], wy = 0.1 * Y[ny], wz = 0.1 * Z[nz];
    std::vector<double> d2((nx + 1) * (ny + 1) * (nz + 1) + 1, 9.9e19);
    auto closed = [](const double* a, int p) { return a[p] == 0.0; };
    for (int k = 1; k <= nz; ++k)
        for (int j = 1; j <= ny; ++j)
            for (int i = 1; i <= nx; ++i) {
                const int p = ARIDX(i, j, k);
                if (fields.CPR[p] == 0.0) continue;
                std::vector<double> xs, ys, zs;
                if (closed(fields.CPRU, p)) xs.push_back(X[i - 1]);
                if (closed(fields.CPRU, p + 1)) xs.push_back(X[i]);
                if (closed(fields.CPRV, p)) ys.push_back(Y[j - 1]);
                if (closed(fields.CPRV, p + griddim.JSTRIDE)) ys.push_back(Y[j]);
                if (closed(fields.CPRW, p)) zs.push_back(Z[k - 1]);
                if (closed(fields.CPRW, p + griddim.KSTRIDE)) zs.push_back(Z[k]);
                if (xs.empty() && ys.empty() && zs.empty()) continue;
                if (xs.empty()) xs.push_back(XC[i]);
                if (ys.empty()) ys.push_back(YC[j]);
                if (zs.empty()) zs.push_back(ZC[k]);
                for (double z0 : zs)
                    for (double y0 : ys)
                        for (double x0 : xs)
                            for (int kk = 1; kk <= nz; ++kk)
                                for (int jj = 1; jj <= ny; ++jj)
                                    for (int ii = 1; ii <= nx; ++ii) {
                                        const int q = ARIDX(ii, jj, kk);
                                        const double dx = XC[ii] - x0, dy = YC[jj] - y0, dz = ZC[kk] - z0;
                                        if (std::fabs(dz) > wz || std::fabs(dy) > wy || std::fabs(dx) > wx) continue;
                                        if (fields.CPR[q] == 0.0) continue;
                                        const double d = dx * dx + dy * dy + dz * dz;
                                        if (d < d2[q]) d2[q] = d;
                                    }
            }
    const double lmax = std::min({0.09 * 0.5 * X[nx], 0.09 * 0.5 * Y[ny], 0.09 * 0.5 * Z[nz]});
    std::vector<double> out;
    for (int k = 1; k <= nz; ++k)
        for (int j = 1; j <= ny; ++j)
            for (int i = 1; i <= nx; ++i) out.push_back(std::min(0.419 * std::sqrt(d2[ARIDX(i, j, k)]), lmax));
    return out;
}

std::vector<double> real_cell_lengths() {
    std::vector<double> out;
    for (int k = 1; k <= griddim.NZ; ++k)
        for (int j = 1; j <= griddim.NY; ++j)
            for (int i = 1; i <= griddim.NX; ++i) out.push_back(xl(i, j, k));
    return out;
}

TEST(Dist3d, WindowedSearchMatchesEveryPairAndRepeats) {
    // Uneven widths (centres landing on and near the window edges), blocked
    // cells and closed inner faces.
    std::vector<double> wx, wy, wz;
    for (int i = 0; i < 13; ++i) wx.push_back(0.1 + 0.037 * ((i * 7) % 5));
    for (int j = 0; j < 11; ++j) wy.push_back(j % 3 == 0 ? 0.05 : 0.2);
    for (int k = 0; k < 9; ++k) wz.push_back(0.3 - 0.02 * k);
    OpenBoxGrid g(wx, wy, wz);
    for (int k = 2; k <= 4; ++k) g.block(5, 6, k);
    g.block(10, 2, 7);
    for (int j = 3; j <= 8; ++j) fields.CPRV[ARIDX(8, j, 5)] = 0.0;
    fields.CPRW[ARIDX(2, 9, 6)] = 0.0;
    g.finish();

    // Stale values from an earlier call must not matter.
    for (int p = 1; p <= 14 * 12 * 10; ++p) mixlen.XLMIX[p] = 1.0e-3;
    run_dist3d();
    const std::vector<double> once = real_cell_lengths();
    EXPECT_EQ(once, every_pair_lengths());
    run_dist3d();
    EXPECT_EQ(real_cell_lengths(), once);
}

}  // namespace
}  // namespace tarvex
