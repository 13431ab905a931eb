// User hooks of the solver and the iteration-data line.

#include <string_view>

#include "common/channels.h"
#include "engine/engine.h"

namespace tarvex {


bool uvalue_face(int32_t idx, int i, int j, int k, int face, UvalueFace& out) {
    const double u = uvaltab.UVAL[uvidx(idx, face)];
    if (!(u > NOT_SET_BELOW)) return false;
    out.u = u;
    out.ut = uvaltab.UVALT[uvidx(idx, face)];
    out.coupled = !(out.ut - u >= 1e-5);
    out.far = 0;
    if (!out.coupled) return true;
    switch (face) {
        case 1: i -= 2; break;
        case 2: i += 2; break;
        case 3: j -= 2; break;
        case 4: j += 2; break;
        case 5: k -= 2; break;
        default: k += 2; break;
    }
    // A coupled surface whose cell two steps across lies outside the grid
    // has no air beyond it.
    if (i < 1 || i > griddim.NX || j < 1 || j > griddim.NY || k < 1 || k > griddim.NZ) return false;
    out.far = ARIDX(i, j, k);
    return true;
}

double uvalue_far_temperature(const UvalueFace& face) {
    return face.coupled ? fields.T[face.far] : face.ut / face.u;
}

// Source hook of the scalar set-ups. Code 4 (temperature) adds the heat
// exchanged through the U-value surfaces of the cell: U·A·(temperature beyond
// - cell temperature), the temperature beyond being fixed or that of the air
// two cells across the face.
void USRSUB(int code, int i, int j, int k, double& su, double& sp) {
    if (code != 4) return;
    const int32_t p = ARIDX(i, j, k);
    if (!uvaltab.UVALCELL[p]) return;
    for (int f = 1; f <= 6; ++f) {
        UvalueFace face;
        if (!uvalue_face(p, i, j, k, f, face)) continue;
        // A coupled surface keeps UVALT = UVAL, so UVALT x T beyond is U·A·T beyond.
        su += face.coupled ? face.ut * fields.T[face.far] : face.ut;
        sp += face.u;
    }
}

void USRSUB3() {}

// Writes the first len characters of text as one line to the iteration-data
// channel. Trailing blanks carry nothing and are dropped, so a line built in
// the blank-padded LINE shows as long as its text.
void WRITETOITER(const char* text, int len) {
    if (text == nullptr || len <= 0) {
        write_line(CH_ITER, std::string_view());
        return;
    }
    std::string_view line(text, static_cast<size_t>(len));
    const size_t end = line.find_last_not_of(' ');
    line = end == std::string_view::npos ? std::string_view() : line.substr(0, end + 1);
    write_line(CH_ITER, line);
}

}  // namespace tarvex
