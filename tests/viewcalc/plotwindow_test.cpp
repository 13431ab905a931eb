// The plot window's computations: the drawing size, the colour-scale limits,
// the fit of a plane into the window with zoom and pan, the control steps,
// the plots of each member and the label and picture texts.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "engine/data.h"
#include "frontend/calc/plotwindow.h"
#include "frontend/calc/viewstate.h"

namespace tarvex {
namespace {

TEST(PlotWindowMeasure, DrawingSizeFromTheWindowsCells) {
    struct Case {
        WindowMeasure m;
        int nxpix, nypix;
    };
    const Case cases[] = {
        {{1024, 640, 128, 40, 128, 40}, 1014, 630},   // the maximised window of a fresh frame
        {{1024, 640, 128, 40, 100, 30}, 790, 470},
        {{1000, 600, 128, 40, 128, 40}, 886, 590},    // 1000 / 128 truncates to 7 pixels a cell
        {{1024, 640, 0, 0, 128, 40}, -10, -10},       // no text cells: nothing to divide by
        {{1024, 640, 128, 40, 0, 0}, -10, -10},
    };
    for (const Case& c : cases) {
        const PixelSize p = measure_pixels(c.m);
        EXPECT_EQ(p.nxpix, c.nxpix);
        EXPECT_EQ(p.nypix, c.nypix);
    }
    EXPECT_TRUE(window_too_small(100, 600));
    EXPECT_FALSE(window_too_small(101, 1));
    EXPECT_TRUE(window_too_small(1000, 0));
    EXPECT_TRUE(window_too_small(-10, -10));
}

// The plane of 10 m by 3 m in a drawing area of 1000 by 600 pixels.
TEST(PlotWindowGeometry, TenByThreeMetrePlane) {
    PlotGeometryInput in;
    in.nxpix = 1000;
    in.nypix = 600;
    in.h = 10.0;
    in.v = 3.0;
    in.izoom = 0;
    in.panx = 4.0;   // left from an earlier zoom: no zoom resets it
    in.pany = 1.0;
    const PlotGeometry g = plot_geometry(in);
    ASSERT_TRUE(g.drawable);
    EXPECT_DOUBLE_EQ(g.scale, 10.0 / 900.0);
    EXPECT_EQ(g.panx, 0.0);
    EXPECT_EQ(g.pany, 0.0);
    EXPECT_EQ(g.stepx, 0.0);
    EXPECT_EQ(g.stepy, 0.0);
    EXPECT_DOUBLE_EQ(g.left, 0.0);
    EXPECT_DOUBLE_EQ(g.right, 10.0);
    EXPECT_DOUBLE_EQ(g.bottom, 0.0);
    EXPECT_NEAR(g.top, 6.6667, 1e-4);
    EXPECT_NEAR(g.wx1, -1.1111, 1e-4);
    EXPECT_NEAR(g.wx2, 12.2222, 1e-4);
    EXPECT_NEAR(g.wy1, -0.6667, 1e-4);
    EXPECT_NEAR(g.wy2, 7.3333, 1e-4);
    EXPECT_NEAR(g.vxmin, -0.1, 1e-12);
    EXPECT_NEAR(g.vxmax, 10.1, 1e-12);
    EXPECT_NEAR(g.vymin, -0.066667, 1e-6);
    EXPECT_NEAR(g.vymax, 6.733333, 1e-6);
    EXPECT_DOUBLE_EQ(g.r, 10.0);
    EXPECT_DOUBLE_EQ(g.t, 3.0);
    EXPECT_EQ(g.ipx0, 83);
    EXPECT_EQ(g.ipx1, 833);
    EXPECT_EQ(g.ipy0, 550);
    EXPECT_EQ(g.ipy1, 325);
}

TEST(PlotWindowGeometry, ZoomAndPan) {
    PlotGeometryInput in;
    in.nxpix = 1000;
    in.nypix = 600;
    in.h = 10.0;
    in.v = 3.0;
    in.izoom = 2;
    PlotGeometry g = plot_geometry(in);
    EXPECT_DOUBLE_EQ(g.scale, 10.0 / 1800.0);
    EXPECT_DOUBLE_EQ(g.stepx, 2.5);
    EXPECT_DOUBLE_EQ(g.stepy, 0.75);
    EXPECT_DOUBLE_EQ(g.right, 5.0);
    EXPECT_DOUBLE_EQ(g.r, 5.0);   // the visible part ends before the plane does
    EXPECT_DOUBLE_EQ(g.t, 3.0);

    // Panned by one step each way: the plot area moves with the offsets.
    in.panx = 2.5;
    in.pany = 0.75;
    g = plot_geometry(in);
    EXPECT_DOUBLE_EQ(g.left, 2.5);
    EXPECT_DOUBLE_EQ(g.right, 7.5);
    EXPECT_DOUBLE_EQ(g.bottom, 0.75);
    EXPECT_DOUBLE_EQ(g.r, 7.5);
    EXPECT_DOUBLE_EQ(g.t, 3.0);
    EXPECT_NEAR(g.wx1, 2.5 - 0.1 * 1000 * g.scale, 1e-12);
    EXPECT_EQ(g.ipx0, 83);   // the pan offset sits where the plane's edge sat unpanned
    EXPECT_EQ(g.ipy0, 550);

    // Zoom 1 is no zoom.
    in.izoom = 1;
    g = plot_geometry(in);
    EXPECT_DOUBLE_EQ(g.scale, 10.0 / 900.0);
    EXPECT_EQ(g.panx, 0.0);
}

// What cannot be drawn: a window too small, or a plane without extent (no case).
TEST(PlotWindowGeometry, NothingToDraw) {
    const PlotGeometryInput cases[] = {
        {100, 600, 10.0, 3.0, 0, 0.0, 0.0},
        {1000, 0, 10.0, 3.0, 0, 0.0, 0.0},
        {1000, 600, 0.0, 3.0, 0, 0.0, 0.0},
        {1000, 600, 10.0, 0.0, 0, 0.0, 0.0},
        {1000, 600, std::numeric_limits<double>::quiet_NaN(), 3.0, 0, 0.0, 0.0},
    };
    for (const PlotGeometryInput& in : cases) EXPECT_FALSE(plot_geometry(in).drawable);
}

TEST(PlotWindowPlane, ExtentLettersAndLayerCentres) {
    griddim.NX = 4;
    griddim.NY = 3;
    griddim.NZ = 2;
    const double x[] = {0, 1, 2, 3, 10}, y[] = {0, 1, 2, 3}, z[] = {0, 1, 2.5};
    for (int i = 0; i <= 4; ++i) gridline.X[i] = x[i];
    for (int j = 0; j <= 3; ++j) gridline.Y[j] = y[j];
    for (int k = 0; k <= 2; ++k) gridline.Z[k] = z[k];

    struct Case {
        int plane;
        bool flip;
        double h, v;
        char across, up, normal;
        int limit;
    };
    const Case cases[] = {
        {1, false, 10, 3, 'X', 'Y', 'z', 2},
        {1, true, 3, 10, 'Y', 'X', 'z', 2},   // flipped: Y across, X up
        {2, false, 10, 2.5, 'X', 'Z', 'y', 3},
        {3, false, 3, 2.5, 'Y', 'Z', 'x', 4},
        {3, true, 2.5, 3, 'Z', 'Y', 'x', 4},
        {7, false, 3, 2.5, 'Y', 'Z', 'x', 4},   // any other plane is JK
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.plane) + (c.flip ? " flipped" : ""));
        const PlaneAxes a = plane_axes(c.plane, c.flip);
        EXPECT_EQ(a.h, c.h);
        EXPECT_EQ(a.v, c.v);
        EXPECT_EQ(a.across, c.across);
        EXPECT_EQ(a.up, c.up);
        EXPECT_EQ(a.normal, c.normal);
        EXPECT_EQ(plane_limit(c.plane), c.limit);
    }
    EXPECT_EQ(layer_centre(1, 2), 1.75);
    EXPECT_EQ(layer_centre(2, 1), 0.5);
    EXPECT_EQ(layer_centre(3, 4), 6.5);
}

