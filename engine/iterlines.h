// The lines the solver writes into the iteration-data window when per-sweep
// printing is on: two headers and the lines of the temperature, contaminant
// and velocity-pressure cycles. Each data line is built in the shared text
// line LINE (blank-padded, LINE_LENGTH characters) and handed over whole.
#pragma once

namespace tarvex::iterlines {

// "temperature equ: iteration no., sweep no., residual"
void temperature_header();
// "concentration equ: iteration no., sweep no., residual"
void concentration_header();

// Columns 17-21 the iteration (I5), 22-26 the sweep count (I5), 27-36 RT
// (E10.4).
void temperature_line(int iter, int sweeps, double rt);
// Columns 19-23 the iteration (I5), 24-28 the sweep count NSWC (I5), 29-38
// RC (E10.4).
void concentration_line(int iter, int sweeps, double rc);
// Columns 1-5 the iteration (I5), 6-10 the sweep count (I5), then RU, RV,
// RW, RM and RT in E10.4 from column 13 on, without separators.
void momentum_line(int iter, int sweeps, double ru, double rv, double rw, double rm, double rt);

}  // namespace tarvex::iterlines
