// Psychrometric functions at the standard atmospheric pressure of 101325 Pa.

#include <algorithm>
#include <cmath>

#include "engine/engine.h"

namespace tarvex {

// Saturation vapour pressure (Pa) at tc degrees Celsius: over liquid water
// from 0 degrees C up, over ice below. The branch is chosen on tc, so the two
// formulas meet with a small step at 0 (611.15 Pa just below, 611.21 Pa at 0).
double T2SVP(double tc) {
    // Over ice.
    constexpr double C1 = -5674.5359;
    constexpr double C2 = 6.3925247;
    constexpr double C3 = -0.009677843;
    constexpr double C4 = 6.2215701e-07;
    constexpr double C5 = 2.0747825e-09;
    constexpr double C6 = -9.484024e-13;
    constexpr double C7 = 4.1635019;
    // Over liquid water.
    constexpr double C8 = -5800.2206;
    constexpr double C9 = 1.3914993;
    constexpr double C10 = -0.048640239;
    constexpr double C11 = 4.1764768e-05;
    constexpr double C12 = -1.4452093e-08;
    constexpr double C13 = 6.5459673;

    const double t = tc + KELVIN_OFFSET;
    double lnp;
    if (tc >= 0.0) {
        lnp = C8 / t + C9 + C10 * t + C11 * t * t + C12 * t * t * t + C13 * std::log(t);
    } else {
        lnp = C1 / t + C2 + C3 * t + C4 * t * t + C5 * t * t * t + C6 * t * t * t * t +
              C7 * std::log(t);
    }
    return std::exp(lnp);
}

// Water content (kg per kg of dry air) of air at tc degrees Celsius with the
// relative humidity rh in percent: W = 0.62198 pw / (101325 - pw) with
// pw = rh/100 * T2SVP(tc). Where the vapour pressure exceeds the atmospheric
// pressure (near 100 degrees C) the result is negative; it is not clipped.
double RH2WC(double rh, double tc) {
    if (rh <= 0.0) return 0.0;
    // 10132500 is 100 x 101325 Pa; 1.6077687 is 1/0.62198.
    const double x = (10132500.0 / rh / T2SVP(tc) - 1.0) * 1.6077687;
    if (x == 0.0) return 0.0;
    return 1.0 / x;
}

// Relative humidity (%) of air at tc degrees Celsius holding w kg of water per
// kg of dry air: 100 pw / T2SVP(tc) with pw = 101325 w / (0.62198 + w),
// capped at 101.
double WC2RH(double w, double tc) {
    if (w <= 0.0) return 0.0;
    const double x = (w + 0.62198) * T2SVP(tc) / (w * 100.0 * 101325.0);
    if (x == 0.0) return 100.0;
    return std::min(1.0 / x, 101.0);
}

}  // namespace tarvex
