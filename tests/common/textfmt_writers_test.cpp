// Fixed-format writers and the free-form line writer.
#include <gtest/gtest.h>

#include <cfloat>
#include <bit>
#include <climits>
#include <clocale>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <random>
#include <limits>
#include <string>
#include <vector>

#include "common/textfmt.h"

namespace tarvex {
namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();
const double INF = std::numeric_limits<double>::infinity();
const double DENORM_MIN = std::numeric_limits<double>::denorm_min();

struct RealCase {
    double value;
    int w;
    int d;
    const char* expected;
};

std::string describe(const RealCase& c) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "value %.17g w %d d %d", c.value, c.w, c.d);
    return buf;
}

TEST(FixedWriters, IntegerFields) {
    struct Case {
        long long value;
        int w;
        int m;  // PLAIN: Iw
        const char* expected;
    };
    constexpr int PLAIN = INT_MIN;
    const std::vector<Case> cases = {
        {5, 3, PLAIN, "  5"},
        {-5, 3, PLAIN, " -5"},
        {123, 3, PLAIN, "123"},
        {1234, 3, PLAIN, "***"},
        {-12, 2, PLAIN, "**"},
        {0, 1, PLAIN, "0"},
        {1000000, 8, PLAIN, " 1000000"},
        {LLONG_MIN, 20, PLAIN, "-9223372036854775808"},
        {LLONG_MIN, 19, PLAIN, "*******************"},
        {LLONG_MAX, 19, PLAIN, "9223372036854775807"},
        // Zero width writes the shortest field; a negative width nothing.
        {42, 0, PLAIN, "42"},
        {-42, 0, PLAIN, "-42"},
        {7, -1, PLAIN, ""},
        // Iw.m
        {-7, 5, 3, " -007"},
        {7, 3, 3, "007"},
        {-7, 4, 3, "-007"},
        {-7, 3, 3, "***"},
        {123, 5, 2, "  123"},
        {0, 4, 0, "    "},
        {0, 4, 1, "   0"},
        {5, 3, 4, "***"},
        {5, 3, -1, "***"},
    };
    for (const Case& c : cases) {
        std::string got = c.m == PLAIN ? fmt_i(c.value, c.w) : fmt_i(c.value, c.w, c.m);
        EXPECT_EQ(got, c.expected) << "value " << c.value << " w " << c.w << " m " << c.m;
    }
}

TEST(FixedWriters, FFields) {
    const std::vector<RealCase> cases = {
        {1.5, 8, 3, "   1.500"},
        {123.456, 7, 2, " 123.46"},
        {123.456, 6, 2, "123.46"},
        {123.456, 5, 2, "*****"},
        // Below 1: the leading zero when it fits, dropped when one short.
        {0.5, 5, 3, "0.500"},
        {0.5, 4, 3, ".500"},
        {0.5, 3, 3, "***"},
        {-0.5, 6, 3, "-0.500"},
        {-0.5, 5, 3, "-.500"},
        {-0.5, 4, 3, "****"},
        // No decimals: the point stays; zero keeps its digit.
        {2.0, 3, 0, " 2."},
        {0.0, 2, 0, "0."},
        {0.4, 2, 0, "0."},
        {0.0, 1, 0, "*"},
        // Rounding: exact halves away from zero, otherwise the exact binary
        // value decides (0.35 and 2.675 lie just below their halves).
        {2.5, 4, 0, "  3."},
        {-2.5, 4, 0, " -3."},
        {0.125, 5, 2, " 0.13"},
        {0.375, 5, 2, " 0.38"},
        {0.35, 4, 1, " 0.3"},
        {0.45, 4, 1, " 0.5"},
        {2.675, 5, 2, " 2.67"},
        {9.996, 5, 2, "10.00"},
        {9.996, 4, 2, "****"},
        {99.5, 4, 0, "100."},
        {99.5, 3, 0, "***"},
        // Zero and values that show as zero carry no sign.
        {0.0, 6, 2, "  0.00"},
        {-0.0, 6, 2, "  0.00"},
        {-0.001, 6, 2, "  0.00"},
        {-0.006, 6, 2, " -0.01"},
        {DENORM_MIN, 10, 3, "     0.000"},
        // Exact decimal expansion beyond 17 digits.
        {0.1, 22, 20, "0.10000000000000000555"},
        {1e22, 30, 1, "     10000000000000000000000.0"},
        {1e300, 10, 2, "**********"},
        {DBL_MAX, 8, 1, "********"},
        // Shortest field and bad descriptors.
        {1.5, 0, 3, "1.500"},
        {-0.5, 0, 2, "-0.50"},
        {1.0, 3, -1, "***"},
        {1.0, 10, 100000, "**********"},
        {1.0, -1, 2, ""},
    };
    for (const RealCase& c : cases) EXPECT_EQ(fmt_f(c.value, c.w, c.d), c.expected) << describe(c);
}

