#include "unpack.hpp"

#include <algorithm>

#include "manifest.hpp"
#include "names.hpp"
#include "pack_error.hpp"
#include "pack_files.hpp"
#include "picture.hpp"
#include "png/png_writer.hpp"
#include "tile_walk.hpp"

namespace tess {

namespace {

// What the checking pass learns of each scene, for naming its files and for
// deciding whether it can be one sheet.
struct SceneFacts {
    std::string name;
    int frames = 0;
    std::string stem;
    bool same_height = true;
    int height = -1;
    PixelUse use;
};

std::vector<SceneFacts> check_tile_file(const std::filesystem::path& tile, TileHeader& header)
{
    std::vector<SceneFacts> scenes;
    SceneFileNames names;
    walk_tile_file(tile, {
        .header = [&](const TileHeader& h) { header = h; },
        .scene = [&](int, const SceneRecord& scene) {
            scenes.push_back({scene.name, scene.frames, names.next(scene.name), true, -1, {}});
        },
        .image = [&](const WalkedImage& walked) {
            const Image image = decode_image(walked.data, walked.height, walked.where);
            SceneFacts& facts = scenes.back();
            if (facts.height >= 0 && facts.height != image.height) facts.same_height = false;
            facts.height = image.height;
            facts.use.include(pixel_use(image));
        },
    });
    return scenes;
}

std::string image_stem(const SceneFacts& scene, ImagePlace place)
{
    return scene.stem + "_" + std::to_string(place.view) + "_" + std::to_string(place.frame);
}

// Why a scene cannot be one sheet, or nothing when it can.
std::optional<std::string> why_no_sheet(const SceneFacts& scene, int views)
{
    if (views == 0 || scene.frames == 0) return std::nullopt;
    if (!scene.same_height) return "its images differ in height";
    if (scene.height == 0) return "its images have no rows";
    const std::uint64_t pixels = std::uint64_t{TileWidth} * static_cast<std::uint64_t>(scene.frames) *
                                 static_cast<std::uint64_t>(views) * static_cast<std::uint64_t>(scene.height);
    if (pixels > MaxPicturePixels) return "the sheet would be larger than " + std::to_string(MaxPicturePixels) + " pixels";
    if (scene.use.transparent && !transparent_index(scene.use)) return "it uses all 256 indices and transparency";
    return std::nullopt;
}

}  // namespace

UnpackCounts unpack_tile_file(const std::filesystem::path& tile, const UnpackOptions& options, std::ostream& notes)
{
    TileHeader header{};
    std::vector<SceneFacts> scenes = check_tile_file(tile, header);

    std::vector<bool> as_sheet(scenes.size(), false);
    if (options.sheets) {
        for (std::size_t s = 0; s < scenes.size(); ++s) {
            const auto why = why_no_sheet(scenes[s], header.views);
            as_sheet[s] = !why && header.views > 0 && scenes[s].frames > 0;
            if (why) notes << "scene " << s << ": one file an image, not a sheet: " << *why << "\n";
        }
    }

    std::string stem = tile.filename().string();
    if (stem.ends_with(".til")) stem.resize(stem.size() - 4);
    Manifest manifest;
    manifest.output = stem + ".til";
    manifest.revision = header.revision_number;
    manifest.views = header.views;
    for (const SceneFacts& scene : scenes) manifest.scenes.push_back({scene.name, scene.frames, {}, {}});

    OutputFolder folder(options.folder);
    UnpackCounts counts{static_cast<int>(scenes.size()), 0, 0};
    std::vector<std::uint8_t> sheet;  // indices of the current scene's sheet
    const auto sheet_width = [&](const SceneFacts& scene) { return static_cast<std::size_t>(scene.frames) * TileWidth; };

    walk_tile_file(tile, {
        .scene = [&](int number, const SceneRecord&) {
            const auto s = static_cast<std::size_t>(number);
            if (!as_sheet[s]) return;
            // Transparent pixels keep the fill; without any, every pixel is drawn over it.
            sheet.assign(sheet_width(scenes[s]) * static_cast<std::size_t>(header.views) *
                             static_cast<std::size_t>(scenes[s].height),
                         transparent_index(scenes[s].use).value_or(0));
        },
        .image = [&](const WalkedImage& walked) {
            const auto s = static_cast<std::size_t>(walked.scene);
            const SceneFacts& scene = scenes[s];
            const Image image = decode_image(walked.data, walked.height, walked.where);
            ++counts.images;
            if (as_sheet[s]) {
                const std::size_t width = sheet_width(scene);
                for (int y = 0; y < image.height; ++y) {
                    const std::size_t row = static_cast<std::size_t>(walked.place.view * scene.height + y) * width +
                                            static_cast<std::size_t>(walked.place.frame) * TileWidth;
                    for (int x = 0; x < TileWidth; ++x) {
                        const Pixel pixel = image.at(x, y);
                        if (pixel != TransparentPixel) sheet[row + static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(pixel);
                    }
                }
                const bool last = walked.place.view == header.views - 1 && walked.place.frame == scene.frames - 1;
                if (!last) return;
                const std::string name = scene.stem + "_sheet.png";
                folder.write(name, write_indexed_png(static_cast<std::uint32_t>(width),
                                                     static_cast<std::uint32_t>(header.views * scene.height), sheet,
                                                     scene.use.transparent ? transparent_index(scene.use) : std::nullopt));
                manifest.scenes[s].sheet = name;
                ++counts.files;
                return;
            }
            const std::string stem = image_stem(scene, walked.place);
            std::string array_name = stem;
            std::replace(array_name.begin(), array_name.end(), '-', '_');
            const ImageFile file = image_file(image, options.format, array_name);
            const std::string name = stem + std::string(extension_of(file.format));
            if (file.format != options.format && image.height > 0) {
                notes << name << ": an XPM, since the image uses all 256 indices and transparency\n";
            }
            folder.write(name, file.bytes);
            manifest.scenes[s].images.push_back(name);
            ++counts.files;
        },
    });

    const std::string text = manifest_text(manifest);
    folder.write(stem + ".toml", std::vector<std::uint8_t>(text.begin(), text.end()));
    return counts;
}

}  // namespace tess
