// Frames of an Aseprite file composed from their cels: the chosen layers, groups, tilemaps, as RGBA or as indices.
#include "ase/ase_composer.hpp"

#include <algorithm>
#include <array>
#include <set>

#include "ase_blend.hpp"

namespace tess {

namespace {

constexpr std::uint8_t Opaque = 255;
constexpr std::int32_t NoCel = -1;

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

unsigned times_opacity(unsigned a, unsigned b) { return (a * b + 127) / 255; }

bool is_empty(std::uint32_t tile, const AseTilemap& tilemap, const AseTileset& tileset)
{
    return tileset.zero_is_empty() ? (tile & tilemap.id_mask) == 0 : tile == tilemap.all_ones();
}

// Pixels, half-open, on the canvas.
struct Rect {
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t right = 0;
    std::int64_t bottom = 0;

    bool empty() const { return left >= right || top >= bottom; }

    void add(const Rect& other)
    {
        if (other.empty()) return;
        if (empty()) {
            *this = other;
            return;
        }
        left = std::min(left, other.left);
        top = std::min(top, other.top);
        right = std::max(right, other.right);
        bottom = std::max(bottom, other.bottom);
    }
};

}  // namespace

struct AseComposer::State {
    const AseFile& file;
    std::vector<char> drawn;                       // by layer: drawn, or a group holding something drawn
    std::vector<std::vector<std::size_t>> children;  // by layer, the drawn ones, bottom to top
    std::vector<std::size_t> top_level;
    std::vector<const AseTileset*> tileset_of;     // by layer, for drawn tilemap layers
    bool separate_groups = false;
    bool indices_exact = false;

    // Worked out again for each frame.
    const AseFrame* frame = nullptr;
    std::vector<std::int32_t> cel_of;  // by layer: its cel in the frame, or NoCel
    bool frame_has_z = false;
    std::size_t palette_size = 0;
    std::optional<std::uint32_t> tables_palette;
    std::array<std::array<std::uint8_t, 4>, 256> colours{};             // by index, in layers but the background
    std::array<std::array<std::uint8_t, 4>, 256> background_colours{};  // by index, in the background layer

    // Room reused from frame to frame.
    std::vector<std::vector<std::uint8_t>> group_canvases;  // by depth
    std::vector<std::uint8_t> native_row;
    std::vector<std::uint8_t> present_row;  // a tilemap's: 0 where its tile is empty
    std::vector<std::uint8_t> rgba_row;

    explicit State(const AseFile& ase) : file(ase) {}

    void choose(const AseLayerChoice& choice);
    void check_tilemaps();
    bool works_out_indices() const;

    void start_frame(std::size_t number);
    std::vector<std::size_t> in_order(const std::vector<std::size_t>& layers) const;
    Rect cel_rect(std::size_t layer, const AseCel& cel) const;

