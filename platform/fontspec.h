// Font descriptions such as "t'Arial'h12w6pvb".
#pragma once

#include <string>
#include <string_view>

namespace tarvex::platform {

struct FontSpec {
    std::string face;         // typeface; empty: any
    int height = 0;           // character height in pixels, 0: default
    int width = 0;            // average character width in pixels, 0: natural
    bool fixed = false;       // f: fixed pitch (p: proportional)
    bool vector = false;      // v: vector (r: raster); both render alike here
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

// Reads a description: t'typeface', h<height>, w<width>, and the letters p,
// f, v, r, b, i, u, in any order and either case. False for anything else
// (an unknown letter, a number missing or out of 1..500, an open quote).
bool parse_font_description(std::string_view description, FontSpec& spec);

// The family the layer draws a typeface with (the DejaVu fonts): fixed
// pitch or a "Courier"-like face gives the monospaced family, a "Times"-like
// face the serif family, anything else the sans-serif family.
std::string font_family_for(const FontSpec& spec);

}  // namespace tarvex::platform
