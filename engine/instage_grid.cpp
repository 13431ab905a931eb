// Grid sections (6-8), the grid check, blockage sections (9-10), the
// reconciliation of blocked cells and closed faces, and the grid geometry.

#include <cmath>
#include <utility>

#include "common/channels.h"
#include "common/textfmt.h"
#include "engine/data.h"
#include "engine/engine.h"
#include "engine/instage_internal.h"

namespace tarvex {

namespace casereader {

namespace {

inline constexpr double UNSET = NOT_SET;

void console(const std::string& line) { write_line(CH_CONSOLE, line); }

void ascending(int& a, int& b) {
    if (a > b) std::swap(a, b);
}

// One grid section: entries (first cell, last cell, width) build the grid
// lines from the line before the first cell. Lines outside 2..n+1 are
// reported and remembered in `bad`; reading goes on.
int read_axis(const char* name, const char* range_message, double* lines, int n, bool& bad) {
    set_section(name);
    if (find_marker(false) != 0) return -1;
    lines[0] = 0.0;
    for (;;) {
        int iv[2];
        double width;
        int count;
        if (read_record("iir", 3, iv, &width, count) != 0) return -1;
        int first = iv[0];
        int last = iv[1];
        if (first == 0) return 0;
        if (first < 2 || first > n + 1 || last < 2 || last > n + 1) {
            console(free_line(range_message, runflags.NLINE));
            console(free_line(line_text()));
            bad = true;
            continue;
        }
        ascending(first, last);
        for (int k = first; k <= last; ++k) lines[k - 1] = lines[k - 2] + width;
    }
}

// Every cell and inner face open, the domain walls closed.
void default_open_fractions() {
    const int nx = griddim.NX, ny = griddim.NY, nz = griddim.NZ;
    for (int k = 1; k <= nz + 1; ++k) {
        for (int j = 1; j <= ny + 1; ++j) {
            for (int i = 1; i <= nx + 1; ++i) {
                const int idx = ARIDX(i, j, k);
                if (j <= ny && k <= nz) fields.CPRU[idx] = 1.0;
                if (i <= nx && k <= nz) fields.CPRV[idx] = 1.0;
                if (i <= nx && j <= ny) fields.CPRW[idx] = 1.0;
                if (i <= nx && j <= ny && k <= nz) fields.CPR[idx] = 1.0;
            }
        }
    }
    for (int k = 1; k <= nz; ++k) {
        for (int i = 1; i <= nx; ++i) {
            fields.CPRV[ARIDX(i, 1, k)] = 0.0;
            fields.CPRV[ARIDX(i, ny + 1, k)] = 0.0;
        }
    }
    for (int j = 1; j <= ny; ++j) {
        for (int i = 1; i <= nx; ++i) {
            fields.CPRW[ARIDX(i, j, 1)] = 0.0;
            fields.CPRW[ARIDX(i, j, nz + 1)] = 0.0;
        }
    }
    for (int k = 1; k <= nz; ++k) {
        for (int j = 1; j <= ny; ++j) {
            fields.CPRU[ARIDX(1, j, k)] = 0.0;
            fields.CPRU[ARIDX(nx + 1, j, k)] = 0.0;
        }
    }
}

int read_cell_blockage() {
    set_section("in cell blockage");
    if (find_marker(false) != 0) return -1;
    for (;;) {
        int b[6];
        double value;
        int count;
        if (read_record("iiiiiir", 7, b, &value, count) != 0) return -1;
        if (b[0] == 0) return 0;
        if (b[0] < 1 || b[0] > griddim.NX || b[1] < 1 || b[1] > griddim.NX || b[2] < 1 ||
            b[2] > griddim.NY || b[3] < 1 || b[3] > griddim.NY || b[4] < 1 || b[4] > griddim.NZ ||
            b[5] < 1 || b[5] > griddim.NZ) {
            message_located("location not in domain, in line");
            return -1;
        }
        if (!(value >= 0.0 && value <= 1.0)) {
            message_located("value is <0 or >1, in line");
            return -1;
        }
        ascending(b[0], b[1]);
        ascending(b[2], b[3]);
        ascending(b[4], b[5]);
        for (int k = b[4]; k <= b[5]; ++k)
            for (int j = b[2]; j <= b[3]; ++j)
                for (int i = b[0]; i <= b[1]; ++i) fields.CPR[ARIDX(i, j, k)] = value;
    }
}

int read_face_blockage() {
    set_section("in face blockages");
    if (find_marker(false) != 0) return -1;
    for (;;) {
        int b[6];
        double v[3];
        int count;
        if (read_record("iiiiiirrr", 9, b, v, count) != 0) return -1;
        if (b[0] == 0) return 0;
        const int nx1 = griddim.NX + 1, ny1 = griddim.NY + 1, nz1 = griddim.NZ + 1;
        if (b[0] < 1 || b[0] > nx1 || b[1] < 1 || b[1] > nx1 || b[2] < 1 || b[2] > ny1 || b[3] < 1 ||
            b[3] > ny1 || b[4] < 1 || b[4] > nz1 || b[5] < 1 || b[5] > nz1) {
            message_located("location not in domain, in line");
            return -1;
        }
        for (const double x : v) {
            if (!(x >= -1.0 && x <= 1.0)) {
                message_located("value must be >=0 or <=1, in line");
                return -1;
            }
        }
        ascending(b[0], b[1]);
        ascending(b[2], b[3]);
        ascending(b[4], b[5]);
        for (int k = b[4]; k <= b[5]; ++k) {
            for (int j = b[2]; j <= b[3]; ++j) {
                for (int i = b[0]; i <= b[1]; ++i) {
                    const int idx = ARIDX(i, j, k);
                    if (v[0] >= 0.0) fields.CPRU[idx] = v[0];
                    if (v[1] >= 0.0) fields.CPRV[idx] = v[1];
                    if (v[2] >= 0.0) fields.CPRW[idx] = v[2];
                }
            }
        }
    }
}

// Blocked cells close their six faces; then cells closed on all six faces
// are blocked.
void reconcile_blockage() {
    const int nx = griddim.NX, ny = griddim.NY, nz = griddim.NZ;
    const int js = griddim.JSTRIDE, ks = griddim.KSTRIDE;
    for (int k = 1; k <= nz; ++k) {
        for (int j = 1; j <= ny; ++j) {
            for (int i = 1; i <= nx; ++i) {
                const int idx = ARIDX(i, j, k);
                if (fields.CPR[idx] < OPEN_MIN) {
                    fields.CPRU[idx] = fields.CPRU[idx + 1] = 0.0;
                    fields.CPRV[idx] = fields.CPRV[idx + js] = 0.0;
                    fields.CPRW[idx] = fields.CPRW[idx + ks] = 0.0;
                }
            }
        }
    }
    for (int k = 1; k <= nz; ++k) {
        for (int j = 1; j <= ny; ++j) {
            for (int i = 1; i <= nx; ++i) {
                const int idx = ARIDX(i, j, k);
                if (fields.CPRU[idx] < OPEN_MIN && fields.CPRU[idx + 1] < OPEN_MIN &&
                    fields.CPRV[idx] < OPEN_MIN && fields.CPRV[idx + js] < OPEN_MIN &&
                    fields.CPRW[idx] < OPEN_MIN && fields.CPRW[idx + ks] < OPEN_MIN)
                    fields.CPR[idx] = 0.0;
            }
        }
    }
}

}  // namespace

int read_grid_sections() {
    for (int i = 0; i <= griddim.NX; ++i) gridline.X[i] = UNSET;
    for (int j = 0; j <= griddim.NY; ++j) gridline.Y[j] = UNSET;
    for (int k = 0; k <= griddim.NZ; ++k) gridline.Z[k] = UNSET;

    bool bad = false;
    if (read_axis("in X grid dimensions", " X grid not in domain, in line :", gridline.X, griddim.NX, bad) != 0)
        return -1;
    if (read_axis("in Y grid dimensions", " Y grid not in domain, in line :", gridline.Y, griddim.NY, bad) != 0)
        return -1;
    if (read_axis("in Z grid dimensions", " Z grid not in domain in line :", gridline.Z, griddim.NZ, bad) != 0)
        return -1;
    if (bad || CHECK_GRID1() != 0) {
        console(free_line(" grid not fully defined"));
        return -1;
    }
    default_open_fractions();
    return 0;
}

int read_blockage_sections() {
    if (read_cell_blockage() != 0) return -1;
    if (read_face_blockage() != 0) return -1;
    reconcile_blockage();
    console(free_line("calculating grid geometry"));
    if (GEOM3D() != 0) {
        write_line(CH_DEFAULT, free_line(" problem with grid geometry"));
        return -1;
    }
    return 0;
}

}  // namespace casereader

int CHECK_GRID1() {
    int result = 0;
    const struct {
        const double* lines;
        int count;
        const char* text;
    } axes[] = {
        {gridline.X, griddim.NXP1, "grid x dimension not set"},
        {gridline.Y, griddim.NYP1, "grid y dimension not set"},
        {gridline.Z, griddim.NZP1, "grid z dimension not set"},
    };
    for (const auto& axis : axes) {
        for (int n = 1; n <= axis.count; ++n) {
            if (axis.lines[n - 1] == casereader::UNSET) {
                write_line(CH_CONSOLE, free_line(axis.text, n));
                result = -1;
            }
        }
    }
    return result;
}

int GEOM3D() {
    bool failed = false;
    // Centres and widths along one direction. A centre or width that is not a
    // positive finite number (grid lines built on an unset line, a zero or
    // negative width, an overflow) fails.
    auto axis = [&failed](const double* lines, double* centres, double* widths, int n) {
        centres[0] = 0.0;
        for (int i = 1; i <= n; ++i) {
            centres[i] = (lines[i] + lines[i - 1]) * 0.5;
            widths[i] = lines[i] - lines[i - 1];
            if (!(centres[i] > 0.0) || !(widths[i] > 0.0) || !std::isfinite(centres[i]) ||
                !std::isfinite(widths[i]))
                failed = true;
        }
        centres[n + 1] = lines[n];
    };
    axis(gridline.X, gridline.XC, fields.DX, griddim.NX);
    axis(gridline.Y, gridline.YC, fields.DY, griddim.NY);
    axis(gridline.Z, gridline.ZC, fields.DZ, griddim.NZ);

    domsums.VOLTOT = 0.0;
    for (int k = 1; k <= griddim.NZ; ++k) {
        for (int j = 1; j <= griddim.NY; ++j) {
            for (int i = 1; i <= griddim.NX; ++i) {
                const int idx = ARIDX(i, j, k);
                const double dx = fields.DX[i], dy = fields.DY[j], dz = fields.DZ[k];
                fields.AREAU[idx] = dy * dz * fields.CPRU[idx];
                fields.AREAV[idx] = dx * dz * fields.CPRV[idx];
                fields.AREAW[idx] = dx * dy * fields.CPRW[idx];
                coefs.VOL[idx] = dx * dy * dz * fields.CPR[idx];
                domsums.VOLTOT += coefs.VOL[idx];
            }
        }
    }
    if (failed) {
        write_line(CH_CONSOLE, free_line(" error in geometry, zero dimension"));
        return -1;
    }
    write_line(CH_CONSOLE, free_line(" Domain active volume (m3) : ", domsums.VOLTOT));
    return 0;
}

}  // namespace tarvex
