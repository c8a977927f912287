#include "pack/build.hpp"

#include <algorithm>
#include <map>
#include <memory>

#include "pack/compare.hpp"
#include "pack/error.hpp"
#include "pack/picture.hpp"
#include "scene_layout.hpp"
#include "tile/file.hpp"
#include "tile/image.hpp"

namespace tess {

namespace {

// Decoded pictures kept for reuse, since a manifest may name one sheet or
// image for many scenes; each is let go after the last image that names it,
// so a build holds only what it will use again. Past this many pixels the
// kept ones are let go early.
constexpr std::uint64_t MaxKeptPixels = std::uint64_t{1} << 22;

class PictureCache {
public:
    PictureCache(PictureSource& source, const Manifest& manifest) : source_(source)
    {
        for (const ManifestScene& scene : manifest.scenes) {
            if (!scene.sheet.empty()) ++uses_left_[scene.sheet];
            for (const std::string& image : scene.images) ++uses_left_[image];
        }
    }

    // The picture for one use of it. One the manifest does not name (an
    // atlas's picture, named in its JSON) may be used again by any scene:
    // it is kept while there is room.
    std::shared_ptr<const Picture> get(const std::string& path)
    {
        const auto counted = uses_left_.find(path);
        const bool last_use = counted != uses_left_.end() && --counted->second <= 0;
        const auto found = kept_.find(path);
        if (found != kept_.end()) {
            std::shared_ptr<const Picture> picture = found->second;
            if (last_use) {
                kept_pixels_ -= picture->pixels.size();
                kept_.erase(found);
            }
            return picture;
        }
        auto picture = std::make_shared<const Picture>(read_picture(source_.read(path)));
        if (last_use) return picture;
        if (kept_pixels_ + picture->pixels.size() > MaxKeptPixels) {
            kept_.clear();
            kept_pixels_ = 0;
        }
        kept_pixels_ += picture->pixels.size();
        kept_.emplace(path, picture);
        return picture;
    }

    PictureSource& source() { return source_; }

private:
    PictureSource& source_;
    std::map<std::string, int> uses_left_;
    std::map<std::string, std::shared_ptr<const Picture>> kept_;
    std::uint64_t kept_pixels_ = 0;
};

// The bytes a sink is given at a time: few writes, little memory.
constexpr std::size_t SinkPiece = std::size_t{1} << 16;

class Builder {
public:
    Builder(const Manifest& manifest, PictureSource& source, std::uint64_t max_bytes, TileSink* sink, ColourReport* report)
        : manifest_(manifest), report_(report), source_(source), pictures_(source, manifest), rules_(manifest.metric, manifest.strict),
          max_bytes_(max_bytes), sink_(sink),
          writer_(built_.bytes, manifest.revision, manifest.views, static_cast<int>(manifest.scenes.size()))
    {
    }

    BuiltTile build()
    {
        check_least_size();
        for (const ManifestScene& scene : manifest_.scenes) {
            if (report_) report_->scenes.push_back({scene.name, {}});
            if (scene.frames_from_gif) {
                from_gif_views(scene);
                ++built_.scenes;
                continue;
            }
            if (laid_out(scene)) {
                from_layout(scene);
                ++built_.scenes;
                continue;
            }
            writer_.scene(scene.frames, scene.name);
            from_images(scene);
            ++built_.scenes;
        }
        writer_.finish();
        if (sink_) pass_on();
        return std::move(built_);
    }

private:
    // Three bytes an image at the least: a manifest that names too many is
    // refused before a single picture is read.
    void check_least_size() const
    {
        std::uint64_t least = TileHeaderSize;
        for (const ManifestScene& scene : manifest_.scenes) {
            least += 2 + scene.name.size() +
                     ImageRecordSize * static_cast<std::uint64_t>(std::max(scene.frames, 0)) * static_cast<std::uint64_t>(manifest_.views);
        }
        if (least > max_bytes_) refuse_size(least);
    }

    [[noreturn]] void refuse_size(std::uint64_t bytes) const
    {
        throw PackError("the tile file would be at least " + std::to_string(bytes) + " bytes, more than the " +
                            std::to_string(max_bytes_) + " allowed (--max-size raises it)",
                        in_file(manifest_.file));
    }

    PackLocation at(const ManifestScene& scene, int view, int frame, const std::string& path) const
    {
        PackLocation where;
        where.file = path;
        where.scene = built_.scenes;
        where.scene_name = scene.name;
        where.view = view;
        where.frame = frame;
        return where;
    }

