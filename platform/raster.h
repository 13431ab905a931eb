// Inside the platform layer only: the raster operations of the graphics
// windows, on an image and a clip rectangle in its pixels.
#pragma once

#include <QImage>
#include <QRect>

#include "platform/window_model.h"

namespace tarvex::platform::detail {

// The clip rectangle of a viewport (corners included) within the image.
QRect clip_rect(const QImage& img, const Clip& c);
// One pixel, when inside the clip.
void put_pixel(QImage& img, const QRect& clip, int x, int y, QRgb c);
// The pixels from (l, t) up to, not including, (r, b), within the clip.
void fill_rect(QImage& img, const QRect& clip, int l, int t, int r, int b, QRgb c);
// A line between whole pixels, both ends included.
void draw_line(QImage& img, const QRect& clip, int x0, int y0, int x1, int y1, QRgb c);
// Cuts a segment to a rectangle (Liang-Barsky); false when nothing is inside.
bool clip_segment(double& x0, double& y0, double& x1, double& y1, double l, double t, double r, double b);

}  // namespace tarvex::platform::detail
