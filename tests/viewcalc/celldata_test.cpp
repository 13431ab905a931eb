// The Data Viewer's texts of one cell: formats, units, the last cell of a
// direction, a blocked cell, the humidity cap and values too wide.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "engine/data.h"
#include "engine/open_box_fixture.h"
#include "frontend/calc/celldata.h"

namespace tarvex {
namespace {

std::map<int, std::string> texts(int i, int j, int k) {
    std::map<int, std::string> m;
    for (const CellText& t : cell_texts(i, j, k)) m[t.control] = t.text;
    return m;
}

class CellData : public ::testing::Test {
protected:
    // x lines 0, 0.5, 2, 3.5; y 0, 1, 2; z 0, 1.25, 2.5.
    openbox::OpenBoxGrid box{{0.5, 1.5, 1.5}, {1.0, 1.0}, {1.25, 1.25}};
};

TEST_F(CellData, FormatsAndUnits) {
    const int32_t p = ARIDX(2, 1, 2);
    fields.T[p] = 293.15;
    fields.C[p] = 0.0012;
    c2eq.C2[p] = 0.0;
    fields.U[p] = -0.25;
    fields.V[p] = 1.0 / 3.0;
    fields.W[p] = 0.0005;   // rounds away from zero
    fields.P[p] = -12.3456;
    const auto t = texts(2, 1, 2);
    ASSERT_EQ(t.size(), 16u);
    EXPECT_EQ(t.at(1006), " 0.12500E+01");   // XC(2) = 1.25
    EXPECT_EQ(t.at(1008), " 0.50000E+00");
    EXPECT_EQ(t.at(1007), " 0.18750E+01");
    EXPECT_EQ(t.at(1009), " 0.15000E+01");
    EXPECT_EQ(t.at(1011), " 0.10000E+01");
    EXPECT_EQ(t.at(1010), " 0.12500E+01");
    EXPECT_EQ(t.at(1012), " 0.18750E+01");   // 1.5 x 1 x 1.25 m3
    EXPECT_EQ(t.at(1013), "      -0.250");
    EXPECT_EQ(t.at(1015), "       0.333");
    EXPECT_EQ(t.at(1014), "       0.001");
    EXPECT_EQ(t.at(1017), "     -12.346");
    EXPECT_EQ(t.at(1019), "      20.000");   // 293.15 K
    EXPECT_EQ(t.at(1018), " 0.12000E+01");   // 1.2 g/kg
    EXPECT_EQ(t.at(1021), " 0.00000E+00");
    EXPECT_EQ(t.at(1022), "       0.000");
    EXPECT_EQ(t.at(1020), "       1.000");
    for (const auto& [id, s] : t) EXPECT_EQ(s.size(), 12u) << id;
    // A negative value keeps its leading 0 in E12.5.
    fields.C[p] = -0.0054321;
    EXPECT_EQ(texts(2, 1, 2).at(1018), "-0.54321E+01");
}

TEST_F(CellData, LastCellBlockedCellHumidityCapAndOverflow) {
    // The last cell along x shows the velocity on its west face.
    const int32_t last = ARIDX(3, 2, 2);
    fields.U[last] = 0.75;
    fields.U[last + 1] = 9.0;
    EXPECT_EQ(texts(3, 2, 2).at(1013), "       0.750");

    box.block(1, 1, 1);
    box.finish();
    const auto b = texts(1, 1, 1);
    EXPECT_EQ(b.at(1020), "       0.000");
    EXPECT_EQ(b.at(1012), " 0.00000E+00");

    // Saturated air shows the cap of 101 %.
    const int32_t p = ARIDX(2, 2, 1);
    fields.T[p] = 283.15;
    c2eq.C2[p] = 0.05;
    EXPECT_EQ(texts(2, 2, 1).at(1022), "     101.000");

    // Too wide for F12.3: twelve asterisks.
    fields.P[p] = 1.0e12;
    fields.T[p] = -1.0e9;
    const auto w = texts(2, 2, 1);
    EXPECT_EQ(w.at(1017), "************");
    EXPECT_EQ(w.at(1019), "************");
}

TEST_F(CellData, GridBounds) {
    EXPECT_TRUE(cell_in_grid(1, 1, 1));
    EXPECT_TRUE(cell_in_grid(3, 2, 2));
    EXPECT_FALSE(cell_in_grid(0, 1, 1));
    EXPECT_FALSE(cell_in_grid(4, 1, 1));
    EXPECT_FALSE(cell_in_grid(1, 3, 1));
    EXPECT_FALSE(cell_in_grid(1, 1, -2));
}

}  // namespace
}  // namespace tarvex
