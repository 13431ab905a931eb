// Small grids for the equation tests: an open box with closed walls on a reset
// state, so that each test can then set the coefficient arrays and fields by
// hand.
#pragma once

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/channels.h"
#include "engine/case_arrays.h"
#include "engine/data.h"
#include "engine/engine.h"
#include "tests/engine/open_box_fixture.h"
#include "tests/engine/parallel_paths.h"

namespace tarvex::test {

// Areas and volumes from the widths and the open fractions; call again after
// changing an open fraction.
using openbox::update_geometry;

// Zeroes what the equation tests use, over the padded cells of a grid of
// ncells cells, so that tests do not depend on what an earlier test left in
// the same process: every case array the engine lists (case_arrays.h), the
// U-value cells and mixing lengths, and the run state.
inline void reset_state(int ncells) {
    for_each_case_array([ncells](double* a) {
        for (int p = 0; p <= ncells && p <= NCELLMAX; ++p) a[p] = 0.0;
    });
    for (int p = 0; p <= ncells && p <= NCELLMAX; ++p) {
        uvaltab.UVALCELL[p] = false;
        mixlen.XLMIX[p] = 9.9e19;
    }
    runctl = RUNCTL{};
    domsums = DOMSUMS{};
    pbtable.NPB = 0;
    pbtable.PBON = 0;
    for (int r = 0; r <= NREGMAX; ++r) regions.RTREF[r] = regions.TREF[r] = 0.0;
}

// A grid of the given cell widths, every cell open and the domain walls
// closed, on a reset state; region 1 everywhere, no pressure boundaries.
inline void make_grid(const std::vector<double>& dx, const std::vector<double>& dy, const std::vector<double>& dz) {
    const int nx = static_cast<int>(dx.size()), ny = static_cast<int>(dy.size()), nz = static_cast<int>(dz.size());
    if (SETUP_ARRAY(nx, ny, nz) != 0) throw std::runtime_error("grid does not fit the build");
    reset_state((nx + 1) * (ny + 1) * (nz + 1));
    openbox::lay_out_open_box(dx, dy, dz);
    for (int r = 1; r <= NREGMAX; ++r) regions.TREF[r] = 0.0;
    for (int p = 1; p <= (nx + 1) * (ny + 1) * (nz + 1); ++p) regions.IREG[p] = 1;
    BUILD_PBCELLS();
}

inline void make_uniform_grid(int nx, int ny, int nz, double w = 1.0) {
    make_grid(std::vector<double>(nx, w), std::vector<double>(ny, w), std::vector<double>(nz, w));
}

// Sets every real cell of a per-cell array.
inline void fill(double* a, double value) {
    for (int k = 1; k <= griddim.NZ + 1; ++k)
        for (int j = 1; j <= griddim.NY + 1; ++j)
            for (int i = 1; i <= griddim.NX + 1; ++i) a[ARIDX(i, j, k)] = value;
}

// Blocks one cell and its six faces.
inline void block_cell(int i, int j, int k) {
    const int p = ARIDX(i, j, k);
    fields.CPR[p] = 0.0;
    fields.CPRU[p] = fields.CPRU[p + 1] = 0.0;
    fields.CPRV[p] = fields.CPRV[p + griddim.JSTRIDE] = 0.0;
    fields.CPRW[p] = fields.CPRW[p + griddim.KSTRIDE] = 0.0;
    update_geometry();
}

// Adds one pressure-boundary row over a box; returns its row number.
inline int add_pb(int i1, int i2, int j1, int j2, int k1, int k2, int face, double coef, double p, double e,
                  double t = 293.15, double c = 0.0, double c2 = 0.0) {
    const int n = ++pbtable.NPB;
    pbtable.PBI1[n] = i1;
    pbtable.PBI2[n] = i2;
    pbtable.PBJ1[n] = j1;
    pbtable.PBJ2[n] = j2;
    pbtable.PBK1[n] = k1;
    pbtable.PBK2[n] = k2;
    pbtable.PBFACE[n] = face;
    pbtable.PBCOEF[n] = coef;
    pbtable.PBP[n] = p;
    pbtable.PBEXP[n] = e;
    pbtable.PBT[n] = t;
    pbtable.PBC[n] = c;
    pbtable.PBC2[n] = c2;
    pbtable.PBON = 1;
    return n;
}

// Call once the rows of a test are in the table: builds the rows by cell.
inline void pb_done() { BUILD_PBCELLS(); }

// The saved-data file of the current state, as bytes (written by OUTDSK to a
// temporary file whose name starts with tag, then removed).
inline std::string saved_bytes(const std::string& tag) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / (tag + "_" + std::to_string(::getpid()) + ".sav");
    CaptureSink console;
    LineSink* before = channel_sink(CH_CONSOLE);
    set_channel_sink(CH_CONSOLE, &console);
    const int err = OUTDSK(PaddedName(file.string()));
    set_channel_sink(CH_CONSOLE, before);
    EXPECT_EQ(err, 0);
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    std::filesystem::remove(file);
    EXPECT_FALSE(s.str().empty());
    return s.str();
}

}  // namespace tarvex::test
