#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace tess {

// What a tile file holds, a line a scene and a line an image, or as JSON for
// scripts: revision, views, each scene's name, frames and images (view,
// frame, height, data length), and the bytes that follow the last scene.
// Names that are not UTF-8 are given as bytes. Written as the file is read,
// so memory stays flat whatever its size; `name` heads the text form.
void list_tile_file(std::streambuf& tile, std::string_view name, bool json, std::ostream& out);

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

// Every scene as a sheet (a row a view, a column a frame, cells as high as
// its tallest image), stacked top to bottom, in RGBA with a transparent
// background, each pixel `scale` times.
std::vector<std::uint8_t> preview_png(std::span<const std::uint8_t> tile, int scale);

}  // namespace tess