    // Runs `action`, raising what goes wrong at the scene, view and frame of
    // the picture at `path`; a pixel's place inside the picture is kept.
    template <typename Action>
    void located(const ManifestScene& scene, const int& view, const int& frame, const std::string& path, Action action)
    {
        try {
            action();
        } catch (PackError& error) {
            PackLocation where = at(scene, view, frame, path);
            where.x = error.where().x;
            where.y = error.where().y;
            error.where() = where;
            throw;
        } catch (const TileError& error) {
            throw PackError(error.description(), at(scene, view, frame, path));
        }
    }

    // The picture's pixels in the palette as the scene's colour options say.
    Image converted(const ManifestScene& scene, const Picture& picture, int x0, int y0, int width, int height)
    {
        Image image = picture_image(picture, x0, y0, width, height, rules_, scene.colour,
                                    report_ ? &report_->scenes.back().tally : nullptr);
        if (report_ && report_->compare_pixels > 0) keep_compared(scene, picture, x0, y0, width, height, image);
        return image;
    }

    void keep_compared(const ManifestScene& scene, const Picture& picture, int x0, int y0, int width, int height, const Image& image)
    {
        compared_pixels_ += static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
        if (compared_pixels_ > report_->compare_pixels) {
            throw PackError("the comparison picture would be more than " + std::to_string(MaxPicturePixels) +
                            " pixels; compare fewer or smaller images, or at a smaller --scale");
        }
        report_->compared.push_back(compared_image(picture, x0, y0, width, height, scene.colour, image));
    }

    void put(const ManifestScene& scene, const Picture& picture, int x0, int y0, int width, int height)
    {
        const Image image = converted(scene, picture, x0, y0, width, height);
        writer_.image(image.height, encode_image(image));
        image_written();
    }

    std::uint64_t size() const { return passed_on_ + built_.bytes.size(); }

    void image_written()
    {
        ++built_.images;
        if (size() > max_bytes_) refuse_size(size());
        if (sink_ && built_.bytes.size() >= SinkPiece) pass_on();
    }

    // Between images the bytes so far are whole records: they can go.
    void pass_on()
    {
        sink_->write(built_.bytes);
        passed_on_ += built_.bytes.size();
        built_.bytes.clear();
    }

    static void check_image_size(const Picture& picture, PictureCut cut)
    {
        if (picture.width > TileWidth || picture.height > MaxCount) {
            throw PackError(std::to_string(picture.width) + " x " + std::to_string(picture.height) +
                            " pixels; an image is at most " + std::to_string(TileWidth) + " x " +
                            std::to_string(MaxCount) + ": " + how_to_cut_smaller(cut, false));
        }
    }

    // One animated GIF a view. The scene's frame count is only known once
    // every GIF is read, so the images wait encoded (no larger than the file
    // they go into) until all views agree on it.
    void from_gif_views(const ManifestScene& scene)
    {
        struct Encoded {
            int height;
            std::vector<std::uint8_t> data;
        };
        std::vector<std::vector<Encoded>> views(scene.images.size());
        std::uint64_t held = size();
        int view = -1, frame = -1;
        for (view = 0; view < static_cast<int>(views.size()); ++view) {
            const std::string& path = scene.images[static_cast<std::size_t>(view)];
            frame = -1;
            located(scene, view, frame, path, [&] {
                const std::vector<Picture> frames = read_picture_frames(pictures_.source().read(path));
                for (frame = 0; frame < static_cast<int>(frames.size()); ++frame) {
                    const Picture& picture = frames[static_cast<std::size_t>(frame)];
                    check_image_size(picture, PictureCut::GifFrame);
                    const Image image = converted(scene, picture, 0, 0, picture.width, picture.height);
                    Encoded encoded{image.height, encode_image(image)};
                    encoded.data.shrink_to_fit();  // held until every view is read
                    held += ImageRecordSize + encoded.data.size();
                    if (held > max_bytes_) refuse_size(held);
                    views[static_cast<std::size_t>(view)].push_back(std::move(encoded));
                }
            });
        }

        int frames = scene.frames;
        bool differ = false;
        for (const auto& encoded : views) differ = differ || encoded.size() != views.front().size();
        if (differ) {
            std::string counts;
            for (std::size_t v = 0; v < views.size(); ++v) {
                counts += (v ? ", " : "") + scene.images[v] + " " + std::to_string(views[v].size());
            }
            throw PackError("the views' GIFs differ in their number of frames: " + counts, at(scene, -1, -1, ""));
        }
        if (!views.empty()) {
            const auto count = static_cast<int>(views.front().size());
            if (frames >= 0 && frames != count) {
                throw PackError("the GIFs have " + std::to_string(count) + " frames, the scene's 'frames' is " +
                                    std::to_string(frames),
                                at(scene, -1, -1, scene.images.front()));
            }
            frames = count;
        }
        writer_.scene(std::max(frames, 0), scene.name);
        for (const auto& encoded : views) {
            for (const Encoded& image : encoded) {
                writer_.image(image.height, image.data);
                image_written();
            }
        }
    }

