#include "frontend/calc/planegeom.h"

#include <cmath>
#include <limits>
#include <utility>

#include "common/textfmt.h"
#include "engine/engine.h"
#include "frontend/calc/fieldstats.h"

namespace tarvex {

namespace {

constexpr double NOT_A_NUMBER = std::numeric_limits<double>::quiet_NaN();

// Which axis a face code lies on, and whether it is the low face.
bool face_axis(int face, Axis& a, bool& low) {
    switch (face) {
        case 1: a = Axis::x; low = true; return true;
        case 2: a = Axis::x; low = false; return true;
        case 3: a = Axis::y; low = true; return true;
        case 4: a = Axis::y; low = false; return true;
        case 5: a = Axis::z; low = true; return true;
        case 6: a = Axis::z; low = false; return true;
        default: return false;
    }
}

// Low and high grid lines of a cell along an axis.
void cell_span(Axis a, int i, int j, int k, double& lo, double& hi) {
    switch (a) {
        case Axis::x: lo = gridline.X[i - 1]; hi = gridline.X[i]; break;
        case Axis::y: lo = gridline.Y[j - 1]; hi = gridline.Y[j]; break;
        case Axis::z: lo = gridline.Z[k - 1]; hi = gridline.Z[k]; break;
    }
}

// Open fractions of a cell's low and high faces along an axis.
void cell_faces(Axis a, int32_t idx, double& lo, double& hi) {
    switch (a) {
        case Axis::x: lo = fields.CPRU[idx]; hi = fields.CPRU[idx + 1]; break;
        case Axis::y: lo = fields.CPRV[idx]; hi = fields.CPRV[idx + griddim.JSTRIDE]; break;
        case Axis::z: lo = fields.CPRW[idx]; hi = fields.CPRW[idx + griddim.KSTRIDE]; break;
    }
}

double centre_velocity(Axis a, int32_t idx, int i, int j, int k) {
    switch (a) {
        case Axis::x: return GET_U(idx, i, j, k);
        case Axis::y: return GET_V(idx, i, j, k);
        case Axis::z: return GET_W(idx, i, j, k);
    }
    return 0.0;
}

double centre_speed(int32_t idx, int i, int j, int k) {
    const double u = GET_U(idx, i, j, k), v = GET_V(idx, i, j, k), w = GET_W(idx, i, j, k);
    return std::sqrt(u * u + v * v + w * w);
}

}  // namespace

bool plane_orientation(int iplane, bool flip, PlaneOrientation& o) {
    PlaneOrientation r;
    r.plane = iplane;
    switch (iplane) {
        case 1: r.horizontal = Axis::x; r.vertical = Axis::y; r.normal = Axis::z; break;
        case 2: r.horizontal = Axis::x; r.vertical = Axis::z; r.normal = Axis::y; break;
        case 3: r.horizontal = Axis::y; r.vertical = Axis::z; r.normal = Axis::x; break;
        default: return false;
    }
    if (flip) std::swap(r.horizontal, r.vertical);
    o = r;
    return true;
}

int plane_layers(int iplane) {
    switch (iplane) {
        case 1: return griddim.NZ;
        case 2: return griddim.NY;
        case 3: return griddim.NX;
        default: return 0;
    }
}

CellRect cell_rect(const PlaneOrientation& o, int i, int j, int k) {
    CellRect r{};
    cell_span(o.horizontal, i, j, k, r.x0, r.x1);
    cell_span(o.vertical, i, j, k, r.y0, r.y1);
    return r;
}

FaceFlags face_flags(const PlaneOrientation& o, int32_t idx) {
    FaceFlags f{};
    cell_faces(o.horizontal, idx, f.left, f.right);
    cell_faces(o.vertical, idx, f.bottom, f.top);
    return f;
}

bool cell_visible(const CellRect& r, double vxmin, double vxmax, double vymin, double vymax) {
    return r.x0 >= vxmin && r.x0 <= vxmax && r.x1 >= vxmin && r.x1 <= vxmax && r.y0 >= vymin && r.y0 <= vymax &&
           r.y1 >= vymin && r.y1 <= vymax;
}

Edge face_edge(const PlaneOrientation& o, int face) {
    Axis a;
    bool low = false;
    if (!face_axis(face, a, low)) return Edge::none;
    if (a == o.horizontal) return low ? Edge::left : Edge::right;
    if (a == o.vertical) return low ? Edge::bottom : Edge::top;
    return Edge::none;
}

int axis_lines(Axis a) {
    switch (a) {
        case Axis::x: return griddim.NX;
        case Axis::y: return griddim.NY;
        case Axis::z: return griddim.NZ;
    }
    return 0;
}

double axis_line(Axis a, int n) {
    switch (a) {
        case Axis::x: return gridline.X[n];
        case Axis::y: return gridline.Y[n];
        case Axis::z: return gridline.Z[n];
    }
    return 0.0;
}

InPlane in_plane_velocity(const PlaneOrientation& o, int32_t idx, int i, int j, int k) {
    return {centre_velocity(o.horizontal, idx, i, j, k), centre_velocity(o.vertical, idx, i, j, k)};
}

ArrowPoints arrow_points(double uh, double uv, double scale, double xc, double yc) {
    const double a = scale * uh, b = scale * uv;
    ArrowPoints p{};
    p.tail = {xc - a / 2.0, yc - b / 2.0};
    p.head = {xc + a / 2.0, yc + b / 2.0};
    p.barb = {xc + 0.2835 * a - 0.125 * b, yc + 0.2835 * b + 0.125 * a};
    return p;
}

double quantity_value(int code, int32_t idx, int i, int j, int k) {
    switch (code) {
        case 1: return fields.T[idx] - KELVIN_OFFSET;
        case 2: return fields.C[idx] * 1000.0;
        case 3: return fields.P[idx];
        case 4: return GET_U(idx, i, j, k);
        case 5: return GET_V(idx, i, j, k);
        case 6: return GET_W(idx, i, j, k);
        case 7: return centre_speed(idx, i, j, k);
        case 12: return resid.RESUVW[idx];
        case 13: return resid.RESM[idx];
        case 14: return resid.REST[idx];
        case 15: return resid.RESC[idx];
        case 21: return c2eq.C2[idx] * 1000.0;
        case 22: return WC2RH(c2eq.C2[idx], fields.T[idx] - KELVIN_OFFSET);
        default: return NOT_A_NUMBER;
    }
}

double vector_colour_value(int colby, int32_t idx, int i, int j, int k) {
    switch (colby) {
        case 2: return fields.T[idx] - KELVIN_OFFSET;
        case 3: return fields.C[idx] * 1000.0;
        default: return centre_speed(idx, i, j, k);
    }
}

std::array<std::string, 17> legend_labels(double min, double max) {
    std::array<std::string, 17> labels;
    // Each label from the maximum and its box number, not by taking the step
    // again and again. Where a box edge falls on zero, what is left of the
    // subtraction is rounding (a few units in the last place of the limits,
    // far below a millionth of the step): it reads as 0, not as -.4337E-18.
    const double step = (max - min) * 0.0625;
    for (int n = 0; n < 16; ++n) {
        double v = max - n * step;
        if (std::fabs(v) < 1e-9 * std::fabs(step)) v = 0.0;
        labels[n] = fmt_g(v, 10, 4);
    }
    labels[16] = fmt_g(min, 10, 4);
    return labels;
}

}  // namespace tarvex
