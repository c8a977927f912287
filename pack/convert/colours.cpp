// Mapping a picture's colours to palette indices.
#include "pack/colours.hpp"

#include <algorithm>
#include <cstdio>
#include <string>

#include "pack/error.hpp"
#include "palette/metric.hpp"

namespace tess {

namespace {

constexpr std::uint8_t Opaque = 255;

std::string hex_colour(const Rgb& rgb)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", static_cast<unsigned>(rgb.red) & 0xff,
                  static_cast<unsigned>(rgb.green) & 0xff, static_cast<unsigned>(rgb.blue) & 0xff);
    return text;
}

// `colour` at `alpha` blended over `matte`, rounded.
Rgb over(const Rgb& colour, int alpha, const Rgb& matte)
{
    const auto mix = [&](int c, int m) { return (c * alpha + m * (255 - alpha) + 127) / 255; };
    return {mix(colour.red, matte.red), mix(colour.green, matte.green), mix(colour.blue, matte.blue)};
}

bool in_palette(const Rgb& rgb) { return std::find(Palette.begin(), Palette.end(), rgb) != Palette.end(); }

}  // namespace

std::uint8_t ColourRules::nearest(const Rgb& colour)
{
    const auto key = static_cast<std::uint32_t>(colour.red << 16 | colour.green << 8 | colour.blue);
    // A slot holds the key + 1 above the index, so 0 is empty.
    std::uint64_t& slot = cached_[(key * 2654435761u) >> (32 - CacheBits)];
    if (slot >> 8 == key + 1) return static_cast<std::uint8_t>(slot);
    const std::uint8_t index = nearest_index(colour, metric_);
    slot = std::uint64_t{key + 1} << 8 | index;
    return index;
}

static_assert(Palette[255] == Palette[232] && Palette[254] == Palette[0],
              "entries 254 and 255 are never the nearest, so a cell may hold them as marks");

void ColourRules::mark_cells()
{
    cells_.assign(std::size_t{1} << 18, UnknownCell);
    for (const Rgb& entry : Palette) cells_[cell_of(entry)] = ExactCell;
}

std::uint8_t ColourRules::fill_cell(std::size_t cell, const Rgb& colour)
{
    const std::uint8_t index = nearest({(colour.red & ~3) + 2, (colour.green & ~3) + 2, (colour.blue & ~3) + 2});
    cells_[cell] = index;
    return index;
}

void ColourTally::add(const Rgb& source, std::uint8_t index, std::uint32_t pixels)
{
    if ((used_ + 1) * 2 > slots_.size()) {
        std::vector<std::uint64_t> old = std::exchange(slots_, std::vector<std::uint64_t>(std::max<std::size_t>(slots_.size() * 2, 1024), 0));
        used_ = 0;
        for (const std::uint64_t slot : old) {
            if (slot != 0) add({static_cast<std::int32_t>(slot >> 56), static_cast<std::int32_t>(slot >> 48 & 0xff),
                                static_cast<std::int32_t>(slot >> 40 & 0xff)},
                               static_cast<std::uint8_t>(slot >> 32 & 0xff), static_cast<std::uint32_t>(slot));
        }
    }
    const std::uint64_t key = static_cast<std::uint64_t>(source.red) << 24 | static_cast<std::uint64_t>(source.green) << 16 |
                              static_cast<std::uint64_t>(source.blue) << 8 | index;
    for (std::size_t i = (key * 0x9E3779B97F4A7C15u) >> 32 & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1)) {
        std::uint64_t& slot = slots_[i];
        if (slot == 0) {
            slot = key << 32 | pixels;
            ++used_;
            return;
        }
        if (slot >> 32 == key) {
            slot += pixels;
            return;
        }
    }
}

bool keyed_out(const Picture& picture, std::uint32_t number, const ColourOptions& options)
{
    if (picture.keyed) return false;
    if (picture.indexed && options.transparent_index && number == *options.transparent_index) return true;
    const PictureColour& colour = picture.colours[number];
    return colour.alpha == Opaque && std::find(options.transparent.begin(), options.transparent.end(), colour.rgb) != options.transparent.end();
}

