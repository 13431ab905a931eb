// What the solver tests set up before they iterate, written once: steady run
// controls, and a case and control file read and started from new fields as
// a run from new fields starts (the bundled example room among them).
#pragma once

#include <string>

#include "common/channels.h"
#include "engine/data.h"
#include "engine/engine.h"

namespace tarvex::test {

// Steady run controls: fluid viscosity and density of air, no per-sweep
// lines, convergence limits 0; the turbulence model, its effective viscosity,
// the pass counts and the relaxation factors as given.
struct SteadyControls {
    double viseff;          // VISEFF
    int model = 1;          // ITURB
    int npass = 20;         // NPASS
    int npasst = 10;        // NPASST
    int npassc = 10;        // NPASSC
    double rlx_flow = 0.7;  // RLXU, RLXV, RLXW
    double rlxp = 0.5;      // RLXP
    double rlx_scalar = 0.9;   // RLXT, RLXC, RLXC2
    double rlxadj = 0.2;    // RLXADJ
};

inline void set_steady_controls(const SteadyControls& c) {
    runctl.ITURB = c.model;
    runctl.VISEFF = c.viseff;
    runctl.VISC = 1.8e-5;
    runctl.DENS = 1.2;
    runctl.ITRANS = 0;
    runctl.DT = 1.0;
    runctl.IPRINT = 0;
    runctl.NPASS = c.npass;
    runctl.NPASST = c.npasst;
    runctl.NPASSC = c.npassc;
    runctl.RLXU = runctl.RLXV = runctl.RLXW = c.rlx_flow;
    runctl.RLXP = c.rlxp;
    runctl.RLXT = c.rlx_scalar;
    runctl.RLXC = c2eq.RLXC2 = c.rlx_scalar;
    runctl.RLXADJ = c.rlxadj;
    runctl.CONVU = runctl.CONVM = runctl.CONVT = runctl.CONVC = runctl.CONVC2 = 0.0;
}

// A file of the bundled example room (examples/room).
inline std::string example_room_file(const std::string& name) {
    return std::string(TARVEX_SOURCE_DIR) + "/examples/room/" + name;
}

// Reads a case file, then a control file, with the console's lines going to
// console; true when both are accepted.
inline bool read_case_and_control(const std::string& case_file, const std::string& control_file,
                                  CaptureSink& console) {
    ScopedChannelSink bind(CH_CONSOLE, &console);
    if (!filenames.INFILE.assign(case_file) || !filenames.CTLFILE.assign(control_file)) return false;
    return INPUT0() == 0 && INPUT1() == 0;
}

// New fields, as a run from new fields starts: INIVAL, the iteration count 0,
// the time step 1 s and the mixing lengths when the turbulence model needs
// them.
inline void start_new_fields() {
    INIVAL();
    runctl.ITER = 0;
    runctl.DT = 1.0;
    if (runctl.ITURB == 2 || runctl.ITURB == 3) DIST3D();
}

}  // namespace tarvex::test
