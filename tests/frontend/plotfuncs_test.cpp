// The plane drawing, read back pixel by pixel from the plot window
// (channel 99): blockage fills and face lines, a flipped plane, the visible
// range, field cells with the blockage over them, boundary markers, arrows
// and the colour legend.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "common/channels.h"
#include "engine/data.h"
#include "engine/engine.h"
#include "engine/open_box_fixture.h"
#include "frontend/calc/planegeom.h"
#include "frontend/calc/viewstate.h"
#include "frontend/dlg_plotfuncs.h"
#include "platform/frame_fixture.h"
#include "platform/window.h"

namespace tarvex {
namespace {

using platform::Window;

constexpr std::uint32_t BLACK = 0x000000, WHITE = 0xFFFFFF;
// Scheme 4 on screen.
constexpr std::uint32_t OPEN_FILL = 0x2A2A2A, BLOCKED_FILL = 0x707070;
constexpr std::uint32_t OPEN_FACE = 0x0F0F0F, CLOSED_FACE = 0xF0F0F0;
constexpr std::uint32_t GRID = 0xFFFFFF;
constexpr std::uint32_t OLIVE = 0x00BBBB, UVALUE = 0xAA0000;
constexpr std::uint32_t KEPT = 0x123456;   // a drawing colour the routines must put back

// A 4 x 3 x 2 box (x lines 0, 2.5, 5, 7.5, 10; y 0, 2, 4, 5; z 0, 1, 2.5)
// drawn into a 600 by 450 pixel plot window whose world window runs from
// -1 to 29 across and -1 to 21.5 up: 20 pixels a metre, pixel x = 20 (x + 1)
// and pixel y = 430 - 20 y. The legend (NXPIX 590) stands right of the
// domain.
class PlotDrawing : public platform::testing::FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        set_view_defaults();
        ASSERT_TRUE(platform::open_window(CH_VIEW, platform::WindowKind::Graphics, "Domain view"));
        platform::WindowConfig cfg{600, 450, -1, -1, -1, 8, 16, ""};
        w.set_config(cfg);
        w.set_bk_color_rgb(BLACK);
        w.set_color_rgb(KEPT);
        w.clear();
        ASSERT_TRUE(w.set_viewport(0, 0, 600, 450));
        ASSERT_TRUE(w.set_world_window(true, -1.0, -1.0, 29.0, 21.5));
        viewctl.NXPIX = 590;
        viewctl.NYPIX = 440;
        see_everything();
        pbtable.NPB = 0;
        BUILD_PBCELLS();
        for (int n = 0; n <= 6 * NCELLMAX; ++n) uvaltab.UVAL[n] = -999.0;
    }
    void TearDown() override {
        platform::close_window(CH_VIEW);
        FrameTest::TearDown();
    }

    static void see_everything() {
        viewwin.VXMIN = viewwin.VYMIN = -1.0;
        viewwin.VXMAX = viewwin.VYMAX = 20.0;
    }
    // The window pixel of a world point, as the layer snaps it.
    int px(double x) const { return static_cast<int>(std::floor(w.world_to_pixel(x, 0.0).x + 0.5)); }
    int py(double y) const { return static_cast<int>(std::floor(w.world_to_pixel(0.0, y).y + 0.5)); }
    std::uint32_t at(double x, double y) const { return w.pixel(px(x), py(y)); }
    // The colour is within a pixel of a world point (along a slanted line).
    bool near(double x, double y, std::uint32_t colour) const {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (w.pixel(px(x) + dx, py(y) + dy) == colour) return true;
        return false;
    }
    // How many pixels of a colour the window holds.
    int count(std::uint32_t colour) const {
        int n = 0;
        for (int y = 0; y < 450; ++y)
            for (int x = 0; x < 600; ++x) n += w.pixel(x, y) == colour;
        return n;
    }

    openbox::OpenBoxGrid box{{2.5, 2.5, 2.5, 2.5}, {2.0, 2.0, 1.0}, {1.0, 1.5}};
    Window w{CH_VIEW};
};

