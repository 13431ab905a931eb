// Fixed-format writers, free-form output and the readers of data lines and
// fixed fields. Digits come from std::to_chars / std::from_chars, which are
// exact and independent of the C locale; the fields are laid out here.
#include "common/textfmt.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <system_error>

namespace tarvex {

namespace {

// ---- Digit sources ---------------------------------------------------------

// Exponent of the lowest set bit of a (finite, non-zero): a is a whole
// multiple of 2^result and an odd one.
int lowest_bit_exponent(double a) {
    int e = 0;
    double f = std::frexp(a, &e);
    auto m = static_cast<std::uint64_t>(std::ldexp(f, 53));
    int tz = 0;
    while ((m & 1u) == 0) {
        m >>= 1;
        ++tz;
    }
    return e - 53 + tz;
}

// Holds the text of one conversion: a stack buffer for the usual precisions,
// the heap for very long ones.
class DigitBuffer {
public:
    // |a| (finite, not negative) with `prec` digits after the point, in
    // scientific ("d.ddde+xx") or fixed ("iii.ddd") notation, rounded to
    // nearest with exact halves rounded away from zero (2.5 in F4.0 is
    // "3."), as fixed-format output rounds.
    std::string_view convert(double a, std::chars_format format, int prec) {
        std::string_view text = raw(a, format, prec);
        if (a != 0.0 && is_half(a, format, prec, text)) {
            // a is exactly halfway: one step up puts it past the half without
            // reaching the next one (the step is below half a unit of the
            // dropped digit), so the digits round away from zero.
            text = raw(std::nextafter(a, std::numeric_limits<double>::infinity()), format, prec);
        }
        return text;
    }

private:
    std::string_view raw(double a, std::chars_format format, int prec) {
        std::size_t need = format == std::chars_format::fixed ? 320u + static_cast<std::size_t>(prec)
                                                              : 16u + static_cast<std::size_t>(prec);
        char* first = local_.data();
        if (need > local_.size()) {
            heap_.resize(need);
            first = heap_.data();
        }
        auto result = std::to_chars(first, first + need, a, format, prec);
        return std::string_view(first, static_cast<std::size_t>(result.ptr - first));
    }

    // Is a exactly a 5 in the first dropped decimal place with nothing
    // after it? `text` is its conversion (only the exponent is used).
    static bool is_half(double a, std::chars_format format, int prec, std::string_view text) {
        // t: the decimal place (10^t) of the first dropped digit.
        long t;
        if (format == std::chars_format::fixed) {
            t = -1L - prec;
        } else {
            std::size_t e = text.find('e');
            int x = 0;
            std::from_chars(text.data() + e + 2, text.data() + text.size(), x);
            if (text[e + 1] == '-') x = -x;
            t = static_cast<long>(x) - prec - 1;
        }
        int lsb = lowest_bit_exponent(a);
        // A fraction of lowest bit 2^-n has exactly n decimals, the last a 5.
        if (t < 0) return lsb == t;
        if (lsb < 0) return false;
        // A whole number: look at its exact digits.
        std::array<char, 320> digits;
        auto r = std::to_chars(digits.data(), digits.data() + digits.size(), a, std::chars_format::fixed, 0);
        long n = r.ptr - digits.data();
        if (t >= n) return false;
        if (digits[static_cast<std::size_t>(n - 1 - t)] != '5') return false;
        for (long i = n - t; i < n; ++i)
            if (digits[static_cast<std::size_t>(i)] != '0') return false;
        return true;
    }

