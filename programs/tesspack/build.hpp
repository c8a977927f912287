#pragma once

#include <cstddef>
#include <filesystem>
#include <ostream>

#include "manifest.hpp"

namespace tess {

struct BuildCounts {
    int scenes = 0;
    int images = 0;
};

// Writes the tile file a manifest describes to `out`, scene by scene, one
// image in memory at a time. A fault raises PackError naming the scene, view
// and frame and the file that holds the image.
BuildCounts build_tile_file(const Manifest& manifest, std::ostream& out);

// Refuses an output that is the manifest or one of its pictures, which the
// finished file would replace.
void check_output_is_no_input(const Manifest& manifest, const std::filesystem::path& output);

}  // namespace tess
