// The engine's routines, by module. Routines that can fail return 0 on
// success and -1 (or another non-zero value) after writing their messages.
#pragma once

#include <string>
#include <string_view>

#include "engine/data.h"

namespace tarvex {

// ---- extensions: array set-up, command line, balances --------------------

// Checks the requested cell counts (each at least 1) against the build's
// limits; 0 when the grid is stored and INITIAL has run, -1 when refused
// (nothing stored).
int SETUP_ARRAY(int nx, int ny, int nz);
// Resets the case data for the grid just stored. Every per-cell array is
// cleared, padding included, over the padded extent (NX+1)(NY+1)(NZ+1) of the
// new grid and of the grid before it, which is all an earlier case can have
// written: the engine must write per-cell elements only within the extent of
// the loaded grid. The fields then belong to no run (FIELDSOK false).
void INITIAL();

// Reads the command line (argv[0] is the program name). Also installs the
// signal handlers and makes the file-size limit signal ignored, so that a
// save past the limit fails with a message.
int PROG_INIT(int argc, const char* const* argv);
// Signal handlers that PROG_INIT installs for SIGINT and SIGUSR1; they only
// set runflags.CTRLCFLAG and runflags.USR1FLAG.
void ctrlc_handlr(int sig);
void sigusr1_handlr(int sig);

void SUMMARYEND();
void BOUNDFLOWS(double& massin, double& massout, double& heatin, double& heatout);
void ALLFLOWS(double& massin, double& massout, double& heatin, double& heatout);
void UENERGY(double& gain, double& loss);

// ---- anidcode ------------------------------------------------------------

std::string EVERSION();   // " engine: V1.4 h"

// ---- psycho --------------------------------------------------------------

double T2SVP(double tc);
double RH2WC(double rh, double tc);
double WC2RH(double w, double tc);

// ---- instage: case file, grid, initial fields ----------------------------

int INPUT0();
void GRDAT(int& status);
int CHECK_GRID1();
int GEOM3D();
void INIVAL();
void INIPRES();

// ---- instage: control file, mixing lengths, saved data -------------------

int INPUT1();
void DIST3D();
// Writes the saved-data file through a temporary beside it (see
// instage_saved.cpp): a symbolic link is written through, an existing file
// the user may not write or a file that is not a regular one is refused, and
// the file and its folder are on disk before 0 is returned.
int OUTDSK(const PaddedName& name);
int INDSK(const PaddedName& name);
// Lists every cell's indices and U, V, W, P, T on the console.
void OUTSCR();

// ---- engine: the solver --------------------------------------------------

void SOLVE(int& iusr3, int& iconv);
void DENSIT();
void SUBC();
void SUBT();
void SUBA();
void SUB2A();
void CALCT(int dir);
void CALCA(int dir);
void CALC2A(int dir);
void ENER();
void CONC();
void CONC2();
void SUBU();
void SUBV();
void SUBW();
void PBCU(int i, int j, int k, double& su, double& sp);
void PBCV(int i, int j, int k, double& su, double& sp);
void PBCW(int i, int j, int k, double& su, double& sp);
void CALCU(int dir);
void CALCV(int dir);
void CALCW(int dir);
void UMOM();
void VMOM();
void WMOM();
void CALCP(int dir);
void MASS();
void ADJUSTP();

// ---- usrsub: user hooks and pressure-boundary flows ----------------------

// U-value face f (1..6) of cell (i, j, k) at index idx, as the energy
// equation, the balances and the region viewer see it: its UVAL (kW/K) and
// UVALT, and whether it is coupled to the air two cells across the face
// (UVALT - UVAL < 1e-5; far is then that cell's index). False when the face
// has no surface, or is coupled and the cell two steps across lies outside
// the grid (no air beyond: the face exchanges nothing).
struct UvalueFace {
    double u = 0.0;
    double ut = 0.0;
    bool coupled = false;
    int32_t far = 0;
};
bool uvalue_face(int32_t idx, int i, int j, int k, int face, UvalueFace& out);
// The temperature beyond a face that uvalue_face accepted, K.
double uvalue_far_temperature(const UvalueFace& face);

// The hook code of the temperature set-up, the only code USRSUB acts on, and
// only at cells with U-value faces (the set-up adds the same sources through
// solver::UvalueSurfaces where a cell has any).
inline constexpr int UVALUE_HOOK = 4;
void USRSUB(int code, int i, int j, int k, double& su, double& sp);
void USRSUB2();
void USRSUB3();

// Builds, for every cell, the list of pressure-boundary rows (in table order)
// whose box holds the cell, so that routines visiting pressure-boundary cells
// cost what the boxes cover instead of cells times rows. Called by GRDAT once
// the pressure-boundary table is reset (lists emptied) and again once the
// pressure-boundary section has been read.
void BUILD_PBCELLS();

// One line into the iteration-data window (channel 8): the first len
// characters of text.
void WRITETOITER(const char* text, int len);

}  // namespace tarvex
