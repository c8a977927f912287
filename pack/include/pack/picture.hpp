#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "pack/colour_options.hpp"
#include "palette/metric.hpp"
#include "palette/palette.hpp"
#include "tile/image.hpp"

namespace tess {

// A colour of a picture as its file gives it: alpha 0 is transparent, 255
// opaque. `index` is the palette index the file names for it, where it does
// (a three-digit XPM key, an indexed PNG in the palette).
struct PictureColour {
    Rgb rgb;
    std::uint8_t alpha = 255;
    std::optional<std::uint8_t> index;
};

// An XPM, a PNG or a GIF frame as drawn: its colours, and for every pixel, row by row, the
// number of its colour.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<PictureColour> colours;
    std::vector<std::uint32_t> pixels;
};

// The largest picture read: a sheet of 255 frames by 255 views of full
// images would be far more, so sheets are held to this many pixels.
inline constexpr std::uint64_t MaxPicturePixels = std::uint64_t{1} << 24;

// An XPM, a PNG or a still GIF, told apart by content. Raises PackError.
Picture read_picture(std::span<const std::uint8_t> file);

// Every frame of a GIF, each its whole screen as a viewer shows it, the
// screen at most an image; any other picture as its one frame. Raises PackError.
std::vector<Picture> read_picture_frames(std::span<const std::uint8_t> file);

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
    // many colours and must not spend on finding each exactly.
    std::uint8_t nearest_dithered(const Rgb& colour)
    {
        const auto cell = static_cast<std::size_t>((colour.red >> 2) << 12 | (colour.green >> 2) << 6 | (colour.blue >> 2));
        if (cells_.empty()) cells_.assign(std::size_t{1} << 18, UnknownCell);
        const std::uint8_t entry = cells_[cell];
        return entry != UnknownCell ? entry : fill_cell(cell, colour);
    }

private:
    Metric metric_;
    bool strict_;
    // By 0xRRGGBB, each slot the last colour that hashed there and its entry:
    // dithering asks for many colours, each again and again, and a lookup
    // must cost next to nothing beside the mapping of a frame without it.
    static constexpr int CacheBits = 16;
    std::vector<std::uint64_t> cached_ = std::vector<std::uint64_t>(std::size_t{1} << CacheBits, 0);
    std::uint8_t fill_cell(std::size_t cell, const Rgb& colour);
    // A byte a cell, to stay in the nearer caches; 255 is never the nearest,
    // its colour being 232's, and the lowest index wins a tie.
    static constexpr std::uint8_t UnknownCell = 255;
    std::vector<std::uint8_t> cells_;
};

// What each opaque pixel of a picture became: its colour as drawn (over the
// matte), the entry it was given, how many pixels. For the colour report.
struct ColourTally {
    std::map<std::pair<std::uint32_t, std::uint8_t>, std::uint64_t> counts;  // by 0xRRGGBB and index
    void add(const Rgb& source, std::uint8_t index, std::uint64_t pixels = 1);
};

// The colour a pixel is mapped from: as drawn, or, where partly
// transparent and a matte is given, blended over the matte.
Rgb drawn_colour(const PictureColour& colour, const ColourOptions& options);

// The pixels of `picture` from column x0, row y0, `width` by `height`, as a
// tile image (rows padded with transparency to TileWidth). Below alpha 128 a
// pixel is transparent. A named index is kept when its colour is that
// entry's; every other colour goes to its nearest entry. Raises PackError
// naming x and y (in the picture) for what `strict` refuses.
Image picture_image(const Picture& picture, int x0, int y0, int width, int height, ColourRules& rules);

// The same as the artist chose: below `alpha_threshold` transparent, partly
// transparent kept pixels blended over the matte, and the dithering. Strict
// takes partial alpha once alpha_threshold or matte is given. With `tally`,
// every opaque pixel is counted there; the image is the same either way.
Image picture_image(const Picture& picture, int x0, int y0, int width, int height, ColourRules& rules,
                    const ColourOptions& options, ColourTally* tally = nullptr);

// The pixels of a picture dithered: those at x0, y0, `width` by `height`,
// each colour as `drawn` (over the matte); colours whose `takes` is 0
// (transparent, or a named entry) keep their value in `image` and take no
// error. `image` holds the undithered values, TileWidth a row.
struct DitherRegion {
    const Picture& picture;
    int x0, y0, width, height;
    const std::vector<Rgb>& drawn;
    const std::vector<std::uint8_t>& takes;
};
void dither_pixels(Dither dither, const DitherRegion& region, ColourRules& rules, Image& image);

}  // namespace tess
