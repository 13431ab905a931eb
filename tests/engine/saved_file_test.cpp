// The saved-data file: its layout, the round trip through OUTDSK and INDSK,
// and that no failure, damaged file or wrong grid destroys data.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/channels.h"
#include "common/textfmt.h"
#include "engine/engine.h"

namespace tarvex {

namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_file(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

std::string join_lines(const std::vector<std::string>& lines, std::size_t count) {
    std::string text;
    for (std::size_t n = 0; n < count && n < lines.size(); ++n) text += lines[n] + "\n";
    return text;
}

PaddedName padded(const fs::path& path) { return PaddedName(path.string()); }

// A fresh directory per test, removed afterwards.
class ScratchDir {
public:
    explicit ScratchDir(const fs::path& base = fs::temp_directory_path()) {
        std::string tmpl = (base / "tarvex-saved-XXXXXX").string();
        if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
        path_ = tmpl;
    }
    ~ScratchDir() {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(path_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    fs::path path_;
};

// A folder in memory when there is one (saves then cost no disc syncs), else
// the temporary folder.
fs::path memory_folder() {
    std::error_code ec;
    if (fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK | X_OK) == 0) return "/dev/shm";
    return fs::temp_directory_path();
}

// Every per-cell value that INDSK may touch, over the padded grid.
struct Snapshot {
    std::vector<double> values;
    static Snapshot take() {
        Snapshot s;
        const int padded = griddim.NXP1 * griddim.NYP1 * griddim.NZP1;
        for (int p = 0; p <= padded; ++p) {
            for (const double* a : {fields.U, fields.V, fields.W, fields.P, fields.T, fields.C, c2eq.C2,
                                    fields.DEN, fields.SMASS})
                s.values.push_back(a[p]);
        }
        return s;
    }
    bool operator==(const Snapshot& o) const {
        // Compared as bits, so that a NaN or a -0.0 written in counts too.
        return values.size() == o.values.size() &&
               std::memcmp(values.data(), o.values.data(), values.size() * sizeof(double)) == 0;
    }
};

void set_grid(int nx, int ny, int nz, const std::vector<double>& x, const std::vector<double>& y,
              const std::vector<double>& z) {
    griddim = GRIDDIM{nx, ny, nz, nx + 1, ny + 1, nz + 1, nx + 1, (nx + 1) * (ny + 1)};
    for (int i = 0; i <= nx; ++i) gridline.X[i] = x[i];
    for (int j = 0; j <= ny; ++j) gridline.Y[j] = y[j];
    for (int k = 0; k <= nz; ++k) gridline.Z[k] = z[k];
    for (int i = 1; i <= nx; ++i) fields.DX[i] = x[i] - x[i - 1];
    for (int j = 1; j <= ny; ++j) fields.DY[j] = y[j] - y[j - 1];
    for (int k = 1; k <= nz; ++k) fields.DZ[k] = z[k] - z[k - 1];
    const int padded = (nx + 1) * (ny + 1) * (nz + 1);
    for (int p = 0; p <= padded; ++p) {
        for (double* a : {fields.U, fields.V, fields.W, fields.P, fields.T, fields.C, c2eq.C2, fields.DEN,
                          fields.SMASS, fields.SCT, fields.CPR, fields.CPRU, fields.CPRV, fields.CPRW})
            a[p] = 0.0;
        uvaltab.UVALCELL[p] = false;
    }
    for (int k = 1; k <= nz + 1; ++k)
        for (int j = 1; j <= ny + 1; ++j)
            for (int i = 1; i <= nx + 1; ++i) {
                const int p = ARIDX(i, j, k);
                const bool real = i <= nx && j <= ny && k <= nz;
                if (real) fields.CPR[p] = 1.0;
                if (j <= ny && k <= nz) fields.CPRU[p] = (i > 1 && i <= nx) ? 1.0 : 0.0;
                if (i <= nx && k <= nz) fields.CPRV[p] = (j > 1 && j <= ny) ? 1.0 : 0.0;
                if (i <= nx && j <= ny) fields.CPRW[p] = (k > 1 && k <= nz) ? 1.0 : 0.0;
            }
    pbtable.NPB = 0;
    pbtable.PBON = 0;
    uvaltab.UVALSET = false;
    runctl.ICONC = 0;
}

class SavedFileTest : public ::testing::Test {
protected:
    // A non-uniform 4 x 3 x 3 grid with one blocked cell, one half-open cell
    // and one cell open by a mere 1e-30, and fields of every sign and size.
    void small_case() {
        set_grid(4, 3, 3, {0.0, 0.5, 1.25, 2.5, 3.0}, {0.0, 1.0, 1.5, 3.0}, {0.0, 0.3, 1.0, 2.7});
        fields.CPR[ARIDX(2, 2, 2)] = 0.0;
        fields.CPR[ARIDX(3, 1, 2)] = 0.5;
        fields.CPR[ARIDX(4, 3, 1)] = 1e-30;
        int n = 0;
        for (int k = 1; k <= 3; ++k)
            for (int j = 1; j <= 3; ++j)
                for (int i = 1; i <= 4; ++i, ++n) {
                    const int p = ARIDX(i, j, k);
                    const double s = (n % 3 == 0) ? -1.0 : 1.0;
                    fields.U[p] = s * 0.0123456789 * (n + 1);
                    fields.V[p] = -s * 1.5e-7 * (n + 3);
                    fields.W[p] = (n == 5) ? 1e-120 : s * 2.25 * n;
                    fields.P[p] = -3.7e5 + 1234.5678 * n;
                    fields.T[p] = 285.0 + 0.37 * n;
                    fields.C[p] = 1e-4 * (n + 1);
                    c2eq.C2[p] = 0.008 + 1e-5 * n;
                }
    }

    // Runs a routine with the console captured; returns its result.
    template <typename F>
    int console(F&& f) {
        sink_.clear();
        ScopedChannelSink bind(CH_CONSOLE, &sink_);
        return f();
    }

    std::vector<std::string> lines() const { return sink_.lines(); }

    bool console_has(const std::string& text) const {
        for (const auto& l : sink_.lines())
            if (l.find(text) != std::string::npos) return true;
        return false;
    }

    CaptureSink sink_;
};

// ---- layout --------------------------------------------------------------

TEST_F(SavedFileTest, LayoutOfASmallGrid) {
    set_grid(2, 3, 1, {0.0, 0.5, 2.0}, {0.0, 1.0, 2.0, 3.0}, {0.0, 2.5});
    for (int i = 1; i <= 2; ++i)
        for (int j = 1; j <= 3; ++j) {
            const int p = ARIDX(i, j, 1);
            fields.U[p] = i + j / 10.0;
            fields.T[p] = 293.15;
            fields.P[p] = -2.5;
            fields.C[p] = 0.0012;
            c2eq.C2[p] = 1e-108;
        }
    fields.V[ARIDX(1, 1, 1)] = -0.045;

    ScratchDir dir;
    const fs::path file = dir.path() / "OUTPUT";
    ASSERT_EQ(console([&] { return OUTDSK(padded(file)); }), 0);
    EXPECT_TRUE(lines().empty());
    const auto l = split_lines(read_file(file));

    // Line 1, then every block on lines of six values; the counts of the last
    // lines show each block's range.
    std::vector<std::size_t> widths;
    for (const auto& s : l) widths.push_back(s.size());
    EXPECT_EQ(widths, (std::vector<std::size_t>{12, 78, 78, 78, 78, 78, 78, 78,   // U V W, P+T two lines, C C2
                                                 39, 52, 26,                       // X(0..2) Y(0..3) Z(0..1)
                                                 78, 78, 39, 78, 26, 78, 78}));    // CPR; CPRU 9; CPRV 8; CPRW 12
    ASSERT_EQ(l.size(), 18u);
    EXPECT_EQ(l[0], "   2   3   1");
    // I outermost: (1,1) (1,2) (1,3) (2,1) (2,2) (2,3).
    EXPECT_EQ(l[1], "0.1100000E+010.1200000E+010.1300000E+010.2100000E+010.2200000E+010.2300000E+01");
    EXPECT_EQ(l[2].substr(0, 26), "-.4500000E-010.0000000E+00");
    EXPECT_EQ(l[4].substr(0, 26), "-.2500000E+010.2931500E+03");   // P, T pairs
    EXPECT_EQ(l[6].substr(0, 13), "0.1200000E+01");                // C in g/kg
    EXPECT_EQ(l[7].substr(0, 13), "0.1000000-104");                // C2 in g/kg, three-digit exponent
    EXPECT_EQ(l[8], "0.0000000E+000.5000000E+000.2000000E+01");
    // CPRU runs over I = 1..3: the far wall's faces close the block.
    EXPECT_EQ(l[13], "0.0000000E+000.0000000E+000.0000000E+00");
}

TEST_F(SavedFileTest, KVariesFastest) {
    set_grid(2, 2, 2, {0, 1, 2}, {0, 1, 2}, {0, 1, 2});
    for (int i = 1; i <= 2; ++i)
        for (int j = 1; j <= 2; ++j)
            for (int k = 1; k <= 2; ++k) fields.U[ARIDX(i, j, k)] = 100 * i + 10 * j + k;
    ScratchDir dir;
    ASSERT_EQ(console([&] { return OUTDSK(padded(dir.path() / "F")); }), 0);
    const auto l = split_lines(read_file(dir.path() / "F"));
    std::string expect;
    for (double v : {111, 112, 121, 122, 211, 212}) expect += fmt_e(v, 13, 7);
    EXPECT_EQ(l[1], expect);
    EXPECT_EQ(l[2], fmt_e(221, 13, 7) + fmt_e(222, 13, 7));
}

// ---- round trip ----------------------------------------------------------

TEST_F(SavedFileTest, RoundTripGivesBackEveryFieldToSevenDigitsAndZeroInBlockedCells) {
    small_case();
    const Snapshot saved = Snapshot::take();
    ScratchDir dir;
    const fs::path file = dir.path() / "OUTPUT";
    ASSERT_EQ(console([&] { return OUTDSK(padded(file)); }), 0);

    // Overwrite what memory holds, the padded positions included.
    const int padded_cells = griddim.NXP1 * griddim.NYP1 * griddim.NZP1;
    for (int p = 0; p <= padded_cells; ++p)
        for (double* a : {fields.U, fields.V, fields.W, fields.P, fields.T, fields.C, c2eq.C2}) a[p] = 777.0;

    ASSERT_EQ(console([&] { return INDSK(padded(file)); }), 0);
    const auto out = lines();
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out[0], free_line("reading restart data from disc"));
    EXPECT_TRUE(console_has("all inflows (kg/s, kW)"));   // the balances follow

    for (int i = 1; i <= 4; ++i)
        for (int j = 1; j <= 3; ++j)
            for (int k = 1; k <= 3; ++k) {
                SCOPED_TRACE(testing::Message() << "cell " << i << "," << j << "," << k);
                const int p = ARIDX(i, j, k);
                const std::size_t base = static_cast<std::size_t>(p) * 9;
                const double* now[] = {fields.U, fields.V, fields.W, fields.P, fields.T, fields.C, c2eq.C2};
                for (int a = 0; a < 7; ++a) {
                    const double want = fields.CPR[p] == 0.0 ? 0.0 : saved.values[base + a];
                    EXPECT_NEAR(now[a][p], want, std::fabs(want) * 5e-7) << "array " << a;
                }
            }
    // Only the real cells were read.
    EXPECT_EQ(fields.U[ARIDX(5, 1, 1)], 777.0);
    EXPECT_EQ(fields.T[ARIDX(1, 4, 1)], 777.0);
    EXPECT_EQ(fields.C[ARIDX(1, 1, 4)], 777.0);
}

TEST_F(SavedFileTest, OverwritingAnExistingFileLeavesExactlyTheNewContent) {
    small_case();
    ScratchDir dir;
    const fs::path fresh = dir.path() / "fresh", old = dir.path() / "old";
    ASSERT_EQ(console([&] { return OUTDSK(padded(fresh)); }), 0);
    write_file(old, std::string(100000, 'x'));
    ASSERT_EQ(console([&] { return OUTDSK(padded(old)); }), 0);
    EXPECT_EQ(read_file(old), read_file(fresh));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"fresh", "old"}));   // no temporary left
}

