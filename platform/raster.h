// The raster operations of the graphics windows, on a plain buffer of pixels:
// no Qt and no window, so that they run and can be tested without a display.
// Pixel values are stored as they are given (the views keep the values of
// their images).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/window.h"

namespace tarvex::platform::raster {

// Pixels in rows: row y starts stride pixels after row y - 1.
struct PixelBuffer {
    std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;
    std::uint32_t* row(int y) const { return pixels + static_cast<std::ptrdiff_t>(y) * stride; }
};

// A rectangle of pixels, corners included; empty when right < left or
// bottom < top.
struct PixelRect {
    int left = 0;
    int top = 0;
    int right = -1;
    int bottom = -1;
    bool empty() const { return right < left || bottom < top; }
    bool contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

// The part of the rectangle with corners (x1, y1) and (x2, y2), in either
// order, that lies in the buffer.
PixelRect clip_rect(const PixelBuffer& buf, int x1, int y1, int x2, int y2);
// One pixel, when inside the clip.
void put_pixel(PixelBuffer& buf, const PixelRect& clip, int x, int y, std::uint32_t c);
// The pixels from (l, t) up to, not including, (r, b), within the clip;
// nothing when r <= l or b <= t.
void fill_rect(PixelBuffer& buf, const PixelRect& clip, int l, int t, int r, int b, std::uint32_t c);
// A line between whole pixels, both ends included.
void draw_line(PixelBuffer& buf, const PixelRect& clip, int x0, int y0, int x1, int y1, std::uint32_t c);
// Cuts a segment to a rectangle (Liang-Barsky); false when nothing is inside.
bool clip_segment(double& x0, double& y0, double& x1, double& y1, double l, double t, double r, double b);
// The rectangle from (l, t) up to, not including, (r, b): filled, or its
// border one pixel wide; nothing when r <= l or b <= t.
void draw_rectangle(PixelBuffer& buf, const PixelRect& clip, Fill fill, int l, int t, int r, int b, std::uint32_t c);
// The sides of a polygon: a line from each point to the next, and from the
// last back to the first.
void draw_polygon_outline(PixelBuffer& buf, const PixelRect& clip, const std::vector<PixelPoint>& points,
                          std::uint32_t c);

}  // namespace tarvex::platform::raster
