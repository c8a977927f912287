#pragma once

#include <ostream>
#include <streambuf>
#include <string_view>

namespace tess {

// What a tile file holds, a line a scene and a line an image, or as JSON for
// scripts: revision, views, each scene's name, frames and images (view,
// frame, height, data length), and the bytes that follow the last scene.
// Names that are not UTF-8 are given as bytes. Written as the file is read,
// so memory stays flat whatever its size; `name` heads the text form.
void list_tile_file(std::streambuf& tile, std::string_view name, bool json, std::ostream& out);

}  // namespace tess
