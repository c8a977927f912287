#pragma once

#include <toml++/toml.h>

#include <set>
#include <string>
#include <string_view>

#include "keys.hpp"
#include "pack/colour_options.hpp"

namespace tess {

// The manifest keys that set ColourOptions, at the top and in a scene.
inline const std::set<std::string_view> ColourKeys{"dither", "alpha_threshold", "matte", "transparent", "transparent_index"};

// Reads those keys of `table` over `options` (a scene starts from the
// manifest's); each bad value is a fault at its line and column.
void read_colour_keys(const KeyReader& keys, const toml::table& table, ColourOptions& options, Faults& faults);

// The keys where they differ from `base`, as TOML lines.
std::string colour_keys_text(const ColourOptions& options, const ColourOptions& base);

}  // namespace tess
