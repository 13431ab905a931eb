// Fuzz target: any bytes as a saved-data file, read by INDSK on a small
// valid case with fields in memory.
//
// Beyond the sanitizers, each run checks that the file was closed, that a
// refused file left the grid and every field as they were, and that an
// accepted one stored only finite values: fields, densities, temperatures
// above 0 K in the open cells, nothing in the blocked ones.
//
// Seeds: with TARVEX_FUZZ_SEEDS set to a folder, the target writes there the
// files the program saves for this case (new fields, after a few iterations,
// and again after reading one back) and ends; scripts/fuzz.sh starts each
// run from them, so they always fit the case above.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/names.h"
#include "engine/data.h"
#include "engine/engine.h"
#include "fuzz/fuzz_common.h"

namespace {

using namespace tarvex;
using tarvex::fuzzing::add_bits;

std::string g_path;

int padded_cells() { return griddim.NXP1 * griddim.NYP1 * griddim.NZP1; }

// Every per-cell value that INDSK and what follows it may write, the padding
// included, and the grid.
std::vector<uint64_t> loaded() {
    std::vector<uint64_t> v = {static_cast<uint64_t>(griddim.NX), static_cast<uint64_t>(griddim.NY),
                               static_cast<uint64_t>(griddim.NZ)};
    const int n = padded_cells();
    for (const double* a : {fields.U, fields.V, fields.W, fields.P, fields.T, fields.C, c2eq.C2, fields.DEN,
                            fields.DENU, fields.DENV, fields.DENW, fields.SMASS, fields.SCT, fields.SPT, fields.SCC,
                            fields.SPC, c2eq.SCC2, c2eq.SPC2})
        for (int p = 0; p <= n; ++p) add_bits(v, a[p]);
    return v;
}

bool sound() {
    const int n = padded_cells();
    for (const double* a : {fields.U, fields.V, fields.W, fields.P, fields.T, fields.C, c2eq.C2, fields.DEN,
                            fields.DENU, fields.DENV, fields.DENW})
        for (int p = 1; p <= n; ++p)
            if (!std::isfinite(a[p])) return false;
    for (int k = 1; k <= griddim.NZ; ++k)
        for (int j = 1; j <= griddim.NY; ++j)
            for (int i = 1; i <= griddim.NX; ++i) {
                const int p = ARIDX(i, j, k);
                if (fields.CPR[p] != 0.0) {
                    if (!(fields.T[p] > 0.0 && fields.DEN[p] > 0.0)) return false;
                } else if (fields.U[p] != 0.0 || fields.T[p] != 0.0 || c2eq.C2[p] != 0.0) {
                    return false;
                }
            }
    return true;
}

// The files the program saves for the case, into the folder named.
void write_seeds(const std::string& folder) {
    auto save = [&folder](const char* name) {
        if (OUTDSK(PaddedName(folder + "/" + name)) != 0) {
            std::fprintf(stderr, "fuzz: cannot write the seed %s/%s\n", folder.c_str(), name);
            std::exit(1);
        }
    };
    save("new_fields.sav");
    runctl.DT = 1.0;
    for (runctl.ITER = 1; runctl.ITER <= 5; ++runctl.ITER) {
        int iusr3 = 0, iconv = 0;
        SOLVE(iusr3, iconv);
    }
    save("five_iterations.sav");
    if (INDSK(PaddedName(folder + "/five_iterations.sav")) != 0) std::exit(1);
    save("read_back.sav");   // 0 K in the blocked cell
    std::exit(0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::silence();
    fuzzing::load_small_case();
    const char* control = "fuzz control\n---\n1 1 0\n---\n1e-3 1e-3 1e-3 1e-3\n---\n4\n---\n1 2\n---\n1 2\n"
                          "---\n0 1\n---\n0.5 0.8 0.5 0.8 0 0.01\n---\n0\n---\n1\n";
    const std::string control_path = fuzzing::scratch_path(".control");
    fuzzing::write_bytes(control_path, reinterpret_cast<const uint8_t*>(control), std::strlen(control));
    filenames.CTLFILE.assign(control_path);
    if (INPUT1() != 0) std::abort();
    std::remove(control_path.c_str());
    INIVAL();
    DENSIT();
    if (const char* seeds = std::getenv("TARVEX_FUZZ_SEEDS")) write_seeds(seeds);

    g_path = fuzzing::scratch_path(".sav");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::write_bytes(g_path, data, size);
    const std::vector<uint64_t> before = loaded();
    const int free_fd = fuzzing::lowest_free_descriptor();
    const int status = INDSK(PaddedName(g_path));
    if (status != 0 && status != -1) std::abort();
    if (fuzzing::lowest_free_descriptor() != free_fd) std::abort();   // the file must be closed
    if (status != 0) {
        if (loaded() != before) std::abort();   // a refused file changes nothing
    } else if (!sound()) {
        std::abort();
    }
    return 0;
}