TEST_F(PlotDrawing, BlockageCellFillsAndFaceLines) {
    EXPECT_EQ(px(2.5), 70);
    EXPECT_EQ(py(2.0), 390);
    // Left closed, bottom half open, right open, top closed.
    PLOTCPR(1.0, 0.0, 0.5, 1.0, 0.0, 2.5, 5.0, 2.0, 4.0);
    EXPECT_EQ(at(3.75, 3.0), OPEN_FILL);
    EXPECT_EQ(at(2.5, 3.0), CLOSED_FACE);
    EXPECT_EQ(at(3.75, 2.0), OPEN_FACE);   // a face half open is an open face
    EXPECT_EQ(at(5.0, 3.0), OPEN_FACE);
    EXPECT_EQ(at(3.75, 4.0), CLOSED_FACE);
    EXPECT_EQ(w.color_rgb(), KEPT);   // the drawing colour is put back

    PLOTCPR(0.0, 0.0, 0.0, 0.0, 0.0, 7.5, 10.0, 2.0, 4.0);
    EXPECT_EQ(at(8.75, 3.0), BLOCKED_FILL);
    EXPECT_EQ(at(7.5, 3.0), CLOSED_FACE);

    // On paper the fills and the face lines exchange their colours.
    plotopt.PAPER = true;
    PLOTCPR(1.0, 0.0, 1.0, 1.0, 1.0, 2.5, 5.0, 10.0, 12.0);
    EXPECT_EQ(at(3.75, 11.0), BLOCKED_FILL);
    EXPECT_EQ(at(2.5, 11.0), OPEN_FACE);
    EXPECT_EQ(at(3.75, 10.0), CLOSED_FACE);

    // The overlay draws closed faces only, and fills a blocked cell without edges.
    plotopt.PAPER = false;
    w.clear();
    ADDCPR(1.0, 0.0, 0.5, 1.0, 1.0, 2.5, 5.0, 2.0, 4.0);
    EXPECT_EQ(at(2.5, 3.0), CLOSED_FACE);
    EXPECT_EQ(at(3.75, 2.0), BLACK);
    EXPECT_EQ(at(5.0, 3.0), BLACK);
    EXPECT_EQ(at(3.75, 3.0), BLACK);
    ADDCPR(0.0, 0.0, 0.0, 0.0, 0.0, 7.5, 10.0, 2.0, 4.0);
    EXPECT_EQ(at(8.75, 3.0), BLOCKED_FILL);
    EXPECT_EQ(at(7.5, 3.0), BLOCKED_FILL);   // no edge line
}

// Flipped IJ plane: y across, x up. A closed west face lies on the cell's
// bottom edge and a closed south face on its left edge.
TEST_F(PlotDrawing, FlippedPlaneFacesAndGridLines) {
    const int32_t p = ARIDX(3, 2, 1);
    fields.CPRU[p] = 0.0;
    fields.CPRV[p] = 0.0;
    viewctl.IPLANE = 1;
    viewctl.FLIP = true;
    DRAW_CPR(1);
    // Cell (3, 2, 1): y 2..4 across, x 5..7.5 up.
    EXPECT_EQ(at(3.0, 6.25), OPEN_FILL);
    EXPECT_EQ(at(3.0, 5.0), CLOSED_FACE);   // west face: bottom edge
    EXPECT_EQ(at(2.0, 6.25), CLOSED_FACE);  // south face: left edge
    EXPECT_EQ(at(3.0, 7.5), OPEN_FACE);     // east face, open: top edge
    EXPECT_EQ(at(4.0, 6.25), OPEN_FACE);    // north face, open: right edge
    EXPECT_EQ(at(3.0, 2.5), OPEN_FACE);     // the same line one cell down is open
    EXPECT_EQ(at(0.0, 6.25), CLOSED_FACE);  // the south wall
    EXPECT_EQ(at(5.0, 6.25), CLOSED_FACE);  // the north wall, across at y = 5
    EXPECT_EQ(at(6.0, 6.25), BLACK);        // beyond the domain

    // Grid lines along the horizontal axis (y) within VXMIN..VXMAX only.
    w.clear();
    viewwin.VXMIN = 0.0;
    viewwin.VXMAX = 3.0;
    DRAW_GRID(0.0, 5.0, 0.0, 10.0);
    EXPECT_EQ(at(2.0, 3.0), GRID);    // y = 2 lies within [0, 3]
    EXPECT_EQ(at(0.0, 3.0), GRID);
    EXPECT_EQ(at(4.0, 3.0), BLACK);   // y = 4 does not
    EXPECT_EQ(at(1.0, 7.5), GRID);    // the horizontal lines at x = 7.5 ...
    EXPECT_EQ(at(4.5, 7.5), GRID);    // ... run from xl to xr
    EXPECT_EQ(at(5.5, 7.5), BLACK);
    EXPECT_EQ(at(1.0, 6.0), BLACK);

    // On paper, scheme 1 draws its grid lines white on the white paper.
    w.clear();
    plotopt.PAPER = true;
    plotopt.ISCHEME = 1;
    DRAW_GRID(0.0, 5.0, 0.0, 10.0);
    EXPECT_EQ(at(2.0, 3.0), WHITE);
    EXPECT_EQ(role_colour(colour_entry::BACKGROUND), WHITE);
}

