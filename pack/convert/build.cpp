// Building a tile file from a manifest: scene by scene, image by image.
#include "pack/build.hpp"

#include <algorithm>
#include <map>
#include <memory>

#include "ase/ase_file.hpp"
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

// "hero/walk.json" and "walk.png" give "hero/walk.png".
std::string beside(const std::string& file, const std::string& name)
{
    if (name.front() == '/') return name;
    const std::size_t slash = file.find_last_of('/');
    return slash == std::string::npos ? name : file.substr(0, slash + 1) + name;
}

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
        trim_together();
        for (std::size_t s = 0; s < manifest_.scenes.size(); ++s) {
            const ManifestScene& scene = manifest_.scenes[s];
            if (scene.frames_from != FramesFrom::Pictures) {
                from_files(scene);
            } else {
                from_layout(scene, s);
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

    // The atlas at `path`: a JSON export, parsed once a build since scenes
    // often share one, or an .aseprite file, whose frames are its own.
    const SceneAtlas& atlas(const std::string& path, const AseLayerChoice& layers)
    {
        std::string key = pictures_.key_of(path) + "#" + layers_key(layers);
        if (const auto found = atlases_.find(key); found != atlases_.end()) return found->second;
        std::vector<std::uint8_t> bytes = source_.read(path);
        SceneAtlas read;
        if (looks_like_ase(bytes)) {
            std::shared_ptr<const PictureFrames> frames;
            try {
                frames = pictures_.frames(path, layers);
            } catch (const PackError& error) {
                throw error.within(in_file(path));
            }
            read.frames_of_file = true;
            read.atlas.tags = frames->tags;
            for (const Picture& picture : frames->pictures) {
                read.atlas.frames.push_back({"", 0, 0, picture.width, picture.height, false, 0, 0, picture.width, picture.height});
            }
        } else {
            read.atlas = parse_atlas(bytes, path);
            read.image = beside(path, read.atlas.image);
        }
        return atlases_.emplace(std::move(key), std::move(read)).first->second;
    }

    // The box every scene trimmed together shows: the union of their
    // drawings, so that one character's animations share one box.
    void trim_together()
    {
        std::optional<Box> together;
        for (std::size_t s = 0; s < manifest_.scenes.size(); ++s) {
            const ManifestScene& scene = manifest_.scenes[s];
            if (scene.placement.trim != Trim::Together || scene.frames_from != FramesFrom::Pictures) continue;
            in_scene(scene, static_cast<int>(s), [&] {
                SceneLayout layout = laid_out(scene);
                const Box drawn = layout.drawn_box(boxes_);
                together = together ? united(*together, drawn) : drawn;
            });
        }
        together_ = together;
    }

    SceneLayout laid_out(const ManifestScene& scene)
    {
        const AtlasLoader loader = [&](const std::string& path, const AseLayerChoice& layers) -> const SceneAtlas& {
            return atlas(path, layers);
        };
        return SceneLayout(scene, manifest_.views, pictures_, loader);
    }

    // Runs `action`, raising what goes wrong within the scene.
    template <typename Action>
    void in_scene(const ManifestScene& scene, int number, Action action)
    {
        try {
            action();
        } catch (const PackError& error) {
            PackLocation where;
            where.scene = number;
            where.scene_name = scene.name;
            throw error.within(where);
        }
    }

    void from_layout(const ManifestScene& scene, std::size_t number)
    {
        in_scene(scene, static_cast<int>(number), [&] {
            SceneLayout layout = laid_out(scene);
            if (scene.placement.trim == Trim::Together) layout.trim_to(together_.value_or(Box{}));
            if (scene.placement.trim == Trim::Scene) layout.trim_to(layout.drawn_box(boxes_));
            writer_.scene(layout.frames(), scene.name);
            for (std::size_t k = 0; k < layout.size(); ++k) {
                const ImagePlace place = image_place(static_cast<int>(k), layout.frames());
                located(scene, place.view, place.frame, layout.path(k), [&] {
                    const Placed placed = layout.placed(k);
                    put(converted(scene, placed.window, placed.origin ? &*placed.origin : nullptr));
                });
            }
            built_.notes.insert(built_.notes.end(), layout.notes().begin(), layout.notes().end());
        });
    }

    // One animated file a view (a GIF, an .aseprite file), or one GIF cut
    // by a grid, a cell a view. The scene's frame count is only known once
    // every file is read, so the images wait encoded (no larger than the
    // file they go into) until all views agree on it.
    void from_files(const ManifestScene& scene)
    {
        struct Encoded {
            int height;
            std::vector<std::uint8_t> data;
        };
        const int views = manifest_.views;
        const bool gif = scene.frames_from == FramesFrom::Gif;
        std::vector<std::string> paths;
        in_scene(scene, built_.scenes, [&] {
            paths = scene.grid ? std::vector<std::string>(static_cast<std::size_t>(views), scene.sheet) : expanded_paths(scene.images, source_);
            if (paths.size() != static_cast<std::size_t>(views)) {
                throw PackError(Fault::Manifest, std::to_string(paths.size()) + (gif ? (paths.size() == 1 ? " GIF" : " GIFs") : (paths.size() == 1 ? " file" : " files")) +
                                                     " given for " + views_text(views) + " once patterns are expanded; frames_from = \"" +
                                                     (gif ? "gif" : "aseprite") + "\" takes one a view",
                                in_file(scene.images.empty() ? "" : scene.images.front()));
            }
        });
        AseLayerChoice layers;
        // A frame larger than an image is cut, scaled or cropped, or refused.
        const bool large = scene.grid || scene.placement.crop || scene.placement.scale < 1;
        std::vector<std::vector<Encoded>> encoded(paths.size());
        std::uint64_t held = size();
        for (int view = 0; view < static_cast<int>(paths.size()); ++view) {
            const std::string& path = paths[static_cast<std::size_t>(view)];
            int frame = -1;
            located(scene, view, frame, path, [&] {
                const std::shared_ptr<const PictureFrames> frames = pictures_.frames(path, layers, large);
                if (scene.grid && frames->pictures.size() < 2) {
                    throw PackError(Fault::Layout, "a still picture; frames_from = \"gif\" with a 'sheet' table cuts every frame of an "
                                                   "animated GIF, and a still sheet is cut without it");
                }
                for (frame = 0; frame < static_cast<int>(frames->pictures.size()); ++frame) {
                    const auto picture = std::shared_ptr<const Picture>(frames, &frames->pictures[static_cast<std::size_t>(frame)]);
                    const Placed placed = placed_drawing(file_frame(scene, view, frame, path, *picture), picture, scene.placement,
                                                         scene.colour, std::nullopt, false);
                    const Image image = converted(scene, placed.window, placed.origin ? &*placed.origin : nullptr);
                    Encoded one{image.height, encode_image(image)};
                    one.data.shrink_to_fit();  // held until every view is read
                    held += ImageRecordSize + one.data.size();
                    if (held > max_bytes_) refuse_size(held);
                    encoded[static_cast<std::size_t>(view)].push_back(std::move(one));
                }
            });
        }

        int frames = scene.frames;
        bool differ = false;
        for (const auto& view : encoded) differ = differ || view.size() != encoded.front().size();
        if (differ) {
            std::string counts;
            for (std::size_t v = 0; v < encoded.size(); ++v) counts += (v ? ", " : "") + paths[v] + " " + std::to_string(encoded[v].size());
            throw PackError(Fault::Layout, std::string(gif ? "the views' GIFs" : "the views' files") + " differ in their number of frames: " + counts,
                            at(scene, -1, -1, ""));
        }
        if (!encoded.empty()) {
            const auto count = static_cast<int>(encoded.front().size());
            if (frames >= 0 && frames != count) {
                throw PackError(Fault::Layout, std::string(gif ? "the GIFs have " : "the files have ") + std::to_string(count) +
                                                   " frames, the scene's 'frames' is " + std::to_string(frames),
                                at(scene, -1, -1, paths.front()));
            }
            if (count > MaxCount) {
                throw PackError(Fault::Limit, std::to_string(count) + " frames a view, at most " + std::to_string(MaxCount), at(scene, -1, -1, paths.front()));
            }
            frames = count;
        }
        writer_.scene(std::max(frames, 0), scene.name);
        for (const auto& view : encoded) {
            for (const Encoded& image : view) {
                writer_.image(image.height, image.data);
                image_written();
            }
        }
    }

    // Frame `frame` of view `view`'s file: whole, or the view's cell of the grid.
    static Drawing file_frame(const ManifestScene& scene, int view, int frame, const std::string& path, const Picture& picture)
    {
        Drawing drawing;
        drawing.path = path;
        drawing.view = view;
        drawing.frame = frame;
        drawing.cut = PictureCut::FileFrame;
        drawing.w = drawing.canvas_w = picture.width;
        drawing.h = drawing.canvas_h = picture.height;
        if (!scene.grid) return drawing;
        const SheetGrid& grid = *scene.grid;
        const auto v = static_cast<std::size_t>(view);
        const int column = grid.cells.empty() ? 0 : grid.cells[v].first;
        const int row = grid.cells.empty() ? (grid.rows.empty() ? view : grid.rows[v]) : grid.cells[v].second;
        drawing.cut = PictureCut::Cell;
        drawing.x = grid.margin_x + std::int64_t{column} * (grid.cell_width + grid.spacing_x);
        drawing.y = grid.margin_y + std::int64_t{row} * (grid.cell_height + grid.spacing_y);
        drawing.w = drawing.canvas_w = grid.cell_width;
        drawing.h = drawing.canvas_h = grid.cell_height;
        drawing.what = "cell [" + std::to_string(column) + ", " + std::to_string(row) + "]";
        if (drawing.x + drawing.w > picture.width || drawing.y + drawing.h > picture.height) {
            throw PackError(Fault::Layout, drawing.what + " is " + std::to_string(drawing.w) + " x " + std::to_string(drawing.h) +
                                               " pixels at x " + std::to_string(drawing.x) + ", y " + std::to_string(drawing.y) +
                                               ", reaching past the GIF's " + std::to_string(picture.width) + " x " +
                                               std::to_string(picture.height));
        }
        return drawing;
    }

    const Manifest& manifest_;
    ColourReport* report_;
    PictureSource& source_;
    PictureCache pictures_;
    DrawnBoxes boxes_;
    std::map<std::string, SceneAtlas> atlases_;
    std::optional<Box> together_;
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
