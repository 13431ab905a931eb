// The Plot Options without a window: what its fields show, which controls
// the plot shown allows, the typed scheme, and the reading back of the
// manual limits and the vector scale with their fallbacks.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "frontend/calc/plotoptions.h"
#include "frontend/calc/viewstate.h"

namespace tarvex {
namespace {

TEST(PlotOptionsTexts, FieldsAsShownAtOpening) {
    EXPECT_EQ(scheme_text(4), " 4");
    EXPECT_EQ(scheme_text(7), " 7");
    EXPECT_EQ(vector_scale_text(1.0), "    1.00");
    EXPECT_EQ(vector_scale_text(0.333), "    0.33");
    EXPECT_EQ(vector_scale_text(99999.99), "99999.99");
    EXPECT_EQ(vector_scale_text(100000.0), "********");
    EXPECT_EQ(limit_text(25.0), "  25.000000    ");
    EXPECT_EQ(limit_text(-0.01), "-0.10000000E-01");   // below 0.1: the exponent form, 15 wide
}

TEST(PlotOptionsTexts, OpeningVectorScale) {
    EXPECT_EQ(opening_vector_scale(-2.0), 1.0);
    EXPECT_EQ(opening_vector_scale(0.0), 1.0);
    EXPECT_EQ(opening_vector_scale(0.25), 0.25);
    EXPECT_EQ(opening_vector_scale(150000.0), 150000.0);   // kept: the field shows asterisks
}

TEST(PlotOptionsEnabling, ManualAndVectorScaleByPlot) {
    struct Case {
        OptionsOf viewer;
        int iplot, irplot;
        bool manual_box, vector_scale;
    };
    const Case cases[] = {
        {OptionsOf::domain, 0, 13, false, false},     // grid
        {OptionsOf::domain, 1, 13, false, false},     // blockage
        {OptionsOf::domain, 2, 0, true, false},       // temperature
        {OptionsOf::domain, 8, 0, true, false},       // V
        {OptionsOf::domain, 9, 0, true, true},        // vectors
        {OptionsOf::domain, 10, 0, true, true},       // water vapour
        {OptionsOf::domain, 11, 0, true, true},       // relative humidity
        {OptionsOf::residuals, 9, 0, false, false},   // the domain viewer's choice does not count
        {OptionsOf::residuals, 2, 1, false, false},
        {OptionsOf::residuals, 11, 12, true, false},  // never the vector scale
        {OptionsOf::residuals, 0, 15, true, false},
    };
    for (const Case& c : cases) {
        VIEWCTL ctl{};
        ctl.IPLOT = c.iplot;
        ctl.IRPLOT = c.irplot;
        const OptionsEnabling e = options_enabling(c.viewer, ctl);
        const std::string label = std::string(c.viewer == OptionsOf::domain ? "domain" : "residuals") +
                                  " IPLOT " + std::to_string(c.iplot) + " IRPLOT " + std::to_string(c.irplot);
        EXPECT_EQ(e.manual_box, c.manual_box) << label;
        EXPECT_EQ(e.vector_scale, c.vector_scale) << label;
    }
}

TEST(PlotOptionsScheme, TypedEntries) {
    struct Case {
        const char* text;
        SchemeEntry entry;
        int32_t value;   // on accept
    };
    const Case cases[] = {
        {"1", SchemeEntry::accept, 1},
        {"7", SchemeEntry::accept, 7},
        {" 5 ", SchemeEntry::accept, 5},
        {"6 9", SchemeEntry::accept, 6},          // one integer, the rest not looked at
        {"8", SchemeEntry::restore, 0},
        {"0", SchemeEntry::restore, 0},
        {"-3", SchemeEntry::restore, 0},
        {"2147483647", SchemeEntry::restore, 0},
        {"", SchemeEntry::ignore, 0},
        {"   ", SchemeEntry::ignore, 0},
        {"abc", SchemeEntry::ignore, 0},
        {"2.5", SchemeEntry::ignore, 0},
        {"-", SchemeEntry::ignore, 0},
        {"99999999999", SchemeEntry::ignore, 0},  // beyond 32 bits: not read, no wrap-around
    };
    for (const Case& c : cases) {
        int32_t value = -77;
        EXPECT_EQ(read_scheme_entry(c.text, value), c.entry) << '"' << c.text << '"';
        EXPECT_EQ(value, c.entry == SchemeEntry::accept ? c.value : -77) << '"' << c.text << '"';
    }
    EXPECT_EQ(scheme_restore_text(4), " 4");
}

TEST(PlotOptionsReadBack, LimitsAndVectorScale) {
    struct State {
        double csmin, csmax, vscale;
    };
    struct Case {
        const char* label;
        OptionsOf viewer;
        bool manual;
        const char* min_text;
        const char* max_text;
        const char* vscale_text;
        State after;
        bool read;
    };
    // Before every case: limits 3..4, vector scale 5.
    const State before{3.0, 4.0, 5.0};
    const auto D = OptionsOf::domain;
    const auto R = OptionsOf::residuals;
    const Case cases[] = {
        {"limits as typed", D, true, "15", "25", "    1.00", {15.0, 25.0, 1.0}, true},
        {"min above max taken as typed", D, true, "25", "15", "1", {25.0, 15.0, 1.0}, true},
        {"the shown G15.8 texts read back", D, true, "-0.10000000E-01", "  25.000000    ", "1", {-0.01, 25.0, 1.0}, true},
        {"exponents and blanks inside", D, true, "1.5E+01", "2 5", "1", {15.0, 25.0, 1.0}, true},
        {"only the first 15 characters", D, true, "1234567890123456", "25", "1", {123456789012345.0, 25.0, 1.0}, true},
        {"a blank limit reads as 0", D, true, "", "25", "1", {0.0, 25.0, 1.0}, true},
        {"both blank: 0 and 0", D, true, "   ", "", "1", {0.0, 0.0, 1.0}, true},
        {"letters in max: both 0, scale not read", D, true, "15", "abc", "2.00", {0.0, 0.0, 5.0}, false},
        {"letters in min: both 0, scale not read", D, true, "1x", "25", "2.00", {0.0, 0.0, 5.0}, false},
        {"nan is unreadable", D, true, "nan", "25", "2.00", {0.0, 0.0, 5.0}, false},
        {"infinity is unreadable", D, true, "15", "inf", "2.00", {0.0, 0.0, 5.0}, false},
        {"beyond the double range is unreadable", D, true, "15", "1E999", "2.00", {0.0, 0.0, 5.0}, false},
        {"not manual: the limits are not read", D, false, "abc", "xyz", "2.00", {3.0, 4.0, 2.0}, true},
        {"0.333 as shown comes back as 0.33", D, false, "", "", "    0.33", {3.0, 4.0, 0.33}, true},
        {"negative scale kept", D, false, "", "", "-2", {3.0, 4.0, -2.0}, true},
        {"asterisks give 1.0", D, false, "", "", "********", {3.0, 4.0, 1.0}, true},
        {"empty scale gives 1.0", D, false, "", "", "", {3.0, 4.0, 1.0}, true},
        {"nan scale gives 1.0", D, false, "", "", "nan", {3.0, 4.0, 1.0}, true},
        {"scale: one number, the rest not looked at", D, false, "", "", "2 3", {3.0, 4.0, 2.0}, true},
        {"scale: 16 characters only", D, false, "", "", "               12", {3.0, 4.0, 1.0}, true},
        {"residuals: limits read", R, true, "15", "25", "2.00", {15.0, 25.0, 5.0}, true},
        {"residuals: fallback", R, true, "15", "?", "2.00", {0.0, 0.0, 5.0}, false},
        {"residuals: the scale is never read", R, false, "", "", "********", {3.0, 4.0, 5.0}, true},
    };
    for (const Case& c : cases) {
        PLOTOPT opt{};
        opt.CSMIN = before.csmin;
        opt.CSMAX = before.csmax;
        opt.VSCALE = before.vscale;
        const bool read = read_back_options(c.viewer, c.manual, {c.min_text, c.max_text, c.vscale_text}, opt);
        EXPECT_EQ(read, c.read) << c.label;
        EXPECT_EQ(opt.CSMIN, c.after.csmin) << c.label;
        EXPECT_EQ(opt.CSMAX, c.after.csmax) << c.label;
        EXPECT_EQ(opt.VSCALE, c.after.vscale) << c.label;
    }
}

// What the fields show reads back to what they showed: the vector scale to
// two decimals, the limits to eight significant digits.
TEST(PlotOptionsReadBack, ShownTextsComeBack) {
    for (double limit : {25.0, -0.01, 1.0e-150, -9.99e21, 123456.789, 0.0}) {
        PLOTOPT opt{};
        const std::string t = limit_text(limit);
        ASSERT_TRUE(read_back_options(OptionsOf::residuals, true, {t, t, ""}, opt)) << t;
        EXPECT_EQ(opt.CSMIN, opt.CSMAX);
        EXPECT_NEAR(opt.CSMIN, limit, std::fabs(limit) * 1e-8) << t;
    }
    for (auto [vscale, back] : {std::pair{0.333, 0.33}, std::pair{2.0, 2.0}, std::pair{0.004, 0.0},
                                std::pair{99999.99, 99999.99}, std::pair{100000.0, 1.0}}) {
        PLOTOPT opt{};
        const std::string t = vector_scale_text(vscale);
        read_back_options(OptionsOf::domain, false, {"", "", t}, opt);
        EXPECT_EQ(opt.VSCALE, back) << t;
    }
}

}  // namespace
}  // namespace tarvex
