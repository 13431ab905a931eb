// Reading the control file: values and defaults, the messages of every
// failure, and the file being closed whatever happens.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/channels.h"
#include "engine/engine.h"

namespace tarvex {
namespace {

namespace fs = std::filesystem;

std::string pad(const std::string& s, size_t n) {
    std::string r = s;
    r.resize(n, ' ');
    return r;
}
// The console line that names a section: a blank, then its 50-character text.
std::string section_line(const std::string& text) { return " " + pad(text, 50); }
// The echo of a data line: a blank, then its 132 characters.
std::string line_echo(const std::string& text) { return " " + pad(text, 132); }

// The data lines of a valid file, section by section.
struct Lines {
    std::string turb = "2 100.0 0.5";
    std::string conv = "1.0e-3 1.0e-4 1.0e-2 1.0e-5 2.0e-5";
    std::string passes = "20";
    std::string temp = "1 10";
    std::string conc = "1 6";
    std::string step = "0 1.0";
    std::string relax = "0.5 0.7 0.8 0.6 0.0 0.02";
    std::string print = "0";
    std::string tend = "3600.";
};

// Header lines 1-2, marker 3, then data on the even lines 4, 6, ... 20.
std::string file_text(const Lines& l) {
    return "Small room, control\nsecond header line\n--- turbulence\n" + l.turb + "\n--- convergence\n" + l.conv +
           "\n--- uvwp passes\n" + l.passes + "\n--- temperature\n" + l.temp + "\n--- concentration\n" + l.conc +
           "\n--- timestep\n" + l.step + "\n--- relaxation\n" + l.relax + "\n--- print\n" + l.print +
           "\n--- end time\n" + l.tend + "\n";
}

int open_descriptors() {
    int n = 0;
    for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
        (void)e;
        ++n;
    }
    return n;
}

class ControlFile : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = fs::temp_directory_path() /
                ("tarvex_ctl_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        runctl.VISC = 1.8e-5;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove(path_, ec);
    }

    int read_text(const std::string& text) {
        {
            std::ofstream out(path_, std::ios::binary);
            out << text;
        }
        filenames.CTLFILE.assign(path_.string());
        console_.clear();
        ScopedChannelSink bind(CH_CONSOLE, &console_);
        return INPUT1();
    }
    int read(const Lines& l) { return read_text(file_text(l)); }
    std::vector<std::string> console() const { return console_.lines(); }

    fs::path path_;
    CaptureSink console_;
};

TEST_F(ControlFile, ValidFileStoresEverySectionSilently) {
    runctl.NEWDIST = false;
    ASSERT_EQ(read(Lines{}), 0);
    EXPECT_TRUE(console().empty());
    EXPECT_EQ(runflags.NLINE, 20);
    EXPECT_EQ(runctl.ITURB, 2);
    EXPECT_DOUBLE_EQ(runctl.TURBP1, 100.0);
    EXPECT_DOUBLE_EQ(runctl.VISEFF, 100.0 * 1.8e-5);
    EXPECT_TRUE(runctl.NEWDIST);
    EXPECT_DOUBLE_EQ(runctl.CONVU, 1.0e-3);
    EXPECT_DOUBLE_EQ(runctl.CONVM, 1.0e-4);
    EXPECT_DOUBLE_EQ(runctl.CONVT, 1.0e-2);
    EXPECT_DOUBLE_EQ(runctl.CONVC, 1.0e-5);
    EXPECT_DOUBLE_EQ(runctl.CONVC2, 2.0e-5);
    EXPECT_EQ(runctl.NPASS, 20);
    EXPECT_EQ(runctl.ITEMP, 1);
    EXPECT_EQ(runctl.NPASST, 10);
    EXPECT_EQ(runctl.ICONC, 1);
    EXPECT_EQ(runctl.NPASSC, 6);
    EXPECT_EQ(runctl.ITRANS, 0);
    EXPECT_DOUBLE_EQ(runctl.DT, 1.0);
    EXPECT_DOUBLE_EQ(runctl.RLXU, 0.5);
    EXPECT_DOUBLE_EQ(runctl.RLXV, 0.5);
    EXPECT_DOUBLE_EQ(runctl.RLXW, 0.5);
    EXPECT_DOUBLE_EQ(runctl.RLXT, 0.7);
    EXPECT_DOUBLE_EQ(runctl.RLXP, 0.8);
    EXPECT_DOUBLE_EQ(runctl.RLXC, 0.6);
    EXPECT_DOUBLE_EQ(c2eq.RLXC2, 0.6);
    EXPECT_DOUBLE_EQ(runctl.RLXADJ, 0.02);
    EXPECT_EQ(runctl.IPRINT, 0);
    EXPECT_DOUBLE_EQ(runctl.TEND, 3600.0);
    EXPECT_EQ(std::string(runctl.LINE, LINE_LENGTH), pad("3600.", LINE_LENGTH));
}

