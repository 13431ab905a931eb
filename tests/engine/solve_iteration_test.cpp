// The outer iteration: order of the blocks, pass counts, the per-sweep lines,
// the residual sums and the time-step convergence test.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "common/channels.h"
#include "engine/engine.h"
#include "solve_fixture.h"

namespace tarvex {
namespace {

// One open cell without faces: the residuals are known without any sweep
// changing them. The temperature equation has a source of 2 and no centre
// coefficient (RT = 2), the contaminant a source of 0.003 (RC = 0.003), and a
// fixed inflow of 0.5 kg/s gives the mass residual RM = 0.5.
void prepare_one_cell() {
    test::make_uniform_grid(1, 1, 1);
    const int p = ARIDX(1, 1, 1);
    fields.T[p] = 293.15;
    fields.SMASS[p] = 0.5;
    fields.MIMB[p] = 0.5;
    fields.SCT[p] = 2.0;
    fields.SCC[p] = 0.003;
    coefs.VOL[p] = 0.0;   // no time term in time-step mode either
    runctl.ITER = 7;
    runctl.ITEMP = 1;
    runctl.ICONC = 1;
    runctl.ITRANS = 0;
    runctl.DT = 1.0;
    runctl.IPRINT = 1;
    runctl.NPASS = 2;
    runctl.NPASST = 2;
    runctl.NPASSC = 2;
    runctl.RLXU = runctl.RLXV = runctl.RLXW = 0.5;
    runctl.RLXT = runctl.RLXC = c2eq.RLXC2 = 1.0;
    runctl.RLXP = 0.8;
    runctl.RLXADJ = 0.01;
    runctl.VISEFF = 1.8e-5;
    runctl.VISC = 1.8e-5;
    runctl.ITURB = 1;
}

std::vector<std::string> solve_lines(int iusr3 = 0, int* iconv_out = nullptr) {
    CaptureSink sink;
    ScopedChannelSink bind(CH_ITER, &sink);
    int iconv = -5;
    SOLVE(iusr3, iconv);
    if (iconv_out) *iconv_out = iconv;
    return sink.lines();
}

const std::string T_HEADER = "temperature equ: iteration no., sweep no., residual";
const std::string C_HEADER = "concentration equ: iteration no., sweep no., residual";

std::string t_line(int sweeps) { return std::string(16, ' ') + "    7" + "    " + std::to_string(sweeps) + "0.2000E+01"; }
std::string c_line(int sweeps) { return std::string(18, ' ') + "    7" + "    " + std::to_string(sweeps) + "0.3000E-02"; }
std::string m_line(int sweeps) {
    return "    7    " + std::to_string(sweeps) + "  " + "0.0000E+00" + "0.0000E+00" + "0.0000E+00" + "0.5000E+00" +
           "0.2000E+01";
}

TEST(SolveLines, LayoutsOfOneIteration) {
    prepare_one_cell();
    const std::vector<std::string> lines = solve_lines();
    const std::vector<std::string> expected = {T_HEADER, t_line(2), C_HEADER, c_line(2), m_line(2)};
    EXPECT_EQ(lines, expected);
    ASSERT_EQ(lines.size(), expected.size());
    EXPECT_EQ(lines[1].size(), 36u);
    EXPECT_EQ(lines[3].size(), 38u);
    EXPECT_EQ(lines[4].size(), 62u);
}

TEST(SolveLines, PassCountsGiveWholeCycles) {
    struct Case {
        int passes;
        std::vector<int> sweeps;
    };
    const Case cases[] = {{0, {2}}, {1, {2}}, {2, {2}}, {3, {2, 4}}, {4, {2, 4}}, {5, {2, 4, 6}}};
    for (const Case& c : cases) {
        prepare_one_cell();
        runctl.NPASST = c.passes;
        runctl.NPASSC = c.passes;
        runctl.NPASS = c.passes;
        std::vector<std::string> expected = {T_HEADER};
        for (int n : c.sweeps) expected.push_back(t_line(n));
        expected.push_back(C_HEADER);
        for (int n : c.sweeps) expected.push_back(c_line(n));
        for (int n : c.sweeps) expected.push_back(m_line(n));
        EXPECT_EQ(solve_lines(), expected) << "passes " << c.passes;
    }
}

TEST(SolveLines, SwitchedOffBlocksWriteNothing) {
    prepare_one_cell();
    runctl.ITEMP = 0;
    runctl.ICONC = 2;
    runctl.RT = 0.0;
    const std::vector<std::string> lines = solve_lines();
    // The momentum line shows the RT the temperature block last left: here 0.
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "    7    2  0.0000E+000.0000E+000.0000E+000.5000E+000.0000E+00");

