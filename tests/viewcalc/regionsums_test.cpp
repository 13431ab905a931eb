// The Region Viewer's sums: a hand-computed row of three cells, a box with
// no open cell, corners in either order, cells in two pressure-boundary
// boxes, fixed and coupled U-value faces, and the whole of the example room
// after a few iterations against the engine's own balances.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "common/channels.h"
#include "common/textfmt.h"
#include "engine/data.h"
#include "engine/engine.h"
#include "engine/open_box_fixture.h"
#include "frontend/calc/regionsums.h"

namespace tarvex {
namespace {

namespace fs = std::filesystem;

std::string f3(double v) { return fmt_f(v, 12, 3); }

// Clears the pressure-boundary table and the U-value surfaces of the grid
// just laid out.
void no_boundaries() {
    pbtable.NPB = 0;
    pbtable.PBON = 0;
    BUILD_PBCELLS();
}

// A row of three cubes of 1 m, inner faces open: cells 1 and 2 at
// 293.15 K and 303.15 K, the two inner faces (U at cells 2 and 3) at face
// density 1.2.
class RowOfThree : public ::testing::Test {
protected:
    void SetUp() override {
        no_boundaries();
        for (int i = 1; i <= 3; ++i) {
            const int p = ARIDX(i, 1, 1);
            fields.DEN[p] = fields.DENU[p] = fields.DENV[p] = fields.DENW[p] = 1.2;
        }
        fields.T[ARIDX(1, 1, 1)] = 293.15;
        fields.T[ARIDX(2, 1, 1)] = 303.15;
        fields.T[ARIDX(3, 1, 1)] = 313.15;
    }
    void set_inner_faces(double u2, double u3) {
        fields.U[ARIDX(2, 1, 1)] = u2;
        fields.U[ARIDX(3, 1, 1)] = u3;
    }
    openbox::OpenBoxGrid grid{{1.0, 1.0, 1.0}, {1.0}, {1.0}};
};

TEST_F(RowOfThree, SideFlowsOfTheMiddleCell) {
    struct Case {
        const char* label;
        double u2, u3;
        const char *in, *out, *heat_in, *heat_out, *plane_pos, *plane_neg;
    };
    const Case cases[] = {
        // In through the west face at the west cell's temperature, out
        // through the east face at the cell's own.
        {"through, eastwards", 0.5, 0.5, "       0.600", "      -0.600", "     175.890", "    -181.890",
         "       0.600", "       0.000"},
        // Both faces bring air in: the east face at the east cell's temperature.
        {"in from both sides", 0.5, -0.5, "       1.200", "       0.000", "     363.780", "       0.000",
         "       0.000", "       0.000"},
        {"out at both sides", -0.5, 0.5, "       0.000", "      -1.200", "       0.000", "    -363.780",
         "       0.000", "       0.000"},
        {"through, westwards", -0.5, -0.5, "       0.600", "      -0.600", "     187.890", "    -181.890",
         "       0.000", "      -0.600"},
        {"still air", 0.0, 0.0, "       0.000", "       0.000", "       0.000", "       0.000", "       0.000",
         "       0.000"},
    };
    for (const Case& c : cases) {
        set_inner_faces(c.u2, c.u3);
        const RegionSums r = region_sums({2, 1, 1, 2, 1, 1});
        EXPECT_EQ(f3(r.total_mass.in), c.in) << c.label;
        EXPECT_EQ(f3(r.total_mass.out), c.out) << c.label;
        EXPECT_EQ(f3(r.side_heat.in), c.heat_in) << c.label;
        EXPECT_EQ(f3(r.side_heat.out), c.heat_out) << c.label;
        // A single cell: all three mid-planes, the JK one with the mean of
        // the west and east flows.
        EXPECT_TRUE(r.plane_i.marked && r.plane_j.marked && r.plane_k.marked) << c.label;
        EXPECT_EQ(f3(r.plane_i.positive), c.plane_pos) << c.label;
        EXPECT_EQ(f3(r.plane_i.negative), c.plane_neg) << c.label;
        EXPECT_EQ(r.plane_j.positive, 0.0);
        EXPECT_EQ(r.plane_k.positive, 0.0);
        EXPECT_GE(r.total_mass.in, 0.0);
        EXPECT_LE(r.total_mass.out, 0.0);
    }
}

TEST_F(RowOfThree, PlaneMarksFollowTheThicknessOfTheBox) {
    set_inner_faces(0.5, 0.5);
    struct Case {
        RegionBox box;
        bool i, j, k;
    };
    const Case cases[] = {
        {{1, 1, 1, 3, 1, 1}, false, true, true},   // the whole row: thick in I only
        {{2, 1, 1, 3, 1, 1}, false, true, true},
        {{3, 1, 1, 3, 1, 1}, true, true, true},
    };
    for (const Case& c : cases) {
        const RegionSums r = region_sums(c.box);
        EXPECT_EQ(r.plane_i.marked, c.i) << c.box.i1 << ".." << c.box.i2;
        EXPECT_EQ(r.plane_j.marked, c.j);
        EXPECT_EQ(r.plane_k.marked, c.k);
    }
    // The whole row: no side carries a flow, so the totals are zero.
    const RegionSums whole = region_sums({1, 1, 1, 3, 1, 1});
    EXPECT_EQ(whole.total_mass.in, 0.0);
    EXPECT_EQ(whole.total_mass.out, 0.0);
    EXPECT_EQ(whole.side_heat.in, 0.0);
    EXPECT_EQ(whole.side_heat.out, 0.0);
    // Two cells: in at the west side of cell 2, out at the east wall (none).
    const RegionSums two = region_sums({2, 1, 1, 3, 1, 1});
    EXPECT_EQ(f3(two.total_mass.in), "       0.600");
    EXPECT_EQ(two.total_mass.out, 0.0);
}

TEST_F(RowOfThree, MeansExtremesAndMeansWithoutWeight) {
    set_inner_faces(0.5, 0.25);
    fields.P[ARIDX(1, 1, 1)] = -2.0;
    fields.P[ARIDX(3, 1, 1)] = 4.0;
    for (int i = 1; i <= 3; ++i) c2eq.C2[ARIDX(i, 1, 1)] = 0.008;
    fields.C[ARIDX(2, 1, 1)] = 0.003;
    const RegionSums r = region_sums({1, 1, 1, 3, 1, 1});
    EXPECT_EQ(r.open_cells, 3);
    EXPECT_EQ(r.volume, 3.0);
    // u: weighted by the open west-face areas, 0 at the west wall.
    ASSERT_TRUE(r.stat[RQ_U].has_mean);
    EXPECT_EQ(r.stat[RQ_U].mean, 0.375);
    EXPECT_EQ(r.stat[RQ_U].min, 0.0);
    EXPECT_EQ(r.stat[RQ_U].max, 0.5);
    // v and w: every south and bottom face is a closed wall, so these means
    // have no weight; their extremes are the zero face values.
    for (RegionQuantity q : {RQ_V, RQ_W}) {
        EXPECT_FALSE(r.stat[q].has_mean);
        EXPECT_TRUE(r.stat[q].has_extremes);
        EXPECT_EQ(r.stat[q].max, 0.0);
    }
    ASSERT_TRUE(r.stat[RQ_T].has_mean);
    EXPECT_EQ(f3(region_display_value(RQ_T, r.stat[RQ_T].mean)), "      30.000");
    EXPECT_EQ(f3(region_display_value(RQ_T, r.stat[RQ_T].min)), "      20.000");
    EXPECT_EQ(f3(region_display_value(RQ_T, r.stat[RQ_T].max)), "      40.000");
    EXPECT_EQ(f3(r.stat[RQ_P].mean), "       0.667");
    EXPECT_EQ(r.stat[RQ_P].min, -2.0);
    EXPECT_EQ(r.stat[RQ_SPEED].max, 0.5);
    EXPECT_EQ(fmt_e(region_display_value(RQ_C, r.stat[RQ_C].mean), 12, 5), " 0.10000E+01");
    EXPECT_EQ(fmt_e(region_display_value(RQ_C2, r.stat[RQ_C2].max), 12, 5), " 0.80000E+01");
    // Relative humidity through the psychrometric function, volume-weighted.
    const double rh = (WC2RH(0.008, 20.0) + WC2RH(0.008, 30.0) + WC2RH(0.008, 40.0)) / 3.0;
    EXPECT_NEAR(r.stat[RQ_RH].mean, rh, 1e-12);
    EXPECT_EQ(r.stat[RQ_RH].max, WC2RH(0.008, 293.15 - KELVIN_OFFSET));
    EXPECT_EQ(r.stat[RQ_RH].min, WC2RH(0.008, 313.15 - KELVIN_OFFSET));
}

TEST_F(RowOfThree, ExtremesBeyondAnyStartingBoundAreKept) {
    for (int i = 1; i <= 3; ++i) fields.P[ARIDX(i, 1, 1)] = -150000.0 - i;
    const RegionSums r = region_sums({1, 1, 1, 3, 1, 1});
    EXPECT_EQ(r.stat[RQ_P].max, -150001.0);
    EXPECT_EQ(r.stat[RQ_P].min, -150003.0);
}

TEST_F(RowOfThree, BoxWithNoOpenCell) {
    set_inner_faces(0.5, 0.5);
    fields.SMASS[ARIDX(2, 1, 1)] = 0.3;
    fields.SCT[ARIDX(2, 1, 1)] = 1.0;
    grid.block(2, 1, 1);
    grid.finish();
    const RegionSums r = region_sums({2, 1, 1, 2, 1, 1});
    EXPECT_EQ(r.open_cells, 0);
    EXPECT_EQ(r.volume, 0.0);
    for (int q = 0; q < RQ_COUNT; ++q) {
        EXPECT_FALSE(r.stat[q].has_mean) << q;
        EXPECT_FALSE(r.stat[q].has_extremes) << q;
    }
    EXPECT_FALSE(r.plane_i.marked || r.plane_j.marked || r.plane_k.marked);
    for (const InOut* io : {&r.total_mass, &r.pb_mass, &r.source_heat, &r.pb_heat, &r.fabric_heat, &r.side_heat}) {
        EXPECT_EQ(io->in, 0.0);
        EXPECT_EQ(io->out, 0.0);
    }
}

// Every number of the results, for comparing two summaries bit for bit.
std::vector<double> numbers(const RegionSums& r) {
    std::vector<double> v = {static_cast<double>(r.open_cells), r.volume};
    for (const RegionStat& s : r.stat) {
        v.insert(v.end(), {double(s.has_mean), s.mean, double(s.has_extremes), s.min, s.max});
    }
    for (const InOut* io : {&r.total_mass, &r.pb_mass, &r.source_heat, &r.pb_heat, &r.fabric_heat, &r.side_heat})
        v.insert(v.end(), {io->in, io->out});
    for (const PlaneFlow* pf : {&r.plane_i, &r.plane_j, &r.plane_k})
        v.insert(v.end(), {double(pf->marked), pf->positive, pf->negative});
    return v;
}

// A 4 x 3 x 2 grid with every field varying from cell to cell.
class VariedBox : public ::testing::Test {
protected:
    void SetUp() override {
        no_boundaries();
        for (int k = 1; k <= 2; ++k)
            for (int j = 1; j <= 3; ++j)
                for (int i = 1; i <= 4; ++i) {
                    const int p = ARIDX(i, j, k);
                    const double s = i + 10 * j + 100 * k;
                    fields.U[p] = std::sin(s);
                    fields.V[p] = std::cos(1.3 * s);
                    fields.W[p] = std::sin(0.7 * s);
                    fields.T[p] = 290.0 + std::fmod(s, 7.0);
                    fields.P[p] = std::cos(s) * 3.0;
                    fields.DEN[p] = fields.DENU[p] = fields.DENV[p] = fields.DENW[p] = AIRDEN / fields.T[p];
                    fields.SMASS[p] = std::sin(2.0 * s) * 0.01;
                    fields.SCT[p] = std::cos(3.0 * s);
                }
    }
    openbox::OpenBoxGrid grid{{0.5, 0.5, 1.0, 1.0}, {1.0, 1.0, 1.0}, {1.25, 1.25}};
};

TEST_F(VariedBox, CornersInReverseOrderSummariseTheSameBox) {
    const RegionSums forward = region_sums({2, 1, 1, 4, 3, 2});
    const RegionBox reversed_boxes[] = {{4, 3, 2, 2, 1, 1}, {4, 1, 2, 2, 3, 1}, {2, 3, 1, 4, 1, 2}};
    for (const RegionBox& b : reversed_boxes) {
        const RegionSums r = region_sums(b);
        EXPECT_EQ(r.box, (RegionBox{2, 1, 1, 4, 3, 2}));
        EXPECT_EQ(numbers(r), numbers(forward));
    }
    EXPECT_GT(forward.total_mass.in, 0.0);
    EXPECT_LT(forward.side_heat.out, 0.0);
}

TEST_F(VariedBox, IndicesOutsideTheGridAreRefused) {
    const RegionBox outside[] = {{0, 1, 1, 4, 3, 2}, {1, 1, 1, 5, 3, 2}, {1, 0, 1, 4, 3, 2},
                                 {1, 1, 1, 4, 4, 2}, {1, 1, 1, 4, 3, 3}, {1, 1, -1, 4, 3, 2}};
    for (const RegionBox& b : outside) {
        RegionBox copy = b;
        EXPECT_FALSE(order_region_box(copy));
        EXPECT_EQ(copy, b);
        const RegionSums r = region_sums(b);
        EXPECT_EQ(r.open_cells, 0);
        EXPECT_EQ(r.total_mass.in, 0.0);
        EXPECT_FALSE(r.plane_k.marked);
    }
    RegionBox b{3, 2, 2, 1, 1, 1};
    EXPECT_TRUE(order_region_box(b));
    EXPECT_EQ(b, (RegionBox{1, 1, 1, 3, 2, 2}));
}

TEST_F(VariedBox, OneCellThickInKShowsOnlyTheHorizontalPlane) {
    const RegionSums r = region_sums({1, 1, 2, 4, 3, 2});
    EXPECT_TRUE(r.plane_k.marked);
    EXPECT_FALSE(r.plane_i.marked);
    EXPECT_FALSE(r.plane_j.marked);
    // Top layer: the top faces are the closed ceiling, so each cell's plane
    // flow is half its bottom-face flow.
    double pos = 0.0, neg = 0.0;
    for (int i = 1; i <= 4; ++i)
        for (int j = 1; j <= 3; ++j) {
            const int p = ARIDX(i, j, 2);
            const double x = (fields.DENW[p] * fields.AREAW[p] * fields.W[p] + 0.0) / 2.0;
            (x > 0.0 ? pos : neg) += x;
        }
    EXPECT_EQ(r.plane_k.positive, pos);
    EXPECT_EQ(r.plane_k.negative, neg);
}

// Pressure-boundary rows set by hand on a row of two cells at 300 K,
// pressure 1 Pa, density 1.2.
class TwoBoundaryRows : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 1; i <= 2; ++i) {
            const int p = ARIDX(i, 1, 1);
            fields.T[p] = 300.0;
            fields.P[p] = 1.0;
            fields.DEN[p] = 1.2;
            fields.SCT[p] = 2.0;
        }
    }
    // Row n over cells i1..i2 with its face, coefficient, outside pressure,
    // exponent and temperature.
    static void row(int n, int i1, int i2, int face, double coef, double p, double exponent, double t) {
        pbtable.PBI1[n] = i1;
        pbtable.PBI2[n] = i2;
        pbtable.PBJ1[n] = pbtable.PBJ2[n] = 1;
        pbtable.PBK1[n] = pbtable.PBK2[n] = 1;
        pbtable.PBFACE[n] = face;
        pbtable.PBCOEF[n] = coef;
        pbtable.PBP[n] = p;
        pbtable.PBEXP[n] = exponent;
        pbtable.PBT[n] = t;
    }
    static void table(int npb) {
        pbtable.NPB = npb;
        pbtable.PBON = npb > 0 ? 1 : 0;
        BUILD_PBCELLS();
    }
    openbox::OpenBoxGrid grid{{2.0, 3.0}, {0.5}, {0.25}};
};