// A hand-made file: negative values, -0.0, three-digit exponents, CRLF line
// ends, and text after block 7, which is never read.
TEST_F(SavedFileTest, HandMadeFileIsReadExactly) {
    set_grid(1, 1, 2, {0, 1}, {0, 1}, {0, 1, 2});
    ScratchDir dir;
    const fs::path file = dir.path() / "hand";
    write_file(file,
               "   1   1   2\r\n"
               "-.4500000E-010.1000000-104\r\n"
               "-.0000000E+000.2500000E+01\r\n"
               "0.0000000E+00-.1000000+101\r\n"
               "0.1234567E+020.2931500E+03-.5000000E+000.2881500E+03\r\n"
               "0.1200000E+010.0000000E+00\r\n"
               "0.8000000E+010.1000000-101\r\n"
               "this line and the rest are not read\r\n");
    ASSERT_EQ(console([&] { return INDSK(padded(file)); }), 0);
    const int p1 = ARIDX(1, 1, 1), p2 = ARIDX(1, 1, 2);
    EXPECT_DOUBLE_EQ(fields.U[p1], -0.045);
    EXPECT_DOUBLE_EQ(fields.U[p2], 1e-105);
    EXPECT_EQ(fields.V[p1], 0.0);
    EXPECT_DOUBLE_EQ(fields.V[p2], 2.5);
    EXPECT_EQ(fields.W[p1], 0.0);
    EXPECT_DOUBLE_EQ(fields.W[p2], -1e100);
    EXPECT_DOUBLE_EQ(fields.P[p1], 12.34567);
    EXPECT_DOUBLE_EQ(fields.T[p1], 293.15);
    EXPECT_DOUBLE_EQ(fields.P[p2], -0.5);
    EXPECT_DOUBLE_EQ(fields.T[p2], 288.15);
    EXPECT_DOUBLE_EQ(fields.C[p1], 0.0012);
    EXPECT_EQ(fields.C[p2], 0.0);
    EXPECT_DOUBLE_EQ(c2eq.C2[p1], 0.008);
    EXPECT_DOUBLE_EQ(c2eq.C2[p2], 1e-105);
}

