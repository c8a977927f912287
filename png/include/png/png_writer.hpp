#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "png/png_error.hpp"

namespace tess {

// An 8-bit indexed PNG whose PLTE is the whole fixed palette, one byte per
// pixel, row by row. With `transparent_index`, tRNS makes that index fully
// transparent and every other index opaque. Throws PngError.
std::vector<std::uint8_t> write_indexed_png(std::uint32_t width, std::uint32_t height,
                                            std::span<const std::uint8_t> indices,
                                            std::optional<std::uint8_t> transparent_index);

// An 8-bit RGBA PNG, four bytes per pixel, row by row. Throws PngError.
std::vector<std::uint8_t> write_rgba_png(std::uint32_t width, std::uint32_t height,
                                         std::span<const std::uint8_t> rgba);

}  // namespace tess
