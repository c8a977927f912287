#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tess {

// One frame of an atlas: the drawn picture is `w` x `h`, stored at x, y of
// the atlas picture (turned 90 degrees clockwise, so `h` x `w` there, when
// `rotated`), and was cut from a canvas of `canvas_w` x `canvas_h` at
// `offset_x`, `offset_y` (the transparent border a packer trimmed).
struct AtlasFrame {
    std::string name;
    int x = 0, y = 0, w = 0, h = 0;
    bool rotated = false;
    int offset_x = 0, offset_y = 0;
    int canvas_w = 0, canvas_h = 0;
};

enum class TagDirection { Forward, Reverse, PingPong, PingPongReverse };

struct AtlasTag {
    std::string name;
    int from = 0, to = 0;
    TagDirection direction = TagDirection::Forward;
};

// An Aseprite or TexturePacker JSON export: frames as an array or as an
// object keyed by name, in file order; meta.image, the picture's path as
// written; meta.frameTags.
struct Atlas {
    std::string image;
    std::vector<AtlasFrame> frames;
    std::vector<AtlasTag> tags;
};

// Largest atlas text read: a frame takes some 200 bytes, so this is far
// more frames than a tile file holds.
inline constexpr std::size_t MaxAtlasBytes = std::size_t{16} << 20;

// Reads and checks an atlas; anything malformed, cut short, out of range or
// naming a frame that is not there raises PackError at `file` (with line
// and column where the JSON itself is broken).
Atlas parse_atlas(std::span<const std::uint8_t> json, const std::string& file);

// The frames a tag plays, in its direction: pingpong plays 0 1 2 3 2 1,
// each end once.
std::vector<int> tag_frames(const AtlasTag& tag);

}  // namespace tess
