// `unpack`: the plan of what a tile file becomes, then its image files, sheets or GIFs and the manifest.
#include "pack/unpack.hpp"

#include <algorithm>

#include "ase/ase_writer.hpp"
#include "pack/error.hpp"
#include "pack/manifest.hpp"
#include "pack/names.hpp"
#include "pack/picture.hpp"
#include "pack/sheet.hpp"
#include "tile/file.hpp"
#include "unpack_gif.hpp"
#include "xpm/header.hpp"

namespace tess {

namespace {

// Bounds on a file's size, for checking the room before writing: an indexed
// PNG holds at most a byte a pixel and a filter byte a row, stored, beside
// its palette and chunks; an XPM three characters a pixel, four a row, and a
// colour line an index.
std::uint64_t file_bytes_at_most(ImageFormat format, std::uint64_t width, std::uint64_t height)
{
    if (format == ImageFormat::Png) return 2048 + height * (width + 1) + height * (width + 1) / 16000 * 8;
    if (format == ImageFormat::Aseprite) return 8192 + height * width + height * width / 16000 * 8;
    return 8192 + height * (3 * width + 4) + 256 * 24;
}

std::string image_stem(const UnpackScene& scene, ImagePlace place)
{
    return scene.stem + "_" + std::to_string(place.view) + "_" + std::to_string(place.frame);
}

// Why a scene cannot be one sheet, or nothing when it can.
std::optional<std::string> why_no_sheet(const UnpackScene& scene, int views, ImageFormat format)
{
    if (!scene.same_height) return "its images differ in height";
    if (scene.height == 0) return "its images have no rows";
    const SceneSheet sheet{views, scene.frames, scene.height};
    if (sheet.pixels() > MaxPicturePixels) {
        return "the sheet would be larger than " + std::to_string(MaxPicturePixels) + " pixels";
    }
    // Build reads an XPM only so tall, and each image as a file is not.
    if (const auto most = static_cast<std::size_t>(XpmLimits{}.max_height); format == ImageFormat::Xpm && sheet.height() > most) {
        return "the sheet would be " + std::to_string(sheet.height()) + " rows high, more than the " + std::to_string(most) +
               " an XPM is read at";
    }
    if (format == ImageFormat::Png && scene.use.transparent && !transparent_index(scene.use)) {
        return "it uses all 256 indices and transparency";
    }
    return std::nullopt;
}

// Why a scene cannot be one .aseprite file, or nothing when it can: all its
// images are held until the file is written.
std::optional<std::string> why_no_aseprite(const UnpackScene& scene, int views)
{
    const SceneSheet sheet{views, scene.frames, std::max(scene.height, 1)};
    if (sheet.pixels() > MaxPicturePixels) {
        return "its images would be more than " + std::to_string(MaxPicturePixels) + " pixels";
    }
    // The file's transparent index is transparent wherever it is drawn.
    if (!transparent_index(scene.use)) return "it uses all 256 indices, leaving none for transparency";
    return std::nullopt;
}

// The tag that plays view `view` in an unpacked .aseprite file.
std::string view_tag(int view) { return "view " + std::to_string(view); }

// A scene's images gathered, view by view, as one indexed .aseprite file:
// the canvas as high as the tallest, each image a cel of its own height.
class SceneAseprite {
public:
    void add(const Image& image)
    {
        max_height_ = std::max(max_height_, image.height);
        images_.push_back(image);
    }

