#include "tile_walk.hpp"

#include "files/file_stream.hpp"
#include "files/safe_open.hpp"
#include "pack_error.hpp"
#include "tile/file.hpp"

namespace tess {

void walk_tile_file(const std::filesystem::path& path, const TileVisitor& visit)
{
    std::error_code error;
    files::Descriptor fd = files::open_input(path.string(), error);
    if (error) throw PackError(path.string() + ": cannot read: " + error.message());
    files::FileStream in(std::move(fd));
    TileFileReader reader(*in.rdbuf());
    try {
        visit.header(reader.header());
        for (TileFileReader::Part part; (part = reader.next()) != TileFileReader::Part::End;) {
            if (part == TileFileReader::Part::Scene) {
                visit.scene(reader.scene_number(), reader.scene());
            } else {
                visit.image({reader.scene_number(), reader.scene(), reader.place(), reader.image().height,
                             reader.data(), reader.location()});
            }
        }
    } catch (const TileError& damage) {
        throw PackError(path.string() + ": " + damage.what());
    } catch (const std::ios_base::failure&) {
        throw PackError(path.string() + ": cannot read");
    }
}

}  // namespace tess
