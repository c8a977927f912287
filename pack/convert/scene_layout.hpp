#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "pack/atlas.hpp"
#include "pack/build.hpp"
#include "pack/manifest.hpp"
#include "pack/colours.hpp"
#include "picture_cache.hpp"

namespace tess {

// Gives the parsed atlas JSON at a path, held as long as the loader.
using AtlasLoader = std::function<const Atlas&(const std::string&)>;

// What a picture gives an image: itself whole (its size known once read), a
// cell of a grid, a frame of an atlas, a frame of a GIF.
enum class PictureCut { Whole, Cell, AtlasFrame, GifFrame };

// Refuses a drawing of `width` x `height` pixels that no image can hold,
// saying how to cut it by where it comes from and whether the scene's
// pictures were trimmed already.
void check_fits(int width, int height, PictureCut cut, bool trimmed);

// The paths `entries` name, each pattern (`*`, `?`, `[...]` in the last part)
// expanded to the files it matches in natural order. Raises PackError at
// the entry that matches nothing.
std::vector<std::string> expanded_paths(const std::vector<std::string>& entries, PictureSource& source);

// The opaque pixels' box of a stored rectangle of a picture, kept for the
// whole build: a cell named many times, in one scene or many, is scanned
// once.
class DrawnBoxes {
public:
    struct Box {
        int x = 0, y = 0, w = 0, h = 0;  // w == 0: nothing drawn
    };
    // Below `alpha_threshold` (or at alpha 0) a pixel is not drawn.
    Box of(const PictureCache::Key& picture_key, const Picture& picture, int x, int y, int w, int h, int alpha_threshold);

private:
    std::map<std::tuple<PictureCache::Key, int, int, int, int, int>, Box> boxes_;
};

// Where each image of a scene comes from and how it is placed: pictures
// given by path or pattern, cells of a grid, frames of an atlas; trimmed,
// anchored, mirrored. Pictures are loaded through the cache as each image
// needs them, so a scene holds no more than the cache keeps. Faults raise
// PackError at the view, frame and picture; the caller adds the scene.
class SceneLayout {
public:
    SceneLayout(const ManifestScene& scene, int views, bool views_stated, PictureCache& pictures,
                const AtlasLoader& atlases, DrawnBoxes& boxes);

    int frames() const { return frames_; }
    std::size_t size() const { return drawings_.size(); }
    const std::string& path(std::size_t k) const { return drawings_[k].path; }
    const std::vector<std::string>& notes() const { return notes_; }

    // Image k: the window of a picture that it shows, the picture held for
    // as long as the result, and, where that picture is a copy, where its
    // pixels lie in the picture as drawn.
    struct Placed {
        std::shared_ptr<const Picture> picture;
        PictureWindow window;
        std::optional<PixelOrigin> origin;
    };
    Placed placed(std::size_t k);

private:
    struct Drawing {
        std::string path;
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
    using Box = DrawnBoxes::Box;

    void from_images(const ManifestScene& scene, int views);
    void from_sheet(const ManifestScene& scene, int views, bool views_stated);
    void from_atlas(const ManifestScene& scene, int views, const AtlasLoader& atlases);
    // The drawing's picture, its size filled in and its cut checked against it.
    std::shared_ptr<const Picture> load(Drawing& drawing);
    void trim(DrawnBoxes& boxes, int alpha_threshold);
    static bool stored_at(const Drawing& drawing, int cx, int cy, int& sx, int& sy);
    Box box_of(const Drawing& drawing) const;
    int left_of(const Box& box) const;
    // The image's pixels copied out, turned and mirrored as the drawing is,
    // with only the colours they use.
    Placed copied(const Drawing& drawing, std::shared_ptr<const Picture> picture, const Box& box, int left);

    PictureCache& pictures_;
    Placement placement_;
    int frames_ = 0;
    std::vector<Drawing> drawings_;
    std::vector<std::string> notes_;
    std::string picture_note_;  // said of a picture that cannot be loaded
    std::optional<Box> union_;   // what every image shows, when trimmed
    std::vector<std::uint32_t> remap_;  // picture colour to copied colour, 0 where unused
};

}  // namespace tess