    void from_images(const ManifestScene& scene)
    {
        for (std::size_t k = 0; k < scene.images.size(); ++k) {
            const ImagePlace place = image_place(static_cast<int>(k), scene.frames);
            located(scene, place.view, place.frame, scene.images[k], [&] {
                const auto kept = pictures_.get(scene.images[k]);
                const Picture& picture = *kept;
                check_image_size(picture, PictureCut::Whole);
                put(scene, picture, 0, 0, picture.width, picture.height);
            });
        }
    }

    // Grids, atlases, patterns, trimming, anchors and mirrors; the plain
    // forms keep their own faster road.
    static bool laid_out(const ManifestScene& scene)
    {
        return scene.grid || scene.atlas || scene.placement != Placement{} ||
               std::any_of(scene.images.begin(), scene.images.end(), is_pattern) || !scene.sheet.empty();
    }

    void from_layout(const ManifestScene& scene)
    {
        // Each picture the layout asks for is held for the whole scene: it
        // may look at one picture many times.
        std::map<std::string, std::shared_ptr<const Picture>> held;
        const PictureLoader load = [&](const std::string& path) -> const Picture& {
            std::shared_ptr<const Picture>& picture = held[path];
            if (!picture) picture = pictures_.get(path);
            return *picture;
        };
        try {
            const AtlasLoader atlas = [&](const std::string& path) -> const Atlas& {
                // Parsed once a build: scenes often share one export.
                auto found = atlases_.find(path);
                if (found == atlases_.end()) found = atlases_.emplace(path, parse_atlas(source_.read(path), path)).first;
                return found->second;
            };
            SceneLayout layout(scene, manifest_.views, manifest_.views_stated, source_, load, atlas);
            built_.notes.insert(built_.notes.end(), layout.notes().begin(), layout.notes().end());
            writer_.scene(layout.frames(), scene.name);
            for (std::size_t k = 0; k < layout.size(); ++k) {
                const ImagePlace place = image_place(static_cast<int>(k), layout.frames());
                located(scene, place.view, place.frame, layout.path(k), [&] {
                    const Picture image = layout.placed(k, load);
                    try {
                        put(scene, image, 0, 0, image.width, image.height);
                    } catch (PackError& error) {
                        if (error.where().x < 0) throw;
                        // The pixel named where it is in the user's picture.
                        const auto [x, y] = layout.source_point(k, error.where().x, error.where().y);
                        std::string what = error.what();
                        const std::string placed_at = " at x " + std::to_string(error.where().x) + ", y " + std::to_string(error.where().y);
                        if (const std::size_t found = what.find(placed_at); found != std::string::npos) {
                            what.replace(found, placed_at.size(), " at x " + std::to_string(x) + ", y " + std::to_string(y));
                        }
                        PackLocation where = error.where();
                        where.x = x;
                        where.y = y;
                        throw PackError(what, where);
                    }
                });
            }
        } catch (PackError& error) {
            if (error.where().scene < 0 && error.where().line == 0) {
                error.where().scene = built_.scenes;
                error.where().scene_name = scene.name;
            }
            throw;
        }
    }

    const Manifest& manifest_;
    ColourReport* report_;
    PictureSource& source_;
    PictureCache pictures_;
    std::map<std::string, Atlas> atlases_;
    ColourRules rules_;
    std::uint64_t max_bytes_;
    TileSink* sink_;
    std::uint64_t passed_on_ = 0;
    std::uint64_t compared_pixels_ = 0;
    BuiltTile built_;
    TileFileWriter writer_;
};

}  // namespace

BuiltTile build_tile_file(const Manifest& manifest, PictureSource& pictures, std::uint64_t max_bytes,
                          ColourReport* report)
{
    try {
        return Builder(manifest, pictures, max_bytes, nullptr, report).build();
    } catch (const TileError& error) {
        throw PackError(error.what(), in_file(manifest.file));
    }
}

BuiltTile build_tile_file(const Manifest& manifest, PictureSource& pictures, TileSink& out, std::uint64_t max_bytes,
                          ColourReport* report)
{
    try {
        return Builder(manifest, pictures, max_bytes, &out, report).build();
    } catch (const TileError& error) {
        throw PackError(error.what(), in_file(manifest.file));
    }
}

}  // namespace tess
