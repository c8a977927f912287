#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "palette/metric.hpp"

namespace tess {

// One [[scene]] of a manifest: its images in the file's own order (all
// frames of view 0, then view 1, ...), or one sheet of views x frames.
struct ManifestScene {
    std::string name;
    int frames = 0;
    std::vector<std::filesystem::path> images;  // relative to the manifest's folder
    std::filesystem::path sheet;                // empty when the scene lists images
};

// What a manifest asks for. Paths are as written in it, relative to `folder`.
struct Manifest {
    std::filesystem::path path;
    std::filesystem::path folder;
    std::filesystem::path output;
    int revision = 2;
    int views = 1;
    Metric metric = Metric::L2;
    bool strict = false;
    std::vector<ManifestScene> scenes;
};

// Reads and checks a manifest; a fault raises PackError naming the file, the
// line and column, and the value.
Manifest read_manifest(const std::filesystem::path& path);
// The same for a manifest's text, read from `path`.
Manifest parse_manifest(std::string_view text, const std::filesystem::path& path);

// The manifest's text, as `unpack` writes it: one image path per image, or
// one sheet per scene, relative to the manifest's own folder.
std::string manifest_text(const Manifest& manifest);

}  // namespace tess
