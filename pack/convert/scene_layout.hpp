#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "pack/atlas.hpp"
#include "pack/build.hpp"
#include "pack/colours.hpp"
#include "pack/manifest.hpp"
#include "picture_cache.hpp"

namespace tess {

// An atlas as a scene reads it: its frames and tags, and where each frame's
// pixels are: a JSON export's in one picture, an .aseprite file's each a
// frame of the file.
struct SceneAtlas {
    Atlas atlas;
    std::string image;  // a JSON atlas's picture, as the manifest reaches it
    bool frames_of_file = false;  // an .aseprite file: frame k is the file's frame k
};

// Gives the atlas at a path as the scene's layers choose it, held as long as
// the loader.
using AtlasLoader = std::function<const SceneAtlas&(const std::string& path, const AseLayerChoice& layers)>;

// What a picture gives an image: itself whole (its size known once read), a
// cell of a grid, a frame of an atlas, a frame of a GIF or .aseprite file.
enum class PictureCut { Whole, Cell, AtlasFrame, FileFrame };

// The paths `entries` name, each pattern (`*`, `?`, `[...]` in the last part)
// expanded to the files it matches in natural order. Raises PackError at
// the entry that matches nothing.
std::vector<std::string> expanded_paths(const std::vector<std::string>& entries, PictureSource& source);

// A box on a drawing's canvas; w == 0 where nothing is drawn.
struct Box {
    int x = 0, y = 0, w = 0, h = 0;
};

// The least box holding both.
Box united(const Box& a, const Box& b);

// Refuses a drawing of `box`'s size (where it lies on its canvas) that no
// image can hold, saying how to cut it by where it comes from and whether
// the scene's pictures were trimmed already, with numbers that would fit.
void check_fits(const Box& box, PictureCut cut, bool trimmed);

// The drawn pixels' box of a stored rectangle of a picture, kept for the
// whole build: a cell named many times, in one scene or many, is scanned
// once. What counts as drawn is what the scene's colour options keep.
class DrawnBoxes {
public:
    Box of(const PictureCache::Key& picture_key, const Picture& picture, const Box& stored, const ColourOptions& options);

private:
    std::map<std::string, Box> boxes_;
};

// Where a drawing comes from and how it lies on its canvas: a rectangle of
// a picture (stored turned clockwise where `rotated`), at an offset on a
// canvas of its own size (an atlas's trimmed frame), mirrored or not.
struct Drawing {
    std::string path;
    int source_frame = -1;  // the frame of an animated file, or -1
    int view = 0, frame = 0;
    PictureCut cut = PictureCut::Whole;
    std::int64_t x = 0, y = 0;
    int w = 0, h = 0;  // as drawn; stored h x w when rotated
    bool rotated = false;
    int offset_x = 0, offset_y = 0;
    int canvas_w = 0, canvas_h = 0;
    bool mirrored = false;
    std::string what;  // "cell [2, 1]", "frame \"walk 0\"", for messages
};

// An image's pixels: the window of a picture that it shows, the picture
// held for as long as the result, and, where that picture is a copy, where
// its pixels lie in the picture as drawn.
struct Placed {
    std::shared_ptr<const Picture> picture;
    PictureWindow window;
    std::optional<PixelOrigin> origin;
};

// A drawing as its scene places it: cropped, scaled, within `box` (on its
// canvas, once cropped and scaled), moved right as the anchor says.
// `picture` is the drawing's own.
// Where scaled canvases are kept, and the key of the picture a drawing is
// cut from; without a cache each is made afresh.
struct ScaledCanvases {
    PictureCache* pictures = nullptr;
    PictureCache::Key picture_key;
};

// Unless `trimmed` (checked for the whole scene), the box is checked to fit.
Placed placed_drawing(const Drawing& drawing, std::shared_ptr<const Picture> picture, const Placement& placement,
                      const ColourOptions& options, const std::optional<Box>& box, bool trimmed, const ScaledCanvases& canvases = {});

// Where each image of a scene comes from and how it is placed: pictures
// given by path or pattern, cells of a grid, frames of an atlas; cropped,
// scaled, trimmed, anchored, mirrored. Pictures are loaded through the
// cache as each image needs them, so a scene holds no more than the cache
// keeps. Faults raise PackError at the view, frame and picture; the caller
// adds the scene.
class SceneLayout {
public:
    SceneLayout(const ManifestScene& scene, int views, PictureCache& pictures, const AtlasLoader& atlases);

    int frames() const { return frames_; }
    std::size_t size() const { return drawings_.size(); }
    const std::string& path(std::size_t k) const { return drawings_[k].path; }
    const std::vector<std::string>& notes() const { return notes_; }

    // What the scene's drawings show, on their canvases once cropped and
    // scaled: the box trimming keeps, w == 0 where nothing is drawn.
    Box drawn_box(DrawnBoxes& boxes);
    // Trims every image to `box`: the scene's own drawn box, or the box of
    // all the scenes trimmed together.
    void trim_to(const Box& box);

    Placed placed(std::size_t k);

private:
    void from_images(const ManifestScene& scene, int views);
    void from_sheet(const ManifestScene& scene, int views);
    void from_atlas(const ManifestScene& scene, int views, const AtlasLoader& atlases);
    // The drawing's picture, its size filled in and its cut checked against it.
    PictureCache::KeyedPicture load(Drawing& drawing);

    PictureCache& pictures_;
    Placement placement_;
    ColourOptions colour_;
    std::string name_;
    bool index_noted_ = false;  // that transparent_index does not apply to a picture
    AseLayerChoice layers_;
    int frames_ = 0;
    std::vector<Drawing> drawings_;
    std::vector<std::string> notes_;
    std::string picture_note_;  // said of a picture that cannot be loaded
    std::optional<Box> trimmed_;  // what every image shows, when trimmed
};

}  // namespace tess