// ---- reading failures ----------------------------------------------------

TEST_F(SavedFileTest, MissingFileIsAnErrorAndIsNotCreated) {
    small_case();
    const Snapshot before = Snapshot::take();
    ScratchDir dir;
    const fs::path file = dir.path() / "NOSUCH";
    EXPECT_EQ(console([&] { return INDSK(padded(file)); }), -1);
    EXPECT_FALSE(fs::exists(file));
    ASSERT_EQ(lines().size(), 2u);
    EXPECT_EQ(lines()[1].rfind(free_line("restart file open error", file.string()), 0), 0u) << lines()[1];
    EXPECT_TRUE(Snapshot::take() == before);

    // A directory by that name cannot be read either.
    EXPECT_EQ(console([&] { return INDSK(padded(dir.path())); }), -1);
    EXPECT_TRUE(console_has("restart file open error"));
    EXPECT_TRUE(Snapshot::take() == before);
}

TEST_F(SavedFileTest, FileOfAnotherGridIsRefusedBeforeAnythingChanges) {
    small_case();
    ScratchDir dir;
    const fs::path file = dir.path() / "OUTPUT";
    ASSERT_EQ(console([&] { return OUTDSK(padded(file)); }), 0);
    const auto good = split_lines(read_file(file));
    const Snapshot before = Snapshot::take();
    for (const char* header : {"   2   3   3", "   4   3   2", "   4   4   3", "  12   3   3"}) {
        SCOPED_TRACE(header);
        auto l = good;
        l[0] = header;
        write_file(file, join_lines(l, l.size()));
        long long fx = 0, fy = 0, fz = 0;
        read_fixed_int(std::string_view(header).substr(0, 4), 4, fx);
        read_fixed_int(std::string_view(header).substr(4, 4), 4, fy);
        read_fixed_int(std::string_view(header).substr(8, 4), 4, fz);
        EXPECT_EQ(console([&] { return INDSK(padded(file)); }), -1);
        EXPECT_EQ(lines(), (std::vector<std::string>{
                               free_line("reading restart data from disc"),
                               free_line("restart file", file.string(), "has the grid", fx, fy, fz,
                                         "but the loaded case has", 4, 3, 3),
                           }));
        EXPECT_TRUE(Snapshot::take() == before);
    }
}

