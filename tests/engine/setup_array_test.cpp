#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "common/channels.h"
#include "engine/engine.h"

namespace tarvex {
namespace {

using Lines = std::vector<std::string>;

const std::string kTooBig = "  problem size too big ";

Lines cell_limit_lines(const std::string& requested) {
    return {kTooBig, "  number of cells requested:  " + requested,
            "   maximum domain   " + std::to_string(NCELLMAX)};
}

Lines direction_limit_lines() {
    return {kTooBig, "   maximum grid size   " + std::to_string(NDIRMAX)};
}

struct Request {
    int nx, ny, nz;
    int result;
    Lines lines;
};

// The build's limit cases: the padded count (NX+1)(NY+1)(NZ+1) must stay below
// the cell limit and each count below the per-direction limit; the cell limit
// is tested first.
std::vector<Request> limit_cases() {
    std::vector<Request> rows;
    if (SMALL_BUILD) {
        rows.push_back({61, 61, 61, 0, {}});   // 238328 padded cells
        rows.push_back({62, 62, 62, -1, cell_limit_lines("250047")});
        rows.push_back({499, 1, 1, 0, {}});
        rows.push_back({500, 1, 1, -1, direction_limit_lines()});
        rows.push_back({1, 500, 1, -1, direction_limit_lines()});
        rows.push_back({1, 1, 500, -1, direction_limit_lines()});
        // Over both limits: only the cell-limit lines.
        rows.push_back({500, 500, 1, -1, cell_limit_lines("502002")});
    } else {
        rows.push_back({98, 98, 98, 0, {}});   // 970299 padded cells
        rows.push_back({99, 99, 99, -1, cell_limit_lines("1000000")});
        rows.push_back({999, 1, 1, 0, {}});
        rows.push_back({1000, 1, 1, -1, direction_limit_lines()});   // padded count only 4004
        rows.push_back({1, 1000, 1, -1, direction_limit_lines()});
        rows.push_back({1, 1, 1000, -1, direction_limit_lines()});
        rows.push_back({1000, 1000, 1, -1, cell_limit_lines("2004002")});
    }
    // A request far beyond any 32-bit product is counted exactly.
    rows.push_back({INT_MAX, INT_MAX, INT_MAX, -1, cell_limit_lines("9903520314283042199192993792")});
    rows.push_back({INT_MAX, 1, 1, -1, cell_limit_lines("8589934592")});
    return rows;
}

TEST(SetupArray, BuildLimits) {
    for (const Request& r : limit_cases()) {
        SCOPED_TRACE(std::to_string(r.nx) + " x " + std::to_string(r.ny) + " x " + std::to_string(r.nz));
        CaptureSink console;
        ScopedChannelSink bind(CH_CONSOLE, &console);
        EXPECT_EQ(SETUP_ARRAY(r.nx, r.ny, r.nz), r.result);
        EXPECT_EQ(console.lines(), r.lines);
        if (r.result == 0) {
            EXPECT_EQ(griddim.NX, r.nx);
            EXPECT_EQ(griddim.NY, r.ny);
            EXPECT_EQ(griddim.NZ, r.nz);
        }
    }
}

TEST(SetupArray, StoresDimensionsAndStrides) {
    ASSERT_EQ(SETUP_ARRAY(7, 5, 3), 0);
    EXPECT_EQ(griddim.NXP1, 8);
    EXPECT_EQ(griddim.NYP1, 6);
    EXPECT_EQ(griddim.NZP1, 4);
    EXPECT_EQ(griddim.JSTRIDE, 8);
    EXPECT_EQ(griddim.KSTRIDE, 48);
    EXPECT_EQ(ARIDX(1, 1, 1), 1);
    EXPECT_EQ(ARIDX(2, 1, 1), 2);
    EXPECT_EQ(ARIDX(1, 2, 1), 9);
    EXPECT_EQ(ARIDX(1, 1, 2), 49);
    EXPECT_EQ(ARIDX(8, 6, 4), 8 * 6 * 4);
}

// A refused grid stores nothing and does not reset the loaded case.
TEST(SetupArray, RefusalKeepsTheLoadedCase) {
    ASSERT_EQ(SETUP_ARRAY(7, 5, 3), 0);
    fields.T[ARIDX(2, 2, 2)] = 293.0;
    runctl.ITURB = 3;
    CaptureSink console;
    ScopedChannelSink bind(CH_CONSOLE, &console);
    const int too_big = SMALL_BUILD ? 62 : 99;
    EXPECT_EQ(SETUP_ARRAY(too_big, too_big, too_big), -1);
    EXPECT_EQ(SETUP_ARRAY(NDIRMAX, 1, 1), -1);
    EXPECT_EQ(griddim.NX, 7);
    EXPECT_EQ(griddim.NY, 5);
    EXPECT_EQ(griddim.NZ, 3);
    EXPECT_EQ(griddim.JSTRIDE, 8);
    EXPECT_EQ(griddim.KSTRIDE, 48);
    EXPECT_EQ(fields.T[ARIDX(2, 2, 2)], 293.0);
    EXPECT_EQ(runctl.ITURB, 3);
}

// Counts below 1 would give strides that address outside the arrays.
TEST(SetupArray, RefusesCountsBelowOne) {
    ASSERT_EQ(SETUP_ARRAY(4, 4, 4), 0);
    CaptureSink console;
    ScopedChannelSink bind(CH_CONSOLE, &console);
    EXPECT_EQ(SETUP_ARRAY(0, 4, 4), -1);
    EXPECT_EQ(SETUP_ARRAY(4, -2, 4), -1);
    EXPECT_EQ(SETUP_ARRAY(4, 4, INT_MIN), -1);
    EXPECT_EQ(console.lines().size(), 3u);
    EXPECT_EQ(griddim.NX, 4);
    EXPECT_EQ(griddim.NY, 4);
    EXPECT_EQ(griddim.NZ, 4);
}

}  // namespace
}  // namespace tarvex
