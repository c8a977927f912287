// Reading pictures: PNG, XPM, GIF and .aseprite files as their colours and pixels.
#include "pack/picture.hpp"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "ase/ase_file.hpp"
#include "gif/gif_reader.hpp"
#include "pack/error.hpp"
#include "png/png_reader.hpp"
#include "tile/format.hpp"
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
            throw PackError(Fault::Picture, "not an image file this reads; give PNG, XPM, GIF or .aseprite");
        }
        PackLocation at;
        if (const auto pixel = error.pixel()) {
            at.x = pixel->x;
            at.y = pixel->y;
        }
        throw PackError(Fault::Picture, error.what(), at);
    }
    Picture picture{xpm.width, xpm.height, {}, std::move(xpm.pixels)};
    picture.colours.reserve(xpm.colours.size());
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

Picture png_picture(std::span<const std::uint8_t> file)
{
    constexpr PngLimits limits{std::uint32_t{TileWidth} * MaxCount, std::uint32_t{MaxCount} * MaxCount,
                               MaxPicturePixels};
    RgbaNumbering numbering;
    PngImage png;
    try {
        png = read_png(file, limits, numbering);
    } catch (const PngError& error) {
        throw PackError(Fault::Picture, error.what());
    }
    if (!png.indexed) return numbering.finish();
    // A palette that is ours, entry for entry, names its indices.
    Picture picture{static_cast<int>(png.width), static_cast<int>(png.height), {}, {}, true};
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
        throw PackError(Fault::Picture, error.what());
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
            pictures.push_back({width, height, colours, {frame.begin(), frame.end()}, true});
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

// An .aseprite file's canvas and cels may be as large as a sheet; all its
// frames composed are held to this many pixels.
constexpr std::uint64_t MaxComposedPixels = std::uint64_t{1} << 25;
constexpr AseLimits PictureAseLimits{std::uint32_t{TileWidth} * MaxCount, std::uint32_t{MaxCount} * MaxCount, MaxPicturePixels,
                                     65535, 65535, 65535, MaxPicturePixels, std::uint64_t{1} << 28};

AseFile ase_file(std::span<const std::uint8_t> file)
{
    try {
        return read_ase(file, PictureAseLimits);
    } catch (const AseError& error) {
        throw PackError(Fault::Picture, "Aseprite file: " + std::string(error.what()));
    }
}

// Frame `frame` of an .aseprite file as composed. An indexed file drawn
// without blending keeps its palette's indices, as an indexed PNG does.
Picture ase_picture(const AseFile& ase, AseComposer& composer, std::size_t frame)
{
    const int width = static_cast<int>(ase.width), height = static_cast<int>(ase.height);
    if (!composer.has_indices()) return rgba_picture(width, height, composer.rgba(frame));
    const std::vector<AseColour>& palette = ase.palettes.at(ase.frames[frame].palette);
    const bool ours = palette.size() == Palette.size() &&
                      std::equal(palette.begin(), palette.end(), Palette.begin(), [](const AseColour& a, const Rgb& b) {
                          return a.red == b.red && a.green == b.green && a.blue == b.blue;
                      });
    Picture picture{width, height, {}, {}, true};
    for (std::size_t i = 0; i < palette.size(); ++i) {
        picture.colours.push_back({{palette[i].red, palette[i].green, palette[i].blue}, Opaque,
                                   ours ? std::optional(static_cast<std::uint8_t>(i)) : std::nullopt});
    }
    // Where nothing is drawn: a colour of its own, past the palette's.
    const auto clear = static_cast<std::uint32_t>(picture.colours.size());
    picture.colours.push_back({{0, 0, 0}, 0, std::nullopt});
    const AseIndexedPicture indexed = composer.indices(frame);
    picture.pixels.resize(indexed.indices.size());
    for (std::size_t i = 0; i < indexed.indices.size(); ++i) {
        picture.pixels[i] = indexed.alpha[i] == 0 || indexed.indices[i] >= palette.size() ? clear : indexed.indices[i];
    }
    return picture;
}

// Every frame of a read .aseprite file, composed of the chosen layers.
PictureFrames ase_frames(const AseFile& ase, bool large, const AseLayerChoice& layers)
{
    const std::uint64_t canvas = std::uint64_t{ase.width} * ase.height;
    if (!large && (ase.width > TileWidth || ase.height > MaxCount)) {
        throw PackError(Fault::Picture, "Aseprite file: the canvas is " + std::to_string(ase.width) + " x " + std::to_string(ase.height) +
                                            " pixels, larger than an image; cut it with crop = [x, y, width, height] or scale = ...");
    }
    if (canvas * ase.frames.size() > MaxComposedPixels) {
        throw PackError(Fault::Limit, "Aseprite file: " + std::to_string(ase.frames.size()) + " frames of " + std::to_string(ase.width) +
                                          " x " + std::to_string(ase.height) + " pixels are more than the " +
                                          std::to_string(MaxComposedPixels) + " pixels composed at once");
    }
    PictureFrames frames;
    try {
        AseComposer composer(ase, layers);
        for (std::size_t k = 0; k < ase.frames.size(); ++k) frames.pictures.push_back(ase_picture(ase, composer, k));
    } catch (const AseError& error) {
        throw PackError(Fault::Picture, "Aseprite file: " + std::string(error.what()));
    }
    for (const AseTag& tag : ase.tags) {
        static constexpr TagDirection directions[] = {TagDirection::Forward, TagDirection::Reverse, TagDirection::PingPong,
                                                      TagDirection::PingPongReverse};
        frames.tags.push_back({tag.name, tag.from, tag.to, directions[static_cast<std::size_t>(tag.direction)]});
    }
    return frames;
}

// What a file that is not a picture this reads is, by its first bytes, so
// the refusal names it rather than complaining of a broken XPM.
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

Picture rgba_picture(int width, int height, std::span<const std::uint8_t> rgba)
{
    RgbaNumbering numbering;
    numbering.begin(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    numbering.row(rgba);
    return numbering.finish();
}

Picture read_picture(std::span<const std::uint8_t> file)
{
    if (looks_like_gif(file)) {
        std::vector<Picture> frames = gif_pictures(file, PictureGifLimits);
        if (frames.size() > 1) {
            throw PackError(Fault::Picture, "an animated GIF of " + std::to_string(frames.size()) +
                            " frames; with frames_from = \"gif\" in its scene it gives a view's frames");
        }
        return std::move(frames.front());
    }
    if (looks_like_png(file)) return png_picture(file);
    if (looks_like_ase(file)) {
        const AseFile ase = ase_file(file);
        if (ase.frames.size() > 1) {
            throw PackError(Fault::Picture, "an .aseprite file of " + std::to_string(ase.frames.size()) +
                                                " frames; as a scene's 'atlas' its tags give the views, or with frames_from = "
                                                "\"aseprite\" it gives a view's frames");
        }
        return std::move(ase_frames(ase, true, {}).pictures.front());
    }
    if (const auto other = other_format(file)) throw PackError(Fault::Picture, *other + "; give PNG, XPM, GIF or .aseprite");
    return xpm_picture(file);
}

PictureFrames read_picture_frames(std::span<const std::uint8_t> file, bool large, const AseLayerChoice& layers)
{
    if (looks_like_gif(file)) return {gif_pictures(file, large ? PictureGifLimits : FramesGifLimits), {}};
    if (looks_like_ase(file)) return ase_frames(ase_file(file), large, layers);
    PictureFrames one;
    one.pictures.push_back(read_picture(file));
    return one;
}

}  // namespace tess
