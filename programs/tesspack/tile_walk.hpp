#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>

#include "tile/error.hpp"
#include "tile/format.hpp"

namespace tess {

// One image as the walk meets it.
struct WalkedImage {
    int scene;
    const SceneRecord& record;
    ImagePlace place;
    std::uint8_t height;
    std::span<const std::uint8_t> data;
    const TileLocation& where;
};

struct TileVisitor {
    std::function<void(const TileHeader&)> header = [](const TileHeader&) {};
    std::function<void(int number, const SceneRecord&)> scene = [](int, const SceneRecord&) {};
    std::function<void(const WalkedImage&)> image = [](const WalkedImage&) {};
};

// Reads a tile file front to back, one image in memory at a time, and shows
// each part to `visit`. Damage, and any TileError the visitor raises, becomes
// a PackError naming the file and the scene, view and frame.
void walk_tile_file(const std::filesystem::path& path, const TileVisitor& visit);

}  // namespace tess