    Rect compose(const std::vector<std::size_t>& layers, std::vector<std::uint8_t>& canvas, std::size_t depth);
    Rect draw_cel(std::size_t layer, std::vector<std::uint8_t>& canvas);
    const std::uint8_t* source_row(std::size_t layer, const AseCel& cel, std::int64_t y, std::int64_t left,
                                   std::int64_t right);
    void gather_tiles(const AseTilemap& tilemap, const AseTileset& tileset, std::int64_t ty, std::int64_t left,
                      std::int64_t right);
    void index_cel(std::size_t layer, AseIndexedPicture& picture);
    void index_layers(const std::vector<std::size_t>& layers, AseIndexedPicture& picture);
};

void AseComposer::State::choose(const AseLayerChoice& choice)
{
    const std::vector<AseLayer>& layers = file.layers;
    const std::set<std::string> names(choice.names.begin(), choice.names.end());
    std::string missing;
    for (const std::string& name : names) {
        if (std::none_of(layers.begin(), layers.end(), [&](const AseLayer& l) { return l.name == name; })) {
            if (!missing.empty()) missing += ", ";
            missing += quoted(name);
        }
    }
    if (!missing.empty()) {
        std::string known;
        for (const AseLayer& l : layers) {
            if (!known.empty()) known += ", ";
            known += quoted(l.name);
        }
        throw AseError("no layer is named " + missing + "; the file's layers are " + (known.empty() ? "none" : known));
    }
    // Parents come before their children, so one pass down the layers sees
    // each group's answer before its children ask for it.
    std::vector<char> shown(layers.size()), named_within(layers.size());
    drawn.assign(layers.size(), 0);
    for (std::size_t i = 0; i < layers.size(); ++i) {
        const AseLayer& layer = layers[i];
        const bool named = names.count(layer.name) != 0;
        const auto parent = layer.parent;
        shown[i] = layer.visible() && (!parent || shown[*parent]);
        if (choice.kind == AseLayerChoice::Kind::Only) {
            // Within a named group, its children show as they would.
            named_within[i] = named || (parent && named_within[*parent] && layer.visible());
            drawn[i] = named_within[i] && (named || !layer.reference());
        } else {
            named_within[i] = named || (parent && named_within[*parent]);
            drawn[i] = shown[i] && !layer.reference();
            if (choice.kind == AseLayerChoice::Kind::VisibleExcept && named_within[i]) drawn[i] = 0;
        }
        if (layer.type == AseLayerType::Group) drawn[i] = 0;  // drawn only for what it holds
    }
    for (std::size_t i = layers.size(); i-- > 0;) {
        if (drawn[i] && layers[i].parent) drawn[*layers[i].parent] = 1;
    }
    children.assign(layers.size(), {});
    for (std::size_t i = 0; i < layers.size(); ++i) {
        if (!drawn[i]) continue;
        (layers[i].parent ? children[*layers[i].parent] : top_level).push_back(i);
    }
}

void AseComposer::State::check_tilemaps()
{
    tileset_of.assign(file.layers.size(), nullptr);
    for (std::size_t i = 0; i < file.layers.size(); ++i) {
        const AseLayer& layer = file.layers[i];
        if (!drawn[i] || layer.type != AseLayerType::Tilemap) continue;
        const auto tileset = std::find_if(file.tilesets.begin(), file.tilesets.end(),
                                          [&](const AseTileset& t) { return t.id == layer.tileset_id; });
        const std::string named = "layer " + quoted(layer.name) + ": its tileset " + std::to_string(layer.tileset_id);
        if (tileset == file.tilesets.end()) throw AseError(named + " is not in the file");
        if (!tileset->tiles_in_file()) throw AseError(named + " keeps its tiles in another file");
        if (tileset->tile_width != tileset->tile_height) {
            for (const AseFrame& frame : file.frames) {
                for (const AseCel& cel : frame.cels) {
                    if (cel.layer != i) continue;
                    const AseTilemap& tilemap = file.tilemaps[cel.content];
                    for (const std::uint32_t tile : tilemap.tiles) {
                        if ((tile & tilemap.diagonal_flip_mask) != 0 && !is_empty(tile, tilemap, *tileset)) {
                            throw AseError(named + " has tiles of " + std::to_string(tileset->tile_width) + " x " +
                                           std::to_string(tileset->tile_height) +
                                           " pixels, which cannot be flipped on their diagonal");
                        }
                    }
                }
            }
        }
        tileset_of[i] = &*tileset;
    }
}

bool AseComposer::State::works_out_indices() const
{
    if (file.depth != AseColourDepth::Indexed) return false;
    for (std::size_t i = 0; i < file.layers.size(); ++i) {
        if (!drawn[i]) continue;
        const AseLayer& layer = file.layers[i];
        if (layer.type == AseLayerType::Group && !separate_groups) continue;
        if (layer.blend_mode != AseBlendMode::Normal) return false;
        if (file.layer_opacity_valid() && layer.opacity != Opaque) return false;
    }
    for (const AseFrame& frame : file.frames) {
        for (const AseCel& cel : frame.cels) {
            if (drawn[cel.layer] && cel.opacity != Opaque) return false;
        }
    }
    // The background shows every entry opaque; other layers, as the palette has it.
    for (const std::vector<AseColour>& palette : file.palettes) {
        for (std::size_t i = 0; i < palette.size(); ++i) {
            if (i != file.transparent_index && palette[i].alpha != Opaque) return false;
        }
    }
    return true;
}

void AseComposer::State::start_frame(std::size_t number)
{
    if (number >= file.frames.size()) {
        throw AseError("frame " + std::to_string(number) + " is past the file's " + std::to_string(file.frames.size()) +
                       " frames");
    }
    frame = &file.frames[number];
    cel_of.assign(file.layers.size(), NoCel);
    frame_has_z = false;
    for (std::size_t c = 0; c < frame->cels.size(); ++c) {
        cel_of[frame->cels[c].layer] = static_cast<std::int32_t>(c);
        frame_has_z = frame_has_z || frame->cels[c].z_index != 0;
    }
    const std::vector<AseColour>& palette = file.palettes[frame->palette];
    palette_size = palette.size();
    if (tables_palette == frame->palette) return;
    tables_palette = frame->palette;
    // An index past the palette draws nothing.
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const AseColour c = i < palette.size() ? palette[i] : AseColour{0, 0, 0, 0};
        colours[i] = {c.red, c.green, c.blue, c.alpha};
        background_colours[i] = {c.red, c.green, c.blue, static_cast<std::uint8_t>(i < palette.size() ? Opaque : 0)};
    }
    colours[file.transparent_index][3] = 0;
}

