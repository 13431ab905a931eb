// Reading rules of the case file: lines, line numbers, markers, data lines,
// optional values, terminators, the end of the file and every message form.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/instage_internal.h"
#include "engine/limits.h"
#include "tests/engine/case_testutil.h"

namespace tarvex::testing {
namespace {

TEST(CaseReader, BaseCaseLoads) {
    CaseText c;
    const LoadResult r = load_case(c);
    ASSERT_EQ(r.status, 0) << r.dump();
    EXPECT_EQ(griddim.NX, 4);
    EXPECT_EQ(griddim.NY, 3);
    EXPECT_EQ(griddim.NZ, 2);
    // The opening lines, the echoed header (its empty line echoes empty) and
    // the grid set-up lines.
    ASSERT_GE(r.console.size(), 8u);
    EXPECT_EQ(r.console[0], "");
    EXPECT_EQ(r.console[1], "");
    EXPECT_EQ(r.console[2], " " + std::string(37, '-'));
    EXPECT_EQ(r.console[3], "  reading input file...");
    EXPECT_EQ(r.console[4], "small test case");
    EXPECT_EQ(r.console[5], "");
    EXPECT_EQ(r.console[6], "  setting up grid dimensions... 4 3 2");
    const std::string limit = SMALL_BUILD ? "  250000" : " 1000000";
    EXPECT_EQ(r.console[7], " memory usage:       60 cells  of " + limit + " cells available");
    EXPECT_TRUE(r.has(" monitor location 1 1 1"));
    EXPECT_TRUE(runflags.NEWFIELDS);
    EXPECT_DOUBLE_EQ(runctl.BUOYZ, -9.81 * 353.0487804878049);
    EXPECT_DOUBLE_EQ(runctl.RTREF0, 1.0 / 293.15);
    // The file ended on the buoyant-region terminator's line end: nothing more read.
    EXPECT_EQ(runflags.NLINE, marker_line(c, 18) + 1);
}

// One failing case: the file, the lines expected together on the console and
// the line number left in NLINE.
struct FailCase {
    const char* name;
    std::string text;
    Lines expected;
};

CaseText with(int section, const std::string& data) {
    CaseText c;
    c.data[section - 1] = data;
    return c;
}

std::vector<FailCase> failing_cases() {
    std::vector<FailCase> cases;
    {
        CaseText c;
        c.data[1] = "0 0 x";   // gravity
        const int n = marker_line(c, 2) + 1;
        cases.push_back({"bad value, four lines with the line", c.text(),
                         {"  error reading values", section_line("in gravity vector"),
                          "  at line number  " + std::to_string(n), echo_line("0 0 x")}});
    }
    {
        CaseText c = with(6, "0");   // X grid terminator with one value
        const int n = marker_line(c, 6) + 1;
        cases.push_back({"short terminator", c.text(),
                         {"  missing data in file,", section_line("in X grid dimensions"),
                          "  at line number  " + std::to_string(n), echo_line("0")}});
    }
    {
        CaseText c = with(3, "20");   // temperature without contaminant
        cases.push_back({"mandatory value missing", c.text(),
                         {"  missing data in file,", section_line("in external conditions"),
                          "  at line number  " + std::to_string(marker_line(c, 3) + 1), echo_line("20")}});
    }
    {
        CaseText c = with(1, "2.5 1 1");
        cases.push_back({"real where a whole number is due", c.text(),
                         {"  error reading values", section_line("in monitor location"),
                          "  at line number  " + std::to_string(marker_line(c, 1) + 1), echo_line("2.5 1 1")}});
    }
    {
        CaseText c;
        c.markers[3] = "abc";   // fluid parameters
        const int n = marker_line(c, 4);
        cases.push_back({"three letters where a marker is due", c.text(),
                         {"  position flag not found in line number " + std::to_string(n),
                          "  expecting section start  " + section_line("in fluid parameters").substr(1)}});
    }
    {
        CaseText c;
        c.markers[3] = " ---";
        const int n = marker_line(c, 4);
        cases.push_back({"blank then hyphens is no marker", c.text(),
                         {"  position flag not found in line number " + std::to_string(n),
                          "  expecting section start  " + section_line("in fluid parameters").substr(1)}});
    }
    {
        CaseText c;
        c.markers[3] = "\n\nab\nx\nab cd\n  \n---";   // skipped lines before the marker
        c.data[3] = "1.2";
        const int n = marker_line(c, 4) + 7;
        cases.push_back({"skipped lines are counted", c.text(),
                         {"  missing data in file,", section_line("in fluid parameters"),
                          "  at line number  " + std::to_string(n), echo_line("1.2")}});
    }
    {
        CaseText c;
        c.sections = 13;   // ends after the pressure-boundary terminator
        const int n = marker_line(c, 14);
        cases.push_back({"end of file before a marker of 1 to 14", c.text(),
                         {"  unexpected end of input file", section_line("in heat gains section"),
                          "  at line number  " + std::to_string(n)}});
    }
    {
        CaseText c;
        c.sections = 0;
        cases.push_back({"end of file before the first marker", c.text(),
                         {"  unexpected end of input file", section_line("in monitor location"),
                          "  at line number  " + std::to_string(marker_line(c, 1))}});
    }
    {
        CaseText c;
        c.sections = 16;
        c.data[15] = "1 1 1 1 1 1 5 0 0 0";   // contaminant list without its terminator
        const int n = marker_line(c, 16) + 2;
        cases.push_back({"list without terminator", c.text(),
                         {"  unexpected end of input file", section_line("in contaminant section"),
                          "  at line number  " + std::to_string(n)}});
    }
    {
        CaseText c;
        c.sections = 4;
        c.data[3] = "1.2 1.8e-5\n---";   // marker of section 5, no data line
        const int n = marker_line(c, 5);
        cases.push_back({"end of file on a one-line section's data", c.text(),
                         {"  unexpected end of input file", section_line("in initial conditions"),
                          "  at line number  " + std::to_string(n)}});
    }
    {
        CaseText c = with(11, "1 1 1 1 1 1 0.1 0 0 0\n\n0 0 0 0 0 0 0 0 0 0");
        const int n = marker_line(c, 11) + 2;
        cases.push_back({"empty line inside a list", c.text(),
                         {"  missing data in file,", section_line("in inflow section"),
                          "  at line number  " + std::to_string(n), echo_line("")}});
    }
    {
        CaseText c = with(1, "5 1 1");
        cases.push_back({"monitor beyond NX", c.text(), {"  monitor location outside of grid"}});
    }
    {
        CaseText c = with(1, "0 1 1");
        cases.push_back({"monitor at 0", c.text(), {"  monitor location outside of grid"}});
    }
    {
        CaseText c = with(3, "-273.15 0");
        cases.push_back({"external temperature at absolute zero", c.text(),
                         {"  error reading values", section_line("in external conditions"),
                          "  at line number  " + std::to_string(marker_line(c, 3) + 1), echo_line("-273.15 0")}});
    }
    {
        CaseText c = with(5, "-300");
        cases.push_back({"initial temperature below absolute zero", c.text(),
                         {"  error reading values", section_line("in initial conditions"),
                          "  at line number  " + std::to_string(marker_line(c, 5) + 1), echo_line("-300")}});
    }
    {
        CaseText c;
        c.domain = "4 x 2";
        cases.push_back({"domain size not whole numbers", c.text(),
                         {"  error in reading datafile", section_line("in domain size"),
                          "  at line number  " + std::to_string(static_cast<int>(c.header.size()) + 2)}});
    }
    {
        std::string text = "case\n---\n4 3\n";   // ends inside the domain size
        cases.push_back({"end of file in the domain size", text,
                         {"  error in reading datafile", section_line("in domain size"), "  at line number  3"}});
    }
    return cases;
}

TEST(CaseReader, MessageFormsNameSectionAndLine) {
    for (const FailCase& fc : failing_cases()) {
        SCOPED_TRACE(fc.name);
        const LoadResult r = load_text(fc.text);
        EXPECT_EQ(r.status, -1);
        EXPECT_TRUE(r.has(fc.expected)) << r.dump();
    }
}

TEST(CaseReader, OpenAndHeaderErrorsNameTheFile) {
    const std::string missing = (temp_dir() / "no such case").string();
    LoadResult r = load_path(missing);
    EXPECT_EQ(r.status, -1);
    EXPECT_TRUE(r.has(Lines{"  error opening data file :", " " + missing})) << r.dump();

    // 24 description lines: no end of header among the first 24 lines.
    std::string text;
    for (int n = 1; n <= 24; ++n) text += "line " + std::to_string(n) + "\n";
    const std::string path = write_file("long header", text + "---\n1 1 1\n");
    r = load_path(path);
    EXPECT_EQ(r.status, -1);
    EXPECT_TRUE(r.has(Lines{"line 24", "  error reading data file :", " " + path})) << r.dump();

    // The file ends in the header.
    const std::string short_path = write_file("short header", "only a description\n");
    r = load_path(short_path);
    EXPECT_EQ(r.status, -1);
    EXPECT_TRUE(r.has(Lines{"  error reading data file :", " " + short_path})) << r.dump();

    // Only regular files are read: not a directory, nor a device that never ends.
    const auto dir = temp_dir() / "a directory";
    std::filesystem::create_directories(dir);
    for (const std::string& name : {dir.string(), std::string("/dev/zero")}) {
        r = load_path(name);
        EXPECT_EQ(r.status, -1);
        EXPECT_TRUE(r.has(Lines{"  error opening data file :", " " + name})) << r.dump();
    }
}

TEST(CaseReader, HeaderOfTwentyThreeLines) {
    CaseText c;
    c.header.clear();
    for (int n = 1; n <= 23; ++n) c.header.push_back("description " + std::to_string(n));
    c.markers[0] = "xyz";   // the first marker is line 26: the domain size is line 25
    const LoadResult r = load_case(c);
    EXPECT_EQ(r.status, -1);
    EXPECT_TRUE(r.has("description 23"));
    EXPECT_TRUE(r.has("  position flag not found in line number 26")) << r.dump();
}

TEST(CaseReader, DomainSize) {
    // Counts below 1 become 1.
    CaseText c;
    c.domain = "0 -3 10";
    LoadResult r = load_case(c);
    EXPECT_EQ(griddim.NX, 1);
    EXPECT_EQ(griddim.NY, 1);
    EXPECT_EQ(griddim.NZ, 10);
    EXPECT_TRUE(r.has("  setting up grid dimensions... 1 1 10"));

    // Over two lines: both are read, counted as one.
    c = CaseText();
    c.domain = "20 10\n5";
    c.markers[0] = "xyz";
    r = load_case(c);
    EXPECT_EQ(griddim.NX, 20);
    EXPECT_EQ(griddim.NY, 10);
    EXPECT_EQ(griddim.NZ, 5);
    EXPECT_TRUE(r.has("  position flag not found in line number " + std::to_string(marker_line(c, 1))))
        << r.dump();

    // Refused by the build's limits: the dimensions of the loaded case stay.
    ASSERT_EQ(load_case(CaseText()).status, 0);
    c = CaseText();
    c.domain = "100000 100000 1";
    r = load_case(c);
    EXPECT_EQ(r.status, -1);
    EXPECT_TRUE(r.has(Lines{"  sorry, not enough memory available  in this version",
                            "  maximum number of cells available:  " + std::to_string(NCELLMAX)}))
        << r.dump();
    EXPECT_EQ(griddim.NX, 4);
    EXPECT_EQ(griddim.NY, 3);
}

TEST(CaseReader, OptionalTrailingValues) {
    struct Row {
        std::string external, initial;
        double text, cext, c2ext, tinit, cinit, c2init;
    };
    const Row rows[] = {
        {"20 0", "", 293.15, 0, 0, 283.15, 0, 0},
        {"20,5", "18", 293.15, 0.005, 0, 291.15, 0, 0},
        {"-5 , 1 , 50", "22 3", 268.15, 0.001, RH2WC(50, -5), 295.15, 0.003, 0},
        {"0 0 80", "15 0 60 ignored", 273.15, 0, RH2WC(80, 0), 288.15, 0, RH2WC(60, 15)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.external + " / " + row.initial);
        CaseText c;
        c.data[2] = row.external;
        c.data[4] = row.initial;
        const LoadResult r = load_case(c);
        ASSERT_EQ(r.status, 0) << r.dump();
        EXPECT_DOUBLE_EQ(runctl.TEXT, row.text);
        EXPECT_DOUBLE_EQ(runctl.CEXT, row.cext);
        EXPECT_DOUBLE_EQ(runctl.C2EXT, row.c2ext);
        EXPECT_DOUBLE_EQ(runctl.TINIT, row.tinit);
        EXPECT_DOUBLE_EQ(runctl.CINIT, row.cinit);
        EXPECT_DOUBLE_EQ(runctl.C2INIT, row.c2init);
    }
}

TEST(CaseReader, TerminatorsNeedTheRecordsMandatoryItems) {
    // Sections 6..18 with their terminator item counts; a shorter terminator
    // is a missing-data error, the full one ends the list.
    const int needed[19] = {0, 0, 0, 0, 0, 0, 3, 3, 3, 7, 9, 10, 7, 6, 10, 9, 10, 10, 7};
    for (int s = 6; s <= 18; ++s) {
        SCOPED_TRACE(SECTION_NAMES[s - 1]);
        std::string short_terminator = "0";
        for (int n = 1; n < needed[s] - 1; ++n) short_terminator += " 0";
        CaseText c = with(s, short_terminator);
        LoadResult r = load_case(c);
        EXPECT_EQ(r.status, -1);
        EXPECT_TRUE(r.has(Lines{"  missing data in file,", section_line(SECTION_NAMES[s - 1])})) << r.dump();
        if (s >= 9) {   // a terminator's other values are not used
            c = with(s, short_terminator + " 7");
            EXPECT_EQ(load_case(c).status, 0);
        }
    }
}

TEST(CaseReader, EndOfFileBeforeTheLastSectionsIsSuccess) {
    for (int sections = 14; sections <= 17; ++sections) {
        SCOPED_TRACE(sections);
        CaseText c;
        c.data[13] = "1 1 1 1 1 1 2 0 0 0\n0 0 0 0 0 0 0 0 0 0";
        c.sections = sections;
        const LoadResult r = load_case(c);
        EXPECT_EQ(r.status, 0) << r.dump();
        EXPECT_FALSE(uvaltab.UVALSET);
        EXPECT_EQ(regions.IREG[ARIDX(2, 2, 2)], 1);
        EXPECT_DOUBLE_EQ(fields.SCT[ARIDX(1, 1, 1)], 2.0);
    }
    // Blank lines after the last terminator are looked at while the next
    // marker is searched for.
    CaseText c;
    c.sections = 15;
    const LoadResult r = load_text(c.text() + "\n  \n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(runflags.NLINE, marker_line(c, 16) + 2);
}

TEST(CaseReader, CrlfFilesAndLongLines) {
    CaseText c;
    c.eol = "\r\n";
    c.data[1] = "0 0 -9.81";
    c.data[2] = "20 0 50";   // the humidity is the last value before the CR
    LoadResult r = load_case(c);
    ASSERT_EQ(r.status, 0) << r.dump();
    EXPECT_DOUBLE_EQ(runctl.C2EXT, RH2WC(50, 20));
    EXPECT_EQ(r.console[4], "small test case");

    // Only the first 132 characters of a line count: a value beyond them is
    // ignored, and a header line of 10 MB is echoed cut to 132 characters.
    c = CaseText();
    c.data[2] = "20 0" + std::string(128, ' ') + "garbage";
    c.header = {std::string(10 * 1024 * 1024, 'h')};
    r = load_case(c);
    ASSERT_EQ(r.status, 0) << r.dump();
    EXPECT_DOUBLE_EQ(runctl.C2EXT, 0.0);
    EXPECT_TRUE(r.has(std::string(132, 'h')));

    // Binary garbage on a data line is a bad value.
    c = with(2, std::string("0 0 \x01\xff\x00", 7));
    r = load_case(c);
    EXPECT_EQ(r.status, -1);
    EXPECT_TRUE(r.has("  error reading values"));
}

TEST(CaseReader, LineThatCannotBeReadInASection) {
    casereader::set_section("in outflow section");
    casereader::case_file = nullptr;   // reading fails as on a broken file
    runflags.NLINE = 41;
    CaptureSink console;
    ScopedChannelSink bind(CH_CONSOLE, &console);
    int ints[6];
    double q;
    int count;
    EXPECT_EQ(casereader::read_record("iiiiiir", 7, ints, &q, count), -1);
    EXPECT_EQ(console.lines(),
              (Lines{"  error in reading datafile", section_line("in outflow section"), "  at line number  42"}));
}

TEST(CaseReader, FailedLoadThenCorrectedFileSameName) {
    CaseText bad = with(2, "0 0 x");
    EXPECT_EQ(load_text(bad.text(), "same.case").status, -1);
    CaseText good;
    const LoadResult r = load_text(good.text(), "same.case");
    EXPECT_EQ(r.status, 0) << r.dump();
    EXPECT_EQ(runflags.NLINE, marker_line(good, 18) + 1);
}

}  // namespace
}  // namespace tarvex::testing
