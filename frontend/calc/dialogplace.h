// Where a plot viewer's dialog goes on the screen: beside the frame when the
// screen has room there, otherwise inside the frame but clear of the plot
// window's legend area (the colour legend, the axis glyph and the plane
// label at the window's right). Screen pixels, y downwards.
#pragma once

namespace tarvex {

struct ScreenBox {
    int x = 0, y = 0, width = 0, height = 0;
    int right() const { return x + width; }    // one past the last column
    int bottom() const { return y + height; }  // one past the last row
};

bool boxes_overlap(const ScreenBox& a, const ScreenBox& b);

struct DialogPlaceInput {
    ScreenBox frame;        // the frame's outer rectangle
    int client_top = 0;     // top of the frame's client area
    ScreenBox screen;       // the usable part of the screen
    int width = 0, height = 0;   // the dialog's outer size
    bool keep_clear_set = false;
    ScreenBox keep_clear;   // the legend area, when a plot window is open
};

struct ScreenPoint {
    int x = 0, y = 0;
};

// The dialog's outer top left corner. Outside the frame's right edge when it
// fits on the screen there, else outside its left edge; otherwise inside the
// frame, just left of the area to keep clear (along the frame's right edge
// when there is none), kept on the screen. Level with the client area's top,
// moved up as far as needed to stay on the screen.
ScreenPoint place_dialog(const DialogPlaceInput& in);

}  // namespace tarvex
