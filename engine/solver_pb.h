// Pressure-boundary rows as the equation routines see them.
#pragma once

#include <cmath>
#include <cstdint>

#include "engine/data.h"

namespace tarvex::solver {

// Calls fn(n) for every pressure-boundary row n, in table order, whose box
// holds cell (i, j, k) at index idx. Nothing when the case has no rows.
template <class Fn>
inline void for_pb_rows(int i, int j, int k, int32_t idx, Fn&& fn) {
    (void)idx;
    const int npb = pbtable.NPB;
    for (int n = 1; n <= npb; ++n) {
        if (i >= pbtable.PBI1[n] && i <= pbtable.PBI2[n] && j >= pbtable.PBJ1[n] && j <= pbtable.PBJ2[n] &&
            k >= pbtable.PBK1[n] && k <= pbtable.PBK2[n])
            fn(n);
    }
}

// The power law of a pressure-boundary row: s·den·coef·area·|dp|^exp with
// dp = outside minus inside pressure and s = -1 when dp < 0, else +1.
inline double pb_power_law(double den, double coef, double area, double dp, double exponent) {
    const double s = dp < 0.0 ? -1.0 : 1.0;
    return s * den * coef * area * std::pow(std::fabs(dp), exponent);
}

}  // namespace tarvex::solver
