#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "palette/palette.hpp"

namespace tess {

// A colour of a picture as its file gives it: alpha 0 is transparent, 255
// opaque. `index` is the palette index the file names for it, where it does
// (a three-digit XPM key, an indexed PNG in the palette).
struct PictureColour {
    Rgb rgb;
    std::uint8_t alpha = 255;
    std::optional<std::uint8_t> index;
};

// An XPM, a PNG or a GIF frame as drawn: its colours, and for every pixel, row by row, the
// number of its colour.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<PictureColour> colours;
    std::vector<std::uint32_t> pixels;
};

// The largest picture read: a sheet of 255 frames by 255 views of full
// images would be far more, so sheets are held to this many pixels.
inline constexpr std::uint64_t MaxPicturePixels = std::uint64_t{1} << 24;

// An XPM, a PNG or a still GIF, told apart by content. Raises PackError.
Picture read_picture(std::span<const std::uint8_t> file);

// Every frame of a GIF, each its whole screen as a viewer shows it, the
// screen at most an image; any other picture as its one frame. Raises PackError.
std::vector<Picture> read_picture_frames(std::span<const std::uint8_t> file);

}  // namespace tess
