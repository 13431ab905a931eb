// Grid lines, the grid check, blockage, the reconciliation of blocked cells
// and closed faces, open areas, volumes and the total open volume.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/engine/case_testutil.h"

namespace tarvex::testing {
namespace {

// 4 x 3 x 2 cells, x widths 0.5 0.5 1 1 (given high-low first), y 1, z 1.25.
// Cell (3,2,1) blocked, cell (1,1,2) half open, cell (2,3,1) given twice;
// the west, south and bottom faces of the corner cell (4,3,2) closed (its
// other three are domain walls), the face between (1,2,1) and (2,2,1)
// closed, and the west wall face of (1,1,1) opened.
CaseText geometry_case() {
    CaseText c;
    c.data[5] = "3 2 0.5\n4 5 1.0\n0 0 0";
    c.data[8] = "3 3 2 2 1 1 0\n1 1 1 1 2 2 0.5\n2 2 3 3 1 1 0.3\n2 2 3 3 1 1 0.7\n0 0 0 0 0 0 0";
    c.data[9] = "4 4 3 3 2 2 0 0 0\n2 2 2 2 1 1 0 -1 -1\n1 1 1 1 1 1 1 -1 -1\n0 0 0 0 0 0 0 0 0";
    return c;
}

TEST(CaseGeometry, NonUniformGridWithBlockage) {
    const LoadResult r = load_case(geometry_case());
    ASSERT_EQ(r.status, 0) << r.dump();

    const double x[] = {0, 0.5, 1, 2, 3};
    for (int i = 0; i <= 4; ++i) EXPECT_DOUBLE_EQ(gridline.X[i], x[i]) << i;
    const double xc[] = {0, 0.25, 0.75, 1.5, 2.5, 3};
    for (int i = 0; i <= 5; ++i) EXPECT_DOUBLE_EQ(gridline.XC[i], xc[i]) << i;
    const double dx[] = {0, 0.5, 0.5, 1, 1};
    for (int i = 1; i <= 4; ++i) EXPECT_DOUBLE_EQ(fields.DX[i], dx[i]) << i;
    EXPECT_DOUBLE_EQ(gridline.YC[3], 2.5);
    EXPECT_DOUBLE_EQ(gridline.ZC[3], 2.5);
    EXPECT_DOUBLE_EQ(fields.DZ[2], 1.25);

    // The blocked cell closes its six faces; its neighbours see walls.
    EXPECT_EQ(fields.CPR[at(3, 2, 1)], 0.0);
    for (const int idx : {at(3, 2, 1), at(4, 2, 1)}) EXPECT_EQ(fields.AREAU[idx], 0.0);
    for (const int idx : {at(3, 2, 1), at(3, 3, 1)}) EXPECT_EQ(fields.AREAV[idx], 0.0);
    EXPECT_EQ(fields.CPRW[at(3, 2, 2)], 0.0);
    EXPECT_EQ(fields.AREAW[at(3, 2, 2)], 0.0);
    EXPECT_EQ(coefs.VOL[at(3, 2, 1)], 0.0);

    // The corner cell closed on all six faces became blocked.
    EXPECT_EQ(fields.CPR[at(4, 3, 2)], 0.0);
    EXPECT_EQ(coefs.VOL[at(4, 3, 2)], 0.0);

    // A half-open cell: half the volume, full face areas.
    EXPECT_DOUBLE_EQ(coefs.VOL[at(1, 1, 2)], 0.5 * 1 * 1.25 * 0.5);
    EXPECT_DOUBLE_EQ(fields.AREAU[at(2, 1, 2)], 1.25);
    EXPECT_DOUBLE_EQ(fields.AREAV[at(1, 2, 2)], 0.5 * 1.25);

    // The later of two blockage lines for one cell stands.
    EXPECT_DOUBLE_EQ(fields.CPR[at(2, 3, 1)], 0.7);

    // One closed inner face (the x value only), the others of the cell open.
    EXPECT_EQ(fields.AREAU[at(2, 2, 1)], 0.0);
    EXPECT_DOUBLE_EQ(fields.AREAV[at(2, 2, 1)], 0.5 * 1.25);
    EXPECT_EQ(fields.CPR[at(2, 2, 1)], 1.0);

    // Domain walls are closed, the opened west wall face has its full area.
    EXPECT_DOUBLE_EQ(fields.AREAU[at(1, 1, 1)], 1.25);
    EXPECT_EQ(fields.AREAU[at(1, 2, 1)], 0.0);
    EXPECT_EQ(fields.AREAW[at(2, 2, 1)], 0.0);
    EXPECT_DOUBLE_EQ(fields.AREAW[at(2, 2, 2)], 0.5);
    EXPECT_EQ(fields.AREAU[at(5, 2, 1)], 0.0);
    EXPECT_EQ(fields.CPRV[at(2, 4, 1)], 0.0);

    // 3 x 3 x 2.5 less two blocked cells of 1.25 m3, half of 0.625 m3 and
    // 0.3 of 0.625 m3.
    const double voltot = 22.5 - 1.25 - 1.25 - 0.3125 - 0.1875;
    EXPECT_DOUBLE_EQ(domsums.VOLTOT, voltot);
    double sum = 0;
    for (int k = 1; k <= 2; ++k)
        for (int j = 1; j <= 3; ++j)
            for (int i = 1; i <= 4; ++i) sum += coefs.VOL[at(i, j, k)];
    EXPECT_DOUBLE_EQ(sum, domsums.VOLTOT);
    EXPECT_TRUE(r.has(Lines{" calculating grid geometry", free_line(" Domain active volume (m3) : ", domsums.VOLTOT)}))
        << r.dump();
}

struct GridFail {
    const char* name;
    std::string x, y, z;    // grid sections
    Lines expected;         // consecutive console lines
    bool geometry = false;  // fails in the geometry: the default output says so
};

TEST(CaseGeometry, GridErrors) {
    const CaseText base;
    const int x_data = marker_line(base, 6) + 1;
    const GridFail cases[] = {
        {"lines left unset are all listed", "2 3 0.5\n0 0 0", "2 4 1\n0 0 0", "2 3 1.25\n0 0 0",
         {" grid x dimension not set 4", " grid x dimension not set 5", "  grid not fully defined"}},
        {"ranges outside the grid are reported and reading goes on", "1 3 0.5\n4 5 1\n0 0 0",
         "2 5 1\n0 0 0", "2 3 1.25\n0 0 0",
         {"  X grid not in domain, in line : " + std::to_string(x_data), echo_line("1 3 0.5")}},
        {"z message has no comma", "2 3 0.5\n4 5 1.0\n0 0 0", "2 4 1\n0 0 0", "2 3 1.25\n2 4 1\n0 0 0",
         {"  Z grid not in domain in line : " + std::to_string(marker_line(base, 8) + 2), echo_line("2 4 1"),
          "  grid not fully defined"}},
        {"entries out of order build on the unset line", "4 5 1.0\n2 3 0.5\n0 0 0", "2 4 1\n0 0 0",
         "2 3 1.25\n0 0 0", {"  error in geometry, zero dimension"}, true},
        {"zero width", "2 3 0.5\n4 5 0\n0 0 0", "2 4 1\n0 0 0", "2 3 1.25\n0 0 0",
         {"  error in geometry, zero dimension"}, true},
        {"widths that overflow", "2 5 1e308\n0 0 0", "2 4 1\n0 0 0", "2 3 1.25\n0 0 0",
         {"  error in geometry, zero dimension"}, true},
    };
    for (const GridFail& g : cases) {
        SCOPED_TRACE(g.name);
        CaseText c;
        c.data[5] = g.x;
        c.data[6] = g.y;
        c.data[7] = g.z;
        const LoadResult r = load_case(c);
        EXPECT_EQ(r.status, -1);
        EXPECT_TRUE(r.has(g.expected)) << r.dump();
        if (g.geometry)
            EXPECT_EQ(r.defaults, Lines{"  problem with grid geometry"});
        else
            EXPECT_TRUE(r.defaults.empty());
    }

    // A bad range is not followed by the list of unset lines.
    CaseText c;
    c.data[5] = "1 3 0.5\n0 0 0";
    const LoadResult r = load_case(c);
    EXPECT_TRUE(r.has(Lines{echo_line("1 3 0.5"), "  grid not fully defined"})) << r.dump();
    // The Y section after it was read: Y ranges out of the grid reported too.
    c.data[6] = "2 5 1\n0 0 0";
    EXPECT_TRUE(load_case(c).has("  Y grid not in domain, in line : " + std::to_string(marker_line(c, 7) + 1)));
}

TEST(CaseGeometry, BlockageErrors) {
    struct Row {
        int section;
        std::string line;
        const char* message;
    };
    const Row rows[] = {
        {9, "1 5 1 1 1 1 0", "location not in domain, in line"},
        {9, "1 1 1 1 1 1 1.5", "value is <0 or >1, in line"},
        {9, "1 1 1 1 1 1 -0.1", "value is <0 or >1, in line"},
        {10, "1 6 1 1 1 1 0 0 0", "location not in domain, in line"},
        {10, "5 5 4 4 3 3 1 1 1", nullptr},   // faces run to NX+1, NY+1, NZ+1
        {10, "1 1 1 1 1 1 -1 1.5 0", "value must be >=0 or <=1, in line"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        CaseText c;
        const std::string terminator = row.section == 9 ? "0 0 0 0 0 0 0" : "0 0 0 0 0 0 0 0 0";
        c.data[row.section - 1] = row.line + "\n" + terminator;
        const LoadResult r = load_case(c);
        if (row.message == nullptr) {
            EXPECT_EQ(r.status, 0) << r.dump();
            continue;
        }
        EXPECT_EQ(r.status, -1);
        EXPECT_TRUE(r.has(Lines{section_line(SECTION_NAMES[row.section - 1]),
                                " " + std::string(row.message) + " " +
                                    std::to_string(marker_line(c, row.section) + 1),
                                echo_line(row.line)}))
            << r.dump();
    }
}

TEST(CaseGeometry, CheckGridListsEveryUnsetLine) {
    ASSERT_EQ(load_case(CaseText()).status, 0);
    gridline.Y[1] = -999.0;
    gridline.Z[2] = -999.0;
    CaptureSink console;
    ScopedChannelSink bind(CH_CONSOLE, &console);
    EXPECT_EQ(CHECK_GRID1(), -1);
    EXPECT_EQ(console.lines(), (Lines{" grid y dimension not set 2", " grid z dimension not set 3"}));
    gridline.Y[1] = 1;
    gridline.Z[2] = 2.5;
    EXPECT_EQ(CHECK_GRID1(), 0);
}

}  // namespace
}  // namespace tarvex::testing
