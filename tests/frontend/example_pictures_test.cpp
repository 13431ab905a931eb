// The plane drawing on the bundled example room after a run: a temperature
// plane with its legend, a vector plane and two blockage planes with the
// room's boundary markers, drawn into a maximised plot window that is set up
// here as the plot viewer does (viewport, a world window that fits the plane
// with room for the legend at the right, the visible range, and the colour
// scale from the field extremes). Every cell's colour is checked against its
// band.
//
// With TARVEX_PICTURE_DIR set, the room is run for the 500 iterations of the
// README's run command and the four pictures are saved there as BMP files
// (temperature.bmp, vectors.bmp, blockage_k4.bmp, blockage_i8.bmp).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "common/channels.h"
#include "engine/data.h"
#include "engine/engine.h"
#include "frontend/calc/fieldstats.h"
#include "frontend/calc/planegeom.h"
#include "frontend/calc/viewstate.h"
#include "frontend/dlg_plotfuncs.h"
#include "platform/frame_fixture.h"
#include "platform/window.h"

namespace tarvex {
namespace {

namespace fs = std::filesystem;
using platform::Window;
using platform::WindowState;

const char* picture_dir() {
    const char* d = std::getenv("TARVEX_PICTURE_DIR");
    return d && *d ? d : nullptr;
}

class ExamplePictures : public platform::testing::FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        const fs::path example = fs::path(TARVEX_SOURCE_DIR) / "examples/room";
        {
            ScopedChannelSink bind(CH_CONSOLE, &console_);
            ASSERT_TRUE(filenames.INFILE.assign((example / "room.case").string()));
            ASSERT_TRUE(filenames.CTLFILE.assign((example / "room.control").string()));
            ASSERT_EQ(INPUT0(), 0) << console_.text();
            ASSERT_EQ(INPUT1(), 0) << console_.text();
            INIVAL();
            runctl.ITER = 0;
            runctl.DT = 1.0;
            const int iterations = picture_dir() ? 500 : 40;
            for (int n = 0; n < iterations; ++n) {
                ++runctl.ITER;
                int iusr3 = 0, iconv = 0;
                SOLVE(iusr3, iconv);
            }
        }
        set_view_defaults();
        open_plot_window();
    }
    void TearDown() override {
        platform::close_window(CH_VIEW);
        FrameTest::TearDown();
    }

    // The plot window as the viewer opens it: cleared, maximised in the
    // frame, measured.
    void open_plot_window() {
        ASSERT_TRUE(platform::open_window(CH_VIEW, platform::WindowKind::Graphics, "Domain view"));
        w.clear();
        w.set_place({WindowState::Maximised});
        platform::WindowPlace place;
        platform::WindowConfig cfg;
        ASSERT_TRUE(w.get_place(place));
        ASSERT_TRUE(w.get_config(cfg));
        viewctl.NXPIX = cfg.pixels_x / cfg.text_cols * place.width - 10;
        viewctl.NYPIX = cfg.pixels_y / cfg.text_rows * place.height - 10;
        ASSERT_GT(viewctl.NXPIX, 400);
        ASSERT_GT(viewctl.NYPIX, 440);   // the legend reaches down to 437
    }

    // Fits the current plane into the window with 100 pixels at the right
    // for the legend, and clears it in the scheme's background.
    void fit_plane() {
        PlaneOrientation o;
        ASSERT_TRUE(plane_orientation(viewctl.IPLANE, viewctl.FLIP, o));
        const double h = axis_line(o.horizontal, axis_lines(o.horizontal));
        const double v = axis_line(o.vertical, axis_lines(o.vertical));
        const int nx = viewctl.NXPIX, ny = viewctl.NYPIX;
        const double s = std::max(h / (nx - 100), v / ny);
        const double wx = (nx - 100) * s, wy = ny * s, fx = nx * s;
        w.set_viewport(0, 0, nx, ny);
        ASSERT_TRUE(w.set_world_window(true, -0.1 * fx, -0.1 * wy, 1.1 * fx, 1.1 * wy));
        viewwin.VXMIN = -0.01 * wx;
        viewwin.VXMAX = 1.01 * wx;
        viewwin.VYMIN = -0.01 * wy;
        viewwin.VYMAX = 1.01 * wy;
        w.set_bk_color_rgb(role_colour(colour_entry::BACKGROUND));
        w.set_color_rgb(role_colour(colour_entry::TEXT));
        w.clear();
    }

    // The colour scale from the field extremes, widened when they are equal.
    static void scale(double lo, double hi) {
        if (lo == 0.0 && hi == 0.0) {
            lo = -0.01;
            hi = 0.01;
        } else if (lo == hi) {
            lo = 0.99 * hi;
            hi = 1.01 * hi;
        }
        plotopt.CSMIN = lo;
        plotopt.CSMAX = hi;
    }

    std::uint32_t at(double x, double y) const {
        const platform::WorldPoint p = w.world_to_pixel(x, y);
        return w.pixel(static_cast<int>(std::floor(p.x + 0.5)), static_cast<int>(std::floor(p.y + 0.5)));
    }
    // Whether a colour shows within the rectangle of a cell.
    bool in_cell(const CellRect& r, std::uint32_t colour) const {
        const platform::WorldPoint a = w.world_to_pixel(r.x0, r.y1), b = w.world_to_pixel(r.x1, r.y0);
        for (int y = static_cast<int>(a.y); y <= static_cast<int>(b.y); ++y)
            for (int x = static_cast<int>(a.x); x <= static_cast<int>(b.x); ++x)
                if (w.pixel(x, y) == colour) return true;
        return false;
    }

