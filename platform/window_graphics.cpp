// The drawing functions of the child windows: the drawing state and the
// world mapping on the caller's side (window_model.h), the drawing itself
// handed to the window's view (window_view.h) and its raster operations
// (raster.h).
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/fontspec.h"
#include "platform/gui_thread.h"
#include "platform/raster.h"
#include "platform/window.h"
#include "platform/window_model.h"
#include "platform/window_view.h"

namespace tarvex::platform {

using namespace detail;

// ---- graphics -------------------------------------------------------------------------------

std::uint32_t Window::set_color_rgb(std::uint32_t color) {
    auto m = model_of(channel_);
    if (!m) return 0;
    std::lock_guard<std::mutex> lock(m->mutex);
    const std::uint32_t previous = m->ds.color;
    m->ds.color = color & 0xFFFFFFu;
    return previous;
}

std::uint32_t Window::set_bk_color_rgb(std::uint32_t color) {
    auto m = model_of(channel_);
    if (!m) return 0;
    std::lock_guard<std::mutex> lock(m->mutex);
    const std::uint32_t previous = m->ds.bk_color;
    m->ds.bk_color = color & 0xFFFFFFu;
    return previous;
}

std::uint32_t Window::color_rgb() const {
    auto m = model_of(channel_);
    if (!m) return 0;
    std::lock_guard<std::mutex> lock(m->mutex);
    return m->ds.color;
}

std::uint32_t Window::bk_color_rgb() const {
    auto m = model_of(channel_);
    if (!m) return 0;
    std::lock_guard<std::mutex> lock(m->mutex);
    return m->ds.bk_color;
}

void Window::move_to(int x, int y) {
    auto m = model_of(channel_);
    if (!m) return;
    std::lock_guard<std::mutex> lock(m->mutex);
    const Clip v = m->viewport();
    m->ds.x = v.x1 + x;
    m->ds.y = v.y1 + y;
}

void Window::move_to_w(double x, double y) {
    auto m = model_of(channel_);
    if (!m) return;
    std::lock_guard<std::mutex> lock(m->mutex);
    m->ds.x = m->map_x(x);
    m->ds.y = m->map_y(y);
}

namespace {

// The viewport's clip in the view's image, for drawing through a QPainter.
QRect painter_clip(const QImage& img, const Clip& c) {
    return QRect(QPoint(c.x1, c.y1), QPoint(c.x2, c.y2)).normalized().intersected(img.rect());
}

// The viewport's clip in the view's pixels, for the raster operations.
raster::PixelRect raster_clip(const raster::PixelBuffer& buf, const Clip& c) {
    return raster::clip_rect(buf, c.x1, c.y1, c.x2, c.y2);
}

// Draws from the current position to (dx, dy) in window pixels and moves there.
void line_from_current(const std::shared_ptr<Model>& m, double dx, double dy) {
    double x0, y0, x1 = dx, y1 = dy;
    Clip v;
    std::uint32_t color;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        x0 = m->ds.x;
        y0 = m->ds.y;
        m->ds.x = dx;
        m->ds.y = dy;
        v = m->viewport();
        color = m->ds.color;
    }
    // Cut to the viewport with a margin first, so that far-away points cost nothing.
    if (!raster::clip_segment(x0, y0, x1, y1, v.x1 - 2.0, v.y1 - 2.0, v.x2 + 2.0, v.y2 + 2.0)) return;
    const int ix0 = snap(x0), iy0 = snap(y0), ix1 = snap(x1), iy1 = snap(y1);
    to_view(m->id, [=](Gui& g) {
        raster::PixelBuffer buf = pixel_buffer(g.view->image());
        raster::draw_line(buf, raster_clip(buf, v), ix0, iy0, ix1, iy1, to_qrgb(color));
        g.view->changed();
    });
}

void rectangle_device(const std::shared_ptr<Model>& m, Fill fill, double x1, double y1, double x2, double y2,
                      const Clip& v, std::uint32_t color) {
    const int l = snap(std::min(x1, x2)), r = snap(std::max(x1, x2));
    const int t = snap(std::min(y1, y2)), b = snap(std::max(y1, y2));
    if (r <= l || b <= t) return;
    to_view(m->id, [=](Gui& g) {
        raster::PixelBuffer buf = pixel_buffer(g.view->image());
        raster::draw_rectangle(buf, raster_clip(buf, v), fill, l, t, r, b, to_qrgb(color));
        g.view->changed();
    });
}

// The inside of a filled polygon is Qt's fill (its own rasteriser, whose
// rounding the pictures follow); its outline is a raster operation.
void polygon_device(const std::shared_ptr<Model>& m, Fill fill, const std::vector<PixelPoint>& pts, const Clip& v,
                    std::uint32_t color) {
    if (pts.size() < 2) return;
    to_view(m->id, [=](Gui& g) {
        QImage& img = g.view->image();
        if (fill == Fill::Filled && pts.size() >= 3) {
            QList<QPoint> corners;
            for (const PixelPoint& pt : pts) corners.append(QPoint(pt.x, pt.y));
            QPainter p(&img);
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setClipRect(painter_clip(img, v));
            p.setPen(Qt::NoPen);
            p.setBrush(to_qcolor(color));
            p.drawPolygon(QPolygon(corners), Qt::OddEvenFill);
        } else {
            raster::PixelBuffer buf = pixel_buffer(img);
            raster::draw_polygon_outline(buf, raster_clip(buf, v), pts, to_qrgb(color));
        }
        g.view->changed();
    });
}

}  // namespace