TEST_F(ControlFile, LayoutVariantsThatAreAccepted) {
    // Any header length, extra values, commas, Windows line ends, a last line
    // without its line end, and markers with titles of any length.
    std::string long_header;
    for (int n = 0; n < 500; ++n) long_header += "header line " + std::to_string(n) + "\n";
    const std::string valid = file_text(Lines{});
    const std::string after_header = valid.substr(valid.find("--- turbulence"));
    std::string crlf;
    for (char c : valid) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    Lines extra;
    extra.turb = "2, 100.0, 0.5, 7, 8";
    extra.passes = "20 1 2 3";
    extra.tend = "3600. 99 x";

    struct Case {
        const char* what;
        std::string text;
        int nline;
    };
    const std::vector<Case> cases = {
        {"500 header lines", long_header + after_header, 518},
        {"no header at all", after_header, 18},
        {"CR LF line ends", crlf, 20},
        {"last line without line end", valid.substr(0, valid.size() - 1), 20},
        {"extra values", file_text(extra), 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(read_text(c.text), 0);
        EXPECT_TRUE(console().empty());
        EXPECT_EQ(runflags.NLINE, c.nline);
        EXPECT_EQ(runctl.NPASS, 20);
        EXPECT_DOUBLE_EQ(runctl.TEND, 3600.0);
        EXPECT_DOUBLE_EQ(runctl.TURBP1, 100.0);
    }
}

TEST_F(ControlFile, WaterVapourLimitDefaultsToContaminantLimit) {
    struct Case {
        std::string conv;
        double convc2;
    };
    const std::vector<Case> cases = {
        {"1e-3 1e-4 1e-2 3e-5", 3e-5},          // four values
        {"1e-3 1e-4 1e-2 3e-5 0.0", 3e-5},      // fifth 0
        {"1e-3 1e-4 1e-2 3e-5 -1.0", 3e-5},     // fifth negative
        {"1e-3 1e-4 1e-2 3e-5 abc", 3e-5},      // fifth unreadable
        {"1e-3 1e-4 1e-2 3e-5 7e-6", 7e-6},     // fifth given
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.conv);
        runctl.CONVC2 = 123.0;   // whatever an earlier file set
        Lines l;
        l.conv = c.conv;
        EXPECT_EQ(read(l), 0);
        EXPECT_TRUE(console().empty());
        EXPECT_DOUBLE_EQ(runctl.CONVC, 3e-5);
        EXPECT_DOUBLE_EQ(runctl.CONVC2, c.convc2);
    }
}

TEST_F(ControlFile, PressureLevelFactorDefault) {
    struct Case {
        std::string relax;
        double rlxadj;
    };
    const std::vector<Case> cases = {
        {"0.5 0.7 0.8 0.6 0.0", 0.01},          // five values
        {"0.5 0.7 0.8 0.6 0.0 0.0", 0.0},       // zero stays
        {"0.5 0.7 0.8 0.6 0.0 -0.3", 0.01},     // negative becomes the default
        {"0.5 0.7 0.8 0.6 2.0 0.2", 0.2},       // any fifth value of 0 or more
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.relax);
        runctl.RLXADJ = 5.0;
        Lines l;
        l.relax = c.relax;
        EXPECT_EQ(read(l), 0);
        EXPECT_TRUE(console().empty());
        EXPECT_DOUBLE_EQ(runctl.RLXADJ, c.rlxadj);
    }
}

