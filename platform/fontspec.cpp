#include "platform/fontspec.h"

#include <cctype>

namespace tarvex::platform {

namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

bool parse_font_description(std::string_view d, FontSpec& spec) {
    FontSpec result;
    std::size_t i = 0;
    const auto read_number = [&](int& value) {
        std::size_t start = i;
        long n = 0;
        while (i < d.size() && std::isdigit(static_cast<unsigned char>(d[i])) && i - start < 4) {
            n = n * 10 + (d[i] - '0');
            ++i;
        }
        if (i == start || (i < d.size() && std::isdigit(static_cast<unsigned char>(d[i])))) return false;
        if (n < 1 || n > 500) return false;
        value = static_cast<int>(n);
        return true;
    };
    bool any = false;
    while (i < d.size()) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(d[i])));
        ++i;
        switch (c) {
            case 't': {
                if (i >= d.size() || d[i] != '\'') return false;
                const std::size_t close = d.find('\'', i + 1);
                if (close == std::string_view::npos) return false;
                result.face.assign(d.substr(i + 1, close - i - 1));
                i = close + 1;
                break;
            }
            case 'h': if (!read_number(result.height)) return false; break;
            case 'w': if (!read_number(result.width)) return false; break;
            case 'p': result.fixed = false; break;
            case 'f': result.fixed = true; break;
            case 'v': result.vector = true; break;
            case 'r': result.vector = false; break;
            case 'b': result.bold = true; break;
            case 'i': result.italic = true; break;
            case 'u': result.underline = true; break;
            default: return false;
        }
        any = true;
    }
    if (!any) return false;
    spec = result;
    return true;
}

std::string font_family_for(const FontSpec& spec) {
    const std::string face = lower(spec.face);
    if (spec.fixed || face.find("courier") != std::string::npos || face.find("mono") != std::string::npos)
        return "DejaVu Sans Mono";
    const bool serif = face.find("serif") != std::string::npos && face.find("sans") == std::string::npos;
    if (face.find("times") != std::string::npos || serif) return "DejaVu Serif";
    return "DejaVu Sans";
}

}  // namespace tarvex::platform