TEST_F(TwoBoundaryRows, ACellInTwoBoxesCountsBothFlowsAndTheLaterHeat) {
    // Row 1: cell 1 only, face 1 (DY DZ = 0.125 m2), in: 1.2 0.5 0.125 sqrt(9).
    const double m1 = 1.2 * 0.5 * 0.125 * 3.0;
    struct Case {
        const char* label;
        double p2;      // outside pressure of row 2 (cells 1 and 2, face 5: DX DY)
        double m2a, m2b;   // its flows at cells 1 and 2
        double h1;      // the heat of cell 1: that of the later row with a flow
    };
    const double out_a = -(1.2 * 0.8 * 1.0 * 4.0), out_b = -(1.2 * 0.8 * 1.5 * 4.0);
    const double in_a = 1.2 * 0.8 * 1.0 * 2.0, in_b = 1.2 * 0.8 * 1.5 * 2.0;
    const Case cases[] = {
        {"the later row lets air out", -3.0, out_a, out_b, out_a * 300.0},
        {"the later row brings air in", 3.0, in_a, in_b, in_a * 280.0},
        // Equal pressures with an exponent above 0: no flow, so the
        // earlier row's heat stands.
        {"the later row has no flow", 1.0, 0.0, 0.0, m1 * 290.0},
    };
    for (const Case& c : cases) {
        row(1, 1, 1, 1, 0.5, 10.0, 0.5, 290.0);
        row(2, 1, 2, 5, 0.8, c.p2, 1.0, 280.0);
        table(2);
        const RegionSums r = region_sums({1, 1, 1, 2, 1, 1});
        const double h2 = c.m2b > 0.0 ? c.m2b * 280.0 : c.m2b * 300.0;
        EXPECT_DOUBLE_EQ(r.pb_mass.in, m1 + (c.m2a > 0 ? c.m2a + c.m2b : 0.0)) << c.label;
        EXPECT_DOUBLE_EQ(r.pb_mass.out, c.m2a < 0 ? c.m2a + c.m2b : 0.0) << c.label;
        InOut heat;
        for (double h : {c.h1, h2}) (h > 0.0 ? heat.in : heat.out) += h;
        EXPECT_DOUBLE_EQ(r.pb_heat.in, heat.in) << c.label;
        EXPECT_DOUBLE_EQ(r.pb_heat.out, heat.out) << c.label;
        // The sources lose the heat an inflowing boundary brings.
        InOut sources;
        for (double h : {c.h1, h2}) {
            const double s = h > 0.0 ? 2.0 - h : 2.0;
            (s > 0.0 ? sources.in : sources.out) += s;
        }
        EXPECT_DOUBLE_EQ(r.source_heat.in, sources.in) << c.label;
        EXPECT_DOUBLE_EQ(r.source_heat.out, sources.out) << c.label;
    }
}