// Lines refused as values: " error reading values", the section, the line
// number and the line. The refused divisors are not stored.
TEST_F(ControlFile, RefusedValues) {
    struct Case {
        const char* what;
        Lines lines;
        std::string section;
        int nline;
        std::string echo;
    };
    std::vector<Case> cases;
    auto add = [&](const char* what, auto edit, const std::string& section, int nline) {
        Lines l;
        edit(l);
        std::string echo = nline == 4 ? l.turb : nline == 6 ? l.conv : nline == 14 ? l.step : l.relax;
        cases.push_back({what, l, section, nline, echo});
    };
    add("model written as a real", [](Lines& l) { l.turb = "2.5 100.0 0.5"; }, " in turbulence ", 4);
    add("unreadable third turbulence value", [](Lines& l) { l.turb = "2 100.0 x"; }, " in turbulence ", 4);
    add("unreadable required limit", [](Lines& l) { l.conv = "1e-3 1e-4 q 1e-5"; }, " in convergence ", 6);
    add("time step 0 in time-step mode", [](Lines& l) { l.step = "1 0.0"; }, " in timestep", 14);
    add("negative time step in time-step mode", [](Lines& l) { l.step = "1 -2.0"; }, " in timestep", 14);
    add("time step beyond the largest number", [](Lines& l) { l.step = "1 1.0e999"; }, " in timestep", 14);
    add("negative fifth relaxation value", [](Lines& l) { l.relax = "0.5 0.7 0.8 0.6 -1.0"; },
        " in relaxation factors", 16);
    add("negative fifth with a sixth", [](Lines& l) { l.relax = "0.5 0.7 0.8 0.6 -1.0 0.02"; },
        " in relaxation factors", 16);
    add("only four relaxation values", [](Lines& l) { l.relax = "0.5 0.7 0.8 0.6"; }, " in relaxation factors", 16);
    add("empty relaxation line", [](Lines& l) { l.relax = ""; }, " in relaxation factors", 16);
    add("flow factor 0", [](Lines& l) { l.relax = "0.0 0.7 0.8 0.6 0.0"; }, " in relaxation factors", 16);
    add("temperature factor negative", [](Lines& l) { l.relax = "0.5 -0.7 0.8 0.6 0.0"; },
        " in relaxation factors", 16);
    add("pressure factor 0", [](Lines& l) { l.relax = "0.5 0.7 0 0.6 0.0"; }, " in relaxation factors", 16);
    add("contaminant factor negative", [](Lines& l) { l.relax = "0.5 0.7 0.8 -0.1 0.0"; },
        " in relaxation factors", 16);

    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        runctl.DT = 4.0;
        runctl.RLXU = runctl.RLXV = runctl.RLXW = runctl.RLXT = runctl.RLXP = runctl.RLXC = 0.25;
        EXPECT_NE(read(c.lines), 0);
        const std::vector<std::string> expected = {"  error reading values", section_line(c.section),
                                                   "  at line number  " + std::to_string(c.nline),
                                                   line_echo(c.echo)};
        EXPECT_EQ(console(), expected);
        EXPECT_GT(runctl.DT, 0.0);
        for (double f : {runctl.RLXU, runctl.RLXV, runctl.RLXW, runctl.RLXT, runctl.RLXP, runctl.RLXC})
            EXPECT_GT(f, 0.0);
    }
}

TEST_F(ControlFile, TimeStepIsFreeInSteadyMode) {
    Lines l;
    l.step = "0 0.0";
    EXPECT_EQ(read(l), 0);
    EXPECT_EQ(runctl.ITRANS, 0);
    EXPECT_DOUBLE_EQ(runctl.DT, 0.0);
    l.step = "1 30.0";
    EXPECT_EQ(read(l), 0);
    EXPECT_EQ(runctl.ITRANS, 1);
    EXPECT_DOUBLE_EQ(runctl.DT, 30.0);
}

