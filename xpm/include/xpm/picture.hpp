#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "palette/palette.hpp"

namespace tess {

// One colour line of an XPM: its key, and its colour (none: transparent).
struct XpmColour {
    std::string key;
    std::optional<Rgb> rgb;
};

// An XPM as it is drawn: its colour lines, and for every pixel, row by row,
// the number of the colour line that gives its colour.
struct XpmPicture {
    int width = 0;
    int height = 0;
    std::vector<XpmColour> colours;
    std::vector<std::uint32_t> pixels;
};

// Reads a whole XPM: everything tessenc reads, of any size within XpmLimits'
// defaults. A pixel's colour line is the one XpmColourTable's rule gives its
// key. Raises XpmError, naming the row or the pixel (x, y) where it can.
XpmPicture read_xpm_picture(std::istream& in);
// The same for a whole file in memory, read where it lies.
XpmPicture read_xpm_picture(std::span<const std::uint8_t> file);

}  // namespace tess
