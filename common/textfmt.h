// Text formats shared by the engine and the front end.
//
// Fixed-format writers for the format items Iw, Iw.m, Fw.d, Ew.d, Gw.d, Aw and
// nX (a field that does not fit is filled with asterisks), the free-form line
// writer of console messages, the strict free-form reader of data lines, and
// readers of fixed fields (I1, I10, E13.7).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace tarvex {

// ---- Fixed-format writers ------------------------------------------------
//
// Each writer returns exactly w characters, right-aligned, with no plus sign.
// A value that does not fit fills the field with w asterisks. The digits are
// the exact decimal value of the double rounded to nearest, exact halves
// away from zero (2.5 in F4.0 is "  3.", 0.125 in F5.2 is " 0.13"); rounding
// carries into a new digit (9.99995 in E10.4 is "0.1000E+02"). The C locale
// has no effect.
//
// Iw      plain digits; I4 of 12345 is "****".
// Iw.m    at least m digits, zero-filled (I5.3 of -7 is " -007"); Iw.0 of 0 is
//         w blanks; m > w gives asterisks.
// Fw.d    d decimals and always a point ("   1.500" for F8.3 of 1.5); a value
//         below 1 gets the leading "0." when it fits and drops the 0 when
//         the field is one short (F4.3 of 0.5 is ".500"); Fw.0 writes "2.".
// Ew.d    0.d..dE+ee; the 0 is dropped when the field is one short
//         ("-.1234567E+01" in E13.7); a three-digit exponent drops the E
//         ("0.1000000-104"). Zero is 0.0..0E+00. d < 1 gives asterisks.
// Gw.d    the value rounded to d significant digits; when that rounded
//         magnitude lies in [0.1, 10^d) or is zero, F(w-4).(d-k) followed by
//         four blanks, where 10^(k-1) <= rounded < 10^k (k = 1 for zero);
//         otherwise Ew.d. G10.4: 16 -> " 16.00    ", 0 -> " 0.000    ",
//         -0.5 -> "-.5000    ", 0.016 -> "0.1600E-01", 9999.6 -> "0.1000E+05".
// Aw      the first w characters of the text, or the text right-aligned
//         after blanks when it is shorter.
// nX      n blanks.
//
// Negative zero, and a negative value that shows as zero in an F field
// (F6.2 of -0.001), are written without a sign, like zero.
// NaN is written "NaN", right-aligned; +Inf "Infinity" when w >= 8, else
// "Inf"; -Inf "-Infinity" when w >= 9, else "-Inf"; asterisks when even the
// short form does not fit. These are not numbers to the readers below.
// A width of 0 for I and F writes the shortest field (I0, F0.d); for E, G
// and A, and for any negative width, the result is empty.

std::string fmt_i(long long value, int w);          // Iw
std::string fmt_i(long long value, int w, int m);   // Iw.m: at least m digits
std::string fmt_f(double value, int w, int d);      // Fw.d
std::string fmt_e(double value, int w, int d);      // Ew.d: 0.d..dE+ee; "-.d..dE+ee" when one short;
                                                    // a three-digit exponent drops the E (0.1000000-104)
std::string fmt_g(double value, int w, int d);      // Gw.d
std::string fmt_a(std::string_view text, int w);    // Aw
std::string fmt_x(int n);                           // nX: n blanks

// The same fields appended to a line (no temporary string per value), for
// long fixed-format lines such as the saved-data blocks.
void append_i(std::string& out, long long value, int w);
void append_i(std::string& out, long long value, int w, int m);
void append_f(std::string& out, double value, int w, int d);
void append_e(std::string& out, double value, int w, int d);
void append_g(std::string& out, double value, int w, int d);

// ---- Free-form output ----------------------------------------------------

// One double with 15 significant digits, as the console lines write it.
// The value is first rounded to 15 significant digits; when the rounded
// magnitude lies in [0.1, 1e14) it is written in fixed notation with all 15
// digits ("293.150000000000", "-0.500000000000000", "12345678901234.5"),
// otherwise as d.ddddddddddddddE+xx with an exponent of at least two digits
// ("1.20000000000000E-03", "1.00000000000000E+14", "4.94065645841247E-324").
// Zero, negative zero included, is "0.00000000000000". NaN and infinities
// are "NaN", "Infinity" and "-Infinity".
std::string free_double(double value);