    std::vector<std::uint8_t> finish(const UnpackScene& scene, int views, std::vector<int>& heights)
    {
        const std::uint8_t clear = *transparent_index(scene.use);
        std::vector<std::vector<std::uint8_t>> indices(images_.size());
        AseIndexedSprite sprite;
        sprite.width = TileWidth;
        sprite.height = static_cast<std::uint32_t>(std::max(max_height_, 1));
        sprite.palette = Palette;
        sprite.transparent_index = clear;
        heights.clear();
        bool differ = false;
        for (std::size_t k = 0; k < images_.size(); ++k) {
            const Image& image = images_[k];
            indices[k] = indices_of(image.pixels, clear);
            sprite.frames.push_back({TileWidth, static_cast<std::uint32_t>(image.height), indices[k], 100});
            heights.push_back(image.height);
            differ = differ || image.height != static_cast<int>(sprite.height);
        }
        for (int view = 0; view < views; ++view) {
            sprite.tags.push_back({view_tag(view), static_cast<std::uint16_t>(view * scene.frames),
                                   static_cast<std::uint16_t>((view + 1) * scene.frames - 1)});
        }
        // The heights are said only where some image is not the canvas's.
        if (!differ) heights.clear();
        images_.clear();
        max_height_ = 0;
        try {
            return write_indexed_ase(sprite);
        } catch (const AseError& error) {
            throw PackError(Fault::Limit, "Aseprite file: " + std::string(error.what()));
        }
    }

private:
    std::vector<Image> images_;
    int max_height_ = 0;
};

// The C array name of an XPM: its stem with '_' for the '-' C does not allow.
std::string array_name_of(std::string stem)
{
    std::replace(stem.begin(), stem.end(), '-', '_');
    return stem;
}

}  // namespace

UnpackPlan plan_unpack(std::span<const std::uint8_t> tile, const UnpackOptions& options)
{
    UnpackPlan plan;
    plan.options = options;
    SceneFileNames names;
    try {
        TileFileReader reader(tile);
        plan.header = reader.header();
        for (auto part = reader.next(); part != TileFileReader::Part::End; part = reader.next()) {
            if (part == TileFileReader::Part::Scene) {
                const SceneRecord& scene = reader.scene();
                plan.scenes.push_back({scene.name, scene.frames, names.next(scene.name), true, -1, {}, false, {}, false});
                continue;
            }
            UnpackScene& scene = plan.scenes.back();
            const int height = reader.image().height;
            if (scene.height >= 0 && scene.height != height) scene.same_height = false;
            scene.height = height;
            ++plan.images;
            // Only sheets and GIFs choose their transparent index from the
            // pixels; other images are only checked before anything is written.
            if (!options.sheets && options.format != ImageFormat::Gif && options.format != ImageFormat::Aseprite) {
                check_image(reader.data(), height, reader.location());
                continue;
            }
            const Image image = decode_image(reader.data(), height, reader.location());
            if (options.format == ImageFormat::Gif) {
                scene.views.resize(plan.header.views);
                UnpackView& view = scene.views.at(static_cast<std::size_t>(reader.place().view));
                if (view.height >= 0 && view.height != image.height) view.same_height = false;
                view.height = image.height;
                view.use.include(pixel_use(image));
            }
            scene.use.include(pixel_use(image));
        }
        plan.trailing_bytes = reader.trailing_bytes();
    } catch (const TileError& damage) {
        throw PackError::from(damage);
    }

    const int views = plan.header.views;
    plan.files = 1;
    plan.bytes_at_most = 4096;
    for (UnpackScene& scene : plan.scenes) {
        const std::uint64_t images = static_cast<std::uint64_t>(views) * static_cast<std::uint64_t>(scene.frames);
        plan.bytes_at_most += 64 + scene.name.size() * 6 + images * 96;  // its lines in the manifest
        if (images == 0) continue;
        scene.as_sheet = options.sheets && !why_no_sheet(scene, views, options.format);
        scene.as_gif = options.format == ImageFormat::Gif && !scene.as_sheet && !why_no_gif(scene);
        scene.as_aseprite = options.format == ImageFormat::Aseprite && !scene.as_sheet && !why_no_aseprite(scene, views);
        if (scene.as_aseprite) {
            const SceneSheet sheet{views, scene.frames, std::max(scene.height, 1)};
            plan.files += 1;
            plan.bytes_at_most += file_bytes_at_most(options.format, sheet.width(), sheet.height()) + images * 64;
        } else if (scene.as_gif) {
            plan.files += static_cast<std::uint64_t>(views);
            plan.bytes_at_most += static_cast<std::uint64_t>(views) *
                                  gif_bytes_at_most(static_cast<std::uint64_t>(scene.frames), static_cast<std::uint64_t>(scene.views.front().height));
        } else if (scene.as_sheet) {
            const SceneSheet sheet{views, scene.frames, scene.height};
            plan.files += 1;
            plan.bytes_at_most += file_bytes_at_most(options.format, sheet.width(), sheet.height());
        } else {
            plan.files += images;
            plan.bytes_at_most += images * file_bytes_at_most(options.format, TileWidth, MaxCount);
        }
    }
    return plan;
}

void unpack_tile_file(std::span<const std::uint8_t> tile, const UnpackPlan& plan, UnpackSink& sink)
{
    const int views = plan.header.views;
    const UnpackOptions& options = plan.options;
    if (plan.trailing_bytes > 0) {
        sink.note(std::to_string(plan.trailing_bytes) + " bytes after the last scene are not kept");
    }
    for (std::size_t s = 0; s < plan.scenes.size(); ++s) {
        const UnpackScene& scene = plan.scenes[s];
        if (options.format == ImageFormat::Gif && !scene.as_sheet && !scene.as_gif && views > 0 && scene.frames > 0) {
            sink.note("scene " + std::to_string(s) + ": one PNG an image, not a GIF a view: " + *why_no_gif(scene));
        }
        if (options.format == ImageFormat::Aseprite && !scene.as_sheet && !scene.as_aseprite && views > 0 && scene.frames > 0) {
            sink.note("scene " + std::to_string(s) + ": one PNG an image, not an .aseprite file: " + *why_no_aseprite(scene, views));
        }
        if (!options.sheets || scene.as_sheet || views == 0 || scene.frames == 0) continue;
        sink.note("scene " + std::to_string(s) + ": one file an image, not a sheet: " +
                  *why_no_sheet(scene, views, options.format));
    }

    Manifest manifest;
    manifest.output = options.name + ".til";
    manifest.revision = plan.header.revision_number;
    manifest.views = views;
    for (const UnpackScene& scene : plan.scenes) {
        ManifestScene entry;
        entry.name = scene.name;
        entry.frames = scene.frames;
        manifest.scenes.push_back(std::move(entry));
    }

    std::vector<Pixel> pixels;  // the current scene's sheet, when it is one
    SceneSheet sheet;
    ViewGif gif;  // the current view's, when its scene is one GIF a view
    SceneAseprite aseprite;  // the current scene's, when it is one .aseprite file
    try {
        TileFileReader reader(tile);
        reader.header();
        for (auto part = reader.next(); part != TileFileReader::Part::End; part = reader.next()) {
            const auto s = static_cast<std::size_t>(reader.scene_number());
            const UnpackScene& scene = plan.scenes.at(s);
            if (part == TileFileReader::Part::Scene) {
                if (!scene.as_sheet) continue;
                sheet = {views, scene.frames, scene.height};
                pixels.assign(sheet.pixels(), TransparentPixel);
                continue;
            }
            const Image image = decode_image(reader.data(), reader.image().height, reader.location());
            const ImagePlace place = reader.place();
            if (scene.as_aseprite) {
                aseprite.add(image);
                if (place.view != views - 1 || place.frame != scene.frames - 1) continue;
                const std::string name = scene.stem + ".aseprite";
                ManifestScene& entry = manifest.scenes[s];
                sink.write(name, aseprite.finish(scene, views, entry.placement.heights));
                entry.atlas = AtlasChoice{};
                entry.atlas->file = name;
                for (int view = 0; view < views; ++view) entry.atlas->tags.push_back(view_tag(view));
                continue;
            }
            if (scene.as_gif) {
                gif.add(image);
                if (place.frame != scene.frames - 1) continue;
                const std::string name = scene.stem + "_" + std::to_string(place.view) + ".gif";
                sink.write(name, gif.finish(scene.views.at(static_cast<std::size_t>(place.view))));
                manifest.scenes[s].frames_from = FramesFrom::Gif;
                manifest.scenes[s].images.push_back(name);
                continue;
            }
            if (scene.as_sheet) {
                paint_cell(std::span(pixels), sheet.width(), image, sheet.cell(place.view, place.frame), 1,
                           [](Pixel pixel) { return pixel; });
                if (place.view != views - 1 || place.frame != scene.frames - 1) continue;
                const ImageFile file = indexed_file(static_cast<int>(sheet.width()), static_cast<int>(sheet.height()),
                                                    pixels, scene.use, options.format, array_name_of(scene.stem + "_sheet"));
                const std::string name = scene.stem + "_sheet" + std::string(extension_of(file.format));
                sink.write(name, file.bytes);
                // Its cell said, so that building it guesses nothing.
                manifest.scenes[s].sheet = name;
                SheetGrid& grid = manifest.scenes[s].grid.emplace();
                grid.cell_width = TileWidth;
                grid.cell_height = scene.height;
                continue;
            }
            const std::string stem = image_stem(scene, place);
            const ImageFile file = image_file(image, options.format, array_name_of(stem));
            const std::string name = stem + std::string(extension_of(file.format));
            if (file.format == ImageFormat::Xpm && options.format != ImageFormat::Xpm && image.height > 0) {
                sink.note(name + ": an XPM, since the image uses all 256 indices and transparency");
            }
            sink.write(name, file.bytes);
            manifest.scenes[s].images.push_back(name);
        }
    } catch (const TileError& damage) {
        throw PackError::from(damage);
    }

    const std::string text = manifest_text(manifest);
    sink.write(options.name + ".toml", std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::vector<std::string> unpacked_names(std::span<const std::uint8_t> tile, const UnpackPlan& plan)
{
    class Names final : public UnpackSink {
    public:
        void write(const std::string& name, std::span<const std::uint8_t>) override { names.push_back(name); }
        void note(const std::string&) override {}
        std::vector<std::string> names;
    } names;
    unpack_tile_file(tile, plan, names);
    return std::move(names.names);
}

}  // namespace tess
