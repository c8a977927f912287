#pragma once

#include <toml++/toml.h>

#include <string>

#include "keys.hpp"
#include "pack/manifest.hpp"

namespace tess {

// Refuses `given` items at `node` where `wanted` were: "3 heights given,
// one an image: views x frames is 4".
void check_count(const KeyReader& keys, const toml::node* node, std::string_view what, std::size_t given, std::size_t wanted,
                 const std::string& because);

// Counts or checks the scene's frames from a list of `count` items at `node`.
void count_frames(const KeyReader& keys, const toml::node* node, std::size_t count, int views, std::string_view what, ManifestScene& out);

// The top-level `trim`, `anchor`, `crop`, `scale` and `scale_filter`, every
// scene's defaults.
Placement read_placement_defaults(const KeyReader& keys, const toml::table& root, Faults& faults);

// A scene's placement keys over `out.placement`, each checked for type and
// range at its line and column.
void read_placement(const KeyReader& keys, const toml::table& scene, int views, ManifestScene& out);

// A `sheet` table: a grid cut from one picture. For a scene of GIF frames
// the grid gives one cell a view (`rows` or `cells`), the same in every
// frame; otherwise one a view and frame, counting `out.frames` where it is
// not stated.
SheetGrid read_grid(const KeyReader& keys, const toml::table& table, int views, ManifestScene& out);

// A scene's `atlas` and the keys that pick its frames and layers, counting
// `out.frames` from frame names or indices where it is not stated.
AtlasChoice read_atlas(const KeyReader& keys, const toml::table& scene, int views, ManifestScene& out);

// The placement and a grid's or an atlas's keys as a manifest writes them, a
// line each.
std::string grid_text(const std::string& file, const SheetGrid& grid);
std::string atlas_text(const AtlasChoice& atlas);
std::string placement_text(const Placement& placement, const Placement& base);

}  // namespace tess