    void save(const char* name) {
        if (const char* dir = picture_dir()) {
            const std::string file = (fs::path(dir) / name).string();
            EXPECT_EQ(w.save_image(file, 0, 0, viewctl.NXPIX, viewctl.NYPIX), 0) << file;
        }
    }

    Window w{CH_VIEW};
    CaptureSink console_;
};

// IK plane through the supply (J = 6): the jet under the ceiling and the
// warm occupied zone, every open cell in its band, the legend beside.
TEST_F(ExamplePictures, TemperaturePlaneWithLegend) {
    viewctl.IPLANE = 2;
    const int j = 6;
    fit_plane();
    GETDATABOUNDS();
    scale(plotopt.TMIN, plotopt.TMAX);
    set_pltitle("Temperature C");
    ASSERT_LT(plotopt.TMIN, plotopt.TMAX);
    DRAW_DATA(j, 1);
    save("temperature.bmp");

    PlaneOrientation o;
    plane_orientation(2, false, o);
    std::set<int> bands;
    for_each_plane_cell(2, j, [&](int i, int jj, int k) {
        const int32_t idx = ARIDX(i, jj, k);
        const CellRect r = cell_rect(o, i, jj, k);
        const int band = colour_band(fields.T[idx] - KELVIN_OFFSET, plotopt.CSMIN, plotopt.CSMAX);
        bands.insert(band);
        EXPECT_EQ(at((r.x0 + r.x1) / 2, (r.y0 + r.y1) / 2), plotopt.COLTAB[4][band]) << i << "," << k;
    });
    EXPECT_GE(bands.size(), 5u);   // a field, not one colour
    // The supply is the coolest air of the plane, at the west wall under the ceiling.
    EXPECT_EQ(colour_band(fields.T[ARIDX(1, j, 9)] - KELVIN_OFFSET, plotopt.CSMIN, plotopt.CSMAX), *bands.begin());
    // The legend: band 16 at the top, band 1 at the bottom.
    const int nx = viewctl.NXPIX;
    EXPECT_EQ(w.pixel(nx - 90, 95), plotopt.COLTAB[4][16]);
    EXPECT_EQ(w.pixel(nx - 90, 405), plotopt.COLTAB[4][1]);
}

// The same plane as vectors coloured by speed: an arrow on every open cell,
// the supply's pointing into the room along x.
TEST_F(ExamplePictures, VectorPlane) {
    viewctl.IPLANE = 2;
    const int j = 6;
    fit_plane();
    GETDATABOUNDS();
    scale(plotopt.SPMIN, plotopt.SPMAX);
    set_pltitle("Speed m/s");
    DRAW_VECTOR(j, 1);
    save("vectors.bmp");

    PlaneOrientation o;
    plane_orientation(2, false, o);
    const int32_t supply = ARIDX(1, j, 9);
    const InPlane u = in_plane_velocity(o, supply, 1, j, 9);
    EXPECT_GT(u.uh, 0.3);
    const CellRect r = cell_rect(o, 1, j, 9);
    const double xc = (r.x0 + r.x1) / 2, yc = (r.y0 + r.y1) / 2;
    const ArrowPoints a = arrow_points(u.uh, u.uv, plotopt.VSCALE, xc, yc);
    const std::uint32_t colour = plotopt.COLTAB[4][colour_band(vector_colour_value(1, supply, 1, j, 9),
                                                                plotopt.CSMIN, plotopt.CSMAX)];
    EXPECT_EQ(at(a.head.x, a.head.y), colour);
    EXPECT_EQ(at(a.barb.x, a.barb.y), colour);
    EXPECT_EQ(at(xc, yc), colour);
}

// IJ plane at K = 4: the cupboard in the south-east corner blocked, the
// glazed south wall marked blue, the gains of the occupied zone as red
// triangles.
TEST_F(ExamplePictures, BlockagePlaneWithMarkersAcrossTheRoom) {
    viewctl.IPLANE = 1;
    plotopt.SHOWBC = true;
    fit_plane();
    DRAW_CPR(4);
    DRAW_BNDS(4);
    save("blockage_k4.bmp");

    PlaneOrientation o;
    plane_orientation(1, false, o);
    EXPECT_EQ(at((gridline.X[14] + gridline.X[15]) / 2, gridline.Y[1] / 2), plotopt.COLTAB[4][21]);   // cupboard
    EXPECT_EQ(at((gridline.X[3] + gridline.X[4]) / 2, 0.0), 0xAA0000u);   // the south wall's U-value
    for (int i = 7; i <= 10; ++i)
        for (int jj = 5; jj <= 8; ++jj) EXPECT_TRUE(in_cell(cell_rect(o, i, jj, 4), 0x0000AAu)) << i << "," << jj;
    EXPECT_FALSE(in_cell(cell_rect(o, 4, 4, 4), 0x0000AAu));
    EXPECT_FALSE(in_cell(cell_rect(o, 16, 1, 4), 0x0000AAu));   // blocked: no markers
}

// JK plane at I = 8: the window on the north wall (face +y) as an olive
// right edge of its cell, the gains, the glazing on the left.
TEST_F(ExamplePictures, BlockagePlaneWithTheWindow) {
    viewctl.IPLANE = 3;
    plotopt.SHOWBC = true;
    fit_plane();
    DRAW_CPR(8);
    DRAW_BNDS(8);
    save("blockage_i8.bmp");

    const double zc = (gridline.Z[5] + gridline.Z[6]) / 2;
    EXPECT_EQ(at(gridline.Y[12], zc), 0x00BBBBu);
    EXPECT_NE(at(gridline.Y[12], (gridline.Z[3] + gridline.Z[4]) / 2), 0x00BBBBu);
    EXPECT_EQ(at(0.0, zc), 0xAA0000u);
}

}  // namespace
}  // namespace tarvex
