#include "frontend/calc/viewstate.h"

#include <algorithm>
#include <cstring>

namespace tarvex {

PLOTOPT plotopt;
VIEWCTL viewctl;
VIEWWIN viewwin;

namespace {

// The seven schemes, entries 1..23, as Windows colour values 0x00BBGGRR.
// 1 blue to red through purple; 2 blue, green, red; 3 blue through red to
// white; 4 blue, green, yellow, red; 5 dark blue through green and yellow to
// red; 6 greys dark to light; 7 light to dark. Schemes 1 to 5 are drawn on
// black, 6 and 7 on white; scheme 3 draws its grid lines in yellow.
constexpr std::uint32_t SCHEMES[NSCHEMES][NCOLENTRIES + 1] = {
    // scheme 1
    {0,
     0xFF0000, 0xEE0011, 0xDD0022, 0xCC0033, 0xBB0044, 0xAA0055, 0x990066, 0x880077,
     0x770088, 0x660099, 0x5500AA, 0x4400BB, 0x3300CC, 0x2200DD, 0x1100EE, 0x0000FF,
     0x000000, 0xFFFFFF, 0xFFFFFF, 0x2A2A2A, 0x707070, 0x0F0F0F, 0xF0F0F0,},
    // scheme 2
    {0,
     0xFF0000, 0xDD2200, 0xBB4400, 0x996600, 0x778800, 0x55AA00, 0x33CC00, 0x11EE00,
     0x00EE11, 0x00CC33, 0x00AA55, 0x008877, 0x006699, 0x0044BB, 0x0022DD, 0x0000FF,
     0x000000, 0xFFFFFF, 0xFFFFFF, 0x2A2A2A, 0x707070, 0x0F0F0F, 0xF0F0F0,},
    // scheme 3
    {0,
     0xFF0000, 0xDD0022, 0xBB0044, 0x990066, 0x770088, 0x5500AA, 0x3300CC, 0x1100EE,
     0x1111FF, 0x3333FF, 0x5555FF, 0x7777FF, 0x9999FF, 0xBBBBFF, 0xDDDDFF, 0xFFFFFF,
     0x000000, 0xFFFFFF, 0x00FFFF, 0x2A2A2A, 0x707070, 0x0F0F0F, 0xF0F0F0,},
    // scheme 4
    {0,
     0xFF0000, 0xCC3300, 0x996600, 0x669900, 0x33CC00, 0x00FF00, 0x00FF33, 0x00FF66,
     0x00FF99, 0x00FFCC, 0x00FFFF, 0x00CCFF, 0x0099FF, 0x0066FF, 0x0033FF, 0x0000FF,
     0x000000, 0xFFFFFF, 0xFFFFFF, 0x2A2A2A, 0x707070, 0x0F0F0F, 0xF0F0F0,},
    // scheme 5
    {0,
     0x7F0000, 0xA10000, 0xC30000, 0xE50000, 0xEE1100, 0xAA5500, 0x669900, 0x22DD00,
     0x00FF18, 0x00FF66, 0x00FFAA, 0x00FFEE, 0x00CCFF, 0x0088FF, 0x0044FF, 0x0000FF,
     0x000000, 0xFFFFFF, 0xFFFFFF, 0x2A2A2A, 0x707070, 0x0F0F0F, 0xF0F0F0,},
    // scheme 6
    {0,
     0x202020, 0x2E2E2E, 0x3C3C3C, 0x4A4A4A, 0x585858, 0x666666, 0x6A6A6A, 0x747474,
     0x828282, 0x909090, 0x9E9E9E, 0xACACAC, 0xBABABA, 0xC8C8C8, 0xD6D6D6, 0xE4E4E4,
     0xFFFFFF, 0x000000, 0x000000, 0x707070, 0x0C0C0C, 0xF0F0F0, 0x050505,},
    // scheme 7
    {0,
     0xE4E4E4, 0xD6D6D6, 0xC8C8C8, 0xBABABA, 0xACACAC, 0x9E9E9E, 0x909090, 0x828282,
     0x747474, 0x6A6A6A, 0x666666, 0x585858, 0x4A4A4A, 0x3C3C3C, 0x2E2E2E, 0x202020,
     0xFFFFFF, 0x000000, 0x000000, 0x707070, 0x0C0C0C, 0xF0F0F0, 0x050505,},
};

}  // namespace

void SETUPCOLOR() {
    for (int s = 1; s <= NSCHEMES; ++s) {
        plotopt.COLTAB[s][0] = 0;
        for (int e = 1; e <= NCOLENTRIES; ++e) plotopt.COLTAB[s][e] = SCHEMES[s - 1][e];
    }
}

void set_view_defaults() {
    plotopt.VSCALE = 1.0;
    plotopt.PAPER = false;
    plotopt.SHOWGRID = false;
    plotopt.SHOWBC = false;
    plotopt.SHOWCPR = true;
    plotopt.ISCHEME = 4;
    viewctl.MANUAL = false;
    viewctl.FLIP = false;
    viewctl.IRPLOT = 0;
    viewctl.IPLOT = 0;
    viewctl.ICOLBY = 1;
    viewctl.IPLANE = 1;
    viewctl.PINDEX = 1;
    SETUPCOLOR();
}

std::uint32_t role_colour(int screen_entry) {
    int entry = screen_entry;
    if (plotopt.PAPER) {
        switch (screen_entry) {
            case 17: entry = 18; break;
            case 18: entry = 17; break;
            case 20: entry = 21; break;
            case 21: entry = 20; break;
            case 22: entry = 23; break;
            case 23: entry = 22; break;
            default: break;
        }
    }
    const int scheme = std::clamp(plotopt.ISCHEME, 1, NSCHEMES);
    return plotopt.COLTAB[scheme][std::clamp(entry, 1, NCOLENTRIES)];
}

void set_pltitle(const char* text) {
    std::memset(viewwin.PLTITLE, ' ', sizeof viewwin.PLTITLE);
    const std::size_t n = std::min(std::strlen(text), sizeof viewwin.PLTITLE);
    std::memcpy(viewwin.PLTITLE, text, n);
}

}  // namespace tarvex
