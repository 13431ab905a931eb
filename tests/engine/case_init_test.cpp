// New fields from the initial conditions, and the warning for a forced flow
// that nothing balances.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/engine/case_testutil.h"

namespace tarvex::testing {
namespace {

TEST(CaseInitialFields, InivalSetsRealCellsOnly) {
    CaseText c;
    c.data[4] = "18 2 50";
    c.data[8] = "2 2 2 2 2 2 0\n0 0 0 0 0 0 0";   // a blocked cell
    ASSERT_EQ(load_case(c).status, 0);
    // Leftovers of an earlier run, in real cells and on the far faces.
    const int far_u = at(5, 2, 1), far_v = at(2, 4, 1), far_w = at(2, 2, 3);
    for (const int idx : {at(1, 1, 1), at(2, 2, 2), at(4, 3, 2), far_u, far_v, far_w}) {
        for (double* a : {fields.U, fields.V, fields.W, fields.P, fields.T, fields.C, c2eq.C2, fields.MIMB,
                          fields.DEN, fields.DENU, coefs.AN, coefs.AB, resid.RESM, resid.RESC2})
            a[idx] = 7.0;
        coefs.APU[idx] = 7.0;
        fields.SCT[idx] = 7.0;
    }
    CaptureSink console;
    {
        ScopedChannelSink bind(CH_CONSOLE, &console);
        INIVAL();
    }
    for (const int idx : {at(1, 1, 1), at(2, 2, 2), at(4, 3, 2)}) {
        SCOPED_TRACE(idx);
        for (const double* a : {fields.U, fields.V, fields.W, fields.P, fields.MIMB, fields.DEN, fields.DENU,
                                coefs.AN, coefs.AB, resid.RESM, resid.RESC2})
            EXPECT_EQ(a[idx], 0.0);
        EXPECT_DOUBLE_EQ(fields.T[idx], 291.15);
        EXPECT_DOUBLE_EQ(fields.C[idx], 0.002);
        EXPECT_DOUBLE_EQ(c2eq.C2[idx], RH2WC(50, 18));
        EXPECT_EQ(coefs.APU[idx], 7.0);     // equation arrays keep their values
        EXPECT_EQ(fields.SCT[idx], 7.0);    // so do the sources
    }
    EXPECT_EQ(fields.U[far_u], 7.0);
    EXPECT_EQ(fields.V[far_v], 7.0);
    EXPECT_EQ(fields.W[far_w], 7.0);
    EXPECT_TRUE(console.lines().empty());
}

TEST(CaseInitialFields, ImposedImbalanceWarning) {
    struct Row {
        double flowin, flowout;
        int npb;
        bool warns;
    };
    const Row rows[] = {
        {0, 0, 0, false},
        {0.5, -0.5, 0, false},
        {0.5, -0.4, 0, true},
        {0.5, 0, 0, true},
        {0.5, -0.4, 1, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.flowin + row.flowout);
        domsums.FLOWIN = row.flowin;
        domsums.FLOWOUT = row.flowout;
        pbtable.NPB = row.npb;
        CaptureSink console;
        {
            ScopedChannelSink bind(CH_CONSOLE, &console);
            INIPRES();
        }
        if (row.warns)
            EXPECT_EQ(console.lines(), (Lines{"  warning, imposed flow imbalance but ",
                                              "    no pressure bounds: problem may not converge."}));
        else
            EXPECT_TRUE(console.lines().empty());
    }
}

}  // namespace
}  // namespace tarvex::testing
