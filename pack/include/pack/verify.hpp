#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tess {

// Whether unpacking a tile file and building it again gives its bytes.
struct Verdict {
    enum class Kind { ByteIdentical, PixelIdentical, Different };
    Kind kind;
    std::string detail;  // the first difference, for the last two
};

// Unpacks a tile file in memory, each image through the file format `unpack`
// writes, builds it again and compares the whole file. Pixel-identical where
// only the encoding of some image's data differs (another encoder wrote
// it); different where pixels differ or bytes follow the last scene.
Verdict verify_tile_file(std::span<const std::uint8_t> tile);

}  // namespace tess
