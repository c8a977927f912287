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

// An atlas: an Aseprite or TexturePacker JSON export, or an .aseprite file.
// One view a frame tag, or the frames named, or the frames by their place in
// the atlas's list (a list a view), or all frames in order as one view. A
// JSON atlas's picture is the one its meta.image names beside it, or `image`
// where that is given; an .aseprite file's frames are composed of `layers`
// only, or of its visible layers but `ignore_layers`.
struct AtlasChoice {
    std::string file;
    std::string image;
    std::vector<std::string> tags;
    std::vector<std::string> frame_names;
    std::vector<std::vector<int>> frame_indices;
    std::vector<std::string> layers;
    std::vector<std::string> ignore_layers;
    friend bool operator==(const AtlasChoice&, const AtlasChoice&) = default;
};

enum class Anchor { Left, Center, Right };

// Whether the transparent border around what is drawn is dropped: not at
// all, around each scene's drawings together, or around every trimmed
// scene's together, so that one character's scenes share one box.
enum class Trim { None, Scene, Together };

// How a picture is made smaller: each target pixel the average of the area
// it covers, colours weighted by alpha; or the nearest pixel, for pixel art
// drawn at 2x or 3x.
enum class ScaleFilter { Area, Nearest };

// A window of every picture: x, y, width, height.
struct Crop {
    int x = 0, y = 0, w = 0, h = 0;
    friend bool operator==(const Crop&, const Crop&) = default;
};

// How a scene's pictures become its 64-pixel-wide images: `crop` takes a
// window of each, `scale` makes it smaller, `trim` drops the transparent
// border, `anchor` places what is narrower, `mirrored` views are flipped
// left to right, and `heights` (one an image, where given) keeps that many
// rows of each.
struct Placement {
    Trim trim = Trim::None;
    Anchor anchor = Anchor::Left;
    std::vector<int> mirrored;
    std::optional<Crop> crop;
    double scale = 1;
    ScaleFilter scale_filter = ScaleFilter::Area;
    std::vector<int> heights;
    friend bool operator==(const Placement&, const Placement&) = default;
};

// "left", "center", "right"; nullopt for anything else.
std::optional<Anchor> parse_anchor(std::string_view text);
const char* anchor_name(Anchor anchor);
// "area", "nearest".
std::optional<ScaleFilter> parse_scale_filter(std::string_view text);
const char* scale_filter_name(ScaleFilter filter);

// "1 view", "2 views".
std::string views_text(int views);

// The frames a view of a scene whose list gives `count` pictures (images,
// cells, frame names) in `views` views: `stated` where the scene gives
// `frames`, which the count must then be views x frames of; otherwise
// counted, when the list divides into views of at most 255 frames. Raises
// PackError (a manifest's fault) naming the list as `what`.
int frames_of(std::size_t count, int views, std::optional<int> stated, std::string_view what);

// Where a scene's frames come from: its pictures, one at a time; or one
// animated GIF or one .aseprite file a view, whose frames are the view's.
enum class FramesFrom { Pictures, Gif, Aseprite };

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
    // With a GIF or .aseprite file a view, `images` holds them (or the
    // grid's sheet is a GIF); `frames` is -1 when the files are to say.
    FramesFrom frames_from = FramesFrom::Pictures;
};

// What a manifest asks for. `file` names the manifest in messages; paths are
// as written in it, relative to its folder.
struct Manifest {
    std::string file;
    std::string output;
    int revision = 2;
    int views = 1;
    Metric metric = Metric::L2;
    bool strict = false;
    ColourOptions colour;
    std::vector<ManifestScene> scenes;
};

// Reads and checks a manifest's text; a fault raises PackError at the file,
// line and column, naming the value, with every other fault found (up to a
// bound) after it. Without `output` the tile file is the manifest's own name
// with .til.
Manifest parse_manifest(std::string_view text, std::string_view file);

// The manifest's text, as `unpack` writes it: one image path per image, or
// one sheet per scene. Names and paths that are not UTF-8, which a TOML
// string cannot hold, are written as arrays of bytes.
std::string manifest_text(const Manifest& manifest);

}  // namespace tess
