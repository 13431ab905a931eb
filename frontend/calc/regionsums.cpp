#include "frontend/calc/regionsums.h"

#include <cmath>
#include <limits>
#include <utility>

#include "engine/data.h"
#include "engine/engine.h"
#include "engine/pbcells.h"

namespace tarvex {

namespace {

bool inside(int v, int n) { return v >= 1 && v <= n; }

// Adds a flow to the in-total when above 0, otherwise to the out-total.
void add_signed(InOut& io, double v) {
    if (v > 0.0) io.in += v;
    else io.out += v;
}

// A side of the box: a low side (west, south, bottom) counts a flow into the
// box as it is; a high side (east, north, top) counts it with its sign
// turned, a flow of 0 to the out-total.
void add_low_side(RegionSums& r, double flow, double heat) {
    if (flow > 0.0) {
        r.total_mass.in += flow;
        r.side_heat.in += heat;
    } else {
        r.total_mass.out += flow;
        r.side_heat.out += heat;
    }
}

void add_high_side(RegionSums& r, double flow, double heat) {
    if (flow >= 0.0) {
        r.total_mass.out -= flow;
        r.side_heat.out -= heat;
    } else {
        r.total_mass.in -= flow;
        r.side_heat.in -= heat;
    }
}

void add_plane(PlaneFlow& plane, double low_face, double high_face) {
    const double x = (low_face + high_face) / 2.0;
    if (x > 0.0) plane.positive += x;
    else plane.negative += x;
    plane.marked = true;
}

// The mass flow through a face (positive towards rising index) and the
// temperature it carries: the upwind cell's.
struct FaceFlow {
    double mass = 0.0;
    double heat = 0.0;
};

FaceFlow face_flow(double den, double area, double vel, double t_low, double t_high) {
    FaceFlow f;
    f.mass = den * area * vel;
    f.heat = f.mass * (vel > 0.0 ? t_low : t_high);
    return f;
}

}  // namespace

bool order_region_box(RegionBox& box) {
    const int nx = griddim.NX, ny = griddim.NY, nz = griddim.NZ;
    if (!inside(box.i1, nx) || !inside(box.i2, nx) || !inside(box.j1, ny) || !inside(box.j2, ny) ||
        !inside(box.k1, nz) || !inside(box.k2, nz))
        return false;
    if (box.i1 > box.i2) std::swap(box.i1, box.i2);
    if (box.j1 > box.j2) std::swap(box.j1, box.j2);
    if (box.k1 > box.k2) std::swap(box.k1, box.k2);
    return true;
}

RegionSums region_sums(const RegionBox& asked) {
    RegionSums r;
    r.box = asked;
    if (!order_region_box(r.box)) {
        r.box = asked;
        return r;
    }
    const RegionBox& b = r.box;
    const int nx = griddim.NX, ny = griddim.NY, nz = griddim.NZ;
    const int32_t js = griddim.JSTRIDE, ks = griddim.KSTRIDE;

    // Weighted sums and their weights; extremes start beyond any value, so
    // that whatever an open cell holds becomes its extreme.
    double sum[RQ_COUNT] = {};
    double area_u = 0.0, area_v = 0.0, area_w = 0.0;
    double lo[RQ_COUNT], hi[RQ_COUNT];
    for (int q = 0; q < RQ_COUNT; ++q) {
        lo[q] = std::numeric_limits<double>::infinity();
        hi[q] = -std::numeric_limits<double>::infinity();
    }

    for (int i = b.i1; i <= b.i2; ++i) {
        for (int j = b.j1; j <= b.j2; ++j) {
            for (int k = b.k1; k <= b.k2; ++k) {
                const int32_t p = ARIDX(i, j, k);
                if (fields.CPR[p] == 0.0) continue;
                ++r.open_cells;
                const double vol = coefs.VOL[p];
                r.volume += vol;

                const double u = fields.U[p], v = fields.V[p], w = fields.W[p];
                const double t = fields.T[p];
                const double value[RQ_COUNT] = {
                    u,
                    v,
                    w,
                    std::sqrt(u * u + v * v + w * w),
                    t,
                    fields.P[p],
                    fields.C[p],
                    c2eq.C2[p],
                    WC2RH(c2eq.C2[p], t - KELVIN_OFFSET),
                };
                sum[RQ_U] += u * fields.AREAU[p];
                area_u += fields.AREAU[p];
                sum[RQ_V] += v * fields.AREAV[p];
                area_v += fields.AREAV[p];
                sum[RQ_W] += w * fields.AREAW[p];
                area_w += fields.AREAW[p];
                for (int q = RQ_SPEED; q < RQ_COUNT; ++q) sum[q] += value[q] * vol;
                for (int q = 0; q < RQ_COUNT; ++q) {
                    if (value[q] > hi[q]) hi[q] = value[q];
                    if (value[q] < lo[q]) lo[q] = value[q];
                }

                add_signed(r.total_mass, fields.SMASS[p]);

                // The six face flows; a face on the domain's boundary carries none.
                FaceFlow west, east, south, north, bottom, top;
                if (i > 1) west = face_flow(fields.DENU[p], fields.AREAU[p], u, fields.T[p - 1], t);
                if (i < nx) {
                    const int32_t q = p + 1;
                    east = face_flow(fields.DENU[q], fields.AREAU[q], fields.U[q], t, fields.T[q]);
                }
                if (j > 1) south = face_flow(fields.DENV[p], fields.AREAV[p], v, fields.T[p - js], t);
                if (j < ny) {
                    const int32_t q = p + js;
                    north = face_flow(fields.DENV[q], fields.AREAV[q], fields.V[q], t, fields.T[q]);
                }
                if (k > 1) bottom = face_flow(fields.DENW[p], fields.AREAW[p], w, fields.T[p - ks], t);
                if (k < nz) {
                    const int32_t q = p + ks;
                    top = face_flow(fields.DENW[q], fields.AREAW[q], fields.W[q], t, fields.T[q]);
                }

                if (i == b.i1) add_low_side(r, west.mass, west.heat);
                if (i == b.i2) add_high_side(r, east.mass, east.heat);
                if (j == b.j1) add_low_side(r, south.mass, south.heat);
                if (j == b.j2) add_high_side(r, north.mass, north.heat);
                if (k == b.k1) add_low_side(r, bottom.mass, bottom.heat);
                if (k == b.k2) add_high_side(r, top.mass, top.heat);

                if (b.k1 == b.k2) add_plane(r.plane_k, bottom.mass, top.mass);
                if (b.i1 == b.i2) add_plane(r.plane_i, west.mass, east.mass);
                if (b.j1 == b.j2) add_plane(r.plane_j, south.mass, north.mass);

                // Pressure boundaries: every row's flow counts in the mass
                // totals; the heat is that of the last row with a flow.
                double h = 0.0;
                for (int n : pb_rows(i, j, k)) {
                    const double area = pb_face_area(pbtable.PBFACE[n], i, j, k);
                    const double m = pb_flow(n, fields.DEN[p], fields.P[p], area);
                    if (m > 0.0) {
                        r.pb_mass.in += m;
                        h = m * pbtable.PBT[n];
                    } else if (m < 0.0) {
                        r.pb_mass.out += m;
                        h = m * t;
                    }
                }

                if (uvaltab.UVALCELL[p]) {
                    for (int f = 1; f <= 6; ++f) {
                        UvalueFace face;
                        if (!uvalue_face(p, i, j, k, f, face)) continue;
                        add_signed(r.fabric_heat, (uvalue_far_temperature(face) - t) * face.u);
                    }
                }

                // The temperature source of an inflowing pressure-boundary
                // cell holds the heat the boundary brings: that part is
                // counted as the boundary's.
                add_signed(r.source_heat, h > 0.0 ? fields.SCT[p] - h : fields.SCT[p]);
                add_signed(r.pb_heat, h);
            }
        }
    }

    if (r.open_cells > 0) {
        const double weight[RQ_COUNT] = {area_u,   area_v,   area_w,   r.volume, r.volume,
                                         r.volume, r.volume, r.volume, r.volume};
        for (int q = 0; q < RQ_COUNT; ++q) {
            RegionStat& s = r.stat[q];
            s.has_mean = weight[q] != 0.0;
            s.mean = s.has_mean ? sum[q] / weight[q] : 0.0;
            s.has_extremes = lo[q] <= hi[q];
            s.min = s.has_extremes ? lo[q] : 0.0;
            s.max = s.has_extremes ? hi[q] : 0.0;
        }
    }
    return r;
}

double region_display_value(RegionQuantity q, double stored) {
    switch (q) {
        case RQ_T: return stored - KELVIN_OFFSET;
        case RQ_C:
        case RQ_C2: return stored * 1000.0;
        default: return stored;
    }
}

}  // namespace tarvex
