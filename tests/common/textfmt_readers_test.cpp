// The free-form reader of data lines and the fixed-field readers.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "common/textfmt.h"

namespace tarvex {
namespace {

const double UNSET = -12345.0;

const char* status_name(ReadStatus s) {
    switch (s) {
        case ReadStatus::ok: return "ok";
        case ReadStatus::missing: return "missing";
        case ReadStatus::bad: return "bad";
    }
    return "?";
}

// One read of a script: the type asked ('i' or 'r'), the answer and, for
// ok, the value. After a bad answer the value must be unchanged.
struct Step {
    char type;
    ReadStatus status;
    double value = 0;
};

struct LineCase {
    const char* line;
    std::vector<Step> steps;
    int items_read;
};

void run(const LineCase& c) {
    SCOPED_TRACE(std::string("line \"") + c.line + "\"");
    FreeFormReader reader(c.line);
    for (std::size_t n = 0; n < c.steps.size(); ++n) {
        const Step& step = c.steps[n];
        SCOPED_TRACE("read " + std::to_string(n + 1));
        ReadStatus got;
        double value = UNSET;
        if (step.type == 'i') {
            int iv = static_cast<int>(UNSET);
            got = reader.read(iv);
            value = iv;
        } else {
            got = reader.read(value);
        }
        EXPECT_STREQ(status_name(got), status_name(step.status));
        if (step.status == ReadStatus::ok)
            EXPECT_EQ(value, step.value);
        else
            EXPECT_EQ(value, UNSET);
    }
    EXPECT_EQ(reader.items_read(), c.items_read);
}

constexpr ReadStatus OK = ReadStatus::ok;
constexpr ReadStatus MISSING = ReadStatus::missing;
constexpr ReadStatus BAD = ReadStatus::bad;

TEST(FreeFormReader, Separators) {
    const std::vector<LineCase> cases = {
        {"1 2 3", {{'i', OK, 1}, {'i', OK, 2}, {'i', OK, 3}, {'i', MISSING}}, 3},
        {"1,2,3", {{'i', OK, 1}, {'i', OK, 2}, {'i', OK, 3}, {'i', MISSING}}, 3},
        {"  1 ,  2\t,\t3  ", {{'i', OK, 1}, {'i', OK, 2}, {'i', OK, 3}, {'i', MISSING}}, 3},
        {"1\t2\t\t3", {{'i', OK, 1}, {'i', OK, 2}, {'i', OK, 3}}, 3},
        {"1 2\r", {{'i', OK, 1}, {'i', OK, 2}, {'i', MISSING}}, 2},
        // A comma after the last value ends the line like a blank.
        {"1,2,", {{'i', OK, 1}, {'i', OK, 2}, {'i', MISSING}}, 2},
        // An empty item is unreadable, never skipped.
        {"1,,2", {{'i', OK, 1}, {'i', BAD}}, 1},
        {"1, ,2", {{'i', OK, 1}, {'r', BAD}}, 1},
        {",1", {{'i', BAD}}, 0},
        // Nothing on the line.
        {"", {{'r', MISSING}}, 0},
        {" \t  ", {{'i', MISSING}}, 0},
        {"\r", {{'i', MISSING}}, 0},
        // Whatever follows the items read is not looked at.
        {"1 2 3 / comment", {{'i', OK, 1}, {'i', OK, 2}, {'i', OK, 3}}, 3},
        // Optional trailing values: missing after the last, counted reads.
        {"20 0", {{'r', OK, 20}, {'r', OK, 0}, {'r', MISSING}, {'r', MISSING}}, 2},
        // A bad item stays in place, so it can be tried as a real.
        {"2.5 7", {{'i', BAD}, {'r', OK, 2.5}, {'i', OK, 7}}, 2},
        {"10 x 5", {{'r', OK, 10}, {'r', BAD}, {'r', BAD}}, 1},
    };
    for (const LineCase& c : cases) run(c);
}

TEST(FreeFormReader, IntegerItems) {
    struct Case {
        const char* item;
        bool ok;
        int value;
    };
    const std::vector<Case> cases = {
        {"0", true, 0},
        {"+7", true, 7},
        {"-0", true, 0},
        {"007", true, 7},
        {"2147483647", true, INT_MAX},
        {"-2147483648", true, INT_MIN},
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"99999999999999999999", false, 0},
        {"4294967297", false, 0},
        {"2.5", false, 0},
        {"5.", false, 0},
        {"3abc", false, 0},
        {"1e2", false, 0},
        {"0x10", false, 0},
        {"+", false, 0},
        {"-", false, 0},
        {"1-2", false, 0},
        {"\xef\xbc\x91", false, 0},  // a full-width digit
    };
    for (const Case& c : cases) {
        FreeFormReader reader(c.item);
        int value = -99;
        ReadStatus got = reader.read(value);
        EXPECT_STREQ(status_name(got), c.ok ? "ok" : "bad") << c.item;
        EXPECT_EQ(value, c.ok ? c.value : -99) << c.item;
        EXPECT_EQ(reader.items_read(), c.ok ? 1 : 0) << c.item;
    }
}

TEST(FreeFormReader, RealItems) {
    struct Case {
        const char* item;
        bool ok;
        double value;
    };
    const std::vector<Case> cases = {
        {"1.5D-3", true, 1.5e-3},
        {"1.5d-3", true, 1.5e-3},
        {"2E2", true, 200},
        {"2e+2", true, 200},
        {"-.5", true, -0.5},
        {"+.5", true, 0.5},
        {"5.", true, 5},
        {"3", true, 3},
        {"-3", true, -3},
        {"0.1", true, 0.1},
        {"293.15", true, 293.15},
        {"123456789012345678901234567890", true, 1.2345678901234568e29},
        {"1e308", true, 1e308},
        {"4.9e-324", true, std::numeric_limits<double>::denorm_min()},
        {"1e-400", true, 0.0},
        {"0.0001e-320", true, 0.0},
        {"1e-00000000000000000003", true, 1e-3},
        {"1e400", false, 0},
        {"1000e306", false, 0},
        {"1.7976931348623159e308", false, 0},
        {"inf", false, 0},
        {"Infinity", false, 0},
        {"nan", false, 0},
        {"NaN", false, 0},
        {"0x10", false, 0},
        {"0x1p3", false, 0},
        {"1.5e", false, 0},
        {"1.5e+", false, 0},
        {"1.5+3", false, 0},
        {"e5", false, 0},
        {".", false, 0},
        {"-", false, 0},
        {"1.2.3", false, 0},
        {"1.5x", false, 0},
        {"1.5E3.0", false, 0},
        {"--1", false, 0},
    };
    for (const Case& c : cases) {
        FreeFormReader reader(c.item);
        double value = UNSET;
        ReadStatus got = reader.read(value);
        EXPECT_STREQ(status_name(got), c.ok ? "ok" : "bad") << c.item;
        EXPECT_EQ(value, c.ok ? c.value : UNSET) << c.item;
    }
    // An underflow keeps its sign.
    FreeFormReader reader("-1e-400");
    double value = UNSET;
    ASSERT_EQ(reader.read(value), ReadStatus::ok);
    EXPECT_EQ(value, 0.0);
    EXPECT_TRUE(std::signbit(value));
}

TEST(FreeFormReader, AtEnd) {
    FreeFormReader reader(" 4 , 5  \r");
    int a = 0, b = 0;
    EXPECT_FALSE(reader.at_end());
    EXPECT_EQ(reader.read(a), ReadStatus::ok);
    EXPECT_FALSE(reader.at_end());
    EXPECT_EQ(reader.read(b), ReadStatus::ok);
    EXPECT_TRUE(reader.at_end());
    EXPECT_TRUE(FreeFormReader("   ").at_end());
}

TEST(StripCr, RemovesOneTrailingCarriageReturn) {
    EXPECT_EQ(strip_cr("abc\r"), "abc");
    EXPECT_EQ(strip_cr("abc"), "abc");
    EXPECT_EQ(strip_cr("\r"), "");
    EXPECT_EQ(strip_cr(""), "");
    EXPECT_EQ(strip_cr("a\rb"), "a\rb");
    EXPECT_EQ(strip_cr("abc\r\r"), "abc\r");
}

TEST(FixedFieldReaders, Integers) {
    struct Case {
        const char* text;
        int w;
        bool ok;
        long long value;
    };
    const std::vector<Case> cases = {
        // I1 takes the first character only.
        {"12", 1, true, 1},
        {"3", 1, true, 3},
        {"x", 1, false, 0},
        {"-", 1, false, 0},
        // I10: the first ten characters, blanks ignored, all blanks zero.
        {"100", 10, true, 100},
        {"12345678901234", 10, true, 1234567890},
        {"  42", 10, true, 42},
        {"42  ", 10, true, 42},
        {"4 2", 10, true, 42},
        {"- 5", 10, true, -5},
        {"+5", 10, true, 5},
        {"-5", 10, true, -5},
        {"", 10, true, 0},
        {"   ", 10, true, 0},
        {"5x", 10, false, 0},
        {"x", 10, false, 0},
        {"2.5", 10, false, 0},
        {"1e2", 10, false, 0},
        {"\t5", 10, false, 0},
        {"+", 10, false, 0},
        {"5-", 10, false, 0},
        // 64-bit limits.
        {"9223372036854775807", 19, true, LLONG_MAX},
        {"-9223372036854775808", 20, true, LLONG_MIN},
        {"9223372036854775808", 19, false, 0},
        {"-9223372036854775809", 20, false, 0},
        {"99999999999999999999999", 30, false, 0},
        // No field.
        {"5", 0, false, 0},
        {"5", -1, false, 0},
    };
    for (const Case& c : cases) {
        long long value = -77;
        bool ok = read_fixed_int(c.text, c.w, value);
        EXPECT_EQ(ok, c.ok) << '"' << c.text << "\" w " << c.w;
        EXPECT_EQ(value, c.ok ? c.value : -77) << '"' << c.text << "\" w " << c.w;
    }
}

TEST(FixedFieldReaders, Reals) {
    struct Case {
        const char* field;
        bool ok;
        double value;
    };
    const std::vector<Case> cases = {
        {"0.2931500E+03", true, 293.15},
        {"-.1234567E+01", true, -1.234567},
        {"-.4500000E-01", true, -0.045},
        {"0.0000000E+00", true, 0.0},
        {"0.1200000E+01", true, 1.2},
        // The E-less three-digit exponent, and a letterless one in general.
        {"0.1000000-104", true, 1e-105},
        {"-.1000000-104", true, -1e-105},
        {"0.1000000+105", true, 1e104},
        {"1.5+3", true, 1500},
        {"1.5-3", true, 1.5e-3},
        // Other exponent letters and forms.
        {"0.1234567D+01", true, 1.234567},
        {"0.1234567d+01", true, 1.234567},
        {"0.1234567e1", true, 1.234567},
        {"0.1234567E1", true, 1.234567},
        {"1.5D3", true, 1500},
        // Plain F forms, whole numbers (no implied decimals), blanks.
        {"  12.5", true, 12.5},
        {"12.5  ", true, 12.5},
        {"1 2.5", true, 12.5},
        {"0.12 E+03", true, 120},
        {"-3", true, -3},
        {"+3", true, 3},
        {"1234567", true, 1234567},
        {"5.", true, 5},
        {".5", true, 0.5},
        // Range ends.
        {"0.4940656-323", true, 4.940656e-324},
        {"0.1797693+309", true, 1.797693e308},
        {"0.1000000-330", true, 0.0},
        {"0.1000000+310", false, 0},
        // Unreadable.
        {"", false, 0},
        {"             ", false, 0},
        {"NaN", false, 0},
        {"          NaN", false, 0},
        {"Infinity", false, 0},
        {"0x1p3", false, 0},
        {"1.0E", false, 0},
        {"1.0E+", false, 0},
        {"1.0-", false, 0},
        {"1.0E+0x", false, 0},
        {"1.2.3", false, 0},
        {"abc", false, 0},
        {"+", false, 0},
        {"-.", false, 0},
        {"E+01", false, 0},
        {"\t1.0", false, 0},
        {"*************", false, 0},
        {"0.1000000E+01\r", false, 0},
    };
    for (const Case& c : cases) {
        double value = UNSET;
        bool ok = read_fixed_real(c.field, value);
        EXPECT_EQ(ok, c.ok) << '"' << c.field << '"';
        EXPECT_EQ(value, c.ok ? c.value : UNSET) << '"' << c.field << '"';
    }
}

// What the E13.7 writer produces reads back to the value rounded to seven
// digits (within half a unit of the seventh digit), and writing that again
// gives the same field.
TEST(FixedFieldReaders, SavedFieldsReadBack) {
    const double values[] = {293.15,  -0.045, 0.0,     1e-104, -1e-104, 1e200,   -2.5e-300,
                             DBL_MAX, 1e-310, 0.99999995, 12345.678, -1.0 / 3.0, 6.02e23};
    for (double v : values) {
        std::string field = fmt_e(v, 13, 7);
        ASSERT_EQ(field.size(), 13u) << v;
        double back = UNSET;
        ASSERT_TRUE(read_fixed_real(field, back)) << field;
        EXPECT_EQ(fmt_e(back, 13, 7), field);
        if (v != 0.0) {
            EXPECT_LE(std::fabs(back - v), 5e-7 * std::fabs(v)) << field;
        }
    }
}

// F15.0 on a dialog's edit field: what the G15.8 writer put there reads back,
// a blank field is 0, and only the first 15 characters count.
TEST(FixedFieldReaders, RealFieldWithBlankAsZero) {
    struct Case {
        const char* text;
        bool ok;
        double value;
    };
    const Case cases[] = {
        {"", true, 0.0},
        {"                ", true, 0.0},
        {"25", true, 25.0},                        // no point: a whole number, no implied decimals
        {"  25.000000     ", true, 25.0},
        {"-4.95", true, -4.95},
        {" 0.12345678E+06 ", true, 123456.78},
        {"-0.12345678E-05", true, -0.12345678e-05},
        {"1 5", true, 15.0},                       // blanks inside are ignored
        {"1.5D2", true, 150.0},
        {"123456789012345.6789", true, 123456789012345.0},   // the 16th character on is not read
        {"               7", true, 0.0},           // ... even when it is the only digit
        {"abc", false, 0.0},
        {"1.5x", false, 0.0},
        {"NaN", false, 0.0},
        {"Infinity", false, 0.0},
        {"1e999", false, 0.0},
        {"*******", false, 0.0},
    };
    for (const Case& c : cases) {
        double value = UNSET;
        const bool ok = read_fixed_real_blank_zero(c.text, 15, value);
        EXPECT_EQ(ok, c.ok) << '"' << c.text << '"';
        EXPECT_EQ(value, c.ok ? c.value : UNSET) << '"' << c.text << '"';
    }
    // The G15.8 texts of the scale limits read back to their values at that precision.
    for (double v : {15.0, 25.0, -0.01, 0.01, 19.8, 293.15, 1.0e-7, -123456.789}) {
        double back = UNSET;
        ASSERT_TRUE(read_fixed_real_blank_zero(fmt_g(v, 15, 8), 15, back)) << v;
        EXPECT_NEAR(back, v, 1e-7 * std::fabs(v)) << fmt_g(v, 15, 8);
    }
    double value = UNSET;
    EXPECT_FALSE(read_fixed_real_blank_zero("1", 0, value));
    EXPECT_EQ(value, UNSET);
}

}  // namespace
}  // namespace tarvex