void Window::line_to(int x, int y) {
    auto m = model_of(channel_);
    if (!m) return;
    double dx, dy;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        const Clip v = m->viewport();
        dx = v.x1 + x;
        dy = v.y1 + y;
    }
    line_from_current(m, dx, dy);
}

void Window::line_to_w(double x, double y) {
    auto m = model_of(channel_);
    if (!m) return;
    double dx, dy;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        dx = m->map_x(x);
        dy = m->map_y(y);
    }
    line_from_current(m, dx, dy);
}

void Window::rectangle(Fill fill, int x1, int y1, int x2, int y2) {
    auto m = model_of(channel_);
    if (!m) return;
    Clip v;
    std::uint32_t color;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        v = m->viewport();
        color = m->ds.color;
    }
    rectangle_device(m, fill, v.x1 + x1, v.y1 + y1, v.x1 + x2, v.y1 + y2, v, color);
}

void Window::rectangle_w(Fill fill, double x1, double y1, double x2, double y2) {
    auto m = model_of(channel_);
    if (!m) return;
    Clip v;
    std::uint32_t color;
    double a, b, c, d;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        v = m->viewport();
        color = m->ds.color;
        a = m->map_x(x1);
        b = m->map_y(y1);
        c = m->map_x(x2);
        d = m->map_y(y2);
    }
    if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(c) || !std::isfinite(d)) return;
    rectangle_device(m, fill, a, b, c, d, v, color);
}

namespace {

struct DevicePoint {
    double x, y;   // window pixels
};

// Maps the points to whole window pixels under the window's lock (to_device
// answers a point's position) and draws the polygon; nothing when a point
// has no finite position.
template <typename Point, typename ToDevice>
void polygon_mapped(int channel, Fill fill, const std::vector<Point>& points, ToDevice to_device) {
    auto m = model_of(channel);
    if (!m) return;
    std::vector<PixelPoint> pts;
    Clip v;
    std::uint32_t color;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        v = m->viewport();
        color = m->ds.color;
        for (const auto& p : points) {
            const DevicePoint d = to_device(*m, p);
            if (!std::isfinite(d.x) || !std::isfinite(d.y)) return;
            pts.push_back({snap(d.x), snap(d.y)});
        }
    }
    polygon_device(m, fill, pts, v, color);
}

}  // namespace

void Window::polygon(Fill fill, const std::vector<PixelPoint>& points) {
    polygon_mapped(channel_, fill, points, [](const Model& m, const PixelPoint& p) {
        const Clip v = m.viewport();
        return DevicePoint{v.x1 + double(p.x), v.y1 + double(p.y)};
    });
}

