// Where a plot viewer's dialog goes: beside the frame when the screen has
// room, otherwise inside it but never over the plot window's legend area;
// always on the screen.
#include <gtest/gtest.h>

#include "frontend/calc/dialogplace.h"
#include "frontend/calc/plotwindow.h"

namespace tarvex {
namespace {

constexpr ScreenBox SCREEN{0, 0, 1600, 1000};
constexpr int DIALOG_W = 170, DIALOG_H = 560;

bool on_screen(const ScreenPoint& p) {
    return p.x >= SCREEN.x && p.y >= SCREEN.y && p.x + DIALOG_W <= SCREEN.right() && p.y + DIALOG_H <= SCREEN.bottom();
}

// The frame with a maximised plot window filling its client area: the
// legend area is the strip from legend_area_left to the window's right edge.
DialogPlaceInput with_plot(const ScreenBox& frame, int label_left) {
    DialogPlaceInput in;
    in.frame = frame;
    in.client_top = frame.y + 50;
    in.screen = SCREEN;
    in.width = DIALOG_W;
    in.height = DIALOG_H;
    const ScreenBox window{frame.x + 4, frame.y + 70, frame.width - 8, frame.height - 100};
    const int nxpix = window.width - 10;
    const int left = legend_area_left(nxpix, label_left < 0 ? nxpix - 90 : label_left);
    in.keep_clear_set = true;
    in.keep_clear = {window.x + left, window.y, window.width - left, window.height};
    return in;
}

TEST(DialogPlace, BesideTheFrameWhenItFits) {
    // Room at the right: outside the right edge, level with the client area.
    DialogPlaceInput in = with_plot({100, 40, 1000, 700}, -1);
    ScreenPoint p = place_dialog(in);
    EXPECT_EQ(p.x, 1100);
    EXPECT_EQ(p.y, 90);
    // No room at the right, room at the left: outside the left edge.
    in = with_plot({400, 40, 1100, 700}, -1);
    p = place_dialog(in);
    EXPECT_EQ(p.x, 400 - DIALOG_W);
    EXPECT_FALSE(boxes_overlap({p.x, p.y, DIALOG_W, DIALOG_H}, in.frame));
}

TEST(DialogPlace, InsideTheFrameClearOfTheLegend) {
    struct Case {
        const char* what;
        ScreenBox frame;
        int label_left;   // -1: the label where the layout puts it
    };
    const Case cases[] = {
        {"fills the screen", {0, 0, 1600, 1000}, -1},
        {"fills the screen, a wide label", {0, 0, 1600, 1000}, 1400},
        {"at the left edge, too wide for either side", {0, 30, 1500, 900}, -1},
        {"at the right edge", {150, 0, 1450, 1000}, -1},
    };
    for (const Case& c : cases) {
        const DialogPlaceInput in = with_plot(c.frame, c.label_left);
        const ScreenPoint p = place_dialog(in);
        const ScreenBox dialog{p.x, p.y, DIALOG_W, DIALOG_H};
        EXPECT_FALSE(boxes_overlap(dialog, in.keep_clear))
            << c.what << ": dialog " << p.x << ".." << dialog.right() << ", legend from " << in.keep_clear.x;
        EXPECT_TRUE(on_screen(p)) << c.what << ": " << p.x << ", " << p.y;
        // Just left of the legend, over the part of the window the plot
        // leaves empty first.
        EXPECT_EQ(dialog.right(), in.keep_clear.x) << c.what;
    }
}

TEST(DialogPlace, KeptOnTheScreen) {
    // A client area low on the screen: moved up as far as needed.
    DialogPlaceInput in = with_plot({0, 0, 1600, 1000}, -1);
    in.client_top = 700;
    EXPECT_EQ(place_dialog(in).y, 1000 - DIALOG_H);
    // A screen narrower than dialog and legend together: the dialog stays on it.
    in = with_plot({0, 0, 250, 1000}, -1);
    in.screen = {0, 0, 250, 1000};
    const ScreenPoint p = place_dialog(in);
    EXPECT_EQ(p.x, 0);
    // Without a plot window: along the frame's right edge, inside.
    in = with_plot({0, 0, 1600, 1000}, -1);
    in.keep_clear_set = false;
    EXPECT_EQ(place_dialog(in).x, 1600 - DIALOG_W);
}

TEST(DialogPlace, BoxesOverlapOnlyWhenTheyShareAPixel) {
    const ScreenBox a{10, 10, 20, 20};
    EXPECT_TRUE(boxes_overlap(a, {29, 29, 5, 5}));
    EXPECT_FALSE(boxes_overlap(a, {30, 10, 5, 5}));   // side by side
    EXPECT_FALSE(boxes_overlap(a, {10, 30, 5, 5}));   // one above the other
    EXPECT_TRUE(boxes_overlap(a, {0, 0, 100, 100}));   // inside another
}

// The plane label ends at NXPIX at the latest and starts at NXPIX - 90 when
// it fits there; the legend area starts at the label or 125 pixels before
// NXPIX, whichever is further left.
TEST(PlaneLabel, PlacedToFitTheWindow) {
    EXPECT_EQ(plane_label_left(1000, 60), 910);
    EXPECT_EQ(plane_label_left(1000, 90), 910);
    EXPECT_EQ(plane_label_left(1000, 118), 882);
    EXPECT_EQ(plane_label_left(100, 180), 0);   // never left of the window
    EXPECT_EQ(legend_area_left(1000, 910), 875);
    EXPECT_EQ(legend_area_left(1000, 850), 850);
    EXPECT_EQ(legend_area_left(100, 10), 0);
}

}  // namespace
}  // namespace tarvex