// The settings of one control file, as INPUT1 stores them.
std::vector<double> control_values() {
    return {double(runctl.ITURB), double(runctl.NPASS), double(runctl.ITEMP), double(runctl.NPASST),
            double(runctl.ICONC), double(runctl.NPASSC), double(runctl.ITRANS), double(runctl.IPRINT),
            runctl.TURBP1, runctl.VISEFF, runctl.CONVU, runctl.CONVM, runctl.CONVT, runctl.CONVC,
            runctl.CONVC2, runctl.DT, runctl.RLXU, runctl.RLXV, runctl.RLXW, runctl.RLXT, runctl.RLXP,
            runctl.RLXC, c2eq.RLXC2, runctl.RLXADJ, runctl.TEND, double(runctl.NEWDIST)};
}

// A file that fails anywhere leaves every setting of the file read before:
// the first sections of a broken file do not mix with an earlier file's.
TEST_F(ControlFile, AFailedFileChangesNoSetting) {
    ASSERT_EQ(read(Lines{}), 0);
    const std::vector<double> loaded = control_values();

    std::vector<std::pair<const char*, std::string>> broken;
    auto with = [&](const char* what, std::string Lines::*line, const char* text) {
        Lines l;
        l.turb = "3 50.0 0.5";   // differs from the loaded file from the first section on
        l.passes = "7";
        l.*line = text;
        broken.push_back({what, file_text(l)});
    };
    with("too few relaxation factors", &Lines::relax, "0.3 0.4");
    with("turbulence model 4", &Lines::turb, "4 50.0 0.5");
    with("an unreadable end time", &Lines::tend, "soon");
    with("a negative fifth relaxation value", &Lines::relax, "0.3 0.4 0.5 0.6 -1");
    with("a time step of 0 in time-step mode", &Lines::step, "1 0.0");
    const std::string valid = file_text(Lines{});
    broken.push_back({"the file ends before the end time", valid.substr(0, valid.find("--- end time"))});
    broken.push_back({"a marker missing", valid.substr(0, valid.find("--- print")) + "0\n" +
                                             valid.substr(valid.find("--- print"))});

    for (const auto& [what, text] : broken) {
        SCOPED_TRACE(what);
        EXPECT_NE(read_text(text), 0);
        EXPECT_FALSE(console().empty());
        EXPECT_EQ(control_values(), loaded);
    }
}

TEST_F(ControlFile, MissingData) {
    struct Case {
        Lines lines;
        std::string section;
        int nline;
        std::string echo;
    };
    std::vector<Case> cases;
    {
        Lines l;
        l.turb = "2 100.0";
        cases.push_back({l, " in turbulence ", 4, l.turb});
    }
    {
        Lines l;
        l.conv = "1e-3 1e-4 1e-2";
        cases.push_back({l, " in convergence ", 6, l.conv});
    }
    {
        Lines l;
        l.temp = "1";
        cases.push_back({l, " in temperature passes", 10, l.temp});
    }
    {
        Lines l;
        l.step = "1";
        cases.push_back({l, " in timestep", 14, l.step});
    }
    {
        Lines l;
        l.tend = "";
        cases.push_back({l, " in time at end", 20, l.tend});
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.section);
        EXPECT_EQ(read(c.lines), -1);
        const std::vector<std::string> expected = {"  missing data in file,", section_line(c.section),
                                                   "  at line number  " + std::to_string(c.nline),
                                                   line_echo(c.echo)};
        EXPECT_EQ(console(), expected);
    }
}

TEST_F(ControlFile, TurbulenceModelOutOfRange) {
    for (int model : {0, 4}) {
        SCOPED_TRACE(model);
        runctl.ITURB = 2;
        runctl.NEWDIST = false;
        runctl.VISEFF = -1.0;
        Lines l;
        l.turb = std::to_string(model) + " 50.0 0.0";
        EXPECT_EQ(read(l), -1);
        const std::vector<std::string> expected = {
            section_line(" in turbulence "), "  turbulence model not available :  " + std::to_string(model),
            "  at line number  4", line_echo(l.turb)};
        EXPECT_EQ(console(), expected);
        // The refused file changes nothing.
        EXPECT_EQ(runctl.ITURB, 2);
        EXPECT_DOUBLE_EQ(runctl.VISEFF, -1.0);
        EXPECT_FALSE(runctl.NEWDIST);
    }
}

