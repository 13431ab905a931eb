// Array set-up at a case load: the build's limits, the grid dimensions and
// the reset of the case data.

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <string>

#include "common/channels.h"
#include "common/textfmt.h"
#include "engine/case_arrays.h"
#include "engine/engine.h"

namespace tarvex {

namespace {

// The padded extent (NX+1)(NY+1)(NZ+1) of the grid that was cleared last.
// The engine writes per-cell elements only within the extent of the loaded
// grid, so after a clear every element beyond the new extent is zero, and
// all that can have been written before the next clear lies within the
// larger of this extent and that of the dimensions held then.
int64_t g_cleared_extent = 0;

int64_t padded_extent(const GRIDDIM& g) {
    if (g.NX < 1 || g.NY < 1 || g.NZ < 1) return 0;
    return static_cast<int64_t>(g.NX + 1) * (g.NY + 1) * (g.NZ + 1);
}

// What the grid held before SETUP_ARRAY stored a new one: its dimensions may
// have been set without a clear (tests set a grid directly).
int64_t g_previous_extent = 0;

// Elements 1..n of a one-based per-cell array.
template <typename T>
void clear_cells(T* array, int64_t n) {
    std::fill(array + 1, array + 1 + n, T{});
}

// Clears every per-cell array, padding included, over elements 1..n.
void clear_all_cells(int64_t n) {
    for_each_case_array([n](double* a) { clear_cells(a, n); });
    clear_cells(mixlen.XLMIX, n);
    for (int f = 1; f <= 6; ++f) {
        // Face f of cell idx is element idx + (f-1)*NCELLMAX: the same
        // one-based layout, shifted by one cell capacity per face.
        clear_cells(uvaltab.UVAL + (f - 1) * static_cast<int64_t>(NCELLMAX), n);
        clear_cells(uvaltab.UVALT + (f - 1) * static_cast<int64_t>(NCELLMAX), n);
    }
    clear_cells(uvaltab.UVALCELL, n);
    clear_cells(regions.IREG, n);
}

// Decimal digits of an unsigned 128-bit value (the padded count of any three
// 32-bit requests fits).
__extension__ typedef unsigned __int128 uint128;

std::string to_decimal(uint128 value) {
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(value % 10)));
        value /= 10;
    } while (value != 0);
    return digits;
}

}  // namespace

// Checks a requested grid against the build's limits: first the padded cell
// count, then each direction. On success the dimensions are stored and the
// case data reset (INITIAL); on refusal nothing changes.
int SETUP_ARRAY(int nx, int ny, int nz) {
    if (nx < 1 || ny < 1 || nz < 1) {
        // Callers raise counts below 1 to 1 first; refuse anything else
        // rather than store strides that address outside the arrays.
        write_line(CH_CONSOLE, free_line(" invalid grid dimensions: ", nx, ny, nz));
        return -1;
    }

    // (NX+1)(NY+1)(NZ+1) in 128 bits: three 32-bit counts cannot overflow it.
    const uint128 padded = static_cast<uint128>(static_cast<uint64_t>(nx) + 1) *
                           (static_cast<uint64_t>(ny) + 1) * (static_cast<uint64_t>(nz) + 1);
    if (padded >= static_cast<uint128>(NCELLMAX)) {
        write_line(CH_CONSOLE, free_line(" problem size too big "));
        write_line(CH_CONSOLE, free_line(" number of cells requested: ", to_decimal(padded)));
        write_line(CH_CONSOLE, free_line("  maximum domain  ", NCELLMAX));
        return -1;
    }
    if (nx >= NDIRMAX || ny >= NDIRMAX || nz >= NDIRMAX) {
        write_line(CH_CONSOLE, free_line(" problem size too big "));
        write_line(CH_CONSOLE, free_line("  maximum grid size  ", NDIRMAX));
        return -1;
    }

    g_previous_extent = std::min<int64_t>(padded_extent(griddim), NCELLMAX);
    griddim.NX = nx;
    griddim.NY = ny;
    griddim.NZ = nz;
    griddim.NXP1 = nx + 1;
    griddim.NYP1 = ny + 1;
    griddim.NZP1 = nz + 1;
    griddim.JSTRIDE = nx + 1;
    griddim.KSTRIDE = (nx + 1) * (ny + 1);
    INITIAL();
    return 0;
}

// Resets the case data for the grid just stored by SETUP_ARRAY.
//
// Every per-cell array is cleared over its whole used range, padding
// included, and so are the grid lines and cell widths: after a case load the
// data look exactly as at the first load of the process, and nothing of an
// earlier case (a larger grid's values, a different index layout) can be read
// again. The arrays are zero at process start and every load leaves them zero
// beyond its own extent, so only the elements up to the larger of the old and
// the new extent need clearing: a small case loads as fast after a large one
// as at the start.
//
// Then, over the real cells: no U-value surfaces (NOT_SET), mixing lengths
// 9.9e19, region 1; the region reference temperatures start afresh; the
// turbulence model goes back to 1 and no new mixing lengths are due. The other
// control values survive a case load.
void INITIAL() {
    runctl.ITURB = 1;
    runctl.NEWDIST = false;

    const int nx = griddim.NX;
    const int ny = griddim.NY;
    const int nz = griddim.NZ;

    // Grid lines, cell centres and widths (the whole arrays: a few thousand
    // values).
    gridline = GRIDLINE{};
    std::fill(std::begin(fields.DX), std::end(fields.DX), 0.0);
    std::fill(std::begin(fields.DY), std::end(fields.DY), 0.0);
    std::fill(std::begin(fields.DZ), std::end(fields.DZ), 0.0);

    // Per-cell arrays; this also leaves the far faces (I = NX+1, J = NY+1,
    // K = NZ+1) with zero open area and open fraction.
    const int64_t extent = padded_extent(griddim);
    clear_all_cells(std::max({g_cleared_extent, g_previous_extent, extent}));
    g_cleared_extent = extent;
    g_previous_extent = extent;
    runflags.FIELDSOK = false;

    for (int k = 1; k <= nz; ++k) {
        for (int j = 1; j <= ny; ++j) {
            for (int i = 1; i <= nx; ++i) {
                const int idx = ARIDX(i, j, k);
                for (int f = 1; f <= 6; ++f) {
                    uvaltab.UVAL[uvidx(idx, f)] = NOT_SET;
                    uvaltab.UVALT[uvidx(idx, f)] = NOT_SET;
                }
                mixlen.XLMIX[idx] = 9.9e19;
                regions.IREG[idx] = 1;
            }
        }
    }
    uvaltab.UVALSET = false;

    for (int r = 1; r <= NREGMAX; ++r) {
        regions.RTREF[r] = runctl.RTREF0;
        regions.TREF[r] = 0.0;
    }
}

}  // namespace tarvex
