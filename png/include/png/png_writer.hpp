#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "png/png_error.hpp"

namespace tess {

// How the pixels are put in the zlib stream: Stored as they are, which
// costs next to nothing beyond their copy, or deflated at zlib's fastest
// level, which takes far longer than writing a small file does.
enum class PngCompression { Stored, Fast };

// An 8-bit indexed PNG whose PLTE is the whole fixed palette, one byte per
// pixel, row by row. With `transparent_index`, tRNS makes that index fully
// transparent and every other index opaque. Throws PngError.
std::vector<std::uint8_t> write_indexed_png(std::uint32_t width, std::uint32_t height,
                                            std::span<const std::uint8_t> indices,
                                            std::optional<std::uint8_t> transparent_index,
                                            PngCompression compression = PngCompression::Fast);

// An 8-bit RGBA PNG, four bytes per pixel, row by row, deflated fast. Throws PngError.
std::vector<std::uint8_t> write_rgba_png(std::uint32_t width, std::uint32_t height,
                                         std::span<const std::uint8_t> rgba);

}  // namespace tess
