#include "frontend/calc/plotwindow.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "common/textfmt.h"
#include "engine/data.h"
#include "frontend/calc/viewstate.h"

namespace tarvex {

// ---- measuring ---------------------------------------------------------------

namespace {

// 16-bit arithmetic: every operand and result kept in the 16-bit range (the
// layer's sizes are far inside it; this only keeps absurd values bounded).
int16_t i16(long long v) {
    return static_cast<int16_t>(std::clamp<long long>(v, std::numeric_limits<int16_t>::min(),
                                                      std::numeric_limits<int16_t>::max()));
}

int16_t cell_pixels(int pixels, int cells) {
    const int16_t c = i16(cells);
    return c == 0 ? int16_t{0} : i16(i16(pixels) / c);
}

}  // namespace

PixelSize measure_pixels(const WindowMeasure& m) {
    PixelSize p;
    p.nxpix = i16(static_cast<long long>(cell_pixels(m.pixels_x, m.text_cols)) * i16(m.width) - 10);
    p.nypix = i16(static_cast<long long>(cell_pixels(m.pixels_y, m.text_rows)) * i16(m.height) - 10);
    return p;
}

bool window_too_small(int nxpix, int nypix) { return nxpix <= 100 || nypix <= 0; }

// ---- colour scale ------------------------------------------------------------

void widen_equal_limits(double& csmin, double& csmax) {
    if (csmin == 0.0 && csmax == 0.0) {
        csmin = -0.01;
        csmax = 0.01;
    } else if (csmin == csmax) {
        csmin = 0.99 * csmax;
        csmax = 1.01 * csmax;
    }
}

namespace {

// The field bounds of a plot choice in display units; false for a choice
// without a field (the limits then stay).
bool bounds_of(PlotMember member, int choice, int colby, double& lo, double& hi) {
    const PLOTOPT& o = plotopt;
    if (member == PlotMember::grid) {
        switch (choice) {
            case 12: lo = o.RESUVWMIN; hi = o.RESUVWMAX; return true;
            case 13: lo = o.RESMMIN; hi = o.RESMMAX; return true;
            case 14: lo = o.RESTMIN; hi = o.RESTMAX; return true;
            case 15: lo = o.RESCMIN; hi = o.RESCMAX; return true;
            default: return false;
        }
    }
    if (choice == 9) choice = colby == 2 ? 2 : colby == 3 ? 3 : 6;   // vectors by their colouring
    switch (choice) {
        case 2: lo = o.TMIN; hi = o.TMAX; return true;
        case 3: lo = o.CMIN * 1000.0; hi = o.CMAX * 1000.0; return true;
        case 4: lo = o.UMIN; hi = o.UMAX; return true;
        case 5: lo = o.WMIN; hi = o.WMAX; return true;
        case 6: lo = o.SPMIN; hi = o.SPMAX; return true;
        case 7: lo = o.PMIN; hi = o.PMAX; return true;
        case 8: lo = o.VMIN; hi = o.VMAX; return true;
        case 10: lo = o.C2MIN * 1000.0; hi = o.C2MAX * 1000.0; return true;
        case 11: lo = o.RHMIN; hi = o.RHMAX; return true;
        default: return false;
    }
}

}  // namespace

void colour_scale_step(PlotMember member) {
    if (!viewctl.MANUAL) {
        const int choice = member == PlotMember::domain ? viewctl.IPLOT : viewctl.IRPLOT;
        double lo = 0.0, hi = 0.0;
        if (bounds_of(member, choice, viewctl.ICOLBY, lo, hi)) {
            plotopt.CSMIN = lo;
            plotopt.CSMAX = hi;
        }
    }
    widen_equal_limits(plotopt.CSMIN, plotopt.CSMAX);
}

// ---- the plane ---------------------------------------------------------------

int plane_limit(int iplane) {
    switch (iplane) {
        case 1: return griddim.NZ;
        case 2: return griddim.NY;
        default: return griddim.NX;
    }
}

namespace {

// A grid line of the loaded grid, 0 for an index outside its arrays.
double line_at(const double* lines, int n) { return n >= 0 && n < NDIRMAX ? lines[n] : 0.0; }

}  // namespace

PlaneAxes plane_axes(int iplane, bool flip) {
    const double xl = line_at(gridline.X, griddim.NX);
    const double yl = line_at(gridline.Y, griddim.NY);
    const double zl = line_at(gridline.Z, griddim.NZ);
    PlaneAxes a;
    switch (iplane) {
        case 1: a = {xl, yl, 'X', 'Y', 'z'}; break;
        case 2: a = {xl, zl, 'X', 'Z', 'y'}; break;
        default: a = {yl, zl, 'Y', 'Z', 'x'}; break;
    }
    if (flip) {
        std::swap(a.h, a.v);
        std::swap(a.across, a.up);
    }
    return a;
}

double layer_centre(int iplane, int k) {
    const double* lines = iplane == 1 ? gridline.Z : iplane == 2 ? gridline.Y : gridline.X;
    return (line_at(lines, k - 1) + line_at(lines, k)) / 2.0;
}

// ---- the fit of the plane into the window --------------------------------------

PlotGeometry plot_geometry(const PlotGeometryInput& in) {
    PlotGeometry g;
    g.panx = in.panx;
    g.pany = in.pany;
    const bool extent = in.h > 0.0 && in.v > 0.0 && std::isfinite(in.h) && std::isfinite(in.v);
    if (window_too_small(in.nxpix, in.nypix) || !extent) return g;

    const double nx = in.nxpix, ny = in.nypix;
    double s = std::max(in.h / (nx - 100.0), in.v / ny);
    if (in.izoom <= 1) {
        g.panx = g.pany = g.stepx = g.stepy = 0.0;
    } else {
        s = s / in.izoom;
        g.stepx = in.h / in.izoom * 0.5;
        g.stepy = in.v / in.izoom * 0.5;
    }
    g.scale = s;

    const double wx = (nx - 100.0) * s, wy = ny * s, fx = nx * s;
    g.left = g.panx;
    g.right = g.panx + wx;
    g.bottom = g.pany;
    g.top = g.pany + wy;
    g.wx1 = g.panx - 0.1 * fx;
    g.wx2 = g.panx + 1.1 * fx;
    g.wy1 = g.pany - 0.1 * wy;
    g.wy2 = g.pany + 1.1 * wy;
    g.vxmin = g.panx - 0.01 * wx;
    g.vxmax = g.panx + 1.01 * wx;
    g.vymin = g.pany - 0.01 * wy;
    g.vymax = g.pany + 1.01 * wy;
    g.r = std::min(g.right, in.h);
    g.t = std::min(g.top, in.v);

    const double ww = g.wx2 - g.wx1, wh = g.wy2 - g.wy1;
    // Truncated towards zero; pixel rows count from the top.
    g.ipx0 = static_cast<int>(nx * (g.panx - g.wx1) / ww);
    g.ipx1 = static_cast<int>(nx * (g.r - g.wx1) / ww);
    g.ipy0 = static_cast<int>(ny - ny * (g.pany - g.wy1) / wh);
    g.ipy1 = static_cast<int>(ny - ny * (g.t - g.wy1) / wh);
    g.drawable = std::isfinite(ww) && std::isfinite(wh) && ww > 0.0 && wh > 0.0;
    return g;
}

// ---- controls ---------------------------------------------------------------

double pan_up(double pan, double step, double extent) { return pan + step <= extent ? pan + step : pan; }

double pan_down(double pan, double step) { return pan - step < 0.0 ? 0.0 : pan - step; }

EntryVerdict read_entry(std::string_view text, int lo, int hi, int& value) {
    FreeFormReader reader(text);
    int v = 0;
    if (reader.read(v) != ReadStatus::ok) return EntryVerdict::ignore;
    if (v < lo || v > hi) return EntryVerdict::restore;
    value = v;
    return EntryVerdict::accept;
}

// ---- plots ------------------------------------------------------------------

PlotCall plot_call(PlotMember member, int choice, bool showbc) {
    if (choice == 0) return {PlotDraw::grid, 0};
    if (member == PlotMember::grid) {
        if (choice == 1) return {PlotDraw::blockage, 0};
        if (choice >= 12 && choice <= 15) return {PlotDraw::data, choice};
        return {};
    }
    switch (choice) {
        case 1: return {showbc ? PlotDraw::blockage_marks : PlotDraw::blockage, 0};
        case 2: return {PlotDraw::data, 1};
        case 3: return {PlotDraw::data, 2};
        case 4: return {PlotDraw::data, 4};
        case 5: return {PlotDraw::data, 6};
        case 6: return {PlotDraw::data, 7};
        case 7: return {PlotDraw::data, 3};
        case 8: return {PlotDraw::data, 5};
        case 9: return {PlotDraw::vectors, 0};
        case 10: return {PlotDraw::data, 21};
        case 11: return {PlotDraw::data, 22};
        default: return {};
    }
}

// ---- texts ------------------------------------------------------------------

namespace {

std::string text16(std::string s) {
    s.resize(16, ' ');
    return s;
}

}  // namespace

std::string plane_position_label(char normal, double position) {
    std::string s(1, normal);
    s += "= ";
    s += position == 0.0 ? std::string("0") : fmt_g(position, 12, 5);
    return text16(std::move(s));
}

int plane_label_left(int nxpix, int text_width) {
    return std::max(0, std::min(nxpix - 90, nxpix - text_width));
}

int legend_area_left(int nxpix, int label_left) { return std::max(0, std::min(nxpix - LEGEND_ROOM, label_left)); }

std::string edge_label(double value, bool zero_as_0) {
    return text16(zero_as_0 && value == 0.0 ? std::string("0") : fmt_g(value, 12, 5));
}

std::string index_field_text(long long index) {
    const std::string text = fmt_i(index, 12);
    return text.substr(std::min(text.find_first_not_of(' '), text.size()));
}

std::string picture_name(std::int64_t n) {
    return "Pic_" + fmt_i(static_cast<long long>(n), 4, 4) + ".BMP";
}

}  // namespace tarvex