TEST_F(PlotDrawing, ACellReachingPastTheVisibleRangeIsLeftOut) {
    viewwin.VXMAX = 6.0;   // cell 3 runs from 5 to 7.5
    DRAW_CPR(1);
    EXPECT_EQ(at(3.75, 1.0), OPEN_FILL);
    EXPECT_EQ(at(5.0, 1.0), OPEN_FACE);     // cell 2's east edge is its own
    EXPECT_EQ(at(6.0, 1.0), BLACK);         // partly in view: not drawn at all
    EXPECT_EQ(at(5.5, 3.0), BLACK);
    see_everything();
    viewwin.VYMIN = 1.0;   // the first row starts at 0
    w.clear();
    DRAW_CPR(1);
    EXPECT_EQ(at(1.25, 1.0), BLACK);
    EXPECT_EQ(at(1.25, 3.0), OPEN_FILL);
    // A layer outside the plane, or no plane at all, draws nothing.
    w.clear();
    DRAW_CPR(3);
    DRAW_CPR(0);
    viewctl.IPLANE = 4;
    DRAW_CPR(1);
    DRAW_GRID(0.0, 10.0, 0.0, 5.0);
    EXPECT_EQ(count(BLACK), 600 * 450);
}

TEST_F(PlotDrawing, FieldCellsWithTheBlockageOverThem) {
    for (int j = 1; j <= 3; ++j)
        for (int i = 1; i <= 4; ++i) fields.T[ARIDX(i, j, 1)] = 281.65;   // 8.5 C: band 9
    fields.T[ARIDX(4, 1, 1)] = 300.0;                                     // above the scale: band 16
    fields.T[ARIDX(1, 3, 1)] = std::nan("");                              // no band: not filled
    box.block(2, 2, 1);
    box.finish();
    plotopt.CSMIN = 0.0;
    plotopt.CSMAX = 16.0;
    plotopt.SHOWCPR = false;
    DRAW_DATA(1, 1);
    EXPECT_EQ(at(1.25, 1.0), plotopt.COLTAB[4][9]);
    EXPECT_EQ(at(8.75, 1.0), plotopt.COLTAB[4][16]);
    EXPECT_EQ(at(3.75, 3.0), BLACK);   // the blocked cell: background
    EXPECT_EQ(at(1.25, 4.5), BLACK);   // not a number
    EXPECT_EQ(at(2.5, 1.0), plotopt.COLTAB[4][9]);   // no face lines without the overlay

    w.clear();
    plotopt.SHOWCPR = true;
    DRAW_DATA(1, 1);
    EXPECT_EQ(at(3.75, 3.0), BLOCKED_FILL);
    EXPECT_EQ(at(1.25, 1.0), plotopt.COLTAB[4][9]);
    EXPECT_EQ(at(0.0, 1.0), CLOSED_FACE);   // the west wall over the colours
    EXPECT_EQ(at(2.5, 1.0), plotopt.COLTAB[4][9]);   // open faces are not drawn

    // With SHOWGRID every filled cell is outlined in the text colour.
    w.clear();
    plotopt.SHOWCPR = false;
    plotopt.SHOWGRID = true;
    DRAW_DATA(1, 1);
    EXPECT_EQ(at(2.5, 1.0), WHITE);
    EXPECT_EQ(at(1.25, 1.0), plotopt.COLTAB[4][9]);
}