TEST_F(TwoBoundaryRows, TheFlowIsWhatTheEngineWritesForTheCell) {
    // One row per cell: the viewer's flows are the mass sources the engine
    // writes for the same pressures, and their sums those of its balance.
    row(1, 1, 1, 3, 0.6, 0.0, 0.5, 283.15);
    row(2, 2, 2, 6, 0.4, 5.0, 0.65, 283.15);
    table(2);
    USRSUB2();
    const RegionSums r = region_sums({1, 1, 1, 2, 1, 1});
    double min, mout, hin, hout;
    BOUNDFLOWS(min, mout, hin, hout);
    EXPECT_EQ(r.pb_mass.in, min);
    EXPECT_EQ(r.pb_mass.out, mout);
    EXPECT_EQ(r.pb_heat.in, hin);
    EXPECT_EQ(r.pb_heat.out, hout);
    EXPECT_LT(mout, 0.0);
    EXPECT_GT(min, 0.0);
    // The engine made the inflowing cell's source the heat the boundary
    // brings, and cleared the outflowing one's: nothing is left for the
    // sources.
    EXPECT_EQ(r.source_heat.in, 0.0);
    EXPECT_EQ(r.source_heat.out, 0.0);
}

// U-value faces on a row of five cubes of 1 m.
class UvalueFaces : public ::testing::Test {
protected:
    void SetUp() override {
        no_boundaries();
        for (int i = 1; i <= 5; ++i) fields.T[ARIDX(i, 1, 1)] = 283.15 + 10.0 * i;
    }
    static void surface(int i, int face, double u, double ut) {
        const int p = ARIDX(i, 1, 1);
        uvaltab.UVAL[uvidx(p, face)] = u;
        uvaltab.UVALT[uvidx(p, face)] = ut;
        uvaltab.UVALCELL[p] = true;
        uvaltab.UVALSET = true;
    }
    openbox::OpenBoxGrid grid{{1.0, 1.0, 1.0, 1.0, 1.0}, {1.0}, {1.0}};
};

