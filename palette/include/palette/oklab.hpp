#pragma once

#include <cstdint>

#include "palette/palette.hpp"

namespace tess {

// The palette index nearest to `colour` (channels 0 to 255) by straight-line
// distance in OKLab, where equal distances look about equally different. The
// lowest index wins a tie, so each palette colour maps to its first index.
std::uint8_t nearest_palette_index_oklab(const Rgb& colour);

}  // namespace tess