TEST_F(PlotDrawing, PressureBoundaryFacesOnAndOffThePlane) {
    // Cell (2, 1, 1) is in two boxes: -z and +z.
    pbtable.NPB = 2;
    const int faces[] = {0, 5, 6};
    for (int n = 1; n <= 2; ++n) {
        pbtable.PBI1[n] = pbtable.PBI2[n] = 2;
        pbtable.PBJ1[n] = pbtable.PBJ2[n] = 1;
        pbtable.PBK1[n] = pbtable.PBK2[n] = 1;
        pbtable.PBFACE[n] = faces[n];
    }
    BUILD_PBCELLS();
    // IK plane at J = 1: x across, z up; the cell spans x 2.5..5, z 0..1.
    viewctl.IPLANE = 2;
    DRAW_BNDS(1);
    EXPECT_EQ(at(3.75, 0.0), OLIVE);   // -z: bottom edge
    EXPECT_EQ(at(3.75, 1.0), OLIVE);   // +z: top edge
    EXPECT_EQ(at(2.5, 0.5), BLACK);
    EXPECT_EQ(at(1.25, 0.0), BLACK);   // the cell beside it has none
    // Flipped: z across, x up: -z left, +z right.
    w.clear();
    viewctl.FLIP = true;
    DRAW_BNDS(1);
    EXPECT_EQ(at(0.0, 3.75), OLIVE);
    EXPECT_EQ(at(1.0, 3.75), OLIVE);
    EXPECT_EQ(at(0.5, 2.5), BLACK);
    // JK plane at I = 2: y across, z up.
    w.clear();
    viewctl.FLIP = false;
    viewctl.IPLANE = 3;
    DRAW_BNDS(2);
    EXPECT_EQ(at(1.0, 0.0), OLIVE);
    // An IJ plane cuts neither face: nothing at all.
    w.clear();
    viewctl.IPLANE = 1;
    DRAW_BNDS(1);
    EXPECT_EQ(count(OLIVE), 0);
    // Another layer of the IK plane does not hold the cell.
    viewctl.IPLANE = 2;
    DRAW_BNDS(2);
    EXPECT_EQ(count(OLIVE), 0);
}

TEST_F(PlotDrawing, InflowHeatAndUValueMarkers) {
    // An inflow carrying heat in cell (1, 1, 1), an outflow in (4, 1, 1), a
    // U-value surface on the south face of (2, 1, 1), and a blocked cell
    // (3, 2, 1) with sources that shows nothing.
    const int32_t in = ARIDX(1, 1, 1), out = ARIDX(4, 1, 1), glazed = ARIDX(2, 1, 1), blocked = ARIDX(3, 2, 1);
    fields.SMASS[in] = 0.06;
    fields.SCT[in] = 0.06 * 289.15;
    fields.SMASS[out] = -0.05;
    fields.SCT[out] = -0.05 * 293.15;
    uvaltab.UVAL[uvidx(glazed, 3)] = 0.009;
    box.block(3, 2, 1);
    fields.SMASS[blocked] = 1.0;
    fields.SCT[blocked] = 1.0;
    uvaltab.UVAL[uvidx(blocked, 1)] = 0.001;
    DRAW_BNDS(1);
    // Cell (1, 1, 1): x 0..2.5, y 0..2.
    EXPECT_EQ(at(0.3, 1.7), 0x000077u);   // upper left: mass in, dark red
    EXPECT_EQ(at(2.2, 0.3), 0x0000AAu);   // lower right: heat in, red
    EXPECT_EQ(at(8.0, 1.7), 0x770000u);   // outflow: dark blue
    EXPECT_EQ(at(9.7, 0.3), 0xAA0000u);   // heat out: blue
    EXPECT_EQ(at(3.75, 0.0), UVALUE);     // the south face: bottom edge
    EXPECT_EQ(at(3.75, 1.0), BLACK);      // no source there
    EXPECT_EQ(at(6.25, 3.0), BLACK);      // the blocked cell
    EXPECT_EQ(at(5.0, 3.0), BLACK);
    EXPECT_EQ(w.color_rgb(), KEPT);
}

