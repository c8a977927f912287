// Where each image of a scene comes from, and how it is cropped, scaled, trimmed and placed.
#include "scene_layout.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unordered_map>
#include <unordered_set>

#include "pack/error.hpp"
#include "pack/patterns.hpp"
#include "pack/text.hpp"
#include "tile/format.hpp"
#include "tile/records.hpp"

namespace tess {

namespace {

// The key colours and index of `options`, as a part of a key.
std::string keys_key(const ColourOptions& options)
{
    std::string key = std::to_string(options.transparent_index.value_or(256));
    for (const Rgb& colour : options.transparent) key += "," + std::to_string(colour.red << 16 | colour.green << 8 | colour.blue);
    return key;
}

std::string size_text(std::int64_t w, std::int64_t h) { return std::to_string(w) + " x " + std::to_string(h); }

PackLocation at_image(const std::string& path, int view, int frame)
{
    PackLocation where = in_file(path);
    where.view = view;
    where.frame = frame;
    return where;
}

PackLocation at_image(const Drawing& drawing) { return at_image(drawing.path, drawing.view, drawing.frame); }


// The ways out for a drawing too large, with numbers that would fit: a
// window of the middle of `box` (on the picture's canvas), or a scale.
std::string how_to_cut_smaller(const Box& box, PictureCut cut, bool trimmed)
{
    const double fit = std::min({1.0, static_cast<double>(TileWidth) / box.w, static_cast<double>(MaxCount) / box.h});
    char scale[16];
    std::snprintf(scale, sizeof scale, "%.2f", std::floor(fit * 100) / 100);
    const int keep_w = std::min(box.w, TileWidth), keep_h = std::min(box.h, MaxCount);
    const std::string crop = "crop = [" + std::to_string(box.x + (box.w - keep_w) / 2) + ", " + std::to_string(box.y + (box.h - keep_h) / 2) +
                             ", " + std::to_string(keep_w) + ", " + std::to_string(keep_h) + "] takes a window of it";
    const std::string ways = crop + ", scale = " + scale + " makes it smaller";
    if (cut == PictureCut::FileFrame) return "a file's frames are taken whole; " + ways;
    const std::string cells = cut == PictureCut::Whole  ? ", or cut it into cells with sheet = { file, cell }"
                              : cut == PictureCut::Cell ? ", or cut smaller cells with 'cell' (and 'margin' and 'spacing' for the window)"
                                                        : "";
    return trimmed ? "what is drawn across the scene's frames spans that much; " + ways + cells
                   : "trim = true drops the transparent border, " + ways + cells;
}

// A drawing's pixel at x, y of its canvas, read where it is stored: false
// where the canvas is empty there (an atlas's trimmed border).
bool stored_at(const Drawing& drawing, int cx, int cy, int& sx, int& sy)
{
    if (drawing.mirrored) cx = drawing.canvas_w - 1 - cx;
    const int dx = cx - drawing.offset_x, dy = cy - drawing.offset_y;
    if (dx < 0 || dy < 0 || dx >= drawing.w || dy >= drawing.h) return false;
    // A rotated frame is stored turned clockwise: its top left at the top right.
    sx = static_cast<int>(drawing.x) + (drawing.rotated ? drawing.h - 1 - dy : dx);
    sy = static_cast<int>(drawing.y) + (drawing.rotated ? dx : dy);
    return true;
}

// The box `canvas` of a drawing's canvas (mirrored as the drawing is) where
// it is stored, and back: a turn or a mirror takes a box to a box.
Box stored_box(const Drawing& drawing, const Box& canvas)
{
    const int cx0 = std::max(canvas.x, 0), cy0 = std::max(canvas.y, 0);
    const int cx1 = std::min(canvas.x + canvas.w, drawing.canvas_w), cy1 = std::min(canvas.y + canvas.h, drawing.canvas_h);
    int sx0 = 0, sy0 = 0, sx1 = 0, sy1 = 0;
    // The drawn part of the canvas box, its corners where they are stored.
    const int mx0 = drawing.mirrored ? drawing.canvas_w - cx1 : cx0, mx1 = drawing.mirrored ? drawing.canvas_w - cx0 : cx1;
    const int dx0 = std::max(mx0, drawing.offset_x), dx1 = std::min(mx1, drawing.offset_x + drawing.w);
    const int dy0 = std::max(cy0, drawing.offset_y), dy1 = std::min(cy1, drawing.offset_y + drawing.h);
    if (dx0 >= dx1 || dy0 >= dy1) return {};
    Drawing straight = drawing;
    straight.mirrored = false;
    stored_at(straight, dx0, dy0, sx0, sy0);
    stored_at(straight, dx1 - 1, dy1 - 1, sx1, sy1);
    return {std::min(sx0, sx1), std::min(sy0, sy1), std::abs(sx1 - sx0) + 1, std::abs(sy1 - sy0) + 1};
}

Box canvas_box(const Drawing& drawing, const Box& stored)
{
    const auto on_canvas = [&](int sx, int sy) {
        int dx = sx - static_cast<int>(drawing.x), dy = sy - static_cast<int>(drawing.y);
        if (drawing.rotated) dx = std::exchange(dy, drawing.h - 1 - dx);
        const int cx = drawing.offset_x + dx;
        return std::pair{drawing.mirrored ? drawing.canvas_w - 1 - cx : cx, drawing.offset_y + dy};
    };
    const auto [ax, ay] = on_canvas(stored.x, stored.y);
    const auto [bx, by] = on_canvas(stored.x + stored.w - 1, stored.y + stored.h - 1);
    return {std::min(ax, bx), std::min(ay, by), std::abs(bx - ax) + 1, std::abs(by - ay) + 1};
}

// A drawing's size once scaled.
int scaled(int side, double scale) { return std::max(1, static_cast<int>(std::lround(side * scale))); }

// The crop on a drawing's canvas, mirrored as the drawing is; the whole
// canvas where none is given. A crop reaching past the canvas is refused.
Box base_box(const Drawing& drawing, const Placement& placement)
{
    if (!placement.crop) return {0, 0, drawing.canvas_w, drawing.canvas_h};
    const Crop& crop = *placement.crop;
    if (std::int64_t{crop.x} + crop.w > drawing.canvas_w || std::int64_t{crop.y} + crop.h > drawing.canvas_h) {
        throw PackError(Fault::Layout, "crop = [" + std::to_string(crop.x) + ", " + std::to_string(crop.y) + ", " +
                                           std::to_string(crop.w) + ", " + std::to_string(crop.h) + "] reaches past the " +
                                           size_text(drawing.canvas_w, drawing.canvas_h) + " pixels of " +
                                           (drawing.what.empty() ? "the picture" : drawing.what),
                        at_image(drawing));
    }
    return {drawing.mirrored ? drawing.canvas_w - crop.x - crop.w : crop.x, crop.y, crop.w, crop.h};
}

// The drawing's cropped canvas made smaller, as a picture of its own: each
// target pixel the alpha-weighted mean of the area it covers, or the pixel
// at its top left, its colour as the picture gives it. Key colours are
// transparent first, so none bleeds in.
Picture scaled_canvas(const Drawing& drawing, const Picture& picture, const Box& crop, const Placement& placement,
                      const ColourOptions& options)
{
    Drawing straight = drawing;
    straight.mirrored = false;
    const int cw = crop.w, ch = crop.h;
    const int tw = scaled(cw, placement.scale), th = scaled(ch, placement.scale);
    const auto source = [&](int x, int y) -> std::array<std::uint8_t, 4> {
        int sx = 0, sy = 0;
        if (!stored_at(straight, crop.x + x, crop.y + y, sx, sy)) return {0, 0, 0, 0};
        const std::uint32_t number = picture.pixels[static_cast<std::size_t>(sy) * static_cast<std::size_t>(picture.width) + static_cast<std::size_t>(sx)];
        const PictureColour& colour = picture.colours[number];
        if (keyed_out(picture, number, options)) return {0, 0, 0, 0};
        return {static_cast<std::uint8_t>(colour.rgb.red), static_cast<std::uint8_t>(colour.rgb.green),
                static_cast<std::uint8_t>(colour.rgb.blue), colour.alpha};
    };
    const double fx = static_cast<double>(cw) / tw, fy = static_cast<double>(ch) / th;
    if (placement.scale_filter == ScaleFilter::Nearest) {
        // Each pixel one of the picture's, its colour kept whole, so a
        // palette index the picture names stays; colour 0 is the empty
        // canvas, where key colours go too.
        Picture out{tw, th, {PictureColour{Rgb{0, 0, 0}, 0, std::nullopt}}, {}, false, true};
        out.pixels.reserve(static_cast<std::size_t>(tw) * static_cast<std::size_t>(th));
        std::unordered_map<std::uint32_t, std::uint32_t> remap;
        for (int ty = 0; ty < th; ++ty) {
            for (int tx = 0; tx < tw; ++tx) {
                int sx = 0, sy = 0;
                if (!stored_at(straight, crop.x + std::min(cw - 1, static_cast<int>(tx * fx)), crop.y + std::min(ch - 1, static_cast<int>(ty * fy)),
                               sx, sy)) {
                    out.pixels.push_back(0);
                    continue;
                }
                const std::uint32_t number = picture.pixels[static_cast<std::size_t>(sy) * static_cast<std::size_t>(picture.width) + static_cast<std::size_t>(sx)];
                const auto [found, added] = remap.try_emplace(number, 0);
                if (added && !keyed_out(picture, number, options)) {
                    found->second = static_cast<std::uint32_t>(out.colours.size());
                    out.colours.push_back(picture.colours[number]);
                }
                out.pixels.push_back(found->second);
            }
        }
        return out;
    }
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(tw) * static_cast<std::size_t>(th) * 4);
    for (int ty = 0; ty < th; ++ty) {
        for (int tx = 0; tx < tw; ++tx) {
            std::uint8_t* out = &rgba[(static_cast<std::size_t>(ty) * static_cast<std::size_t>(tw) + static_cast<std::size_t>(tx)) * 4];
            // The source area [x0, x1) x [y0, y1), each pixel weighted by how much of it lies inside.
            const double x0 = tx * fx, x1 = (tx + 1) * fx, y0 = ty * fy, y1 = (ty + 1) * fy;
            double covered = 0, alpha = 0, red = 0, green = 0, blue = 0;
            for (int y = static_cast<int>(y0); y < std::min(ch, static_cast<int>(std::ceil(y1))); ++y) {
                const double wy = std::min<double>(y + 1, y1) - std::max<double>(y, y0);
                for (int x = static_cast<int>(x0); x < std::min(cw, static_cast<int>(std::ceil(x1))); ++x) {
                    const double w = wy * (std::min<double>(x + 1, x1) - std::max<double>(x, x0));
                    const auto pixel = source(x, y);
                    const double a = w * pixel[3];
                    covered += w, alpha += a;
                    red += a * pixel[0], green += a * pixel[1], blue += a * pixel[2];
                }
            }
            const auto channel = [](double value) { return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L)); };
            out[3] = channel(covered > 0 ? alpha / covered : 0);
            if (alpha > 0) out[0] = channel(red / alpha), out[1] = channel(green / alpha), out[2] = channel(blue / alpha);
        }
    }
    Picture out = rgba_picture(tw, th, rgba);
    out.keyed = true;
    return out;
}

