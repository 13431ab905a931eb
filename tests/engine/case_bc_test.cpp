// Inflows, outflows and the pressure-boundary table.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/limits.h"
#include "tests/engine/case_testutil.h"

namespace tarvex::testing {
namespace {

// External 20 C, 3 g/kg, 40 %; initial 18 C. Cell (2,2,2) blocked.
CaseText bc_case() {
    CaseText c;
    c.data[2] = "20 3 40";
    c.data[4] = "18";
    c.data[8] = "2 2 2 2 2 2 0\n0 0 0 0 0 0 0";
    return c;
}

TEST(CaseInflows, SourcesByRecord) {
    CaseText c = bc_case();
    c.data[10] =
        "4 4 1 1 1 1 0.05 1.5 0 0 16 5 50\n"   // full record
        "1 1 3 3 1 1 0.02 0 0 -1\n"            // 10 items: outside air
        "1 1 1 1 2 2 0.02 0 0 0 25\n"          // 11: contaminant and water of outside air
        "2 1 1 1 1 1 0 0.5 0 0 30 8\n"         // 12, high-low box, flow from the velocity
        "3 3 3 3 2 2 0.1 0 0 2 -300 9 9\n"     // momentum-only jet
        "0 0 0 0 0 0 0 0 0 0";
    const LoadResult r = load_case(c);
    ASSERT_EQ(r.status, 0) << r.dump();

    const double text = 293.15, cext = 0.003, c2ext = RH2WC(40, 20);
    struct Expect {
        int idx;
        double q, t, conc, water, u, v, w;
    };
    const Expect rows[] = {
        {at(4, 1, 1), 0.05, 16, 0.005, RH2WC(50, 16), 1.5, 0, 0},
        {at(1, 3, 1), 0.02, text - 273.15, cext, c2ext, 0, 0, -1},
        {at(1, 1, 2), 0.02, 25, cext, c2ext, 0, 0, 0},
        {at(1, 1, 1), 0.5 * 1.0 * 1.25, 30, 0.008, c2ext, 0.5, 0, 0},
        {at(2, 1, 1), 0.5 * 1.0 * 1.25, 30, 0.008, c2ext, 0.5, 0, 0},
    };
    double flowin = 0;
    for (const Expect& e : rows) {
        SCOPED_TRACE(e.idx);
        const double m = e.q * AIRDEN / (e.t + 273.15);
        flowin += m;
        EXPECT_DOUBLE_EQ(fields.SMASS[e.idx], m);
        EXPECT_DOUBLE_EQ(fields.SPT[e.idx], m);
        EXPECT_DOUBLE_EQ(fields.SCT[e.idx], (e.t + 273.15) * m);
        EXPECT_DOUBLE_EQ(fields.SCC[e.idx], e.conc * m);
        EXPECT_DOUBLE_EQ(c2eq.SCC2[e.idx], e.water * m);
        EXPECT_DOUBLE_EQ(c2eq.SPC2[e.idx], m);
        EXPECT_DOUBLE_EQ(fields.SPU[e.idx], m);
        EXPECT_DOUBLE_EQ(fields.SCU[e.idx], e.u * m);
        EXPECT_DOUBLE_EQ(fields.SCW[e.idx], e.w * m);
    }
    // The jet: momentum only, from the fluid density; no mass, heat or
    // contaminant, and nothing in the forced inflow.
    const int jet = at(3, 3, 2);
    EXPECT_EQ(fields.SMASS[jet], 0.0);
    EXPECT_EQ(fields.SCT[jet], 0.0);
    EXPECT_EQ(fields.SCC[jet], 0.0);
    EXPECT_DOUBLE_EQ(fields.SPW[jet], 0.1 * 1.2);
    EXPECT_DOUBLE_EQ(fields.SCW[jet], 2 * 0.1 * 1.2);
    EXPECT_DOUBLE_EQ(domsums.FLOWIN, flowin);
    EXPECT_TRUE(r.has(free_line("Forced inflow (kg/s): ", domsums.FLOWIN)));
    EXPECT_FALSE(r.has(WARNING[0]));
}

TEST(CaseInflows, VelocityFlowUsesEachCellsWidthsAndRecordsReplace) {
    CaseText c = bc_case();
    // x widths are 0.5 0.5 1 1: a w-only inflow over a row takes each cell's plan area.
    c.data[10] =
        "1 4 1 1 2 2 0 0 0 -0.4 20\n"
        "1 1 3 3 1 1 0.1 0 0 0 20\n"
        "1 1 3 3 1 1 0 0 0 0 20\n"          // all zero: erases the earlier record
        "0 0 0 0 0 0 0 0 0 0";
    const LoadResult r = load_case(c);
    ASSERT_EQ(r.status, 0) << r.dump();
    for (int i = 1; i <= 4; ++i) {
        SCOPED_TRACE(i);
        const double q = 0.4 * fields.DX[i] * 1.0;
        EXPECT_DOUBLE_EQ(fields.SMASS[at(i, 1, 2)], q * AIRDEN / 293.15);
    }
    for (double* a : {fields.SMASS, fields.SPU, fields.SCT, fields.SPT, c2eq.SPC2}) EXPECT_EQ(a[at(1, 3, 1)], 0.0);
    // The total counts every record, also one whose cell a later record resets.
    EXPECT_DOUBLE_EQ(domsums.FLOWIN, 0.4 * 3.0 * AIRDEN / 293.15 + 0.1 * AIRDEN / 293.15);
}

TEST(CaseInflowsOutflows, BlockedCellsWarnOnceAfterTheList) {
    CaseText c = bc_case();
    c.data[10] = "1 2 2 2 2 2 0.01 0 0 0 20\n2 2 2 2 2 2 0.01 0 0 0 20\n0 0 0 0 0 0 0 0 0 0";
    c.data[11] = "2 3 2 2 2 2 -0.01\n0 0 0 0 0 0 0";
    const LoadResult r = load_case(c);
    ASSERT_EQ(r.status, 0) << r.dump();
    const double m = 0.01 * AIRDEN / 293.15;
    // The blocked cell gets the sources but does not count.
    EXPECT_DOUBLE_EQ(fields.SMASS[at(2, 2, 2)], -0.01 * AIRDEN / 291.15);
    EXPECT_DOUBLE_EQ(domsums.FLOWIN, m);
    EXPECT_DOUBLE_EQ(domsums.FLOWOUT, -0.01 * AIRDEN / 291.15);
    Lines inflow_end = WARNING;
    inflow_end.push_back(free_line("Forced inflow (kg/s): ", domsums.FLOWIN));
    Lines outflow_end = WARNING;
    outflow_end.push_back(free_line("Total outflow (kg/s): ", domsums.FLOWOUT));
    EXPECT_TRUE(r.has(inflow_end)) << r.dump();
    EXPECT_TRUE(r.has(outflow_end)) << r.dump();
    int warnings = 0;
    for (const auto& l : r.console) warnings += l == WARNING[0];
    EXPECT_EQ(warnings, 2);

    // An outflow given positive keeps its sign and adds mass.
    c.data[11] = "1 1 1 1 1 1 0.02\n0 0 0 0 0 0 0";
    ASSERT_EQ(load_case(c).status, 0);
    EXPECT_DOUBLE_EQ(fields.SMASS[at(1, 1, 1)], 0.02 * AIRDEN / 291.15);
    EXPECT_EQ(fields.SPT[at(1, 1, 1)], 0.0);
}

TEST(CasePressureBounds, TableAndArea) {
    CaseText c = bc_case();
    c.data[12] =
        "3 1 1 1 2 2 3 0.6 -2 0.5\n"        // south face, outside air
        "4 4 2 3 1 1 2 1 5 1 -5\n"          // east face, temperature only
        "1 1 1 1 1 1 6 0 0 0 10 2 60\n"     // bounds 0 accepted
        "2 2 2 2 2 2 1 0.5 0 0.5\n"         // only a blocked cell: stored, no area
        "0 0 0 0 0 0";
    const LoadResult r = load_case(c);
    ASSERT_EQ(r.status, 0) << r.dump();
    ASSERT_EQ(pbtable.NPB, 4);
    EXPECT_EQ(pbtable.PBON, 1);
    EXPECT_EQ(pbtable.PBI1[1], 1);
    EXPECT_EQ(pbtable.PBI2[1], 3);
    EXPECT_EQ(pbtable.PBFACE[1], 3);
    EXPECT_DOUBLE_EQ(pbtable.PBCOEF[1], 0.6);
    EXPECT_DOUBLE_EQ(pbtable.PBP[1], -2);
    EXPECT_DOUBLE_EQ(pbtable.PBEXP[1], 0.5);
    EXPECT_DOUBLE_EQ(pbtable.PBT[1], 293.15);
    EXPECT_DOUBLE_EQ(pbtable.PBC[1], 0.003);
    EXPECT_NEAR(pbtable.PBC2[1], RH2WC(40, 20), 1e-9);
    EXPECT_DOUBLE_EQ(pbtable.PBT[2], 268.15);
    EXPECT_NEAR(pbtable.PBC2[2], RH2WC(WC2RH(RH2WC(40, 20), -5), -5), 1e-12);
    EXPECT_DOUBLE_EQ(pbtable.PBC[3], 0.002);
    EXPECT_DOUBLE_EQ(pbtable.PBC2[3], RH2WC(60, 10));
    EXPECT_EQ(pbtable.PBK1[4], 2);
    // Full face areas: 3 cells of DX*DZ, 2 of DY*DZ, 1 of DX*DY.
    const double area = (0.5 + 0.5 + 1) * 1.25 + 2 * 1.25 + 0.5 * 1;
    Lines end = WARNING;
    end.push_back(free_line("Total pressure bound area (m2) : ", area));
    EXPECT_TRUE(r.has(end)) << r.dump();
}

TEST(CasePressureBounds, RangeChecks) {
    struct Row {
        std::string line;
        const char* message;   // three-line form; nullptr: accepted
    };
    const Row rows[] = {
        {"1 1 1 1 1 1 0 0.5 0 0.5", "face parameter is <1 or >6, in line"},
        {"1 1 1 1 1 1 7 0.5 0 0.5", "face parameter is <1 or >6, in line"},
        {"1 1 1 1 1 1 1 1.01 0 0.5", "CV parameter is <0 or >1, in line"},
        {"1 1 1 1 1 1 1 -0.1 0 0.5", "CV parameter is <0 or >1, in line"},
        {"1 1 1 1 1 1 1 0.5 0 1.5", "flow exponent is <0 or >1, in line"},
        {"1 1 1 1 1 1 1 0.5 0 -1", "flow exponent is <0 or >1, in line"},
        {"1 5 1 1 1 1 9 2 0 2", "location not in domain, in line"},   // box first
        {"1 1 1 1 1 1 1 1 -1e6 1", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        CaseText c = bc_case();
        c.data[12] = row.line + "\n0 0 0 0 0 0";
        const LoadResult r = load_case(c);
        if (row.message == nullptr) {
            EXPECT_EQ(r.status, 0) << r.dump();
            continue;
        }
        EXPECT_EQ(r.status, -1);
        EXPECT_TRUE(r.has(Lines{section_line("in pressure bounds section"),
                                " " + std::string(row.message) + " " + std::to_string(marker_line(c, 13) + 1),
                                echo_line(row.line)}))
            << r.dump();
        EXPECT_EQ(pbtable.NPB, 0);
        EXPECT_EQ(pbtable.PBON, 0);
    }

    // Too few values, and a temperature at absolute zero.
    CaseText c = bc_case();
    c.data[12] = "1 1 1 1 1 1 1 0.5 0\n0 0 0 0 0 0";
    EXPECT_TRUE(load_case(c).has("  missing data in file,"));
    c.data[12] = "1 1 1 1 1 1 1 0.5 0 0.5 -273.15\n0 0 0 0 0 0";
    const LoadResult r = load_case(c);
    EXPECT_EQ(r.status, -1);
    EXPECT_TRUE(r.has(Lines{"  error reading values", section_line("in pressure bounds section")})) << r.dump();
}

TEST(CasePressureBounds, BuildLimit) {
    // NPBMAX rows fill the table; one more is refused.
    auto with_rows = [](int n) {
        CaseText c = bc_case();
        std::string rows;
        for (int i = 0; i < n; ++i) rows += "1 1 1 1 1 1 1 0.5 0 0.5\n";
        c.data[12] = rows + "0 0 0 0 0 0";
        return c;
    };
    LoadResult r = load_case(with_rows(NPBMAX));
    ASSERT_EQ(r.status, 0) << r.dump();
    EXPECT_EQ(pbtable.NPB, NPBMAX);
    EXPECT_EQ(NPBMAX, SMALL_BUILD ? 200 : 500);

    r = load_case(with_rows(NPBMAX + 1));
    EXPECT_EQ(r.status, -1);
    EXPECT_TRUE(r.has("  sorry , too many pressure boundaries for this version")) << r.dump();
    EXPECT_EQ(pbtable.NPB, 0);
}

}  // namespace
}  // namespace tarvex::testing
