// The engine's data groups.
//
// Every group is a struct with one instance that lives for the whole process,
// sized once by the build's limits and zero at start. Per-cell arrays are
// 1-based: element idx = ARIDX(I, J, K) = I + (J-1)*JSTRIDE + (K-1)*KSTRIDE,
// 1 <= idx < NCELLMAX; element 0 is never used. Grid lines and cell centres
// start at 0; cell widths at 1.
//
// Who may touch this data, and when (THREADS.md at the top of the tree has
// the whole picture of the threads). The engine itself takes no lock; the
// front end keeps its threads apart by these rules:
// - No run going (RUNSTATE IRUNNING is 0): the GUI thread owns all of it.
//   The File menu's loaders run there (Load Geometry reads the case, Load
//   Control the control file, Load Saved data runs INDSK with its densities,
//   flows and balances), and so does Run's reading of the files it still
//   needs, before the calculation thread exists.
// - During a run the calculation thread owns the run state (RUNCTL, DOMSUMS,
//   PBTABLE's run counts, OUTFILE, RUNFLAGS) and is the only writer of the
//   fields and everything else the solver changes. It holds field_lock
//   around every call that writes the fields: INIVAL, INDSK, DIST3D and each
//   SOLVE. The grid (GRIDDIM, GRIDLINE) and the case tables are not written
//   during a run; the loaders refuse while IRUNNING is set.
// - Every reader of the fields on the GUI thread (the plot viewers' redraws,
//   UPDATE_VIEWDOMAIN and UPDATE_VIEWGRID among them, their Max/Min search,
//   the Data Viewer and the Region Viewer) reads them only while it holds
//   field_lock, at any time, run or no run: it goes through
//   frontend/fieldaccess.h, which takes the lock with try_lock only, so the
//   GUI thread never waits for the calculation thread. When the lock is
//   held, the viewer records what it was asked for and leaves the reading to
//   the run's next refresh. That refresh runs on the GUI thread through a
//   blocking call of the calculation thread between two SOLVEs (and once
//   more at the run's end), so every picture and every value shown belongs
//   to one finished iteration.
// - The GUI thread writes none of this data during a run.
#pragma once

#include <csignal>
#include <cstdint>
#include <mutex>

#include "common/names.h"
#include "engine/limits.h"