// The drawing's scaled canvas, kept by `cache` under all it is made of
// (where and how it is cut from which picture, the scale, the key colours)
// so that a cell named many times is scaled once; made afresh without one.
std::shared_ptr<const Picture> scaled_once(const Drawing& drawing, const Picture& picture, const Box& crop, const Placement& placement,
                                           const ColourOptions& options, const ScaledCanvases& cache)
{
    const auto make = [&] { return scaled_canvas(drawing, picture, crop, placement, options); };
    if (!cache.pictures) return std::make_shared<const Picture>(make());
    std::string key = cache.picture_key + "#scaled#" + std::to_string(drawing.x) + "," + std::to_string(drawing.y) + "," +
                      std::to_string(drawing.w) + "," + std::to_string(drawing.h) + "," + std::to_string(drawing.rotated) + "," +
                      std::to_string(drawing.offset_x) + "," + std::to_string(drawing.offset_y) + "," + std::to_string(drawing.canvas_w) +
                      "," + std::to_string(drawing.canvas_h) + "#" + std::to_string(crop.x) + "," + std::to_string(crop.y) + "," +
                      std::to_string(crop.w) + "," + std::to_string(crop.h) + "#" + std::to_string(scaled(crop.w, placement.scale)) + "x" +
                      std::to_string(scaled(crop.h, placement.scale)) + "," + scale_filter_name(placement.scale_filter) + "#" + keys_key(options);
    return cache.pictures->made(key, make);
}

