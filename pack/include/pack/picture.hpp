#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "ase/ase_composer.hpp"
#include "pack/atlas.hpp"
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

// A picture as drawn: its colours, and for every pixel, row by row, the
// number of its colour. In an indexed picture (a PNG, GIF or .aseprite file
// with a palette of its own) a colour's number is its index in that palette.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<PictureColour> colours;
    std::vector<std::uint32_t> pixels;
    bool indexed = false;
    // Its key colours are out already (a copy, a scaled canvas): a colour
    // blended since that happens to be a key colour is drawn.
    bool keyed = false;
};

// The largest picture read: a sheet of 255 frames by 255 views of full
// images would be far more, so sheets are held to this many pixels.
inline constexpr std::uint64_t MaxPicturePixels = std::uint64_t{1} << 24;

// An XPM, a PNG, a still GIF or an .aseprite file of one frame, told apart
// by content. Raises PackError.
Picture read_picture(std::span<const std::uint8_t> file);

// A picture of `width` x `height` RGBA pixels, row by row.
Picture rgba_picture(int width, int height, std::span<const std::uint8_t> rgba);

// The frames of an animated GIF, each its whole screen as a viewer shows it,
// or of an .aseprite file, each of its chosen layers composed, with its tags;
// any other picture as its one frame. Unless `large`, each frame must fit an
// image (nothing is cut from it). Raises PackError.
struct PictureFrames {
    std::vector<Picture> pictures;
    std::vector<AtlasTag> tags;  // an .aseprite file's
};
PictureFrames read_picture_frames(std::span<const std::uint8_t> file, bool large = false, const AseLayerChoice& layers = {});

}  // namespace tess