// A damaged file leaves every field as it was and names the file and line.
// The valid file of the small case has: line 1 the grid, lines 2-7 U, 8-13 V,
// 14-19 W, 20-31 P and T, 32-37 C, 38-43 C2, then the blocks not read.
TEST_F(SavedFileTest, DamagedFilesChangeNothing) {
    small_case();
    ScratchDir dir;
    const fs::path file = dir.path() / "OUTPUT";
    ASSERT_EQ(console([&] { return OUTDSK(padded(file)); }), 0);
    const auto good = split_lines(read_file(file));
    ASSERT_EQ(good[42].size(), 78u);   // the last line of C2, full
    ASSERT_EQ(good[43].size(), 65u);   // line 44: X(0..4), not read

    struct Case {
        const char* what;
        std::string text;
        int line;
        const char* says = nullptr;   // part of the message, where it matters
    };
    auto with_line = [&](int n, const std::string& text) {
        auto l = good;
        l[n - 1] = text;
        return join_lines(l, l.size());
    };
    auto with_field = [&](int n, int field, const std::string& text) {
        auto l = good;
        l[n - 1].replace(13 * (field - 1), 13, text);
        return join_lines(l, l.size());
    };
    std::string nul_line = good[11];
    nul_line[20] = '\0';
    const std::vector<Case> cases = {
        {"empty file", "", 1},
        {"grid line only", join_lines(good, 1), 2},
        {"cut inside the P and T block", join_lines(good, 25), 26},
        {"C2 lacks its last line", join_lines(good, 42), 43},
        {"last line cut inside a field", join_lines(good, 42) + good[42].substr(0, 70), 43},
        {"last line cut at a field's end", join_lines(good, 42) + good[42].substr(0, 65) + "\n", 43},
        {"a field that is not a number", with_field(10, 3, "0.12345X7E+01"), 10},
        {"a blank field", with_field(5, 6, "             "), 5},
        {"a NaN", with_field(16, 1, "          NaN"), 16},
        {"a value too large for a double", with_field(15, 2, "0.1000000+999"), 15},
        {"an extra value on a line", with_line(3, good[2] + "0.1000000E+01"), 3},
        {"an overlong line", with_line(7, good[6] + std::string(100000, ' ') + "1"), 7},
        {"a NUL byte", with_line(12, nul_line), 12},
        {"a blank line between blocks", join_lines(good, 7) + "\n" + join_lines(std::vector<std::string>(good.begin() + 7, good.end()), 99), 8},
        {"grid line not numbers", with_line(1, "   a   3   3"), 1, "(value 1 on the line is not a number)"},
        {"grid of no cells", with_line(1, "   0   3   3"), 1, "invalid grid 0 3 3: every cell count must be at least 1"},
        {"grid of a negative count", with_line(1, "   4  -3   3"), 1, "invalid grid 4 -3 3"},
        // Line 20 holds P, T of cells (1,1,1), (1,1,2), (1,1,3); all open.
        {"a temperature of 0 K in an open cell", with_field(20, 2, "0.0000000E+00"), 20,
         "value 2 on the line, the temperature 0.0000000E+00 K of an open cell, is not above 0 K (P and T data)"},
        {"a negative temperature", with_field(21, 4, "-.2931500E+03"), 21, "the temperature -.2931500E+03 K"},
        {"a temperature too close to 0 K for an air density", with_field(22, 6, "0.1000000-307"), 22,
         "is not above 0 K"},
        {"grid line short", with_line(1, "   4   3"), 1},
        {"binary junk", std::string("\x7f" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0>\0\x01\0\0\0", 24), 1},
    };
    const Snapshot before = Snapshot::take();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        write_file(file, c.text);
        EXPECT_EQ(console([&] { return INDSK(padded(file)); }), -1);
        const auto out = lines();
        ASSERT_EQ(out.size(), 2u);
        const std::string where = file.string() + " line " + std::to_string(c.line) + ":";
        EXPECT_NE(out[1].find(where), std::string::npos) << out[1];
        EXPECT_EQ(out[1].rfind(free_line("restart data error in file"), 0), 0u) << out[1];
        if (c.says) {
            EXPECT_NE(out[1].find(c.says), std::string::npos) << out[1];
        }
        EXPECT_TRUE(Snapshot::take() == before);
    }
}

// A blocked cell's temperature is not used (the reader sets it to 0, so a
// file saved after a read holds 0 K there): any value is accepted.
TEST_F(SavedFileTest, TemperatureOfABlockedCellIsNotJudged) {
    small_case();
    ScratchDir dir;
    const fs::path file = dir.path() / "OUTPUT";
    ASSERT_EQ(console([&] { return OUTDSK(padded(file)); }), 0);
    ASSERT_EQ(console([&] { return INDSK(padded(file)); }), 0);
    ASSERT_EQ(fields.T[ARIDX(2, 2, 2)], 0.0);   // blocked
    ASSERT_EQ(console([&] { return OUTDSK(padded(file)); }), 0);
    // Cell (2,2,2) is the 14th of the file's order: its T is value 4 of line 24.
    EXPECT_EQ(split_lines(read_file(file))[23].substr(39, 13), "0.0000000E+00");
    EXPECT_EQ(console([&] { return INDSK(padded(file)); }), 0);

    auto l = split_lines(read_file(file));
    l[23].replace(39, 13, "-.1000000E+01");
    write_file(file, join_lines(l, l.size()));
    EXPECT_EQ(console([&] { return INDSK(padded(file)); }), 0);
    EXPECT_EQ(fields.T[ARIDX(2, 2, 2)], 0.0);
}

// Whatever the bytes, the reader either takes the file or changes nothing.
// (Under the sanitizer build this also shows that no content makes it read or
// write outside an array.)
TEST_F(SavedFileTest, RandomlyDamagedFilesAreReadWholeOrNotAtAll) {
    small_case();
    ScratchDir dir;
    const fs::path file = dir.path() / "OUTPUT";
    ASSERT_EQ(console([&] { return OUTDSK(padded(file)); }), 0);
    const std::string good = read_file(file);
    const std::size_t read_part = [&] {   // bytes of lines 1 to 43
        std::size_t at = 0;
        for (int n = 0; n < 43; ++n) at = good.find('\n', at) + 1;
        return at;
    }();
    std::mt19937 rng(20240611);
    const char alphabet[] = "0123456789.+-E e\r\n\t\0xD*";
    int refused = 0;
    for (int round = 0; round < 400; ++round) {
        std::string text = good;
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits && !text.empty(); ++e) {
            const std::size_t at = rng() % std::min(read_part, text.size());
            switch (rng() % 4) {
                case 0: text[at] = alphabet[rng() % (sizeof alphabet - 1)]; break;
                case 1: text.erase(at, 1 + rng() % 20); break;
                case 2: text.insert(at, 1 + rng() % 3, alphabet[rng() % (sizeof alphabet - 1)]); break;
                default: text.resize(at); break;
            }
        }
        small_case();
        const Snapshot before = Snapshot::take();
        write_file(file, text);
        const int status = console([&] { return INDSK(padded(file)); });
        ASSERT_TRUE(status == 0 || status == -1);
        if (status == -1) {
            ++refused;
            ASSERT_TRUE(Snapshot::take() == before) << "round " << round;
        }
    }
    EXPECT_GT(refused, 0);
}