// The drawing's pixels that `box` shows, copied out, turned and mirrored as
// the drawing is, with only the colours they use; key colours are left out.
Placed copied(const Drawing& drawing, std::shared_ptr<const Picture> source, const Box& box, int left, const ColourOptions& options)
{
    const Picture& picture = *source;
    auto out = std::make_shared<Picture>();
    out->width = left + box.w;
    out->height = box.h;
    out->colours.push_back(PictureColour{Rgb{0, 0, 0}, 0, std::nullopt});
    out->pixels.assign(static_cast<std::size_t>(out->width) * static_cast<std::size_t>(out->height), 0);
    out->keyed = true;
    // Picture colour to copied colour: 0, the empty canvas, for key colours.
    std::unordered_map<std::uint32_t, std::uint32_t> remap;
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
            const auto [found, added] = remap.try_emplace(colour, 0);
            if (added && !keyed_out(picture, colour, options)) {
                found->second = static_cast<std::uint32_t>(out->colours.size());
                out->colours.push_back(picture.colours[colour]);
            }
            *to++ = found->second;
        }
    }
    // A pixel of the copy is found in the picture as drawn the way it was copied.
    PixelOrigin origin = [drawing, box, left](int x, int y) {
        int sx = x, sy = y;
        stored_at(drawing, box.x + x - left, box.y + y, sx, sy);
        return std::pair{sx, sy};
    };
    const PictureWindow window = whole_picture(*out);
    return {std::move(out), window, std::move(origin)};
}

