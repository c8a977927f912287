#pragma once

#include <toml++/toml.h>

#include <set>
#include <string>
#include <string_view>

#include "pack/colour_options.hpp"

namespace tess {

// The manifest keys that set ColourOptions, at the top and in a scene.
inline const std::set<std::string_view> ColourKeys{"dither", "alpha_threshold", "matte"};

// Reads those keys of `table` over `options` (a scene starts from the
// manifest's); a bad value raises PackError at its line and column in `file`.
void read_colour_keys(const toml::table& table, ColourOptions& options, const std::string& file, const std::string& in);

// The keys where they differ from `base`, as TOML lines.
std::string colour_keys_text(const ColourOptions& options, const ColourOptions& base);

}  // namespace tess
