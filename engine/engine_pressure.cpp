// The pressure equation, the mass residual and the pressure level.
//
// CALCP moves each open cell's pressure towards the value Q/G at which the
// cell's mass balance closes, with the face velocities taken from the
// numerators and centre coefficients the momentum sweeps left:
//   velocity = (numerator + A·(low-side P - high-side P)) / centre coefficient.
// The faces are taken in the order north, south, east, west, top, bottom.

#include <cmath>

#include "engine/axis.h"
#include "engine/cells.h"
#include "engine/engine.h"
#include "engine/pbcells.h"
#include "engine/solver_kernels.h"
#include "engine/solver_loops.h"

namespace tarvex {

namespace {


// One cell of the pressure sweep.
struct PressureKernel {
    static constexpr const double* cpr = fields.CPR;
    static constexpr const double* smass = fields.SMASS;
    static constexpr double* pr = fields.P;

    solver::CellFaces faces;
    double rlxp;   // RLXP

    void operator()(const Cell& c) const {
        const Index p = c.p;
        if (!is_open(cpr[p])) return;
        double q = smass[p];
        double g = 0.0;
        const double ay = solver::face_area<1>(c);   // north and south faces
        const double ax = solver::face_area<0>(c);   // east and west faces
        const double az = solver::face_area<2>(c);   // top and bottom faces
        faces.y.add_pressure_high(c, ay, pr, q, g);
        faces.y.add_pressure_low(c, ay, pr, q, g);
        faces.x.add_pressure_high(c, ax, pr, q, g);
        faces.x.add_pressure_low(c, ax, pr, q, g);
        faces.z.add_pressure_high(c, az, pr, q, g);
        faces.z.add_pressure_low(c, az, pr, q, g);
        if (g != 0.0) pr[p] = pr[p] + rlxp * (q / g - pr[p]);
    }
};

// The absolute mass imbalance of an open cell after the sweeps: its term of RM.
struct MassResidualKernel {
    static constexpr const double* cpr = fields.CPR;
    static constexpr const double* smass = fields.SMASS;

    solver::CellFaces faces;

    double operator()(const Cell& c) const {
        if (!is_open(cpr[c.p])) return 0.0;
        return std::fabs(solver::net_inflow(faces.x.low_flow(c), faces.x.high_flow(c), faces.y.low_flow(c),
                                            faces.y.high_flow(c), faces.z.low_flow(c), faces.z.high_flow(c),
                                            smass[c.p]));
    }
};

// The fixed inflows and outflows of the open cells, for the pressure level:
// Min grows by each positive source, Mout by each negative one.
struct SourceTotals {
    double min = 0.0;
    double mout = 0.0;
    void add(double m) {
        if (m > 0.0) min += m;
        if (m < 0.0) mout += m;
    }
};

struct OpenSourceKernel {
    static constexpr const double* cpr = fields.CPR;
    static constexpr const double* smass = fields.SMASS;
    double operator()(const Cell& c) const { return is_open(cpr[c.p]) ? smass[c.p] : 0.0; }
};

struct ShiftKernel {
    static constexpr const double* cpr = fields.CPR;
    static constexpr double* pr = fields.P;
    double dp;
    void operator()(const Cell& c) const {
        if (is_open(cpr[c.p])) pr[c.p] = pr[c.p] + dp;
    }
};

}  // namespace

void CALCP(int dir) {
    const Grid g = grid();
    const PressureKernel kernel{solver::cell_faces(g), runctl.RLXP};
    loops::sweep(g, all_cells(g), loops::sweep_order(dir), kernel);
}

void MASS() {
    const Grid g = grid();
    loops::Sum rm{runctl.RM};
    loops::pass(g, all_cells(g), MassResidualKernel{solver::cell_faces(g)}, rm);
    runctl.RM = rm.value;
}

// Shifts the pressure of every open cell by one amount so that the
// pressure-boundary flows move towards balancing the fixed sources: the
// imbalance over the number of boundary cells times their area-weighted mean
// slope of the power law, scaled by RLXADJ and limited to 1 Pa either way.
// No shift when no open cell lies in a boundary box, when the sources cancel,
// when every slope is 0, or when the quotient is not a finite number.
void ADJUSTP() {
    const Grid g = grid();
    SourceTotals sources;
    loops::pass(g, all_cells(g), OpenSourceKernel{}, sources);

    // The slopes of the open boundary cells; a cell in two boxes counts twice.
    double s1 = 0.0, s2 = 0.0;
    int nc = 0;
    loops::pb_cells(g, [&](const Cell& c, const PbRowSet& rows) {
        if (!is_open(fields.CPR[c.p])) return;
        for (int n : rows) {
            const double a = pb_face_area(pbtable.PBFACE[n], c.i, c.j, c.k);
            double gap = std::fabs(pbtable.PBP[n] - fields.P[c.p]);
            if (gap <= 0.001) gap = 0.001;
            const double e = pbtable.PBEXP[n];
            s1 += e * fields.DEN[c.p] * pbtable.PBCOEF[n] * a * a / std::pow(gap, 1.0 - e);
            s2 += a;
            nc += 1;
        }
    });

    const double imbalance = sources.min + sources.mout;
    if (s2 == 0.0 || imbalance == 0.0 || s1 == 0.0) return;
    double dp = runctl.RLXADJ * imbalance / (nc * s1 / s2);
    if (!std::isfinite(dp)) return;
    if (dp > 1.0) dp = 1.0;
    if (dp < -1.0) dp = -1.0;
    loops::pass(g, all_cells(g), ShiftKernel{dp});
}

}  // namespace tarvex