// A name as long as a name may be: the temporary beside it still fits.
TEST_F(SavedFileTest, SaveUnderTheLongestNameWorks) {
    small_case();
    ScratchDir dir;
    const fs::path cwd = fs::current_path();
    fs::current_path(dir.path());
    const std::string name(250, 'n');
    const int status = console([&] { return OUTDSK(PaddedName(name)); });
    fs::current_path(cwd);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{name});
    EXPECT_EQ(split_lines(read_file(dir.path() / name))[0], "   4   3   3");
}

// ---- writing failures ----------------------------------------------------

TEST_F(SavedFileTest, SaveIntoAMissingDirectoryFails) {
    small_case();
    ScratchDir dir;
    const fs::path file = dir.path() / "no" / "such" / "OUTPUT";
    EXPECT_EQ(console([&] { return OUTDSK(padded(file)); }), -1);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].rfind(free_line("file open error", file.string()), 0), 0u) << lines()[0];
    EXPECT_EQ(dir.entries(), std::vector<std::string>{});
}

TEST_F(SavedFileTest, SaveOntoADirectoryFailsAndKeepsWhatIsInIt) {
    small_case();
    ScratchDir dir;
    const fs::path target = dir.path() / "OUTPUT";
    fs::create_directory(target);
    write_file(target / "earlier", "earlier content\n");
    EXPECT_EQ(console([&] { return OUTDSK(padded(target)); }), -1);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].rfind(free_line("file open error", target.string()), 0), 0u) << lines()[0];
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_EQ(read_file(target / "earlier"), "earlier content\n");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"OUTPUT"});
}

