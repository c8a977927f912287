#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pack/manifest.hpp"
#include "pack/report.hpp"

namespace tess {

// Where a build gets the pictures a manifest names: the program reads them
// from disk, a test or another front end from anywhere.
class PictureSource {
public:
    virtual ~PictureSource() = default;
    // The whole file at `path`, as the manifest writes it. Raises PackError
    // when it cannot be had.
    virtual std::vector<std::uint8_t> read(const std::string& path) = 0;
    // The names in the folder `folder` ("" for the manifest's own), for
    // expanding patterns. Raises PackError when it cannot be listed.
    virtual std::vector<std::string> list(const std::string& folder);
    // Which file `path` is: the same for every name of one file ("a.png",
    // "./a.png", a link to it), so that it is decoded once. The path itself
    // unless the source can tell more.
    virtual std::string identify(const std::string& path);
};

// Larger than any tile file a person makes; a manifest that asks for more is
// more likely a mistake or an attack, and is refused unless allowed.
inline constexpr std::uint64_t DefaultMaxTileBytes = std::uint64_t{256} << 20;

struct BuiltTile {
    std::vector<std::uint8_t> bytes;
    int scenes = 0;
    int images = 0;
    std::vector<std::string> notes;  // what the build guessed, for the user
};

// The tile file a manifest describes. Each picture is read and decoded once
// however often and in whatever spelling the manifest names it, while the
// pictures kept for reuse fit in a bound. A fault raises PackError at the
// scene, view and frame and the picture's path; a file that would grow past
// `max_bytes` is refused with the numbers. With `report`, what the colours
// became is gathered there, scene by scene; the bytes are the same.
BuiltTile build_tile_file(const Manifest& manifest, PictureSource& pictures,
                          std::uint64_t max_bytes = DefaultMaxTileBytes, ColourReport* report = nullptr);

// Where a tile file goes as it is built.
class TileSink {
public:
    virtual ~TileSink() = default;
    virtual void write(std::span<const std::uint8_t> bytes) = 0;
};

// The same, handed to `out` a piece at a time as it is built, so memory stays
// flat however large the set; the result's `bytes` are left empty. What
// `out` was given before a fault is not a tile file.
BuiltTile build_tile_file(const Manifest& manifest, PictureSource& pictures, TileSink& out,
                          std::uint64_t max_bytes = DefaultMaxTileBytes, ColourReport* report = nullptr);

}  // namespace tess
