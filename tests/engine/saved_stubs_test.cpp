// TEMPORARY: stand-ins for routines that are being written elsewhere (text
// formats, names, densities, pressure-boundary flows), so that the balance and
// saved-data tests link before those land. Removed when they are merged.

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/names.h"
#include "common/textfmt.h"
#include "engine/engine.h"

namespace tarvex {

int stub_densit_calls = 0;
int stub_usrsub2_calls = 0;

void DENSIT() { ++stub_densit_calls; }
void USRSUB2() { ++stub_usrsub2_calls; }

PaddedName::PaddedName() { chars_.fill(' '); }
PaddedName::PaddedName(std::string_view text) : PaddedName() { assign(text); }
bool PaddedName::assign(std::string_view text) {
    if (text.size() > static_cast<std::size_t>(LENGTH)) return false;
    chars_.fill(' ');
    for (std::size_t i = 0; i < text.size(); ++i) chars_[i] = text[i];
    return true;
}
std::string PaddedName::trimmed() const { return std::string(trim_right(padded())); }
std::string_view trim_right(std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

std::string fmt_i(long long value, int w) {
    std::string s = std::to_string(value);
    if (static_cast<int>(s.size()) > w) return std::string(w, '*');
    return std::string(w - s.size(), ' ') + s;
}

std::string fmt_e(double value, int w, int d) {
    char buf[64];
    std::string mant;
    int exp = 0;
    if (value == 0.0) {
        mant = std::string(d, '0');
    } else {
        std::snprintf(buf, sizeof buf, "%.*e", d - 1, std::fabs(value));
        std::string s(buf);
        mant = s.substr(0, 1) + s.substr(2, d - 1);
        exp = std::atoi(s.c_str() + s.find('e') + 1) + 1;
    }
    std::string e;
    char eb[16];
    if (std::abs(exp) < 100) {
        std::snprintf(eb, sizeof eb, "E%c%02d", exp < 0 ? '-' : '+', std::abs(exp));
    } else {
        std::snprintf(eb, sizeof eb, "%c%03d", exp < 0 ? '-' : '+', std::abs(exp));
    }
    std::string body = "." + mant + eb;
    std::string out = (std::signbit(value) ? "-" : "0") + body;
    if (static_cast<int>(out.size()) > w) return std::string(w, '*');
    return std::string(w - out.size(), ' ') + out;
}

std::string free_double(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", value);
    return buf;
}

std::string_view strip_cr(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

bool read_fixed_int(std::string_view text, int w, long long& value) {
    std::string s;
    for (std::size_t i = 0; i < text.size() && static_cast<int>(i) < w; ++i)
        if (text[i] != ' ') s += text[i];
    if (s.empty()) return false;
    char* end = nullptr;
    value = std::strtoll(s.c_str(), &end, 10);
    return *end == '\0';
}

bool read_fixed_real(std::string_view field, double& value) {
    std::string s;
    for (char c : field)
        if (c != ' ') s += c;
    if (s.empty()) return false;
    // E-less exponent: a sign after the first digit or point.
    std::size_t pos = s.find_first_of("+-", 1);
    if (pos != std::string::npos && std::toupper(static_cast<unsigned char>(s[pos - 1])) != 'E')
        s.insert(pos, "E");
    for (char c : s)
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == 'E' || c == 'e' || c == '+' ||
              c == '-'))
            return false;
    char* end = nullptr;
    value = std::strtod(s.c_str(), &end);
    return *end == '\0';
}

}  // namespace tarvex
