// Fixed-format writers, free-form output and the readers of data lines and
// fixed fields. Digits come from std::to_chars / std::from_chars, which are
// exact and independent of the C locale; the fields are laid out here.
#include "common/textfmt.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <system_error>

namespace tarvex {

namespace {

// ---- Digit sources ---------------------------------------------------------

// Exponent of the lowest set bit of a (finite, non-zero): a is an odd whole
// multiple of 2^result.
int lowest_bit_exponent(double a) {
    auto bits = std::bit_cast<std::uint64_t>(a);
    int biased = static_cast<int>((bits >> 52) & 0x7ff);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    int e2 = -1074;  // denormal
    if (biased != 0) {
        mantissa |= std::uint64_t{1} << 52;
        e2 = biased - 1075;
    }
    return e2 + std::countr_zero(mantissa);
}

// |a| in scientific notation: a ~ lead.more x 10^x.
struct SciDigits {
    char lead = '0';
    std::string_view more;  // the digits after the point
    int x = 0;
};

// Digits of doubles, rounded to nearest with exact halves rounded away from
// zero (2.5 in F4.0 is "3."), as fixed-format output rounds. Holds the text
// of one conversion: a stack buffer for the usual precisions, the heap for
// very long ones.
class DigitBuffer {
public:
    // |a| (finite, not negative) with `prec` digits after the point.
    SciDigits scientific(double a, int prec) {
        SciDigits s = split(raw(a, std::chars_format::scientific, prec));
        if (a == 0.0 || !is_half(a, static_cast<long>(s.x) - prec - 1)) return s;
        // A half: to_chars rounded it to even. One more digit is exact (the
        // expansion ends with that 5); drop it and round up by hand.
        s = split(raw(a, std::chars_format::scientific, prec + 1));
        std::string_view more = s.more.substr(0, s.more.size() - 1);
        if (!increment(const_cast<char*>(more.data()), more.size())) {
            if (s.lead != '9') {
                ++s.lead;
            } else {  // 9.99|5 -> 1.000 x 10^(x+1)
                s.lead = '1';
                ++s.x;
            }
        }
        s.more = more;
        return s;
    }

    // |a| (finite, not negative) as "iii.ddd" with `prec` decimals ("iii"
    // when prec is 0).
    std::string_view fixed(double a, int prec) {
        std::string_view text = raw(a, std::chars_format::fixed, prec);
        if (a == 0.0 || !is_half(a, -1L - prec)) return text;
        text = raw(a, std::chars_format::fixed, prec + 1);  // exact, ends in 5
        char* first = const_cast<char*>(text.data());
        std::size_t n = text.size() - 1;
        if (prec == 0) --n;  // "2.5" -> "2"
        // Round up, the point skipped; a carry out of the front takes the
        // spare character before the text.
        std::size_t i = n;
        bool carry = true;
        while (carry && i-- > 0) {
            if (first[i] == '.') continue;
            if (first[i] == '9') {
                first[i] = '0';
            } else {
                ++first[i];
                carry = false;
            }
        }
        if (carry) {
            --first;
            *first = '1';
            ++n;
        }
        return std::string_view(first, n);
    }

private:
    // Adds one to a string of decimal digits; false when it carries out
    // (all nines become zeros).
    static bool increment(char* digits, std::size_t n) {
        while (n-- > 0) {
            if (digits[n] != '9') {
                ++digits[n];
                return true;
            }
            digits[n] = '0';
        }
        return false;
    }

    // Converts into the buffer after one spare character.
    std::string_view raw(double a, std::chars_format format, int prec) {
        std::size_t need = 1 + (format == std::chars_format::fixed ? 320u + static_cast<std::size_t>(prec)
                                                                   : 16u + static_cast<std::size_t>(prec));
        char* first = local_.data();
        if (need > local_.size()) {
            heap_.resize(need);
            first = heap_.data();
        }
        ++first;
        auto result = std::to_chars(first, first + need - 1, a, format, prec);
        return std::string_view(first, static_cast<std::size_t>(result.ptr - first));
    }

