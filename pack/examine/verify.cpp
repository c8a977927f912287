// `verify`: a tile file unpacked in memory, its manifest read back and built again, and the two files compared.
#include "pack/verify.hpp"

#include <algorithm>
#include <limits>
#include <optional>

#include "pack/build.hpp"
#include "pack/error.hpp"
#include "pack/manifest.hpp"
#include "pack/memory_folder.hpp"
#include "pack/text.hpp"
#include "tile/file.hpp"
#include "tile/image.hpp"

namespace tess {

namespace {

std::string place_of(int scene, const std::string& name, int view, int frame)
{
    return "scene " + std::to_string(scene) + " \"" + printable(name) + "\", view " + std::to_string(view) + ", frame " +
           std::to_string(frame);
}

std::string place_of(const TileFileReader& reader)
{
    return place_of(reader.scene_number(), reader.scene().name, reader.place().view, reader.place().frame);
}

bool same(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

// What a fault of the round trip says: a picture that cannot be read back at
// its image, anything else with its place.
std::string round_trip_fault(const PackError& error, const std::string& manifest)
{
    const PackLocation& at = error.where();
    if (at.scene >= 0 && at.view >= 0 && at.frame >= 0) {
        return place_of(at.scene, at.scene_name, at.view, at.frame) + ": its file cannot be read back: " + error.what();
    }
    return "the unpacked files do not build again: " + rendered(error, manifest).front();
}

// The first difference between a file and the one built from its unpacked
// files, reading both side by side: the file was looked over whole when it
// was planned, so damage met here is the rebuilt file's.
Verdict compared(std::span<const std::uint8_t> tile, std::span<const std::uint8_t> again)
{
    if (same(tile, again)) return {Verdict::Kind::ByteIdentical, {}};
    std::optional<std::string> not_canonical;
    try {
        TileFileReader original(tile), rebuilt(again);
        const TileHeader head = original.header(), head_again = rebuilt.header();
        const auto differ = [](const std::string& what, int was, int is) {
            return Verdict{Verdict::Kind::Different,
                           what + ": " + std::to_string(was) + " in the file, " + std::to_string(is) + " built again"};
        };
        if (head.revision_number != head_again.revision_number) {
            return differ("the revision number", head.revision_number, head_again.revision_number);
        }
        if (head.views != head_again.views) return differ("views", head.views, head_again.views);
        if (head.scenes != head_again.scenes) return differ("scenes", head.scenes, head_again.scenes);
        for (auto part = original.next(); part != TileFileReader::Part::End; part = original.next()) {
            rebuilt.next();  // the same part: the headers and every scene's frames agree
            if (part == TileFileReader::Part::Scene) {
                const std::string scene = "scene " + std::to_string(original.scene_number()) + " \"" +
                                          printable(original.scene().name) + "\"";
                if (original.scene().name != rebuilt.scene().name) {
                    return {Verdict::Kind::Different, scene + ": named \"" + printable(rebuilt.scene().name) + "\" built again"};
                }
                if (original.scene().frames != rebuilt.scene().frames) {
                    return differ(scene + ", frames", original.scene().frames, rebuilt.scene().frames);
                }
                continue;
            }
            const std::span<const std::uint8_t> data = original.data(), data_again = rebuilt.data();
            if (original.image().height == rebuilt.image().height && same(data, data_again)) continue;
            const Image image = decode_image(data, original.image().height, original.location());
            const Image image_again = decode_image(data_again, rebuilt.image().height, rebuilt.location());
            if (image != image_again) return {Verdict::Kind::Different, place_of(original) + ": pixels differ after the round trip"};
            if (!same(encode_image(image_again), data_again)) {
                return {Verdict::Kind::Different, place_of(original) + ": built again, its data is not in canonical form"};
            }
            if (!not_canonical) {
                not_canonical = place_of(original) + ": its data (" + std::to_string(data.size()) +
                                " bytes) is not in canonical form (" + std::to_string(data_again.size()) +
                                " bytes: maximal runs, no transparent run at a row's end, nothing else); "
                                "another encoder wrote it";
            }
        }
        if (const std::uint64_t trailing = original.trailing_bytes(); trailing > 0) {
            return {Verdict::Kind::Different,
                    std::to_string(trailing) + " bytes follow the last scene; the unpacked files do not keep them"};
        }
    } catch (const TileError& damage) {
        return {Verdict::Kind::Different, std::string("the file built again cannot be read: ") + damage.what()};
    }
    if (not_canonical) return {Verdict::Kind::PixelIdentical, *not_canonical};
    return {Verdict::Kind::Different, "the file built again differs"};
}

}  // namespace

Verdict verify_tile_file(std::span<const std::uint8_t> tile, const UnpackOptions& options)
{
    MemoryFolder folder;
    unpack_tile_file(tile, plan_unpack(tile, options), folder);
    const std::string manifest_name = options.name + ".toml";
    std::vector<std::uint8_t> rebuilt;
    try {
        const std::vector<std::uint8_t>& text = folder.files.at(manifest_name);
        const Manifest manifest =
            parse_manifest(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()), manifest_name);
        // The files are the tile file's own, so it is no stranger's manifest
        // that a bound on the size would guard against.
        rebuilt = build_tile_file(manifest, folder, std::numeric_limits<std::uint64_t>::max()).bytes;
    } catch (const PackError& error) {
        return {Verdict::Kind::Different, round_trip_fault(error, manifest_name)};
    }
    return compared(tile, rebuilt);
}

}  // namespace tess