// Siblings by layer index plus z-index, then z-index, where a cel of the
// frame moves its layer.
std::vector<std::size_t> AseComposer::State::in_order(const std::vector<std::size_t>& layers) const
{
    if (!frame_has_z) return layers;
    const auto z = [&](std::size_t layer) -> std::int64_t {
        return cel_of[layer] == NoCel ? 0 : frame->cels[static_cast<std::size_t>(cel_of[layer])].z_index;
    };
    std::vector<std::size_t> ordered = layers;
    std::stable_sort(ordered.begin(), ordered.end(), [&](std::size_t a, std::size_t b) {
        const std::int64_t order_a = static_cast<std::int64_t>(a) + z(a);
        const std::int64_t order_b = static_cast<std::int64_t>(b) + z(b);
        return order_a < order_b || (order_a == order_b && z(a) < z(b));
    });
    return ordered;
}

Rect AseComposer::State::cel_rect(std::size_t layer, const AseCel& cel) const
{
    std::int64_t width = 0, height = 0;
    if (file.layers[layer].type == AseLayerType::Tilemap) {
        const AseTilemap& tilemap = file.tilemaps[cel.content];
        width = std::int64_t{tilemap.width} * tileset_of[layer]->tile_width;
        height = std::int64_t{tilemap.height} * tileset_of[layer]->tile_height;
    } else {
        width = file.images[cel.content].width;
        height = file.images[cel.content].height;
    }
    return {std::max<std::int64_t>(cel.x, 0), std::max<std::int64_t>(cel.y, 0),
            std::min<std::int64_t>(cel.x + width, file.width), std::min<std::int64_t>(cel.y + height, file.height)};
}

Rect AseComposer::State::compose(const std::vector<std::size_t>& layers, std::vector<std::uint8_t>& canvas,
                                 std::size_t depth)
{
    Rect touched;
    for (const std::size_t layer : in_order(layers)) {
        const AseLayer& l = file.layers[layer];
        if (l.type != AseLayerType::Group) {
            touched.add(draw_cel(layer, canvas));
            continue;
        }
        if (!separate_groups) {
            touched.add(compose(children[layer], canvas, depth));
            continue;
        }
        if (group_canvases.size() <= depth) group_canvases.resize(depth + 1);
        std::vector<std::uint8_t>& own = group_canvases[depth];
        own.resize(std::size_t{file.width} * file.height * 4);
        const Rect drawn_in = compose(children[layer], own, depth + 1);
        if (drawn_in.empty()) continue;
        const unsigned opacity = file.layer_opacity_valid() ? l.opacity : Opaque;
        const auto width = static_cast<std::size_t>(drawn_in.right - drawn_in.left);
        for (std::int64_t y = drawn_in.top; y < drawn_in.bottom; ++y) {
            const std::size_t at = (static_cast<std::size_t>(y) * file.width + static_cast<std::size_t>(drawn_in.left)) * 4;
            detail::blend_row(l.blend_mode, &canvas[at], &own[at], width, opacity);
            std::fill_n(own.begin() + static_cast<std::ptrdiff_t>(at), width * 4, 0);  // clear for the next group
        }
        touched.add(drawn_in);
    }
    return touched;
}

