#pragma once

#include <stdexcept>
#include <string>

namespace tess {

// What went wrong with a tile file, on reading or on writing.
enum class TileFault {
    NotATileFile,      // the magic differs
    EndsInside,        // the file ends inside a part
    SceneNameTooLong,  // over MaxSceneNameLength characters
    SceneNameHasZero,  // a zero byte would end the name early
    RunPastData,       // a run's operands reach past the image's data
    RowTooWide,        // a row of more than TileWidth pixels
    WrongRowCount,     // a different number of rows than the height says
    DataTooLong,       // more than the 16-bit length field can hold
    // Only on writing:
    CountOutOfRange,    // a revision, count or height outside 0..MaxCount
    WrongSceneCount,    // more or fewer scenes than the header says
    WrongImageCount,    // more or fewer images than views x frames
    ImageNotEnded,      // begin_image and end_image out of step
};

// The part of the file a fault lies in.
enum class TilePart { Header, SceneRecord, ImageRecord, ImageData };

// "the header", "a scene record", "an image record", "an image's data".
const char* part_name(TilePart part);

// Where in the file: the scene (counted from 0) and, inside an image, its
// view and frame. -1 where the fault lies outside a scene or an image.
struct TileLocation {
    int scene = -1;
    std::string scene_name;
    int view = -1;
    int frame = -1;
};

class TileError : public std::runtime_error {
public:
    TileError(TileFault fault, TilePart part, TileLocation location);
    // With a description of its own, naming the numbers at fault.
    TileError(TileFault fault, TilePart part, TileLocation location, std::string description);

    TileFault fault() const { return fault_; }
    // What happened, without where: what() adds the scene, view and frame.
    const std::string& description() const { return description_; }
    TilePart part() const { return part_; }
    const TileLocation& location() const { return location_; }

private:
    TileFault fault_;
    std::string description_;
    TilePart part_;
    TileLocation location_;
};

}  // namespace tess
