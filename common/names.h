// Blank-padded names of 255 characters, as the file names are kept.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tarvex {

class PaddedName {
public:
    static constexpr int LENGTH = 255;

    PaddedName();                                 // all blanks
    // Must fit (see assign); a text that does not fit leaves the name all
    // blanks, which names no file.
    explicit PaddedName(std::string_view text);

    // Stores text blank-padded. A text longer than LENGTH is refused (false,
    // nothing changed): cutting it would name a different file.
    bool assign(std::string_view text);

    // The stored name without its trailing blanks: what is opened.
    std::string trimmed() const;
    // All LENGTH characters, padding included.
    std::string_view padded() const { return std::string_view(chars_.data(), LENGTH); }

    bool operator==(const PaddedName& other) const { return chars_ == other.chars_; }

private:
    std::array<char, LENGTH> chars_;
};

// The text without trailing blanks (only the blank character counts).
std::string_view trim_right(std::string_view text);

}  // namespace tarvex