class ColourScaleTest : public ::testing::Test {
protected:
    void SetUp() override {
        set_view_defaults();
        plotopt.TMIN = 18.0;
        plotopt.TMAX = 24.0;
        plotopt.CMIN = 0.001;
        plotopt.CMAX = 0.004;
        plotopt.C2MIN = 0.006;
        plotopt.C2MAX = 0.008;
        plotopt.RHMIN = 40.0;
        plotopt.RHMAX = 60.0;
        plotopt.PMIN = -2.0;
        plotopt.PMAX = 3.0;
        plotopt.UMIN = -0.1;
        plotopt.UMAX = 0.1;
        plotopt.VMIN = -0.2;
        plotopt.VMAX = 0.2;
        plotopt.WMIN = -0.3;
        plotopt.WMAX = 0.3;
        plotopt.SPMIN = 0.0;
        plotopt.SPMAX = 0.5;
        plotopt.RESUVWMIN = 1.0;
        plotopt.RESUVWMAX = 2.0;
        plotopt.RESMMIN = 3.0;
        plotopt.RESMMAX = 4.0;
        plotopt.RESTMIN = 5.0;
        plotopt.RESTMAX = 6.0;
        plotopt.RESCMIN = 7.0;
        plotopt.RESCMAX = 8.0;
        plotopt.CSMIN = -77.0;   // what the limits were before
        plotopt.CSMAX = 77.0;
    }
};