// ---- saves in a process of their own -------------------------------------

// Runs `body` in a child process and gives its exit status: 0 when it
// returned true, 1 when false (its reasons on stderr), 77 when it could not
// become an ordinary user, 128 + the signal that ended it. With `as_user`,
// a child of root takes the user nobody, so that permission bits apply to it
// as they do to a user of the program.
int in_child(bool as_user, const std::function<bool()>& body) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (as_user && ::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(77);
        const bool ok = body();
        std::fflush(nullptr);
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A check inside a child: false, with the reason on stderr, when it fails.
bool expect_in_child(bool ok, const std::string& what) {
    if (!ok) std::fprintf(stderr, "failed in the child: %s\n", what.c_str());
    return ok;
}

// A save that runs into the file-size limit: the program ignores the limit's
// signal, so the write fails and the save reports it; the earlier file stays
// byte for byte and no temporary is left behind. The limit applies to root too.
TEST_F(SavedFileTest, SavePastTheFileSizeLimitFailsWithItsMessage) {
    small_case();
    ScratchDir dir;
    const fs::path file = dir.path() / "OUTPUT";
    ASSERT_EQ(console([&] { return OUTDSK(padded(file)); }), 0);
    const std::string earlier = read_file(file);
    ASSERT_GT(earlier.size(), 2000u);
    fields.T[ARIDX(1, 1, 1)] = 300.0;   // the new save would differ

    const int status = in_child(false, [&] {
        const char* argv[] = {"tarvex", nullptr};
        if (!expect_in_child(PROG_INIT(1, argv) == 0, "PROG_INIT")) return false;
        struct rlimit small {};
        getrlimit(RLIMIT_FSIZE, &small);
        small.rlim_cur = 1000;
        if (!expect_in_child(setrlimit(RLIMIT_FSIZE, &small) == 0, "setrlimit")) return false;
        const int result = console([&] { return OUTDSK(padded(file)); });
        return expect_in_child(result == -1, "the save reports its failure") &&
               expect_in_child(lines().size() == 1 &&
                                   lines()[0].rfind(free_line("data write error", file.string()), 0) == 0,
                               "the message: " + (lines().empty() ? std::string() : lines()[0])) &&
               expect_in_child(read_file(file) == earlier, "the earlier file stays") &&
               expect_in_child(dir.entries() == std::vector<std::string>{"OUTPUT"}, "no temporary is left");
    });
    EXPECT_EQ(status, 0) << "128 + " << SIGXFSZ << " means the limit's signal ended the program";
}

// Permission bits stop a save for a user: an existing file that the user may
// not write is refused (the rename would replace it all the same), and so is
// a save into a folder the user may not write. The earlier file stays.
TEST_F(SavedFileTest, SaveThatTheUserMayNotMakeIsRefused) {
    small_case();
    const int status = in_child(true, [&] {
        ScratchDir dir;
        const fs::path file = dir.path() / "OUTPUT";
        bool ok = expect_in_child(console([&] { return OUTDSK(padded(file)); }) == 0, "the first save");
        const std::string earlier = read_file(file);
        fields.T[ARIDX(1, 1, 1)] = 300.0;

        fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        ok &= expect_in_child(console([&] { return OUTDSK(padded(file)); }) == -1, "a read-only file is refused");
        ok &= expect_in_child(lines() == std::vector<std::string>{free_line("file open error", file.string(),
                                                                            "(Permission denied)")},
                              "the read-only file's message");
        ok &= expect_in_child(read_file(file) == earlier, "the read-only file stays");
        ok &= expect_in_child((fs::status(file).permissions() & fs::perms::owner_write) == fs::perms::none,
                              "and keeps its permissions");
        ok &= expect_in_child(dir.entries() == std::vector<std::string>{"OUTPUT"}, "no temporary");

        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
        fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
        ok &= expect_in_child(console([&] { return OUTDSK(padded(file)); }) == -1, "a read-only folder");
        ok &= expect_in_child(console_has("file open error"), "the read-only folder's message");
        ok &= expect_in_child(read_file(file) == earlier, "the file in the read-only folder stays");
        fs::permissions(dir.path(), fs::perms::owner_all);
        return ok;
    });
    if (status == 77) GTEST_SKIP() << "cannot become an ordinary user";
    EXPECT_EQ(status, 0);
}

// ---- symbolic links -------------------------------------------------------

// A save onto a symbolic link writes through it: the file the link leads to
// is replaced as a whole (a reader that had the old file open keeps reading
// the old content), and the link stays as it was.
TEST_F(SavedFileTest, SaveThroughASymbolicLinkReplacesTheLinkedFile) {
    small_case();
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> links;   // link, what it holds
        std::string lands;                                       // the file written
        bool existing;
    };
    const std::vector<Case> cases = {
        {"a relative link into another folder", {{"OUTPUT", "data/real.sav"}}, "data/real.sav", true},
        {"an absolute link", {{"OUTPUT", "@/data/real.sav"}}, "data/real.sav", true},
        {"a link to a link", {{"OUTPUT", "data/hop"}, {"data/hop", "real.sav"}}, "data/real.sav", true},
        {"a link to a file not there yet", {{"OUTPUT", "data/new.sav"}}, "data/new.sav", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir dir;
        fs::create_directory(dir.path() / "data");
        if (c.existing) write_file(dir.path() / c.lands, "earlier content\n");
        for (const auto& [link, to] : c.links)
            fs::create_symlink(to[0] == '@' ? (dir.path().string() + to.substr(1)) : to, dir.path() / link);
        std::ifstream earlier_reader;
        if (c.existing) earlier_reader.open(dir.path() / c.lands, std::ios::binary);

        const fs::path file = dir.path() / "OUTPUT";
        ASSERT_EQ(console([&] { return OUTDSK(padded(file)); }), 0) << testing::PrintToString(lines());
        for (const auto& [link, to] : c.links) {
            EXPECT_TRUE(fs::is_symlink(dir.path() / link)) << link;
            EXPECT_EQ(fs::read_symlink(dir.path() / link).string(),
                      to[0] == '@' ? (dir.path().string() + to.substr(1)) : to);
        }
        EXPECT_EQ(split_lines(read_file(dir.path() / c.lands))[0], "   4   3   3");
        if (c.existing) {
            std::ostringstream old;
            old << earlier_reader.rdbuf();
            EXPECT_EQ(old.str(), "earlier content\n");
        }
        // No temporary beside the link or the file.
        for (const auto& e : fs::recursive_directory_iterator(dir.path()))
            EXPECT_EQ(e.path().filename().string().find("tarvex-tmp"), std::string::npos) << e.path();
    }
}

TEST_F(SavedFileTest, SaveOntoALinkLoopFails) {
    small_case();
    ScratchDir dir;
    fs::create_symlink("B", dir.path() / "A");
    fs::create_symlink("A", dir.path() / "B");
    const fs::path file = dir.path() / "A";
    EXPECT_EQ(console([&] { return OUTDSK(padded(file)); }), -1);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].rfind(free_line("file open error", file.string()), 0), 0u) << lines()[0];
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"A", "B"}));
}

