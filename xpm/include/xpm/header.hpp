#pragma once

#include <optional>
#include <string_view>

#include "palette/palette.hpp"

namespace tess {

// The four numbers of an XPM's values line.
struct XpmValues {
    int width;
    int height;
    int colours;
    int chars_per_pixel;
};

inline constexpr int MaxCharsPerPixel = 15;

// The largest XPM read, so that no file can ask for memory beyond reason: a
// caller may narrow the width and height to what it can use. Whatever the
// limits, a picture holds at most MaxXpmPixels pixels.
struct XpmLimits {
    int max_width = 16384;
    int max_height = 16384;
};
inline constexpr long long MaxXpmPixels = 1 << 24;

// Width, height, number of colours and characters per pixel, separated by
// white space; further fields (a hotspot, XPMEXT) are ignored. Each number is
// checked in that order, then the number of pixels, before anything is
// allocated for them.
XpmValues parse_values_line(std::string_view line, const XpmLimits& limits = {});

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
