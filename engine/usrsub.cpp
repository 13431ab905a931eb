// User hooks of the solver and the iteration-data line.

#include <string_view>

#include "common/channels.h"
#include "engine/cells.h"
#include "engine/engine.h"
#include "engine/solver_kernels.h"

namespace tarvex {

bool uvalue_face(int32_t idx, int i, int j, int k, int face, UvalueFace& out) {
    return solver::UvalueSurfaces{grid()}.face(Cell{i, j, k, idx}, face, out);
}

double uvalue_far_temperature(const UvalueFace& face) { return solver::UvalueSurfaces{grid()}.far_temperature(face); }

// Source hook of the scalar set-ups. Code 4 (temperature) adds the heat
// exchanged through the U-value surfaces of the cell: U·A·(temperature beyond
// - cell temperature), the temperature beyond being fixed or that of the air
// two cells across the face. The temperature set-up (engine_scalar.cpp) adds
// the same through the same piece, UvalueSurfaces.
void USRSUB(int code, int i, int j, int k, double& su, double& sp) {
    if (code != UVALUE_HOOK) return;
    const Grid g = grid();
    solver::UvalueSurfaces{g}.add_sources(Cell{i, j, k, g.index(i, j, k)}, su, sp);
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