TEST_F(ColourScaleTest, LimitsOfEachPlot) {
    struct Case {
        PlotMember member;
        int choice, colby;
        double csmin, csmax;
    };
    const Case cases[] = {
        {PlotMember::domain, 2, 1, 18.0, 24.0},
        {PlotMember::domain, 3, 1, 1.0, 4.0},     // g/kg
        {PlotMember::domain, 4, 1, -0.1, 0.1},
        {PlotMember::domain, 5, 1, -0.3, 0.3},    // W takes the W bounds
        {PlotMember::domain, 6, 1, 0.0, 0.5},
        {PlotMember::domain, 7, 1, -2.0, 3.0},
        {PlotMember::domain, 8, 1, -0.2, 0.2},    // V takes the V bounds
        {PlotMember::domain, 9, 1, 0.0, 0.5},     // vectors coloured by speed
        {PlotMember::domain, 9, 2, 18.0, 24.0},   // by temperature
        {PlotMember::domain, 9, 3, 1.0, 4.0},     // by contaminant
        {PlotMember::domain, 9, 7, 0.0, 0.5},     // any other colouring: speed
        {PlotMember::domain, 10, 1, 6.0, 8.0},
        {PlotMember::domain, 11, 1, 40.0, 60.0},
        {PlotMember::domain, 0, 1, -77.0, 77.0},  // no field: unchanged
        {PlotMember::domain, 1, 1, -77.0, 77.0},
        {PlotMember::domain, 12, 1, -77.0, 77.0},
        {PlotMember::grid, 12, 1, 1.0, 2.0},
        {PlotMember::grid, 13, 1, 3.0, 4.0},
        {PlotMember::grid, 14, 1, 5.0, 6.0},
        {PlotMember::grid, 15, 1, 7.0, 8.0},
        {PlotMember::grid, 2, 1, -77.0, 77.0},    // a domain plot is none of the grid's
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.choice) + " by " + std::to_string(c.colby));
        plotopt.CSMIN = -77.0;
        plotopt.CSMAX = 77.0;
        viewctl.IPLOT = c.member == PlotMember::domain ? c.choice : 0;
        viewctl.IRPLOT = c.member == PlotMember::grid ? c.choice : 0;
        viewctl.ICOLBY = c.colby;
        colour_scale_step(c.member);
        EXPECT_DOUBLE_EQ(plotopt.CSMIN, c.csmin);
        EXPECT_DOUBLE_EQ(plotopt.CSMAX, c.csmax);
    }
}

