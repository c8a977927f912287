#include "pack/examine.hpp"

#include <algorithm>
#include <optional>

#include "pack/error.hpp"
#include "pack/image_files.hpp"
#include "pack/picture.hpp"
#include "pack/sheet.hpp"
#include "pack/text.hpp"
#include "png/png_writer.hpp"
#include "tile/file.hpp"
#include "tile/image.hpp"

namespace tess {

namespace {

std::string place_of(const TileFileReader& reader)
{
    return "scene " + std::to_string(reader.scene_number()) + " \"" + printable(reader.scene().name) + "\", view " +
           std::to_string(reader.place().view) + ", frame " + std::to_string(reader.place().frame);
}

}  // namespace

void list_tile_file(std::streambuf& tile, std::string_view name, bool json, std::ostream& out)
{
    try {
        TileFileReader reader(tile);
        const TileHeader& header = reader.header();
        if (json) {
            out << "{\n  \"revision\": " << int{header.revision_number} << ",\n  \"views\": " << int{header.views}
                << ",\n  \"scenes\": [";
        } else {
            out << printable(name) << ": revision " << int{header.revision_number} << ", " << int{header.views}
                << " views, " << int{header.scenes} << " scenes\n";
        }
        std::uint64_t images = 0;
        bool first_image = true;
        for (auto part = reader.next(); part != TileFileReader::Part::End; part = reader.next()) {
            if (part == TileFileReader::Part::Scene) {
                const SceneRecord& scene = reader.scene();
                if (json) {
                    if (reader.scene_number() > 0) out << (first_image ? "]}," : "\n    ]},");
                    out << "\n    {" << named_text("name", scene.name, Notation::Json)
                        << ", \"frames\": " << int{scene.frames} << ", \"images\": [";
                    first_image = true;
                } else {
                    out << "scene " << reader.scene_number() << " \"" << printable(scene.name)
                        << "\": " << int{scene.frames} << " frames\n";
                }
                continue;
            }
            ++images;
            const ImagePlace place = reader.place();
            const std::size_t length = reader.data().size();
            if (json) {
                out << (first_image ? "\n" : ",\n") << "      {\"view\": " << place.view << ", \"frame\": " << place.frame
                    << ", \"height\": " << int{reader.image().height} << ", \"length\": " << length << "}";
                first_image = false;
            } else {
                out << "  view " << place.view << " frame " << place.frame << ": height " << int{reader.image().height}
                    << ", " << length << " bytes of data\n";
            }
        }
        const std::uint64_t trailing = reader.trailing_bytes();
        if (json) {
            if (header.scenes > 0) out << (first_image ? "]}\n  " : "\n    ]}\n  ");
            out << "],\n  \"trailing_bytes\": " << trailing << "\n}\n";
        } else {
            out << images << " images\n";
            if (trailing > 0) out << trailing << " bytes after the last scene\n";
        }
    } catch (const TileError& damage) {
        out.flush();
        throw PackError(damage.what());
    }
}

Verdict verify_tile_file(std::span<const std::uint8_t> tile)
{
    std::vector<std::uint8_t> rebuilt;
    std::optional<std::string> pixel_difference;
    std::optional<std::string> byte_difference;
    try {
        TileFileReader reader(tile);
        const TileHeader& header = reader.header();
        TileFileWriter writer(rebuilt, header.revision_number, header.views, header.scenes);
        ColourRules rules;
        for (auto part = reader.next(); part != TileFileReader::Part::End; part = reader.next()) {
            if (part == TileFileReader::Part::Scene) {
                writer.scene(reader.scene().frames, reader.scene().name);
                continue;
            }
            const std::span<const std::uint8_t> data = reader.data();
            const Image image = decode_image(data, reader.image().height, reader.location());
            const ImageFile file = image_file(image, ImageFormat::Png, "verify");
            Image again = image;
            try {
                const Picture picture = read_picture(file.bytes);
                PictureWindow window = whole_picture(picture);
                window.height = window.image_height = image.height;
                again = picture_image(window, rules);
            } catch (const PackError& error) {
                if (!pixel_difference) pixel_difference = place_of(reader) + ": its file cannot be read back: " + error.what();
            }
            if (again != image && !pixel_difference) pixel_difference = place_of(reader) + ": pixels differ after the round trip";
            const std::vector<std::uint8_t> encoded = encode_image(again, reader.location());
            if (!byte_difference && !std::equal(encoded.begin(), encoded.end(), data.begin(), data.end())) {
                byte_difference = place_of(reader) + ": its data (" + std::to_string(data.size()) +
                                  " bytes) is not in canonical form (" + std::to_string(encoded.size()) +
                                  " bytes: maximal runs, no transparent run at a row's end, nothing else); "
                                  "another encoder wrote it";
            }
            writer.image(again.height, encoded);
        }
        writer.finish();
        if (const std::uint64_t trailing = reader.trailing_bytes(); trailing > 0 && !pixel_difference) {
            pixel_difference = std::to_string(trailing) + " bytes follow the last scene; the unpacked files do not keep them";
        }
    } catch (const TileError& damage) {
        throw PackError(damage.what());
    }
    if (pixel_difference) return {Verdict::Kind::Different, *pixel_difference};
    if (byte_difference) return {Verdict::Kind::PixelIdentical, *byte_difference};
    if (!std::equal(rebuilt.begin(), rebuilt.end(), tile.begin(), tile.end())) {
        return {Verdict::Kind::Different, "the file built again differs"};
    }
    return {Verdict::Kind::ByteIdentical, {}};
}

std::vector<std::uint8_t> preview_png(std::span<const std::uint8_t> tile, int scale)
{
    // First every scene's sheet and where it sits, then the pixels.
    std::vector<SheetLayout> sheets;
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
        throw PackError(damage.what());
    }
    for (const SheetLayout& sheet : sheets) {
        tops.push_back(height);
        width = std::max(width, sheet.width());
        height += sheet.height();
    }
    const auto s = static_cast<std::size_t>(scale);
    if (width == 0 || height == 0) throw PackError("no image with pixels to preview");
    if (width * s * height * s > MaxPicturePixels) {
        throw PackError("the preview would be " + std::to_string(width * s) + " x " + std::to_string(height * s) +
                        " pixels, more than " + std::to_string(MaxPicturePixels));
    }

