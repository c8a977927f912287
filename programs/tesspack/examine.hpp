#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace tess {

// What a tile file holds, a line a scene and a line an image, or as JSON for
// scripts: revision, views, and each scene's name, frames and images (view,
// frame, height, data length). Names that are not UTF-8 are given as bytes.
void list_tile_file(const std::filesystem::path& tile, bool json, std::ostream& out);

// Unpacks a tile file in memory, each image through the file format `unpack`
// writes, builds it again and compares: "byte-identical", or
// "pixel-identical" with the first image whose bytes differ and why; true
// for both. False, naming the first image that differs, otherwise.
bool verify_tile_file(const std::filesystem::path& tile, std::ostream& out);

// Every scene as a sheet (a row a view, a column a frame), stacked top to
// bottom, in RGBA with a transparent background, each pixel `scale` times.
std::vector<std::uint8_t> preview_png(const std::filesystem::path& tile, int scale);

}  // namespace tess