Rect AseComposer::State::draw_cel(std::size_t layer, std::vector<std::uint8_t>& canvas)
{
    if (cel_of[layer] == NoCel) return {};
    const AseLayer& l = file.layers[layer];
    const AseCel& cel = frame->cels[static_cast<std::size_t>(cel_of[layer])];
    const unsigned opacity = times_opacity(cel.opacity, file.layer_opacity_valid() ? l.opacity : Opaque);
    const Rect rect = cel_rect(layer, cel);
    if (opacity == 0 || rect.empty()) return {};
    const auto width = static_cast<std::size_t>(rect.right - rect.left);
    for (std::int64_t y = rect.top; y < rect.bottom; ++y) {
        const std::uint8_t* source = source_row(layer, cel, y, rect.left, rect.right);
        const std::size_t at = (static_cast<std::size_t>(y) * file.width + static_cast<std::size_t>(rect.left)) * 4;
        detail::blend_row(l.blend_mode, &canvas[at], source, width, opacity);
    }
    return rect;
}

// A cel's row y from canvas column `left` to `right`, as RGBA: the image's
// own bytes where they are that already, else converted into rgba_row.
const std::uint8_t* AseComposer::State::source_row(std::size_t layer, const AseCel& cel, std::int64_t y,
                                                   std::int64_t left, std::int64_t right)
{
    const AseLayer& l = file.layers[layer];
    const auto count = static_cast<std::size_t>(right - left);
    const std::uint8_t* native = nullptr;
    const bool tilemap = l.type == AseLayerType::Tilemap;
    if (tilemap) {
        gather_tiles(file.tilemaps[cel.content], *tileset_of[layer], y - cel.y, left - cel.x, right - cel.x);
        native = native_row.data();
    } else {
        const AseImage& image = file.images[cel.content];
        const std::size_t at = static_cast<std::size_t>(y - cel.y) * image.width + static_cast<std::size_t>(left - cel.x);
        native = &image.pixels[at * bytes_per_pixel(file.depth)];
        if (file.depth == AseColourDepth::Rgba && !l.background()) return native;
    }
    rgba_row.resize(count * 4);
    std::uint8_t* out = rgba_row.data();
    switch (file.depth) {
    case AseColourDepth::Rgba:
        std::copy_n(native, count * 4, out);
        if (l.background()) {
            for (std::size_t i = 0; i < count; ++i) out[i * 4 + 3] = Opaque;
        }
        break;
    case AseColourDepth::Grayscale:
        for (std::size_t i = 0; i < count; ++i) {
            out[i * 4] = out[i * 4 + 1] = out[i * 4 + 2] = native[i * 2];
            out[i * 4 + 3] = l.background() ? Opaque : native[i * 2 + 1];
        }
        break;
    case AseColourDepth::Indexed: {
        const auto& table = l.background() ? background_colours : colours;
        for (std::size_t i = 0; i < count; ++i) std::copy_n(table[native[i]].data(), 4, out + i * 4);
        break;
    }
    }
    if (tilemap) {
        for (std::size_t i = 0; i < count; ++i) {
            if (present_row[i] == 0) out[i * 4 + 3] = 0;
        }
    }
    return out;
}

// A tilemap's row `ty` (in pixels from its top) between columns `left` and
// `right`, in the file's depth, into native_row; present_row says where a
// tile is empty. Flips: the diagonal first, then x, then y.
void AseComposer::State::gather_tiles(const AseTilemap& tilemap, const AseTileset& tileset, std::int64_t ty,
                                      std::int64_t left, std::int64_t right)
{
    const std::size_t pixel_bytes = bytes_per_pixel(file.depth);
    const auto count = static_cast<std::size_t>(right - left);
    native_row.resize(count * pixel_bytes);
    present_row.resize(count);
    const std::int64_t tile_width = tileset.tile_width, tile_height = tileset.tile_height;
    const std::uint32_t* tiles = &tilemap.tiles[static_cast<std::size_t>(ty / tile_height) * tilemap.width];
    const std::int64_t v = ty % tile_height;
    for (std::size_t i = 0; i < count; ++i) {
        const std::int64_t tx = left + static_cast<std::int64_t>(i);
        const std::uint32_t tile = tiles[tx / tile_width];
        const bool empty = is_empty(tile, tilemap, tileset);
        present_row[i] = empty ? 0 : 1;
        if (empty) {
            std::fill_n(&native_row[i * pixel_bytes], pixel_bytes, 0);
            continue;
        }
        std::int64_t u = tx % tile_width, w = v;
        if ((tile & tilemap.y_flip_mask) != 0) w = tile_height - 1 - w;
        if ((tile & tilemap.x_flip_mask) != 0) u = tile_width - 1 - u;
        if ((tile & tilemap.diagonal_flip_mask) != 0) std::swap(u, w);
        const std::size_t at =
                (std::size_t{tile & tilemap.id_mask} * static_cast<std::size_t>(tile_height) + static_cast<std::size_t>(w)) *
                        static_cast<std::size_t>(tile_width) +
                static_cast<std::size_t>(u);
        std::copy_n(&tileset.pixels[at * pixel_bytes], pixel_bytes, &native_row[i * pixel_bytes]);
    }
}