TEST_F(PlotDrawing, ArrowShaftEndsAndOneBarb) {
    plotopt.CSMIN = 0.0;
    plotopt.CSMAX = 16.0;
    const std::uint32_t band9 = plotopt.COLTAB[4][9];
    // (1, 0) m/s at scale 4 centred on (5, 5): shaft 3..7, barb to (6.134, 5.5).
    PLOTVEC(8.5, 1.0, 0.0, 0.0, 16.0, 5.0, 5.0, 4.0, 2.5, 4.0, 7.5, 6.0);
    EXPECT_EQ(at(3.0, 5.0), band9);
    EXPECT_EQ(at(7.0, 5.0), band9);
    EXPECT_EQ(at(5.0, 5.0), band9);
    EXPECT_EQ(at(2.9, 5.0), BLACK);
    EXPECT_EQ(at(7.1, 5.0), BLACK);
    EXPECT_EQ(at(6.134, 5.5), band9);    // the barb's end, left of the direction (above)
    EXPECT_TRUE(near(6.567, 5.25, band9));   // half way along the barb
    EXPECT_EQ(at(6.134, 4.5), BLACK);    // no second barb
    EXPECT_EQ(w.color_rgb(), KEPT);

    // A value that is not a number draws no arrow; a velocity that is not a
    // number neither.
    w.clear();
    PLOTVEC(std::nan(""), 1.0, 0.0, 0.0, 16.0, 5.0, 5.0, 4.0, 2.5, 4.0, 7.5, 6.0);
    PLOTVEC(8.5, std::nan(""), 0.0, 0.0, 16.0, 5.0, 5.0, 4.0, 2.5, 4.0, 7.5, 6.0);
    EXPECT_EQ(count(BLACK), 600 * 450);

    // Through the walker on an IK plane: U across, W up, at the cell centre,
    // with the overlay under the arrows.
    w.clear();
    viewctl.IPLANE = 2;
    plotopt.VSCALE = 2.0;
    const int32_t p = ARIDX(3, 1, 2);   // x 5..7.5, z 1..2.5: centre (6.25, 1.75)
    fields.W[p] = 0.5;                  // top layer: W of the bottom face alone
    for (int k = 1; k <= 2; ++k)
        for (int i = 1; i <= 4; ++i) fields.T[ARIDX(i, 1, k)] = 281.65;
    DRAW_VECTOR(1, 2);                  // coloured by temperature: band 9
    EXPECT_EQ(at(6.25, 1.25), band9);   // the shaft from 1.25 ...
    EXPECT_EQ(at(6.25, 2.25), band9);   // ... to 2.25
    EXPECT_EQ(at(6.25, 2.35), BLACK);
    EXPECT_EQ(at(6.125, 2.0335), band9);   // the barb's end, to the left going up
    EXPECT_EQ(at(6.375, 2.0335), BLACK);
    EXPECT_EQ(at(0.0, 2.0), CLOSED_FACE);   // the west wall under the arrows
}

// Where two layers meet, the later one shows: an arrow crossing its own
// cell's closed face lies over the face line (the overlay is drawn first).
TEST_F(PlotDrawing, ArrowsLieOverTheBlockageTheyCross) {
    plotopt.CSMIN = 0.0;
    plotopt.CSMAX = 16.0;
    const std::uint32_t band9 = plotopt.COLTAB[4][9];
    viewctl.IPLANE = 2;   // x across, z up
    plotopt.VSCALE = 4.0;
    for (int k = 1; k <= 2; ++k)
        for (int i = 1; i <= 4; ++i) fields.T[ARIDX(i, 1, k)] = 281.65;
    // Cell (1, 1, 2): x 0..2.5, z 1..2.5, centre (1.25, 1.75); 1 m/s towards
    // -x gives a shaft from 3.25 to -0.75, across the west wall at x = 0.
    fields.U[ARIDX(1, 1, 2)] = fields.U[ARIDX(2, 1, 2)] = -1.0;
    DRAW_VECTOR(1, 2);
    EXPECT_EQ(at(0.0, 1.75), band9);          // the arrow over the wall
    EXPECT_EQ(at(0.0, 1.25), CLOSED_FACE);    // the wall beside it
    EXPECT_EQ(at(-0.5, 1.75), band9);         // the shaft goes on past it
}

