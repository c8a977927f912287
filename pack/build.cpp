#include "pack/build.hpp"

#include <map>
#include <memory>

#include "pack/error.hpp"
#include "pack/picture.hpp"
#include "pack/sheet.hpp"
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

    // The picture for one use of it.
    std::shared_ptr<const Picture> get(const std::string& path)
    {
        const bool last_use = --uses_left_[path] <= 0;
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

private:
    PictureSource& source_;
    std::map<std::string, int> uses_left_;
    std::map<std::string, std::shared_ptr<const Picture>> kept_;
    std::uint64_t kept_pixels_ = 0;
};

class Builder {
public:
    Builder(const Manifest& manifest, PictureSource& source, std::uint64_t max_bytes)
        : manifest_(manifest), pictures_(source, manifest), rules_(manifest.metric, manifest.strict), max_bytes_(max_bytes),
          writer_(built_.bytes, manifest.revision, manifest.views, static_cast<int>(manifest.scenes.size()))
    {
    }

    BuiltTile build()
    {
        check_least_size();
        for (const ManifestScene& scene : manifest_.scenes) {
            writer_.scene(scene.frames, scene.name);
            if (scene.sheet.empty()) {
                from_images(scene);
            } else {
                from_sheet(scene);
            }
            ++built_.scenes;
        }
        writer_.finish();
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
                     ImageRecordSize * static_cast<std::uint64_t>(scene.frames) * static_cast<std::uint64_t>(manifest_.views);
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

    void put(const Picture& picture, int x0, int y0, int width, int height)
    {
        const Image image = picture_image(picture, x0, y0, width, height, rules_);
        writer_.image(image.height, encode_image(image));
        ++built_.images;
        if (built_.bytes.size() > max_bytes_) refuse_size(built_.bytes.size());
    }

    void from_images(const ManifestScene& scene)
    {
        for (std::size_t k = 0; k < scene.images.size(); ++k) {
            const ImagePlace place = image_place(static_cast<int>(k), scene.frames);
            located(scene, place.view, place.frame, scene.images[k], [&] {
                const auto kept = pictures_.get(scene.images[k]);
                const Picture& picture = *kept;
                if (picture.width > TileWidth || picture.height > MaxCount) {
                    throw PackError(std::to_string(picture.width) + " x " + std::to_string(picture.height) +
                                    " pixels; an image is at most " + std::to_string(TileWidth) + " x " +
                                    std::to_string(MaxCount));
                }
                put(picture, 0, 0, picture.width, picture.height);
            });
        }
    }

    void from_sheet(const ManifestScene& scene)
    {
        if (manifest_.views == 0 || scene.frames == 0) return;
        int view = -1, frame = -1;
        located(scene, view, frame, scene.sheet, [&] {
            const auto kept = pictures_.get(scene.sheet);
            const Picture& sheet = *kept;
            const SheetLayout layout{manifest_.views, scene.frames, sheet.height / manifest_.views};
            if (static_cast<std::size_t>(sheet.width) != layout.width() || sheet.height % manifest_.views != 0 ||
                layout.cell_height > MaxCount) {
                throw PackError("the sheet is " + std::to_string(sheet.width) + " x " + std::to_string(sheet.height) +
                                " pixels; " + std::to_string(scene.frames) + " frames of " + std::to_string(TileWidth) +
                                " need " + std::to_string(layout.width()) + " wide, and the height must be " +
                                std::to_string(manifest_.views) + " views times an image height of at most " +
                                std::to_string(MaxCount));
            }
            for (view = 0; view < layout.views; ++view) {
                for (frame = 0; frame < layout.frames; ++frame) {
                    put(sheet, static_cast<int>(layout.left(frame)), static_cast<int>(layout.top(view)), TileWidth,
                        layout.cell_height);
                }
            }
        });
    }

    const Manifest& manifest_;
    PictureCache pictures_;
    ColourRules rules_;
    std::uint64_t max_bytes_;
    BuiltTile built_;
    TileFileWriter writer_;
};

}  // namespace

BuiltTile build_tile_file(const Manifest& manifest, PictureSource& pictures, std::uint64_t max_bytes)
{
    try {
        return Builder(manifest, pictures, max_bytes).build();
    } catch (const TileError& error) {
        throw PackError(error.what(), in_file(manifest.file));
    }
}

}  // namespace tess