    prepare_one_cell();
    runctl.IPRINT = 0;
    EXPECT_TRUE(solve_lines().empty());
}

TEST(SolveSums, SteadyWithoutPrintingSkipsPostSweepResiduals) {
    prepare_one_cell();
    runctl.IPRINT = 0;
    runctl.RT = runctl.RC = runctl.RC2 = 9.0;
    runctl.RU = runctl.RV = runctl.RW = runctl.RM = 9.0;
    int iusr3 = 0, iconv = 3;
    SOLVE(iusr3, iconv);
    EXPECT_EQ(iconv, 0);
    EXPECT_EQ(runctl.RT, 0.0);
    EXPECT_EQ(runctl.RC, 0.0);
    EXPECT_EQ(runctl.RC2, 0.0);
    EXPECT_EQ(runctl.RU, 0.0);
    EXPECT_EQ(runctl.RM, 0.0);
    // The set-up sums are filled all the same.
    EXPECT_EQ(runctl.RT0, 2.0);
    EXPECT_EQ(runctl.RC0, 0.003);
}

TEST(SolveSums, IterationStartsFromZeroSums) {
    prepare_one_cell();
    runctl.RT0 = runctl.RC0 = runctl.RC20 = runctl.RU0 = 100.0;
    runctl.CONDT = 5.0;
    domsums.SDT = domsums.XDT = domsums.SDU = domsums.XDU = domsums.SDC = domsums.XDC = 7.0;
    int iusr3 = 1, iconv = 0;   // the hook switch changes nothing either
    SOLVE(iusr3, iconv);
    EXPECT_EQ(runctl.RT0, 2.0);
    EXPECT_EQ(runctl.RC0, 0.003);
    EXPECT_EQ(runctl.RC20, 0.0);
    EXPECT_EQ(runctl.RU0, 0.0);
    EXPECT_EQ(runctl.CONDT, 0.0);
    EXPECT_EQ(domsums.SDT, 0.0);
    EXPECT_EQ(domsums.XDU, 0.0);
    EXPECT_EQ(domsums.SDC, 0.0);
}

size_t temperature_lines(const std::vector<std::string>& lines) {
    size_t n = 0;
    for (const std::string& l : lines)
        if (l.size() == 36) ++n;
    return n;
}

TEST(SolveTimeStep, ScalarBlockStopsAtItsLimit) {
    struct Case {
        double limit, source;
        size_t cycles;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // RT = 2: a limit of 2 counts as reached; below it, or with a residual that
    // is not a number, the block runs all its passes.
    for (const Case c : {Case{2.0, 2.0, 1}, Case{1.9, 2.0, 5}, Case{1e30, nan, 5}}) {
        prepare_one_cell();
        runctl.ITRANS = 1;
        runctl.NPASST = 10;
        runctl.CONVT = c.limit;
        runctl.CONVM = runctl.CONVU = 1e30;
        fields.SCT[ARIDX(1, 1, 1)] = c.source;
        EXPECT_EQ(temperature_lines(solve_lines()), c.cycles) << c.limit << " " << c.source;
    }
    // Steady: the limit never ends the block early.
    prepare_one_cell();
    runctl.NPASST = 10;
    runctl.CONVT = 1e30;
    EXPECT_EQ(temperature_lines(solve_lines()), 5u);
}

// A pressure boundary on the lone cell with the outside 10 Pa above the inside:
// the pressure level rises at the end of an iteration unless a converged time
// step returned before it.
void prepare_level_cell() {
    prepare_one_cell();
    test::fill(fields.DEN, 1.2);
    test::add_pb(1, 1, 1, 1, 1, 1, 6, 0.5, 10.0, 0.5);
    test::pb_done();
    runctl.NPASS = 6;
    runctl.IPRINT = 0;
}

TEST(SolveTimeStep, ConvergedStepReturnsBeforeThePressureLevel) {
    struct Case {
        int itrans;
        double convm;
        int iconv;
        size_t lines;
    };
    const Case cases[] = {
        {1, 1e30, 1, 1},   // limits reached at the first cycle
        {1, 0.0, 0, 3},    // mass residual above its limit: all cycles, then the level
        {0, 1e30, 0, 3},   // steady: never converges
    };
    for (const Case& c : cases) {
        prepare_level_cell();
        runctl.IPRINT = 1;
        runctl.ITEMP = 0;
        runctl.ICONC = 0;
        runctl.ITRANS = c.itrans;
        runctl.CONVM = c.convm;
        runctl.CONVU = 0.0;   // the momentum residuals are 0: equal counts as reached
        int iconv = -1;
        const std::vector<std::string> lines = solve_lines(0, &iconv);
        EXPECT_EQ(iconv, c.iconv) << c.itrans << " " << c.convm;
        EXPECT_EQ(lines.size(), c.lines) << c.itrans << " " << c.convm;
        if (c.iconv == 1)
            EXPECT_EQ(fields.P[ARIDX(1, 1, 1)], 0.0);
        else
            EXPECT_GT(fields.P[ARIDX(1, 1, 1)], 0.0);
    }
}

TEST(SolveTimeStep, NotANumberResidualIsNotConverged) {
    prepare_level_cell();
    runctl.ITRANS = 1;
    runctl.CONVM = runctl.CONVU = 1e30;
    fields.SMASS[ARIDX(1, 1, 1)] = std::numeric_limits<double>::quiet_NaN();
    pbtable.NPB = 0;
    pbtable.PBON = 0;
    int iusr3 = 0, iconv = -1;
    runctl.IPRINT = 1;
    SOLVE(iusr3, iconv);
    EXPECT_EQ(iconv, 0);
    EXPECT_TRUE(std::isnan(runctl.RM));
}

}  // namespace
}  // namespace tarvex
