// `preview`: every scene as one PNG sheet, or as one animated GIF.
#include "pack/preview.hpp"

#include <algorithm>
#include <array>

#include "gif/gif_writer.hpp"
#include "pack/picture.hpp"
#include "pack/sheet.hpp"
#include "palette/palette.hpp"
#include "png/png_writer.hpp"
#include "pack/error.hpp"
#include "pack/text.hpp"
#include "tile/file.hpp"
#include "tile/image.hpp"

namespace tess {

std::vector<std::uint8_t> preview_png(std::span<const std::uint8_t> tile, int scale)
{
    // First every scene's sheet and where it sits, then the pixels.
    std::vector<SceneSheet> sheets;
    std::vector<std::size_t> tops;
    std::size_t width = 0, height = 0;
    try {
        TileFileReader reader(tile);
        const int views = reader.header().views;
        for (auto part = reader.next(); part != TileFileReader::Part::End; part = reader.next()) {
            if (part == TileFileReader::Part::Scene) {
                sheets.push_back({views, reader.scene().frames, 0});
            } else {
                sheets.back().cell_height = std::max(sheets.back().cell_height, int{reader.image().height});
            }
        }
    } catch (const TileError& damage) {
        throw PackError::from(damage);
    }
    for (const SceneSheet& sheet : sheets) {
        tops.push_back(height);
        width = std::max(width, sheet.width());
        height += sheet.height();
    }
    const auto s = static_cast<std::size_t>(scale);
    if (width == 0 || height == 0) throw PackError(Fault::Tile, "no image with pixels to preview");
    if (width * s * height * s > MaxPicturePixels) {
        throw PackError(Fault::Limit, "the preview would be " + std::to_string(width * s) + " x " + std::to_string(height * s) +
                        " pixels, more than " + std::to_string(MaxPicturePixels));
    }

    using Rgba = std::array<std::uint8_t, 4>;
    static_assert(sizeof(Rgba) == 4, "the PNG writer takes the pixels as bytes");
    std::vector<Rgba> rgba(width * s * height * s, Rgba{});
    try {
        TileFileReader reader(tile);
        reader.header();
        for (auto part = reader.next(); part != TileFileReader::Part::End; part = reader.next()) {
            if (part == TileFileReader::Part::Scene) continue;
            const Image image = decode_image(reader.data(), reader.image().height, reader.location());
            const auto number = static_cast<std::size_t>(reader.scene_number());
            Cell cell = sheets.at(number).cell(reader.place().view, reader.place().frame);
            cell.top += tops[number];
            paint_cell(std::span(rgba), width * s, image, cell, scale, [](Pixel pixel) {
                const Rgb& colour = Palette[static_cast<std::size_t>(pixel)];
                return Rgba{static_cast<std::uint8_t>(colour.red), static_cast<std::uint8_t>(colour.green),
                            static_cast<std::uint8_t>(colour.blue), 255};
            });
        }
    } catch (const TileError& damage) {
        throw PackError::from(damage);
    }
    return write_rgba_png(static_cast<std::uint32_t>(width * s), static_cast<std::uint32_t>(height * s),
                          std::span(reinterpret_cast<const std::uint8_t*>(rgba.data()), rgba.size() * sizeof(Rgba)));
}


namespace {

struct SceneShape {
    std::string name;
    int frames = 0;
    int height = 0;    // of its tallest image
    bool shown = false;
    std::size_t first = 0;  // its first frame in the animation
};

// Each palette index as the first index of its colour, and an index no
// pixel is then drawn with.
struct Canonical {
    std::array<std::uint8_t, 256> index{};
    std::uint8_t clear = 0;
};

Canonical canonical_indices()
{
    Canonical canonical;
    bool found = false;
    for (std::size_t i = 0; i < Palette.size(); ++i) {
        const auto first = static_cast<std::size_t>(std::find(Palette.begin(), Palette.end(), Palette[i]) - Palette.begin());
        canonical.index[i] = static_cast<std::uint8_t>(first);
        if (first != i && !found) canonical.clear = static_cast<std::uint8_t>(i), found = true;
    }
    return canonical;
}

}  // namespace

std::vector<std::uint8_t> preview_gif(std::span<const std::uint8_t> tile, const std::optional<std::string>& scene,
                                      int scale, int delay_ms)
{
    std::vector<SceneShape> scenes;
    int views = 0;
    try {
        TileFileReader reader(tile);
        views = reader.header().views;
        for (auto part = reader.next(); part != TileFileReader::Part::End; part = reader.next()) {
            if (part == TileFileReader::Part::Scene) {
                scenes.push_back({reader.scene().name, reader.scene().frames});
            } else {
                scenes.back().height = std::max(scenes.back().height, int{reader.image().height});
            }
        }
    } catch (const TileError& damage) {
        throw PackError::from(damage);
    }
    if (scene && std::none_of(scenes.begin(), scenes.end(), [&](const SceneShape& s) { return s.name == *scene; })) {
        throw PackError(Fault::Tile, "no scene is named \"" + printable(*scene) + "\"");
    }

    std::size_t frames = 0, height = 0, shown = 0;
    for (SceneShape& shape : scenes) {
        if (scene && (shape.name != *scene || shown > 0)) continue;
        shape.shown = shape.height > 0 && shape.frames > 0 && views > 0;
        if (!shape.shown) continue;
        shape.first = frames;
        frames += static_cast<std::size_t>(shape.frames);
        height = std::max(height, static_cast<std::size_t>(shape.height));
        ++shown;
    }
    if (frames == 0) throw PackError(Fault::Tile, "no image with pixels to preview");
    const auto s = static_cast<std::size_t>(scale);
    const std::size_t width = static_cast<std::size_t>(views) * TileWidth * s;
    height *= s;
    if (width * height > MaxPicturePixels || width * height * frames > MaxAnimationPixels) {
        throw PackError(Fault::Limit, "the preview would be " + std::to_string(frames) + " frames of " + std::to_string(width) +
                        " x " + std::to_string(height) + " pixels, more than " + std::to_string(MaxPicturePixels) +
                        " a frame and " + std::to_string(MaxAnimationPixels) + " in all");
    }

    const Canonical canonical = canonical_indices();
    std::vector<std::vector<std::uint8_t>> screens(frames, std::vector<std::uint8_t>(width * height, canonical.clear));
    std::vector<int> delays(frames, delay_ms);
    for (const SceneShape& shape : scenes) {
        if (shape.shown && shown > 1) delays[shape.first + static_cast<std::size_t>(shape.frames) - 1] += ScenePauseMs;
    }
    try {
        TileFileReader reader(tile);
        reader.header();
        for (auto part = reader.next(); part != TileFileReader::Part::End; part = reader.next()) {
            const SceneShape& shape = scenes.at(static_cast<std::size_t>(reader.scene_number()));
            if (part == TileFileReader::Part::Scene || !shape.shown) continue;
            const Image image = decode_image(reader.data(), reader.image().height, reader.location());
            const ImagePlace place = reader.place();
            std::vector<std::uint8_t>& screen = screens[shape.first + static_cast<std::size_t>(place.frame)];
            paint_cell(std::span(screen), width, image, Cell{static_cast<std::size_t>(place.view) * TileWidth, 0, shape.height},
                       scale, [&](Pixel pixel) { return canonical.index[static_cast<std::size_t>(pixel)]; });
        }
    } catch (const TileError& damage) {
        throw PackError::from(damage);
    }
    try {
        return write_indexed_gif(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), Palette,
                                 canonical.clear, screens, delays);
    } catch (const GifError& error) {
        throw PackError(Fault::Limit, error.what());
    }
}

}  // namespace tess
