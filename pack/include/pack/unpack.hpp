#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pack/image_files.hpp"
#include "tile/format.hpp"
#include "tile/image.hpp"

namespace tess {

struct UnpackOptions {
    ImageFormat format = ImageFormat::Png;
    bool sheets = false;       // one sheet a scene instead of one file an image
    std::string name = "pack";  // the manifest is NAME.toml and builds NAME.til
};

// Where unpack puts what it makes: files by name (no folders), and notes on
// what could not be written as asked.
class UnpackSink {
public:
    virtual ~UnpackSink() = default;
    virtual void write(const std::string& name, std::span<const std::uint8_t> bytes) = 0;
    virtual void note(const std::string& text) = 0;
};

// What the checking pass learns of each view of a scene, for deciding
// whether it can be one animated GIF.
struct UnpackView {
    bool same_height = true;
    int height = -1;
    PixelUse use;
};

// What the checking pass learns of a scene, for naming its files and for
// deciding whether it can be one sheet.
struct UnpackScene {
    std::string name;
    int frames = 0;
    std::string stem;  // of its file names
    bool same_height = true;
    int height = -1;
    PixelUse use;
    bool as_sheet = false;
    std::vector<UnpackView> views;  // with ImageFormat::Gif only
    bool as_gif = false;            // one GIF a view
    bool as_aseprite = false;       // one .aseprite file
};

// What unpacking a tile file will write, worked out from the whole file
// before anything is written: a damaged file raises PackError here.
struct UnpackPlan {
    UnpackOptions options;
    TileHeader header{};
    std::vector<UnpackScene> scenes;
    std::uint64_t images = 0;
    std::uint64_t files = 0;          // the manifest included
    std::uint64_t bytes_at_most = 0;  // all files together, a bound
    std::uint64_t trailing_bytes = 0;  // after the last scene: not kept
};

UnpackPlan plan_unpack(std::span<const std::uint8_t> tile, const UnpackOptions& options);

// Writes every image of the planned file into `sink`, then the manifest that
// builds the same file again. `tile` must be the bytes that were planned.
void unpack_tile_file(std::span<const std::uint8_t> tile, const UnpackPlan& plan, UnpackSink& sink);

// The names unpack_tile_file gives its files, in the order it writes them;
// found by making every file, so it takes as long as unpacking.
std::vector<std::string> unpacked_names(std::span<const std::uint8_t> tile, const UnpackPlan& plan);

}  // namespace tess
