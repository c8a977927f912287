#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "tile/error.hpp"
#include "tile/format.hpp"
#include "tile/runs.hpp"

namespace tess {

// One decoded image: `height` rows of TileWidth pixels, top row first; the
// pixels a row does not encode are transparent.
struct Image {
    int height = 0;
    std::vector<Pixel> pixels;

    Pixel at(int x, int y) const { return pixels[static_cast<std::size_t>(y * TileWidth + x)]; }
    std::span<const Pixel> row(int y) const
    {
        return std::span<const Pixel>(pixels).subspan(static_cast<std::size_t>(y * TileWidth), TileWidth);
    }
    friend bool operator==(const Image&, const Image&) = default;
};

// Which palette indices an image's pixels use, and whether any is transparent.
struct PixelUse {
    std::array<bool, 256> indices{};
    bool transparent = false;

    // What either uses.
    void include(const PixelUse& other);
};
PixelUse pixel_use(const Image& image);

// The data of an image in its one canonical form: every row as maximal runs
// without a transparent run at its end (the decoder pads rows), then
// EndOfImage; an image of height 0 has no data at all.
std::vector<std::uint8_t> encode_image(const Image& image, const TileLocation& where = {});

// Decodes data as a valid image must be: `height` rows, each closed by
// EndOfRow and at most TileWidth pixels wide, no run past the data. Other
// codes are skipped. Anything else is damage, raised at `where`.
Image decode_image(std::span<const std::uint8_t> data, int height, const TileLocation& where = {});

// What decode_image checks, without making the pixels: for looking a file
// over before anything is written from it.
void check_image(std::span<const std::uint8_t> data, int height, const TileLocation& where = {});

}  // namespace tess
