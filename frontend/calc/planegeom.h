// The geometry of a plane of the grid as the plot viewers draw it: which
// axes run across and up, the order in which its cells are visited, a
// cell's rectangle and face flags, visibility, the edge a face code lands
// on, the in-plane velocity of a cell, the points of an arrow, the values of
// a field plot and the labels of the colour legend. No window is needed.
//
// World coordinates are metres of the domain along the plane's horizontal
// and vertical screen axes.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/data.h"

namespace tarvex {

enum class Axis { x, y, z };

// The axes of plane IPLANE (1 IJ: x across, y up; 2 IK: x, z; 3 JK: y, z),
// with flip exchanging across and up. The visiting order does not change
// with flip.
struct PlaneOrientation {
    int plane = 0;              // 1..3
    Axis horizontal = Axis::x;
    Axis vertical = Axis::y;
    Axis normal = Axis::z;
};
// False (and o untouched) for a plane other than 1..3.
bool plane_orientation(int iplane, bool flip, PlaneOrientation& o);

// The number of layers along a plane's normal in the loaded grid (NZ on
// plane 1, NY on 2, NX on 3); 0 for any other plane.
int plane_layers(int iplane);

// Calls fn(i, j, k) for every cell of layer k of the plane in visiting
// order: plane 1 J then I, plane 2 K then I, plane 3 K then J (the second
// index fastest). Nothing when the plane is not 1..3 or the layer lies
// outside 1..plane_layers(iplane): a cell index off the grid is never made.
template <class Fn>
void for_each_plane_cell(int iplane, int layer, Fn&& fn) {
    if (layer < 1 || layer > plane_layers(iplane)) return;
    const int nx = griddim.NX, ny = griddim.NY, nz = griddim.NZ;
    switch (iplane) {
        case 1:
            for (int j = 1; j <= ny; ++j)
                for (int i = 1; i <= nx; ++i) fn(i, j, layer);
            break;
        case 2:
            for (int k = 1; k <= nz; ++k)
                for (int i = 1; i <= nx; ++i) fn(i, layer, k);
            break;
        case 3:
            for (int k = 1; k <= nz; ++k)
                for (int j = 1; j <= ny; ++j) fn(layer, j, k);
            break;
        default: break;
    }
}

// The rectangle of a cell: x0, x1 its low and high grid lines along the
// horizontal axis, y0, y1 along the vertical one.
struct CellRect {
    double x0, x1, y0, y1;
};
CellRect cell_rect(const PlaneOrientation& o, int i, int j, int k);

// The open fractions of the faces that form the rectangle's edges.
struct FaceFlags {
    double left, bottom, right, top;
};
FaceFlags face_flags(const PlaneOrientation& o, int32_t idx);

// The cell lies wholly inside the visible range, bounds included.
bool cell_visible(const CellRect& r, double vxmin, double vxmax, double vymin, double vymax);

// The rectangle edge a face code (1 -x, 2 +x, 3 -y, 4 +y, 5 -z, 6 +z) lands
// on; none for a face along the plane's normal or any other code.
enum class Edge { none, left, bottom, right, top };
Edge face_edge(const PlaneOrientation& o, int face);

// The grid line positions along an axis, 0..NX, 0..NY or 0..NZ.
int axis_lines(Axis a);                 // the last index: NX, NY or NZ
double axis_line(Axis a, int n);        // X(n), Y(n) or Z(n)

// The cell-centre velocity components along the horizontal and the vertical
// axis of the plane.
struct InPlane {
    double uh, uv;
};
InPlane in_plane_velocity(const PlaneOrientation& o, int32_t idx, int i, int j, int k);

// The arrow of a velocity (uh, uv) at (xc, yc), scale metres per m/s: the
// shaft from tail to head, centred on (xc, yc) and scale times the speed
// long, and one barb from the head, a quarter of the shaft long at 30
// degrees, on the left of the direction with y upwards.
struct WorldXY {
    double x, y;
};
struct ArrowPoints {
    WorldXY tail, head, barb;
};
ArrowPoints arrow_points(double uh, double uv, double scale, double xc, double yc);

// The value of a field plot's quantity code in display units: 1 T in
// degrees C, 2 C in g/kg, 3 P, 4-6 U V W at the cell centre, 7 speed at the
// cell centre, 12-15 the residuals RESUVW RESM REST RESC, 21 water vapour in
// g/kg, 22 relative humidity in %. Not a number for any other code (such a
// cell gets no colour).
double quantity_value(int code, int32_t idx, int i, int j, int k);

// The value that colours a vector: 2 T in degrees C, 3 C in g/kg, any other
// choice (1) the cell-centre speed.
double vector_colour_value(int colby, int32_t idx, int i, int j, int k);

// The 17 labels of the colour legend for the scale min..max, each G10.4:
// [0] at the top box (max), each next one a sixteenth of the scale lower,
// [15] at the lowest box (min plus a sixteenth), [16] below it (min).
std::array<std::string, 17> legend_labels(double min, double max);

}  // namespace tarvex