TEST_F(UvalueFaces, FixedAndCoupledFacesAndCoupledFacesWithoutAirBeyond) {
    // Cell 2 (303.15 K), face 3: fixed at 293.15 K, q = -10 UVAL.
    surface(2, 3, 0.5, 293.15 * 0.5);
    // Cell 2, face 2: coupled to cell 4 (323.15 K), q = 20 UVAL.
    surface(2, 2, 0.2, 0.2);
    // Cell 2, face 1 and cell 4, face 2: coupled to cells 0 and 6, outside
    // the grid: skipped.
    surface(2, 1, 0.3, 0.3);
    surface(4, 2, 0.7, 0.7);
    // Cell 5, face 4: fixed at its own temperature: adds nothing.
    surface(5, 4, 0.9, 333.15 * 0.9);

    const RegionSums cell2 = region_sums({2, 1, 1, 2, 1, 1});
    EXPECT_EQ(f3(cell2.fabric_heat.out), "      -5.000");
    EXPECT_EQ(f3(cell2.fabric_heat.in), "       4.000");
    const RegionSums cell4 = region_sums({4, 1, 1, 4, 1, 1});
    EXPECT_EQ(cell4.fabric_heat.in, 0.0);
    EXPECT_EQ(cell4.fabric_heat.out, 0.0);

    const RegionSums whole = region_sums({1, 1, 1, 5, 1, 1});
    double gain, loss;
    UENERGY(gain, loss);
    EXPECT_EQ(whole.fabric_heat.in, gain);
    EXPECT_EQ(whole.fabric_heat.out, loss);
    EXPECT_EQ(f3(whole.fabric_heat.in), "       4.000");
}

