// End-of-run balances: the mass and heat flows of the domain through its
// boundaries, printed on the console after a run and after saved fields are
// loaded.
//
// Heat is mass flow times absolute temperature (kg K/s), read as kW: a
// specific heat of 1 kJ/(kg K) is taken, so no factor enters.

#include <algorithm>

#include "common/channels.h"
#include "common/textfmt.h"
#include "engine/cells.h"
#include "engine/engine.h"
#include "engine/solver_kernels.h"
#include "engine/solver_loops.h"

namespace tarvex {

namespace {

// A box limit clamped into 1..n, so that a table entry can never make the
// sums read outside the grid.
int clamp_to_grid(int value, int n) { return std::clamp(value, 1, std::max(n, 1)); }

// The flows of a cell: its mass source, its heat source SCT and its
// temperature.
struct CellFlow {
    double m = 0.0;
    double sct = 0.0;
    double t = 0.0;
};

struct CellFlowKernel {
    static constexpr const double* smass = fields.SMASS;
    static constexpr const double* sct = fields.SCT;
    static constexpr const double* t = fields.T;
    CellFlow operator()(const Cell& c) const { return CellFlow{smass[c.p], sct[c.p], t[c.p]}; }
};

// The free flows of one pressure-boundary box: air entering at the row's
// temperature, air leaving at the cell's.
struct BoundarySums {
    double tin;
    double massin = 0.0, massout = 0.0, heatin = 0.0, heatout = 0.0;
    void add(const CellFlow& f) {
        if (f.m > 0.0) {
            massin += f.m;
            heatin += f.m * tin;
        } else if (f.m < 0.0) {
            massout += f.m;
            heatout += f.m * f.t;
        }
    }
};

// All flows: the mass sources, the heat carried out by leaving air, and every
// heat source, positive ones in and negative ones out.
struct AllSums {
    double massin = 0.0, massout = 0.0, heatin = 0.0, heatout = 0.0;
    void add(const CellFlow& f) {
        if (f.m > 0.0) {
            massin += f.m;
        } else if (f.m < 0.0) {
            massout += f.m;
            heatout += f.m * f.t;
        }
        if (f.sct > 0.0) {
            heatin += f.sct;
        } else if (f.sct < 0.0) {
            heatout += f.sct;
        }
    }
};

// The heat that the U-value faces of a cell bring in (q > 0) or take out,
// face by face in face order.
struct UvalueTerm {
    int faces = 0;
    double q[6] = {};
    bool loss[6] = {};
};

struct UvalueKernel {
    static constexpr const double* t = fields.T;
    solver::UvalueSurfaces surfaces;
    UvalueTerm operator()(const Cell& c) const {
        UvalueTerm term;
        if (!surfaces.any(c.p)) return term;
        const double tp = t[c.p];
        for (int f = 1; f <= 6; ++f) {
            UvalueFace face;
            if (!surfaces.face(c, f, face)) continue;
            const double tx = surfaces.far_temperature(face);
            term.q[term.faces] = (tx - tp) * face.u;
            term.loss[term.faces] = tx < tp;
            ++term.faces;
        }
        return term;
    }
};

struct UvalueSums {
    double gain = 0.0, loss = 0.0;
    void add(const UvalueTerm& term) {
        for (int n = 0; n < term.faces; ++n) {
            if (term.loss[n])
                loss += term.q[n];
            else
                gain += term.q[n];
        }
    }
};

}  // namespace

void BOUNDFLOWS(double& massin, double& massout, double& heatin, double& heatout) {
    massin = 0.0;
    massout = 0.0;
    heatin = 0.0;
    heatout = 0.0;
    const Grid g = grid();
    if (g.nx < 1 || g.ny < 1 || g.nz < 1) return;
    const CellFlowKernel kernel{};
    const int npb = std::min<int>(pbtable.NPB, NPBMAX);
    for (int n = 1; n <= npb; ++n) {
        if (pbtable.PBI1[n] > g.nx || pbtable.PBI2[n] < 1 || pbtable.PBJ1[n] > g.ny || pbtable.PBJ2[n] < 1 ||
            pbtable.PBK1[n] > g.nz || pbtable.PBK2[n] < 1)
            continue;   // the box lies wholly outside the grid
        // Only the cells of the box are visited, in the grid's own order, so
        // the sums are those of a visit of every cell that keeps the cells
        // inside the box.
        const Box box{clamp_to_grid(pbtable.PBI1[n], g.nx), clamp_to_grid(pbtable.PBI2[n], g.nx),
                             clamp_to_grid(pbtable.PBJ1[n], g.ny), clamp_to_grid(pbtable.PBJ2[n], g.ny),
                             clamp_to_grid(pbtable.PBK1[n], g.nz), clamp_to_grid(pbtable.PBK2[n], g.nz)};
        BoundarySums sums{pbtable.PBT[n], massin, massout, heatin, heatout};
        loops::pass(g, box, kernel, sums);
        massin = sums.massin;
        massout = sums.massout;
        heatin = sums.heatin;
        heatout = sums.heatout;
    }
}

void ALLFLOWS(double& massin, double& massout, double& heatin, double& heatout) {
    const Grid g = grid();
    AllSums sums;
    loops::pass(g, all_cells(g), CellFlowKernel{}, sums);
    massin = sums.massin;
    massout = sums.massout;
    heatin = sums.heatin;
    heatout = sums.heatout;
}

void UENERGY(double& gain, double& loss) {
    const Grid g = grid();
    UvalueSums sums;
    loops::pass(g, all_cells(g), UvalueKernel{solver::UvalueSurfaces{g}}, sums);
    gain = sums.gain;
    loss = sums.loss;
}

void SUMMARYEND() {
    double massin = 0.0, massout = 0.0, heatin = 0.0, heatout = 0.0;
    if (pbtable.PBON == 1) {
        BOUNDFLOWS(massin, massout, heatin, heatout);
        write_line(CH_CONSOLE, free_line(" free inflows (kg/s, kW) : ", massin, heatin));
        write_line(CH_CONSOLE, free_line(" free outflows (kg/s, kW) : ", massout, heatout));
    }
    ALLFLOWS(massin, massout, heatin, heatout);
    write_line(CH_CONSOLE, free_line(" all inflows (kg/s, kW) : ", massin, heatin));
    write_line(CH_CONSOLE, free_line(" all outflows (kg/s, kW) : ", massout, heatout));
    if (uvaltab.UVALSET) {
        UENERGY(heatin, heatout);
        write_line(CH_CONSOLE, free_line(" Uval inflow (kW) : ", heatin));
        write_line(CH_CONSOLE, free_line(" Uval outflow (kW) : ", heatout));
    }
    if (runctl.ICONC % 2 != 0) {
        write_line(CH_CONSOLE, free_line("  water condensing (g/s) : ", runctl.CONDT));
    }
}

}  // namespace tarvex
