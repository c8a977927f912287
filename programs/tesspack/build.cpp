#include "build.hpp"

#include <sys/stat.h>

#include "files/safe_open.hpp"
#include "pack_error.hpp"
#include "pack_files.hpp"
#include "picture.hpp"
#include "tile/file.hpp"

namespace tess {

namespace {

// An XPM of 64 x 255 pixels of 15 characters is under 300 KB; a PNG sheet is
// held to MaxPicturePixels by its reader.
constexpr std::size_t MaxPictureFileBytes = 256 << 20;

std::string place(const ManifestScene& scene, int number, int view, int frame, const std::filesystem::path& file)
{
    std::string text = "scene " + std::to_string(number) + " \"" + scene.name + "\"";
    if (view >= 0) text += ", view " + std::to_string(view) + ", frame " + std::to_string(frame);
    return text + " (" + file.string() + ")";
}

// What the writer has made so far goes out, so one image at a time is in memory.
void send(TileFileWriter& writer, std::ostream& out)
{
    std::vector<std::uint8_t>& bytes = writer.out();
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.clear();
}

void put_image(TileFileWriter& writer, std::ostream& out, const Image& image, const TileLocation& where)
{
    writer.image(image.height, encode_image(image, where));
    send(writer, out);
}

// The caller names the file in its message.
Picture load(const std::filesystem::path& path)
{
    std::error_code error;
    const std::vector<std::uint8_t> bytes = files::read_file(path.string(), MaxPictureFileBytes, error);
    if (error) throw PackError("cannot read: " + error.message());
    return read_picture(bytes);
}

void build_from_images(const Manifest& manifest, const ManifestScene& scene, int number, TileFileWriter& writer,
                       std::ostream& out, ColourRules& rules)
{
    for (std::size_t k = 0; k < scene.images.size(); ++k) {
        const ImagePlace at = image_place(static_cast<int>(k), scene.frames);
        const std::filesystem::path path = manifest.folder / scene.images[k];
        try {
            const Picture picture = load(path);
            if (picture.width > TileWidth || picture.height > MaxCount) {
                throw PackError(std::to_string(picture.width) + " x " + std::to_string(picture.height) +
                                " pixels; an image is at most " + std::to_string(TileWidth) + " x " +
                                std::to_string(MaxCount));
            }
            put_image(writer, out, picture_image(picture, 0, 0, picture.width, picture.height, rules),
                      {number, scene.name, at.view, at.frame});
        } catch (const PackError& error) {
            throw PackError(place(scene, number, at.view, at.frame, path) + ": " + error.what());
        } catch (const TileError& error) {
            throw PackError(place(scene, number, at.view, at.frame, path) + ": " + error.description());
        }
    }
}

void build_from_sheet(const Manifest& manifest, const ManifestScene& scene, int number, TileFileWriter& writer,
                      std::ostream& out, ColourRules& rules)
{
    if (manifest.views == 0 || scene.frames == 0) return;
    const std::filesystem::path path = manifest.folder / scene.sheet;
    int view = -1, frame = -1;
    try {
        const Picture sheet = load(path);
        const int cell_height = sheet.height / manifest.views;
        if (sheet.width != scene.frames * TileWidth || sheet.height % manifest.views != 0 || cell_height > MaxCount) {
            throw PackError("the sheet is " + std::to_string(sheet.width) + " x " + std::to_string(sheet.height) +
                            " pixels; " + std::to_string(scene.frames) + " frames of " + std::to_string(TileWidth) +
                            " need " + std::to_string(scene.frames * TileWidth) + " wide, and the height must be " +
                            std::to_string(manifest.views) + " views times an image height of at most " +
                            std::to_string(MaxCount));
        }
        for (view = 0; view < manifest.views; ++view) {
            for (frame = 0; frame < scene.frames; ++frame) {
                put_image(writer, out,
                          picture_image(sheet, frame * TileWidth, view * cell_height, TileWidth, cell_height, rules),
                          {number, scene.name, view, frame});
            }
        }
    } catch (const PackError& error) {
        throw PackError(place(scene, number, view, frame, path) + ": " + error.what());
    } catch (const TileError& error) {
        throw PackError(place(scene, number, view, frame, path) + ": " + error.description());
    }
}

}  // namespace

BuildCounts build_tile_file(const Manifest& manifest, std::ostream& out)
{
    ColourRules rules(manifest.metric, manifest.strict);
    std::vector<std::uint8_t> records;
    TileFileWriter writer(records, manifest.revision, manifest.views, static_cast<int>(manifest.scenes.size()));
    send(writer, out);

    BuildCounts counts;
    for (const ManifestScene& scene : manifest.scenes) {
        writer.scene(scene.frames, scene.name);
        send(writer, out);
        if (scene.sheet.empty()) {
            build_from_images(manifest, scene, counts.scenes, writer, out, rules);
        } else {
            build_from_sheet(manifest, scene, counts.scenes, writer, out, rules);
        }
        ++counts.scenes;
        counts.images += manifest.views * scene.frames;
    }
    writer.finish();
    return counts;
}

void check_output_is_no_input(const Manifest& manifest, const std::filesystem::path& output)
{
    struct stat target {};
    if (::stat(output.c_str(), &target) != 0) return;
    const auto is_target = [&](const std::filesystem::path& path) {
        struct stat input {};
        return ::stat(path.c_str(), &input) == 0 && input.st_dev == target.st_dev && input.st_ino == target.st_ino;
    };
    const auto refuse = [&](const std::filesystem::path& path) {
        throw PackError(output.string() + ": the output would replace the input " + path.string());
    };
    if (is_target(manifest.path)) refuse(manifest.path);
    for (const ManifestScene& scene : manifest.scenes) {
        if (!scene.sheet.empty() && is_target(manifest.folder / scene.sheet)) refuse(manifest.folder / scene.sheet);
        for (const auto& image : scene.images) {
            if (is_target(manifest.folder / image)) refuse(manifest.folder / image);
        }
    }
}

}  // namespace tess