    std::array<char, 512> local_;
    std::string heap_;
};

// The value as 0.d1d2..dn x 10^exp10, rounded to n significant digits
// (n >= 1). Zero gives n zeros and exponent 0.
struct Mantissa {
    std::string_view digits;  // n digits, no point
    int exp10 = 0;
};

Mantissa scientific_digits(double a, int n, DigitBuffer& buffer, std::string& scratch) {
    Mantissa m;
    if (a == 0.0) {
        scratch.assign(static_cast<std::size_t>(n), '0');
        m.digits = scratch;
        m.exp10 = 0;
        return m;
    }
    std::string_view text = buffer.convert(a, std::chars_format::scientific, n - 1);
    // "d.ddde+xx" (or "de+xx" when n == 1)
    std::size_t e = text.find('e');
    scratch.clear();
    scratch += text[0];
    if (e > 1) scratch.append(text.substr(2, e - 2));
    int x = 0;
    std::from_chars(text.data() + e + 2, text.data() + text.size(), x);
    if (text[e + 1] == '-') x = -x;
    m.digits = scratch;
    m.exp10 = x + 1;
    return m;
}

// ---- Field helpers -----------------------------------------------------------

void append_stars(std::string& out, int w) {
    if (w > 0) out.append(static_cast<std::size_t>(w), '*');
}

void append_blanks(std::string& out, int n) {
    if (n > 0) out.append(static_cast<std::size_t>(n), ' ');
}

// NaN and infinities: "NaN", "Infinity" / "Inf", "-Infinity" / "-Inf",
// right-aligned; asterisks when even the short form does not fit. A width
// of 0 (the minimal-width F field) takes the long form.
void append_special(std::string& out, double value, int w) {
    std::string_view text;
    if (std::isnan(value)) {
        text = "NaN";
    } else if (value > 0) {
        text = (w == 0 || w >= 8) ? std::string_view("Infinity") : std::string_view("Inf");
    } else {
        text = (w == 0 || w >= 9) ? std::string_view("-Infinity") : std::string_view("-Inf");
    }
    if (w == 0) {
        out += text;
    } else if (static_cast<int>(text.size()) > w) {
        append_stars(out, w);
    } else {
        append_blanks(out, w - static_cast<int>(text.size()));
        out += text;
    }
}

// Exponent part of an E field for 0.ddd x 10^x: "E+xx", or "+xxx" for a
// three-digit exponent. False when the exponent needs more digits.
bool exponent_text(int x, char out[4]) {
    int ax = x < 0 ? -x : x;
    char sign = x < 0 ? '-' : '+';
    if (ax <= 99) {
        out[0] = 'E';
        out[1] = sign;
        out[2] = static_cast<char>('0' + ax / 10);
        out[3] = static_cast<char>('0' + ax % 10);
        return true;
    }
    if (ax <= 999) {
        out[0] = sign;
        out[1] = static_cast<char>('0' + ax / 100);
        out[2] = static_cast<char>('0' + (ax / 10) % 10);
        out[3] = static_cast<char>('0' + ax % 10);
        return true;
    }
    return false;
}

void append_e_field(std::string& out, double value, int w, int d) {
    if (w <= 0) return;
    if (!std::isfinite(value)) {
        append_special(out, value, w);
        return;
    }
    if (d < 1) {
        append_stars(out, w);
        return;
    }
    double a = std::fabs(value);
    bool negative = value < 0;  // -0.0 is written as zero, without a sign
    DigitBuffer buffer;
    std::string scratch;
    Mantissa m = scientific_digits(a, d, buffer, scratch);
    char exponent[4];
    if (!exponent_text(m.exp10, exponent)) {
        append_stars(out, w);
        return;
    }
    // sign, ".", d digits, 4 exponent characters; the leading 0 when room.
    int length = (negative ? 1 : 0) + 1 + d + 4;
    if (length > w) {
        append_stars(out, w);
        return;
    }
    bool zero = length < w;
    append_blanks(out, w - length - (zero ? 1 : 0));
    if (negative) out += '-';
    if (zero) out += '0';
    out += '.';
    out += m.digits;
    out.append(exponent, 4);
}

// Fw.d; w == 0 writes the shortest field.
void append_f_field(std::string& out, double value, int w, int d) {
    if (w < 0) return;
    if (!std::isfinite(value)) {
        append_special(out, value, w);
        return;
    }
    if (d < 0) {
        append_stars(out, w);
        return;
    }
    double a = std::fabs(value);
    // Every F field has a point, so a value of w or more integer digits
    // cannot fit: refuse huge values before converting all their digits.
    if (w > 0 && w <= 308 && a >= std::pow(10.0, w)) {
        append_stars(out, w);
        return;
    }
    DigitBuffer buffer;
    std::string_view text = buffer.convert(a, std::chars_format::fixed, d);
    std::size_t point = text.find('.');
    std::string_view int_part = text.substr(0, point);
    std::string_view frac_part = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    bool all_zero = true;
    for (char c : text) {
        if (c != '0' && c != '.') {
            all_zero = false;
            break;
        }
    }
    // A value that shows as zero is written without a sign.
    bool negative = value < 0 && !all_zero;
    bool optional_zero = int_part == "0" && d > 0;
    int length = (negative ? 1 : 0) + (optional_zero ? 0 : static_cast<int>(int_part.size())) + 1 + d;
    bool zero = optional_zero && (w == 0 || length < w);
    if (w > 0 && length > w) {
        append_stars(out, w);
        return;
    }
    if (w > 0) append_blanks(out, w - length - (zero ? 1 : 0));
    if (negative) out += '-';
    if (!optional_zero || zero) out += int_part;
    out += '.';
    out += frac_part;
}

void append_g_field(std::string& out, double value, int w, int d) {
    if (w <= 0) return;
    if (!std::isfinite(value)) {
        append_special(out, value, w);
        return;
    }
    if (d < 1) {
        append_stars(out, w);
        return;
    }
    double a = std::fabs(value);
    int k;  // F form with d-k decimals when 0 <= k <= d
    if (a == 0.0) {
        k = 1;
    } else {
        DigitBuffer buffer;
        std::string scratch;
        k = scientific_digits(a, d, buffer, scratch).exp10;
    }
    if (k < 0 || k > d) {
        append_e_field(out, value, w, d);
        return;
    }
    int fw = w - 4;
    if (fw < 1) {
        append_stars(out, w);
        return;
    }
    std::size_t start = out.size();
    append_f_field(out, value, fw, d - k);
    if (out[start] == '*') {
        out.resize(start);
        append_stars(out, w);
        return;
    }
    append_blanks(out, 4);
}

void append_i_field(std::string& out, long long value, int w, int m) {
    if (w < 0) return;
    if (m < 0 || (w > 0 && m > w)) {
        append_stars(out, w);
        return;
    }
    unsigned long long magnitude = value < 0 ? 0ull - static_cast<unsigned long long>(value)
                                             : static_cast<unsigned long long>(value);
    char digits[24];
    int n = 0;
    while (magnitude != 0) {
        digits[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    }
    if (n == 0 && m == 0 && w == 0) {
        out += ' ';  // I0.0 of zero: one blank
        return;
    }
    int ndigits = n > m ? n : m;
    int length = (value < 0 ? 1 : 0) + ndigits;
    if (w > 0 && length > w) {
        append_stars(out, w);
        return;
    }
    if (w > 0) append_blanks(out, w - length);
    if (value < 0) out += '-';
    out.append(static_cast<std::size_t>(ndigits - n), '0');
    while (n > 0) out += digits[--n];
}

// ---- Readers -----------------------------------------------------------------

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Optional sign and decimal digits, within the range [lo, hi].
bool parse_integer(std::string_view s, long long lo, long long hi, long long& value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    if (i == s.size()) return false;
    // Accumulate the negative magnitude so that the lowest value fits.
    long long acc = 0;
    long long limit = negative ? lo : -hi;
    for (; i < s.size(); ++i) {
        if (!is_digit(s[i])) return false;
        int digit = s[i] - '0';
        if (acc < (limit + digit) / 10) return false;
        acc = acc * 10 - digit;
        if (acc < limit) return false;
    }
    value = negative ? acc : -acc;
    return true;
}

// A real number: optional sign, digits with an optional point (at least one
// digit), then an optional exponent: E, e, D or d followed by an optionally
// signed integer, or - when `letterless_exponent` - a sign followed by
// digits ("0.1000000-104"). Nothing may follow. Out of range: an overflow is
// refused, an underflow reads as zero.
bool parse_real(std::string_view s, bool letterless_exponent, double& value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    std::size_t mant_begin = i;
    int digit_count = 0;
    bool seen_point = false;
    // Decimal order of the first non-zero digit (value ~ 10^order), for
    // telling an overflow from an underflow.
    long long order = 0;
    bool seen_nonzero = false;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (is_digit(c)) {
            ++digit_count;
            if (!seen_nonzero && c != '0') seen_nonzero = true;
            if (!seen_point && seen_nonzero) ++order;
            if (seen_point && !seen_nonzero) --order;
        } else if (c == '.' && !seen_point) {
            seen_point = true;
        } else {
            break;
        }
    }
    if (digit_count == 0) return false;
    std::string_view mantissa = s.substr(mant_begin, i - mant_begin);
    long long exponent = 0;
    if (i < s.size()) {
        char c = s[i];
        if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
            ++i;
        } else if (!(letterless_exponent && (c == '+' || c == '-'))) {
            return false;
        }
        bool exp_negative = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            exp_negative = s[i] == '-';
            ++i;
        }
        if (i == s.size()) return false;
        for (; i < s.size(); ++i) {
            if (!is_digit(s[i])) return false;
            if (exponent < 100000) exponent = exponent * 10 + (s[i] - '0');
        }
        if (exp_negative) exponent = -exponent;
    }
    if (!seen_nonzero) {
        value = negative ? -0.0 : 0.0;
        return true;
    }
    // Rebuild as "mantissa e exponent" for from_chars (which takes neither
    // a plus sign nor D).
    std::string heap;
    std::array<char, 160> local;
    std::size_t need = mantissa.size() + 24;
    char* first = local.data();
    if (need > local.size()) {
        heap.resize(need);
        first = heap.data();
    }
    char* p = first;
    std::memcpy(p, mantissa.data(), mantissa.size());
    p += mantissa.size();
    *p++ = 'e';
    p = std::to_chars(p, first + need, exponent).ptr;
    double parsed = 0.0;
    auto result = std::from_chars(first, p, parsed, std::chars_format::general);
    if (result.ptr != p) return false;
    if (result.ec == std::errc::result_out_of_range) {
        if (order + exponent > 0) return false;  // beyond the largest double
        parsed = 0.0;
    } else if (result.ec != std::errc()) {
        return false;
    }
    value = negative ? -parsed : parsed;
    return true;
}