// ---- temporaries left behind -----------------------------------------------

// A save killed part-way (here by the file-size limit's signal, which a
// program that has not ignored it dies of) leaves its temporary, named after
// the target. The next save of that target removes it, under a short name as
// under one too long for the usual suffix, since its program is gone; so it
// does with an unlocked one of its own program. A temporary that a save still
// holds (locked), one of a program that still runs, those of other targets
// and names of another form stay.
TEST_F(SavedFileTest, NextSaveRemovesTheTemporariesOfKilledSaves) {
    small_case();
    const fs::path cwd = fs::current_path();
    for (const std::string& name : std::vector<std::string>{"OUTPUT", std::string(250, 'n')}) {
        SCOPED_TRACE(name.size());
        ScratchDir dir;
        // In the folder itself: the longer name leaves no room for a path.
        fs::current_path(dir.path());
        const fs::path file = name;
        const int status = in_child(false, [&] {
            signal(SIGXFSZ, SIG_DFL);
            struct rlimit small {};
            getrlimit(RLIMIT_FSIZE, &small);
            small.rlim_cur = 1000;
            setrlimit(RLIMIT_FSIZE, &small);
            OUTDSK(padded(file));
            return false;   // not reached
        });
        ASSERT_EQ(status, 128 + SIGXFSZ);
        const std::vector<std::string> left = dir.entries();
        ASSERT_EQ(left.size(), 1u);
        EXPECT_NE(left[0].find(".tarvex-tmp."), std::string::npos) << left[0];
        if (name == "OUTPUT") {
            EXPECT_EQ(left[0].rfind("OUTPUT.tarvex-tmp.", 0), 0u) << left[0];
        }

        // A save in progress elsewhere, and names that are not this target's.
        const std::string base = name == "OUTPUT" ? name : std::string("OTHER");
        std::vector<std::string> others = {
            base + ".tarvex-tmp.77.1",   // locked below: another save's
            "OTHER.tarvex-tmp.1.1",      // another target's
            "OUTPUT.tarvex-tmp.1",       // not of the form
            "OUTPUT.tarvex-tmp.x.1",
            "OUTPUT.tmp1.1",
        };
        // Unlocked, but its program runs (the one that started this test).
        if (name == "OUTPUT") others.push_back(name + ".tarvex-tmp." + std::to_string(::getppid()) + ".5");
        for (const auto& o : others) write_file(dir.path() / o, "x");
        // Unlocked and of this program: no save of it writes the file.
        const std::string own = name == "OUTPUT" ? name + ".tarvex-tmp." + std::to_string(::getpid()) + ".999999"
                                                 : std::string();
        if (!own.empty()) write_file(dir.path() / own, "x");
        const int held = ::open((dir.path() / others[0]).c_str(), O_RDONLY);
        ASSERT_GE(held, 0);
        ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);

        ASSERT_EQ(console([&] { return OUTDSK(padded(file)); }), 0);
        ::close(held);
        std::vector<std::string> expect = others;
        expect.push_back(name);
        std::sort(expect.begin(), expect.end());
        EXPECT_EQ(dir.entries(), expect);
        EXPECT_EQ(split_lines(read_file(file))[0], "   4   3   3");
        fs::current_path(cwd);
    }
}