// A face that is both a U-value surface and a pressure boundary shows the
// pressure boundary: its edge is drawn after the U-value edges.
TEST_F(PlotDrawing, PressureBoundaryEdgeOverAUValueEdge) {
    const int32_t p = ARIDX(2, 1, 1);   // x 2.5..5, y 0..2
    uvaltab.UVAL[uvidx(p, 3)] = 0.009;  // the south face: the bottom edge
    uvaltab.UVAL[uvidx(p, 1)] = 0.009;  // the west face: the left edge, U-value only
    pbtable.NPB = 1;
    pbtable.PBI1[1] = pbtable.PBI2[1] = 2;
    pbtable.PBJ1[1] = pbtable.PBJ2[1] = 1;
    pbtable.PBK1[1] = pbtable.PBK2[1] = 1;
    pbtable.PBFACE[1] = 3;
    BUILD_PBCELLS();
    DRAW_BNDS(1);
    EXPECT_EQ(at(3.75, 0.0), OLIVE);
    EXPECT_EQ(at(2.5, 1.0), UVALUE);
}

// The legend: 16 boxes from band 16 at the top, their labels, min below
// the lowest box and the caption, each text where a text drawn by hand in
// the same font lands.
TEST_F(PlotDrawing, LegendBoxesAndLabels) {
    set_pltitle("Temperature C");
    CONTOUR_SCALE(0.0, 16.0);
    EXPECT_EQ(w.color_rgb(), WHITE);   // left at the text colour
    for (int n = 1; n <= 16; ++n) {
        EXPECT_EQ(w.pixel(590 - 95, 70 + 20 * n), plotopt.COLTAB[4][17 - n]) << n;
        EXPECT_EQ(w.pixel(590 - 71, 89 + 20 * n), plotopt.COLTAB[4][17 - n]) << n;
    }
    EXPECT_EQ(w.pixel(590 - 70, 100), BLACK);
    EXPECT_EQ(w.pixel(590 - 96, 100), BLACK);

    // The same texts drawn by hand into a second window.
    ASSERT_TRUE(platform::open_window(98, platform::WindowKind::Graphics, "by hand"));
    Window hand(98);
    platform::WindowConfig cfg{600, 450, -1, -1, -1, 8, 16, ""};
    hand.set_config(cfg);
    hand.set_bk_color_rgb(BLACK);
    hand.clear();
    hand.set_viewport(0, 0, 600, 450);
    hand.select_font("t'Arial'h12w6pvb");
    hand.set_color_rgb(WHITE);
    const auto labels = legend_labels(0.0, 16.0);
    for (int n = 1; n <= 16; ++n) {
        hand.move_to(590 - 65, 70 + 20 * n);
        hand.out_text(labels[n - 1]);
    }
    hand.move_to(590 - 65, 410);
    hand.out_text(labels[16]);
    hand.move_to(590 - 125, 425);
    hand.out_text("Temperature C       ");
    int text_pixels = 0;
    for (int y = 80; y < 450; ++y)
        for (int x = 590 - 130; x < 600; ++x) {
            if (x >= 590 - 95 && x < 590 - 70 && y >= 90 && y < 410) continue;   // the boxes
            const std::uint32_t got = w.pixel(x, y), want = hand.pixel(x, y);
            ASSERT_EQ(got, want) << x << "," << y;
            text_pixels += got == WHITE;
        }
    EXPECT_GT(text_pixels, 200);
    platform::close_window(98);

    // On paper the labels are drawn in the paper's text colour, black.
    plotopt.PAPER = true;
    CONTOUR_SCALE(0.0, 16.0);
    EXPECT_EQ(w.color_rgb(), BLACK);
}

}  // namespace
}  // namespace tarvex
