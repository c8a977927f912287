#include "examine.hpp"

#include <toml++/toml.h>

#include <algorithm>

#include "image_files.hpp"
#include "pack_error.hpp"
#include "picture.hpp"
#include "png/png_writer.hpp"
#include "text.hpp"
#include "tile/image.hpp"
#include "tile_walk.hpp"

namespace tess {

namespace {

toml::array name_bytes(std::string_view name)
{
    toml::array bytes;
    for (const char c : name) bytes.push_back(static_cast<std::int64_t>(static_cast<unsigned char>(c)));
    return bytes;
}

}  // namespace

void list_tile_file(const std::filesystem::path& tile, bool json, std::ostream& out)
{
    toml::table listing;
    toml::array scenes;
    int images = 0;
    TileHeader header{};
    walk_tile_file(tile, {
        .header = [&](const TileHeader& h) {
            header = h;
            if (!json) {
                out << printable(tile.string()) << ": revision " << int{h.revision_number} << ", " << int{h.views}
                    << " views, " << int{h.scenes} << " scenes\n";
            }
        },
        .scene = [&](int number, const SceneRecord& scene) {
            if (!json) {
                out << "scene " << number << " \"" << printable(scene.name) << "\": " << int{scene.frames} << " frames\n";
                return;
            }
            toml::table entry;
            if (is_utf8(scene.name)) {
                entry.insert("name", scene.name);
            } else {
                entry.insert("name_bytes", name_bytes(scene.name));
            }
            entry.insert("frames", int{scene.frames});
            entry.insert("images", toml::array{});
            scenes.push_back(std::move(entry));
        },
        .image = [&](const WalkedImage& image) {
            ++images;
            if (!json) {
                out << "  view " << image.place.view << " frame " << image.place.frame << ": height "
                    << int{image.height} << ", " << image.data.size() << " bytes of data\n";
                return;
            }
            toml::table entry{{"view", image.place.view},
                              {"frame", image.place.frame},
                              {"height", int{image.height}},
                              {"length", static_cast<std::int64_t>(image.data.size())}};
            scenes.back().as_table()->get("images")->as_array()->push_back(std::move(entry));
        },
    });
    if (!json) {
        out << images << " images\n";
        return;
    }
    listing.insert("revision", int{header.revision_number});
    listing.insert("views", int{header.views});
    listing.insert("scenes", std::move(scenes));
    out << toml::json_formatter{listing} << "\n";
}

bool verify_tile_file(const std::filesystem::path& tile, std::ostream& out)
{
    std::optional<std::string> byte_difference;
    std::optional<std::string> pixel_difference;
    walk_tile_file(tile, {
        .image = [&](const WalkedImage& walked) {
            if (pixel_difference) return;
            const std::string where = "scene " + std::to_string(walked.scene) + " \"" + printable(walked.record.name) +
                                      "\", view " + std::to_string(walked.place.view) + ", frame " +
                                      std::to_string(walked.place.frame);
            const Image image = decode_image(walked.data, walked.height, walked.where);
            const ImageFile file = image_file(image, ImageFormat::Png, "verify");
            Image rebuilt;
            try {
                const Picture picture = read_picture(file.bytes);
                ColourRules rules;
                rebuilt = picture_image(picture, 0, 0, picture.width, image.height, rules);
            } catch (const PackError& error) {
                pixel_difference = where + ": its file cannot be read back: " + error.what();
                return;
            }
            if (rebuilt != image) {
                pixel_difference = where + ": pixels differ after the round trip";
                return;
            }
            const std::vector<std::uint8_t> data = encode_image(rebuilt, walked.where);
            if (!byte_difference && !std::equal(data.begin(), data.end(), walked.data.begin(), walked.data.end())) {
                byte_difference = where + ": its data (" + std::to_string(walked.data.size()) +
                                  " bytes) is not in canonical form (" + std::to_string(data.size()) +
                                  " bytes: maximal runs, no transparent run at a row's end, nothing else); "
                                  "another encoder wrote it";
            }
        },
    });
    if (pixel_difference) {
        out << "different: " << *pixel_difference << "\n";
        return false;
    }
    if (byte_difference) {
        out << "pixel-identical: " << *byte_difference << "\n";
    } else {
        out << "byte-identical\n";
    }
    return true;
}

std::vector<std::uint8_t> preview_png(const std::filesystem::path& tile, int scale)
{
    // First the size of every scene's sheet, then the pixels.
    struct Sheet {
        int frames = 0;
        int height = 0;  // of the tallest image
        std::size_t top = 0;
    };
    std::vector<Sheet> sheets;
    int views = 0;
    walk_tile_file(tile, {
        .header = [&](const TileHeader& h) { views = h.views; },
        .scene = [&](int, const SceneRecord& scene) { sheets.push_back({scene.frames, 0, 0}); },
        .image = [&](const WalkedImage& image) { sheets.back().height = std::max(sheets.back().height, int{image.height}); },
    });
    std::size_t width = 0, height = 0;
    for (Sheet& sheet : sheets) {
        sheet.top = height;
        width = std::max(width, static_cast<std::size_t>(sheet.frames) * TileWidth);
        height += static_cast<std::size_t>(views) * static_cast<std::size_t>(sheet.height);
    }
    const auto s = static_cast<std::size_t>(scale);
    if (width == 0 || height == 0) throw PackError(tile.string() + ": no image with pixels to preview");
    if (width * s * height * s > MaxPicturePixels) {
        throw PackError(tile.string() + ": the preview would be " + std::to_string(width * s) + " x " +
                        std::to_string(height * s) + " pixels, more than " + std::to_string(MaxPicturePixels));
    }

    std::vector<std::uint8_t> rgba(width * s * height * s * 4, 0);
    walk_tile_file(tile, {
        .image = [&](const WalkedImage& walked) {
            const Image image = decode_image(walked.data, walked.height, walked.where);
            const Sheet& sheet = sheets[static_cast<std::size_t>(walked.scene)];
            const std::size_t left = static_cast<std::size_t>(walked.place.frame) * TileWidth;
            const std::size_t top = sheet.top + static_cast<std::size_t>(walked.place.view * sheet.height);
            for (int y = 0; y < image.height; ++y) {
                for (int x = 0; x < TileWidth; ++x) {
                    const Pixel pixel = image.at(x, y);
                    if (pixel == TransparentPixel) continue;
                    const Rgb& colour = Palette[static_cast<std::size_t>(pixel)];
                    const std::uint8_t value[4] = {static_cast<std::uint8_t>(colour.red),
                                                   static_cast<std::uint8_t>(colour.green),
                                                   static_cast<std::uint8_t>(colour.blue), 255};
                    for (std::size_t dy = 0; dy < s; ++dy) {
                        for (std::size_t dx = 0; dx < s; ++dx) {
                            const std::size_t px = (left + static_cast<std::size_t>(x)) * s + dx;
                            const std::size_t py = (top + static_cast<std::size_t>(y)) * s + dy;
                            std::copy(value, value + 4, rgba.begin() + static_cast<std::ptrdiff_t>((py * width * s + px) * 4));
                        }
                    }
                }
            }
        },
    });
    return write_rgba_png(static_cast<std::uint32_t>(width * s), static_cast<std::uint32_t>(height * s), rgba);
}

}  // namespace tess
