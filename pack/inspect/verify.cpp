// `verify`: whether unpacking a tile file and building it again gives its bytes.
#include "pack/verify.hpp"

#include <optional>

#include "pack/colours.hpp"
#include "pack/image_files.hpp"
#include "pack/picture.hpp"
#include "pack/error.hpp"
#include "pack/text.hpp"
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
        throw PackError::from(damage);
    }
    if (pixel_difference) return {Verdict::Kind::Different, *pixel_difference};
    if (byte_difference) return {Verdict::Kind::PixelIdentical, *byte_difference};
    if (!std::equal(rebuilt.begin(), rebuilt.end(), tile.begin(), tile.end())) {
        return {Verdict::Kind::Different, "the file built again differs"};
    }
    return {Verdict::Kind::ByteIdentical, {}};
}

}  // namespace tess
