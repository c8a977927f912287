#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "pack/atlas.hpp"
#include "pack/build.hpp"
#include "pack/manifest.hpp"
#include "pack/picture.hpp"

namespace tess {

// Gives the decoded picture at a path; the reference holds until the next
// call.
using PictureLoader = std::function<const Picture&(const std::string&)>;
// Gives the parsed atlas JSON at a path, held as long as the loader.
using AtlasLoader = std::function<const Atlas&(const std::string&)>;

// What a picture gives an image: itself whole (its size known once read), a
// cell of a grid, a frame of an atlas, a frame of a GIF.
enum class PictureCut { Whole, Cell, AtlasFrame, GifFrame };

// What to do about a picture too large for an image, by where it is cut
// from and whether the scene's pictures were trimmed already.
std::string how_to_cut_smaller(PictureCut cut, bool trimmed);

// Where each image of a scene comes from and how it is placed: pictures
// given by pattern, cells of a grid, frames of an atlas; trimmed, anchored,
// mirrored. Every picture is checked against what is cut from it before
// any image is made. Faults raise PackError at the view, frame and
// picture; the caller adds the scene.
class SceneLayout {
public:
    SceneLayout(const ManifestScene& scene, int views, bool views_stated, PictureSource& source,
                const PictureLoader& load, const AtlasLoader& atlases);

    int frames() const { return frames_; }
    std::size_t size() const { return drawings_.size(); }
    const std::string& path(std::size_t k) const { return drawings_[k].path; }
    const std::vector<std::string>& notes() const { return notes_; }

    // Image k as a picture of at most 64 x 255, placed as it will be, the
    // rest transparent (its colour 0).
    Picture placed(std::size_t k, const PictureLoader& load);
    // The pixel of image k's own picture that x, y of placed(k) shows.
    std::pair<int, int> source_point(std::size_t k, int x, int y) const;

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
    struct Box {
        int x = 0, y = 0, w = 0, h = 0;
    };

    void from_images(const ManifestScene& scene, int views, PictureSource& source);
    void from_sheet(const ManifestScene& scene, int views, bool views_stated, const PictureLoader& load);
    void from_atlas(const ManifestScene& scene, int views, const AtlasLoader& atlases);
    void check_and_trim(const PictureLoader& load);
    static bool stored_at(const Drawing& drawing, int cx, int cy, int& sx, int& sy);
    Box box_of(const Drawing& drawing) const;
    int left_of(const Box& box) const;

    Placement placement_;
    int frames_ = 0;
    std::vector<Drawing> drawings_;
    std::vector<std::string> notes_;
    std::string picture_note_;  // said of a picture that cannot be loaded
    bool have_union_ = false;
    Box union_;
    std::vector<std::uint32_t> remap_;  // picture colour to placed colour + 1, 0 where unused
};

}  // namespace tess
