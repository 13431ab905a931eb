// Raster operations of the graphics windows (GUI thread).
#include "platform/raster.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tarvex::platform::raster {

PixelRect clip_rect(const PixelBuffer& buf, int x1, int y1, int x2, int y2) {
    PixelRect r{std::max(std::min(x1, x2), 0), std::max(std::min(y1, y2), 0),
                std::min(std::max(x1, x2), buf.width - 1), std::min(std::max(y1, y2), buf.height - 1)};
    if (r.empty()) return PixelRect{};
    return r;
}

void put_pixel(PixelBuffer& buf, const PixelRect& clip, int x, int y, std::uint32_t c) {
    if (clip.contains(x, y)) buf.row(y)[x] = c;
}

void fill_rect(PixelBuffer& buf, const PixelRect& clip, int l, int t, int r, int b, std::uint32_t c) {
    if (r <= l || b <= t) return;
    const PixelRect area{std::max(l, clip.left), std::max(t, clip.top), std::min(r - 1, clip.right),
                         std::min(b - 1, clip.bottom)};
    if (area.empty()) return;
    for (int y = area.top; y <= area.bottom; ++y) {
        std::uint32_t* line = buf.row(y);
        std::fill(line + area.left, line + area.right + 1, c);
    }
}

void draw_line(PixelBuffer& buf, const PixelRect& clip, int x0, int y0, int x1, int y1, std::uint32_t c) {
    long long dx = std::llabs(static_cast<long long>(x1) - x0);
    long long dy = -std::llabs(static_cast<long long>(y1) - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    long long err = dx + dy;
    for (;;) {
        put_pixel(buf, clip, x0, y0, c);
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

void draw_rectangle(PixelBuffer& buf, const PixelRect& clip, Fill fill, int l, int t, int r, int b, std::uint32_t c) {
    if (r <= l || b <= t) return;
    if (fill == Fill::Filled) {
        fill_rect(buf, clip, l, t, r, b, c);
    } else {
        fill_rect(buf, clip, l, t, r, t + 1, c);
        fill_rect(buf, clip, l, b - 1, r, b, c);
        fill_rect(buf, clip, l, t, l + 1, b, c);
        fill_rect(buf, clip, r - 1, t, r, b, c);
    }
}

void draw_polygon_outline(PixelBuffer& buf, const PixelRect& clip, const std::vector<PixelPoint>& points,
                          std::uint32_t c) {
    for (std::size_t i = 0; i < points.size(); ++i) {
        const PixelPoint a = points[i], b = points[(i + 1) % points.size()];
        draw_line(buf, clip, a.x, a.y, b.x, b.y, c);
    }
}

}  // namespace tarvex::platform::raster
