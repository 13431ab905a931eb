// Where things are on the screen, for code that places a dialog clear of
// what it must not cover, and the width of a text in a drawing font.
//
// Rectangles are in screen pixels (x to the right, y downwards). Every
// function may be called from any thread; the answers come from the GUI
// thread.
#pragma once

#include <string_view>

#include "platform/dialog.h"

namespace tarvex::platform {

struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The frame: its outer rectangle (decoration included), its client area and
// the part of its screen that windows may use. False (and nothing set)
// when there is no frame.
struct FrameGeometry {
    ScreenRect outer;
    ScreenRect client;
    ScreenRect available;
};
bool frame_geometry(FrameGeometry& geometry);

// The drawing area of a channel's child window as it stands on the screen.
// False when the channel has no window.
bool window_screen_rect(int channel, ScreenRect& rect);

// The width in pixels of a text drawn by Window::out_text in the font of
// the description (e.g. "t'Arial'h14w8pvib"); trailing blanks count.
int text_width(std::string_view font_description, std::string_view text);

// The outer rectangle of a dialog (its decoration included once shown, an
// estimate of it before), and moving it so that its outer top left corner
// stands at (x, y). False when the dialog is not initialised or is a page.
bool dialog_outer_rect(const Dialog& dialog, ScreenRect& rect);
bool move_dialog(Dialog& dialog, int x, int y);

}  // namespace tarvex::platform
