// Where each image of a scene comes from, and how it is placed.
#include "scene_layout.hpp"

#include <algorithm>

#include "pack/atlas.hpp"
#include "pack/error.hpp"
#include "pack/patterns.hpp"
#include "pack/text.hpp"
#include "tile/format.hpp"
#include "tile/records.hpp"

namespace tess {

namespace {

std::string size_text(std::int64_t w, std::int64_t h) { return std::to_string(w) + " x " + std::to_string(h); }

PackLocation at_image(const std::string& path, int view, int frame)
{
    PackLocation where = in_file(path);
    where.view = view;
    where.frame = frame;
    return where;
}

// "hero/walk.json" and "walk.png" give "hero/walk.png".
std::string beside(const std::string& file, const std::string& name)
{
    if (name.front() == '/') return name;
    const std::size_t slash = file.find_last_of('/');
    return slash == std::string::npos ? name : file.substr(0, slash + 1) + name;
}


std::string how_to_cut_smaller(PictureCut cut, bool trimmed)
{
    // A GIF's frames are taken as drawn, never trimmed.
    if (cut == PictureCut::GifFrame) return "a GIF's frames are its whole screen, so crop the GIF";
    const std::string way = cut == PictureCut::Whole ? "cut it into cells with sheet = { file, cell }"
                            : cut == PictureCut::Cell ? "cut smaller cells with 'cell'"
                                                      : "an atlas frame is cut as exported, so export it smaller";
    return trimmed ? "what is drawn across the scene's frames spans that much; " + way
                   : "trim = true drops the transparent border, or " + way;
}

}  // namespace

void check_fits(int width, int height, PictureCut cut, bool trimmed)
{
    if (width <= TileWidth && height <= MaxCount) return;
    // A picture taken whole is told by its size; a part of one by the side
    // that does not fit.
    if (!trimmed && (cut == PictureCut::Whole || cut == PictureCut::GifFrame)) {
        throw PackError(Fault::Layout, size_text(width, height) + " pixels; an image is at most " + size_text(TileWidth, MaxCount) + ": " +
                        how_to_cut_smaller(cut, trimmed));
    }
    const bool wide = width > TileWidth;
    const std::string drawn = wide ? std::to_string(width) + " pixels wide" : std::to_string(height) + " pixels high";
    const std::string limit = wide ? std::to_string(TileWidth) + " wide" : std::to_string(MaxCount) + " high";
    throw PackError(Fault::Layout, "the picture is " + drawn + (trimmed ? " after trimming" : "") + "; an image is at most " + limit + ": " +
                    how_to_cut_smaller(cut, trimmed));
}

std::vector<std::string> expanded_paths(const std::vector<std::string>& entries, PictureSource& source)
{
    std::vector<std::string> paths;
    for (const std::string& entry : entries) {
        if (!is_pattern(entry)) {
            paths.push_back(entry);
            continue;
        }
        const std::size_t slash = entry.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "" : entry.substr(0, slash == 0 ? 1 : slash);
        const std::string pattern = entry.substr(slash == std::string::npos ? 0 : slash + 1);
        if (is_pattern(folder)) throw PackError(Fault::Manifest, "only the last part of a path may be a pattern", in_file(entry));
        std::vector<std::string> names = source.list(folder);
        const NamePattern matcher(pattern);
        std::erase_if(names, [&](const std::string& name) { return !matcher.matches(name); });
        if (names.empty()) throw PackError(Fault::File, "the pattern matches no file", in_file(entry));
        std::sort(names.begin(), names.end(), natural_less);
        for (const std::string& name : names) paths.push_back(slash == std::string::npos ? name : entry.substr(0, slash + 1) + name);
    }
    return paths;
}

DrawnBoxes::Box DrawnBoxes::of(const PictureCache::Key& picture_key, const Picture& picture, int x, int y, int w, int h,
                               int alpha_threshold)
{
    const auto [found, added] = boxes_.try_emplace({picture_key, x, y, w, h, alpha_threshold});
    if (!added) return found->second;
    int left = x + w, right = x - 1, top = y + h, bottom = y - 1;
    for (int sy = y; sy < y + h; ++sy) {
        const std::uint32_t* row = picture.pixels.data() + static_cast<std::size_t>(sy) * static_cast<std::size_t>(picture.width);
        for (int sx = x; sx < x + w; ++sx) {
            const std::uint8_t alpha = picture.colours[row[sx]].alpha;
            if (alpha == 0 || alpha < alpha_threshold) continue;
            left = std::min(left, sx), right = std::max(right, sx);
            top = std::min(top, sy), bottom = sy;
        }
    }
    if (right >= left) found->second = {left, top, right - left + 1, bottom - top + 1};
    return found->second;
}

SceneLayout::SceneLayout(const ManifestScene& scene, int views, bool views_stated, PictureCache& pictures,
                         const AtlasLoader& atlases, DrawnBoxes& boxes)
    : pictures_(pictures), placement_(scene.placement), frames_(scene.frames)
{
    if (scene.atlas) {
        from_atlas(scene, views, atlases);
    } else if (!scene.sheet.empty()) {
        from_sheet(scene, views, views_stated);
    } else {
        from_images(scene, views);
    }
    for (Drawing& drawing : drawings_) {
        drawing.mirrored = std::find(placement_.mirrored.begin(), placement_.mirrored.end(), drawing.view) !=
                           placement_.mirrored.end();
    }
    if (placement_.trim != Trim::None) trim(boxes, scene.colour.alpha_threshold);
}

void SceneLayout::from_images(const ManifestScene& scene, int views)
{
    const std::vector<std::string> paths = expanded_paths(scene.images, pictures_.source());
    try {
        frames_ = frames_of(paths.size(), views, scene.frames_stated ? std::optional(frames_) : std::nullopt,
                            "images");
    } catch (const PackError& fault) {
        throw fault.within(in_file(scene.images.empty() ? "" : scene.images.front()));
    }
    for (std::size_t k = 0; k < paths.size(); ++k) {
        const ImagePlace place = image_place(static_cast<int>(k), frames_);
        Drawing drawing;
        drawing.path = paths[k];
        drawing.view = place.view;
        drawing.frame = place.frame;
        drawings_.push_back(std::move(drawing));
    }
}

void SceneLayout::from_sheet(const ManifestScene& scene, int views, bool views_stated)
{
    if (views == 0 || frames_ == 0) return;
    SheetGrid grid;
    if (scene.grid) {
        grid = *scene.grid;
    } else {
        // The plain form: cells 64 wide, as high as the sheet's height
        // shared among the views.
        const std::shared_ptr<const Picture> sheet = pictures_.get(scene.sheet);
        const std::size_t width = static_cast<std::size_t>(frames_) * TileWidth;
        if (static_cast<std::size_t>(sheet->width) != width || sheet->height % views != 0 || sheet->height / views > MaxCount) {
            throw PackError(Fault::Layout, "the sheet is " + size_text(sheet->width, sheet->height) + " pixels; " + std::to_string(frames_) +
                                " frames of " + std::to_string(TileWidth) + " need " + std::to_string(width) +
                                " wide, and the height must be " + std::to_string(views) +
                                " views times an image height of at most " + std::to_string(MaxCount) +
                                " (or cut any grid with sheet = { file, cell = [width, height] })",
                            in_file(scene.sheet));
        }
        grid.cell_width = TileWidth;
        grid.cell_height = sheet->height / views;
        if (!views_stated) {
            notes_.push_back(printable(scene.name) + ": sheet " + std::to_string(sheet->width) + " \u00d7 " +
                             std::to_string(sheet->height) + " read as " + std::to_string(views) +
                             (views == 1 ? " view" : " views") + " \u00d7 " + std::to_string(frames_) + " frames of " +
                             std::to_string(grid.cell_width) + " \u00d7 " + std::to_string(grid.cell_height));
        }
    }
    for (int view = 0; view < views; ++view) {
        for (int frame = 0; frame < frames_; ++frame) {
            const std::size_t k = static_cast<std::size_t>(view) * static_cast<std::size_t>(frames_) + static_cast<std::size_t>(frame);
            const int column = !grid.cells.empty() ? grid.cells[k].first : grid.columns.empty() ? frame : grid.columns[frame];
            const int row = !grid.cells.empty() ? grid.cells[k].second : grid.rows.empty() ? view : grid.rows[view];
            Drawing drawing;
            drawing.path = scene.sheet;
            drawing.view = view;
            drawing.frame = frame;
            drawing.x = grid.margin_x + std::int64_t{column} * (grid.cell_width + grid.spacing_x);
            drawing.y = grid.margin_y + std::int64_t{row} * (grid.cell_height + grid.spacing_y);
            drawing.w = drawing.canvas_w = grid.cell_width;
            drawing.h = drawing.canvas_h = grid.cell_height;
            drawing.cut = PictureCut::Cell;
            drawing.what = "cell [" + std::to_string(column) + ", " + std::to_string(row) + "]";
            drawings_.push_back(std::move(drawing));
        }
    }
}

void SceneLayout::from_atlas(const ManifestScene& scene, int views, const AtlasLoader& atlases)
{
    const std::string& file = scene.atlas->file;
    if (views == 0) return;
    const Atlas& atlas = atlases(file);
    const std::string image = scene.atlas->image.empty() ? beside(file, atlas.image) : scene.atlas->image;
    if (scene.atlas->image.empty()) picture_note_ = " (the picture the atlas names in meta.image; atlas_image = \"...\" gives another)";

    // The atlas frames of each view, in play order.
    std::vector<std::vector<int>> chosen;
    if (!scene.atlas->tags.empty()) {
        for (const std::string& name : scene.atlas->tags) {
            const auto tag = std::find_if(atlas.tags.begin(), atlas.tags.end(), [&](const AtlasTag& t) { return t.name == name; });
            if (tag == atlas.tags.end()) {
                std::string known;
                for (const AtlasTag& t : atlas.tags) known += (known.empty() ? "" : ", ") + t.name;
                throw PackError(Fault::Layout, "no frame tag \"" + name + "\" in the atlas; it has " + (known.empty() ? "none" : known), in_file(file));
            }
            chosen.push_back(tag_frames(*tag));
        }
        bool same = true;
        for (const auto& frames : chosen) same = same && frames.size() == chosen.front().size();
        if (!same) {
            std::string counts;
            for (std::size_t v = 0; v < chosen.size(); ++v) {
                counts += (v ? ", " : "") + scene.atlas->tags[v] + " " + std::to_string(chosen[v].size());
            }
            throw PackError(Fault::Layout, "the tags give different numbers of frames: " + counts + "; every view needs as many",
                            in_file(file));
        }
    } else if (!scene.atlas->frame_names.empty()) {
        const std::size_t per_view = scene.atlas->frame_names.size() / static_cast<std::size_t>(std::max(views, 1));
        for (std::size_t k = 0; k < scene.atlas->frame_names.size(); ++k) {
            const std::string& name = scene.atlas->frame_names[k];
            const auto found = std::find_if(atlas.frames.begin(), atlas.frames.end(), [&](const AtlasFrame& f) { return f.name == name; });
            if (found == atlas.frames.end()) throw PackError(Fault::Layout, "no frame named \"" + name + "\" in the atlas", in_file(file));
            if (k % per_view == 0) chosen.emplace_back();
            chosen.back().push_back(static_cast<int>(found - atlas.frames.begin()));
        }
    } else {
        if (views != 1) {
            throw PackError(Fault::Layout, "without 'tags' the atlas's frames make one view, and the file has " + std::to_string(views) +
                                "; give one tag a view",
                            in_file(file));
        }
        chosen.emplace_back();
        for (std::size_t k = 0; k < atlas.frames.size(); ++k) chosen.back().push_back(static_cast<int>(k));
    }
    const std::size_t count = chosen.empty() ? 0 : chosen.front().size();
    if (scene.frames_stated && count != static_cast<std::size_t>(frames_)) {
        throw PackError(Fault::Layout, "the atlas gives " + std::to_string(count) + " frames a view, the scene says frames = " +
                            std::to_string(frames_),
                        in_file(file));
    }
    if (count > MaxCount) {
        throw PackError(Fault::Layout, std::to_string(count) + " frames a view, at most " + std::to_string(MaxCount), in_file(file));
    }
    frames_ = static_cast<int>(count);
    for (std::size_t view = 0; view < chosen.size(); ++view) {
        for (std::size_t frame = 0; frame < chosen[view].size(); ++frame) {
            const AtlasFrame& source_frame = atlas.frames[static_cast<std::size_t>(chosen[view][frame])];
            Drawing drawing;
            drawing.path = image;
            drawing.view = static_cast<int>(view);
            drawing.frame = static_cast<int>(frame);
            drawing.x = source_frame.x;
            drawing.y = source_frame.y;
            drawing.w = source_frame.w;
            drawing.h = source_frame.h;
            drawing.rotated = source_frame.rotated;
            drawing.offset_x = source_frame.offset_x;
            drawing.offset_y = source_frame.offset_y;
            drawing.canvas_w = source_frame.canvas_w;
            drawing.canvas_h = source_frame.canvas_h;
            drawing.cut = PictureCut::AtlasFrame;
            // A packer may leave frames unnamed: then the number says which.
            drawing.what = (source_frame.name.empty() ? "frame " + std::to_string(chosen[view][frame])
                                                      : "frame \"" + source_frame.name + "\"") +
                           " of " + file;
            drawings_.push_back(std::move(drawing));
        }
    }
}

bool SceneLayout::stored_at(const Drawing& drawing, int cx, int cy, int& sx, int& sy)
{
    if (drawing.mirrored) cx = drawing.canvas_w - 1 - cx;
    const int dx = cx - drawing.offset_x, dy = cy - drawing.offset_y;
    if (dx < 0 || dy < 0 || dx >= drawing.w || dy >= drawing.h) return false;
    // A rotated frame is stored turned clockwise: its top left at the top right.
    sx = static_cast<int>(drawing.x) + (drawing.rotated ? drawing.h - 1 - dy : dx);
    sy = static_cast<int>(drawing.y) + (drawing.rotated ? dx : dy);
    return true;
}

std::shared_ptr<const Picture> SceneLayout::load(Drawing& drawing)
{
    const PackLocation where = at_image(drawing.path, drawing.view, drawing.frame);
    std::shared_ptr<const Picture> picture;
    try {
        picture = pictures_.get(drawing.path);
    } catch (const PackError& error) {
        // A picture's own fault, placed at the image it was read for.
        PackLocation at = where;
        at.x = error.where().x;
        at.y = error.where().y;
        throw PackError(error.kind(), error.what() + picture_note_, at);
    }
    if (drawing.cut == PictureCut::Whole) {
        drawing.w = drawing.canvas_w = picture->width;
        drawing.h = drawing.canvas_h = picture->height;
    }
    const int stored_w = drawing.rotated ? drawing.h : drawing.w;
    const int stored_h = drawing.rotated ? drawing.w : drawing.h;
    if (drawing.x + stored_w > picture->width || drawing.y + stored_h > picture->height) {
        throw PackError(Fault::Layout, drawing.what + " is " + size_text(stored_w, stored_h) + " pixels at x " + std::to_string(drawing.x) +
                            ", y " + std::to_string(drawing.y) + ", reaching past the picture's " +
                            size_text(picture->width, picture->height),
                        where);
    }
    return picture;
}

void SceneLayout::trim(DrawnBoxes& boxes, int alpha_threshold)
{
    int left = 0, top = 0, right = -1, bottom = -1;
    for (Drawing& drawing : drawings_) {
        const std::shared_ptr<const Picture> picture = load(drawing);
        const int stored_w = drawing.rotated ? drawing.h : drawing.w;
        const int stored_h = drawing.rotated ? drawing.w : drawing.h;
        const Box stored = boxes.of(pictures_.key_of(drawing.path), *picture, static_cast<int>(drawing.x),
                                    static_cast<int>(drawing.y), stored_w, stored_h, alpha_threshold);
        if (stored.w == 0) continue;
        // The stored box's corners on the canvas, turned and mirrored as the drawing is.
        const auto on_canvas = [&](int sx, int sy) {
            int dx = sx - static_cast<int>(drawing.x), dy = sy - static_cast<int>(drawing.y);
            if (drawing.rotated) dx = std::exchange(dy, drawing.h - 1 - dx);
            const int cx = drawing.offset_x + dx;
            return std::pair{drawing.mirrored ? drawing.canvas_w - 1 - cx : cx, drawing.offset_y + dy};
        };
        for (const auto& [cx, cy] : {on_canvas(stored.x, stored.y), on_canvas(stored.x + stored.w - 1, stored.y + stored.h - 1)}) {
            if (right < left) {
                left = right = cx, top = bottom = cy;
            } else {
                left = std::min(left, cx), right = std::max(right, cx);
                top = std::min(top, cy), bottom = std::max(bottom, cy);
            }
        }
    }
    union_ = right >= left ? Box{left, top, right - left + 1, bottom - top + 1} : Box{};
    if (drawings_.empty()) return;
    const Drawing& first = drawings_.front();
    try {
        check_fits(union_->w, union_->h, first.cut, true);
    } catch (const PackError& error) {
        throw error.within(at_image(first.path, first.view, first.frame));
    }
}

SceneLayout::Box SceneLayout::box_of(const Drawing& drawing) const
{
    return union_ ? *union_ : Box{0, 0, drawing.canvas_w, drawing.canvas_h};
}

int SceneLayout::left_of(const Box& box) const
{
    switch (placement_.anchor) {
    case Anchor::Center: return (TileWidth - box.w) / 2;
    case Anchor::Right: return TileWidth - box.w;
    case Anchor::Left: break;
    }
    return 0;
}

SceneLayout::Placed SceneLayout::placed(std::size_t k)
{
    Drawing& drawing = drawings_[k];
    std::shared_ptr<const Picture> picture = load(drawing);
    const Box box = box_of(drawing);
    if (!union_) {
        try {
            check_fits(box.w, box.h, drawing.cut, false);
        } catch (const PackError& error) {
            throw error.within(at_image(drawing.path, drawing.view, drawing.frame));
        }
    }
    const int left = left_of(box);
    // A picture of more colours than the image has pixels (a sheet of
    // noise) would cost its whole colour table an image.
    const bool many_colours = picture->colours.size() > static_cast<std::size_t>(box.w) * static_cast<std::size_t>(box.h);
    if (drawing.rotated || drawing.mirrored || many_colours) return copied(drawing, std::move(picture), box, left);
    // The drawing's part of the canvas that the box shows, read in place.
    const int cx0 = std::max(drawing.offset_x, box.x), cx1 = std::min(drawing.offset_x + drawing.w, box.x + box.w);
    const int cy0 = std::max(drawing.offset_y, box.y), cy1 = std::min(drawing.offset_y + drawing.h, box.y + box.h);
    PictureWindow window{picture.get(), 0, 0, 0, 0, 0, 0, left + box.w, box.h};
    if (cx0 < cx1 && cy0 < cy1) {
        window.x0 = static_cast<int>(drawing.x) + cx0 - drawing.offset_x;
        window.y0 = static_cast<int>(drawing.y) + cy0 - drawing.offset_y;
        window.width = cx1 - cx0;
        window.height = cy1 - cy0;
        window.left = left + cx0 - box.x;
        window.top = cy0 - box.y;
    }
    return {std::move(picture), window, std::nullopt};
}

SceneLayout::Placed SceneLayout::copied(const Drawing& drawing, std::shared_ptr<const Picture> source, const Box& box, int left)
{
    const Picture& picture = *source;
    auto out = std::make_shared<Picture>();
    out->width = left + box.w;
    out->height = box.h;
    out->colours.push_back(PictureColour{Rgb{0, 0, 0}, 0, std::nullopt});
    out->pixels.assign(static_cast<std::size_t>(out->width) * static_cast<std::size_t>(out->height), 0);
    // Only the colours this image uses come along, so making its image
    // costs what a picture of its own would.
    if (remap_.size() < picture.colours.size()) remap_.resize(picture.colours.size(), 0);
    std::vector<std::uint32_t> used;
    // Along a row of the canvas the stored pixels run straight: across the
    // picture, or down it when rotated, backwards when mirrored.
    const std::ptrdiff_t step = (drawing.rotated ? picture.width : 1) * (drawing.mirrored ? -1 : 1);
    const int first = drawing.mirrored ? drawing.canvas_w - box.x - drawing.offset_x - drawing.w : drawing.offset_x - box.x;
    const int begin = std::max(first, 0), end = std::min(first + drawing.w, box.w);
    for (int y = 0; y < box.h && begin < end; ++y) {
        int sx = 0, sy = 0;
        if (!stored_at(drawing, box.x + begin, box.y + y, sx, sy)) continue;
        auto from = static_cast<std::ptrdiff_t>(sy) * picture.width + sx;
        std::uint32_t* to = out->pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(out->width) +
                            static_cast<std::size_t>(left + begin);
        for (int x = begin; x < end; ++x, from += step) {
            const std::uint32_t colour = picture.pixels[static_cast<std::size_t>(from)];
            if (remap_[colour] == 0) {
                out->colours.push_back(picture.colours[colour]);
                remap_[colour] = static_cast<std::uint32_t>(out->colours.size() - 1);
                used.push_back(colour);
            }
            *to++ = remap_[colour];
        }
    }
    for (const std::uint32_t colour : used) remap_[colour] = 0;
    // A pixel of the copy is found in the picture as drawn the way it was copied.
    PixelOrigin origin = [drawing, box, left](int x, int y) {
        int sx = x, sy = y;
        stored_at(drawing, box.x + x - left, box.y + y, sx, sy);
        return std::pair{sx, sy};
    };
    const PictureWindow window = whole_picture(*out);
    return {std::move(out), window, std::move(origin)};
}

}  // namespace tess
