// A regression record of the solver: the set-up residual sums (and the
// condensation total) of the first 30 outer iterations of the bundled example
// room (its case and control files) from new fields, once as its control file
// has it (constant effective viscosity) and once with the mixing-length model
// 3, compared bit for bit with the stored record
// tests/engine/data/room_setup_residuals.txt. Work meant to make the engine
// faster, or to restructure it, must leave every value unchanged. The record
// is checked on 1 thread, on 3 and on all the machine's cores, with the
// parallel paths taken however small the grid.
//
// Regenerating the record: only when a change is meant to change results (a
// corrected equation, a changed example case), never to make a speed or
// clean-up change pass. Run this test once with the environment variable
// TARVEX_REGENERATE_RECORD=1, e.g.
//   TARVEX_REGENERATE_RECORD=1 build/release/tests/engine_tests --gtest_filter='*RegressionRoom.*threads_1'
// which rewrites the record in the source tree, and commit the new record
// together with the change that explains it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/channels.h"
#include "engine/engine.h"
#include "engine/solver_pool.h"
#include "engine/solver_threads.h"
#include "tests/engine/parallel_paths.h"
#include "tests/engine/run_setup.h"

namespace tarvex {
namespace {

namespace fs = std::filesystem;

// The example's own control file, with its turbulence line replaced for the
// run with another model.
std::string control_text(int model, double factor) {
    std::ifstream in(fs::path(TARVEX_SOURCE_DIR) / "examples/room/room.control", std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    std::string text = s.str();
    const std::string line = "\n1 500.0 0.0\n";
    const std::size_t at = text.find(line);
    if (at == std::string::npos) {
        ADD_FAILURE() << "the example's turbulence line has changed: review this test";
        return text;
    }
    text.replace(at, line.size(), "\n" + std::to_string(model) + " " + std::to_string(factor) + " 0.0\n");
    return text;
}

constexpr int ITERATIONS = 30;

const fs::path RECORD = fs::path(TARVEX_SOURCE_DIR) / "tests/engine/data/room_setup_residuals.txt";

std::string hex(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%a", v);
    return buf;
}

// The record's text for one run: a line per iteration, the iteration number
// and RU0 RV0 RW0 RM0 RT0 RC0 RC20 CONDT in hexadecimal floating point.
std::string run_record(int model, double factor) {
    const fs::path dir = fs::temp_directory_path() / ("tarvex-regression-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path control = dir / "room.control";
    std::ofstream(control) << control_text(model, factor);

    CaptureSink console;
    ScopedChannelSink bind(CH_CONSOLE, &console);
    std::string text;
    const bool read = test::read_case_and_control(test::example_room_file("room.case"), control.string(), console);
    fs::remove_all(dir);
    if (!read) {
        ADD_FAILURE() << console.text();
        return text;
    }

    test::start_new_fields();
    for (int n = 1; n <= ITERATIONS; ++n) {
        runctl.ITER = n;
        int iusr3 = 0, iconv = 0;
        SOLVE(iusr3, iconv);
        text += std::to_string(n);
        for (double v : {runctl.RU0, runctl.RV0, runctl.RW0, runctl.RM0, runctl.RT0, runctl.RC0, runctl.RC20,
                         runctl.CONDT})
            text += " " + hex(v);
        text += "\n";
    }
    return text;
}

std::string whole_record() {
    std::string record =
        "# Set-up residual sums RU0 RV0 RW0 RM0 RT0 RC0 RC20 and CONDT of the first 30 outer iterations\n"
        "# of examples/room (room.case, room.control) from new fields, in hexadecimal floating point (exact).\n"
        "# Written by tests/engine/regression_room_test.cpp, which says when it may be rewritten.\n";
    record += "model 1, factor 500\n" + run_record(1, 500.0);
    record += "model 3, factor 1\n" + run_record(3, 1.0);
    return record;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

// A line of hexadecimal values in decimal, for the failure message.
std::string decimal(const std::string& line) {
    std::istringstream in(line);
    std::string word, out;
    while (in >> word) {
        char* end = nullptr;
        const double v = std::strtod(word.c_str(), &end);
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.17g", v);
        out += (out.empty() ? "" : " ") + ((end && *end == '\0') ? std::string(buf) : word);
    }
    return out;
}

class RegressionRoom : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { set_solver_threads(GetParam()); }

private:
    test::ParallelPaths parallel_paths_;
};

// 0 stands for the default count, the machine's cores.
INSTANTIATE_TEST_SUITE_P(Threads, RegressionRoom, ::testing::Values(1, 3, 0),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == 0 ? std::string("threads_all") : "threads_" + std::to_string(info.param);
                         });

TEST_P(RegressionRoom, FirstIterationsMatchTheRecordExactly) {
    const std::string now = whole_record();
    if (const char* regen = std::getenv("TARVEX_REGENERATE_RECORD"); regen && std::string(regen) == "1") {
        if (GetParam() != 1) GTEST_SKIP() << "the record is written by the run on 1 thread";
        fs::create_directories(RECORD.parent_path());
        std::ofstream(RECORD, std::ios::binary | std::ios::trunc) << now;
        std::printf("regression record rewritten: %s\n", RECORD.string().c_str());
        return;
    }
    std::ifstream in(RECORD, std::ios::binary);
    ASSERT_TRUE(in) << "no record at " << RECORD;
    std::ostringstream s;
    s << in.rdbuf();
    const auto want = lines_of(s.str()), got = lines_of(now);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t n = 0; n < want.size(); ++n) {
        ASSERT_EQ(got[n], want[n]) << "first difference at record line " << n + 1 << "\n  recorded: "
                                   << decimal(want[n]) << "\n  now:      " << decimal(got[n]);
    }
}

}  // namespace
}  // namespace tarvex
