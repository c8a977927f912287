#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "gif/gif_error.hpp"
#include "palette/palette.hpp"

namespace tess {

// An animated GIF89a of whole frames, each `width` x `height` indices into
// `colours` (1 to 256 of them, stored index for index as the global table,
// padded with black to a power of two). With `transparent`, that index is
// transparent in every frame and each frame clears the screen behind it, so
// nothing of the frame before shows through. Delays are rounded to the
// centisecond GIF stores. More than one frame loops forever. Throws GifError.
std::vector<std::uint8_t> write_indexed_gif(std::uint32_t width, std::uint32_t height, std::span<const Rgb> colours,
                                            std::optional<std::uint8_t> transparent,
                                            const std::vector<std::vector<std::uint8_t>>& frames,
                                            std::span<const int> delays_ms);

}  // namespace tess
