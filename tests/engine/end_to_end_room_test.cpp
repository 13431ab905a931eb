// The engine end to end on the bundled example room: case file, control file,
// new fields, mixing lengths where the model needs them, steady iterations,
// balances and the saved-data file, checked against conservation laws with
// figures taken from the case's own data.
//
// The room (examples/room/room.case, run with examples/room/room.control:
// steady, constant effective viscosity): a supply of 2 x 0.05 m3/s at 16 C with
// no contaminant, an extract under the ceiling that takes less, a window (a
// pressure boundary to the outside at 10 C, exponent 0.5) that lets out the
// rest, 1 kW of heat and 0.02 g/s of contaminant in the occupied zone, and a
// glazed south wall with a U-value.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/channels.h"
#include "common/textfmt.h"
#include "engine/engine.h"
#include "tests/engine/run_setup.h"

namespace tarvex {
namespace {

namespace fs = std::filesystem;

// Figures of the case file.
constexpr double DENSITY_FACTOR = 353.0487804878049;   // 101325/287
constexpr double T_SUPPLY = 16.0 + 273.15;               // K
constexpr double M_SUPPLY = 2 * 0.05 * DENSITY_FACTOR / T_SUPPLY;   // kg/s
constexpr double M_EXTRACT = 2 * 0.04 * DENSITY_FACTOR / (20.0 + 273.15);   // at the initial density
constexpr double HEAT_GAIN = 1.0;                        // kW
constexpr double CONTAMINANT_GAIN = 0.02;                // g/s; the supply brings none

// Outer iterations of each run: the example's control settles the room well
// within this.
constexpr int ITERATIONS = 500;

class EndToEndRoom : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "tarvex-room-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    // Reads the example's case and control files and sets new fields as a
    // run from new fields does.
    void load() {
        ScopedChannelSink bind(CH_CONSOLE, &console_);
        ASSERT_TRUE(test::read_case_and_control(test::example_room_file("room.case"),
                                                test::example_room_file("room.control"), console_))
            << console_.text();
        ASSERT_EQ(runctl.ITURB, 1);
        ASSERT_EQ(runctl.ITRANS, 0);
        // The reader's own inflow total agrees with the figure above.
        ASSERT_NEAR(domsums.FLOWIN, M_SUPPLY, 1e-15);
        test::start_new_fields();
        runctl.NEWDIST = false;
    }

    // Outer iterations as the run driver performs them (the driver's scaling
    // of the condensation to g/s included, which the balances print).
    void iterate(int count) {
        ScopedChannelSink bind(CH_CONSOLE, &console_);
        for (int n = 0; n < count; ++n) {
            ++runctl.ITER;
            int iusr3 = 0, iconv = 0;
            SOLVE(iusr3, iconv);
            runctl.CONDT *= 1000.0;
        }
    }

    // Switches to another turbulence model and continues from the fields in
    // memory, with new mixing lengths.
    void switch_model(int model, double factor) {
        ScopedChannelSink bind(CH_CONSOLE, &console_);
        runctl.ITURB = model;
        runctl.VISEFF = factor * runctl.VISC;
        DIST3D();
    }

    struct Leaving {
        double mass = 0.0;   // kg/s, negative
        double t = 0.0;      // mass-weighted mean temperature, K
        double c = 0.0;      // mass-weighted mean contaminant, g/kg
    };
    // The air leaving the room (extract and window), from the cells' mass sources.
    static Leaving leaving() {
        Leaving out;
        double mt = 0.0, mc = 0.0;
        for (int k = 1; k <= griddim.NZ; ++k)
            for (int j = 1; j <= griddim.NY; ++j)
                for (int i = 1; i <= griddim.NX; ++i) {
                    const int p = ARIDX(i, j, k);
                    const double m = fields.SMASS[p];
                    if (m < 0.0) {
                        out.mass += m;
                        mt += m * fields.T[p];
                        mc += m * fields.C[p] * 1000.0;
                    }
                }
        out.t = mt / out.mass;
        out.c = mc / out.mass;
        return out;
    }

    fs::path dir_;
    CaptureSink console_;
};

TEST_F(EndToEndRoom, SteadyMassHeatAndContaminantBalancesClose) {
    load();
    iterate(ITERATIONS);

    double min, mout, hin, hout, ugain, uloss;
    ALLFLOWS(min, mout, hin, hout);
    UENERGY(ugain, uloss);
    double fin, fout, fhin, fhout;
    BOUNDFLOWS(fin, fout, fhin, fhout);

    // Air enters only through the supply; the window lets out what the
    // extract does not take.
    EXPECT_EQ(fin, 0.0);
    EXPECT_NEAR(fout, -(M_SUPPLY - M_EXTRACT), 0.001 * M_SUPPLY);
    EXPECT_NEAR(min, M_SUPPLY, 1e-12);
    // Mass in equals mass out.
    EXPECT_LE(std::fabs(min + mout), 0.001 * M_SUPPLY) << "in " << min << " out " << mout;

    // Heat in is the supply's m T and the gain; against it stand the extract,
    // the window and the glazing. Heat is carried as m T in absolute
    // temperature, so a mass residual d alone would show as some 290 d kW:
    // the sum is taken relative to the supply temperature, so that it tests
    // the heat and not the mass once more.
    EXPECT_NEAR(hin, M_SUPPLY * T_SUPPLY + HEAT_GAIN, 1e-9);
    EXPECT_LT(uloss, 0.0);   // the room is warmer than outside
    const double heat_residual = hin + hout + ugain + uloss - T_SUPPLY * (min + mout);
    EXPECT_LE(std::fabs(heat_residual), 0.01 * HEAT_GAIN)
        << "in " << hin << " out " << hout << " glazing " << ugain << " " << uloss;

    // The leaving air carries the contaminant gain: its mean concentration
    // rise is the gain over the mass flow.
    const Leaving out = leaving();
    const double expected_c = CONTAMINANT_GAIN / M_SUPPLY;
    EXPECT_NEAR(out.c, expected_c, 0.02 * expected_c);

    // The balances as printed.
    console_.clear();
    {
        ScopedChannelSink bind(CH_CONSOLE, &console_);
        SUMMARYEND();
    }
    const auto lines = console_.lines();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[2], free_line(" all inflows (kg/s, kW) : ", min, hin));
    EXPECT_EQ(lines[3], free_line(" all outflows (kg/s, kW) : ", mout, hout));
}

