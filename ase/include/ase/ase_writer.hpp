#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "ase/ase_error.hpp"
#include "palette/palette.hpp"

namespace tess {

struct AseWriterFrame {
    std::uint32_t width = 0;  // of its cel at 0, 0; an empty size means no cel
    std::uint32_t height = 0;
    std::span<const std::uint8_t> indices;  // width x height, row by row
    std::uint16_t duration_ms = 100;        // 1 to 65535
};

struct AseWriterTag {
    std::string name;  // UTF-8
    std::uint16_t from = 0;
    std::uint16_t to = 0;  // played forward
};

struct AseIndexedSprite {
    std::uint32_t width = 0;  // the canvas, 1 to 65535 each way
    std::uint32_t height = 0;
    std::string layer_name = "image";
    std::span<const Rgb> palette;  // exactly 256 entries, all opaque
    std::uint8_t transparent_index = 0;
    std::vector<AseWriterFrame> frames;  // 1 to 65535
    std::vector<AseWriterTag> tags;
};

// An indexed Aseprite file of one layer, each frame one compressed cel, with
// the palette both as chunk 0x2019 and as the old 0x0004 for older readers.
// Throws AseError for what such a file cannot hold.
std::vector<std::uint8_t> write_indexed_ase(const AseIndexedSprite& sprite);

}  // namespace tess
