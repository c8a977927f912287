// `list`: what a tile file holds, as text or JSON, as it is read.
#include "pack/list.hpp"

#include "pack/error.hpp"
#include "pack/text.hpp"
#include "tile/file.hpp"
#include "tile/image.hpp"

namespace tess {

void list_tile_file(std::streambuf& tile, std::string_view name, bool json, std::ostream& out)
{
    try {
        TileFileReader reader(tile);
        const TileHeader& header = reader.header();
        if (json) {
            out << "{\n  \"revision\": " << int{header.revision_number} << ",\n  \"views\": " << int{header.views}
                << ",\n  \"scenes\": [";
        } else {
            out << printable(name) << ": revision " << int{header.revision_number} << ", " << counted(header.views, "view")
                << ", " << counted(header.scenes, "scene") << "\n";
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
                        << "\": " << counted(scene.frames, "frame") << "\n";
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
            out << counted(images, "image") << "\n";
            if (trailing > 0) out << trailing << " bytes after the last scene\n";
        }
    } catch (const TileError& damage) {
        out.flush();
        throw PackError::from(damage);
    }
}

}  // namespace tess