    const std::size_t row_bytes = width * s * 4;
    std::vector<std::uint8_t> rgba(row_bytes * height * s, 0);
    try {
        TileFileReader reader(tile);
        reader.header();
        for (auto part = reader.next(); part != TileFileReader::Part::End; part = reader.next()) {
            if (part == TileFileReader::Part::Scene) continue;
            const Image image = decode_image(reader.data(), reader.image().height, reader.location());
            const auto number = static_cast<std::size_t>(reader.scene_number());
            const SheetLayout& sheet = sheets.at(number);
            const std::size_t left = sheet.left(reader.place().frame);
            const std::size_t top = tops[number] + sheet.top(reader.place().view);
            for (int y = 0; y < std::min(image.height, sheet.cell_height); ++y) {
                for (int x = 0; x < TileWidth; ++x) {
                    const Pixel pixel = image.at(x, y);
                    if (pixel == TransparentPixel) continue;
                    const Rgb& colour = Palette[static_cast<std::size_t>(pixel)];
                    const std::uint8_t value[4] = {static_cast<std::uint8_t>(colour.red),
                                                   static_cast<std::uint8_t>(colour.green),
                                                   static_cast<std::uint8_t>(colour.blue), 255};
                    for (std::size_t dy = 0; dy < s; ++dy) {
                        std::uint8_t* row = &rgba[((top + static_cast<std::size_t>(y)) * s + dy) * row_bytes];
                        for (std::size_t dx = 0; dx < s; ++dx) {
                            std::copy(value, value + 4, row + ((left + static_cast<std::size_t>(x)) * s + dx) * 4);
                        }
                    }
                }
            }
        }
    } catch (const TileError& damage) {
        throw PackError(damage.what());
    }
    return write_rgba_png(static_cast<std::uint32_t>(width * s), static_cast<std::uint32_t>(height * s), rgba);
}

}  // namespace tess