bool is_blank_or_tab(char c) { return c == ' ' || c == '\t'; }

std::string_view skip_blanks(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && is_blank_or_tab(s[i])) ++i;
    return s.substr(i);
}

// After an item: blanks, at most one comma, blanks.
std::string_view skip_separator(std::string_view s) {
    s = skip_blanks(s);
    if (!s.empty() && s[0] == ',') s = skip_blanks(s.substr(1));
    return s;
}

// The text with its blanks removed (fixed fields ignore blanks).
std::string_view without_blanks(std::string_view s, std::string& storage) {
    if (s.find(' ') == std::string_view::npos) return s;
    storage.clear();
    for (char c : s)
        if (c != ' ') storage += c;
    return storage;
}

}  // namespace

// ---- Fixed-format writers ------------------------------------------------------

void append_i(std::string& out, long long value, int w) { append_i_field(out, value, w, 1); }
void append_i(std::string& out, long long value, int w, int m) { append_i_field(out, value, w, m); }
void append_f(std::string& out, double value, int w, int d) { append_f_field(out, value, w, d); }
void append_e(std::string& out, double value, int w, int d) { append_e_field(out, value, w, d); }
void append_g(std::string& out, double value, int w, int d) { append_g_field(out, value, w, d); }

std::string fmt_i(long long value, int w) {
    std::string out;
    append_i_field(out, value, w, 1);
    return out;
}

