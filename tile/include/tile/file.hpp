#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <streambuf>
#include <string_view>
#include <vector>

#include "tile/error.hpp"
#include "tile/format.hpp"

namespace tess {

// Reads a whole tile file front to back: the header, each scene's record and
// its views x frames images with their place, then reports what follows the
// last scene. Every TileError it raises says where; running out of bytes is
// damage (EndsInside, naming the part).
class TileFileReader {
public:
    // Bytes in memory; data() is a view into them, nothing copied.
    explicit TileFileReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    // Any stream, read once and never sought.
    explicit TileFileReader(std::streambuf& in) : in_(&in) {}
    // A stream put at the record of scene `scene`, `offset` bytes into the
    // file, of the header given: where an earlier reading found them. It
    // goes on from that scene as a reader from the file's start would.
    TileFileReader(std::streambuf& in, const TileHeader& header, int scene, std::uint64_t offset)
        : in_(&in), position_(offset), part_offset_(offset), header_read_(true), header_(header)
    {
        location_.scene = scene - 1;
    }

    // Reads and checks the magic on the first call.
    const TileHeader& header();

    enum class Part { Scene, Image, End };
    // The next scene record or image record (the image's data not yet read),
    // or End after the last scene's last image, and End again after that.
    Part next();

    const SceneRecord& scene() const { return scene_; }
    int scene_number() const { return location_.scene; }
    // The current image's record and where it sits in its scene.
    const ImageRecord& image() const { return image_; }
    ImagePlace place() const { return {location_.view, location_.frame}; }
    // The current image's data, read on the first call; next() skips data
    // that nobody asked for.
    std::span<const std::uint8_t> data();

    const TileLocation& location() const { return location_; }
    // Where in the file the current part starts, in bytes.
    std::uint64_t offset() const { return part_offset_; }
    // After End: how many bytes follow the last scene. A stream is read to
    // its end to count them.
    std::uint64_t trailing_bytes();

private:
    std::uint8_t byte(TilePart part);
    // `count` bytes of the current image's data: a view into memory, or read
    // into buffer_ from a stream.
    std::span<const std::uint8_t> take(std::size_t count);
    [[noreturn]] void fail(TileFault fault, TilePart part) const;

    std::span<const std::uint8_t> bytes_;
    std::streambuf* in_ = nullptr;
    std::uint64_t position_ = 0;
    std::uint64_t part_offset_ = 0;

    bool header_read_ = false;
    TileHeader header_{};
    SceneRecord scene_;
    ImageRecord image_{};
    int images_left_ = 0;  // in the current scene, after the current image
    int image_number_ = 0;
    bool data_pending_ = false;  // the current image's data is still ahead
    std::span<const std::uint8_t> data_;
    std::vector<std::uint8_t> buffer_;
    TileLocation location_;
};

// Writes a tile file into `out`, checking every count instead of casting it:
// revision, views, scenes, frames and heights in 0..MaxCount, views x frames
// images a scene, data of at most MaxDataLength bytes, scene names as
// check_scene_name says. Every mistake raises TileError at its place, naming
// the numbers. The header goes out at once, each record as it is given; `out`
// may be emptied between calls (to stream the file) while no image is begun.
class TileFileWriter {
public:
    TileFileWriter(std::vector<std::uint8_t>& out, int revision, int views, int scenes);

    void scene(int frames, std::string_view name);
    void image(int height, std::span<const std::uint8_t> data);
    // For data made as it goes: the record goes out with a length of 00 00,
    // the caller appends the data to out(), and end_image() fills the length
    // in. Until then `out` holds the record as far as it got.
    void begin_image(int height);
    void end_image();
    // Raises when scenes or images are missing.
    void finish();

    std::vector<std::uint8_t>& out() { return out_; }

private:
    // Checks that another image may follow and moves the location to it.
    void start_image(int height);
    void check_image_not_begun() const;
    // Checks that the scene written last has all its images.
    void check_scene_complete() const;
    [[noreturn]] void fail(TileFault fault, TilePart part, std::string description) const;
    // The current scene, without an image.
    TileLocation scene_location() const { return {location_.scene, location_.scene_name, -1, -1}; }

    std::vector<std::uint8_t>& out_;
    int views_;
    int scenes_;
    int scenes_written_ = 0;
    int frames_ = 0;
    int images_written_ = 0;  // in the current scene
    std::optional<std::size_t> begun_at_;  // the begun image's record, in out_
    TileLocation location_;
};

}  // namespace tess
