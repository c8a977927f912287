#pragma once

#include <toml++/toml.h>

#include <string>

#include "pack/manifest.hpp"

namespace tess {

// The top-level `trim` and `anchor`, every scene's defaults.
Placement read_placement_defaults(const toml::table& root, const std::string& file);

// A scene's `sheet` table, `atlas`, `tags`, `frame_names`, `trim`, `anchor`
// and `mirrored`, each checked for type and range at its line and column.
// `out.frames` is read already; `in` ends every message.
void read_layout_keys(const toml::table& scene, const std::string& file, const std::string& in, int views,
                      const Placement& defaults, ManifestScene& out);

// Those keys as a manifest writes them, a line each; nothing for a scene of
// plain images or a plain sheet.
std::string layout_text(const ManifestScene& scene);

}  // namespace tess
