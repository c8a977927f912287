#pragma once

// The tile file (.til), byte for byte. No alignment, no padding; all counts are
// single unsigned bytes except the image data length, 16 bits little-endian.
//
//   TileHeader    magic "TIL", revision number, views V, scenes S
//   S times:
//     SceneRecord frames F, then the name and one zero byte
//     F x V times (all frames of view 0 first, then view 1, ...):
//       ImageRecord height H, data length N, then N bytes of data:
//                   H rows, each a sequence of runs ended by EndOfRow,
//                   then EndOfImage (a height-0 image has no data at all)

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tess {

inline constexpr std::array<std::uint8_t, 3> Magic = {0x54, 0x49, 0x4C};
inline constexpr std::uint8_t RevisionNumber = 2;

// Every decoded image is this wide; rows that encode fewer pixels are padded
// with transparent pixels.
inline constexpr int TileWidth = 64;

inline constexpr int MaxCount = 255;          // views, scenes, frames, height, run counts
inline constexpr int MaxDataLength = 0xffff;  // the 16-bit length field
inline constexpr std::size_t MaxSceneNameLength = 127;

enum class RowCode : std::uint8_t {
    LiteralRun = 0,      // count n, then n palette indices
    TransparentRun = 1,  // count n
    EndOfRow = 2,
    EndOfImage = 3,      // the last data byte; skipped like any unknown code
};

struct TileHeader {
    std::uint8_t revision_number;
    std::uint8_t views;
    std::uint8_t scenes;
};
inline constexpr std::size_t TileHeaderSize = Magic.size() + 3;

struct SceneRecord {
    std::uint8_t frames;
    std::string name;  // stored with one zero byte after it, holding none itself
};
inline constexpr std::size_t MaxSceneRecordSize = 1 + MaxSceneNameLength + 1;

struct ImageRecord {
    std::uint8_t height;
    std::uint16_t length;
};
inline constexpr std::size_t ImageRecordSize = 3;

constexpr std::uint8_t code_byte(RowCode code) { return static_cast<std::uint8_t>(code); }

// Where image number k of a scene sits: all frames of view 0 come first, then
// all frames of view 1, and so on.
struct ImagePlace {
    int view;
    int frame;
};
constexpr ImagePlace image_place(int image_number, int frames)
{
    return {image_number / frames, image_number % frames};
}

}  // namespace tess
