// The viewer state a program starts with: checked by the defaults' own test
// and by the start-up test of the whole program.
#pragma once

#include <gtest/gtest.h>

#include "frontend/calc/viewstate.h"

namespace tarvex::testing {

inline void expect_view_defaults() {
    EXPECT_EQ(viewctl.IPLANE, 1);
    EXPECT_EQ(viewctl.PINDEX, 1);
    EXPECT_EQ(viewctl.IPLOT, 0);
    EXPECT_EQ(viewctl.IRPLOT, 0);
    EXPECT_EQ(viewctl.ICOLBY, 1);
    EXPECT_FALSE(viewctl.FLIP);
    EXPECT_FALSE(viewctl.MANUAL);
    EXPECT_EQ(plotopt.ISCHEME, 4);
    EXPECT_FALSE(plotopt.PAPER);
    EXPECT_TRUE(plotopt.SHOWCPR);
    EXPECT_FALSE(plotopt.SHOWGRID);
    EXPECT_FALSE(plotopt.SHOWBC);
    EXPECT_EQ(plotopt.VSCALE, 1.0);
    EXPECT_EQ(viewwin.IZOOM, 0);
    EXPECT_EQ(viewwin.PANX, 0.0);
    EXPECT_EQ(viewwin.PANY, 0.0);
}

}  // namespace tarvex::testing
