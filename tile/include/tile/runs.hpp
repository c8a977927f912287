#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "tile/error.hpp"
#include "tile/format.hpp"

namespace tess {

// One code of an image's data with its operands. For LiteralRun and
// TransparentRun `count` is the run's length and, for LiteralRun, `indices`
// its palette indices; any other code stands alone.
struct Run {
    RowCode code;
    std::uint8_t count = 0;
    std::span<const std::uint8_t> indices;
};

// Reads an image's data code by code. A run whose operands reach past the
// data is damage (RunPastData), so a caller never reads outside it.
class RunReader {
public:
    explicit RunReader(std::span<const std::uint8_t> data, TileLocation where = {})
        : data_(data), where_(std::move(where))
    {
    }

    bool at_end() const { return position_ == data_.size(); }
    Run next();

private:
    std::span<const std::uint8_t> data_;
    std::size_t position_ = 0;
    TileLocation where_;
};

// A pixel of an image: a palette index, or transparent.
using Pixel = std::int16_t;
inline constexpr Pixel TransparentPixel = -1;

// Bit k set where pixel k of a row (at most TileWidth) is drawn, not transparent.
std::uint64_t drawn_pixels(std::span<const Pixel> pixels);

// Appends one row as maximal runs, transparent and literal alternating, then
// EndOfRow. At most TileWidth pixels.
void encode_row(std::span<const Pixel> pixels, std::vector<std::uint8_t>& out);
// The same for a row whose drawn_pixels are known, written at `out`, which
// has room for row_bytes_at_most(pixels.size()); gives the end of what it wrote.
std::uint8_t* encode_row(std::span<const Pixel> pixels, std::uint64_t drawn, std::uint8_t* out);
// A run costs two bytes and each of its pixels one more at the most.
constexpr std::size_t row_bytes_at_most(std::size_t pixels) { return 3 * pixels + 1; }

}  // namespace tess
