#pragma once

#include <optional>
#include <string_view>

#include "palette/palette.hpp"

namespace tess {

// The four numbers of an XPM's values line, within what a tile can hold.
struct XpmValues {
    int width;
    int height;
    int colours;
    int chars_per_pixel;
};

inline constexpr int MaxCharsPerPixel = 15;

// Width, height, number of colours and characters per pixel, separated by
// white space; further fields (a hotspot, XPMEXT) are ignored.
XpmValues parse_values_line(std::string_view line);

// One colour of the colour table. `colour` is empty for the transparent colour.
struct ColourDefinition {
    std::string_view key;
    std::optional<Rgb> colour;
};

// A colour line: the key (its first characters), then pairs of a context key
// (c, m, g4, g, s) and a colour that runs to the next context key. The c
// colour is used; without one g, then g4, then m. A line with None anywhere
// in it is the transparent colour.
ColourDefinition parse_colour_line(std::string_view line, int chars_per_pixel);

}  // namespace tess
