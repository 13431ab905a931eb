// The state the viewers share: what plane is shown and how, the colour
// schemes and scale limits, the plot window's geometry, and the extremes of
// every field over the domain.
//
// Threads: every item here is read and written on the GUI thread only. The
// run-time redraw after an iteration is handed to the GUI thread as a whole
// (the calculation thread waits for it), so the groups need no lock. The
// flags the calculation thread reads live in VIEWDLG (frontend/viewdlg.h).
// The threads as a whole: THREADS.md.
#pragma once

#include <cstdint>

namespace tarvex {

inline constexpr int NSCHEMES = 7;       // colour schemes 1..7
inline constexpr int NCOLENTRIES = 23;   // entries 1..23 of a scheme
inline constexpr int NBANDS = 16;        // colour bands, entries 1..16

// Fixed roles of the colour-table entries 17..23 on screen; with PAPER the
// pairs 17/18, 20/21 and 22/23 swap roles.
namespace colour_entry {
inline constexpr int BACKGROUND = 17;   // text with PAPER
inline constexpr int TEXT = 18;         // background with PAPER
inline constexpr int GRID = 19;         // grid lines, on screen and paper
inline constexpr int OPEN_FILL = 20;    // blocked-cell fill with PAPER
inline constexpr int BLOCKED_FILL = 21; // open-cell fill with PAPER
inline constexpr int OPEN_FACE = 22;    // closed-face line with PAPER
inline constexpr int CLOSED_FACE = 23;  // open-face line with PAPER
}  // namespace colour_entry

// Colour table, field extremes, scale limits and plot options.
struct PLOTOPT {
    // COLTAB[scheme][entry], both from 1 (index 0 unused): 0x00BBGGRR.
    std::uint32_t COLTAB[NSCHEMES + 1][NCOLENTRIES + 1];
    double TMIN, TMAX;          // degrees C, over the open cells
    double CMIN, CMAX;          // kg/kg
    double C2MIN, C2MAX;        // kg/kg
    double RHMIN, RHMAX;        // %
    double PMIN, PMAX;          // Pa
    double UMIN, UMAX, VMIN, VMAX, WMIN, WMAX;   // m/s, on the cells' low faces
    double SPMIN, SPMAX;        // m/s, from those face values
    double RESUVWMIN, RESUVWMAX, RESMMIN, RESMMAX, RESTMIN, RESTMAX, RESCMIN, RESCMAX;
    int32_t ISCHEME;            // colour scheme 1..7
    double CSMIN, CSMAX;        // colour-scale limits, display units
    double VSCALE;              // arrow length, metres per m/s
    bool PAPER;                 // paper colours instead of screen colours
    bool SHOWGRID;              // outline every plotted cell
    bool SHOWCPR;               // blockage overlay on data and vector plots
    bool SHOWBC;                // boundary markers on the blockage plot
};

// What is plotted.
struct VIEWCTL {
    int32_t IPLANE;     // 1 IJ (X across, Y up), 2 IK (X, Z), 3 JK (Y, Z)
    int32_t PINDEX;     // index along the plane's normal: K on IJ, J on IK, I on JK
    int32_t IPLOT;      // domain viewer: 0 grid, 1 blockage, 2 T, 3 C, 4 U, 5 W, 6 speed,
                        // 7 P, 8 V, 9 vectors, 10 water vapour, 11 relative humidity
    int32_t IRPLOT;     // residuals viewer: 0 grid, 1 blockage, 12 RESUVW, 13 RESM, 14 REST, 15 RESC
    int32_t ICOLBY;     // vector colouring: 1 speed, 2 temperature, 3 contaminant
    bool FLIP;          // exchange the plane's horizontal and vertical axes
    bool MANUAL;        // the scale limits are the user's
    int32_t NXPIX, NYPIX;               // drawing size of the plot window, pixels
    int32_t IPX0, IPX1, IPY0, IPY1;     // pixel edges of the plot: left, right, bottom, top
};

// Plot window geometry; world units are metres.
struct VIEWWIN {
    char PLTITLE[20];                   // legend caption, blank-padded
    double SPANX, SPANY, LENX, LENY;    // extent of the displayed plane
    double STEPX, STEPY;                // pan steps
    double PANX, PANY;                  // pan offsets, at least 0
    int32_t IZOOM;                      // zoom 1..10; 1 or less: none
    double VXMIN, VXMAX, VYMIN, VYMAX;  // visible range, horizontal and vertical
};

extern PLOTOPT plotopt;
extern VIEWCTL viewctl;
extern VIEWWIN viewwin;

// Fills COLTAB with the seven schemes.
void SETUPCOLOR();
// The defaults of the three groups above (and SETUPCOLOR). VER_INIT
// (frontend) calls it with the viewer flags.
void set_view_defaults();

// COLTAB(ISCHEME, entry) for the role that entry plays on screen: the entry
// itself, or with PAPER its partner (17 and 18, 20 and 21, 22 and 23; 19 and
// the bands keep their entry).
std::uint32_t role_colour(int screen_entry);

// The legend caption as text (trailing blanks included), and setting it
// (cut or blank-padded to 20 characters).
void set_pltitle(const char* text);

}  // namespace tarvex
