#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ase/ase_error.hpp"

namespace tess {

// The largest file a caller takes; each size is checked against these before
// the memory it would size is set aside.
struct AseLimits {
    std::uint32_t max_width;  // of the canvas
    std::uint32_t max_height;
    std::uint64_t max_pixels;
    std::uint32_t max_frames;
    std::uint32_t max_cel_width;  // of a cel's image, a tilemap (in tiles) or a tile
    std::uint32_t max_cel_height;
    std::uint64_t max_cel_pixels;
    std::uint64_t max_inflated_bytes;  // every cel, tilemap and tileset decoded, together
};

// Bits a pixel, as the header gives them.
enum class AseColourDepth : std::uint16_t { Indexed = 8, Grayscale = 16, Rgba = 32 };

inline constexpr std::size_t bytes_per_pixel(AseColourDepth depth) { return static_cast<std::size_t>(depth) / 8; }

enum class AseLayerType : std::uint16_t { Image = 0, Group = 1, Tilemap = 2 };

enum class AseBlendMode : std::uint16_t {
    Normal, Multiply, Screen, Overlay, Darken, Lighten, ColorDodge, ColorBurn, HardLight, SoftLight,
    Difference, Exclusion, Hue, Saturation, Color, Luminosity, Addition, Subtract, Divide,
};

namespace ase_layer_flags {
inline constexpr std::uint16_t Visible = 1;
inline constexpr std::uint16_t Background = 8;
inline constexpr std::uint16_t Reference = 64;
}  // namespace ase_layer_flags

namespace ase_header_flags {
inline constexpr std::uint32_t LayerOpacityValid = 1;
inline constexpr std::uint32_t GroupBlendValid = 2;  // groups are composed on their own, then blended
}  // namespace ase_header_flags

struct AseLayer {
    std::string name;
    std::uint16_t flags = 0;  // ase_layer_flags, and others kept as read
    AseLayerType type = AseLayerType::Image;
    std::uint16_t child_level = 0;
    std::optional<std::size_t> parent;  // the group it is in, by index
    AseBlendMode blend_mode = AseBlendMode::Normal;
    std::uint8_t opacity = 255;
    std::uint32_t tileset_id = 0;  // a tilemap layer's

    bool visible() const { return (flags & ase_layer_flags::Visible) != 0; }
    bool background() const { return (flags & ase_layer_flags::Background) != 0; }
    bool reference() const { return (flags & ase_layer_flags::Reference) != 0; }
};

// A cel's pixels in the file's depth (RGBA, value and alpha, or an index),
// row by row.
struct AseImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> pixels;
};

// A tilemap cel's tiles, row by row, each as stored (id and flip bits).
struct AseTilemap {
    std::uint32_t width = 0;  // in tiles
    std::uint32_t height = 0;
    std::uint16_t bits_per_tile = 32;  // as stored: 8, 16 or 32
    std::uint32_t id_mask = 0;
    std::uint32_t x_flip_mask = 0;
    std::uint32_t y_flip_mask = 0;
    std::uint32_t diagonal_flip_mask = 0;
    std::vector<std::uint32_t> tiles;

    // Where a tileset's tile 0 is not the empty tile, a tile of all ones is.
    std::uint32_t all_ones() const { return bits_per_tile == 32 ? 0xffffffffu : (1u << bits_per_tile) - 1; }
};

enum class AseCelType : std::uint16_t { Raw = 0, Linked = 1, CompressedImage = 2, CompressedTilemap = 3 };

// A linked cel shows the cel it links to, through any chain of links: its
// place, opacity and pixels are that cel's; only its z-index is its own.
struct AseCel {
    std::uint16_t layer = 0;
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::uint8_t opacity = 255;
    std::int16_t z_index = 0;
    AseCelType type = AseCelType::CompressedImage;
    std::uint16_t linked_frame = 0;  // as stored, for a linked cel
    std::uint32_t content = 0;       // into AseFile::images, or ::tilemaps for a tilemap layer's cel
};

struct AseFrame {
    std::uint16_t duration_ms = 0;  // the header's speed where the frame gives none
    std::vector<AseCel> cels;       // in the file's order
    std::uint32_t palette = 0;      // the AseFile::palettes entry in force
};

enum class AseDirection : std::uint8_t { Forward, Reverse, PingPong, PingPongReverse };

struct AseTag {
    std::string name;
    std::uint16_t from = 0;
    std::uint16_t to = 0;
    AseDirection direction = AseDirection::Forward;
    std::uint16_t repeat = 0;  // 0: not said
};

struct AseColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t alpha = 255;

    friend bool operator==(const AseColour&, const AseColour&) = default;
};

namespace ase_tileset_flags {
inline constexpr std::uint32_t InOtherFile = 1;
inline constexpr std::uint32_t InThisFile = 2;
inline constexpr std::uint32_t ZeroIsEmpty = 4;
}  // namespace ase_tileset_flags

struct AseTileset {
    std::uint32_t id = 0;
    std::uint32_t flags = 0;
    std::uint32_t tile_count = 0;
    std::uint16_t tile_width = 0;
    std::uint16_t tile_height = 0;
    std::string name;
    // tile_width x (tile_height x tile_count) in the file's depth; empty where
    // the tiles are only in another file.
    std::vector<std::uint8_t> pixels;

    bool tiles_in_file() const { return (flags & ase_tileset_flags::InThisFile) != 0; }
    bool zero_is_empty() const { return (flags & ase_tileset_flags::ZeroIsEmpty) != 0; }
};

// A whole file as it is stored. Colour profiles, user data, slices, external
// file lists, old masks and chunks of unknown types are read past.
struct AseFile {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    AseColourDepth depth = AseColourDepth::Rgba;
    std::uint32_t flags = 0;  // ase_header_flags
    std::uint8_t transparent_index = 0;  // an indexed file's, in every layer but the background
    std::uint16_t colour_count = 0;      // as the header gives it
    std::vector<AseLayer> layers;        // bottom to top, as stored
    std::vector<AseFrame> frames;        // at least one
    std::vector<AseTag> tags;
    // From chunk 0x2019, or the old palette chunks where the file has none.
    // The first is the first frame's; a frame that changes it starts another.
    std::vector<std::vector<AseColour>> palettes;
    std::vector<AseTileset> tilesets;
    std::vector<AseImage> images;  // each decoded once, shared by linked cels
    std::vector<AseTilemap> tilemaps;

    bool layer_opacity_valid() const { return (flags & ase_header_flags::LayerOpacityValid) != 0; }
    bool group_blend_valid() const { return (flags & ase_header_flags::GroupBlendValid) != 0; }
};

// True when `file` is long enough for a header and carries the file magic:
// enough to tell an Aseprite file from a PNG or a GIF, not that it is readable.
bool looks_like_ase(std::span<const std::uint8_t> file);

// Throws AseError for a damaged, truncated or inconsistent file, or one over
// `limits`; std::bad_alloc only if a file within `limits` finds no memory.
AseFile read_ase(std::span<const std::uint8_t> file, const AseLimits& limits);

}  // namespace tess
