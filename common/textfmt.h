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

std::string fmt_i(long long value, int w);          // Iw
std::string fmt_i(long long value, int w, int m);   // Iw.m: at least m digits
std::string fmt_f(double value, int w, int d);      // Fw.d
std::string fmt_e(double value, int w, int d);      // Ew.d: 0.d..dE+ee; "-.d..dE+ee" when one short;
                                                    // a three-digit exponent drops the E (0.1000000-104)
std::string fmt_g(double value, int w, int d);      // Gw.d
std::string fmt_a(std::string_view text, int w);    // Aw
std::string fmt_x(int n);                           // nX: n blanks

// ---- Free-form output ----------------------------------------------------

// One double with 15 significant digits, as the console lines write it.
std::string free_double(double value);

namespace detail {
inline void free_append(std::string& line, std::string_view text) { line += ' '; line += text; }
inline void free_append(std::string& line, const char* text) { free_append(line, std::string_view(text)); }
inline void free_append(std::string& line, const std::string& text) { free_append(line, std::string_view(text)); }
inline void free_append(std::string& line, double value) { line += ' '; line += free_double(value); }
inline void free_append(std::string& line, bool value) { line += value ? " T" : " F"; }
template <typename Int, std::enable_if_t<std::is_integral_v<Int> && !std::is_same_v<Int, bool>, int> = 0>
void free_append(std::string& line, Int value) { line += ' '; line += std::to_string(value); }
}  // namespace detail

// A free-form line: one leading blank, then the items separated by blanks;
// texts unchanged, integers in plain digits, doubles through free_double.
// free_line(" number of cells requested: ", 1000000)
//   == "  number of cells requested:  1000000"
template <typename... Items>
std::string free_line(const Items&... items) {
    std::string line;
    (detail::free_append(line, items), ...);
    if (line.empty()) line = " ";
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

// Iw: reads the first w characters (fewer when the text is shorter) as an
// integer; blanks are ignored. False when the field cannot be read.
bool read_fixed_int(std::string_view text, int w, long long& value);

// Ew.d / Fw.d field as the saved-data file writes it (including the E-less
// three-digit exponent form "0.1000000-104"). False when unreadable.
bool read_fixed_real(std::string_view field, double& value);

}  // namespace tarvex
