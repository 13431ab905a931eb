// The geometry of a plane: orientation and visiting order, a cell's
// rectangle and face flags, visibility, face codes to edges, in-plane
// velocities, the arrow, the values of a field plot and the legend labels.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <tuple>
#include <vector>

#include "common/textfmt.h"
#include "engine/data.h"
#include "engine/engine.h"
#include "engine/open_box_fixture.h"
#include "frontend/calc/fieldstats.h"
#include "frontend/calc/planegeom.h"

namespace tarvex {
namespace {

// 4 x 3 x 2 cells: x lines 0, 1, 3, 6, 10; y lines 0, 2, 4, 5; z lines 0, 1, 2.5.
class PlaneGeom : public ::testing::Test {
protected:
    openbox::OpenBoxGrid box{{1.0, 2.0, 3.0, 4.0}, {2.0, 2.0, 1.0}, {1.0, 1.5}};

    static PlaneOrientation orient(int plane, bool flip) {
        PlaneOrientation o;
        EXPECT_TRUE(plane_orientation(plane, flip, o));
        return o;
    }
};

TEST_F(PlaneGeom, OrientationsAndFlip) {
    struct Case {
        int plane;
        bool flip;
        Axis h, v, n;
    };
    const Case cases[] = {
        {1, false, Axis::x, Axis::y, Axis::z}, {1, true, Axis::y, Axis::x, Axis::z},
        {2, false, Axis::x, Axis::z, Axis::y}, {2, true, Axis::z, Axis::x, Axis::y},
        {3, false, Axis::y, Axis::z, Axis::x}, {3, true, Axis::z, Axis::y, Axis::x},
    };
    for (const Case& c : cases) {
        const PlaneOrientation o = orient(c.plane, c.flip);
        EXPECT_EQ(o.horizontal, c.h) << c.plane << c.flip;
        EXPECT_EQ(o.vertical, c.v) << c.plane << c.flip;
        EXPECT_EQ(o.normal, c.n) << c.plane << c.flip;
    }
    PlaneOrientation o;
    EXPECT_FALSE(plane_orientation(0, false, o));
    EXPECT_FALSE(plane_orientation(4, true, o));
    EXPECT_EQ(plane_layers(1), 2);
    EXPECT_EQ(plane_layers(2), 3);
    EXPECT_EQ(plane_layers(3), 4);
    EXPECT_EQ(plane_layers(7), 0);
}

TEST_F(PlaneGeom, VisitingOrderAndLayersOffThePlane) {
    using Cell = std::tuple<int, int, int>;
    std::vector<Cell> seen;
    const auto record = [&seen](int i, int j, int k) { seen.emplace_back(i, j, k); };
    for_each_plane_cell(2, 3, record);   // IK plane at J = 3: K outer, I inner
    ASSERT_EQ(seen.size(), 8u);
    EXPECT_EQ(seen[0], Cell(1, 3, 1));
    EXPECT_EQ(seen[1], Cell(2, 3, 1));
    EXPECT_EQ(seen[4], Cell(1, 3, 2));
    EXPECT_EQ(seen[7], Cell(4, 3, 2));
    seen.clear();
    for_each_plane_cell(3, 4, record);   // JK plane at I = 4: K outer, J inner
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_EQ(seen[1], Cell(4, 2, 1));
    EXPECT_EQ(seen[3], Cell(4, 1, 2));
    seen.clear();
    // A layer beyond the plane's range (the index kept after the plane was
    // changed), zero, or another plane: no cell at all.
    for_each_plane_cell(1, 3, record);
    for_each_plane_cell(2, 0, record);
    for_each_plane_cell(3, 5, record);
    for_each_plane_cell(4, 1, record);
    EXPECT_TRUE(seen.empty());
}

// On a flipped IJ plane y runs across and x up: a closed west face is the
// bottom edge, a closed south face the left edge.
TEST_F(PlaneGeom, RectangleAndFaceFlagsFollowTheFlip) {
    const int32_t p = ARIDX(3, 2, 1);
    fields.CPRU[p] = 0.0;                       // west face closed
    fields.CPRV[p] = 0.0;                       // south face closed
    fields.CPRU[p + 1] = 0.5;                   // east face half open
    const CellRect r = cell_rect(orient(1, false), 3, 2, 1);
    EXPECT_EQ(r.x0, 3.0);
    EXPECT_EQ(r.x1, 6.0);
    EXPECT_EQ(r.y0, 2.0);
    EXPECT_EQ(r.y1, 4.0);
    const FaceFlags f = face_flags(orient(1, false), p);
    EXPECT_EQ(f.left, 0.0);
    EXPECT_EQ(f.bottom, 0.0);
    EXPECT_EQ(f.right, 0.5);
    EXPECT_EQ(f.top, 1.0);

    const CellRect rf = cell_rect(orient(1, true), 3, 2, 1);
    EXPECT_EQ(rf.x0, 2.0);
    EXPECT_EQ(rf.x1, 4.0);
    EXPECT_EQ(rf.y0, 3.0);
    EXPECT_EQ(rf.y1, 6.0);
    const FaceFlags ff = face_flags(orient(1, true), p);
    EXPECT_EQ(ff.left, 0.0);     // south
    EXPECT_EQ(ff.bottom, 0.0);   // west
    EXPECT_EQ(ff.top, 0.5);      // east
    EXPECT_EQ(ff.right, 1.0);    // north

    // Along z on a JK plane: bottom and top faces of the top layer (its top is the closed ceiling).
    const int32_t q = ARIDX(2, 1, 2);
    const FaceFlags fz = face_flags(orient(3, false), q);
    EXPECT_EQ(fz.bottom, 1.0);
    EXPECT_EQ(fz.top, 0.0);
    EXPECT_EQ(fz.left, 0.0);     // the south wall
    const CellRect rz = cell_rect(orient(3, false), 2, 1, 2);
    EXPECT_EQ(rz.x0, 0.0);
    EXPECT_EQ(rz.x1, 2.0);
    EXPECT_EQ(rz.y0, 1.0);
    EXPECT_EQ(rz.y1, 2.5);
}

TEST_F(PlaneGeom, OnlyCellsWhollyInsideTheVisibleRangeAreVisible) {
    const CellRect r{3.0, 6.0, 2.0, 4.0};
    EXPECT_TRUE(cell_visible(r, 0.0, 10.0, 0.0, 5.0));
    EXPECT_TRUE(cell_visible(r, 3.0, 6.0, 2.0, 4.0));     // bounds included
    EXPECT_FALSE(cell_visible(r, 0.0, 5.9, 0.0, 5.0));    // reaches beyond VXMAX
    EXPECT_FALSE(cell_visible(r, 3.1, 10.0, 0.0, 5.0));
    EXPECT_FALSE(cell_visible(r, 0.0, 10.0, 2.5, 5.0));
    EXPECT_FALSE(cell_visible(r, 0.0, 10.0, 0.0, 3.9));
}

TEST_F(PlaneGeom, FaceCodesToEdges) {
    struct Case {
        int plane;
        bool flip;
        int face;
        Edge edge;
    };
    const Case cases[] = {
        // A face along the plane's normal has no edge.
        {1, false, 5, Edge::none}, {1, false, 6, Edge::none}, {1, true, 5, Edge::none},
        {2, false, 3, Edge::none}, {3, false, 2, Edge::none},
        // -z and +z on IK and JK: bottom and top, on a flipped plane left and right.
        {2, false, 5, Edge::bottom}, {2, false, 6, Edge::top}, {3, false, 5, Edge::bottom},
        {3, false, 6, Edge::top},    {2, true, 5, Edge::left},  {2, true, 6, Edge::right},
        {3, true, 5, Edge::left},    {3, true, 6, Edge::right},
        {1, false, 1, Edge::left},   {1, false, 2, Edge::right}, {1, false, 3, Edge::bottom},
        {1, false, 4, Edge::top},    {1, true, 1, Edge::bottom}, {1, true, 3, Edge::left},
        {1, true, 4, Edge::right},   {3, false, 4, Edge::right}, {2, false, 0, Edge::none},
        {2, false, 7, Edge::none},
    };
    for (const Case& c : cases)
        EXPECT_EQ(face_edge(orient(c.plane, c.flip), c.face), c.edge)
            << "plane " << c.plane << (c.flip ? " flipped" : "") << " face " << c.face;
}

TEST_F(PlaneGeom, InPlaneVelocitiesAreCellCentreValuesSwappedByTheFlip) {
    const int32_t p = ARIDX(2, 2, 1);
    fields.U[p] = 1.0;
    fields.U[p + 1] = 3.0;                    // centre U 2
    fields.V[p] = -1.0;                       // centre V -0.5
    fields.W[p + griddim.KSTRIDE] = 4.0;      // centre W 2
    const struct {
        int plane;
        bool flip;
        double uh, uv;
    } cases[] = {{1, false, 2.0, -0.5}, {1, true, -0.5, 2.0}, {2, false, 2.0, 2.0},
                 {3, false, -0.5, 2.0}, {3, true, 2.0, -0.5}};
    for (const auto& c : cases) {
        const InPlane u = in_plane_velocity(orient(c.plane, c.flip), p, 2, 2, 1);
        EXPECT_DOUBLE_EQ(u.uh, c.uh) << c.plane << c.flip;
        EXPECT_DOUBLE_EQ(u.uv, c.uv) << c.plane << c.flip;
    }
}

TEST(Arrow, CentredShaftAndOneBarbOnTheLeft) {
    // (1, 0) m/s at scale 1 on a cell centred at (5, 5).
    ArrowPoints a = arrow_points(1.0, 0.0, 1.0, 5.0, 5.0);
    EXPECT_DOUBLE_EQ(a.tail.x, 4.5);
    EXPECT_DOUBLE_EQ(a.tail.y, 5.0);
    EXPECT_DOUBLE_EQ(a.head.x, 5.5);
    EXPECT_DOUBLE_EQ(a.head.y, 5.0);
    EXPECT_DOUBLE_EQ(a.barb.x, 5.2835);
    EXPECT_DOUBLE_EQ(a.barb.y, 5.125);
    // Pointing up at scale 2: the barb lies to the left (smaller x).
    a = arrow_points(0.0, 1.0, 2.0, 1.0, 1.0);
    EXPECT_DOUBLE_EQ(a.tail.y, 0.0);
    EXPECT_DOUBLE_EQ(a.head.y, 2.0);
    EXPECT_DOUBLE_EQ(a.barb.x, 1.0 - 0.25);
    EXPECT_DOUBLE_EQ(a.barb.y, 1.0 + 0.567);
    // The barb is a quarter of the shaft at 30 degrees to it.
    a = arrow_points(3.0, -4.0, 1.0, 0.0, 0.0);
    const double bx = a.barb.x - a.head.x, by = a.barb.y - a.head.y;
    EXPECT_NEAR(std::hypot(bx, by), 0.25 * 5.0, 1e-3);
    EXPECT_NEAR(std::acos(-(bx * 3.0 + by * -4.0) / (std::hypot(bx, by) * 5.0)), std::numbers::pi / 6.0, 1e-3);
    // A zero velocity is a point.
    a = arrow_points(0.0, 0.0, 1.0, 2.0, 3.0);
    EXPECT_EQ(a.tail.x, a.head.x);
    EXPECT_EQ(a.barb.y, 3.0);
}

TEST_F(PlaneGeom, QuantityValuesInDisplayUnits) {
    const int32_t p = ARIDX(4, 3, 2);
    fields.T[p] = 293.15;
    fields.C[p] = 0.0012;
    c2eq.C2[p] = 0.008;
    fields.P[p] = -2.5;
    fields.U[p] = 3.0;   // last cell: the low faces alone
    fields.V[p] = 4.0;
    fields.W[p] = 12.0;
    resid.RESUVW[p] = 1.0;
    resid.RESM[p] = 2.0;
    resid.REST[p] = 3.0;
    resid.RESC[p] = 4.0;
    const struct {
        int code;
        double value;
    } cases[] = {{1, 293.15 - KELVIN_OFFSET}, {2, 1.2}, {3, -2.5}, {4, 3.0}, {5, 4.0}, {6, 12.0}, {7, 13.0},
                 {12, 1.0}, {13, 2.0}, {14, 3.0}, {15, 4.0}, {21, 8.0}, {22, WC2RH(0.008, 293.15 - KELVIN_OFFSET)}};
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(quantity_value(c.code, p, 4, 3, 2), c.value) << c.code;
    for (int code : {0, 8, 11, 16, 20, 23}) EXPECT_TRUE(std::isnan(quantity_value(code, p, 4, 3, 2))) << code;
    EXPECT_DOUBLE_EQ(vector_colour_value(1, p, 4, 3, 2), 13.0);
    EXPECT_DOUBLE_EQ(vector_colour_value(2, p, 4, 3, 2), 293.15 - KELVIN_OFFSET);
    EXPECT_DOUBLE_EQ(vector_colour_value(3, p, 4, 3, 2), 1.2);
}

TEST(Legend, LabelsFromMaxDownAndMinBelow) {
    const auto l = legend_labels(0.0, 16.0);
    EXPECT_EQ(l[0], " 16.00    ");
    EXPECT_EQ(l[1], " 15.00    ");
    EXPECT_EQ(l[6], " 10.00    ");
    EXPECT_EQ(l[7], " 9.000    ");
    EXPECT_EQ(l[15], " 1.000    ");
    EXPECT_EQ(l[16], " 0.000    ");
    for (const auto& s : l) EXPECT_EQ(s.size(), 10u);
    // Below 0.1 the labels are in exponent form.
    const auto s = legend_labels(0.0, 0.016);
    EXPECT_EQ(s[0], "0.1600E-01");
    EXPECT_EQ(s[15], "0.1000E-02");
    EXPECT_EQ(s[16], " 0.000    ");
    // A downward scale reads downward from its max.
    const auto d = legend_labels(-4.95, -5.05);
    EXPECT_EQ(d[0], "-5.050    ");
    EXPECT_EQ(d[16], "-4.950    ");
}

// Where a box edge falls on zero its label reads 0.000, whatever rounding
// the limits bring: scales symmetric about zero (the middle box) and
// lopsided ones, with limits that are not binary fractions.
TEST(Legend, ABoxEdgeOnZeroReadsZero) {
    struct Case {
        double min, max;
        int box;   // the label that stands at zero
    };
    for (const Case& c : {Case{-0.1, 0.1, 8}, Case{-0.7, 0.7, 8}, Case{-1.1, 1.1, 8}, Case{-2.7, 2.7, 8},
                          Case{-0.3, 0.5, 10}, Case{-1.2, 2.0, 10}, Case{-0.9, 0.7, 7}, Case{0.7, -0.7, 8}}) {
        const auto l = legend_labels(c.min, c.max);
        EXPECT_EQ(l[c.box], " 0.000    ") << c.min << " to " << c.max;
        // Its neighbours keep their values.
        const double step = (c.max - c.min) / 16.0;
        EXPECT_EQ(l[c.box - 1], fmt_g(step, 10, 4)) << c.min << " to " << c.max;
        EXPECT_EQ(l[c.box + 1], fmt_g(-step, 10, 4)) << c.min << " to " << c.max;
    }
    // A small scale keeps its small labels: only rounding is taken for zero.
    const auto tiny = legend_labels(-1.6e-20, 1.6e-20);
    EXPECT_EQ(tiny[7], "0.2000E-20");
    EXPECT_EQ(tiny[8], " 0.000    ");
}

}  // namespace
}  // namespace tarvex
