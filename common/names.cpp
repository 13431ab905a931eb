// Blank-padded names.
#include "common/names.h"

#include <algorithm>

namespace tarvex {

PaddedName::PaddedName() { chars_.fill(' '); }

PaddedName::PaddedName(std::string_view text) : PaddedName() { assign(text); }

bool PaddedName::assign(std::string_view text) {
    if (text.size() > static_cast<std::size_t>(LENGTH)) return false;
    std::copy(text.begin(), text.end(), chars_.begin());
    std::fill(chars_.begin() + static_cast<std::ptrdiff_t>(text.size()), chars_.end(), ' ');
    return true;
}

std::string PaddedName::trimmed() const { return std::string(trim_right(padded())); }

std::string_view trim_right(std::string_view text) {
    std::size_t n = text.size();
    while (n > 0 && text[n - 1] == ' ') --n;
    return text.substr(0, n);
}

}  // namespace tarvex
