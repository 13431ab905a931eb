// Inflows (section 11), outflows (12) and the pressure-boundary table (13),
// with the rules the box sections share: the box check, the blocked-cell
// warning.

#include <cmath>
#include <cstdlib>
#include <utility>

#include "common/channels.h"
#include "common/textfmt.h"
#include "engine/data.h"
#include "engine/engine.h"
#include "engine/instage_internal.h"
#include "engine/limits.h"

namespace tarvex::casereader {

namespace {


void console(const std::string& line) { write_line(CH_CONSOLE, line); }

}  // namespace

int check_box(int* b) {
    const int n[3] = {griddim.NX, griddim.NY, griddim.NZ};
    for (int d = 0; d < 3; ++d) {
        for (int e = 0; e < 2; ++e) {
            const int v = b[2 * d + e];
            if (v < 1 || v > n[d]) {
                message_located("location not in domain, in line");
                return -1;
            }
        }
    }
    for (int d = 0; d < 3; ++d)
        if (b[2 * d] > b[2 * d + 1]) std::swap(b[2 * d], b[2 * d + 1]);
    return 0;
}

void blocked_warning(bool flagged) {
    if (!flagged) return;
    console(free_line("Warning.. values assigned to blocked cells"));
    console(free_line("          check totals against expected"));
}

int read_inflows() {
    set_section("in inflow section");
    domsums.FLOWIN = 0.0;
    bool blocked = false;
    if (find_marker(false) != 0) return -1;
    for (;;) {
        int b[6];
        double rv[7];
        int count;
        if (read_record("iiiiiirrrrrrr", 10, b, rv, count) != 0) return -1;
        if (b[0] == 0) break;
        const double q = rv[0], u = rv[1], v = rv[2], w = rv[3];
        // A record without a temperature brings outside air, as a pressure
        // boundary does.
        const double t = count >= 11 ? rv[4] : runctl.TEXT - KELVIN_OFFSET;
        const bool jet = t <= -200.0;
        const double conc = count >= 12 ? rv[5] / 1000.0 : runctl.CEXT;
        const double water = count >= 13 && !jet ? RH2WC(rv[6], t) : runctl.C2EXT;
        if (check_box(b) != 0) return -1;

        for (int k = b[4]; k <= b[5]; ++k) {
            for (int j = b[2]; j <= b[3]; ++j) {
                for (int i = b[0]; i <= b[1]; ++i) {
                    const int idx = ARIDX(i, j, k);
                    double flow = 0.0;
                    if (q != 0.0)
                        flow = q;
                    else if (u != 0.0 || v != 0.0 || w != 0.0)
                        flow = std::fabs(u * fields.DY[j] * fields.DZ[k] + v * fields.DX[i] * fields.DZ[k] +
                                         w * fields.DX[i] * fields.DY[j]);
                    if (fields.CPR[idx] < OPEN_MIN) blocked = true;
                    double m;
                    if (!jet) {
                        m = flow * AIRDEN / (t + KELVIN_OFFSET);
                        fields.SMASS[idx] = m;
                        fields.SPT[idx] = m;
                        fields.SCT[idx] = (t + KELVIN_OFFSET) * m;
                        fields.SPC[idx] = m;
                        fields.SCC[idx] = conc * m;
                        c2eq.SPC2[idx] = m;
                        c2eq.SCC2[idx] = water * m;
                        if (fields.CPR[idx] > 0.0) domsums.FLOWIN += m;
                    } else {
                        // Momentum only: no mass, heat, contaminant or water.
                        m = flow * runctl.DENS;
                        fields.SMASS[idx] = 0.0;
                        fields.SPT[idx] = 0.0;
                        fields.SCT[idx] = 0.0;
                        fields.SPC[idx] = 0.0;
                        fields.SCC[idx] = 0.0;
                        c2eq.SPC2[idx] = 0.0;
                        c2eq.SCC2[idx] = 0.0;
                    }
                    fields.SPU[idx] = m;
                    fields.SPV[idx] = m;
                    fields.SPW[idx] = m;
                    fields.SCU[idx] = u * m;
                    fields.SCV[idx] = v * m;
                    fields.SCW[idx] = w * m;
                }
            }
        }
    }
    blocked_warning(blocked);
    console(free_line("Forced inflow (kg/s): ", domsums.FLOWIN));
    return 0;
}

int read_outflows() {
    set_section("in outflow section");
    domsums.FLOWOUT = 0.0;
    bool blocked = false;
    if (find_marker(false) != 0) return -1;
    for (;;) {
        int b[6];
        double q;
        int count;
        if (read_record("iiiiiir", 7, b, &q, count) != 0) return -1;
        if (b[0] == 0) break;
        if (check_box(b) != 0) return -1;
        const double m = q * AIRDEN / runctl.TINIT;
        for (int k = b[4]; k <= b[5]; ++k) {
            for (int j = b[2]; j <= b[3]; ++j) {
                for (int i = b[0]; i <= b[1]; ++i) {
                    const int idx = ARIDX(i, j, k);
                    fields.SMASS[idx] = m;
                    if (fields.CPR[idx] < OPEN_MIN)
                        blocked = true;
                    else
                        domsums.FLOWOUT += m;
                }
            }
        }
    }
    blocked_warning(blocked);
    console(free_line("Total outflow (kg/s): ", domsums.FLOWOUT));
    return 0;
}

int read_pressure_bounds() {
    set_section("in pressure bounds section");
    int n = 0;
    double area = 0.0;
    bool blocked = false;
    if (find_marker(false) != 0) return -1;
    for (;;) {
        int b[7];
        double rv[6];
        int count;
        if (read_record("iiiiii", 6, b, nullptr, count) != 0) return -1;
        if (b[0] == 0) break;
        ++n;
        if (parse_record("iiiiiiirrrrrr", 10, b, rv, count) != 0) return -1;
        const double cv = rv[0], p = rv[1], e = rv[2];
        const double t = count >= 11 ? rv[3] : runctl.TEXT - KELVIN_OFFSET;
        if (t <= ABSOLUTE_ZERO_C) {   // would give a zero or negative density
            message_values(" error reading values");
            return -1;
        }
        const double c = count >= 12 ? rv[4] : runctl.CEXT * 1000.0;
        const double rh = count >= 13 ? rv[5] : WC2RH(runctl.C2EXT, t);
        const double water = RH2WC(rh, t);
        if (check_box(b) != 0) return -1;
        const int face = b[6];
        if (n > NPBMAX) {
            console(free_line(" sorry , too many pressure boundaries for this version"));
            return -1;
        }
        if (face < 1 || face > 6) {
            message_located("face parameter is <1 or >6, in line");
            return -1;
        }
        if (!(cv >= 0.0 && cv <= 1.0)) {
            message_located("CV parameter is <0 or >1, in line");
            return -1;
        }
        if (!(e >= 0.0 && e <= 1.0)) {
            message_located("flow exponent is <0 or >1, in line");
            return -1;
        }
        pbtable.PBI1[n] = b[0];
        pbtable.PBI2[n] = b[1];
        pbtable.PBJ1[n] = b[2];
        pbtable.PBJ2[n] = b[3];
        pbtable.PBK1[n] = b[4];
        pbtable.PBK2[n] = b[5];
        pbtable.PBFACE[n] = face;
        pbtable.PBCOEF[n] = cv;
        pbtable.PBP[n] = p;
        pbtable.PBEXP[n] = e;
        pbtable.PBT[n] = t + KELVIN_OFFSET;
        pbtable.PBC[n] = c / 1000.0;
        pbtable.PBC2[n] = water;
        for (int k = b[4]; k <= b[5]; ++k) {
            for (int j = b[2]; j <= b[3]; ++j) {
                for (int i = b[0]; i <= b[1]; ++i) {
                    if (fields.CPR[ARIDX(i, j, k)] < OPEN_MIN) {
                        blocked = true;
                        continue;
                    }
                    if (face <= 2)
                        area += fields.DY[j] * fields.DZ[k];
                    else if (face <= 4)
                        area += fields.DX[i] * fields.DZ[k];
                    else
                        area += fields.DX[i] * fields.DY[j];
                }
            }
        }
    }
    pbtable.NPB = n;
    pbtable.PBON = n > 0 ? 1 : 0;
    BUILD_PBCELLS();
    blocked_warning(blocked);
    console(free_line("Total pressure bound area (m2) : ", area));
    return 0;
}

}  // namespace tarvex::casereader
