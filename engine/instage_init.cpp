// New fields from the case's initial conditions.

#include "common/channels.h"
#include "common/textfmt.h"
#include "engine/data.h"
#include "engine/engine.h"

namespace tarvex {

void INIVAL() {
    for (int k = 1; k <= griddim.NZ; ++k) {
        for (int j = 1; j <= griddim.NY; ++j) {
            for (int i = 1; i <= griddim.NX; ++i) {
                const int idx = ARIDX(i, j, k);
                fields.U[idx] = 0.0;
                fields.V[idx] = 0.0;
                fields.W[idx] = 0.0;
                fields.P[idx] = 0.0;
                fields.T[idx] = runctl.TINIT;
                fields.C[idx] = runctl.CINIT;
                c2eq.C2[idx] = runctl.C2INIT;
                fields.MIMB[idx] = 0.0;
                fields.DEN[idx] = 0.0;
                fields.DENU[idx] = 0.0;
                fields.DENV[idx] = 0.0;
                fields.DENW[idx] = 0.0;
                coefs.AN[idx] = 0.0;
                coefs.AS[idx] = 0.0;
                coefs.AE[idx] = 0.0;
                coefs.AW[idx] = 0.0;
                coefs.AT[idx] = 0.0;
                coefs.AB[idx] = 0.0;
                resid.RESUVW[idx] = 0.0;
                resid.RESM[idx] = 0.0;
                resid.REST[idx] = 0.0;
                resid.RESC[idx] = 0.0;
                resid.RESC2[idx] = 0.0;
            }
        }
    }
    runflags.FIELDSOK = true;
    INIPRES();
}

void INIPRES() {
    if (pbtable.NPB > 0) return;
    if (domsums.FLOWIN + domsums.FLOWOUT != 0.0) {
        write_line(CH_CONSOLE, free_line(" warning, imposed flow imbalance but "));
        write_line(CH_CONSOLE, free_line("   no pressure bounds: problem may not converge."));
    }
}

}  // namespace tarvex
