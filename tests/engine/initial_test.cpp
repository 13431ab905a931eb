#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/channels.h"
#include "engine/engine.h"

namespace tarvex {
namespace {

struct NamedArray {
    const char* name;
    double* data;   // one-based per-cell array
};

// Every per-cell double array of the data groups, listed from their tables.
std::vector<NamedArray> per_cell_doubles() {
    std::vector<NamedArray> a = {
        // FIELDS
        {"SUW", fields.SUW}, {"AREAW", fields.AREAW}, {"CPRW", fields.CPRW}, {"SCW", fields.SCW},
        {"SPW", fields.SPW}, {"W", fields.W}, {"C", fields.C}, {"SCC", fields.SCC}, {"SPC", fields.SPC},
        {"APC", fields.APC}, {"SUC", fields.SUC}, {"P", fields.P}, {"T", fields.T}, {"SCV", fields.SCV},
        {"SUU", fields.SUU}, {"SUV", fields.SUV}, {"AREAU", fields.AREAU}, {"AREAV", fields.AREAV},
        {"MIMB", fields.MIMB}, {"CPRU", fields.CPRU}, {"CPRV", fields.CPRV}, {"DEN", fields.DEN},
        {"CPR", fields.CPR}, {"U", fields.U}, {"V", fields.V}, {"SCT", fields.SCT},
        {"SMASS", fields.SMASS}, {"SCU", fields.SCU}, {"SPU", fields.SPU}, {"SPT", fields.SPT},
        {"SPV", fields.SPV}, {"DENU", fields.DENU}, {"DENV", fields.DENV}, {"DENW", fields.DENW},
        // COEFS
        {"APT", coefs.APT}, {"SUT", coefs.SUT}, {"HU", coefs.HU}, {"HV", coefs.HV}, {"HW", coefs.HW},
        {"AN", coefs.AN}, {"AS", coefs.AS}, {"AE", coefs.AE}, {"AW", coefs.AW}, {"AT", coefs.AT},
        {"AB", coefs.AB}, {"VOL", coefs.VOL}, {"APU", coefs.APU}, {"APV", coefs.APV}, {"APW", coefs.APW},
        // C2EQ
        {"C2", c2eq.C2}, {"SCC2", c2eq.SCC2}, {"SPC2", c2eq.SPC2}, {"APC2", c2eq.APC2},
        {"SUC2", c2eq.SUC2}, {"COND", c2eq.COND},
        // RESID
        {"RESUVW", resid.RESUVW}, {"RESM", resid.RESM}, {"REST", resid.REST}, {"RESC", resid.RESC},
        {"RESC2", resid.RESC2},
    };
    return a;
}

int64_t padded_extent() {
    return static_cast<int64_t>(griddim.NXP1) * griddim.NYP1 * griddim.NZP1;
}

bool is_real_cell(int64_t idx) {
    const int64_t i0 = (idx - 1) % griddim.JSTRIDE;
    const int64_t j0 = (idx - 1) / griddim.JSTRIDE % griddim.NYP1;
    const int64_t k0 = (idx - 1) / griddim.KSTRIDE;
    return i0 < griddim.NX && j0 < griddim.NY && k0 < griddim.NZ;
}

// Writes a marker into every per-cell element of the loaded grid's extent and
// into the grid lines, as a case and a run would leave them.
void scribble_case(double mark) {
    const int64_t n = padded_extent();
    for (const NamedArray& a : per_cell_doubles()) {
        for (int64_t idx = 1; idx <= n; ++idx) a.data[idx] = mark;
    }
    for (int64_t idx = 1; idx <= n; ++idx) {
        for (int f = 1; f <= 6; ++f) {
            uvaltab.UVAL[uvidx(static_cast<int>(idx), f)] = mark;
            uvaltab.UVALT[uvidx(static_cast<int>(idx), f)] = mark;
        }
        uvaltab.UVALCELL[idx] = true;
        mixlen.XLMIX[idx] = mark;
        regions.IREG[idx] = 7;
    }
    uvaltab.UVALSET = true;
    for (int i = 0; i <= griddim.NX + 1; ++i) {
        if (i <= griddim.NX) gridline.X[i] = mark;
        gridline.XC[i] = mark;
        if (i >= 1 && i <= griddim.NX) fields.DX[i] = mark;
    }
    for (int j = 0; j <= griddim.NY + 1; ++j) {
        if (j <= griddim.NY) gridline.Y[j] = mark;
        gridline.YC[j] = mark;
        if (j >= 1 && j <= griddim.NY) fields.DY[j] = mark;
    }
    for (int k = 0; k <= griddim.NZ + 1; ++k) {
        if (k <= griddim.NZ) gridline.Z[k] = mark;
        gridline.ZC[k] = mark;
        if (k >= 1 && k <= griddim.NZ) fields.DZ[k] = mark;
    }
}

// Checks the state right after a case load over elements 1..upto: on the real
// cells no U-value surface, mixing length 9.9e19, region 1; everything else,
// padding and far faces included, zero.
void expect_fresh_case(int64_t upto) {
    for (const NamedArray& a : per_cell_doubles()) {
        int64_t bad = 0;
        for (int64_t idx = 1; idx <= upto; ++idx) {
            if (a.data[idx] != 0.0 && bad++ == 0) ADD_FAILURE() << a.name << "(" << idx << ") = " << a.data[idx];
        }
    }
    int64_t bad = 0;
    for (int64_t idx = 1; idx <= upto && bad < 5; ++idx) {
        const bool real = is_real_cell(idx) && idx <= padded_extent();
        for (int f = 1; f <= 6; ++f) {
            const double want = real ? -999.0 : 0.0;
            if (uvaltab.UVAL[uvidx(static_cast<int>(idx), f)] != want ||
                uvaltab.UVALT[uvidx(static_cast<int>(idx), f)] != want) {
                ADD_FAILURE() << "UVAL/UVALT(" << idx << ", " << f << ")";
                ++bad;
            }
        }
        if (uvaltab.UVALCELL[idx]) { ADD_FAILURE() << "UVALCELL(" << idx << ")"; ++bad; }
        if (mixlen.XLMIX[idx] != (real ? 9.9e19 : 0.0)) { ADD_FAILURE() << "XLMIX(" << idx << ")"; ++bad; }
        if (regions.IREG[idx] != (real ? 1 : 0)) { ADD_FAILURE() << "IREG(" << idx << ")"; ++bad; }
    }
    EXPECT_FALSE(uvaltab.UVALSET);
    for (int i = 0; i <= NDIRMAX; ++i) {
        if (i < NDIRMAX) {
            ASSERT_EQ(gridline.X[i], 0.0) << i;
            ASSERT_EQ(gridline.Y[i], 0.0) << i;
            ASSERT_EQ(gridline.Z[i], 0.0) << i;
        }
        ASSERT_EQ(gridline.XC[i], 0.0) << i;
        ASSERT_EQ(gridline.YC[i], 0.0) << i;
        ASSERT_EQ(gridline.ZC[i], 0.0) << i;
        if (i >= 1) {
            ASSERT_EQ(fields.DX[i], 0.0) << i;
            ASSERT_EQ(fields.DY[i], 0.0) << i;
            ASSERT_EQ(fields.DZ[i], 0.0) << i;
        }
    }
}

TEST(Initial, FirstLoadResetsTheRealCells) {
    ASSERT_EQ(SETUP_ARRAY(6, 4, 3), 0);
    expect_fresh_case(padded_extent());
    EXPECT_EQ(runctl.ITURB, 1);
    EXPECT_FALSE(runctl.NEWDIST);
}

// Loads of a large, a medium and a small case, each left fully written: after
// every load nothing of an earlier case remains, neither in the new grid's
// padding nor beyond its extent, where the earlier layouts placed other cells.
TEST(Initial, EveryLoadStartsFromAFreshState) {
    ASSERT_EQ(SETUP_ARRAY(20, 15, 10), 0);
    const int64_t largest = padded_extent();
    scribble_case(7.5);

    ASSERT_EQ(SETUP_ARRAY(9, 12, 4), 0);
    expect_fresh_case(largest);
    scribble_case(-3.25);

    ASSERT_EQ(SETUP_ARRAY(6, 4, 3), 0);
    expect_fresh_case(largest);

    // A larger grid again: the part beyond the earlier extents was never
    // written and must read zero as well.
    ASSERT_EQ(SETUP_ARRAY(25, 16, 12), 0);
    expect_fresh_case(padded_extent());
}

// Every per-cell value of every array over elements 1..n, as bits.
std::vector<uint64_t> all_cells(int64_t n) {
    std::vector<uint64_t> bits;
    auto add = [&bits](double v) {
        uint64_t b = 0;
        std::memcpy(&b, &v, sizeof b);
        bits.push_back(b);
    };
    for (const NamedArray& a : per_cell_doubles())
        for (int64_t idx = 1; idx <= n; ++idx) add(a.data[idx]);
    for (int64_t idx = 1; idx <= n; ++idx) {
        for (int f = 1; f <= 6; ++f) {
            add(uvaltab.UVAL[uvidx(static_cast<int>(idx), f)]);
            add(uvaltab.UVALT[uvidx(static_cast<int>(idx), f)]);
        }
        add(uvaltab.UVALCELL[idx] ? 1.0 : 0.0);
        add(mixlen.XLMIX[idx]);
        add(regions.IREG[idx]);
    }
    return bits;
}

// A large case is read and run (new fields, mixing lengths, iterations),
// then a small case is read from its file: what the small case holds is
// exactly what a second reading of it gives, and nothing of the large case
// is left beyond the small grid.
TEST(Initial, NothingOfALargeRunSurvivesIntoASmallCase) {
    CaptureSink console;
    ScopedChannelSink bind(CH_CONSOLE, &console);
    const std::string example = std::string(TARVEX_SOURCE_DIR) + "/examples/room/";
    ASSERT_TRUE(filenames.INFILE.assign(example + "room.case"));
    ASSERT_TRUE(filenames.CTLFILE.assign(example + "room.control"));
    ASSERT_EQ(INPUT0(), 0) << console.text();
    ASSERT_EQ(INPUT1(), 0) << console.text();
    INIVAL();
    runctl.DT = 1.0;
    runctl.ITURB = 2;
    runctl.VISEFF = 100.0 * runctl.VISC;
    DIST3D();
    for (runctl.ITER = 1; runctl.ITER <= 3; ++runctl.ITER) {
        int iusr3 = 0, iconv = 0;
        SOLVE(iusr3, iconv);
    }
    ASSERT_TRUE(runflags.FIELDSOK);
    const int64_t large = padded_extent();

    const std::string small_file =
        (std::filesystem::temp_directory_path() / ("tarvex_small_" + std::to_string(::getpid()) + ".case")).string();
    {
        std::ofstream out(small_file, std::ios::binary);
        out << "small case\n--- end of header\n3 2 2\n--- in monitor location\n1 1 1\n"
               "--- in gravity vector\n0 0 -9.81\n--- in external conditions\n20 0 0\n"
               "--- in fluid parameters\n1.2 1.8e-5\n--- in initial conditions\n20 0 0\n"
               "--- in X grid dimensions\n2 4 1.0\n0 0 0\n--- in Y grid dimensions\n2 3 1.0\n0 0 0\n"
               "--- in Z grid dimensions\n2 3 1.0\n0 0 0\n"
               "--- in cell blockage\n0 0 0 0 0 0 0\n--- in face blockages\n0 0 0 0 0 0 0 0 0\n"
               "--- in inflow section\n0 0 0 0 0 0 0 0 0 0\n--- in outflow section\n0 0 0 0 0 0 0\n"
               "--- in pressure bounds section\n0 0 0 0 0 0\n"
               "--- in heat gains section\n0 0 0 0 0 0 0 0 0 0\n";
    }
    ASSERT_TRUE(filenames.INFILE.assign(small_file));
    ASSERT_EQ(INPUT0(), 0) << console.text();
    ASSERT_EQ(griddim.NX, 3);
    EXPECT_FALSE(runflags.FIELDSOK);   // the fields of the large run are gone
    const int64_t small = padded_extent();
    ASSERT_LT(small * 10, large);
    const std::vector<uint64_t> after_large = all_cells(large);
    ASSERT_EQ(INPUT0(), 0) << console.text();
    EXPECT_TRUE(all_cells(large) == after_large);
    std::remove(small_file.c_str());

    // Beyond the small grid everything is zero.
    int bad = 0;
    for (const NamedArray& a : per_cell_doubles())
        for (int64_t idx = small + 1; idx <= large; ++idx)
            if (a.data[idx] != 0.0 && bad++ < 5) ADD_FAILURE() << a.name << "(" << idx << ") = " << a.data[idx];
    for (int64_t idx = small + 1; idx <= large; ++idx)
        if ((mixlen.XLMIX[idx] != 0.0 || regions.IREG[idx] != 0) && bad++ < 5) ADD_FAILURE() << "cell " << idx;
}

// The turbulence model and the mixing-length request are case data; the other
// control values survive a load. Region references start afresh, so a region
// that the next case does not mention uses its mean temperature again.
TEST(Initial, ControlValuesAndRegionReferences) {
    ASSERT_EQ(SETUP_ARRAY(3, 3, 3), 0);
    runctl.ITURB = 3;
    runctl.NEWDIST = true;
    runctl.RLXU = 0.6;
    runctl.CONVM = 1e-4;
    runctl.NPASS = 4;
    runctl.RTREF0 = 1.0 / 293.15;
    for (int r = 1; r <= NREGMAX; ++r) {
        regions.TREF[r] = 280.0 + r;
        regions.RTREF[r] = 1.0 / (280.0 + r);
    }

    ASSERT_EQ(SETUP_ARRAY(5, 2, 2), 0);
    EXPECT_EQ(runctl.ITURB, 1);
    EXPECT_FALSE(runctl.NEWDIST);
    EXPECT_EQ(runctl.RLXU, 0.6);
    EXPECT_EQ(runctl.CONVM, 1e-4);
    EXPECT_EQ(runctl.NPASS, 4);
    for (int r = 1; r <= NREGMAX; ++r) {
        EXPECT_EQ(regions.TREF[r], 0.0) << r;
        EXPECT_EQ(regions.RTREF[r], 1.0 / 293.15) << r;
    }
}

}  // namespace
}  // namespace tarvex
