#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "pack/unpack.hpp"

namespace tess {

// Whether unpacking a tile file and building it again gives its bytes.
struct Verdict {
    enum class Kind { ByteIdentical, PixelIdentical, Different };
    Kind kind;
    std::string detail;  // the first difference, for the last two
};

// Takes a tile file the road a user's round trip takes, in memory: unpacks
// it in the form `options` asks (by default a PNG an image), reads the
// manifest unpack wrote, builds that, and compares the two files.
// Byte-identical where they are the same; pixel-identical where only the
// encoding of some images' data differs (another encoder wrote them), the
// first such image said; different, with the first difference, where pixels
// or anything else differ, bytes follow the last scene or the unpacked files
// do not build. A damaged file raises PackError.
Verdict verify_tile_file(std::span<const std::uint8_t> tile, const UnpackOptions& options = {});

}  // namespace tess
