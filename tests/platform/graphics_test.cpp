#include <gtest/gtest.h>

#include <QImage>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "frame_fixture.h"
#include "platform/fontspec.h"
#include "platform/window.h"

namespace tarvex::platform {
namespace {

constexpr std::uint32_t RED = 0x0000FF;     // 0x00BBGGRR
constexpr std::uint32_t BLUE = 0xFF0000;
constexpr std::uint32_t GREEN = 0x00FF00;
constexpr std::uint32_t WHITE = 0xFFFFFF;

class GraphicsTest : public testing::FrameTest {
protected:
    // A white graphics window of w by h pixels on channel 30.
    Window canvas(int w = 200, int h = 100, int channel = 30) {
        open_window(channel, WindowKind::Graphics, "canvas");
        Window win(channel);
        WindowConfig cfg{w, h, -1, -1, -1, 8, 16, ""};
        win.set_config(cfg);
        win.set_bk_color_rgb(WHITE);
        win.clear();
        return win;
    }
};

TEST_F(GraphicsTest, WorldRectanglesLandOnTheirPixelsAndNeighboursTile) {
    Window w = canvas();
    // Viewport 100 by 50 pixels (corners included) for a world 10 by 5, y up:
    // pixel x = 10 * x, pixel y = 50 - 10 * y.
    ASSERT_TRUE(w.set_viewport(0, 0, 100, 50));
    ASSERT_TRUE(w.set_world_window(true, 0.0, 0.0, 10.0, 5.0));
    w.set_color_rgb(RED);
    w.rectangle_w(Fill::Filled, 2.0, 1.0, 4.0, 3.0);   // pixels x 20..39, y 20..39
    w.set_color_rgb(BLUE);
    w.rectangle_w(Fill::Filled, 4.0, 1.0, 6.0, 3.0);   // x 40..59: shares no column with the red one
    EXPECT_EQ(w.pixel(20, 20), RED);
    EXPECT_EQ(w.pixel(39, 39), RED);
    EXPECT_EQ(w.pixel(40, 30), BLUE);
    EXPECT_EQ(w.pixel(59, 20), BLUE);
    EXPECT_EQ(w.pixel(19, 30), WHITE);
    EXPECT_EQ(w.pixel(30, 19), WHITE);
    EXPECT_EQ(w.pixel(30, 40), WHITE);
    EXPECT_EQ(w.pixel(60, 30), WHITE);

    // An outline is the border of the same area.
    w.set_color_rgb(GREEN);
    w.rectangle_w(Fill::Outline, 7.0, 1.0, 9.0, 3.0);   // x 70..89, y 20..39
    EXPECT_EQ(w.pixel(70, 25), GREEN);
    EXPECT_EQ(w.pixel(89, 25), GREEN);
    EXPECT_EQ(w.pixel(80, 20), GREEN);
    EXPECT_EQ(w.pixel(80, 39), GREEN);
    EXPECT_EQ(w.pixel(80, 30), WHITE);
    EXPECT_EQ(w.pixel(90, 30), WHITE);
}

TEST_F(GraphicsTest, WorldPolygonFillsItsInside) {
    Window w = canvas();
    ASSERT_TRUE(w.set_viewport(0, 0, 100, 50));
    ASSERT_TRUE(w.set_world_window(true, 0.0, 0.0, 10.0, 5.0));
    w.set_color_rgb(RED);
    // The triangle (6,1), (9,1), (6,4) is (60,40), (90,40), (60,10) in pixels.
    w.polygon_w(Fill::Filled, {{6.0, 1.0}, {9.0, 1.0}, {6.0, 4.0}});
    EXPECT_EQ(w.pixel(60, 39), RED);    // by the right angle
    EXPECT_EQ(w.pixel(62, 12), RED);    // near the top corner
    EXPECT_EQ(w.pixel(87, 38), RED);    // near the right corner
    EXPECT_EQ(w.pixel(74, 25), RED);    // on the inside of the slanted side
    EXPECT_EQ(w.pixel(77, 22), WHITE);  // just beyond it
    EXPECT_EQ(w.pixel(59, 30), WHITE);
    EXPECT_EQ(w.pixel(70, 40), WHITE);
    EXPECT_EQ(w.pixel(85, 15), WHITE);
}

// Pixel points are relative to the viewport and land on the same pixels as
// the world points they map from; filled or outlined, clipped to the viewport.
TEST_F(GraphicsTest, PixelAndWorldPolygonsDrawTheSamePixels) {
    Window pix = canvas(120, 60, 30);
    Window wld = canvas(120, 60, 31);
    for (Window* w : {&pix, &wld}) {
        ASSERT_TRUE(w->set_viewport(10, 5, 69, 44));   // 60 by 40 pixels, corners included
        w->set_color_rgb(RED);
    }
    // World x 0..59 and y 0..39 downwards onto the viewport: one pixel per unit.
    ASSERT_TRUE(wld.set_world_window(false, 0.0, 0.0, 59.0, 39.0));
    const std::vector<PixelPoint> triangle{{2, 3}, {50, 3}, {2, 70}};   // reaches below the viewport
    const std::vector<PixelPoint> square{{30, 10}, {45, 10}, {45, 25}, {30, 25}};
    std::vector<WorldPoint> triangle_w, square_w;
    for (const PixelPoint& p : triangle) triangle_w.push_back({double(p.x), double(p.y)});
    for (const PixelPoint& p : square) square_w.push_back({double(p.x), double(p.y)});
    pix.polygon(Fill::Filled, triangle);
    wld.polygon_w(Fill::Filled, triangle_w);
    pix.set_color_rgb(BLUE);
    wld.set_color_rgb(BLUE);
    pix.polygon(Fill::Outline, square);
    wld.polygon_w(Fill::Outline, square_w);

    EXPECT_EQ(pix.pixel(12, 8), RED);     // the triangle's right angle, shifted by the viewport corner
    EXPECT_EQ(pix.pixel(11, 8), WHITE);
    EXPECT_EQ(pix.pixel(12, 44), RED);    // down to the viewport's last row
    EXPECT_EQ(pix.pixel(12, 45), WHITE);  // and no further
    EXPECT_EQ(pix.pixel(40, 15), BLUE);   // the square's top side
    EXPECT_EQ(pix.pixel(52, 28), WHITE);  // inside the outline, beyond the triangle
    int differing = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 120; ++x)
            if (pix.pixel(x, y) != wld.pixel(x, y)) ++differing;
    EXPECT_EQ(differing, 0);
}

// A world window that does not start at 0, with y downwards, on a viewport
// that does not start at 0: pixel = viewport corner + (world - world corner)
// * pixels per world unit, rounded to the nearest pixel.
TEST_F(GraphicsTest, WorldMappingWithOffsetsAndYDown) {
    Window w = canvas();
    ASSERT_TRUE(w.set_viewport(20, 10, 180, 90));                // 160 by 80
    ASSERT_TRUE(w.set_world_window(false, -1.0, 2.0, 3.0, 6.0));  // 40 and 20 pixels per unit
    const WorldPoint p = w.world_to_pixel(0.5, 3.0);
    EXPECT_DOUBLE_EQ(p.x, 20 + 1.5 * 40);   // 80
    EXPECT_DOUBLE_EQ(p.y, 10 + 1.0 * 20);   // 30
    w.set_color_rgb(BLUE);
    w.rectangle_w(Fill::Filled, 0.5, 3.0, 0.8, 3.5);   // x 80 .. 92 (up to 80 + 0.3 * 40), y 30 .. 40
    EXPECT_EQ(w.pixel(80, 30), BLUE);
    EXPECT_EQ(w.pixel(91, 39), BLUE);
    EXPECT_EQ(w.pixel(92, 35), WHITE);
    EXPECT_EQ(w.pixel(85, 40), WHITE);
    EXPECT_EQ(w.pixel(79, 35), WHITE);
}

TEST_F(GraphicsTest, ZeroOrNonFiniteWorldExtentIsRefusedAndKeepsTheMapping) {
    Window w = canvas();
    ASSERT_TRUE(w.set_viewport(0, 0, 100, 50));
    ASSERT_TRUE(w.set_world_window(true, 0.0, 0.0, 10.0, 5.0));
    EXPECT_FALSE(w.set_world_window(true, 3.0, 0.0, 3.0, 5.0));
    EXPECT_FALSE(w.set_world_window(true, 0.0, 2.0, 10.0, 2.0));
    EXPECT_FALSE(w.set_world_window(true, 0.0, 0.0, NAN, 5.0));
    EXPECT_DOUBLE_EQ(w.world_to_pixel(10.0, 5.0).x, 100.0);
    EXPECT_DOUBLE_EQ(w.world_to_pixel(10.0, 5.0).y, 0.0);
}

TEST_F(GraphicsTest, LinesIncludeBothEndsAndAreClippedToTheViewport) {
    Window w = canvas();
    w.set_color_rgb(RED);
    w.move_to(5, 5);
    w.line_to(15, 5);
    w.line_to(15, 12);
    EXPECT_EQ(w.pixel(5, 5), RED);
    EXPECT_EQ(w.pixel(15, 5), RED);
    EXPECT_EQ(w.pixel(15, 12), RED);
    EXPECT_EQ(w.pixel(4, 5), WHITE);
    EXPECT_EQ(w.pixel(16, 5), WHITE);
    EXPECT_EQ(w.pixel(15, 13), WHITE);

    // Pixel coordinates are relative to the viewport, which clips.
    ASSERT_TRUE(w.set_viewport(10, 20, 50, 60));
    w.set_color_rgb(BLUE);
    w.move_to(-100000, 20);
    w.line_to(100000, 20);   // y = 40 in the window
    EXPECT_EQ(w.pixel(10, 40), BLUE);
    EXPECT_EQ(w.pixel(50, 40), BLUE);
    EXPECT_EQ(w.pixel(9, 40), WHITE);
    EXPECT_EQ(w.pixel(51, 40), WHITE);
    // Points far outside any image (an overflowing world mapping) draw
    // what falls inside and return at once.
    ASSERT_TRUE(w.set_world_window(true, 0.0, 0.0, 1.0, 1.0));
    w.move_to_w(0.5, 0.5);
    w.line_to_w(1.0e300, 0.5);
    w.line_to_w(NAN, 0.5);
    EXPECT_EQ(w.pixel(50, 40), BLUE);
    EXPECT_EQ(w.pixel(49, 40), BLUE);
}

TEST_F(GraphicsTest, ColoursArePassedAsBlueGreenRedAndReturnThePreviousOne) {
    Window w = canvas();
    EXPECT_EQ(w.set_color_rgb(RED), 0x000000u);
    EXPECT_EQ(w.set_color_rgb(BLUE), RED);
    EXPECT_EQ(w.set_bk_color_rgb(0x123456), WHITE);
    EXPECT_EQ(w.bk_color_rgb(), 0x123456u);
    EXPECT_EQ(bgr(0x12, 0x34, 0x56), 0x563412u);
    EXPECT_EQ(red_of(0x563412), 0x12);
    EXPECT_EQ(blue_of(0x563412), 0x56);
}

std::vector<unsigned char> read_file(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t le32(const std::vector<unsigned char>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// The file must hold a red pixel as the bytes blue 00, green 00, red FF,
// whatever our own read-back says: the colour order is checked against the
// format, not against the layer.
TEST_F(GraphicsTest, SavedBitmapHasAValidHeaderTheSizeAndThePixels) {
    Window w = canvas();
    w.set_color_rgb(RED);
    w.rectangle(Fill::Filled, 10, 5, 20, 10);   // x 10..19, y 5..9
    w.set_color_rgb(0x00A0B0);                  // red B0, green A0, blue 00
    w.rectangle(Fill::Filled, 45, 20, 50, 25);  // covers (49, 24), the last pixel saved
    const std::string name = "graphics_test_save.bmp";
    std::remove(name.c_str());
    ASSERT_EQ(w.save_image(name, 10, 5, 49, 24), 0);   // corners included: 40 by 20

    const auto b = read_file(name);
    ASSERT_GE(b.size(), 54u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(le32(b, 2), b.size());
    EXPECT_EQ(le32(b, 14), 40u);   // header size
    EXPECT_EQ(le32(b, 18), 40u);   // width
    EXPECT_EQ(le32(b, 22), 20u);   // height (rows stored bottom-up)
    EXPECT_EQ(b[28] | (b[29] << 8), 24);
    const std::uint32_t offset = le32(b, 10);
    const std::size_t stride = (40 * 3 + 3) / 4 * 4;
    auto at = [&](int x, int y) { return offset + static_cast<std::size_t>(19 - y) * stride + x * 3u; };
    ASSERT_LT(at(39, 0) + 2, b.size());
    EXPECT_EQ(b[at(0, 0)], 0x00);     // window (10, 5): red
    EXPECT_EQ(b[at(0, 0) + 1], 0x00);
    EXPECT_EQ(b[at(0, 0) + 2], 0xFF);
    EXPECT_EQ(b[at(39, 19)], 0x00);   // window (49, 24)
    EXPECT_EQ(b[at(39, 19) + 1], 0xA0);
    EXPECT_EQ(b[at(39, 19) + 2], 0xB0);
    EXPECT_EQ(b[at(10, 10)], 0xFF);   // white

    QImage back(QString::fromStdString(name), "BMP");
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.width(), 40);
    EXPECT_EQ(back.height(), 20);
    EXPECT_EQ(back.pixelColor(9, 4), QColor(255, 0, 0));
    EXPECT_EQ(back.pixelColor(10, 4), QColor(255, 255, 255));
    EXPECT_EQ(back.pixelColor(39, 19), QColor(0xB0, 0xA0, 0x00));
}

TEST_F(GraphicsTest, SavingFailsVisibly) {
    Window w = canvas();
    EXPECT_EQ(w.save_image("no_such_directory/pic.bmp", 0, 0, 10, 10), -1);
    EXPECT_EQ(w.save_image("outside.bmp", 500, 500, 600, 600), -1);
    EXPECT_EQ(w.save_image("", 0, 0, 10, 10), -1);
    open_window(31, WindowKind::Text, "text");
    EXPECT_EQ(Window(31).save_image("text.bmp", 0, 0, 10, 10), -1);
    EXPECT_EQ(Window(32).save_image("none.bmp", 0, 0, 10, 10), -1);
}

// Drawing names its window: another thread that keeps changing the active
// window meanwhile must not move the drawing or the save elsewhere.
TEST_F(GraphicsTest, DrawingAndSavingStayOnTheirWindowWhateverIsActive) {
    Window a = canvas(100, 50, 40);
    Window b = canvas(100, 50, 41);
    std::atomic<bool> stop{false};
    std::thread flipper([&] {
        while (!stop) {
            set_active_window(40);
            set_active_window(41);
        }
    });
    b.set_color_rgb(RED);
    for (int x = 0; x < 100; x += 2) {
        b.move_to(x, 0);
        b.line_to(x, 49);
    }
    const int saved = b.save_image("explicit_target.bmp", 0, 0, 99, 49);
    stop = true;
    flipper.join();
    EXPECT_EQ(saved, 0);
    for (int x = 0; x < 100; x += 2) {
        ASSERT_EQ(b.pixel(x, 25), RED);
        ASSERT_EQ(a.pixel(x, 25), WHITE);
    }
    QImage back(QStringLiteral("explicit_target.bmp"), "BMP");
    EXPECT_EQ(back.pixelColor(98, 10), QColor(255, 0, 0));
}

TEST(FontDescription, ReadsTheLettersAndRefusesTheRest) {
    struct Case {
        const char* text;
        bool ok;
        const char* face;
        int height, width;
        bool fixed, bold, italic;
    };
    const Case cases[] = {
        {"t'Arial'h12w6pvb", true, "Arial", 12, 6, false, true, false},
        {"t'Arial'h18w10pvib", true, "Arial", 18, 10, false, true, true},
        {"T'Courier New'H16W8FB", true, "Courier New", 16, 8, true, true, false},
        {"h10", true, "", 10, 0, false, false, false},
        {"", false, "", 0, 0, false, false, false},
        {"t'Arial", false, "", 0, 0, false, false, false},
        {"tArial'", false, "", 0, 0, false, false, false},
        {"t'Arial'h", false, "", 0, 0, false, false, false},
        {"t'Arial'h0", false, "", 0, 0, false, false, false},
        {"t'Arial'h99999", false, "", 0, 0, false, false, false},
        {"t'Arial'q", false, "", 0, 0, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        FontSpec s;
        ASSERT_EQ(parse_font_description(c.text, s), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(s.face, c.face);
        EXPECT_EQ(s.height, c.height);
        EXPECT_EQ(s.width, c.width);
        EXPECT_EQ(s.fixed, c.fixed);
        EXPECT_EQ(s.bold, c.bold);
        EXPECT_EQ(s.italic, c.italic);
    }
    FontSpec courier;
    parse_font_description("t'Courier New'h16", courier);
    EXPECT_EQ(font_family_for(courier), "DejaVu Sans Mono");
    FontSpec arial;
    parse_font_description("t'Arial'h12w6pvb", arial);
    EXPECT_EQ(font_family_for(arial), "DejaVu Sans");
}

struct Box {
    int left = 100000, right = -1, top = 100000, bottom = -1;
};

Box box_of(const Window& w, std::uint32_t color, int width, int height) {
    Box b;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (w.pixel(x, y) == color) {
                b.left = std::min(b.left, x);
                b.right = std::max(b.right, x);
                b.top = std::min(b.top, y);
                b.bottom = std::max(b.bottom, y);
            }
    return b;
}

// Text stands below and to the right of the current position, at about the
// average width the description asks for, in plain pixels.
TEST_F(GraphicsTest, TextIsPlacedByItsTopLeftCornerAtTheRequestedWidth) {
    Window w = canvas(300, 100);
    EXPECT_GT(init_fonts(), 0);
    ASSERT_GE(w.select_font("t'Arial'h12w6pvb"), 0);
    EXPECT_EQ(w.select_font("t'Arial'q"), -1);   // refused: the font stays
    w.set_color_rgb(BLUE);
    w.move_to(40, 30);
    w.out_text("abcdefghij");
    const Box narrow = box_of(w, BLUE, 300, 100);
    ASSERT_GE(narrow.right, 0) << "no text drawn";
    EXPECT_GE(narrow.left, 40);
    EXPECT_LE(narrow.left, 43);
    EXPECT_GE(narrow.top, 30);
    EXPECT_LE(narrow.bottom, 30 + 12 - 1);   // the height is the whole cell
    EXPECT_NEAR(narrow.right - narrow.left + 1, 60, 10);   // ten letters of about 6 pixels
    for (int x = 40; x < 110; ++x) {
        const std::uint32_t c = w.pixel(x, 36);
        EXPECT_TRUE(c == BLUE || c == WHITE) << x;   // no smoothing
    }

    w.clear();
    ASSERT_GE(w.select_font("t'Arial'h12w12pvb"), 0);
    w.move_to(40, 30);
    w.out_text("abcdefghij");
    const Box wide = box_of(w, BLUE, 300, 100);
    EXPECT_NEAR(wide.right - wide.left + 1, 120, 18);
}

}  // namespace
}  // namespace tarvex::platform