// What is drawn in a stored box of a picture, by the scene's colour options.
Box drawn_in(const Picture& picture, const Box& stored, const ColourOptions& options)
{
    // Whether each colour is drawn, worked out when a pixel first uses it.
    std::vector<std::int8_t> drawn(picture.colours.size(), -1);
    int left = stored.x + stored.w, right = stored.x - 1, top = stored.y + stored.h, bottom = stored.y - 1;
    for (int sy = stored.y; sy < stored.y + stored.h; ++sy) {
        const std::uint32_t* row = picture.pixels.data() + static_cast<std::size_t>(sy) * static_cast<std::size_t>(picture.width);
        for (int sx = stored.x; sx < stored.x + stored.w; ++sx) {
            std::int8_t& is_drawn = drawn[row[sx]];
            if (is_drawn < 0) {
                const std::uint8_t alpha = picture.colours[row[sx]].alpha;
                is_drawn = alpha != 0 && alpha >= options.alpha_threshold && !keyed_out(picture, row[sx], options) ? 1 : 0;
            }
            if (!is_drawn) continue;
            left = std::min(left, sx), right = std::max(right, sx);
            top = std::min(top, sy), bottom = sy;
        }
    }
    return right >= left ? Box{left, top, right - left + 1, bottom - top + 1} : Box{};
}

int left_of(Anchor anchor, const Box& box)
{
    switch (anchor) {
    case Anchor::Center: return (TileWidth - box.w) / 2;
    case Anchor::Right: return TileWidth - box.w;
    case Anchor::Left: break;
    }
    return 0;
}

}  // namespace

Box united(const Box& a, const Box& b)
{
    if (a.w == 0) return b;
    if (b.w == 0) return a;
    const int x = std::min(a.x, b.x), y = std::min(a.y, b.y);
    return {x, y, std::max(a.x + a.w, b.x + b.w) - x, std::max(a.y + a.h, b.y + b.h) - y};
}

