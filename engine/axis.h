// The three axes of the staggered grid, each named once.
//
// The equations are written once for axis 0 (x) and rotated: a kernel
// templated on the axis A finds everything that belongs to A in Axis<A>, the
// velocity on the cells' low faces across A and the arrays and run values of
// its momentum equation, the face's open fraction, density and open area, the
// cell widths along A and the cell centres along A, and the codes of the
// cell's low and high face across A. The widths across A are those along the other two
// axes, taken in ascending axis order (for x: DY, then DZ), the order in
// which every product of them is formed.
//
// The table and its helpers are the kernels' (namespace solver, beside the
// shared kernel pieces of solver_kernels.h).
//
// Face codes number the six faces of a cell: 1 west, 2 east, 3 south,
// 4 north, 5 bottom, 6 top; the low and high face across axis a are 2a+1 and
// 2a+2.
#pragma once

#include "engine/cells.h"
#include "engine/data.h"

namespace tarvex {

namespace solver {

inline constexpr bool is_face_code(int face) { return face >= 1 && face <= 6; }
// The axis a face code lies across.
inline constexpr int face_axis(int face) { return (face - 1) / 2; }

// The two axes across axis a, in ascending order.
inline constexpr int across_first(int a) { return a == 0 ? 1 : 0; }
inline constexpr int across_second(int a) { return a == 2 ? 1 : 2; }

template <int A>
struct Axis;

template <>
struct Axis<0> {
    static constexpr int LOW_FACE = 1;    // west
    static constexpr int HIGH_FACE = 2;   // east
    // The velocity on the west faces and its momentum equation: centre
    // coefficient and source after relaxation, numerator of the last sweep,
    // case sources (explicit, implicit; cell-centred).
    static constexpr double* vel = fields.U;
    static constexpr double* ap = coefs.APU;
    static constexpr double* su = fields.SUU;
    static constexpr double* h = coefs.HU;
    static constexpr double* sc = fields.SCU;
    static constexpr double* sp = fields.SPU;
    // The west face: open fraction, density, open area.
    static constexpr double* cpr = fields.CPRU;
    static constexpr double* den = fields.DENU;
    static constexpr double* area = fields.AREAU;
    // Cell widths DX(1..) and centres XC(0..NX+1) (walls at 0 and NX+1).
    static constexpr double* width = fields.DX;
    static constexpr double* centre = gridline.XC;
    // The run values of the momentum equation: buoyancy factor, relaxation
    // factor, the set-up and the post-sweep residual sums.
    static constexpr double* buoy = &runctl.BUOYX;
    static constexpr double* rlx = &runctl.RLXU;
    static constexpr double* res0 = &runctl.RU0;
    static constexpr double* res = &runctl.RU;
};

template <>
struct Axis<1> {
    static constexpr int LOW_FACE = 3;    // south
    static constexpr int HIGH_FACE = 4;   // north
    static constexpr double* vel = fields.V;
    static constexpr double* ap = coefs.APV;
    static constexpr double* su = fields.SUV;
    static constexpr double* h = coefs.HV;
    static constexpr double* sc = fields.SCV;
    static constexpr double* sp = fields.SPV;
    static constexpr double* cpr = fields.CPRV;
    static constexpr double* den = fields.DENV;
    static constexpr double* area = fields.AREAV;
    static constexpr double* width = fields.DY;
    static constexpr double* centre = gridline.YC;
    static constexpr double* buoy = &runctl.BUOYY;
    static constexpr double* rlx = &runctl.RLXV;
    static constexpr double* res0 = &runctl.RV0;
    static constexpr double* res = &runctl.RV;
};

template <>
struct Axis<2> {
    static constexpr int LOW_FACE = 5;    // bottom
    static constexpr int HIGH_FACE = 6;   // top
    static constexpr double* vel = fields.W;
    static constexpr double* ap = coefs.APW;
    static constexpr double* su = fields.SUW;
    static constexpr double* h = coefs.HW;
    static constexpr double* sc = fields.SCW;
    static constexpr double* sp = fields.SPW;
    static constexpr double* cpr = fields.CPRW;
    static constexpr double* den = fields.DENW;
    static constexpr double* area = fields.AREAW;
    static constexpr double* width = fields.DZ;
    static constexpr double* centre = gridline.ZC;
    static constexpr double* buoy = &runctl.BUOYZ;
    static constexpr double* rlx = &runctl.RLXW;
    static constexpr double* res0 = &runctl.RW0;
    static constexpr double* res = &runctl.RW;
};

// The cell widths along each axis, for an axis known only at run time (a
// pressure boundary's face code).
inline constexpr const double* WIDTHS[3] = {Axis<0>::width, Axis<1>::width, Axis<2>::width};

// Width of cell c along axis A, and its two widths across A.
template <int A>
inline double width_along(const Cell& c) {
    return Axis<A>::width[c.at<A>()];
}
template <int A>
inline double first_width_across(const Cell& c) {
    constexpr int B = across_first(A);
    return Axis<B>::width[c.at<B>()];
}
template <int A>
inline double second_width_across(const Cell& c) {
    constexpr int B = across_second(A);
    return Axis<B>::width[c.at<B>()];
}

// Full area of cell c's faces across axis A (the open fractions do not
// enter): for x DY·DZ, for y DX·DZ, for z DX·DY.
template <int A>
inline double face_area(const Cell& c) {
    return first_width_across<A>(c) * second_width_across<A>(c);
}

}  // namespace solver

// The same two for the side of cell (i, j, k) named by a face code: the full
// face area, and the cell's width across that face (DX for codes 1 and 2, DY
// for 3 and 4, DZ for 5 and 6); 0 for any other code. i, j, k must be real
// cells.
inline double pb_face_area(int face, int i, int j, int k) {
    using namespace solver;
    if (!is_face_code(face)) return 0.0;
    const Cell c{i, j, k, 0};
    const int a = face_axis(face), b1 = across_first(a), b2 = across_second(a);
    return WIDTHS[b1][c.at(b1)] * WIDTHS[b2][c.at(b2)];
}
inline double pb_face_width(int face, int i, int j, int k) {
    using namespace solver;
    if (!is_face_code(face)) return 0.0;
    const Cell c{i, j, k, 0};
    const int a = face_axis(face);
    return WIDTHS[a][c.at(a)];
}

}  // namespace tarvex
