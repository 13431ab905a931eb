// Pressure-boundary flows: the power law, the cell sources and totals that
// USRSUB2 writes, and the rows by cell against a test of every row.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "engine/pbcells.h"
#include "open_box_fixture.h"

namespace tarvex {
namespace {

using openbox::OpenBoxGrid;

int at(int i, int j, int k) { return ARIDX(i, j, k); }

struct Row {
    int i1, i2, j1, j2, k1, k2, face;
    double coef, p, expo, t, c, c2;
};

void set_table(const std::vector<Row>& rows) {
    pbtable.NPB = static_cast<int>(rows.size());
    pbtable.PBON = rows.empty() ? 0 : 1;
    for (size_t r = 0; r < rows.size(); ++r) {
        const int n = static_cast<int>(r) + 1;
        const Row& x = rows[r];
        pbtable.PBI1[n] = x.i1, pbtable.PBI2[n] = x.i2;
        pbtable.PBJ1[n] = x.j1, pbtable.PBJ2[n] = x.j2;
        pbtable.PBK1[n] = x.k1, pbtable.PBK2[n] = x.k2;
        pbtable.PBFACE[n] = x.face;
        pbtable.PBCOEF[n] = x.coef, pbtable.PBP[n] = x.p, pbtable.PBEXP[n] = x.expo;
        pbtable.PBT[n] = x.t, pbtable.PBC[n] = x.c, pbtable.PBC2[n] = x.c2;
    }
    BUILD_PBCELLS();
}

TEST(PbPowerLaw, InflowOutflowAndExponents) {
    struct Case {
        const char* what;
        double coef, dp, expo, m;
    };
    // density 1.2 kg/m3, area 2 m2
    const std::vector<Case> cases = {
        {"inflow, square root", 0.6, 4.0, 0.5, 1.2 * 0.6 * 2.0 * 2.0},
        {"outflow, square root", 0.6, -4.0, 0.5, -1.2 * 0.6 * 2.0 * 2.0},
        {"equal pressures", 0.6, 0.0, 0.5, 0.0},
        {"exponent 0, equal pressures: inflow", 0.6, 0.0, 0.0, 1.2 * 0.6 * 2.0},
        {"exponent 0, outflow", 0.6, -3.0, 0.0, -1.2 * 0.6 * 2.0},
        {"exponent 1, linear", 0.6, 2.5, 1.0, 1.2 * 0.6 * 2.0 * 2.5},
        {"exponent 1, linear outflow", 0.6, -2.5, 1.0, -1.2 * 0.6 * 2.0 * 2.5},
        {"coefficient 0", 0.0, 7.0, 0.5, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const double m = pb_power_law(1.2, c.coef, 2.0, c.dp, c.expo);
        EXPECT_DOUBLE_EQ(m, c.m);
        if (c.m == 0.0) {
            EXPECT_FALSE(std::signbit(m));
        }
    }
    // The row form takes outside minus inside pressure.
    set_table({{1, 1, 1, 1, 1, 1, 1, 0.5, 10.0, 1.0, 0, 0, 0}});
    EXPECT_DOUBLE_EQ(pb_flow(1, 1.2, 4.0, 3.0), 1.2 * 0.5 * 3.0 * 6.0);
    EXPECT_DOUBLE_EQ(pb_flow(1, 1.2, 16.0, 3.0), -1.2 * 0.5 * 3.0 * 6.0);
}

// A 4 x 3 x 2 grid of uneven cells, P = 1 Pa and DEN = 1.2 kg/m3 in every
// open cell; cell (1,2,1) is blocked (its density stays 0).
class PbFlowCase : public ::testing::Test {
protected:
    void SetUp() override {
        grid_ = std::make_unique<OpenBoxGrid>(std::vector<double>{0.5, 1, 1, 2}, std::vector<double>{1, 0.5, 2},
                                              std::vector<double>{1.5, 1});
        grid_->block(1, 2, 1);
        grid_->finish();
        for (int k = 1; k <= 2; ++k)
            for (int j = 1; j <= 3; ++j)
                for (int i = 1; i <= 4; ++i) {
                    const int p = at(i, j, k);
                    fields.P[p] = 1.0;
                    fields.DEN[p] = fields.CPR[p] == 0.0 ? 0.0 : 1.2;
                    for (double* a : sources()) a[p] = -77.0;   // what the case file left
                    fields.SCU[p] = -77.0;
                }
        domsums.FLOWIN = 123.0;
        domsums.FLOWOUT = -45.0;
        // 1: west face of column i = 1, outside 10 Pa: m = 1.2 * 0.5 * A * 3
        // 2: east face of (4, 2..3, 1), outside -5 Pa, linear: m = -1.2 * 0.8 * A * 6
        // 3: north face of (1..2, 3, 2), outside equal to inside: m = 0
        rows_ = {{1, 1, 1, 3, 1, 2, 1, 0.5, 10.0, 0.5, 280.0, 0.001, 0.004},
                 {4, 4, 2, 3, 1, 1, 2, 0.8, -5.0, 1.0, 300.0, 0.002, 0.005},
                 {1, 2, 3, 3, 2, 2, 4, 0.3, 1.0, 1.0, 290.0, 0.003, 0.006}};
    }
    static std::vector<double*> sources() {
        return {fields.SMASS, fields.SPT, fields.SCT, fields.SPC, fields.SCC, c2eq.SPC2, c2eq.SCC2};
    }
    static void expect_sources(int i, int j, int k, double m, double t, double c, double c2) {
        SCOPED_TRACE(::testing::Message() << "cell " << i << ',' << j << ',' << k);
        const int p = at(i, j, k);
        EXPECT_NEAR(fields.SMASS[p], m, 1e-13);
        const double in = m > 0.0 ? m : 0.0;
        EXPECT_NEAR(fields.SPT[p], in, 1e-13);
        EXPECT_NEAR(fields.SCT[p], in * t, 1e-10);
        EXPECT_NEAR(fields.SPC[p], in, 1e-13);
        EXPECT_NEAR(fields.SCC[p], in * c, 1e-15);
        EXPECT_NEAR(c2eq.SPC2[p], in, 1e-13);
        EXPECT_NEAR(c2eq.SCC2[p], in * c2, 1e-15);
    }
    std::unique_ptr<OpenBoxGrid> grid_;
    std::vector<Row> rows_;
};

TEST_F(PbFlowCase, SourcesAndTotals) {
    set_table(rows_);
    USRSUB2();
    // Row 1, areas DY * DZ: 1.5, blocked, 3 (k = 1); 1, 0.5 (k = 2).
    expect_sources(1, 1, 1, 2.7, 280.0, 0.001, 0.004);   // replaces the case's inflow
    expect_sources(1, 2, 1, 0.0, 0, 0, 0);               // blocked: density 0, no flow
    expect_sources(1, 3, 1, 5.4, 280.0, 0.001, 0.004);
    expect_sources(1, 1, 2, 1.8, 280.0, 0.001, 0.004);
    expect_sources(1, 2, 2, 0.9, 280.0, 0.001, 0.004);
    // (1,3,2) is in rows 1 and 3: the later row's zero flow stands.
    expect_sources(1, 3, 2, 0.0, 0, 0, 0);
    expect_sources(2, 3, 2, 0.0, 0, 0, 0);
    // Row 2, air leaving: no scalar sources.
    expect_sources(4, 2, 1, -1.2 * 0.8 * 0.75 * 6.0, 0, 0, 0);
    expect_sources(4, 3, 1, -1.2 * 0.8 * 3.0 * 6.0, 0, 0, 0);
    // Both flows of (1,3,2) count: 2.7 + 5.4 + 1.8 + 0.9 + 3.6.
    EXPECT_NEAR(domsums.FLOWIN, 14.4, 1e-13);
    EXPECT_NEAR(domsums.FLOWOUT, -21.6, 1e-13);
    // Cells in no box, and the momentum sources, are left alone.
    for (double* a : sources()) EXPECT_EQ(a[at(2, 2, 1)], -77.0);
    EXPECT_EQ(fields.SCU[at(1, 1, 1)], -77.0);
}

TEST_F(PbFlowCase, NothingWithoutBoundaries) {
    set_table(rows_);
    pbtable.PBON = 0;
    USRSUB2();
    for (int p = 1; p <= 5 * 4 * 3; ++p)
        if (fields.CPR[p] != 0.0) {
            ASSERT_EQ(fields.SMASS[p], -77.0);
        }
    EXPECT_EQ(domsums.FLOWIN, 123.0);
    EXPECT_EQ(domsums.FLOWOUT, -45.0);
}

TEST_F(PbFlowCase, FaceCodesTakeTheirFaceArea) {
    // One cell (3,2,2): DX 1, DY 0.5, DZ 1; flow per unit area with exponent
    // 0: 1.2 * coefficient 1.
    const double areas[7] = {0, 0.5, 0.5, 1.0, 1.0, 0.5, 0.5};
    for (int face = 1; face <= 6; ++face) {
        set_table({{3, 3, 2, 2, 2, 2, face, 1.0, 5.0, 0.0, 280, 0, 0}});
        USRSUB2();
        EXPECT_DOUBLE_EQ(fields.SMASS[at(3, 2, 2)], 1.2 * areas[face]) << face;
        EXPECT_DOUBLE_EQ(pb_face_area(face, 3, 2, 2), areas[face]);
    }
}

// Rows of every cell by testing every row of the table.
std::vector<int> every_row(int i, int j, int k) {
    std::vector<int> out;
    for (int n = 1; n <= pbtable.NPB; ++n)
        if (pbtable.PBI1[n] <= i && i <= pbtable.PBI2[n] && pbtable.PBJ1[n] <= j && j <= pbtable.PBJ2[n] &&
            pbtable.PBK1[n] <= k && k <= pbtable.PBK2[n])
            out.push_back(n);
    return out;
}

uint32_t next_random(uint32_t& s) {
    s = s * 1664525u + 1013904223u;
    return s >> 8;
}

TEST(PbCells, RowsByCellMatchEveryRowInTableOrder) {
    OpenBoxGrid g({1, 1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 1}, {1, 1, 1, 1});
    uint32_t seed = 12345;
    std::vector<Row> rows;
    for (int n = 0; n < NPBMAX; ++n) {
        auto r = [&](int lo, int hi) { return lo + static_cast<int>(next_random(seed) % (hi - lo + 1)); };
        Row x{};
        // Mostly boxes inside the grid, some reaching beyond it or given
        // high-to-low (empty), as a table filled by hand might hold.
        x.i1 = r(0, 8), x.i2 = r(0, 8), x.j1 = r(0, 6), x.j2 = r(0, 6), x.k1 = r(0, 5), x.k2 = r(0, 5);
        if (n % 3 != 0) {
            if (x.i1 > x.i2) std::swap(x.i1, x.i2);
            if (x.j1 > x.j2) std::swap(x.j1, x.j2);
            if (x.k1 > x.k2) std::swap(x.k1, x.k2);
        }
        x.face = 1 + n % 6;
        rows.push_back(x);
    }
    set_table(rows);
    int covered = 0;
    for (int k = 1; k <= 4; ++k)
        for (int j = 1; j <= 5; ++j)
            for (int i = 1; i <= 7; ++i) {
                std::vector<int> got;
                for (int n : pb_rows(i, j, k)) got.push_back(n);
                ASSERT_EQ(got, every_row(i, j, k)) << i << ',' << j << ',' << k;
                std::vector<int> visited;
                for_pb_rows(i, j, k, [&](int n) { visited.push_back(n); });
                ASSERT_EQ(visited, got);
                covered += got.empty() ? 0 : 1;
                EXPECT_EQ(pb_rows(i, j, k).empty(), got.empty());
                for (int n = 1; n <= NPBMAX; ++n)
                    ASSERT_EQ(pb_rows(i, j, k).contains(n), std::find(got.begin(), got.end(), n) != got.end());
            }
    EXPECT_GT(covered, 0);
    // Outside the grid, the far layer included, no cell has rows.
    EXPECT_TRUE(pb_rows(8, 1, 1).empty());
    EXPECT_TRUE(pb_rows(0, 1, 1).empty());
    EXPECT_TRUE(pb_rows(1, 6, 1).empty());
    EXPECT_TRUE(pb_rows(1, 1, 5).empty());

    // A table emptied, as the case reader does before its sections.
    pbtable.NPB = 0;
    BUILD_PBCELLS();
    for (int k = 1; k <= 4; ++k)
        for (int j = 1; j <= 5; ++j)
            for (int i = 1; i <= 7; ++i) ASSERT_TRUE(pb_rows(i, j, k).empty());
}

TEST(PbCells, FullTableOverTheWholeGridMatchesTheFullLoop) {
    // Every row of a full table covers the whole grid: USRSUB2 must give
    // exactly the sources and totals of visiting every cell and every row.
    std::vector<double> w(9, 0.3);
    OpenBoxGrid g(w, {0.2, 0.4, 0.3, 0.5, 0.1, 0.6, 0.2}, {0.7, 0.3, 0.5, 0.4, 0.2});
    g.block(4, 4, 3);
    g.finish();
    const int nx = 9, ny = 7, nz = 5;
    std::vector<Row> rows;
    for (int n = 1; n <= NPBMAX; ++n)
        rows.push_back({1, nx, 1, ny, 1, nz, 1 + n % 6, 0.01 * (n % 97), 0.37 * ((n * 13) % 29) - 5.0,
                        0.05 * (n % 21), 273.15 + n % 40, 1e-4 * (n % 7), 1e-3 * (n % 11)});
    set_table(rows);
    for (int k = 1; k <= nz; ++k)
        for (int j = 1; j <= ny; ++j)
            for (int i = 1; i <= nx; ++i) {
                const int p = at(i, j, k);
                fields.DEN[p] = fields.CPR[p] == 0.0 ? 0.0 : 353.0487804878049 / (280.0 + 0.1 * ((i + 3 * j + 7 * k) % 50));
                fields.P[p] = 0.013 * ((i * 5 + j * 11 + k * 17) % 31) - 0.2;
            }

    double min_ref = 0.0, mout_ref = 0.0;
    std::vector<double> smass(600, 0.0), sct(600, 0.0), scc2(600, 0.0);
    for (int k = 1; k <= nz; ++k)
        for (int j = 1; j <= ny; ++j)
            for (int i = 1; i <= nx; ++i)
                for (int n = 1; n <= pbtable.NPB; ++n) {
                    const int p = at(i, j, k);
                    const int f = pbtable.PBFACE[n];
                    const double a = f <= 2 ? fields.DY[j] * fields.DZ[k]
                                   : f <= 4 ? fields.DX[i] * fields.DZ[k]
                                            : fields.DX[i] * fields.DY[j];
                    const double dp = pbtable.PBP[n] - fields.P[p];
                    const double m = (dp < 0 ? -1.0 : 1.0) * fields.DEN[p] * pbtable.PBCOEF[n] * a *
                                     std::pow(std::fabs(dp), pbtable.PBEXP[n]);
                    smass[p] = m;
                    if (m > 0) min_ref += m;
                    if (m < 0) mout_ref += m;
                    sct[p] = m > 0 ? m * pbtable.PBT[n] : 0.0;
                    scc2[p] = m > 0 ? m * pbtable.PBC2[n] : 0.0;
                }
    USRSUB2();
    EXPECT_EQ(domsums.FLOWIN, min_ref);
    EXPECT_EQ(domsums.FLOWOUT, mout_ref);
    EXPECT_GT(domsums.FLOWIN, 0.0);
    EXPECT_LT(domsums.FLOWOUT, 0.0);
    for (int k = 1; k <= nz; ++k)
        for (int j = 1; j <= ny; ++j)
            for (int i = 1; i <= nx; ++i) {
                const int p = at(i, j, k);
                ASSERT_EQ(fields.SMASS[p], smass[p]);
                ASSERT_EQ(fields.SCT[p], sct[p]);
                ASSERT_EQ(c2eq.SCC2[p], scc2[p]);
            }
}

}  // namespace
}  // namespace tarvex