void AseComposer::State::index_cel(std::size_t layer, AseIndexedPicture& picture)
{
    if (cel_of[layer] == NoCel) return;
    const AseLayer& l = file.layers[layer];
    const AseCel& cel = frame->cels[static_cast<std::size_t>(cel_of[layer])];
    const Rect rect = cel_rect(layer, cel);
    if (rect.empty()) return;
    const bool tilemap = l.type == AseLayerType::Tilemap;
    const auto count = static_cast<std::size_t>(rect.right - rect.left);
    // The transparent index is a colour in the background layer.
    const unsigned transparent = l.background() ? 256 : file.transparent_index;
    for (std::int64_t y = rect.top; y < rect.bottom; ++y) {
        const std::uint8_t* source = nullptr;
        if (tilemap) {
            gather_tiles(file.tilemaps[cel.content], *tileset_of[layer], y - cel.y, rect.left - cel.x, rect.right - cel.x);
            source = native_row.data();
        } else {
            const AseImage& image = file.images[cel.content];
            source = &image.pixels[static_cast<std::size_t>(y - cel.y) * image.width +
                                   static_cast<std::size_t>(rect.left - cel.x)];
        }
        const std::size_t at = static_cast<std::size_t>(y) * file.width + static_cast<std::size_t>(rect.left);
        std::uint8_t* indices = &picture.indices[at];
        std::uint8_t* alpha = &picture.alpha[at];
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t index = source[i];
            if (index == transparent || index >= palette_size || (tilemap && present_row[i] == 0)) continue;
            indices[i] = index;
            alpha[i] = Opaque;
        }
    }
}

void AseComposer::State::index_layers(const std::vector<std::size_t>& layers, AseIndexedPicture& picture)
{
    for (const std::size_t layer : in_order(layers)) {
        if (file.layers[layer].type == AseLayerType::Group) {
            index_layers(children[layer], picture);
        } else {
            index_cel(layer, picture);
        }
    }
}

AseComposer::AseComposer(const AseFile& file, const AseLayerChoice& choice) : state_(std::make_unique<State>(file))
{
    state_->separate_groups = file.group_blend_valid();
    state_->choose(choice);
    state_->check_tilemaps();
    state_->indices_exact = state_->works_out_indices();
}

AseComposer::~AseComposer() = default;

std::vector<std::uint8_t> AseComposer::rgba(std::size_t frame)
{
    State& s = *state_;
    s.start_frame(frame);
    std::vector<std::uint8_t> canvas(std::size_t{s.file.width} * s.file.height * 4, 0);
    s.compose(s.top_level, canvas, 0);
    return canvas;
}

bool AseComposer::has_indices() const { return state_->indices_exact; }

AseIndexedPicture AseComposer::indices(std::size_t frame)
{
    State& s = *state_;
    if (!s.indices_exact) {
        throw AseError("the chosen layers blend, are not fully opaque, or are not indexed, so have no indexed form");
    }
    s.start_frame(frame);
    const std::size_t pixels = std::size_t{s.file.width} * s.file.height;
    AseIndexedPicture picture{std::vector<std::uint8_t>(pixels, s.file.transparent_index),
                              std::vector<std::uint8_t>(pixels, 0)};
    s.index_layers(s.top_level, picture);
    return picture;
}

}  // namespace tess