namespace detail {
// Out of line: inlined std::string appends draw false -Wrestrict warnings
// from GCC 12 in every caller.
void free_append(std::string& line, std::string_view text);
void free_append(std::string& line, double value);
void free_append_signed(std::string& line, long long value);
void free_append_unsigned(std::string& line, unsigned long long value);
inline void free_append(std::string& line, const char* text) { free_append(line, std::string_view(text)); }
inline void free_append(std::string& line, const std::string& text) { free_append(line, std::string_view(text)); }
inline void free_append(std::string& line, bool value) { free_append(line, std::string_view(value ? "T" : "F")); }
template <typename Int, std::enable_if_t<std::is_integral_v<Int> && !std::is_same_v<Int, bool>, int> = 0>
void free_append(std::string& line, Int value) {
    if constexpr (std::is_signed_v<Int>)
        free_append_signed(line, value);
    else
        free_append_unsigned(line, value);
}
}  // namespace detail

// A free-form line: one leading blank, then the items separated by blanks;
// texts unchanged, integers in plain digits, doubles through free_double.
// free_line(" number of cells requested: ", 1000000)
//   == "  number of cells requested:  1000000"
template <typename... Items>
std::string free_line(const Items&... items) {
    std::string line;
    (detail::free_append(line, items), ...);
    if (line.empty()) line.push_back(' ');
    return line;
}

// ---- Free-form input -----------------------------------------------------

enum class ReadStatus {
    ok,        // the item was read
    missing,   // no further item on the line
    bad,       // the next item cannot be read as the asked type
};

// Reads the items of one data line in turn. Items are separated by blanks,
// tabs or commas. An integer item is optional sign and digits only; a real
// item is a decimal number with an optional E or D exponent. "inf", "nan",
// hexadecimal forms and trailing garbage make an item unreadable.
//
// In detail:
// - Between two items stand blanks or tabs, or one comma with blanks or tabs
//   around it. A comma at the start of the line, or two commas with nothing
//   but blanks between them, is an empty item, which is unreadable (bad),
//   never skipped: skipping it would move the later values into the wrong
//   items. A comma after the last item is allowed. An empty or all-blank
//   line holds no item: the first read answers missing.
// - Integer item: [+|-]digits within the 32-bit range; "2.5", "3abc", "1e2"
//   and 2147483648 are bad (no wrap-around).
// - Real item: [+|-] digits with an optional point ("5", "5.", ".5", "-1.25")
//   and an optional exponent E, e, D or d with optionally signed digits
//   ("1.5D-3", "2e+2"). A value beyond the double range is bad; one below
//   the smallest denormal reads as zero. "inf", "nan", "0x1p3", "1.5+3" (an
//   exponent needs its letter here), "1.2.3" and "1.5e" are bad.
// - A read that answers bad leaves the value and the position unchanged, so
//   the same item can be tried as the other type; ok moves past the item.
// - Whatever follows the items that are read is not looked at.
// - A carriage return at the end of the line is removed first.
class FreeFormReader {
public:
    explicit FreeFormReader(std::string_view line);

    ReadStatus read(int& value);       // 32-bit integer item
    ReadStatus read(double& value);    // real item

    // Items read successfully so far.
    int items_read() const { return items_read_; }
    // True when no further item follows.
    bool at_end() const;

private:
    std::string_view next_item(bool& found);
    std::string_view rest_;
    int items_read_ = 0;
};

// Removes a carriage return at the end of a line (files written on Windows).
std::string_view strip_cr(std::string_view line);

// ---- Fixed-field readers -------------------------------------------------

// Fixed fields are read as the classic fixed-format input reads them from a
// text: blanks anywhere in the field are ignored (so "1 2" reads 12).

// Iw: reads the first w characters (fewer when the text is shorter) as an
// integer: optional sign and digits; blanks are ignored. A field that is
// empty or all blanks reads as 0, as fixed-format input does. False (value
// unchanged) when the field cannot be read: any other character, a sign
// without digits, a value beyond 64 bits, or w < 1.
bool read_fixed_int(std::string_view text, int w, long long& value);

// Ew.d / Fw.d field as the saved-data file writes it (including the E-less
// three-digit exponent form "0.1000000-104"). False when unreadable.
// Accepted: [+|-] digits with an optional point, then an optional exponent
// introduced by E, e, D or d (optionally signed) or by a sign alone
// ("0.1000000-104", "1.5+3"). A field without a point is a whole number (no
// implied decimals). Blanks are ignored, but an empty or all-blank field is
// unreadable: the writer never leaves one, and reading it as zero would turn
// a damaged file into zeros. NaN, infinities, hexadecimal forms, values
// beyond the double range and any other character are unreadable (value
// unchanged); a value below the smallest denormal reads as zero.
bool read_fixed_real(std::string_view field, double& value);

// Fw.0 as fixed-format input reads a text such as an edit field: the first
// w characters (fewer when the text is shorter), blanks ignored, and an empty
// or all-blank field reads as 0. Otherwise as read_fixed_real: a number with
// a point or an exponent keeps them, one without is a whole number. False
// (value unchanged) when unreadable, NaN and infinities included, or w < 1.
bool read_fixed_real_blank_zero(std::string_view text, int w, double& value);

}  // namespace tarvex
