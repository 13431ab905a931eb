#include <gtest/gtest.h>

#include <cmath>

#include "engine/engine.h"

namespace tarvex {
namespace {

// Published figures, each with a tolerance of half a unit in its last shown digit.
TEST(Psychrometrics, SaturationPressureFigures) {
    struct Row { double tc, pa, tol; };
    const Row rows[] = {
        {0.0, 611.21, 0.005},      // water branch includes 0
        {-1e-9, 611.15, 0.005},    // ice branch just below 0
        {-10.0, 259.90, 0.005},
        {20.0, 2338.8, 0.05},
        {100.0, 101420.0, 5.0},    // slightly above one atmosphere
    };
    for (const Row& r : rows) {
        EXPECT_NEAR(T2SVP(r.tc), r.pa, r.tol) << "TC " << r.tc;
    }
}

TEST(Psychrometrics, WaterContentAndHumidityFigures) {
    struct Row { const char* what; double got, want, tol; };
    const Row rows[] = {
        {"RH2WC(50, 20)", RH2WC(50, 20), 0.0072621, 5e-8},
        {"RH2WC(100, 20)", RH2WC(100, 20), 0.014696, 5e-7},
        {"RH2WC(100, 0)", RH2WC(100, 0), 0.0037747, 5e-8},
        {"RH2WC(0, 20)", RH2WC(0, 20), 0.0, 0.0},
        {"RH2WC(-5, 20)", RH2WC(-5, 20), 0.0, 0.0},
        {"WC2RH(0.0072621, 20)", WC2RH(0.0072621, 20), 50.0, 0.05},
        {"WC2RH(0.02, 20)", WC2RH(0.02, 20), 101.0, 0.0},   // the cap
        {"WC2RH(0, 20)", WC2RH(0, 20), 0.0, 0.0},
        {"WC2RH(-0.001, 20)", WC2RH(-0.001, 20), 0.0, 0.0},
    };
    for (const Row& r : rows) {
        EXPECT_NEAR(r.got, r.want, r.tol) << r.what;
    }
}

// Where the vapour pressure exceeds the atmosphere the formula's result is
// negative, and it is passed on unclipped.
TEST(Psychrometrics, SaturatedAirAtBoilingGivesNegativeContent) {
    const double w = RH2WC(100, 100);
    EXPECT_NEAR(w, -673.0, 0.5);
    EXPECT_EQ(WC2RH(w, 100), 0.0);
}

TEST(Psychrometrics, HumidityRoundTrip) {
    const double temps[] = {-20.0, -0.5, 0.0, 5.0, 20.0, 35.0};
    for (double tc : temps) {
        for (double rh : {0.5, 10.0, 35.5, 50.0, 75.0, 99.9, 100.0, 101.0}) {
            const double back = WC2RH(RH2WC(rh, tc), tc);
            EXPECT_NEAR(back, rh, 5e-7 * rh) << "RH " << rh << " TC " << tc;
        }
        for (double rh : {101.5, 150.0, 500.0}) {
            EXPECT_EQ(WC2RH(RH2WC(rh, tc), tc), 101.0) << "RH " << rh << " TC " << tc;
        }
    }
}

}  // namespace
}  // namespace tarvex