TEST(FixedWriters, EFields) {
    const std::vector<RealCase> cases = {
        // The saved-data field.
        {293.15, 13, 7, "0.2931500E+03"},
        {1.2, 13, 7, "0.1200000E+01"},
        {0.0012 * 1000, 13, 7, "0.1200000E+01"},
        {0.0, 13, 7, "0.0000000E+00"},
        {-0.0, 13, 7, "0.0000000E+00"},
        {-1.234567, 13, 7, "-.1234567E+01"},
        {-0.045, 13, 7, "-.4500000E-01"},
        // Three-digit exponents drop the E.
        {1e-105, 13, 7, "0.1000000-104"},
        {-1e-105, 13, 7, "-.1000000-104"},
        {1e-104, 13, 7, "0.1000000-103"},
        {1e104, 13, 7, "0.1000000+105"},
        {1e99, 13, 7, "0.1000000+100"},
        {1e98, 13, 7, "0.1000000E+99"},
        {DENORM_MIN, 13, 7, "0.4940656-323"},
        {DENORM_MIN, 10, 4, "0.4941-323"},
        {DBL_MAX, 10, 4, "0.1798+309"},
        {-DBL_MAX, 10, 4, "-.1798+309"},
        // Rounding carries into the exponent; halves go away from zero.
        {9.99995, 10, 4, "0.1000E+02"},
        {9.99949, 10, 4, "0.9999E+01"},
        {0.25, 7, 1, "0.3E+00"},
        {0.35, 7, 1, "0.3E+00"},
        {125.0, 8, 2, "0.13E+03"},
        {2.5e15, 7, 1, "0.3E+16"},
        {-12345.0, 10, 4, "-.1235E+05"},
        {8.5, 7, 1, "0.9E+01"},
        {9.5, 7, 1, "0.1E+02"},
        {4.5e21, 7, 1, "0.5E+22"},  // a whole number beyond 64 bits
        // Width: leading zero only when it fits; E9.4 has no room for it.
        {1.0, 12, 4, "  0.1000E+01"},
        {1.0, 9, 4, ".1000E+01"},
        {1.0, 8, 4, "********"},
        {-1.0, 9, 4, "*********"},
        {-0.5, 10, 4, "-.5000E+00"},
        {-0.5, 9, 3, "-.500E+00"},
        {1e-5, 10, 4, "0.1000E-04"},
        // Bad descriptors.
        {1.0, 13, 0, "*************"},
        {1.0, 13, 100000, "*************"},
        {1.0, 0, 4, ""},
    };
    for (const RealCase& c : cases) EXPECT_EQ(fmt_e(c.value, c.w, c.d), c.expected) << describe(c);
}

