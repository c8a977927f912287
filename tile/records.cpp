// The checks on a scene's name and an image's data length.
#include "tile/records.hpp"

#include "tile/format.hpp"

namespace tess {

void check_scene_name(std::string_view name, const TileLocation& where)
{
    if (name.size() > MaxSceneNameLength) throw TileError(TileFault::SceneNameTooLong, TilePart::SceneRecord, where);
    if (name.find('\0') != std::string_view::npos) {
        throw TileError(TileFault::SceneNameHasZero, TilePart::SceneRecord, where);
    }
}

void check_data_length(std::size_t length, const TileLocation& where)
{
    if (length > MaxDataLength) throw TileError(TileFault::DataTooLong, TilePart::ImageRecord, where);
}

}  // namespace tess
