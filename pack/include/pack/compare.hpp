#pragma once

#include <cstdint>
#include <vector>

#include "pack/build.hpp"

namespace tess {

// Builds `manifest` and draws every image as a row of the three, each pixel
// `scale` x `scale`, as a PNG of at most MaxPicturePixels. Raises PackError.
std::vector<std::uint8_t> compare_png(const Manifest& manifest, PictureSource& pictures, int scale,
                                      std::uint64_t max_bytes = DefaultMaxTileBytes);

}  // namespace tess
