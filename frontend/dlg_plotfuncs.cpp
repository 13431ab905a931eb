#include "frontend/dlg_plotfuncs.h"

#include <array>
#include <cmath>
#include <string>
#include <string_view>

#include "common/channels.h"
#include "engine/data.h"
#include "engine/pbcells.h"
#include "frontend/calc/fieldstats.h"
#include "frontend/calc/planegeom.h"
#include "frontend/calc/viewstate.h"
#include "platform/window.h"

namespace tarvex {

namespace {

using platform::Fill;
using platform::Window;
namespace role = colour_entry;

constexpr std::uint32_t MASS_IN = 0x000077;     // dark red
constexpr std::uint32_t MASS_OUT = 0x770000;    // dark blue
constexpr std::uint32_t HEAT_IN = 0x0000AA;     // red
constexpr std::uint32_t HEAT_OUT = 0xAA0000;    // blue
constexpr std::uint32_t UVALUE_FACE = 0xAA0000; // blue
constexpr std::uint32_t PB_FACE = 0x00BBBB;     // olive

constexpr std::string_view LEGEND_FONT = "t'Arial'h12w6pvb";
constexpr std::string_view PLOT_FONT = "t'Arial'h18w10pvib";

// The plot window, named explicitly: never the active window.
Window plot_window() { return Window(CH_VIEW); }

// Keeps the window's drawing colour and puts it back at the end of a scope.
class KeptColour {
public:
    explicit KeptColour(Window& w) : w_(w), kept_(w.color_rgb()) {}
    ~KeptColour() { w_.set_color_rgb(kept_); }
    KeptColour(const KeptColour&) = delete;
    KeptColour& operator=(const KeptColour&) = delete;

private:
    Window& w_;
    std::uint32_t kept_;
};

void line_w(Window& w, double xa, double ya, double xb, double yb) {
    w.move_to_w(xa, ya);
    w.line_to_w(xb, yb);
}

// The rectangle's edges, as the blockage plot draws them.
void draw_edge(Window& w, Edge e, double x0, double x1, double y0, double y1) {
    switch (e) {
        case Edge::left: line_w(w, x0, y0, x0, y1); break;
        case Edge::bottom: line_w(w, x0, y0, x1, y0); break;
        case Edge::right: line_w(w, x1, y0, x1, y1); break;
        case Edge::top: line_w(w, x0, y1, x1, y1); break;
        case Edge::none: break;
    }
}

// Draws the four edges in the order left, bottom, right, top: closed faces
// in the closed-face colour, and open ones in the open-face colour unless
// closed_only.
void draw_faces(Window& w, double left, double bottom, double right, double top, double x0, double x1, double y0,
                double y1, bool closed_only) {
    const struct {
        Edge edge;
        double flag;
    } edges[] = {{Edge::left, left}, {Edge::bottom, bottom}, {Edge::right, right}, {Edge::top, top}};
    const std::uint32_t closed = role_colour(role::CLOSED_FACE), open = role_colour(role::OPEN_FACE);
    for (const auto& e : edges) {
        if (e.flag == 0.0) w.set_color_rgb(closed);
        else if (closed_only) continue;
        else w.set_color_rgb(open);
        draw_edge(w, e.edge, x0, x1, y0, y1);
    }
}

// The plane walk: every visible cell of layer k of the current plane, with
// its index and rectangle.
template <class Fn>
void walk_plane(int k, Fn&& fn) {
    PlaneOrientation o;
    if (!plane_orientation(viewctl.IPLANE, viewctl.FLIP, o)) return;
    const double vxmin = viewwin.VXMIN, vxmax = viewwin.VXMAX, vymin = viewwin.VYMIN, vymax = viewwin.VYMAX;
    for_each_plane_cell(o.plane, k, [&](int i, int j, int kk) {
        const CellRect r = cell_rect(o, i, j, kk);
        if (!cell_visible(r, vxmin, vxmax, vymin, vymax)) return;
        fn(o, ARIDX(i, j, kk), i, j, kk, r);
    });
}

}  // namespace

// ---- legend and cell fill ------------------------------------------------------

void PLOTBOX(double value, double min, double max, double x0, double x1, double y0, double y1) {
    Window w = plot_window();
    KeptColour kept(w);
    const int band = colour_band(value, min, max);
    if (band > 0) {
        w.set_color_rgb(role_colour(band));
        w.rectangle_w(Fill::Filled, x0, y0, x1, y1);
    }
    if (plotopt.SHOWGRID) {
        w.set_color_rgb(role_colour(role::TEXT));
        w.rectangle_w(Fill::Outline, x0, y0, x1, y1);
    }
}

void CONTOUR_SCALE(double min, double max) {
    Window w = plot_window();
    w.select_font(LEGEND_FONT);
    const int nxpix = viewctl.NXPIX;
    const std::array<std::string, 17> labels = legend_labels(min, max);
    const std::uint32_t text = role_colour(role::TEXT);
    for (int n = 1; n <= 16; ++n) {
        w.set_color_rgb(role_colour(17 - n));
        w.rectangle(Fill::Filled, nxpix - 95, 70 + 20 * n, nxpix - 70, 90 + 20 * n);
        w.set_color_rgb(text);
        w.move_to(nxpix - 65, 70 + 20 * n);
        w.out_text(labels[n - 1]);
    }
    w.move_to(nxpix - 65, 410);
    w.out_text(labels[16]);
    w.move_to(nxpix - 125, 425);
    w.out_text(std::string_view(viewwin.PLTITLE, sizeof viewwin.PLTITLE));
    w.select_font(PLOT_FONT);
}

// ---- walkers -------------------------------------------------------------------

void DRAW_GRID(double xl, double xr, double yb, double yt) {
    PlaneOrientation o;
    if (!plane_orientation(viewctl.IPLANE, viewctl.FLIP, o)) return;
    Window w = plot_window();
    KeptColour kept(w);
    w.set_color_rgb(role_colour(role::GRID));
    for (int n = 0, last = axis_lines(o.horizontal); n <= last; ++n) {
        const double p = axis_line(o.horizontal, n);
        if (viewwin.VXMIN <= p && p <= viewwin.VXMAX) line_w(w, p, yb, p, yt);
    }
    for (int n = 0, last = axis_lines(o.vertical); n <= last; ++n) {
        const double q = axis_line(o.vertical, n);
        if (viewwin.VYMIN <= q && q <= viewwin.VYMAX) line_w(w, xl, q, xr, q);
    }
}

void DRAW_CPR(int k) {
    walk_plane(k, [](const PlaneOrientation& o, int32_t idx, int, int, int, const CellRect& r) {
        const FaceFlags f = face_flags(o, idx);
        PLOTCPR(fields.CPR[idx], f.left, f.bottom, f.right, f.top, r.x0, r.x1, r.y0, r.y1);
    });
}

void DRAW_BNDS(int k) {
    walk_plane(k, [](const PlaneOrientation& o, int32_t idx, int i, int j, int kk, const CellRect& r) {
        PLOTBNDS(fields.CPR[idx], r.x0, r.x1, r.y0, r.y1, o.plane, i, j, kk, idx);
    });
}

void DRAW_DATA(int k, int code) {
    const double min = plotopt.CSMIN, max = plotopt.CSMAX;
    CONTOUR_SCALE(min, max);
    const bool overlay = plotopt.SHOWCPR;
    walk_plane(k, [&](const PlaneOrientation& o, int32_t idx, int i, int j, int kk, const CellRect& r) {
        PLOTDATA(idx, i, j, kk, code, min, max, r.x0, r.x1, r.y0, r.y1);
        if (overlay) {
            const FaceFlags f = face_flags(o, idx);
            ADDCPR(fields.CPR[idx], f.left, f.bottom, f.right, f.top, r.x0, r.x1, r.y0, r.y1);
        }
    });
}

void DRAW_VECTOR(int k, int colby) {
    const double min = plotopt.CSMIN, max = plotopt.CSMAX;
    CONTOUR_SCALE(min, max);
    const bool overlay = plotopt.SHOWCPR;
    walk_plane(k, [&](const PlaneOrientation& o, int32_t idx, int i, int j, int kk, const CellRect& r) {
        // The blockage under the arrows.
        if (overlay) {
            const FaceFlags f = face_flags(o, idx);
            ADDCPR(fields.CPR[idx], f.left, f.bottom, f.right, f.top, r.x0, r.x1, r.y0, r.y1);
        }
        PLOTVECTOR(idx, i, j, kk, colby, min, max, r.x0, r.x1, r.y0, r.y1);
    });
}

// ---- one cell ------------------------------------------------------------------

void PLOTCPR(double cpr, double left, double bottom, double right, double top, double x0, double x1, double y0,
             double y1) {
    Window w = plot_window();
    KeptColour kept(w);
    w.set_color_rgb(role_colour(cpr == 0.0 ? role::BLOCKED_FILL : role::OPEN_FILL));
    w.rectangle_w(Fill::Filled, x0, y0, x1, y1);
    draw_faces(w, left, bottom, right, top, x0, x1, y0, y1, false);
}

void ADDCPR(double cpr, double left, double bottom, double right, double top, double x0, double x1, double y0,
            double y1) {
    Window w = plot_window();
    KeptColour kept(w);
    if (cpr == 0.0) {
        w.set_color_rgb(role_colour(role::BLOCKED_FILL));
        w.rectangle_w(Fill::Filled, x0, y0, x1, y1);
        return;
    }
    draw_faces(w, left, bottom, right, top, x0, x1, y0, y1, true);
}

void PLOTBNDS(double cpr, double x0, double x1, double y0, double y1, int plane, int i, int j, int k, int32_t idx) {
    if (cpr == 0.0) return;   // a blocked cell has no markers
    PlaneOrientation o;
    if (!plane_orientation(plane, viewctl.FLIP, o)) return;
    Window w = plot_window();
    KeptColour kept(w);

    const double smass = fields.SMASS[idx];
    if (smass != 0.0 && !std::isnan(smass)) {
        w.set_color_rgb(smass > 0.0 ? MASS_IN : MASS_OUT);
        w.polygon_w(Fill::Filled, {{x0, y0}, {x1, y1}, {x0, y1}});   // the upper left half
    }
    const double sct = fields.SCT[idx];
    if (sct != 0.0 && !std::isnan(sct)) {
        w.set_color_rgb(sct > 0.0 ? HEAT_IN : HEAT_OUT);
        w.polygon_w(Fill::Filled, {{x0, y0}, {x1, y1}, {x1, y0}});   // the lower right half
    }
    w.set_color_rgb(UVALUE_FACE);
    for (int f = 1; f <= 6; ++f)
        if (uvaltab.UVAL[uvidx(idx, f)] > -990.0) draw_edge(w, face_edge(o, f), x0, x1, y0, y1);
    w.set_color_rgb(PB_FACE);
    for (int n : pb_rows(i, j, k)) draw_edge(w, face_edge(o, pbtable.PBFACE[n]), x0, x1, y0, y1);
}

void PLOTDATA(int32_t idx, int i, int j, int k, int code, double min, double max, double x0, double x1, double y0,
              double y1) {
    if (fields.CPR[idx] == 0.0) return;
    PLOTBOX(quantity_value(code, idx, i, j, k), min, max, x0, x1, y0, y1);
}

void PLOTVECTOR(int32_t idx, int i, int j, int k, int colby, double min, double max, double x0, double x1,
                double y0, double y1) {
    if (fields.CPR[idx] == 0.0) return;
    PlaneOrientation o;
    if (!plane_orientation(viewctl.IPLANE, viewctl.FLIP, o)) return;
    const double value = vector_colour_value(colby, idx, i, j, k);
    const InPlane u = in_plane_velocity(o, idx, i, j, k);
    const double xc = (x0 + x1) / 2.0, yc = (y0 + y1) / 2.0;
    PLOTVEC(value, u.uh, u.uv, min, max, xc, yc, plotopt.VSCALE, x0, y0, x1, y1);
}

void PLOTVEC(double value, double uh, double uv, double min, double max, double xc, double yc, double scale,
             double x0, double y0, double x1, double y1) {
    Window w = plot_window();
    KeptColour kept(w);
    if (plotopt.SHOWGRID) {
        w.set_color_rgb(role_colour(role::TEXT));
        w.rectangle_w(Fill::Outline, x0, y0, x1, y1);
    }
    const int band = colour_band(value, min, max);
    if (band == 0) return;
    const ArrowPoints p = arrow_points(uh, uv, scale, xc, yc);
    if (!std::isfinite(p.tail.x) || !std::isfinite(p.tail.y) || !std::isfinite(p.head.x) ||
        !std::isfinite(p.head.y) || !std::isfinite(p.barb.x) || !std::isfinite(p.barb.y))
        return;
    w.set_color_rgb(role_colour(band));
    w.move_to_w(p.tail.x, p.tail.y);
    w.line_to_w(p.head.x, p.head.y);
    w.line_to_w(p.barb.x, p.barb.y);
}

}  // namespace tarvex
