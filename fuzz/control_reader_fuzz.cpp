// Fuzz target: any bytes as a control file, read by INPUT1 after a small
// valid case.
//
// The input is written to a file of its own and read the way a user's
// control file is. Beyond the sanitizers, each run checks that the file was
// closed, that a refused file left every setting as it was, and that an
// accepted one stored only finite values the solver can use.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/data.h"
#include "engine/engine.h"
#include "fuzz/fuzz_common.h"

namespace {

using namespace tarvex;
using tarvex::fuzzing::add_bits;

std::string g_path;

// Every value of the run-control group and the water-vapour factor.
std::vector<uint64_t> settings() {
    std::vector<uint64_t> v;
    const RUNCTL& r = runctl;
    for (double x : {r.GX, r.GY, r.GZ, r.RLXW, r.RC0, r.RLXC, r.RC20, r.CONDT, r.RTREF0, r.TEXT, r.CEXT, r.C2EXT,
                     r.BUOYX, r.BUOYY, r.BUOYZ, r.RLXU, r.RLXV, r.RLXP, r.RLXT, r.RLXADJ, r.RU0, r.RV0, r.RW0,
                     r.RT0, r.RM0, r.VISC, r.VISEFF, r.TURBP1, r.DT, r.TEND, r.CONVC, r.CONVC2, r.DENS, r.RU,
                     r.RV, r.RW, r.RM, r.RT, r.CONVU, r.CONVT, r.CONVM, r.RC2, r.RC, r.TINIT, r.CINIT, r.C2INIT,
                     c2eq.RLXC2})
        add_bits(v, x);
    for (int32_t n : {r.ITURB, r.ITEMP, r.ITRANS, r.ITER, r.MONI, r.MONJ, r.MONK, r.RESTART, r.NPASS, r.NPASST,
                      r.IPRINT, r.ICONC, r.NSWC, r.NPASSC})
        v.push_back(static_cast<uint64_t>(static_cast<uint32_t>(n)));
    v.push_back(r.NEWDIST ? 1 : 0);
    for (char c : r.LINE) v.push_back(static_cast<unsigned char>(c));
    return v;
}

bool usable() {
    const RUNCTL& r = runctl;
    for (double x : {r.TURBP1, r.VISEFF, r.CONVU, r.CONVM, r.CONVT, r.CONVC, r.CONVC2, r.DT, r.TEND, r.RLXADJ})
        if (!std::isfinite(x)) return false;
    // Factors the equations divide by.
    for (double x : {r.RLXU, r.RLXV, r.RLXW, r.RLXT, r.RLXP, r.RLXC, c2eq.RLXC2})
        if (!(std::isfinite(x) && x > 0.0)) return false;
    if (r.ITRANS == 1 && !(r.DT > 0.0)) return false;
    return r.ITURB >= 1 && r.ITURB <= 3 && r.RLXADJ >= 0.0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::silence();
    fuzzing::load_small_case();
    g_path = fuzzing::scratch_path(".control");
    filenames.CTLFILE.assign(g_path);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::write_bytes(g_path, data, size);
    const std::vector<uint64_t> before = settings();
    const int free_fd = fuzzing::lowest_free_descriptor();
    const int status = INPUT1();
    if (fuzzing::lowest_free_descriptor() != free_fd) std::abort();   // the file must be closed
    if (status != 0) {
        if (settings() != before) std::abort();   // a refused file changes nothing
    } else if (!usable()) {
        std::abort();
    }
    return 0;
}
