// The raster operations of the graphics windows on a plain pixel buffer, read
// back as pictures: no Qt, no window, no display.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "platform/raster.h"

namespace tarvex::platform::raster {
namespace {

constexpr std::uint32_t PAPER = 0;
constexpr std::uint32_t INK = 1;
constexpr std::uint32_t GUARD = 7;   // the pixels between the end of a row and the next row

// A w by h buffer whose rows are two pixels longer than the picture, so that
// a write past the end of a row shows.
struct Canvas {
    int w, h;
    std::vector<std::uint32_t> px;
    Canvas(int width, int height) : w(width), h(height), px(static_cast<std::size_t>((width + 2) * height), PAPER) {
        for (int y = 0; y < h; ++y) at(w, y) = at(w + 1, y) = GUARD;
    }
    std::uint32_t& at(int x, int y) { return px[static_cast<std::size_t>(y * (w + 2) + x)]; }
    std::uint32_t at(int x, int y) const { return px[static_cast<std::size_t>(y * (w + 2) + x)]; }
    PixelBuffer buf() { return {px.data(), w, h, w + 2}; }
    PixelRect all() { return clip_rect(buf(), 0, 0, w - 1, h - 1); }
    // '#' for ink, '.' for paper, row by row.
    std::vector<std::string> picture() const {
        std::vector<std::string> rows;
        for (int y = 0; y < h; ++y) {
            std::string r;
            for (int x = 0; x < w; ++x) r += at(x, y) == INK ? '#' : '.';
            rows.push_back(r);
        }
        return rows;
    }
    bool guards_intact() const {
        for (int y = 0; y < h; ++y)
            if (at(w, y) != GUARD || at(w + 1, y) != GUARD) return false;
        return true;
    }
};

using Picture = std::vector<std::string>;

TEST(Raster, ClipRectTakesCornersInEitherOrderAndStaysInTheBuffer) {
    Canvas c(10, 6);
    const PixelRect r = clip_rect(c.buf(), 12, 4, 3, -5);
    EXPECT_EQ(r.left, 3);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 9);
    EXPECT_EQ(r.bottom, 4);
    EXPECT_TRUE(clip_rect(c.buf(), 10, 0, 20, 5).empty());    // right of the buffer
    EXPECT_TRUE(clip_rect(c.buf(), -4, -3, -1, -1).empty());  // above and left
    EXPECT_TRUE(clip_rect(PixelBuffer{}, 0, 0, 5, 5).empty()); // no pixels at all
}

// Filled rectangles cover from the first corner up to, not including, the
// second: neighbours share no pixel. An outline is the border of that area.
TEST(Raster, RectanglesTileAndOutlinesAreTheirBorder) {
    Canvas c(12, 6);
    PixelBuffer b = c.buf();
    draw_rectangle(b, c.all(), Fill::Filled, 1, 1, 4, 3, INK);
    draw_rectangle(b, c.all(), Fill::Filled, 4, 1, 6, 3, PAPER + 2);   // the neighbour, in another colour
    draw_rectangle(b, c.all(), Fill::Outline, 7, 1, 11, 5, INK);
    EXPECT_EQ(c.picture(), (Picture{
                               "............",
                               ".###...####.",
                               ".###...#..#.",
                               ".......#..#.",
                               ".......####.",
                               "............",
                           }));
    EXPECT_EQ(c.at(4, 1), PAPER + 2u);   // the neighbour's first column
    EXPECT_EQ(c.at(5, 2), PAPER + 2u);
    EXPECT_EQ(c.at(4, 3), PAPER);        // row 3 belongs to neither
    EXPECT_TRUE(c.guards_intact());
}

TEST(Raster, EmptyRectanglesDrawNothing) {
    const struct {
        int l, t, r, b;
    } cases[] = {{3, 2, 3, 5}, {3, 2, 6, 2}, {6, 2, 3, 5}, {3, 5, 6, 2}};
    for (const auto& k : cases) {
        for (Fill fill : {Fill::Filled, Fill::Outline}) {
            Canvas c(8, 6);
            PixelBuffer b = c.buf();
            draw_rectangle(b, c.all(), fill, k.l, k.t, k.r, k.b, INK);
            fill_rect(b, c.all(), k.l, k.t, k.r, k.b, INK);
            EXPECT_EQ(c.picture(), Canvas(8, 6).picture()) << k.l << ' ' << k.t << ' ' << k.r << ' ' << k.b;
        }
    }
}

// Drawing keeps to the clip, also for shapes reaching far past the buffer.
TEST(Raster, DrawingKeepsToTheClip) {
    Canvas c(10, 6);
    PixelBuffer b = c.buf();
    const PixelRect clip = clip_rect(b, 2, 1, 7, 4);
    draw_rectangle(b, clip, Fill::Filled, -1000000, -1000000, 1000000, 1000000, INK);
    EXPECT_EQ(c.picture(), (Picture{
                               "..........",
                               "..######..",
                               "..######..",
                               "..######..",
                               "..######..",
                               "..........",
                           }));
    Canvas d(10, 6);
    PixelBuffer e = d.buf();
    draw_line(e, d.all(), -3, 2, 14, 2, INK);   // a row right across, ends outside
    put_pixel(e, d.all(), 10, 3, INK);           // just past the end of a row
    put_pixel(e, d.all(), -1, 4, INK);
    put_pixel(e, d.all(), 4, 6, INK);            // just below the last row
    EXPECT_EQ(d.picture()[2], "##########");
    EXPECT_EQ(d.picture()[3], "..........");
    EXPECT_EQ(d.picture()[4], "..........");
    EXPECT_TRUE(c.guards_intact());
    EXPECT_TRUE(d.guards_intact());
}

// Lines between whole pixels include both ends, in every direction (the
// first line, by hand: error terms of the midpoint rule from (0, 0)).
TEST(Raster, LinesIncludeBothEnds) {
    Canvas c(9, 5);
    PixelBuffer b = c.buf();
    draw_line(b, c.all(), 0, 0, 8, 4, INK);
    EXPECT_EQ(c.picture(), (Picture{
                               "#........",
                               ".##......",
                               "...##....",
                               ".....##..",
                               ".......##",
                           }));
    Canvas d(9, 5);
    PixelBuffer e = d.buf();
    draw_line(e, d.all(), 6, 4, 6, 1, INK);   // upwards
    draw_line(e, d.all(), 3, 0, 1, 0, INK);   // leftwards
    draw_line(e, d.all(), 2, 3, 2, 3, INK);   // a single pixel
    EXPECT_EQ(d.picture(), (Picture{
                               ".###.....",
                               "......#..",
                               "......#..",
                               "..#...#..",
                               "......#..",
                           }));
}

// A polygon's outline closes: the last point joins the first.
TEST(Raster, PolygonOutlineIsClosed) {
    Canvas c(8, 6);
    PixelBuffer b = c.buf();
    draw_polygon_outline(b, c.all(), {{1, 1}, {6, 1}, {1, 4}}, INK);
    EXPECT_EQ(c.picture(), (Picture{
                               "........",
                               ".######.",
                               ".#..##..",
                               ".###....",
                               ".#......",
                               "........",
                           }));
    Canvas d(8, 6);
    PixelBuffer e = d.buf();
    draw_polygon_outline(e, d.all(), {{2, 2}, {5, 2}}, INK);   // two points: the side there and back
    draw_polygon_outline(e, d.all(), {}, INK);
    EXPECT_EQ(d.picture()[2], "..####..");
    EXPECT_EQ(d.picture()[1], "........");
}

TEST(Raster, SegmentsAreCutToTheRectangle) {
    // From (-2, 1) to (8, 6) through the rectangle 0..4 by 0..10: it enters
    // at x = 0 (y = 2) and leaves at x = 4 (y = 4).
    double x0 = -2, y0 = 1, x1 = 8, y1 = 6;
    ASSERT_TRUE(clip_segment(x0, y0, x1, y1, 0, 0, 4, 10));
    EXPECT_DOUBLE_EQ(x0, 0.0);
    EXPECT_DOUBLE_EQ(y0, 2.0);
    EXPECT_DOUBLE_EQ(x1, 4.0);
    EXPECT_DOUBLE_EQ(y1, 4.0);
    // Inside: unchanged.
    double a0 = 1, b0 = 1, a1 = 3, b1 = 9;
    ASSERT_TRUE(clip_segment(a0, b0, a1, b1, 0, 0, 4, 10));
    EXPECT_EQ(a0, 1.0);
    EXPECT_EQ(b1, 9.0);
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double x0, y0, x1, y1;
    } outside[] = {{5, 0, 9, 10}, {-1, -1, 5, -0.5}, {-3, 8, 3, 18}, {nan, 1, 2, 2}, {1, 1, inf, 2}};
    for (const auto& s : outside) {
        double p = s.x0, q = s.y0, r = s.x1, t = s.y1;
        EXPECT_FALSE(clip_segment(p, q, r, t, 0, 0, 4, 10)) << s.x0 << ' ' << s.y0 << ' ' << s.x1 << ' ' << s.y1;
    }
}

}  // namespace
}  // namespace tarvex::platform::raster