std::string fmt_i(long long value, int w, int m) {
    std::string out;
    append_i_field(out, value, w, m);
    return out;
}

std::string fmt_f(double value, int w, int d) {
    std::string out;
    append_f_field(out, value, w, d);
    return out;
}

std::string fmt_e(double value, int w, int d) {
    std::string out;
    append_e_field(out, value, w, d);
    return out;
}

std::string fmt_g(double value, int w, int d) {
    std::string out;
    append_g_field(out, value, w, d);
    return out;
}

std::string fmt_a(std::string_view text, int w) {
    if (w <= 0) return std::string();
    std::size_t width = static_cast<std::size_t>(w);
    if (text.size() >= width) return std::string(text.substr(0, width));
    std::string out(width - text.size(), ' ');
    out += text;
    return out;
}

std::string fmt_x(int n) { return n > 0 ? std::string(static_cast<std::size_t>(n), ' ') : std::string(); }

// ---- Free-form output ------------------------------------------------------------

std::string free_double(double value) {
    std::string out;
    if (!std::isfinite(value)) {
        append_special(out, value, 0);
        return out;
    }
    constexpr int DIGITS = 15;
    double a = std::fabs(value);
    DigitBuffer buffer;
    std::string scratch;
    Mantissa m = scientific_digits(a, DIGITS, buffer, scratch);
    int x = m.exp10 - 1;  // value = d.ddd x 10^x after rounding
    if (a == 0.0) x = 0;
    if (a != 0.0 && value < 0) out += '-';
    if (x >= -1 && x <= 13) {
        out += buffer.convert(a, std::chars_format::fixed, DIGITS - 1 - x);
        return out;
    }
    out += m.digits[0];
    out += '.';
    out += m.digits.substr(1);
    out += 'E';
    out += x < 0 ? '-' : '+';
    int ax = x < 0 ? -x : x;
    if (ax < 10) out += '0';
    out += std::to_string(ax);
    return out;
}