TEST_F(ColourScaleTest, EqualLimitsAreWidenedAlsoWhenManual) {
    struct Case {
        bool manual;
        double bound_min, bound_max;   // temperature bounds
        double cs_min, cs_max;         // the limits before
        double want_min, want_max;
    };
    const Case cases[] = {
        {false, 20.0, 20.0, 0, 0, 19.8, 20.2},
        {false, 0.0, 0.0, 5, 6, -0.01, 0.01},
        {false, -5.0, -5.0, 0, 0, -4.95, -5.05},   // the scale runs downward
        {false, 18.0, 24.0, 0, 0, 18.0, 24.0},
        {true, 18.0, 24.0, 1.0, 2.0, 1.0, 2.0},   // the user's limits stay
        {true, 18.0, 24.0, 3.0, 3.0, 2.97, 3.03},
        {true, 18.0, 24.0, 0.0, 0.0, -0.01, 0.01},
    };
    for (const Case& c : cases) {
        viewctl.IPLOT = 2;
        viewctl.MANUAL = c.manual;
        plotopt.TMIN = c.bound_min;
        plotopt.TMAX = c.bound_max;
        plotopt.CSMIN = c.cs_min;
        plotopt.CSMAX = c.cs_max;
        colour_scale_step(PlotMember::domain);
        EXPECT_DOUBLE_EQ(plotopt.CSMIN, c.want_min);
        EXPECT_DOUBLE_EQ(plotopt.CSMAX, c.want_max);
    }
}

TEST(PlotWindowControls, PanStepsStopAtTheEdges) {
    // Zoom 2 on a plane 10 m wide: steps of 2.5 m.
    double x = 0.0;
    std::vector<double> seen;
    for (int i = 0; i < 6; ++i) {
        x = pan_up(x, 2.5, 10.0);
        seen.push_back(x);
    }
    EXPECT_EQ(seen, (std::vector<double>{2.5, 5.0, 7.5, 10.0, 10.0, 10.0}));
    x = pan_down(x, 2.5);
    EXPECT_EQ(x, 7.5);
    EXPECT_EQ(pan_down(1.0, 2.5), 0.0);   // not below 0
    EXPECT_EQ(pan_down(0.0, 2.5), 0.0);
    EXPECT_EQ(pan_up(9.0, 2.5, 10.0), 9.0);   // would pass the extent
    EXPECT_EQ(pan_up(0.0, 0.0, 10.0), 0.0);   // no zoom: no step
}

TEST(PlotWindowControls, IndexAndZoomEntries) {
    struct Case {
        const char* text;
        int lo, hi;
        EntryVerdict verdict;
        int value;
    };
    const Case cases[] = {
        {"           5", 1, 10, EntryVerdict::accept, 5},
        {"1", 1, 10, EntryVerdict::accept, 1},
        {"10", 1, 10, EntryVerdict::accept, 10},
        {"0", 1, 10, EntryVerdict::restore, -1},
        {"-3", 1, 10, EntryVerdict::restore, -1},
        {"11", 1, 10, EntryVerdict::restore, -1},
        {"999", 1, 999, EntryVerdict::accept, 999},
        {"", 1, 10, EntryVerdict::ignore, -1},
        {"   ", 1, 10, EntryVerdict::ignore, -1},
        {"abc", 1, 10, EntryVerdict::ignore, -1},
        {"2.5", 1, 10, EntryVerdict::ignore, -1},
        {"3 4", 1, 10, EntryVerdict::accept, 3},   // the first item is the entry
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        int value = -1;
        EXPECT_EQ(read_entry(c.text, c.lo, c.hi, value), c.verdict);
        EXPECT_EQ(value, c.value);
    }
}

