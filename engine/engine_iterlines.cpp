// The solver's lines in the iteration-data window.

#include <cstring>
#include <string>

#include "common/textfmt.h"
#include "engine/engine.h"
#include "engine/iterlines.h"

namespace tarvex::iterlines {

namespace {

const char TEMPERATURE_HEADER[] = "temperature equ: iteration no., sweep no., residual";
const char CONCENTRATION_HEADER[] = "concentration equ: iteration no., sweep no., residual";

void clear_line() { std::memset(runctl.LINE, ' ', LINE_LENGTH); }

// Puts text at the 1-based column col of LINE.
void put(int col, const std::string& text) { std::memcpy(runctl.LINE + col - 1, text.data(), text.size()); }

void hand_line() { WRITETOITER(runctl.LINE, LINE_LENGTH); }

}  // namespace

void temperature_header() { WRITETOITER(TEMPERATURE_HEADER, sizeof TEMPERATURE_HEADER - 1); }

void concentration_header() { WRITETOITER(CONCENTRATION_HEADER, sizeof CONCENTRATION_HEADER - 1); }

void temperature_line(int iter, int sweeps, double rt) {
    clear_line();
    put(17, fmt_i(iter, 5));
    put(22, fmt_i(sweeps, 5));
    put(27, fmt_e(rt, 10, 4));
    hand_line();
}

void concentration_line(int iter, int sweeps, double rc) {
    clear_line();
    put(19, fmt_i(iter, 5));
    put(24, fmt_i(sweeps, 5));
    put(29, fmt_e(rc, 10, 4));
    hand_line();
}

void momentum_line(int iter, int sweeps, double ru, double rv, double rw, double rm, double rt) {
    clear_line();
    put(1, fmt_i(iter, 5));
    put(6, fmt_i(sweeps, 5));
    put(13, fmt_e(ru, 10, 4));
    put(23, fmt_e(rv, 10, 4));
    put(33, fmt_e(rw, 10, 4));
    put(43, fmt_e(rm, 10, 4));
    put(53, fmt_e(rt, 10, 4));
    hand_line();
}

}  // namespace tarvex::iterlines
