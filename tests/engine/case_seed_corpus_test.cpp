// The whole cases among the case reader's fuzz seeds (fuzz/corpus/whole_*):
// each one reads without an error and puts records of every section to use,
// so that fuzzing starts from inputs that reach every section's reader.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/limits.h"
#include "tests/engine/case_testutil.h"

namespace tarvex::testing {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> whole_seeds() {
    std::vector<fs::path> seeds;
    for (const auto& e : fs::directory_iterator(fs::path(TARVEX_SOURCE_DIR) / "fuzz" / "corpus")) {
        const std::string name = e.path().filename().string();
        if (name.rfind("whole_", 0) == 0) seeds.push_back(e.path());
    }
    std::sort(seeds.begin(), seeds.end());
    return seeds;
}

// The total line of a gain section, when it shows a total other than zero.
bool nonzero_total(const LoadResult& r, const std::string& label) {
    const std::string zero = free_line(label, 0.0);
    for (const auto& l : r.console)
        if (l.rfind(" " + label, 0) == 0) return l != zero;
    return false;
}

TEST(CaseSeedCorpus, EveryWholeCaseReadsAndUsesEverySection) {
    const std::vector<fs::path> seeds = whole_seeds();
    ASSERT_FALSE(seeds.empty());
    for (const fs::path& seed : seeds) {
        SCOPED_TRACE(seed.filename().string());
        const LoadResult r = load_path(seed.string());
        ASSERT_EQ(r.status, 0) << r.dump();
        bool inflow = false, region = false;
        for (int k = 1; k <= griddim.NZ; ++k)
            for (int j = 1; j <= griddim.NY; ++j)
                for (int i = 1; i <= griddim.NX; ++i) {
                    const int idx = ARIDX(i, j, k);
                    inflow = inflow || fields.SPU[idx] != 0.0;
                    region = region || regions.IREG[idx] != 0;
                }
        EXPECT_TRUE(inflow) << "inflows";
        EXPECT_NE(domsums.FLOWOUT, 0.0) << "outflows";
        EXPECT_GT(pbtable.NPB, 0) << "pressure boundaries";
        EXPECT_TRUE(nonzero_total(r, "Total heat gain (kW): ")) << "heat gains\n" << r.dump();
        EXPECT_TRUE(uvaltab.UVALSET) << "U-values";
        EXPECT_TRUE(nonzero_total(r, "Total contaminant gain (g/s) : ")) << "contaminant gains\n" << r.dump();
        EXPECT_TRUE(nonzero_total(r, "Total water gain (g/s) : ")) << "water gains\n" << r.dump();
        EXPECT_TRUE(region) << "regions";
    }
}

}  // namespace
}  // namespace tarvex::testing