TEST(FixedWriters, GFields) {
    const std::vector<RealCase> cases = {
        {16.0, 10, 4, " 16.00    "},
        {0.0, 10, 4, " 0.000    "},
        {-0.0, 10, 4, " 0.000    "},
        {-0.5, 10, 4, "-.5000    "},
        {0.016, 10, 4, "0.1600E-01"},
        {9999.6, 10, 4, "0.1000E+05"},
        {9999.4, 10, 4, " 9999.    "},
        {1234.0, 10, 4, " 1234.    "},
        {-1234.0, 10, 4, "-1234.    "},
        {-12345.0, 10, 4, "-.1235E+05"},
        {0.1, 10, 4, "0.1000    "},
        // The decision uses the value rounded to d digits.
        {0.099996, 10, 4, "0.1000    "},
        {0.09999, 10, 4, "0.9999E-01"},
        {99.9949, 10, 4, " 99.99    "},
        {99.995, 10, 4, " 100.0    "},
        {1e10, 10, 4, "0.1000E+11"},
        {293.15, 13, 7, " 293.1500    "},
        // The F part must fit in w-4 characters, else the whole field is stars.
        {1.0, 6, 1, "1.    "},
        {1.0, 5, 1, "*****"},
        {-1.0, 6, 1, "******"},
        {1.0, 3, 4, "***"},
        {1.0, 10, 0, "**********"},
        {1.0, 10, 100000, "**********"},
    };
    for (const RealCase& c : cases) EXPECT_EQ(fmt_g(c.value, c.w, c.d), c.expected) << describe(c);
}

// Reference rounding from the complete decimal expansion: keep the digits,
// add one when the first dropped digit is 5 or more (halves away from zero).
// Returns false when the kept digits carried into a new leading digit.
bool round_up_digits(std::string& kept, char first_dropped) {
    if (first_dropped < '5') return true;
    for (std::size_t i = kept.size(); i-- > 0;) {
        if (kept[i] != '9') {
            ++kept[i];
            return true;
        }
        kept[i] = '0';
    }
    kept.insert(kept.begin(), '1');
    return false;
}

std::string reference_e(double v, int d) {
    double a = std::fabs(v);
    std::string exact(900, '\0');
    auto r = std::to_chars(exact.data(), exact.data() + exact.size(), a, std::chars_format::scientific, 780);
    exact.resize(static_cast<std::size_t>(r.ptr - exact.data()));
    std::size_t e = exact.find('e');
    std::string digits = exact.substr(0, 1) + exact.substr(2, e - 2);
    int x = std::stoi(exact.substr(e + 1));
    std::string kept = digits.substr(0, static_cast<std::size_t>(d));
    if (!round_up_digits(kept, digits[static_cast<std::size_t>(d)])) {
        kept.pop_back();
        ++x;
    }
    int ex = x + 1;
    char tail[16];
    int aex = ex < 0 ? -ex : ex;
    if (aex <= 99)
        std::snprintf(tail, sizeof tail, "E%c%02d", ex < 0 ? '-' : '+', aex);
    else
        std::snprintf(tail, sizeof tail, "%c%03d", ex < 0 ? '-' : '+', aex);
    return std::string(v < 0 ? "-" : "") + "0." + kept + tail;
}

std::string reference_f(double v, int d) {
    double a = std::fabs(v);
    std::string exact(1500, '\0');
    auto r = std::to_chars(exact.data(), exact.data() + exact.size(), a, std::chars_format::fixed, 1100);
    exact.resize(static_cast<std::size_t>(r.ptr - exact.data()));
    std::size_t point = exact.find('.');
    std::string kept = exact.substr(0, point) + exact.substr(point + 1, static_cast<std::size_t>(d));
    round_up_digits(kept, exact[point + 1 + static_cast<std::size_t>(d)]);
    std::string text = kept.substr(0, kept.size() - static_cast<std::size_t>(d)) + "." +
                       kept.substr(kept.size() - static_cast<std::size_t>(d));
    bool zero = kept.find_first_not_of('0') == std::string::npos;
    return std::string(v < 0 && !zero ? "-" : "") + text;
}

