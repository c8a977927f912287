#pragma once

#include <cstdint>
#include <span>
#include <streambuf>
#include <string_view>
#include <vector>

#include "tile/error.hpp"
#include "tile/format.hpp"

namespace tess {

// Reads a tile file front to back, record by record, from any stream (no
// seeking). It keeps track of the scene and image it is in, so every
// TileError it raises says where; running out of bytes is damage.
class TileReader {
public:
    explicit TileReader(std::streambuf& in) : in_(in) {}

    // The magic, then the header's fields.
    TileHeader header();
    // The next scene's record; the images read after it belong to it.
    SceneRecord scene();
    // The next image's record, then its data (replacing what `data` held).
    ImageRecord image();
    void data(const ImageRecord& record, std::vector<std::uint8_t>& data);

    const TileLocation& location() const { return location_; }

private:
    std::uint8_t byte(TilePart part);
    [[noreturn]] void fail(TileFault fault, TilePart part) const;

    std::streambuf& in_;
    int views_ = 0;
    int frames_ = 0;
    int image_number_ = 0;
    TileLocation location_;
};

// The same limits on writing as on reading: a name of at most
// MaxSceneNameLength characters without a zero byte, data that fits the
// 16-bit length. `where` goes into the error.
void check_scene_name(std::string_view name, const TileLocation& where = {});
void check_data_length(std::size_t length, const TileLocation& where = {});

// Each appends one record to `out`.
void write_header(std::vector<std::uint8_t>& out, const TileHeader& header);
void write_scene_record(std::vector<std::uint8_t>& out, const SceneRecord& scene);
void write_image_record(std::vector<std::uint8_t>& out, std::uint8_t height, std::span<const std::uint8_t> data);

}  // namespace tess
