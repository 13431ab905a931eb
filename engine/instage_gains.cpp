// Gains (sections 14, 16, 17), U-value surfaces (15) and buoyant regions (18).

#include "common/channels.h"
#include "common/textfmt.h"
#include "engine/data.h"
#include "engine/engine.h"
#include "engine/instage_internal.h"
#include "engine/limits.h"

namespace tarvex::casereader {

namespace {


void console(const std::string& line) { write_line(CH_CONSOLE, line); }

// Full geometric area of face 1..6 of cell (i, j, k).
double face_area(int face, int i, int j, int k) {
    if (face <= 2) return fields.DY[j] * fields.DZ[k];
    if (face <= 4) return fields.DX[i] * fields.DZ[k];
    return fields.DX[i] * fields.DY[j];
}

struct GainSection {
    const char* name;
    bool eof_ends_case;      // the file may end before this section's marker
    double* target;          // SCT, SCC or SCC2
    double store_factor;     // value stored per unit of the record's value
    const char* total_label;
    double total_factor;     // the total line shows the stored sum times this
};

// A gain record's value q is spread over its box by three flags (x, y, z):
// all 2: q is the box's total, shared in proportion to the open volumes;
// no flag 0: q per m3; all 0: q per cell; otherwise the first flag that is 0
// makes q a value per m2 of the cells' faces normal to that direction.
int read_gains(const GainSection& s) {
    set_section(s.name);
    bool blocked = false;
    double total = 0.0;
    const int found = find_marker(s.eof_ends_case);
    if (found != 0) return found;
    for (;;) {
        int iv[9];
        double q;
        int count;
        if (read_record("iiiiiiriii", 10, iv, &q, count) != 0) return -1;
        int* b = iv;
        int f[3] = {iv[6], iv[7], iv[8]};
        if (b[0] == 0) break;
        if (check_box(b) != 0) return -1;

        if (f[0] == 2 && f[1] == 2 && f[2] == 2) {
            double volume = 0.0;
            for (int k = b[4]; k <= b[5]; ++k)
                for (int j = b[2]; j <= b[3]; ++j)
                    for (int i = b[0]; i <= b[1]; ++i) volume += coefs.VOL[ARIDX(i, j, k)];
            if (volume == 0.0) {
                // Nowhere to put the total: nothing is assigned.
                blocked = true;
                continue;
            }
            q /= volume;
            f[0] = f[1] = f[2] = 1;
        }
        int area_dir = -1;   // -1 per m3, 3 per cell, 0..2 per m2 normal to x, y, z
        if (f[0] == 0 && f[1] == 0 && f[2] == 0)
            area_dir = 3;
        else if (f[0] == 0)
            area_dir = 0;
        else if (f[1] == 0)
            area_dir = 1;
        else if (f[2] == 0)
            area_dir = 2;

        for (int k = b[4]; k <= b[5]; ++k) {
            for (int j = b[2]; j <= b[3]; ++j) {
                for (int i = b[0]; i <= b[1]; ++i) {
                    const int idx = ARIDX(i, j, k);
                    double g;
                    switch (area_dir) {
                        case 3: g = q; break;
                        case 0: g = q * fields.DY[j] * fields.DZ[k]; break;
                        case 1: g = q * fields.DX[i] * fields.DZ[k]; break;
                        case 2: g = q * fields.DX[i] * fields.DY[j]; break;
                        default: g = q * coefs.VOL[idx]; break;
                    }
                    if (fields.CPR[idx] != 0.0) {
                        const double stored = g * s.store_factor;
                        s.target[idx] = stored;
                        total += stored;
                    }
                    if (fields.CPR[idx] < OPEN_MIN) blocked = true;
                }
            }
        }
    }
    blocked_warning(blocked);
    console(free_line(s.total_label, total * s.total_factor));
    return 0;
}

}  // namespace

int read_heat_gains() {
    return read_gains({"in heat gains section", false, fields.SCT, 1.0, "Total heat gain (kW): ", 1.0});
}

int read_contaminant_gains() {
    return read_gains(
        {"in contaminant section", true, fields.SCC, 1.0 / 1000.0, "Total contaminant gain (g/s) : ", 1000.0});
}

int read_water_gains() {
    return read_gains(
        {"in water contaminant section", true, c2eq.SCC2, 1.0 / 1000.0, "Total water gain (g/s) : ", 1000.0});
}

int read_uvalues() {
    set_section("in Temp/Uval section");
    bool blocked = false;
    double total = 0.0;
    const int found = find_marker(true);
    if (found != 0) return found;
    for (;;) {
        int b[7];
        double rv[2];
        int count;
        if (read_record("iiiiiiirr", 9, b, rv, count) != 0) return -1;
        if (b[0] == 0) break;
        if (check_box(b) != 0) return -1;
        const int face = b[6];
        if (face < 1 || face > 6) {
            message_located("location not in domain, in line");
            return -1;
        }
        const double u = rv[0], t = rv[1];
        if (u < 0.0) {
            message_located("U-value parameter is <0  in line");
            return -1;
        }
        const bool coupled = t <= -200.0;
        if (coupled) {
            // The cell two steps across the face must lie in the grid.
            bool inside = true;
            switch (face) {
                case 1: inside = b[0] - 2 >= 1; break;
                case 2: inside = b[1] + 2 <= griddim.NX; break;
                case 3: inside = b[2] - 2 >= 1; break;
                case 4: inside = b[3] + 2 <= griddim.NY; break;
                case 5: inside = b[4] - 2 >= 1; break;
                default: inside = b[5] + 2 <= griddim.NZ; break;
            }
            if (!inside) {
                message_located("location not in domain, in line");
                return -1;
            }
        }
        for (int k = b[4]; k <= b[5]; ++k) {
            for (int j = b[2]; j <= b[3]; ++j) {
                for (int i = b[0]; i <= b[1]; ++i) {
                    const int idx = ARIDX(i, j, k);
                    const double cpr = fields.CPR[idx];
                    if (cpr == 0.0) continue;
                    if (cpr < OPEN_MIN) {
                        // A nearly blocked cell gets no surface at all.
                        blocked = true;
                        continue;
                    }
                    const double ua = u * face_area(face, i, j, k);
                    uvaltab.UVAL[uvidx(idx, face)] = ua;
                    uvaltab.UVALCELL[idx] = true;
                    uvaltab.UVALSET = true;
                    if (!coupled) {
                        uvaltab.UVALT[uvidx(idx, face)] = (t + KELVIN_OFFSET) * ua;
                        total += ua;
                    } else {
                        uvaltab.UVALT[uvidx(idx, face)] = ua;
                    }
                }
            }
        }
    }
    blocked_warning(blocked);
    console(free_line("Total heat loss (kW/C) : ", total));
    return 0;
}

int read_regions() {
    set_section("in buoyant region section");
    const int found = find_marker(true);
    if (found != 0) return found;
    for (;;) {
        int b[7];
        double tref = -300.0;
        int count;
        if (read_record("iiiiiiir", 7, b, &tref, count) != 0) return -1;
        if (b[0] == 0) break;
        if (count < 8) tref = -300.0;
        if (check_box(b) != 0) return -1;
        const int r = b[6];
        if (r < 0) {
            message_located("region parameter is <0  in line");
            return -1;
        }
        if (r == 0 || r > NREGMAX) {
            message_located("region parameter is 0 or >25  in line");
            return -1;
        }
        regions.TREF[r] = tref > -200.0 ? tref + KELVIN_OFFSET : 0.0;
        for (int k = b[4]; k <= b[5]; ++k)
            for (int j = b[2]; j <= b[3]; ++j)
                for (int i = b[0]; i <= b[1]; ++i) {
                    const int idx = ARIDX(i, j, k);
                    if (fields.CPR[idx] != 0.0) regions.IREG[idx] = r;
                }
    }
    return 0;
}

}  // namespace tarvex::casereader