void Window::polygon_w(Fill fill, const std::vector<WorldPoint>& points) {
    polygon_mapped(channel_, fill, points,
                   [](const Model& m, const WorldPoint& p) { return DevicePoint{m.map_x(p.x), m.map_y(p.y)}; });
}

void Window::out_text(std::string_view text) {
    auto m = model_of(channel_);
    if (!m || text.empty()) return;
    std::string t(text);
    Clip v;
    std::uint32_t color;
    std::string font;
    int x, y;
    {
        std::lock_guard<std::mutex> lock(m->mutex);
        v = m->viewport();
        color = m->ds.color;
        font = m->ds.font;
        x = snap(m->ds.x);
        y = snap(m->ds.y);
    }
    to_view(m->id, [=](Gui& g) {
        QImage& img = g.view->image();
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setRenderHint(QPainter::TextAntialiasing, false);
        p.setClipRect(painter_clip(img, v));
        const QFont f = make_font(font);
        p.setFont(f);
        p.setPen(to_qcolor(color));
        p.drawText(x, y + QFontMetrics(f).ascent(), QString::fromLatin1(t.c_str()));
        g.view->changed();
    });
}

int Window::select_font(std::string_view description) {
    auto m = model_of(channel_);
    FontSpec spec;
    if (!m || !parse_font_description(description, spec)) return -1;
    std::lock_guard<std::mutex> lock(m->mutex);
    m->ds.font.assign(description);
    const std::string family = font_family_for(spec);
    return family == "DejaVu Sans" ? 0 : family == "DejaVu Sans Mono" ? 1 : 2;
}

bool Window::set_viewport(int x1, int y1, int x2, int y2) {
    auto m = model_of(channel_);
    if (!m) return false;
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    std::lock_guard<std::mutex> lock(m->mutex);
    m->ds.viewport_set = true;
    m->ds.viewport = {x1, y1, x2, y2};
    m->ds.x = x1;
    m->ds.y = y1;
    return true;
}

bool Window::set_world_window(bool y_up, double x1, double y1, double x2, double y2) {
    auto m = model_of(channel_);
    if (!m) return false;
    if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return false;
    if (x1 == x2 || y1 == y2) return false;
    std::lock_guard<std::mutex> lock(m->mutex);
    m->ds.world_set = true;
    m->ds.y_up = y_up;
    m->ds.wx1 = x1;
    m->ds.wy1 = y1;
    m->ds.wx2 = x2;
    m->ds.wy2 = y2;
    return true;
}

WorldPoint Window::world_to_pixel(double x, double y) const {
    auto m = model_of(channel_);
    if (!m) return {0.0, 0.0};
    std::lock_guard<std::mutex> lock(m->mutex);
    return {m->map_x(x), m->map_y(y)};
}

int Window::save_image(std::string_view file_name, int x1, int y1, int x2, int y2) {
    auto m = model_of(channel_);
    if (!m || m->kind != WindowKind::Graphics) return -1;
    const std::string name(file_name);
    if (name.empty()) return -1;
    return ask_view<int>(m->id, -1, [&](Gui& g) {
        const QImage& img = g.view->image();
        const QRect area = QRect(QPoint(x1, y1), QPoint(x2, y2)).normalized().intersected(img.rect());
        if (area.isEmpty()) return -1;
        const QImage part = img.copy(area).convertToFormat(QImage::Format_RGB888);
        return part.save(QString::fromLocal8Bit(name.c_str()), "BMP") ? 0 : -1;
    });
}

std::uint32_t Window::pixel(int x, int y) const {
    auto m = model_of(channel_);
    if (!m || m->kind != WindowKind::Graphics) return 0;
    return ask_view<std::uint32_t>(m->id, 0u, [&](Gui& g) -> std::uint32_t {
        const QImage& img = g.view->image();
        if (!img.rect().contains(x, y)) return 0;
        return from_qrgb(img.pixel(x, y));
    });
}

}  // namespace tarvex::platform
