// Building a tile file from a manifest: scene by scene, image by image.
#include "pack/build.hpp"

#include <algorithm>
#include <map>
#include <memory>

#include "pack/report.hpp"
#include "pack/error.hpp"
#include "pack/colours.hpp"
#include "picture_cache.hpp"
#include "scene_layout.hpp"
#include "tile/file.hpp"
#include "tile/image.hpp"

namespace tess {

std::vector<std::string> PictureSource::list(const std::string& folder)
{
    throw PackError(Fault::File, "cannot list the folder here, so patterns cannot be expanded", in_file(folder));
}

std::string PictureSource::identify(const std::string& path) { return path; }

namespace {

// The bytes a sink is given at a time: few writes, little memory.
constexpr std::size_t SinkPiece = std::size_t{1} << 16;

class Builder {
public:
    Builder(const Manifest& manifest, PictureSource& source, std::uint64_t max_bytes, TileSink* sink, ColourReport* report)
        : manifest_(manifest), report_(report), source_(source), pictures_(source), rules_(manifest.metric, manifest.strict),
          max_bytes_(max_bytes), sink_(sink),
          writer_(built_.bytes, manifest.revision, manifest.views, static_cast<int>(manifest.scenes.size()))
    {
    }

    BuiltTile build()
    {
        check_least_size();
        for (const ManifestScene& scene : manifest_.scenes) {
            if (scene.frames_from == FramesFrom::Gif) {
                from_gif_views(scene);
            } else {
                from_layout(scene);
            }
            if (report_) {
                report_->scenes.push_back({scene.name, scene_figures(tally_)});
                tally_ = {};
            }
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
        throw PackError(Fault::Limit, "the tile file would be at least " + std::to_string(bytes) + " bytes, more than the " +
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
        } catch (const PackError& error) {
            throw error.within(at(scene, view, frame, path));
        } catch (const TileError& error) {
            throw PackError::from(error, at(scene, view, frame, path));
        }
    }

    // The window's pixels in the palette as the scene's colour options say.
    Image converted(const ManifestScene& scene, const PictureWindow& window, const PixelOrigin* origin = nullptr)
    {
        Image image = picture_image(window, rules_, scene.colour, report_ ? &tally_ : nullptr, origin);
        if (report_ && report_->compare_pixels > 0) keep_compared(scene, window, image);
        return image;
    }

    void keep_compared(const ManifestScene& scene, const PictureWindow& window, const Image& image)
    {
        compared_pixels_ += static_cast<std::uint64_t>(window.image_width) * static_cast<std::uint64_t>(window.image_height);
        if (compared_pixels_ > report_->compare_pixels) {
            throw PackError(Fault::Limit, "the comparison picture would be more than " + std::to_string(MaxPicturePixels) +
                            " pixels; compare fewer or smaller images, or at a smaller --scale");
        }
        report_->compared.push_back(compared_image(window, scene.colour, image));
    }

    void put(const Image& image)
    {
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

    // One animated GIF a view. The scene's frame count is only known once
    // every GIF is read, so the images wait encoded (no larger than the file
    // they go into) until all views agree on it.
    void from_gif_views(const ManifestScene& scene)
    {
        struct Encoded {
            int height;
            std::vector<std::uint8_t> data;
        };
        std::vector<std::string> paths;
        try {
            paths = expanded_paths(scene.images, source_);
        } catch (const PackError& error) {
            throw error.within(at(scene, -1, -1, ""));
        }
        if (paths.size() != static_cast<std::size_t>(manifest_.views)) {
            throw PackError(Fault::Layout, std::to_string(paths.size()) + (paths.size() == 1 ? " GIF" : " GIFs") + " given for " +
                                std::to_string(manifest_.views) + (manifest_.views == 1 ? " view" : " views") +
                                " once patterns are expanded; frames_from = \"gif\" takes one a view",
                            at(scene, -1, -1, scene.images.empty() ? "" : scene.images.front()));
        }
        std::vector<std::vector<Encoded>> views(paths.size());
        std::uint64_t held = size();
        int view = -1, frame = -1;
        for (view = 0; view < static_cast<int>(views.size()); ++view) {
            const std::string& path = paths[static_cast<std::size_t>(view)];
            frame = -1;
            located(scene, view, frame, path, [&] {
                const std::vector<Picture> frames = read_picture_frames(source_.read(path));
                for (frame = 0; frame < static_cast<int>(frames.size()); ++frame) {
                    const Picture& picture = frames[static_cast<std::size_t>(frame)];
                    check_fits(picture.width, picture.height, PictureCut::GifFrame, false);
                    const Image image = converted(scene, whole_picture(picture));
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
                counts += (v ? ", " : "") + paths[v] + " " + std::to_string(views[v].size());
            }
            throw PackError(Fault::Layout, "the views' GIFs differ in their number of frames: " + counts, at(scene, -1, -1, ""));
        }
        if (!views.empty()) {
            const auto count = static_cast<int>(views.front().size());
            if (frames >= 0 && frames != count) {
                throw PackError(Fault::Layout, "the GIFs have " + std::to_string(count) + " frames, the scene's 'frames' is " +
                                    std::to_string(frames),
                                at(scene, -1, -1, paths.front()));
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

    void from_layout(const ManifestScene& scene)
    {
        try {
            const AtlasLoader atlas = [&](const std::string& path) -> const Atlas& {
                // Parsed once a build: scenes often share one export.
                auto found = atlases_.find(path);
                if (found == atlases_.end()) found = atlases_.emplace(path, parse_atlas(source_.read(path), path)).first;
                return found->second;
            };
            SceneLayout layout(scene, manifest_.views, manifest_.views_stated, pictures_, atlas, boxes_);
            built_.notes.insert(built_.notes.end(), layout.notes().begin(), layout.notes().end());
            writer_.scene(layout.frames(), scene.name);
            for (std::size_t k = 0; k < layout.size(); ++k) {
                const ImagePlace place = image_place(static_cast<int>(k), layout.frames());
                located(scene, place.view, place.frame, layout.path(k), [&] {
                    const SceneLayout::Placed placed = layout.placed(k);
                    put(converted(scene, placed.window, placed.origin ? &*placed.origin : nullptr));
                });
            }
        } catch (const PackError& error) {
            throw error.within(at(scene, -1, -1, ""));
        }
    }

    const Manifest& manifest_;
    ColourReport* report_;
    PictureSource& source_;
    PictureCache pictures_;
    DrawnBoxes boxes_;
    std::map<std::string, Atlas> atlases_;
    ColourTally tally_;  // the scene's, while it is built
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
        throw PackError::from(error, in_file(manifest.file));
    }
}

BuiltTile build_tile_file(const Manifest& manifest, PictureSource& pictures, TileSink& out, std::uint64_t max_bytes,
                          ColourReport* report)
{
    try {
        return Builder(manifest, pictures, max_bytes, &out, report).build();
    } catch (const TileError& error) {
        throw PackError::from(error, in_file(manifest.file));
    }
}

}  // namespace tess
