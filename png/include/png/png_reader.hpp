#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "palette/palette.hpp"
#include "png/png_error.hpp"

namespace tess {

// The largest picture a caller takes; checked against the header before any
// pixel memory is set aside.
struct PngLimits {
    std::uint32_t max_width;
    std::uint32_t max_height;
    std::uint64_t max_pixels;
};

// What only an indexed PNG (colour type 3) holds.
struct PngIndexed {
    std::vector<std::uint8_t> indices;  // one per pixel, row by row
    std::vector<Rgb> palette;           // the PLTE entries, 1 to 256 of them
    std::vector<std::uint8_t> alpha;    // one per PLTE entry; 255 past the end of tRNS
};

struct PngImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> rgba;  // 8-bit red, green, blue, alpha per pixel, row by row; empty when indexed
    std::optional<PngIndexed> indexed;
};

// True when `file` starts with the PNG signature: enough to tell a PNG from
// any text format, not that it is readable.
bool looks_like_png(std::span<const std::uint8_t> file);

// Any PNG (every colour type and bit depth, interlaced or not), with tRNS
// applied. Throws PngError for a damaged or truncated file, or one over
// `limits`; std::bad_alloc only if a picture within `limits` finds no memory.
PngImage read_png(std::span<const std::uint8_t> file, const PngLimits& limits);

}  // namespace tess