TEST(PlotWindowPlots, WhatEachMemberDraws) {
    struct Case {
        PlotMember member;
        int choice;
        bool showbc;
        PlotDraw draw;
        int code;
    };
    using D = PlotDraw;
    const PlotMember dom = PlotMember::domain, grd = PlotMember::grid;
    const Case cases[] = {
        {dom, 0, false, D::grid, 0},     {dom, 1, false, D::blockage, 0}, {dom, 1, true, D::blockage_marks, 0},
        {dom, 2, false, D::data, 1},     {dom, 3, false, D::data, 2},     {dom, 4, false, D::data, 4},
        {dom, 5, false, D::data, 6},     {dom, 6, false, D::data, 7},     {dom, 7, false, D::data, 3},
        {dom, 8, false, D::data, 5},     {dom, 9, false, D::vectors, 0},  {dom, 10, false, D::data, 21},
        {dom, 11, false, D::data, 22},   {dom, 12, false, D::nothing, 0}, {dom, -1, false, D::nothing, 0},
        {grd, 0, false, D::grid, 0},     {grd, 1, true, D::blockage, 0},  {grd, 12, false, D::data, 12},
        {grd, 15, false, D::data, 15},   {grd, 2, false, D::nothing, 0},  {grd, 9, false, D::nothing, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.choice);
        const PlotCall call = plot_call(c.member, c.choice, c.showbc);
        EXPECT_EQ(call.draw, c.draw);
        EXPECT_EQ(call.code, c.code);
    }
}

TEST(PlotWindowTexts, LabelsAndPictureNames) {
    EXPECT_EQ(plane_position_label('z', 1.25), "z=   1.2500     ");
    EXPECT_EQ(plane_position_label('z', 1.25).size(), 16u);
    EXPECT_EQ(plane_position_label('x', 0.0), "x= 0            ");
    EXPECT_EQ(plane_position_label('y', 123456.7), "y=  0.12346E+06 ");
    EXPECT_EQ(edge_label(0.0, true), "0               ");
    EXPECT_EQ(edge_label(0.0, false), "  0.0000        ");
    EXPECT_EQ(edge_label(10.0, false), "  10.000        ");
    EXPECT_EQ(edge_label(2.5, true), "  2.5000        ");

    EXPECT_EQ(picture_name(1), "Pic_0001.BMP");
    EXPECT_EQ(picture_name(2), "Pic_0002.BMP");
    EXPECT_EQ(picture_name(42), "Pic_0042.BMP");
    EXPECT_EQ(picture_name(9999), "Pic_9999.BMP");
    EXPECT_EQ(picture_name(10000), "Pic_****.BMP");
    EXPECT_EQ(picture_name(std::numeric_limits<int32_t>::max()), "Pic_****.BMP");
}

// The index field holds the bare number (no blanks pushing the digits out of
// the narrow field), and the redraw reads it back as the same index.
TEST(PlotWindowTexts, IndexFieldTextIsTheBareNumber) {
    const struct {
        long long index;
        const char* text;
    } cases[] = {{1, "1"}, {7, "7"}, {42, "42"}, {100, "100"}, {999, "999"}, {123456789012, "123456789012"}};
    for (const auto& c : cases) {
        EXPECT_EQ(index_field_text(c.index), c.text) << c.index;
        int back = 0;
        if (c.index <= 999) {
            EXPECT_EQ(read_entry(index_field_text(c.index), 1, 999, back), EntryVerdict::accept) << c.index;
            EXPECT_EQ(back, c.index);
        }
    }
}

}  // namespace
}  // namespace tarvex
