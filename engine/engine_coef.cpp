// Neighbour coefficients shared by every equation, the effective viscosity of
// the three turbulence models, and the mass imbalance of each cell.
//
// Hybrid differencing: on a face with mass flow F (positive in the positive
// coordinate direction) and conductance D, the high-side coefficient is
// max(|F/2|, D) - F/2 and the low-side one max(|F/2|, D) + F/2, that is
// central differencing up to a cell Peclet number |F|/D of 2 and upwind
// without diffusion above it.
#include <algorithm>
#include <cmath>

#include "engine/cells.h"
#include "engine/engine.h"
#include "engine/solver_kernels.h"
#include "engine/solver_loops.h"

namespace tarvex {

namespace {

using solver::FaceFlow;

// Divisor of the mixing-length viscosity of turbulence model 3.
constexpr double MODEL3_DIVISOR = 1.4;

inline double high_side(const FaceFlow& ff) { return std::max(std::fabs(ff.f / 2.0), ff.d) - ff.f / 2.0; }
inline double low_side(const FaceFlow& ff) { return std::max(std::fabs(ff.f / 2.0), ff.d) + ff.f / 2.0; }

// SUBC at one cell whose CPR is not 0: the effective viscosity, the six
// coefficients, the mass imbalance and its absolute value, which is also the
// cell's term of RM0.
struct CoefficientKernel {
    // Reads (and the faces' arrays).
    static constexpr const double* cpr = fields.CPR;
    static constexpr const double* smass = fields.SMASS;
    static constexpr const double* xlmix = mixlen.XLMIX;
    // Writes.
    static constexpr double* an = coefs.AN;
    static constexpr double* as = coefs.AS;
    static constexpr double* ae = coefs.AE;
    static constexpr double* aw = coefs.AW;
    static constexpr double* at = coefs.AT;
    static constexpr double* ab = coefs.AB;
    static constexpr double* mimb = fields.MIMB;
    static constexpr double* resm = resid.RESM;

    solver::CellFaces faces;
    int model;        // ITURB
    double viseff;    // VISEFF
    double visc;      // VISC
    double dens;      // DENS

    // Model 1: VISEFF everywhere. Model 2: from the mixing length and the
    // velocities of the cell's own faces. Model 3: from the mixing length and
    // the mean of the three velocity-gradient estimates.
    double viscosity(const Cell& c) const {
        const Index p = c.p;
        const double* u = faces.x.vel;
        const double* v = faces.y.vel;
        const double* w = faces.z.vel;
        if (model == 2) return viseff * xlmix[p] * std::sqrt(u[p] * u[p] + v[p] * v[p] + w[p] * w[p]) + visc;
        if (model == 3) {
            const double grx = std::max(faces.x.gradient(v, c), faces.x.gradient(w, c));
            const double gry = std::max(faces.y.gradient(u, c), faces.y.gradient(w, c));
            const double grz = std::max(faces.z.gradient(u, c), faces.z.gradient(v, c));
            const double xl = xlmix[p];
            return dens * (xl * xl) * ((grx + gry + grz) / 3.0) / MODEL3_DIVISOR + visc;
        }
        return viseff;
    }

    double operator()(const Cell& c) const {
        const Index p = c.p;
        if (!is_not_blocked(cpr[p])) return 0.0;
        const double visp = viscosity(c);
        const FaceFlow n = faces.y.high_face(c, visp);
        const FaceFlow s = faces.y.low_face(c, visp);
        const FaceFlow e = faces.x.high_face(c, visp);
        const FaceFlow w = faces.x.low_face(c, visp);
        const FaceFlow t = faces.z.high_face(c, visp);
        const FaceFlow b = faces.z.low_face(c, visp);
        an[p] = high_side(n);
        as[p] = low_side(s);
        ae[p] = high_side(e);
        aw[p] = low_side(w);
        at[p] = high_side(t);
        ab[p] = low_side(b);
        const double m = solver::net_inflow(w.f, e.f, s.f, n.f, b.f, t.f, smass[p]);
        mimb[p] = m;
        resm[p] = std::fabs(m);
        return std::fabs(m);
    }
};

}  // namespace

void SUBC() {
    const Grid g = grid();
    const CoefficientKernel kernel{solver::cell_faces(g), runctl.ITURB, runctl.VISEFF, runctl.VISC, runctl.DENS};
    loops::Sum rm0{runctl.RM0};
    loops::pass(g, all_cells(g), kernel, rm0);
    runctl.RM0 = rm0.value;
}

}  // namespace tarvex
