#include "frontend/calc/celldata.h"

#include "common/textfmt.h"
#include "engine/data.h"
#include "engine/engine.h"

namespace tarvex {

namespace {

std::string e12(double v) { return fmt_e(v, 12, 5); }
std::string f12(double v) { return fmt_f(v, 12, 3); }

}  // namespace

bool cell_in_grid(int i, int j, int k) {
    return i >= 1 && i <= griddim.NX && j >= 1 && j <= griddim.NY && k >= 1 && k <= griddim.NZ;
}

std::array<CellText, CELL_TEXTS> cell_texts(int i, int j, int k) {
    const int32_t idx = ARIDX(i, j, k);
    const double tc = fields.T[idx] - KELVIN_OFFSET;
    return {{
        {1006, e12(gridline.XC[i])},
        {1008, e12(gridline.YC[j])},
        {1007, e12(gridline.ZC[k])},
        {1009, e12(fields.DX[i])},
        {1011, e12(fields.DY[j])},
        {1010, e12(fields.DZ[k])},
        {1012, e12(coefs.VOL[idx])},
        {1013, f12(fields.U[idx])},   // on the west face
        {1015, f12(fields.V[idx])},   // south
        {1014, f12(fields.W[idx])},   // bottom
        {1017, f12(fields.P[idx])},
        {1019, f12(tc)},
        {1018, e12(fields.C[idx] * 1000.0)},
        {1021, e12(c2eq.C2[idx] * 1000.0)},
        {1022, f12(WC2RH(c2eq.C2[idx], tc))},
        {1020, f12(fields.CPR[idx])},
    }};
}

}  // namespace tarvex