// The example room after a few outer iterations, with the boundary flows
// brought up to the last pressures as a load of saved data does.
TEST(RegionSumsOfTheRoom, WholeDomainMatchesTheBalances) {
    const fs::path example = fs::path(TARVEX_SOURCE_DIR) / "examples/room";
    CaptureSink console;
    {
        ScopedChannelSink bind(CH_CONSOLE, &console);
        ScopedChannelSink iter(CH_ITER, &console);
        ASSERT_TRUE(filenames.INFILE.assign((example / "room.case").string()));
        ASSERT_TRUE(filenames.CTLFILE.assign((example / "room.control").string()));
        ASSERT_EQ(INPUT0(), 0) << console.text();
        ASSERT_EQ(INPUT1(), 0) << console.text();
        INIVAL();
        runctl.ITER = 0;
        runctl.DT = 1.0;
        for (int n = 0; n < 15; ++n) {
            ++runctl.ITER;
            int iusr3 = 0, iconv = 0;
            SOLVE(iusr3, iconv);
        }
        USRSUB2();
    }
    const RegionSums r = region_sums({1, 1, 1, griddim.NX, griddim.NY, griddim.NZ});

    // No air crosses the domain's walls.
    EXPECT_EQ(r.side_heat.in, 0.0);
    EXPECT_EQ(r.side_heat.out, 0.0);
    EXPECT_FALSE(r.plane_i.marked || r.plane_j.marked || r.plane_k.marked);

    double min, mout, hin, hout;
    ALLFLOWS(min, mout, hin, hout);
    EXPECT_NEAR(r.total_mass.in, min, 1e-14);
    EXPECT_NEAR(r.total_mass.out, mout, 1e-14);
    EXPECT_EQ(f3(r.total_mass.in), f3(min));
    EXPECT_EQ(f3(r.total_mass.out), f3(mout));
    EXPECT_GT(min, 0.1);
    // Every positive temperature source: the supply, the gains and any
    // boundary inflow.
    EXPECT_NEAR(r.source_heat.in + r.pb_heat.in, hin, 1e-10);

    double fin, fout, fhin, fhout;
    BOUNDFLOWS(fin, fout, fhin, fhout);
    EXPECT_EQ(r.pb_mass.in, fin);
    EXPECT_EQ(r.pb_mass.out, fout);
    EXPECT_EQ(r.pb_heat.in, fhin);
    EXPECT_EQ(r.pb_heat.out, fhout);
    EXPECT_NE(r.pb_mass.in - r.pb_mass.out, 0.0);

    double gain, loss;
    UENERGY(gain, loss);
    EXPECT_NEAR(r.fabric_heat.in, gain, 1e-12);
    EXPECT_NEAR(r.fabric_heat.out, loss, 1e-12);
    EXPECT_EQ(f3(r.fabric_heat.out), f3(loss));
    EXPECT_LT(loss, 0.0);

    // The open volume: the room less its cupboard.
    EXPECT_NEAR(r.volume, domsums.VOLTOT, 1e-12);
    EXPECT_EQ(r.open_cells, 16 * 12 * 10 - 2 * 2 * 4);
}

}  // namespace
}  // namespace tarvex