// Exact halves are where a conversion that rounds halves to even, or that
// works on a shortened decimal form, goes wrong: dyadic fractions, whole
// numbers ending in 5, and random doubles of every magnitude.
TEST(FixedWriters, RoundingMatchesExactExpansion) {
    std::vector<double> values;
    for (int n = 1; n <= 60; ++n)
        for (std::int64_t k : {1, 3, 5, 7, 25, 125, 1001, 123456789})
            values.push_back(std::ldexp(static_cast<double>(k), -n));
    for (double base : {5.0, 15.0, 25.0, 125.0, 12345.0, 45.0, 999995.0, 4.5e21, 1.5e22})
        for (double scale : {1.0, 10.0, 100.0, 1e4}) values.push_back(base * scale);
    std::mt19937_64 random(20240611);
    for (int n = 0; n < 2000; ++n) {
        double v = std::bit_cast<double>(random());
        if (std::isfinite(v)) values.push_back(v);
    }
    for (int n = 0; n < 2000; ++n) {
        std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
        std::uniform_int_distribution<int> exponent(-30, 30);
        values.push_back(mantissa(random) * std::pow(10.0, exponent(random)));
    }
    for (double v : values) {
        for (int d : {1, 2, 3, 4, 7, 9, 15, 17}) {
            std::string expected = reference_e(v, d);
            ASSERT_EQ(fmt_e(v, static_cast<int>(expected.size()) + 1, d), " " + expected) << std::hexfloat << v;
        }
        if (std::fabs(v) < 1e30) {
            for (int d : {0, 1, 2, 3, 5, 8, 12, 20}) {
                std::string expected = reference_f(v, d);
                if (expected.rfind("0.", 0) == 0 && d == 0) expected = "0.";
                ASSERT_EQ(fmt_f(v, 0, d), expected) << std::hexfloat << v << " d " << d;
            }
        }
    }
}

// Precisions beyond the usual buffers still give the exact expansion.
TEST(FixedWriters, LongFields) {
    const std::string tenth = "1000000000000000055511151231257827021181583404541015625";  // 0.1 exactly
    std::string e = fmt_e(0.1, 700, 690);
    ASSERT_EQ(e.size(), 700u);
    EXPECT_EQ(e.substr(0, 6 + tenth.size()), "    0." + tenth);
    EXPECT_EQ(e.substr(6 + tenth.size()), std::string(690 - tenth.size(), '0') + "E+00");
    std::string f = fmt_f(0.1, 0, 600);
    ASSERT_EQ(f.size(), 602u);
    EXPECT_EQ(f, "0." + tenth + std::string(600 - tenth.size(), '0'));
    EXPECT_EQ(fmt_f(DBL_MAX, 0, 0).size(), 310u);
}

TEST(FixedWriters, NotANumberAndInfinity) {
    EXPECT_EQ(fmt_e(NaN, 13, 7), "          NaN");
    EXPECT_EQ(fmt_e(-NaN, 5, 1), "  NaN");
    EXPECT_EQ(fmt_e(NaN, 2, 1), "**");
    EXPECT_EQ(fmt_f(NaN, 3, 1), "NaN");
    EXPECT_EQ(fmt_g(NaN, 10, 4), "       NaN");
    EXPECT_EQ(fmt_f(INF, 8, 2), "Infinity");
    EXPECT_EQ(fmt_f(INF, 7, 2), "    Inf");
    EXPECT_EQ(fmt_f(INF, 2, 2), "**");
    EXPECT_EQ(fmt_f(-INF, 9, 2), "-Infinity");
    EXPECT_EQ(fmt_f(-INF, 8, 2), "    -Inf");
    EXPECT_EQ(fmt_e(-INF, 3, 1), "***");
    EXPECT_EQ(fmt_g(INF, 10, 4), "  Infinity");
    EXPECT_EQ(fmt_e(INF, 13, 7), "     Infinity");
    EXPECT_EQ(fmt_f(-INF, 0, 2), "-Infinity");
}