Rgb drawn_colour(const PictureColour& colour, const ColourOptions& options)
{
    return options.matte && colour.alpha != Opaque ? over(colour.rgb, colour.alpha, *options.matte) : colour.rgb;
}

PictureWindow whole_picture(const Picture& picture)
{
    return {&picture, 0, 0, picture.width, picture.height, 0, 0, picture.width, picture.height};
}

Image picture_image(const PictureWindow& window, ColourRules& rules, const ColourOptions& options, ColourTally* tally,
                    const PixelOrigin* origin)
{
    const Picture& picture = *window.picture;
    // Each colour's pixel value, worked out when a pixel first uses it (a
    // picture may have many colours its images never use); what strict
    // refuses is reported at that pixel.
    constexpr Pixel NotYet = TransparentPixel - 1;
    std::vector<Pixel> values(picture.colours.size(), NotYet);
    std::vector<Rgb> drawn(picture.colours.size());            // over the matte
    std::vector<std::uint8_t> takes(picture.colours.size(), 0);  // dithered: neither transparent nor named
    // An ordered pattern would move a colour the palette has exactly; error
    // diffusion finds it again, having no error to spread.
    const bool patterned = options.dither == Dither::Bayer4 || options.dither == Dither::Bayer8;
    const auto value_of = [&](std::uint32_t c, int px, int py) -> Pixel {
        const PictureColour& colour = picture.colours[c];
        drawn[c] = drawn_colour(colour, options);
        if (keyed_out(picture, c, options)) return TransparentPixel;
        const auto refuse = [&](const std::string& what, const std::string& rule) {
            const auto [x, y] = origin ? (*origin)(px, py) : std::pair{px, py};
            PackLocation at;
            at.x = x;
            at.y = y;
            throw PackError(Fault::Picture, what + " at x " + std::to_string(x) + ", y " + std::to_string(y) + rule, at);
        };
        if (rules.strict() && colour.alpha != 0 && colour.alpha != Opaque && !options.soft_edges) {
            refuse("partly transparent pixel (alpha " + std::to_string(colour.alpha) + ")", "; strict allows alpha 0 or 255 only");
        }
        if (colour.alpha < options.alpha_threshold || colour.alpha == 0) return TransparentPixel;
        if (colour.index && Palette[*colour.index] == drawn[c]) return *colour.index;
        if (rules.strict() && !in_palette(colour.rgb)) refuse("colour " + hex_colour(colour.rgb), " is not a palette colour");
        takes[c] = patterned && in_palette(drawn[c]) ? 0 : 1;
        return rules.nearest(drawn[c]);
    };

    Image image{window.image_height,
                std::vector<Pixel>(static_cast<std::size_t>(window.image_height) * TileWidth, TransparentPixel)};
    const auto picture_row = [&](int y) {
        return picture.pixels.data() + static_cast<std::size_t>(window.y0 + y) * static_cast<std::size_t>(picture.width) +
               static_cast<std::size_t>(window.x0);
    };
    const auto image_row = [&](int y) {
        return image.pixels.data() + static_cast<std::size_t>(window.top + y) * TileWidth + static_cast<std::size_t>(window.left);
    };
    for (int y = 0; y < window.height; ++y) {
        const std::uint32_t* row = picture_row(y);
        Pixel* out = image_row(y);
        for (int x = 0; x < window.width; ++x) {
            Pixel value = values[row[x]];
            if (value == NotYet) value = values[row[x]] = value_of(row[x], window.x0 + x, window.y0 + y);
            out[x] = value;
        }
    }
    if (options.dither == Dither::None && !tally) return image;

    if (options.dither != Dither::None) dither_pixels(options.dither, {window, drawn, takes}, rules, image);
    if (tally) {
        for (int y = 0; y < window.height; ++y) {
            const std::uint32_t* row = picture_row(y);
            const Pixel* values_out = image_row(y);
            for (int x = 0; x < window.width; ++x) {
                if (values_out[x] != TransparentPixel) tally->add(drawn[row[x]], static_cast<std::uint8_t>(values_out[x]));
            }
        }
    }
    return image;
}

}  // namespace tess