namespace tarvex {

using CellArray = double[NCELLMAX + 1];

// Grid dimensions, set by SETUP_ARRAY at every case load.
struct GRIDDIM {
    int32_t NX, NY, NZ;           // cells in x, y, z
    int32_t NXP1, NYP1, NZP1;     // NX+1 ...: the number of grid lines
    int32_t JSTRIDE;              // NX+1
    int32_t KSTRIDE;              // (NX+1)(NY+1)
};

// Grid lines X(0..NX) (X(0) = 0 the west wall; NOT_SET while unset during
// reading) and cell centres XC(0..NX+1), in metres.
struct GRIDLINE {
    double X[NDIRMAX];
    double XC[NDIRMAX + 1];
    double Y[NDIRMAX];
    double YC[NDIRMAX + 1];
    double Z[NDIRMAX];
    double ZC[NDIRMAX + 1];
};

// Fields, geometry and case sources. U, V, W (and everything named with them)
// live on the cell's west, south and bottom faces.
struct FIELDS {
    CellArray SUW;      // N      W source after relaxation
    CellArray AREAW;    // m2     open area of the bottom face
    CellArray CPRW;     // -      open fraction of the bottom face
    CellArray SCW;      // N      explicit W source from inflows
    CellArray SPW;      // kg/s   implicit W coefficient from inflows
    CellArray W;        // m/s
    double DZ[NDIRMAX + 1];   // m  cell widths in z, 1..
    CellArray C;        // kg/kg  contaminant
    CellArray SCC;      // kg/s
    CellArray SPC;      // kg/s
    CellArray APC;      // kg/s
    CellArray SUC;      // kg/s
    CellArray P;        // Pa
    CellArray T;        // K
    CellArray SCV;      // N
    CellArray SUU;      // N
    CellArray SUV;      // N
    CellArray AREAU;    // m2
    CellArray AREAV;    // m2
    CellArray MIMB;     // kg/s   mass imbalance: net face inflow plus SMASS
    CellArray CPRU;     // -
    CellArray CPRV;     // -
    CellArray DEN;      // kg/m3
    CellArray CPR;      // -      open fraction of the cell
    CellArray U;        // m/s
    CellArray V;        // m/s
    double DX[NDIRMAX + 1];
    double DY[NDIRMAX + 1];
    CellArray SCT;      // kg K/s
    CellArray SMASS;    // kg/s
    CellArray SCU;      // N
    CellArray SPU;      // kg/s
    CellArray SPT;      // kg/s
    CellArray SPV;      // kg/s
    CellArray DENU;     // kg/m3
    CellArray DENV;     // kg/m3
    CellArray DENW;     // kg/m3
};

struct COEFS {
    CellArray APT;      // kg/s
    CellArray SUT;      // kg K/s
    CellArray HU;       // N
    CellArray HV;       // N
    CellArray HW;       // N
    CellArray AN;       // kg/s  north (J+1)
    CellArray AS;       // kg/s  south (J-1)
    CellArray AE;       // kg/s  east (I+1)
    CellArray AW;       // kg/s  west (I-1)
    CellArray AT;       // kg/s  top (K+1)
    CellArray AB;       // kg/s  bottom (K-1)
    CellArray VOL;      // m3    open volume of the cell
    CellArray APU;      // kg/s
    CellArray APV;      // kg/s
    CellArray APW;      // kg/s
};

// Water-vapour equation.
struct C2EQ {
    double RLXC2;       // always a copy of RLXC
    CellArray C2;       // kg/kg
    CellArray SCC2;     // kg/s
    CellArray SPC2;     // kg/s
    CellArray APC2;     // kg/s
    CellArray SUC2;     // kg/s
    CellArray COND;     // kg/s  condensed in the current iteration
};

// Per-cell absolute residuals of the last set-up.
struct RESID {
    CellArray RESUVW;   // N
    CellArray RESM;     // kg/s
    CellArray REST;     // kg K/s
    CellArray RESC;     // kg/s
    CellArray RESC2;    // kg/s
};

// 101325/287: air density times absolute temperature, kg K/m3. The density
// of air at T kelvin is AIRDEN / T.
inline constexpr double AIRDEN = 353.0487804878049;

// Offset from degrees Celsius to kelvin.
inline constexpr double KELVIN_OFFSET = 273.15;

// The "not set" value: of the start mode RESTART and the run counts NITER,
// NSAVE and NPRINT, and of the U-value table, where a face without a surface
// holds it in UVAL and UVALT. The table is read as set above NOT_SET_BELOW.
inline constexpr int32_t NOT_SET = -999;
inline constexpr double NOT_SET_BELOW = -990.0;

// Open fractions. Most routines count a cell or face as open above OPEN_MIN;
// the pressure-boundary jets of the momentum equations from OPEN_MIN on; the
// rest when its open fraction is not 0. Each routine says which test it makes.
inline constexpr double OPEN_MIN = 1e-20;
inline bool is_open(double fraction) { return fraction > OPEN_MIN; }
inline bool is_open_from_min(double fraction) { return fraction >= OPEN_MIN; }
inline bool is_not_blocked(double fraction) { return fraction != 0.0; }

inline constexpr int LINE_LENGTH = 132;

// Case values, control values, run state and the sums of an iteration.
struct RUNCTL {
    double GX, GY, GZ;          // m/s2, case
    int32_t ITURB;              // turbulence model 1..3, control
    bool NEWDIST;               // new mixing lengths are due
    double RLXW;
    double RC0;
    double RLXC;
    double RC20;
    double CONDT;
    double RTREF0;              // 1/TINIT of the last case read (0 before any)
    double TEXT;                // K
    double CEXT;                // kg/kg
    double C2EXT;               // kg/kg
    double BUOYX, BUOYY, BUOYZ;
    double RLXU, RLXV;
    double RLXP;
    double RLXT;
    double RLXADJ;
    double RU0, RV0, RW0;
    double RT0;
    double RM0;
    int32_t ITEMP;
    double VISC;
    double VISEFF;
    double TURBP1;
    int32_t ITRANS;
    double DT;
    int32_t ITER;
    double TEND;
    int32_t MONI, MONJ, MONK;
    int32_t RESTART;            // start mode: NOT_SET, 0 new, 1 saved file, 2 continue
    int32_t NPASS;
    double CONVC, CONVC2;
    double DENS;
    double RU, RV, RW;
    double RM;
    double RT;
    double CONVU, CONVT, CONVM;
    int32_t NPASST;
    int32_t IPRINT;
    int32_t ICONC;
    double RC2;
    int32_t NSWC;
    int32_t NPASSC;
    double RC;
    double TINIT;               // K
    double CINIT;               // kg/kg
    double C2INIT;              // kg/kg
    char LINE[LINE_LENGTH];     // shared text line, blank-padded
};

// Pressure-boundary table (rows 1..NPB) and the run counts.
struct PBTABLE {
    int32_t PBI1[NPBMAX + 1], PBI2[NPBMAX + 1];
    int32_t PBJ1[NPBMAX + 1], PBJ2[NPBMAX + 1];
    int32_t PBK1[NPBMAX + 1], PBK2[NPBMAX + 1];
    int32_t PBFACE[NPBMAX + 1];
    double PBT[NPBMAX + 1];     // K
    double PBC[NPBMAX + 1];     // kg/kg
    double PBC2[NPBMAX + 1];    // kg/kg
    double PBCOEF[NPBMAX + 1];
    double PBP[NPBMAX + 1];     // Pa
    double PBEXP[NPBMAX + 1];
    int32_t NPB;
    int32_t PBON;
    int32_t NITER, NSAVE, NPRINT;   // NOT_SET until set
};

// U-value surfaces. Face f (1..6) of cell idx is element idx + (f-1)*NCELLMAX.
struct UVALTAB {
    double UVAL[6 * NCELLMAX + 1];    // kW/K, NOT_SET = no surface (set above NOT_SET_BELOW)
    double UVALT[6 * NCELLMAX + 1];   // UVAL times the temperature beyond (K)
    bool UVALCELL[NCELLMAX + 1];
    bool UVALSET;
};

inline constexpr int uvidx(int idx, int face) { return idx + (face - 1) * NCELLMAX; }

struct REGIONS {
    double RTREF[NREGMAX + 1];   // 1/K, regions 1..25
    double TREF[NREGMAX + 1];    // K, 0 = use the region's mean temperature
    int32_t IREG[NCELLMAX + 1];
};

struct DOMSUMS {
    double VOLTOT;               // m3
    double FLOWIN;               // kg/s
    double FLOWOUT;              // kg/s (negative)
    double SDT, SDU, SDC;
    double XDT, XDU, XDC;
};

struct MIXLEN {
    CellArray XLMIX;             // m
};

struct FILENAMES {
    PaddedName INFILE;
    PaddedName OUTFILE;
    PaddedName RESFILE;
    PaddedName CTLFILE;
    PaddedName WORKDIR;
};

struct RUNFLAGS {
    int32_t NLINE;               // last line read from the case or control file
    bool AUTORUN;
    volatile std::sig_atomic_t CTRLCFLAG;   // set only by the signal handlers
    volatile std::sig_atomic_t USR1FLAG;
    bool NEWFIELDS;
    bool GOFLAG;
    // The fields in memory belong to the loaded case: new fields (INIVAL) or
    // saved data (INDSK) since the case was read. A case load clears it; a
    // run from the fields in memory needs it.
    bool FIELDSOK;
};

extern GRIDDIM griddim;
extern GRIDLINE gridline;
extern FIELDS fields;
extern COEFS coefs;
extern C2EQ c2eq;
extern RESID resid;
extern RUNCTL runctl;
extern PBTABLE pbtable;
extern UVALTAB uvaltab;
extern REGIONS regions;
extern DOMSUMS domsums;
extern MIXLEN mixlen;
extern FILENAMES filenames;
extern RUNFLAGS runflags;

// Held by the calculation thread while it writes the fields (see the rules at
// the top); the GUI thread only ever tries it.
extern std::mutex field_lock;

// Cell index of (I, J, K) in the loaded grid. No range check.
inline int32_t ARIDX(int32_t i, int32_t j, int32_t k) {
    return i + (j - 1) * griddim.JSTRIDE + (k - 1) * griddim.KSTRIDE;
}

}  // namespace tarvex