// Without the glazing the gain is the only heat the air takes up: the mean
// temperature rise of the leaving air is the gain over the mass flow times a
// specific heat of 1 kJ/(kg K).
TEST_F(EndToEndRoom, LeavingAirTemperatureRiseMatchesTheGain) {
    load();
    for (int p = 1; p <= griddim.NXP1 * griddim.NYP1 * griddim.NZP1; ++p) uvaltab.UVALCELL[p] = false;
    uvaltab.UVALSET = false;
    iterate(ITERATIONS);

    const Leaving out = leaving();
    EXPECT_LE(std::fabs(M_SUPPLY + out.mass), 0.001 * M_SUPPLY);
    const double expected_rise = HEAT_GAIN / (M_SUPPLY * 1.0);
    EXPECT_NEAR(out.t - T_SUPPLY, expected_rise, 0.02 * expected_rise) << "leaving at " << out.t << " K";
}

// The mixing-length model, continued from the fields of the constant
// viscosity, keeps the room's mass balance.
TEST_F(EndToEndRoom, MixingLengthModelKeepsTheMassBalance) {
    load();
    iterate(ITERATIONS);
    switch_model(2, 5000.0);
    iterate(ITERATIONS);

    double min, mout, hin, hout;
    ALLFLOWS(min, mout, hin, hout);
    EXPECT_NEAR(min, M_SUPPLY, 1e-12);
    EXPECT_LE(std::fabs(min + mout), 0.001 * M_SUPPLY) << "in " << min << " out " << mout;
    // Mixing lengths were computed: finite and within the room's size.
    const int p = ARIDX(8, 6, 4);
    EXPECT_GT(mixlen.XLMIX[p], 0.0);
    EXPECT_LT(mixlen.XLMIX[p], 4.0);
}

// Saving the converged fields and reading them back into new fields restores
// the flows: densities and window flows are recomputed from what was read,
// and the balances printed on loading match those of the run.
TEST_F(EndToEndRoom, SavedFieldsReloadWithTheirBalances) {
    load();
    iterate(ITERATIONS);
    double min0, mout0, hin0, hout0, fin0, fout0, fhin0, fhout0;
    ALLFLOWS(min0, mout0, hin0, hout0);
    BOUNDFLOWS(fin0, fout0, fhin0, fhout0);
    const double t_mon = fields.T[ARIDX(8, 6, 4)];

    const PaddedName saved((dir_ / "OUTPUT").string());
    console_.clear();
    ScopedChannelSink bind(CH_CONSOLE, &console_);
    ASSERT_EQ(OUTDSK(saved), 0);
    INIVAL();
    // Forget the window flows, which the reader must recompute.
    for (int n = 1; n <= pbtable.NPB; ++n)
        for (int k = pbtable.PBK1[n]; k <= pbtable.PBK2[n]; ++k)
            for (int j = pbtable.PBJ1[n]; j <= pbtable.PBJ2[n]; ++j)
                for (int i = pbtable.PBI1[n]; i <= pbtable.PBI2[n]; ++i) fields.SMASS[ARIDX(i, j, k)] = 0.0;
    ASSERT_EQ(INDSK(saved), 0) << console_.text();

    EXPECT_NEAR(fields.T[ARIDX(8, 6, 4)], t_mon, 5e-7 * t_mon);
    for (int k = 1; k <= griddim.NZ; ++k)
        for (int j = 1; j <= griddim.NY; ++j)
            for (int i = 1; i <= griddim.NX; ++i) {
                const int p = ARIDX(i, j, k);
                if (fields.CPR[p] != 0.0) {
                    ASSERT_EQ(fields.DEN[p], DENSITY_FACTOR / fields.T[p]);
                }
            }
    double min, mout, hin, hout, fin, fout, fhin, fhout;
    ALLFLOWS(min, mout, hin, hout);
    BOUNDFLOWS(fin, fout, fhin, fhout);
    EXPECT_NEAR(fout, fout0, 1e-4 * std::fabs(fout0));
    EXPECT_NEAR(mout, mout0, 1e-5 * std::fabs(mout0));
    EXPECT_NEAR(hout, hout0, 1e-5 * std::fabs(hout0));

    const auto lines = console_.lines();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], free_line("reading restart data from disc"));
    EXPECT_EQ(lines[1], free_line(" free inflows (kg/s, kW) : ", fin, fhin));
    EXPECT_EQ(lines[2], free_line(" free outflows (kg/s, kW) : ", fout, fhout));
    EXPECT_EQ(lines[3], free_line(" all inflows (kg/s, kW) : ", min, hin));
    EXPECT_EQ(lines[4], free_line(" all outflows (kg/s, kW) : ", mout, hout));
}

}  // namespace
}  // namespace tarvex