void check_fits(const Box& box, PictureCut cut, bool trimmed)
{
    const int width = box.w, height = box.h;
    if (width <= TileWidth && height <= MaxCount) return;
    // A picture taken whole is told by its size; a part of one by the side
    // that does not fit.
    if (!trimmed && (cut == PictureCut::Whole || cut == PictureCut::FileFrame)) {
        throw PackError(Fault::Layout, size_text(width, height) + " pixels; an image is at most " + size_text(TileWidth, MaxCount) +
                                           ": " + how_to_cut_smaller(box, cut, trimmed));
    }
    const bool wide = width > TileWidth;
    const std::string drawn = wide ? std::to_string(width) + " pixels wide" : std::to_string(height) + " pixels high";
    const std::string limit = wide ? std::to_string(TileWidth) + " wide" : std::to_string(MaxCount) + " high";
    throw PackError(Fault::Layout, "the picture is " + drawn + (trimmed ? " after trimming" : "") + "; an image is at most " + limit +
                                       ": " + how_to_cut_smaller(box, cut, trimmed));
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

Box DrawnBoxes::of(const PictureCache::Key& picture_key, const Picture& picture, const Box& stored, const ColourOptions& options)
{
    std::string key = picture_key + "|" + std::to_string(stored.x) + "," + std::to_string(stored.y) + "," + std::to_string(stored.w) +
                      "," + std::to_string(stored.h) + "|" + std::to_string(options.alpha_threshold) + "|" + keys_key(options);
    const auto [found, added] = boxes_.try_emplace(std::move(key));
    if (added) found->second = drawn_in(picture, stored, options);
    return found->second;
}

Placed placed_drawing(const Drawing& drawing, std::shared_ptr<const Picture> picture, const Placement& placement,
                      const ColourOptions& options, const std::optional<Box>& box, bool trimmed, const ScaledCanvases& canvases)
{
    Drawing shown = drawing;
    Box base = base_box(drawing, placement);
    if (placement.scale < 1) {
        // The cropped canvas, scaled, is the drawing now: a picture of its own.
        const Box crop = drawing.mirrored ? Box{drawing.canvas_w - base.x - base.w, base.y, base.w, base.h} : base;
        picture = scaled_once(drawing, *picture, crop, placement, options, canvases);
        shown = Drawing{drawing.path, -1, drawing.view, drawing.frame, drawing.cut, 0, 0, picture->width, picture->height, false, 0, 0,
                        picture->width, picture->height, drawing.mirrored, drawing.what};
        base = {0, 0, picture->width, picture->height};
    }
    const Box shows = box ? *box : base;
    if (!trimmed) check_fits(shows, drawing.cut, false);
    const int left = left_of(placement.anchor, shows);
    // A picture of more colours than the image has pixels (a sheet of
    // noise) would cost its whole colour table an image; key colours are
    // left out of a copy, so one is made where they are given.
    const bool many_colours = picture->colours.size() > static_cast<std::size_t>(shows.w) * static_cast<std::size_t>(shows.h);
    if (shown.rotated || shown.mirrored || many_colours) return copied(shown, std::move(picture), shows, left, options);
    // The drawing's part of the canvas that the box shows, read in place.
    const int cx0 = std::max(shown.offset_x, shows.x), cx1 = std::min(shown.offset_x + shown.w, shows.x + shows.w);
    const int cy0 = std::max(shown.offset_y, shows.y), cy1 = std::min(shown.offset_y + shown.h, shows.y + shows.h);
    PictureWindow window{picture.get(), 0, 0, 0, 0, 0, 0, left + shows.w, shows.h};
    if (cx0 < cx1 && cy0 < cy1) {
        window.x0 = static_cast<int>(shown.x) + cx0 - shown.offset_x;
        window.y0 = static_cast<int>(shown.y) + cy0 - shown.offset_y;
        window.width = cx1 - cx0;
        window.height = cy1 - cy0;
        window.left = left + cx0 - shows.x;
        window.top = cy0 - shows.y;
    }
    return {std::move(picture), window, std::nullopt};
}

SceneLayout::SceneLayout(const ManifestScene& scene, int views, PictureCache& pictures, const AtlasLoader& atlases)
    : pictures_(pictures), placement_(scene.placement), colour_(scene.colour), name_(scene.name), frames_(scene.frames)
{
    if (scene.atlas) {
        from_atlas(scene, views, atlases);
    } else if (!scene.sheet.empty()) {
        from_sheet(scene, views);
    } else {
        from_images(scene, views);
    }
    for (Drawing& drawing : drawings_) {
        drawing.mirrored = std::find(placement_.mirrored.begin(), placement_.mirrored.end(), drawing.view) !=
                           placement_.mirrored.end();
    }
    if (!placement_.heights.empty() && placement_.heights.size() != drawings_.size()) {
        throw PackError(Fault::Manifest, std::to_string(placement_.heights.size()) + " heights given, one an image: views x frames is " +
                                             std::to_string(drawings_.size()));
    }
}

void SceneLayout::from_images(const ManifestScene& scene, int views)
{
    const std::vector<std::string> paths = expanded_paths(scene.images, pictures_.source());
    try {
        frames_ = frames_of(paths.size(), views, scene.frames_stated ? std::optional(frames_) : std::nullopt, "images");
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

void SceneLayout::from_sheet(const ManifestScene& scene, int views)
{
    if (views == 0 || frames_ == 0) return;
    SheetGrid grid;
    if (scene.grid) {
        grid = *scene.grid;
    } else {
        // The plain form: cells 64 wide, as high as the sheet's height
        // shared among the views. The height is a guess, so it is said.
        const std::shared_ptr<const Picture> sheet = pictures_.get(scene.sheet);
        const std::size_t width = static_cast<std::size_t>(frames_) * TileWidth;
        if (static_cast<std::size_t>(sheet->width) != width || sheet->height % views != 0 || sheet->height / views > MaxCount ||
            sheet->height < views) {
            throw PackError(Fault::Layout, "the sheet is " + size_text(sheet->width, sheet->height) + " pixels; " + counted(frames_, "frame") +
                                " of " + std::to_string(TileWidth) + (frames_ == 1 ? " needs " : " need ") + std::to_string(width) +
                                " wide, and the height must be " + views_text(views) +
                                " times an image height of 1 to " + std::to_string(MaxCount) +
                                " (or cut any grid with sheet = { file, cell = [width, height] })",
                            in_file(scene.sheet));
        }
        grid.cell_width = TileWidth;
        grid.cell_height = sheet->height / views;
        notes_.push_back(printable(scene.name) + ": sheet " + std::to_string(sheet->width) + " \u00d7 " +
                         std::to_string(sheet->height) + " read as " + views_text(views) + " \u00d7 " + counted(frames_, "frame") +
                         " of " + std::to_string(grid.cell_width) + " \u00d7 " + std::to_string(grid.cell_height) +
                         " (sheet = { file, cell = [64, " + std::to_string(grid.cell_height) + "] } says so and is not guessed)");
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

namespace {

// The words of a frame name, split where Aseprite's filename formats join
// a file's title, its layer, its tag and the frame's number.
std::vector<std::string_view> words_of(std::string_view name)
{
    std::vector<std::string_view> words;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && std::string_view("#()[]{}/|: ").find(name[i]) == std::string_view::npos) continue;
        if (i > start) words.push_back(name.substr(start, i - start));
        start = i + 1;
    }
    return words;
}

// Frame numbers as a person reads them: "0-3, 7".
std::string frames_text(const std::vector<int>& frames)
{
    std::string text;
    for (std::size_t i = 0; i < frames.size();) {
        std::size_t end = i + 1;
        while (end < frames.size() && frames[end] == frames[end - 1] + 1) ++end;
        text += (i ? ", " : "") + (end - i >= 3 ? std::to_string(frames[i]) + "-" + std::to_string(frames[end - 1])
                                                : std::to_string(frames[i]) + (end - i == 2 ? ", " + std::to_string(frames[i + 1]) : ""));
        i = end;
    }
    return text;
}

// The frames a tag plays. An atlas exported from several files, or with
// its tags in its frame names, may count a tag's frames within its own
// file: where the frames it points at are named for another tag, the frames
// named for it are taken, if they are as many; otherwise it is refused,
// naming the atlas `file`.
std::vector<int> frames_of_tag(const Atlas& atlas, const AtlasTag& tag, const std::string& file)
{
    // Each frame's name split once, and the tags' names looked up, so a
    // large atlas of many tags costs its names' length, not frames x tags.
    std::unordered_set<std::string_view> tag_names;
    for (const AtlasTag& t : atlas.tags) tag_names.insert(t.name);
    std::vector<int> named;  // the frames whose names name this tag
    std::vector<bool> names_another(atlas.frames.size());
    bool tags_named = false;
    for (std::size_t k = 0; k < atlas.frames.size(); ++k) {
        for (const std::string_view word : words_of(atlas.frames[k].name)) {
            if (!tag_names.contains(word)) continue;
            tags_named = true;
            if (word != tag.name) names_another[k] = true;
            if (word == tag.name && (named.empty() || named.back() != static_cast<int>(k))) named.push_back(static_cast<int>(k));
        }
    }
    bool pointed_elsewhere = false;
    for (int k = tag.from; k <= tag.to && tags_named; ++k) {
        const auto at = static_cast<std::size_t>(k);
        const bool names_this = std::binary_search(named.begin(), named.end(), k);
        pointed_elsewhere = pointed_elsewhere || (names_another[at] && !names_this);
    }
    if (!pointed_elsewhere) return tag_frames(tag);
    const bool in_a_row = !named.empty() && named.back() - named.front() + 1 == static_cast<int>(named.size());
    if (!in_a_row || named.size() != static_cast<std::size_t>(tag.to - tag.from + 1)) {
        throw PackError(Fault::Atlas, "frame tag \"" + printable(tag.name) + "\" runs from frame " + std::to_string(tag.from) + " to " +
                                          std::to_string(tag.to) + ", whose names are another tag's or file's (the atlas holds several "
                                          "files or counts tags within each); pick its frames by number with frame_indices, or by name",
                        in_file(file));
    }
    // Within its own file: the tag counts from that file's first frame.
    AtlasTag local = tag;
    local.from = named.front();
    local.to = named.back();
    return tag_frames(local);
}

}  // namespace

void SceneLayout::from_atlas(const ManifestScene& scene, int views, const AtlasLoader& atlases)
{
    const AtlasChoice& choice = *scene.atlas;
    const std::string& file = choice.file;
    if (views == 0) return;
    if (!choice.layers.empty()) layers_ = {AseLayerChoice::Kind::Only, choice.layers};
    if (!choice.ignore_layers.empty()) layers_ = {AseLayerChoice::Kind::VisibleExcept, choice.ignore_layers};
    // An .aseprite file's own faults (a layer it lacks) are said at the file.
    const SceneAtlas& read = [&]() -> const SceneAtlas& {
        try {
            return atlases(file, layers_);
        } catch (const PackError& error) {
            throw error.within(in_file(file));
        }
    }();
    const Atlas& atlas = read.atlas;
    if (read.frames_of_file && !choice.image.empty()) {
        throw PackError(Fault::Manifest, "'atlas_image' names a JSON atlas's picture; an .aseprite file holds its own", in_file(file));
    }
    if (!read.frames_of_file && (!choice.layers.empty() || !choice.ignore_layers.empty())) {
        throw PackError(Fault::Manifest, "'layers' and 'ignore_layers' choose an .aseprite file's layers; a JSON atlas has none", in_file(file));
    }
    const std::string image = !choice.image.empty() ? choice.image : read.image;
    if (choice.image.empty() && !read.frames_of_file) {
        const std::size_t slash = image.find_last_of('/');
        picture_note_ = " (the picture the atlas names in meta.image, looked for in " +
                        (slash == std::string::npos ? std::string("the manifest's folder") : image.substr(0, slash + 1)) +
                        "; atlas_image = \"...\" gives another, relative to the manifest)";
    }
    const std::string frames_held = atlas.frames.empty() ? "none" : "0 to " + std::to_string(atlas.frames.size() - 1);

    // The atlas frames of each view, in play order.
    std::vector<std::vector<int>> chosen;
    if (!choice.tags.empty()) {
        for (const std::string& name : choice.tags) {
            const auto named = std::count_if(atlas.tags.begin(), atlas.tags.end(), [&](const AtlasTag& t) { return t.name == name; });
            const auto tag = std::find_if(atlas.tags.begin(), atlas.tags.end(), [&](const AtlasTag& t) { return t.name == name; });
            if (tag == atlas.tags.end()) {
                std::string known;
                for (const AtlasTag& t : atlas.tags) known += (known.empty() ? "" : ", ") + t.name;
                throw PackError(Fault::Atlas, "no frame tag \"" + name + "\" in the atlas; it has " + (known.empty() ? "none" : known), in_file(file));
            }
            if (named > 1) {
                std::string spans;
                for (const AtlasTag& t : atlas.tags) {
                    if (t.name == name) spans += (spans.empty() ? "" : ", ") + std::to_string(t.from) + "-" + std::to_string(t.to);
                }
                throw PackError(Fault::Atlas, "the atlas has " + std::to_string(named) + " frame tags named \"" + printable(name) + "\" (" +
                                                  spans + "); pick the frames by number with frame_indices",
                                in_file(file));
            }
            chosen.push_back(frames_of_tag(atlas, *tag, file));
        }
        bool same = true;
        for (const auto& frames : chosen) same = same && frames.size() == chosen.front().size();
        if (!same) {
            std::string counts;
            for (std::size_t v = 0; v < chosen.size(); ++v) counts += (v ? ", " : "") + choice.tags[v] + " " + std::to_string(chosen[v].size());
            throw PackError(Fault::Atlas, "the tags give different numbers of frames: " + counts + "; every view needs as many", in_file(file));
        }
    } else if (!choice.frame_names.empty()) {
        const std::size_t per_view = choice.frame_names.size() / static_cast<std::size_t>(std::max(views, 1));
        for (std::size_t k = 0; k < choice.frame_names.size(); ++k) {
            const std::string& name = choice.frame_names[k];
            std::vector<int> matches;
            for (std::size_t f = 0; f < atlas.frames.size(); ++f) {
                if (atlas.frames[f].name == name) matches.push_back(static_cast<int>(f));
            }
            if (matches.empty()) throw PackError(Fault::Atlas, "no frame named \"" + name + "\" in the atlas", in_file(file));
            if (matches.size() > 1) {
                throw PackError(Fault::Atlas, std::to_string(matches.size()) + " frames are named \"" + printable(name) + "\" (frames " +
                                                  frames_text(matches) + "); pick one by number, as frame_indices = [" +
                                                  std::to_string(matches.front()) + "]",
                                in_file(file));
            }
            if (k % per_view == 0) chosen.emplace_back();
            chosen.back().push_back(matches.front());
        }
    } else if (!choice.frame_indices.empty()) {
        for (const std::vector<int>& view : choice.frame_indices) {
            for (const int index : view) {
                if (static_cast<std::size_t>(index) >= atlas.frames.size()) {
                    throw PackError(Fault::Atlas, "frame_indices holds " + std::to_string(index) + "; the atlas has frames " + frames_held,
                                    in_file(file));
                }
            }
        }
        chosen = choice.frame_indices;
    } else {
        if (views != 1) {
            throw PackError(Fault::Atlas, "without 'tags' or 'frame_indices' the atlas's frames make one view, and the file has " +
                                              views_text(views) + "; give one tag a view",
                            in_file(file));
        }
        chosen.emplace_back();
        for (std::size_t k = 0; k < atlas.frames.size(); ++k) chosen.back().push_back(static_cast<int>(k));
    }
    const std::size_t count = chosen.empty() ? 0 : chosen.front().size();
    if (scene.frames_stated && count != static_cast<std::size_t>(frames_)) {
        throw PackError(Fault::Atlas, "the atlas gives " + std::to_string(count) + " frames a view, the scene says frames = " +
                                          std::to_string(frames_),
                        in_file(file));
    }
    if (count > MaxCount) {
        throw PackError(Fault::Atlas, std::to_string(count) + " frames a view, at most " + std::to_string(MaxCount), in_file(file));
    }
    frames_ = static_cast<int>(count);
    for (std::size_t view = 0; view < chosen.size(); ++view) {
        for (std::size_t frame = 0; frame < chosen[view].size(); ++frame) {
            const int index = chosen[view][frame];
            const AtlasFrame& source_frame = atlas.frames[static_cast<std::size_t>(index)];
            Drawing drawing;
            drawing.path = read.frames_of_file ? file : image;
            drawing.source_frame = read.frames_of_file ? index : -1;
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
            drawing.what = (source_frame.name.empty() ? "frame " + std::to_string(index) : "frame \"" + source_frame.name + "\"") +
                           " of " + file;
            drawings_.push_back(std::move(drawing));
        }
    }
}

PictureCache::KeyedPicture SceneLayout::load(Drawing& drawing)
{
    const PackLocation where = at_image(drawing);
    PictureCache::KeyedPicture loaded;
    try {
        loaded = pictures_.picture(drawing.path, drawing.source_frame, layers_);
    } catch (const PackError& error) {
        // A picture's own fault, placed at the image it was read for.
        PackLocation at = where;
        at.x = error.where().x;
        at.y = error.where().y;
        throw PackError(error.kind(), error.what() + picture_note_, at);
    }
    const Picture* picture = loaded.picture.get();
    // A key index keys only a palette of the picture's own; said once a scene.
    if (colour_.transparent_index && !picture->indexed && !index_noted_) {
        index_noted_ = true;
        notes_.push_back(printable(name_) + ": transparent_index = " + std::to_string(*colour_.transparent_index) + " keys indexed pictures only; " +
                         printable(drawing.path) + " has no palette of its own, so no index of it is keyed (transparent = \"#rrggbb\" keys a colour)");
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
    return loaded;
}

Box SceneLayout::drawn_box(DrawnBoxes& boxes)
{
    Box drawn;
    for (Drawing& drawing : drawings_) {
        const PictureCache::KeyedPicture loaded = load(drawing);
        const Picture& picture = *loaded.picture;
        const Box base = base_box(drawing, placement_);
        if (placement_.scale < 1) {
            // What is drawn on the scaled canvas, scanned as it is made.
            const Box crop = drawing.mirrored ? Box{drawing.canvas_w - base.x - base.w, base.y, base.w, base.h} : base;
            const std::shared_ptr<const Picture> canvas =
                scaled_once(drawing, picture, crop, placement_, colour_, {&pictures_, loaded.key});
            Box box = drawn_in(*canvas, {0, 0, canvas->width, canvas->height}, colour_);
            if (drawing.mirrored && box.w > 0) box.x = canvas->width - box.x - box.w;
            drawn = united(drawn, box);
            continue;
        }
        const Box stored = stored_box(drawing, base);
        if (stored.w == 0) continue;
        const Box box = boxes.of(loaded.key, picture, stored, colour_);
        if (box.w > 0) drawn = united(drawn, canvas_box(drawing, box));
    }
    return drawn;
}

void SceneLayout::trim_to(const Box& box)
{
    trimmed_ = box;
    if (drawings_.empty()) return;
    const Drawing& first = drawings_.front();
    try {
        check_fits(box, first.cut, true);
    } catch (const PackError& error) {
        throw error.within(at_image(first));
    }
}

Placed SceneLayout::placed(std::size_t k)
{
    Drawing& drawing = drawings_[k];
    PictureCache::KeyedPicture loaded = load(drawing);
    std::optional<Box> box = trimmed_;
    if (!placement_.heights.empty()) {
        // Each image as high as it is said to be, from the top of what it shows.
        Box own = box ? *box : base_box(drawing, placement_);
        if (!box && placement_.scale < 1) own = {0, 0, scaled(own.w, placement_.scale), 0};
        own.h = placement_.heights[k];
        box = own;
    }
    try {
        return placed_drawing(drawing, std::move(loaded.picture), placement_, colour_, box, trimmed_.has_value(), {&pictures_, loaded.key});
    } catch (const PackError& error) {
        throw error.within(at_image(drawing));
    }
}

}  // namespace tess