TEST_F(ControlFile, FileLayoutFailures) {
    const std::string valid = file_text(Lines{});
    auto cut_after = [&](const std::string& marker) { return valid.substr(0, valid.find(marker) + marker.size() + 1); };
    std::string blank_before_marker = valid;
    blank_before_marker.insert(valid.find("--- uvwp"), "\n");
    std::string no_marker = valid;
    no_marker.replace(valid.find("--- temperature"), 3, "-- ");

    struct Case {
        const char* what;
        std::string text;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"empty file", "",
         {"  unexpected end of input file", section_line(" in header"), "  at line number  1"}},
        {"no marker anywhere", "one\ntwo\nthree\n",
         {"  unexpected end of input file", section_line(" in header"), "  at line number  4"}},
        {"ends after the header", "head\n---\n",
         {"  unexpected end of input file", section_line(" in turbulence "), "  at line number  3"}},
        {"ends before a marker", valid.substr(0, valid.find("--- print")),
         {"  unexpected end of input file", section_line(" in print "), "  at line number  17"}},
        {"ends after the last marker", cut_after("--- end time"),
         {"  unexpected end of input file", section_line(" in time at end"), "  at line number  20"}},
        {"blank line before a marker", blank_before_marker,
         {"  position flag not found in line number 7", "  expecting section start " + section_line(" in uvwp passes ")}},
        {"marker of two hyphens", no_marker,
         {"  position flag not found in line number 9",
          "  expecting section start " + section_line(" in temperature passes")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(read_text(c.text), -1);
        EXPECT_EQ(console(), c.expected);
    }
}

TEST_F(ControlFile, MissingFile) {
    filenames.CTLFILE.assign((fs::temp_directory_path() / "tarvex_no_such_control_file").string());
    CaptureSink sink;
    ScopedChannelSink bind(CH_CONSOLE, &sink);
    EXPECT_EQ(INPUT1(), -1);
    const std::vector<std::string> expected = {"  error opening control file",
                                               " " + std::string(filenames.CTLFILE.padded()),
                                               " (No such file or directory)"};
    EXPECT_EQ(sink.lines(), expected);

    // A directory cannot be read as a control file either.
    sink.clear();
    filenames.CTLFILE.assign(fs::temp_directory_path().string());
    EXPECT_EQ(INPUT1(), -1);
    ASSERT_FALSE(sink.lines().empty());
    EXPECT_EQ(sink.lines()[0], "  error opening control file");
}

TEST_F(ControlFile, ClosedOnEveryPath) {
    Lines bad_model;
    bad_model.turb = "9 1 1";
    Lines bad_relax;
    bad_relax.relax = "0 0 0 0 0";
    Lines missing;
    missing.print = "";
    const std::vector<std::string> texts = {file_text(Lines{}), file_text(bad_model), file_text(bad_relax),
                                            file_text(missing), "", "head\n---\n", "x\n---\n1 1 1\nnot a marker\n"};
    const int before = open_descriptors();
    for (int round = 0; round < 3; ++round)
        for (const auto& t : texts) read_text(t);
    EXPECT_EQ(open_descriptors(), before);
}

TEST_F(ControlFile, LongLinesKeepTheirFirst132Characters) {
    Lines l;
    l.passes = "20" + std::string(130, ' ') + "7 junk beyond the line length";
    EXPECT_EQ(read(l), 0);
    EXPECT_EQ(runctl.NPASS, 20);

    // A value that starts beyond column 132 is not on the line.
    l = Lines{};
    l.temp = "1" + std::string(140, ' ') + "10";
    EXPECT_EQ(read(l), -1);
    ASSERT_FALSE(console().empty());
    EXPECT_EQ(console()[0], "  missing data in file,");
    EXPECT_EQ(console()[3], line_echo("1"));
}

}  // namespace
}  // namespace tarvex
