#include "pack/picture.hpp"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "gif/gif_reader.hpp"
#include "pack/error.hpp"
#include "png/png_reader.hpp"
#include "xpm/error.hpp"
#include "xpm/picture.hpp"

namespace tess {

namespace {

constexpr std::uint8_t Opaque = 255;

// A three-digit key from 000 to 255 names that palette index.
std::optional<std::uint8_t> index_named_by(std::string_view key)
{
    if (key.size() != 3 || !std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const int value = (key[0] - '0') * 100 + (key[1] - '0') * 10 + (key[2] - '0');
    if (value > 255) return std::nullopt;
    return static_cast<std::uint8_t>(value);
}

Picture xpm_picture(std::span<const std::uint8_t> file)
{
    XpmPicture xpm;
    try {
        xpm = read_xpm_picture(file);
    } catch (const XpmError& error) {
        // An XPM is C strings: text without one, or JSON, is something else
        // named as a picture, and is called that rather than a broken XPM.
        const std::string_view text(reinterpret_cast<const char*>(file.data()), file.size());
        const std::size_t first = text.find_first_not_of(" \t\r\n");
        if (text.find('"') == std::string_view::npos || (first != std::string_view::npos && (text[first] == '{' || text[first] == '['))) {
            throw PackError("not an image file this reads; give PNG, XPM or GIF");
        }
        PackLocation at;
        if (const auto pixel = error.pixel()) {
            at.x = pixel->x;
            at.y = pixel->y;
        }
        throw PackError(error.what(), at);
    }
    Picture picture{xpm.width, xpm.height, {}, std::move(xpm.pixels)};
    for (const XpmColour& colour : xpm.colours) {
        if (!colour.rgb) {
            picture.colours.push_back({{0, 0, 0}, 0, std::nullopt});
        } else {
            picture.colours.push_back({*colour.rgb, Opaque, index_named_by(colour.key)});
        }
    }
    return picture;
}

// A picture made from RGBA rows: every distinct RGBA value once, in order of
// appearance, and each pixel its number, found through an open hash table of
// the values met so far.
class RgbaNumbering final : public PngRows {
public:
    void begin(std::uint32_t width, std::uint32_t height) override
    {
        picture_.width = static_cast<int>(width);
        picture_.height = static_cast<int>(height);
        picture_.pixels.reserve(std::size_t{width} * height);
    }

    void row(std::span<const std::uint8_t> rgba) override
    {
        const std::size_t start = picture_.pixels.size(), width = rgba.size() / 4;
        picture_.pixels.resize(start + width);
        std::uint32_t* numbers = picture_.pixels.data() + start;
        // Neighbours mostly share a colour: a run takes its first pixel's number.
        std::uint32_t previous = 0, number = 0;
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint8_t* c = rgba.data() + 4 * x;
            const std::uint32_t value = std::uint32_t{c[0]} << 24 | std::uint32_t{c[1]} << 16 | std::uint32_t{c[2]} << 8 | c[3];
            if (x == 0 || value != previous) {
                const std::uint32_t held = table_[first_slot(value)];
                number = held != 0 && distinct_[held - 1] == value ? held - 1 : number_of(value);
                previous = value;
            }
            numbers[x] = number;
        }
    }

    Picture finish()
    {
        for (const std::uint32_t v : distinct_) {
            picture_.colours.push_back({{static_cast<std::int32_t>(v >> 24), static_cast<std::int32_t>(v >> 16 & 0xff),
                                         static_cast<std::int32_t>(v >> 8 & 0xff)},
                                        static_cast<std::uint8_t>(v & 0xff),
                                        std::nullopt});
        }
        return std::move(picture_);
    }

private:
    std::size_t first_slot(std::uint32_t value) const { return (value * 2654435761u) & (table_.size() - 1); }

    std::uint32_t number_of(std::uint32_t value)
    {
        std::size_t slot = first_slot(value);
        for (; table_[slot] != 0; slot = (slot + 1) & (table_.size() - 1)) {
            if (distinct_[table_[slot] - 1] == value) return table_[slot] - 1;
        }
        distinct_.push_back(value);
        table_[slot] = static_cast<std::uint32_t>(distinct_.size());
        if (distinct_.size() * 2 > table_.size()) {
            // Kept at most half full, so that a search ends soon; the old
            // table let go first, so a picture of many colours holds one.
            const std::size_t larger = table_.size() * 2;
            table_ = {};
            table_.assign(larger, 0);
            for (std::uint32_t n = 0; n < distinct_.size(); ++n) {
                slot = first_slot(distinct_[n]);
                while (table_[slot] != 0) slot = (slot + 1) & (table_.size() - 1);
                table_[slot] = n + 1;
            }
        }
        return static_cast<std::uint32_t>(distinct_.size() - 1);
    }

    Picture picture_{0, 0, {}, {}};
    std::vector<std::uint32_t> distinct_;                                     // by number
    std::vector<std::uint32_t> table_ = std::vector<std::uint32_t>(1u << 10, 0);  // a value's number + 1; 0 when empty
};

Picture rgba_picture(int width, int height, std::span<const std::uint8_t> rgba)
{
    RgbaNumbering numbering;
    numbering.begin(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    numbering.row(rgba);
    return numbering.finish();
}

Picture png_picture(std::span<const std::uint8_t> file)
{
    constexpr PngLimits limits{std::uint32_t{TileWidth} * MaxCount, std::uint32_t{MaxCount} * MaxCount,
                               MaxPicturePixels};
    RgbaNumbering numbering;
    PngImage png;
    try {
        png = read_png(file, limits, numbering);
    } catch (const PngError& error) {
        throw PackError(error.what());
    }
    if (!png.indexed) return numbering.finish();
    // A palette that is ours, entry for entry, names its indices.
    Picture picture{static_cast<int>(png.width), static_cast<int>(png.height), {}, {}};
    const PngIndexed& indexed = *png.indexed;
    const bool ours = std::equal(indexed.palette.begin(), indexed.palette.end(), Palette.begin());
    // Field by field: a whole entry built aside and copied in costs a
    // stall an entry, and a palette has 256.
    picture.colours.resize(indexed.palette.size());
    for (std::size_t i = 0; i < indexed.palette.size(); ++i) {
        PictureColour& colour = picture.colours[i];
        colour.rgb = indexed.palette[i];
        colour.alpha = indexed.alpha[i];
        if (ours) colour.index = static_cast<std::uint8_t>(i);
    }
    picture.pixels.assign(indexed.indices.begin(), indexed.indices.end());  // each within the palette
    return picture;
}

// A still GIF may be a sheet; an animated one's frames are images, at most
// as many as a scene has frames.
constexpr GifLimits PictureGifLimits{std::uint32_t{TileWidth} * MaxCount, std::uint32_t{MaxCount} * MaxCount,
                                     MaxPicturePixels, MaxCount, MaxPicturePixels};

// A view's frames are images, so a screen larger than one is refused before
// a frame of it is decoded.
constexpr GifLimits FramesGifLimits{TileWidth, MaxCount, std::uint64_t{TileWidth} * MaxCount, MaxCount,
                                    std::uint64_t{TileWidth} * MaxCount * MaxCount};

std::vector<Picture> gif_pictures(std::span<const std::uint8_t> file, const GifLimits& limits)
{
    GifAnimation gif;
    try {
        gif = read_gif(file, limits);
    } catch (const GifError& error) {
        throw PackError(error.what());
    }
    const int width = static_cast<int>(gif.width), height = static_cast<int>(gif.height);
    std::vector<Picture> pictures;
    pictures.reserve(gif.frames.size());
    if (gif.indexed) {
        // A table that is ours, entry for entry, names its indices.
        GifIndexed& indexed = *gif.indexed;
        const bool ours = indexed.palette.size() <= Palette.size() &&
                          std::equal(indexed.palette.begin(), indexed.palette.end(), Palette.begin());
        std::vector<PictureColour> colours;
        for (std::size_t i = 0; i < indexed.palette.size(); ++i) {
            const bool clear = indexed.transparent == i;
            colours.push_back({indexed.palette[i], static_cast<std::uint8_t>(clear ? 0 : Opaque),
                               ours ? std::optional(static_cast<std::uint8_t>(i)) : std::nullopt});
        }
        for (std::vector<std::uint8_t>& frame : indexed.frames) {
            pictures.push_back({width, height, colours, {frame.begin(), frame.end()}});
            std::vector<std::uint8_t>().swap(frame);
        }
        return pictures;
    }
    for (GifFrame& frame : gif.frames) {
        pictures.push_back(rgba_picture(width, height, frame.rgba));
        std::vector<std::uint8_t>().swap(frame.rgba);
    }
    return pictures;
}

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

// What a file that is not a PNG, XPM or GIF is, by its first bytes, so the
// refusal names it rather than complaining of a broken XPM.
std::optional<std::string> other_format(std::span<const std::uint8_t> file)
{
    const auto starts = [&](std::string_view magic, std::size_t at = 0) {
        return file.size() >= at + magic.size() && std::equal(magic.begin(), magic.end(), file.begin() + static_cast<std::ptrdiff_t>(at),
                                                               [](char m, std::uint8_t b) { return static_cast<std::uint8_t>(m) == b; });
    };
    if (starts("\xff\xd8\xff")) return "a JPEG file";
    if (starts("BM")) return "a BMP file";
    if (starts("RIFF") && starts("WEBP", 8)) return "a WebP file";
    if (starts("II*") || starts("MM\0*")) return "a TIFF file";
    if (!file.empty() && std::memchr(file.data(), 0, file.size()) != nullptr) return "not an image file this reads";
    return std::nullopt;
}

}  // namespace

Picture read_picture(std::span<const std::uint8_t> file)
{
    if (looks_like_gif(file)) {
        std::vector<Picture> frames = gif_pictures(file, PictureGifLimits);
        if (frames.size() > 1) {
            throw PackError("an animated GIF of " + std::to_string(frames.size()) +
                            " frames; with frames_from = \"gif\" in its scene it gives a view's frames");
        }
        return std::move(frames.front());
    }
    if (looks_like_png(file)) return png_picture(file);
    if (const auto other = other_format(file)) throw PackError(*other + "; give PNG, XPM or GIF");
    return xpm_picture(file);
}

std::vector<Picture> read_picture_frames(std::span<const std::uint8_t> file)
{
    if (looks_like_gif(file)) return gif_pictures(file, FramesGifLimits);
    std::vector<Picture> one;
    one.push_back(read_picture(file));
    return one;
}

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
        const auto refuse = [&](const std::string& what, const std::string& rule) {
            const auto [x, y] = origin ? (*origin)(px, py) : std::pair{px, py};
            PackLocation at;
            at.x = x;
            at.y = y;
            throw PackError(what + " at x " + std::to_string(x) + ", y " + std::to_string(y) + rule, at);
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
