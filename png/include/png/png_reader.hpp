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
    std::optional<PngIndexed> indexed;  // empty when the pixels went to the caller's PngRows
};

// Where the pixels of a PNG that is not indexed go, a row at a time as they
// are decoded, so that a large picture is never held whole in RGBA beside
// the caller's own form of it.
class PngRows {
public:
    virtual ~PngRows() = default;
    // Once, with the checked header's size, before the first row.
    virtual void begin(std::uint32_t width, std::uint32_t height) = 0;
    // Each row, top to bottom: 8-bit red, green, blue and alpha a pixel.
    virtual void row(std::span<const std::uint8_t> rgba) = 0;
};

// True when `file` starts with the PNG signature: enough to tell a PNG from
// any text format, not that it is readable.
bool looks_like_png(std::span<const std::uint8_t> file);

// Any PNG (every colour type and bit depth, interlaced or not), with tRNS
// applied: an indexed one in the image, any other through `rows`. Throws
// PngError for a damaged or truncated file, or one over `limits` (before any
// row); std::bad_alloc only if a picture within `limits` finds no memory.
PngImage read_png(std::span<const std::uint8_t> file, const PngLimits& limits, PngRows& rows);

}  // namespace tess
