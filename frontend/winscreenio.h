// The four child windows of the frame, the Residuals display with its paging,
// the status bar and the residual plot.
//
// Channels: 6 console (the engine's messages), 7 Residuals display, 8
// iteration data (the engine's per-sweep lines, cut to 60 characters), 9 the
// residual plot. Every routine may be called from any thread.
#pragma once

#include <cstdint>
#include <string_view>

namespace tarvex {

// Residuals display counters.
struct RESWIN {
    int32_t NRESLINES;   // lines written since the display was last cleared, at most NRESMAX
    int32_t HRESWIN;     // window handle of channel 7
    int32_t NRESVIS;     // visible rows: 10
    int32_t NRESMAX;     // text rows of the display, as the window library left them
};
extern RESWIN reswin;

// The last point of each residual curve (base-10 logarithms): force, mass,
// energy, contaminant, water vapour. 0 at program start, kept from run to run.
struct RESPLOT {
    double LAST[5];
};
extern RESPLOT resplot;

// The two header lines of the Residuals display.
inline constexpr std::string_view RESID_HEADER1 =
    " Iter Res: F N | M kg/s  | E kW    | C g/s   |delta U,max m/s/m3, m/s |  T  K/m3, K    | C   g/s/m3";
inline constexpr std::string_view RESID_HEADER2 =
    " Mon: U m/s|  V m/s  |  W m/s  |  T C    |  P Pa   | Avg T C";

inline constexpr int ITER_WINDOW_COLS = 60;   // what the iteration window shows of a line
inline constexpr int STATUS_TEXT_MAX = 34;    // what the status bar shows of a text

// Opens and arranges the four windows and binds channel 8; returns 0.
int SETUPSCREEN();

// One line to the Residuals display; with page set, a full display turns
// the page first (cleared, then the two header lines).
void WRITETORESID(std::string_view text, bool page);
// The two header lines; leaves LINE holding header 2 blank-filled.
void RESIDTITLE();
void CLEARRESID();
void CLEARLOG();
void CLEARITER();
void RAISERESID();
void LOWERRESID();
// The status-bar text, without trailing blanks, at most 34 characters.
void SETSTATBAR(std::string_view text);

// The empty logarithmic chart for the iterations first..last, maximised.
void RAISERESGRP(int first, int last);
// One more segment of each curve, up to iteration iter.
void PLOTRESID(int iter);

}  // namespace tarvex