    // "d.ddde+xx" or "de+xx"
    static SciDigits split(std::string_view text) {
        SciDigits s;
        std::size_t e = text.size() - 1;
        int x = 0, scale = 1;
        while (text[e] != '+' && text[e] != '-') {
            x += (text[e] - '0') * scale;
            scale *= 10;
            --e;
        }
        s.x = text[e] == '-' ? -x : x;
        --e;  // the 'e'
        s.lead = text[0];
        if (e > 1) s.more = text.substr(2, e - 2);
        return s;
    }

    // Is a exactly a 5 in the decimal place 10^t with nothing after it?
    static bool is_half(double a, long t) {
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
    if (d < 1 || d > w) {  // no digits, or more than the field holds
        append_stars(out, w);
        return;
    }
    double a = std::fabs(value);
    bool negative = value < 0;  // -0.0 is written as zero, without a sign
    DigitBuffer buffer;
    SciDigits digits = buffer.scientific(a, d - 1);
    char exponent[4];
    if (!exponent_text(a == 0.0 ? 0 : digits.x + 1, exponent)) {
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
    out += digits.lead;
    out += digits.more;
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
    if (w > 0 && d >= w) {
        append_stars(out, w);
        return;
    }
    double a = std::fabs(value);
    // Every F field has a point, so a value of w or more integer digits
    // cannot fit: refuse huge values before converting all their digits.
    if (w > 0 && a >= 1e15 && w <= 308 && a >= std::pow(10.0, w)) {
        append_stars(out, w);
        return;
    }
    DigitBuffer buffer;
    std::string_view text = buffer.fixed(a, d);
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
    if (d < 1 || d >= w) {  // neither form fits
        append_stars(out, w);
        return;
    }
    double a = std::fabs(value);
    int k = 1;  // F form with d-k decimals when 0 <= k <= d
    if (a != 0.0) {
        DigitBuffer buffer;
        k = buffer.scientific(a, d - 1).x + 1;
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
    bool plain_exponent = true;  // none, or E / e with at most five digits
    if (i < s.size()) {
        char c = s[i];
        if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
            plain_exponent = c == 'E' || c == 'e';
            ++i;
        } else if (letterless_exponent && (c == '+' || c == '-')) {
            plain_exponent = false;
        } else {
            return false;
        }
        bool exp_negative = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            exp_negative = s[i] == '-';
            ++i;
        }
        if (i == s.size()) return false;
        if (s.size() - i > 5) plain_exponent = false;
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
    double parsed = 0.0;
    std::from_chars_result result;
    const char* end;
    if (plain_exponent && s[0] != '+') {
        // from_chars takes this text as it is, sign included.
        end = s.data() + s.size();
        result = std::from_chars(s.data(), end, parsed, std::chars_format::general);
    } else {
        // Rebuild as "mantissa e exponent" (from_chars takes neither a plus
        // sign nor D).
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
        end = p;
        result = std::from_chars(first, p, parsed, std::chars_format::general);
        if (negative) parsed = -parsed;
    }
    if (result.ptr != end) return false;
    if (result.ec == std::errc::result_out_of_range) {
        if (order + exponent > 0) return false;  // beyond the largest double
        parsed = negative ? -0.0 : 0.0;
    } else if (result.ec != std::errc()) {
        return false;
    }
    value = parsed;
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
    SciDigits digits = buffer.scientific(a, DIGITS - 1);
    int x = a == 0.0 ? 0 : digits.x;  // value = d.ddd x 10^x after rounding
    if (a != 0.0 && value < 0) out += '-';
    if (x >= -1 && x <= 13) {
        out += buffer.fixed(a, DIGITS - 1 - x);
        return out;
    }
    out += digits.lead;
    out += '.';
    out += digits.more;
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

bool read_fixed_real_blank_zero(std::string_view text, int w, double& value) {
    if (w <= 0) return false;
    std::string storage;
    std::string_view field = without_blanks(text.substr(0, static_cast<std::size_t>(w)), storage);
    if (field.empty()) {
        value = 0.0;
        return true;
    }
    return parse_real(field, true, value);
}

}  // namespace tarvex
