// Temporary stand-ins for routines that other work provides, so that the
// equation tests link until those routines are merged. Remove after merging.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/engine.h"

namespace tarvex {

double T2SVP(double tc) {
    const double t = tc + 273.15;
    double lnp;
    if (tc >= 0)
        lnp = -5800.2206 / t + 1.3914993 + -0.048640239 * t + 4.1764768e-05 * t * t + -1.4452093e-08 * t * t * t +
              6.5459673 * std::log(t);
    else
        lnp = -5674.5359 / t + 6.3925247 + -0.009677843 * t + 6.2215701e-07 * t * t + 2.0747825e-09 * t * t * t +
              -9.484024e-13 * t * t * t * t + 4.1635019 * std::log(t);
    return std::exp(lnp);
}

double RH2WC(double rh, double tc) {
    if (rh <= 0) return 0;
    const double x = (10132500.0 / rh / T2SVP(tc) - 1.0) * 1.6077687;
    return x == 0 ? 0 : 1 / x;
}

double WC2RH(double w, double tc) {
    if (w <= 0) return 0;
    const double x = (w + 0.62198) * T2SVP(tc) / (w * 100 * 101325);
    if (x == 0) return 100;
    const double rh = 1 / x;
    return rh > 101 ? 101 : rh;
}

void SUBC() {}
void USRSUB2() {}

}  // namespace tarvex
