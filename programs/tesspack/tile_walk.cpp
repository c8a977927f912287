#include "tile_walk.hpp"

#include <vector>

#include "files/file_stream.hpp"
#include "files/safe_open.hpp"
#include "pack_error.hpp"

namespace tess {

void walk_tile_file(const std::filesystem::path& path, const TileVisitor& visit)
{
    std::error_code error;
    files::Descriptor fd = files::open_input(path.string(), error);
    if (error) throw PackError(path.string() + ": cannot read: " + error.message());
    files::FileStream in(std::move(fd));
    TileReader reader(*in.rdbuf());
    try {
        const TileHeader header = reader.header();
        visit.header(header);
        std::vector<std::uint8_t> data;
        for (int s = 0; s < header.scenes; ++s) {
            const SceneRecord scene = reader.scene();
            visit.scene(s, scene);
            for (int k = 0; k < scene.frames * header.views; ++k) {
                const ImageRecord record = reader.image();
                reader.data(record, data);
                visit.image({s, scene, image_place(k, scene.frames), record.height, data, reader.location()});
            }
        }
    } catch (const TileError& damage) {
        throw PackError(path.string() + ": " + damage.what());
    } catch (const std::ios_base::failure&) {
        throw PackError(path.string() + ": cannot read");
    }
}

}  // namespace tess
