// TileError's messages: what is wrong and where in the tile file.
#include "tile/error.hpp"

#include "tile/format.hpp"

namespace tess {

namespace {

std::string describe(TileFault fault, TilePart part)
{
    switch (fault) {
    case TileFault::NotATileFile: return "not a tile file";
    case TileFault::EndsInside: return std::string("tile file ends inside ") + part_name(part);
    case TileFault::SceneNameTooLong:
        return "scene name longer than " + std::to_string(MaxSceneNameLength) + " characters";
    case TileFault::SceneNameHasZero: return "scene name holds a zero byte";
    case TileFault::RunPastData: return "image data ends inside a run";
    case TileFault::RowTooWide: return "a row is wider than " + std::to_string(TileWidth) + " pixels";
    case TileFault::WrongRowCount: return "the number of rows differs from the image's height";
    case TileFault::DataTooLong:
        return "image data longer than " + std::to_string(MaxDataLength) + " bytes";
    case TileFault::CountOutOfRange: return "a count outside 0 to " + std::to_string(MaxCount);
    case TileFault::WrongSceneCount: return "the number of scenes differs from the header's";
    case TileFault::WrongImageCount: return "the number of images differs from views x frames";
    case TileFault::ImageNotEnded: return "an image begun and not ended";
    }
    return "damaged tile file";
}

std::string located(std::string text, const TileLocation& where)
{
    if (where.scene < 0) return text;
    text += " (scene " + std::to_string(where.scene);
    if (!where.scene_name.empty()) text += " \"" + where.scene_name + "\"";
    if (where.view >= 0) text += ", view " + std::to_string(where.view) + ", frame " + std::to_string(where.frame);
    return text + ")";
}

}  // namespace

const char* part_name(TilePart part)
{
    switch (part) {
    case TilePart::Header: return "the header";
    case TilePart::SceneRecord: return "a scene record";
    case TilePart::ImageRecord: return "an image record";
    case TilePart::ImageData: return "an image's data";
    }
    return "the file";
}

TileError::TileError(TileFault fault, TilePart part, TileLocation location)
    : TileError(fault, part, std::move(location), describe(fault, part))
{
}

TileError::TileError(TileFault fault, TilePart part, TileLocation location, std::string description)
    : std::runtime_error(located(description, location)),
      fault_(fault),
      description_(std::move(description)),
      part_(part),
      location_(std::move(location))
{
}

}  // namespace tess