// Programs that save one file at the same time never make each other's
// saves fail: a save's clean-up takes no temporary of a running program, and
// a save gives up a temporary whose lock another save's clean-up holds. Each
// program saves fields of its own; after every save the file is whole, the
// very text of one of the programs' fields. Once they have ended, the next
// save leaves the file alone in its folder.
TEST_F(SavedFileTest, ProgramsSavingOneFileAtOnceNeverFail) {
    constexpr int SAVES = 2000;
    small_case();
    ScratchDir dir(memory_folder());
    const fs::path file = dir.path() / "OUTPUT";
    struct Case {
        int programs;
    };
    for (const Case c : {Case{2}, Case{3}}) {
        SCOPED_TRACE(std::to_string(c.programs) + " programs");
        // The text each program saves.
        std::vector<std::string> texts;
        for (int n = 0; n < c.programs; ++n) {
            fields.T[ARIDX(1, 1, 1)] = 290.0 + n;
            ASSERT_EQ(console([&] { return OUTDSK(padded(file)); }), 0);
            texts.push_back(read_file(file));
        }
        // The programs wait at a pipe until all of them exist.
        int start[2];
        ASSERT_EQ(::pipe(start), 0);
        std::fflush(nullptr);
        std::vector<pid_t> pids;
        for (int n = 0; n < c.programs; ++n) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                ::close(start[1]);
                char go;
                if (::read(start[0], &go, 1) != 0) ::_exit(2);
                fields.T[ARIDX(1, 1, 1)] = 290.0 + n;
                int failed = 0, torn = 0;
                std::string first;
                for (int s = 0; s < SAVES; ++s) {
                    if (console([&] { return OUTDSK(padded(file)); }) != 0) {
                        if (failed++ == 0 && !lines().empty()) first = lines().back();
                    }
                    const std::string now = read_file(file);
                    if (std::find(texts.begin(), texts.end(), now) == texts.end()) ++torn;
                }
                if (failed > 0 || torn > 0)
                    std::fprintf(stderr, "program %d: %d failed saves (%s), %d files not whole\n", n, failed,
                                 first.c_str(), torn);
                std::fflush(nullptr);
                ::_exit(failed > 0 || torn > 0 ? 1 : 0);
            }
            ASSERT_GT(pid, 0);
            pids.push_back(pid);
        }
        ::close(start[0]);
        ::close(start[1]);   // all start
        for (const pid_t pid : pids) {
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
        }
        const std::string last = read_file(file);
        EXPECT_NE(std::find(texts.begin(), texts.end(), last), texts.end());
        ASSERT_EQ(console([&] { return OUTDSK(padded(file)); }), 0);
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"OUTPUT"});
    }
}

TEST_F(SavedFileTest, OutscrListsEveryCell) {
    set_grid(2, 1, 2, {0, 1, 2}, {0, 1}, {0, 1, 2});
    fields.U[ARIDX(2, 1, 1)] = 0.5;
    fields.T[ARIDX(2, 1, 1)] = 293.0;
    console([] {
        OUTSCR();
        return 0;
    });
    const auto out = lines();
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[0], free_line("i, j, k, u, v, w, p, t"));
    EXPECT_EQ(out[3], free_line(2, 1, 1, 0.5, 0.0, 0.0, 0.0, 293.0));
}

}  // namespace
}  // namespace tarvex