TEST(FixedWriters, TextAndBlanks) {
    EXPECT_EQ(fmt_a("abc", 5), "  abc");
    EXPECT_EQ(fmt_a("abcdef", 3), "abc");
    EXPECT_EQ(fmt_a("abc", 3), "abc");
    EXPECT_EQ(fmt_a("", 2), "  ");
    EXPECT_EQ(fmt_a("x", 0), "");
    EXPECT_EQ(fmt_x(3), "   ");
    EXPECT_EQ(fmt_x(0), "");
    EXPECT_EQ(fmt_x(-2), "");
}

// A saved-data line: six E13.7 fields touching, 78 characters.
TEST(FixedWriters, AppendedFieldsTouch) {
    std::string line;
    for (double v : {293.15, -0.045, 0.0, 1e-105, -1.234567, 1.0}) append_e(line, v, 13, 7);
    EXPECT_EQ(line,
              "0.2931500E+03-.4500000E-010.0000000E+000.1000000-104-.1234567E+010.1000000E+01");
    std::string record;
    append_i(record, 12, 5);
    append_i(record, 3, 5, 2);
    record += "  ";
    append_f(record, -0.25, 6, 2);
    append_g(record, 16.0, 10, 4);
    EXPECT_EQ(record, "   12   03   -0.25 16.00    ");
}

TEST(FixedWriters, CommaLocaleDoesNotChangeOutput) {
    const char* chosen = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
        if (std::setlocale(LC_ALL, name)) {
            chosen = name;
            break;
        }
    }
    if (!chosen) GTEST_SKIP() << "no locale with a decimal comma installed";
    std::string e = fmt_e(293.15, 13, 7), f = fmt_f(1.5, 8, 3), g = fmt_g(16.0, 10, 4), fr = free_double(0.5);
    double v = 0;
    bool read = read_fixed_real("0.2931500E+03", v);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(e, "0.2931500E+03");
    EXPECT_EQ(f, "   1.500");
    EXPECT_EQ(g, " 16.00    ");
    EXPECT_EQ(fr, "0.500000000000000");
    EXPECT_TRUE(read);
    EXPECT_EQ(v, 293.15);
}

TEST(FreeFormWriter, Doubles) {
    struct Case {
        double value;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {293.15, "293.150000000000"},
        {-0.5, "-0.500000000000000"},
        {1.0, "1.00000000000000"},
        {1000000.0, "1000000.00000000"},
        {1.0 / 3.0, "0.333333333333333"},
        {2.0 / 3.0, "0.666666666666667"},
        {0.1, "0.100000000000000"},
        {12345678901234.5, "12345678901234.5"},
        {0.0, "0.00000000000000"},
        {-0.0, "0.00000000000000"},
        // Outside [0.1, 1e14): scientific.
        {0.0012, "1.20000000000000E-03"},
        {-0.0012, "-1.20000000000000E-03"},
        {1e-5, "1.00000000000000E-05"},
        {1e14, "1.00000000000000E+14"},
        {1e300, "1.00000000000000E+300"},
        {DENORM_MIN, "4.94065645841247E-324"},
        {DBL_MAX, "1.79769313486232E+308"},
        // The form follows the value rounded to 15 digits.
        {99999999999999.99, "1.00000000000000E+14"},
        {0.09999999999999999, "0.100000000000000"},
        {0.09999999999999, "9.99999999999900E-02"},
        {NaN, "NaN"},
        {INF, "Infinity"},
        {-INF, "-Infinity"},
    };
    for (const Case& c : cases) EXPECT_EQ(free_double(c.value), c.expected) << c.expected;
}

TEST(FreeFormWriter, Lines) {
    EXPECT_EQ(free_line(" number of cells requested: ", 1000000), "  number of cells requested:  1000000");
    EXPECT_EQ(free_line(" T =", 293.15, "K", -3, true), "  T = 293.150000000000 K -3 T");
    EXPECT_EQ(free_line("monitor location", 1, 2, 3), " monitor location 1 2 3");
    EXPECT_EQ(free_line(), " ");
}

}  // namespace
}  // namespace tarvex
