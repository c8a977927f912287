#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "pack/build.hpp"
#include "pack/colour_options.hpp"
#include "pack/picture.hpp"
#include "tile/image.hpp"

namespace tess {

// The comparison for the pixels of a window that became `image`.
ComparedImage compared_image(const PictureWindow& window, const ColourOptions& options, const Image& image);

// The heat map's colour for a difference: black where none, through red
// (about 5, plainly another shade) and yellow to white from 20 on.
std::array<std::uint8_t, 3> heat_colour(double difference);

// Builds `manifest` and draws every image as a row of the three, each pixel
// `scale` x `scale`, as a PNG of at most MaxPicturePixels. Raises PackError.
std::vector<std::uint8_t> compare_png(const Manifest& manifest, PictureSource& pictures, int scale,
                                      std::uint64_t max_bytes = DefaultMaxTileBytes);

}  // namespace tess