namespace detail {

void free_append(std::string& line, std::string_view text) {
    line += ' ';
    line += text;
}

void free_append(std::string& line, double value) {
    line += ' ';
    line += free_double(value);
}

void free_append_signed(std::string& line, long long value) {
    char digits[24];
    auto r = std::to_chars(digits, digits + sizeof digits, value);
    line += ' ';
    line.append(digits, static_cast<std::size_t>(r.ptr - digits));
}

void free_append_unsigned(std::string& line, unsigned long long value) {
    char digits[24];
    auto r = std::to_chars(digits, digits + sizeof digits, value);
    line += ' ';
    line.append(digits, static_cast<std::size_t>(r.ptr - digits));
}

}  // namespace detail

// ---- Free-form input -------------------------------------------------------------

std::string_view strip_cr(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

FreeFormReader::FreeFormReader(std::string_view line) : rest_(skip_blanks(strip_cr(line))) {}

bool FreeFormReader::at_end() const { return rest_.empty(); }

std::string_view FreeFormReader::next_item(bool& found) {
    found = !rest_.empty();
    std::size_t n = 0;
    while (n < rest_.size() && !is_blank_or_tab(rest_[n]) && rest_[n] != ',') ++n;
    return rest_.substr(0, n);
}

ReadStatus FreeFormReader::read(int& value) {
    bool found = false;
    std::string_view item = next_item(found);
    if (!found) return ReadStatus::missing;
    long long parsed = 0;
    if (!parse_integer(item, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), parsed))
        return ReadStatus::bad;
    value = static_cast<int>(parsed);
    ++items_read_;
    rest_ = skip_separator(rest_.substr(item.size()));
    return ReadStatus::ok;
}

ReadStatus FreeFormReader::read(double& value) {
    bool found = false;
    std::string_view item = next_item(found);
    if (!found) return ReadStatus::missing;
    double parsed = 0.0;
    if (!parse_real(item, false, parsed)) return ReadStatus::bad;
    value = parsed;
    ++items_read_;
    rest_ = skip_separator(rest_.substr(item.size()));
    return ReadStatus::ok;
}

// ---- Fixed-field readers -----------------------------------------------------------

bool read_fixed_int(std::string_view text, int w, long long& value) {
    if (w <= 0) return false;
    std::string storage;
    std::string_view field = without_blanks(text.substr(0, static_cast<std::size_t>(w)), storage);
    if (field.empty()) {
        value = 0;
        return true;
    }
    return parse_integer(field, std::numeric_limits<long long>::min(), std::numeric_limits<long long>::max(),
                         value);
}

bool read_fixed_real(std::string_view field, double& value) {
    std::string storage;
    std::string_view text = without_blanks(field, storage);
    if (text.empty()) return false;
    return parse_real(text, true, value);
}

}  // namespace tarvex
