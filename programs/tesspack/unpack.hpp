#pragma once

#include <filesystem>
#include <ostream>

#include "image_files.hpp"

namespace tess {

struct UnpackOptions {
    std::filesystem::path folder;  // created if missing
    ImageFormat format = ImageFormat::Png;
    bool sheets = false;  // one sheet a scene instead of one file an image
};

struct UnpackCounts {
    int scenes = 0;
    int images = 0;
    int files = 0;
};

// Writes every image of a valid tile file into the folder, and a manifest
// (the tile file's name with .toml) that builds the same file again. The
// whole file is checked first, so a damaged one writes nothing. What could
// not be written as asked (an image that cannot be an indexed PNG, a scene
// that cannot be one sheet) is said on `notes`.
UnpackCounts unpack_tile_file(const std::filesystem::path& tile, const UnpackOptions& options, std::ostream& notes);

}  // namespace tess
