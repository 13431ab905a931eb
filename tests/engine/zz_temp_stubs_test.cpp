// TEMPORARY: stand-ins for routines being written elsewhere, so the case
// reader's tests link. Removed once the real ones are merged.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/channels.h"
#include "common/names.h"
#include "common/textfmt.h"
#include "engine/data.h"
#include "engine/engine.h"

namespace tarvex {

int SETUP_ARRAY(int nx, int ny, int nz) {
    long long n = (long long)(nx + 1LL) * (ny + 1LL) * (nz + 1LL);
    if (n >= NCELLMAX) {
        write_line(CH_CONSOLE, free_line(" problem size too big "));
        write_line(CH_CONSOLE, free_line(" number of cells requested: ", n));
        write_line(CH_CONSOLE, free_line("  maximum domain  ", NCELLMAX));
        return -1;
    }
    if (nx >= NDIRMAX || ny >= NDIRMAX || nz >= NDIRMAX) {
        write_line(CH_CONSOLE, free_line(" problem size too big "));
        write_line(CH_CONSOLE, free_line("  maximum grid size  ", NDIRMAX));
        return -1;
    }
    griddim.NX = nx; griddim.NY = ny; griddim.NZ = nz;
    griddim.NXP1 = nx + 1; griddim.NYP1 = ny + 1; griddim.NZP1 = nz + 1;
    griddim.JSTRIDE = nx + 1; griddim.KSTRIDE = (nx + 1) * (ny + 1);
    INITIAL();
    return 0;
}

void INITIAL() {
    runctl.ITURB = 1;
    runctl.NEWDIST = false;
    int n = (griddim.NX + 1) * (griddim.NY + 1) * (griddim.NZ + 1);
    for (int idx = 1; idx <= n; ++idx) {
        double* arrs[] = {fields.SUW, fields.AREAW, fields.CPRW, fields.SCW, fields.SPW, fields.W, fields.C,
                          fields.SCC, fields.SPC, fields.APC, fields.SUC, fields.P, fields.T, fields.SCV,
                          fields.SUU, fields.SUV, fields.AREAU, fields.AREAV, fields.MIMB, fields.CPRU,
                          fields.CPRV, fields.DEN, fields.CPR, fields.U, fields.V, fields.SCT, fields.SMASS,
                          fields.SCU, fields.SPU, fields.SPT, fields.SPV, fields.DENU, fields.DENV, fields.DENW,
                          coefs.VOL, coefs.AN, coefs.AS, coefs.AE, coefs.AW, coefs.AT, coefs.AB,
                          c2eq.C2, c2eq.SCC2, c2eq.SPC2, resid.RESUVW, resid.RESM, resid.REST, resid.RESC, resid.RESC2};
        for (double* a : arrs) a[idx] = 0.0;
        for (int f = 1; f <= 6; ++f) uvaltab.UVAL[uvidx(idx, f)] = uvaltab.UVALT[uvidx(idx, f)] = -999.0;
        uvaltab.UVALCELL[idx] = false;
        mixlen.XLMIX[idx] = 9.9e19;
        regions.IREG[idx] = 1;
    }
    uvaltab.UVALSET = false;
    for (int r = 1; r <= NREGMAX; ++r) { regions.RTREF[r] = runctl.RTREF0; regions.TREF[r] = 0.0; }
}

double T2SVP(double tc) {
    double t = tc + 273.15;
    double lp;
    if (tc >= 0) lp = -5800.2206 / t + 1.3914993 - 0.048640239 * t + 4.1764768e-05 * t * t - 1.4452093e-08 * t * t * t + 6.5459673 * std::log(t);
    else lp = -5674.5359 / t + 6.3925247 - 0.009677843 * t + 6.2215701e-07 * t * t + 2.0747825e-09 * t * t * t - 9.484024e-13 * t * t * t * t + 4.1635019 * std::log(t);
    return std::exp(lp);
}
double RH2WC(double rh, double tc) {
    if (rh <= 0) return 0;
    double x = (10132500.0 / rh / T2SVP(tc) - 1) * 1.6077687;
    return x == 0 ? 0 : 1 / x;
}
double WC2RH(double w, double tc) {
    if (w <= 0) return 0;
    double x = (w + 0.62198) * T2SVP(tc) / (w * 100 * 101325);
    if (x == 0) return 100;
    double r = 1 / x;
    return r > 101 ? 101 : r;
}

void BUILD_PBCELLS() {}

}  // namespace tarvex
