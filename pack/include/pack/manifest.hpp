#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pack/colour_options.hpp"
#include "palette/metric.hpp"

namespace tess {


// A grid cut from one picture: cells of `cell_width` x `cell_height` after
// `margin` pixels, `spacing` between cells. Each view takes a row and each
// frame a column (both default to 0, 1, ...), or `cells` gives every image's
// [column, row] in the file's order.
struct SheetGrid {
    int cell_width = 0;
    int cell_height = 0;
    int margin_x = 0;
    int margin_y = 0;
    int spacing_x = 0;
    int spacing_y = 0;
    std::vector<int> rows;
    std::vector<int> columns;
    std::vector<std::pair<int, int>> cells;
    friend bool operator==(const SheetGrid&, const SheetGrid&) = default;
};

// An Aseprite or TexturePacker JSON export: one view a frame tag, or the
// frames named, or all frames in file order as one view. Its picture is the
// one its meta.image names beside it, or `image` where that is given.
struct AtlasChoice {
    std::string file;
    std::string image;
    std::vector<std::string> tags;
    std::vector<std::string> frame_names;
    friend bool operator==(const AtlasChoice&, const AtlasChoice&) = default;
};

enum class Anchor { Left, Center, Right };

// How a scene's pictures sit in the 64-pixel-wide images: `trim` drops the
// transparent border around all of them together, `anchor` places what is
// narrower, `mirrored` views are flipped left to right.
struct Placement {
    bool trim = false;
    Anchor anchor = Anchor::Left;
    std::vector<int> mirrored;
    friend bool operator==(const Placement&, const Placement&) = default;
};

// "left", "center", "right"; nullopt for anything else.
std::optional<Anchor> parse_anchor(const std::string& text);
const char* anchor_name(Anchor anchor);

// How many frames `count` pictures make in each of `views` views, when
// they divide evenly into views of at most 255 frames; and what to say
// when they do not ("7 images do not make 2 views of at most 255 frames").
std::optional<int> frames_a_view(std::size_t count, int views);
std::string no_frames_a_view(std::size_t count, const std::string& what, int views);

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
