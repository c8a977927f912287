#pragma once

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "pack/colour_options.hpp"
#include "pack/picture.hpp"
#include "palette/metric.hpp"
#include "palette/palette.hpp"
#include "tile/image.hpp"

namespace tess {

// How colours become palette indices. Each colour's nearest entry is worked
// out once: the frames of a set share their colours.
class ColourRules {
public:
    explicit ColourRules(Metric metric = Metric::L2, bool strict = false) : metric_(metric), strict_(strict) {}

    // Every opaque colour must be a palette colour, alpha 0 or 255.
    bool strict() const { return strict_; }
    std::uint8_t nearest(const Rgb& colour);
    // The nearest entry to the middle of the colour's cell of 4 x 4 x 4
    // channel values: dithering, which carries the difference on, asks for
    // many colours and must not spend on finding each exactly. In a cell
    // that holds a palette colour the lookup is exact.
    std::uint8_t nearest_dithered(const Rgb& colour)
    {
        if (cells_.empty()) mark_cells();
        const std::size_t cell = cell_of(colour);
        const std::uint8_t entry = cells_[cell];
        if (entry < ExactCell) return entry;
        return entry == ExactCell ? nearest(colour) : fill_cell(cell, colour);
    }

private:
    Metric metric_;
    bool strict_;
    // By 0xRRGGBB, each slot the last colour that hashed there and its entry:
    // dithering asks for many colours, each again and again, and a lookup
    // must cost next to nothing beside the mapping of a frame without it.
    static constexpr int CacheBits = 16;
    std::vector<std::uint64_t> cached_ = std::vector<std::uint64_t>(std::size_t{1} << CacheBits, 0);
    static std::size_t cell_of(const Rgb& colour)
    {
        return static_cast<std::size_t>((colour.red >> 2) << 12 | (colour.green >> 2) << 6 | (colour.blue >> 2));
    }
    // Cells holding a palette colour are looked up exactly, so that a
    // colour the palette has comes out as itself.
    void mark_cells();
    std::uint8_t fill_cell(std::size_t cell, const Rgb& colour);
    // A byte a cell, to stay in the nearer caches; 254 and 255 are never the
    // nearest, their colours being 0's and 232's, and the lowest index wins a
    // tie: they mark cells looked up exactly and cells not yet worked out.
    static constexpr std::uint8_t UnknownCell = 255;
    static constexpr std::uint8_t ExactCell = 254;
    std::vector<std::uint8_t> cells_;
};

// What each opaque pixel of a scene became: its colour as drawn (over the
// matte), the entry it was given, how many pixels; for the colour report.
// Compact, since a scene of noise has as many colours as pixels.
class ColourTally {
public:
    void add(const Rgb& source, std::uint8_t index, std::uint32_t pixels = 1);
    // Each colour and entry once, with its pixels, in no set order.
    template <typename Visit>
    void for_each(Visit visit) const
    {
        for (const std::uint64_t slot : slots_) {
            if (slot == 0) continue;
            const auto key = static_cast<std::uint32_t>(slot >> 32);
            visit(Rgb{static_cast<std::int32_t>(key >> 24), static_cast<std::int32_t>(key >> 16 & 0xff),
                      static_cast<std::int32_t>(key >> 8 & 0xff)},
                  static_cast<std::uint8_t>(key & 0xff), static_cast<std::uint32_t>(slot));
        }
    }

private:
    // 0xRRGGBBII above the pixels; 0 where empty (a kept slot counts a pixel
    // at least). At most half full.
    std::vector<std::uint64_t> slots_;
    std::size_t used_ = 0;
};

// Whether the scene's options make colour `number` of `picture` transparent
// before anything else is done with it: a key colour (opaque, of exactly
// that colour), or the key index of an indexed picture's own palette.
bool keyed_out(const Picture& picture, std::uint32_t number, const ColourOptions& options);

// The colour a pixel is mapped from: as drawn, or, where partly
// transparent and a matte is given, blended over the matte.
Rgb drawn_colour(const PictureColour& colour, const ColourOptions& options);

// Part of a picture as it goes into an image: the pixels at x0, y0, `width`
// by `height` of `picture`, put at `left`, `top` of an image `image_width` by
// `image_height` (at most TileWidth wide); the rest of the image is
// transparent.
struct PictureWindow {
    const Picture* picture = nullptr;
    int x0 = 0, y0 = 0, width = 0, height = 0;
    int left = 0, top = 0;
    int image_width = 0, image_height = 0;
};

// The whole of a picture as an image of its size.
PictureWindow whole_picture(const Picture& picture);

// Where a pixel of a window's picture is in the picture the user drew, for
// messages: the picture may be a turned or mirrored copy.
using PixelOrigin = std::function<std::pair<int, int>(int x, int y)>;

// A window's pixels in the palette as the artist chose: below
// `alpha_threshold` transparent, partly transparent kept pixels blended over
// the matte, and the dithering, whose pattern is laid by place in the image.
// A named index is kept when its colour is that entry's; every other colour
// goes to its nearest entry. Strict refuses colours not in the palette and,
// unless alpha_threshold or matte is given, partial alpha: PackError at the
// pixel's x and y (through `origin` when given). With `tally`, every opaque
// pixel is counted there; the image is the same either way.
Image picture_image(const PictureWindow& window, ColourRules& rules, const ColourOptions& options = {},
                    ColourTally* tally = nullptr, const PixelOrigin* origin = nullptr);

// The pixels of a window dithered, each colour as `drawn` (over the matte);
// colours whose `takes` is 0 (transparent, named, or already a palette
// colour where a pattern would move it) keep their value in `image` and take
// no error. `image` holds the undithered values.
struct DitherRegion {
    const PictureWindow& window;
    const std::vector<Rgb>& drawn;
    const std::vector<std::uint8_t>& takes;
};
void dither_pixels(Dither dither, const DitherRegion& region, ColourRules& rules, Image& image);

}  // namespace tess
