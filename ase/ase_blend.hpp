#pragma once

#include <cstddef>
#include <cstdint>

#include "ase/ase_file.hpp"

namespace tess::detail {

// Blends `count` 8-bit straight-alpha RGBA pixels of `source` onto those of
// `backdrop`, the source's alpha scaled by `opacity` (0 to 255). The mode is
// chosen once a row; each mode's loop is its own.
void blend_row(AseBlendMode mode, std::uint8_t* backdrop, const std::uint8_t* source, std::size_t count,
               unsigned opacity);

}  // namespace tess::detail
