#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pack/colour_options.hpp"
#include "pack/layout.hpp"
#include "palette/metric.hpp"

namespace tess {

// One [[scene]] of a manifest: its images in the file's own order (all
// frames of view 0, then view 1, ...), or one sheet of views x frames.
struct ManifestScene {
    std::string name;
    int frames = 0;
    std::vector<std::string> images;  // as written, relative to the manifest's folder
    std::string sheet;                // empty when the scene lists images
    ColourOptions colour;             // the manifest's, with the scene's own keys over it
    std::optional<SheetGrid> grid;    // the sheet cut as a grid of any cell size
    std::optional<AtlasChoice> atlas;  // instead of images or a sheet
    bool frames_stated = true;        // false: an atlas or expanded patterns give the number
    Placement placement;
    // `frames_from = "gif"`: `images` holds one animated GIF a view, whose
    // frames are the view's; `frames` is -1 when the GIFs are to say.
    bool frames_from_gif = false;
};

// What a manifest asks for. `file` names the manifest in messages; paths are
// as written in it, relative to its folder.
struct Manifest {
    std::string file;
    std::string output;
    int revision = 2;
    int views = 1;
    bool views_stated = true;  // false: a sheet's cell height is guessed from it
    Metric metric = Metric::L2;
    bool strict = false;
    ColourOptions colour;
    std::vector<ManifestScene> scenes;
};

// Reads and checks a manifest's text; a fault raises PackError at the file,
// line and column, naming the value. Without `output` the tile file is the
// manifest's own name with .til.
Manifest parse_manifest(std::string_view text, std::string_view file);

// The manifest's text, as `unpack` writes it: one image path per image, or
// one sheet per scene. Names and paths that are not UTF-8, which a TOML
// string cannot hold, are written as arrays of bytes.
std::string manifest_text(const Manifest& manifest);

}  // namespace tess
