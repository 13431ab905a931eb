// Heat, contaminant and water gains, U-value surfaces and buoyant regions.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/instage_internal.h"
#include "tests/engine/case_testutil.h"

namespace tarvex::testing {
namespace {

// Cell volumes: 0.625 m3 for i = 1, 2 and 1.25 m3 for i = 3, 4. Cells (4,3,2)
// and (3,3,1) (open fraction below 1e-20) are blocked; an inflow feeds (1,1,2).
CaseText gains_case() {
    CaseText c;
    c.data[8] = "4 4 3 3 2 2 0\n3 3 3 3 1 1 1e-25\n0 0 0 0 0 0 0";
    c.data[10] = "1 1 1 1 2 2 0.01 0 0 0 20\n0 0 0 0 0 0 0 0 0 0";
    return c;
}

TEST(CaseGains, DistributionFlags) {
    CaseText c = gains_case();
    c.data[13] =
        "3 2 1 1 1 1 2 2 2 2\n"       // total, shared by open volume
        "1 2 2 2 1 1 0.5 0 0 0\n"     // per cell
        "3 3 2 2 1 1 0.4 1 0 1\n"     // per m2 normal to y
        "4 4 2 2 1 1 0.4 0 0 1\n"     // first 0 decides: per m2 normal to x
        "1 1 3 3 1 1 0.8 1 1 1\n"     // per m3
        "2 2 3 3 1 1 0.8 1 1 2\n"     // no 0, not all alike: per m3
        "4 4 3 3 2 2 3 2 2 2\n"       // total over a box with no open volume
        "3 4 3 3 2 2 0.1 0 0 0\n"     // a blocked cell in the box gets nothing
        "1 1 1 1 2 2 0.3 0 0 0\n"     // replaces the inflow's heat
        "0 0 0 0 0 0 0 0 0 0";
    c.data[15] =
        "1 2 2 2 2 2 5 0 0 0\n"
        "3 3 1 1 2 2 0.8 1 1 2\n"
        "4 4 1 1 2 2 0.8 0 1 2\n"
        "0 0 0 0 0 0 0 0 0 0";
    c.data[16] = "1 1 3 3 2 2 2 2 2 2\n0 0 0 0 0 0 0 0 0 0";
    const LoadResult r = load_case(c);
    ASSERT_EQ(r.status, 0) << r.dump();

    struct Expect {
        const double* array;
        int idx;
        double value;
    };
    const Expect rows[] = {
        {fields.SCT, at(2, 1, 1), 2.0 / 3.0},
        {fields.SCT, at(3, 1, 1), 4.0 / 3.0},
        {fields.SCT, at(1, 2, 1), 0.5},
        {fields.SCT, at(2, 2, 1), 0.5},
        {fields.SCT, at(3, 2, 1), 0.4 * 1.0 * 1.25},
        {fields.SCT, at(4, 2, 1), 0.4 * 1.0 * 1.25},
        {fields.SCT, at(1, 3, 1), 0.8 * 0.625},
        {fields.SCT, at(2, 3, 1), 0.8 * 0.625},
        {fields.SCT, at(4, 3, 2), 0.0},
        {fields.SCT, at(3, 3, 2), 0.1},
        {fields.SCT, at(1, 1, 2), 0.3},
        {fields.SPT, at(1, 1, 2), 0.01 * AIRDEN / 293.15},
        {fields.SCC, at(1, 2, 2), 0.005},
        {fields.SCC, at(2, 2, 2), 0.005},
        {fields.SCC, at(3, 1, 2), 0.8 * 1.25 / 1000},
        {fields.SCC, at(4, 1, 2), 0.8 * 1.0 * 1.25 / 1000},
        {c2eq.SCC2, at(1, 3, 2), 0.002},
    };
    for (const Expect& e : rows) EXPECT_NEAR(e.array[e.idx], e.value, 1e-14) << e.idx;

    Lines heat_end = WARNING;
    heat_end.push_back(free_line("Total heat gain (kW): ", 5.4));
    EXPECT_TRUE(r.has(heat_end)) << r.dump();
    EXPECT_TRUE(r.has(free_line("Total contaminant gain (g/s) : ", 12.0))) << r.dump();
    EXPECT_TRUE(r.has(free_line("Total water gain (g/s) : ", 2.0))) << r.dump();
}

TEST(CaseBoxSections, BoxOutsideTheCells) {
    const struct {
        int section;
        std::string line, terminator;
    } rows[] = {
        {11, "1 1 1 1 0 1 0.1 0 0 0", "0 0 0 0 0 0 0 0 0 0"},
        {12, "1 1 4 1 1 1 -0.1", "0 0 0 0 0 0 0"},
        {14, "1 1 1 1 0 1 1 0 0 0", "0 0 0 0 0 0 0 0 0 0"},
        {16, "5 1 1 1 1 1 1 0 0 0", "0 0 0 0 0 0 0 0 0 0"},
        {17, "1 1 1 1 1 3 1 0 0 0", "0 0 0 0 0 0 0 0 0 0"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.section);
        CaseText c = gains_case();
        c.data[row.section - 1] = row.line + "\n" + row.terminator;
        const LoadResult r = load_case(c);
        EXPECT_EQ(r.status, -1);
        EXPECT_TRUE(r.has(Lines{section_line(SECTION_NAMES[row.section - 1]),
                                " location not in domain, in line " + std::to_string(marker_line(c, row.section) + 1),
                                echo_line(row.line)}))
            << r.dump();
    }
}

TEST(CaseUValues, Surfaces) {
    CaseText c = gains_case();
    c.data[14] =
        "2 2 1 1 1 1 2 0.5 -300\n"    // coupled to (4,1,1)
        "1 1 1 1 1 1 5 0.4 10\n"
        "1 1 1 1 1 1 1 0 10\n"        // U-value 0 accepted
        "1 1 1 1 1 1 5 0.8 10\n"      // replaces the bottom surface
        "4 4 3 3 2 2 6 1 0\n"         // blocked cell: skipped, no warning
        "0 0 0 0 0 0 0 0 0";
    LoadResult r = load_case(c);
    ASSERT_EQ(r.status, 0) << r.dump();
    EXPECT_DOUBLE_EQ(uval(2, 1, 1, 2), 0.5 * 1.0 * 1.25);
    EXPECT_DOUBLE_EQ(uvalt(2, 1, 1, 2), uval(2, 1, 1, 2));
    EXPECT_DOUBLE_EQ(uval(1, 1, 1, 5), 0.8 * 0.5);
    EXPECT_DOUBLE_EQ(uvalt(1, 1, 1, 5), 283.15 * 0.8 * 0.5);
    EXPECT_EQ(uval(1, 1, 1, 1), 0.0);
    EXPECT_EQ(uval(1, 1, 1, 2), -999.0);
    EXPECT_EQ(uval(4, 3, 2, 6), -999.0);
    EXPECT_TRUE(uvaltab.UVALCELL[at(1, 1, 1)]);
    EXPECT_FALSE(uvaltab.UVALCELL[at(4, 3, 2)]);
    EXPECT_TRUE(uvaltab.UVALSET);
    EXPECT_FALSE(r.has(WARNING[0]));
    // The total counts each fixed-temperature record, not the coupled one.
    EXPECT_TRUE(r.has(free_line("Total heat loss (kW/C) : ", 0.2 + 0.0 + 0.4))) << r.dump();

    // A blocked cell's faces are all closed when the grid is read, so its
    // open fraction ends at 0 exactly; a fraction between 0 and 1e-20 only
    // reaches this section when set otherwise. Such a cell raises the warning
    // and gets no surface at all.
    fields.CPR[at(3, 3, 1)] = 1e-25;
    CaptureSink console;
    int status;
    {
        ScopedChannelSink bind(CH_CONSOLE, &console);
        const std::string path = write_file("uvalue section", "---\n3 3 3 3 1 1 3 1 0\n0 0 0 0 0 0 0 0 0\n");
        casereader::case_file = std::fopen(path.c_str(), "rb");
        ASSERT_NE(casereader::case_file, nullptr);
        status = casereader::read_uvalues();
        std::fclose(casereader::case_file);
        casereader::case_file = nullptr;
    }
    EXPECT_EQ(status, 0);
    EXPECT_EQ(uval(3, 3, 1, 3), -999.0);
    EXPECT_EQ(uvalt(3, 3, 1, 3), -999.0);
    EXPECT_FALSE(uvaltab.UVALCELL[at(3, 3, 1)]);
    Lines end = WARNING;
    end.push_back(free_line("Total heat loss (kW/C) : ", 0.0));
    EXPECT_EQ(console.lines(), end);
}

TEST(CaseUValues, Errors) {
    struct Row {
        std::string line;
        const char* message;
    };
    const Row rows[] = {
        {"1 1 1 1 1 1 0 1 10", "location not in domain, in line"},
        {"1 1 1 1 1 1 7 1 10", "location not in domain, in line"},
        {"1 1 1 4 1 1 1 1 10", "location not in domain, in line"},
        {"1 1 1 1 1 1 1 -0.1 10", "U-value parameter is <0  in line"},
        // coupled surfaces whose cell two steps across is outside the grid
        {"2 2 1 1 1 1 1 1 -300", "location not in domain, in line"},
        {"2 3 1 1 1 1 2 1 -300", "location not in domain, in line"},
        {"1 1 2 2 1 1 4 1 -200", "location not in domain, in line"},
        {"1 1 1 1 1 2 5 1 -250", "location not in domain, in line"},
        {"1 1 1 1 2 2 6 1 -300", "location not in domain, in line"},
        // ... the same faces with the cell across inside, or a fixed temperature
        {"3 3 1 1 1 1 1 1 -300", nullptr},
        {"2 2 1 1 1 1 1 1 -199", nullptr},
        {"1 1 1 1 1 1 4 1 -300", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        CaseText c = gains_case();
        c.data[14] = row.line + "\n0 0 0 0 0 0 0 0 0";
        const LoadResult r = load_case(c);
        if (row.message == nullptr) {
            EXPECT_EQ(r.status, 0) << r.dump();
            continue;
        }
        EXPECT_EQ(r.status, -1);
        EXPECT_TRUE(r.has(Lines{section_line("in Temp/Uval section"),
                                " " + std::string(row.message) + " " + std::to_string(marker_line(c, 15) + 1),
                                echo_line(row.line)}))
            << r.dump();
        EXPECT_FALSE(uvaltab.UVALSET);
    }
}

TEST(CaseRegions, RecordsAndLimits) {
    CaseText c = gains_case();
    c.data[17] =
        "1 2 1 1 1 1 3\n"          // no reference temperature: the region's mean
        "3 3 1 1 1 1 25 20\n"
        "1 1 2 2 1 1 5 20\n"
        "2 2 2 2 1 1 5\n"          // the last record of a region stands
        "4 4 3 3 2 2 4 22\n"       // a blocked cell keeps its region
        "0 0 0 0 0 0 0";
    LoadResult r = load_case(c);
    ASSERT_EQ(r.status, 0) << r.dump();
    EXPECT_EQ(regions.IREG[at(1, 1, 1)], 3);
    EXPECT_EQ(regions.IREG[at(2, 1, 1)], 3);
    EXPECT_EQ(regions.IREG[at(3, 1, 1)], 25);
    EXPECT_EQ(regions.IREG[at(4, 3, 2)], 1);
    EXPECT_EQ(regions.IREG[at(4, 1, 1)], 1);
    EXPECT_EQ(regions.TREF[3], 0.0);
    EXPECT_DOUBLE_EQ(regions.TREF[25], 293.15);
    EXPECT_EQ(regions.TREF[5], 0.0);
    EXPECT_DOUBLE_EQ(regions.TREF[4], 295.15);

    struct Row {
        std::string line;
        const char* message;
    };
    const Row rows[] = {
        {"1 1 1 1 1 1 26 20", "region parameter is 0 or >25  in line"},
        {"1 1 1 1 1 1 0", "region parameter is 0 or >25  in line"},
        {"1 1 1 1 1 1 -1", "region parameter is <0  in line"},
        {"1 1 1 1 1 5 2", "location not in domain, in line"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        c.data[17] = row.line + "\n0 0 0 0 0 0 0";
        r = load_case(c);
        EXPECT_EQ(r.status, -1);
        EXPECT_TRUE(r.has(Lines{section_line("in buoyant region section"),
                                " " + std::string(row.message) + " " + std::to_string(marker_line(c, 18) + 1),
                                echo_line(row.line)}))
            << r.dump();
        EXPECT_EQ(regions.IREG[at(1, 1, 1)], 1);
        for (int n = 1; n <= 25; ++n) EXPECT_EQ(regions.TREF[n], 0.0);
    }
}

}  // namespace
}  // namespace tarvex::testing
