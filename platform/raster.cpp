// Raster operations of the graphics windows (GUI thread).
#include "platform/raster.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tarvex::platform::detail {

QRect clip_rect(const QImage& img, const Clip& c) {
    return QRect(QPoint(c.x1, c.y1), QPoint(c.x2, c.y2)).normalized().intersected(img.rect());
}

void put_pixel(QImage& img, const QRect& clip, int x, int y, QRgb c) {
    if (clip.contains(x, y)) reinterpret_cast<QRgb*>(img.scanLine(y))[x] = c;
}

void fill_rect(QImage& img, const QRect& clip, int l, int t, int r, int b, QRgb c) {
    const QRect area = QRect(l, t, r - l, b - t).intersected(clip);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        std::fill(line + area.left(), line + area.right() + 1, c);
    }
}

// A line between whole pixels, both ends included.
void draw_line(QImage& img, const QRect& clip, int x0, int y0, int x1, int y1, QRgb c) {
    long long dx = std::llabs(static_cast<long long>(x1) - x0);
    long long dy = -std::llabs(static_cast<long long>(y1) - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    long long err = dx + dy;
    for (;;) {
        put_pixel(img, clip, x0, y0, c);
        if (x0 == x1 && y0 == y1) break;
        const long long e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

// Cuts a segment to a rectangle (Liang-Barsky); false when nothing is inside.
bool clip_segment(double& x0, double& y0, double& x1, double& y1, double l, double t, double r, double b) {
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) return false;
    double u0 = 0.0, u1 = 1.0;
    const double dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - l, r - x0, y0 - t, b - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) return false;
        } else {
            const double u = q[i] / p[i];
            if (p[i] < 0.0)
                u0 = std::max(u0, u);
            else
                u1 = std::min(u1, u);
        }
    }
    if (u0 > u1) return false;
    const double nx0 = x0 + u0 * dx, ny0 = y0 + u0 * dy;
    x1 = x0 + u1 * dx;
    y1 = y0 + u1 * dy;
    x0 = nx0;
    y0 = ny0;
    return true;
}

}  // namespace tarvex::platform::detail
