// The manifest keys that say where a scene's pictures come from and how they are placed.
#include "scene_keys.hpp"

#include <charconv>
#include <cmath>
#include <set>
#include <sstream>

#include "pack/text.hpp"

namespace tess {

namespace {

// Cells, margins, spacing and crops beyond this are no sprite sheet's.
constexpr std::int64_t MaxSheetSide = 65535;
// An atlas holds at most this many frames.
constexpr std::int64_t MaxAtlasFrame = 65535;

void read_trim(const KeyReader& keys, const toml::node& node, Trim& trim)
{
    if (node.is_boolean()) {
        trim = *node.value<bool>() ? Trim::Scene : Trim::None;
    } else if (node.is_string() && *node.value<std::string_view>() == "together") {
        trim = Trim::Together;
    } else {
        keys.fail(&node, "'trim' must be true, false or \"together\"");
    }
}

// The keys a scene and the top share.
void read_shared_placement(const KeyReader& keys, const toml::table& table, Placement& out, Faults& faults)
{
    faults.check([&] {
        if (const toml::node* trim = table.get("trim")) read_trim(keys, *trim, out.trim);
    });
    faults.check([&] {
        const toml::node* anchor = table.get("anchor");
        if (!anchor) return;
        const auto parsed = anchor->is_string() ? parse_anchor(*anchor->value<std::string_view>()) : std::nullopt;
        if (!parsed) keys.fail(anchor, "'anchor' must be \"left\", \"center\" or \"right\"");
        out.anchor = *parsed;
    });
    faults.check([&] {
        const toml::node* crop = table.get("crop");
        if (!crop) return;
        const toml::array& list = keys.array(*crop, "crop", "four whole numbers [x, y, width, height]");
        if (list.size() != 4) keys.fail(crop, "'crop' must be four numbers [x, y, width, height], not " + std::to_string(list.size()));
        out.crop = Crop{static_cast<int>(keys.whole(list[0], "crop", 0, MaxSheetSide, true)),
                        static_cast<int>(keys.whole(list[1], "crop", 0, MaxSheetSide, true)),
                        static_cast<int>(keys.whole(list[2], "crop", 1, MaxSheetSide, true)),
                        static_cast<int>(keys.whole(list[3], "crop", 1, MaxSheetSide, true))};
    });
    faults.check([&] {
        const toml::node* scale = table.get("scale");
        if (!scale) return;
        const std::optional<double> value = scale->is_floating_point() || scale->is_integer() ? scale->value<double>() : std::nullopt;
        if (!value || !(*value > 0 && *value <= 1)) keys.fail(scale, "'scale' must be a number above 0 and at most 1");
        out.scale = *value;
    });
    faults.check([&] {
        const toml::node* filter = table.get("scale_filter");
        if (!filter) return;
        const auto parsed = filter->is_string() ? parse_scale_filter(*filter->value<std::string_view>()) : std::nullopt;
        if (!parsed) keys.fail(filter, "'scale_filter' must be \"area\" or \"nearest\"");
        out.scale_filter = *parsed;
    });
}

// "10-19" or 7: the atlas frames a view plays.
std::vector<int> indices_of(const KeyReader& keys, const toml::node& list)
{
    std::vector<int> indices;
    for (const toml::node& item : keys.array(list, "frame_indices", "frame numbers and ranges \"first-last\"")) {
        if (item.is_integer()) {
            indices.push_back(static_cast<int>(keys.whole(item, "frame_indices", 0, MaxAtlasFrame, true)));
            continue;
        }
        const std::optional<std::string_view> text = item.value<std::string_view>();
        std::int64_t first = -1, last = -1;
        if (item.is_string()) {
            const std::size_t dash = text->find('-');
            const auto number = [&](std::string_view digits, std::int64_t& out) {
                const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), out);
                return error == std::errc{} && end == digits.data() + digits.size() && !digits.empty();
            };
            if (dash == std::string_view::npos || !number(text->substr(0, dash), first) || !number(text->substr(dash + 1), last)) {
                first = last = -1;
            }
        }
        if (first < 0 || last < 0) keys.fail(&item, "'frame_indices' must hold frame numbers and ranges \"first-last\"");
        if (first > last) keys.fail(&item, "'frame_indices' holds the range " + std::string(*text) + ", which runs backwards");
        if (last > MaxAtlasFrame) keys.fail(&item, "'frame_indices' holds " + std::to_string(last) + ", outside 0 to " + std::to_string(MaxAtlasFrame));
        // A view has at most 255 frames: a longer range is refused before it is spelled out.
        if (last - first + 1 + static_cast<std::int64_t>(indices.size()) > 255) {
            keys.fail(&item, "'frame_indices' gives more than 255 frames a view");
        }
        for (std::int64_t k = first; k <= last; ++k) indices.push_back(static_cast<int>(k));
    }
    return indices;
}

void write_list(std::ostream& out, const std::vector<int>& values)
{
    out << "[";
    for (std::size_t i = 0; i < values.size(); ++i) out << (i ? ", " : "") << values[i];
    out << "]";
}

void write_strings(std::ostream& out, const char* key, const std::vector<std::string>& values)
{
    if (values.empty()) return;
    out << key << " = [";
    for (std::size_t i = 0; i < values.size(); ++i) out << (i ? ", " : "") << toml_string(values[i]);
    out << "]\n";
}

// Frame numbers with each run of three or more written as a range.
void write_indices(std::ostream& out, const std::vector<int>& indices)
{
    out << "[";
    for (std::size_t i = 0; i < indices.size();) {
        std::size_t end = i + 1;
        while (end < indices.size() && indices[end] == indices[end - 1] + 1) ++end;
        out << (i ? ", " : "");
        if (end - i >= 3) {
            out << "\"" << indices[i] << "-" << indices[end - 1] << "\"";
        } else {
            for (std::size_t k = i; k < end; ++k) out << (k > i ? ", " : "") << indices[k];
        }
        i = end;
    }
    out << "]";
}

}  // namespace

void check_count(const KeyReader& keys, const toml::node* node, std::string_view what, std::size_t given, std::size_t wanted,
                 const std::string& because)
{
    if (given != wanted) keys.fail(node, std::to_string(given) + " " + std::string(what) + " given, " + because + " is " + std::to_string(wanted));
}

void count_frames(const KeyReader& keys, const toml::node* node, std::size_t count, int views, std::string_view what, ManifestScene& out)
{
    try {
        out.frames = frames_of(count, views, out.frames_stated ? std::optional(out.frames) : std::nullopt, what);
    } catch (const PackError& fault) {
        keys.fail(node, fault.what());
    }
    out.frames_stated = true;
}

Placement read_placement_defaults(const KeyReader& keys, const toml::table& root, Faults& faults)
{
    Placement defaults;
    read_shared_placement(keys, root, defaults, faults);
    return defaults;
}

void read_placement(const KeyReader& keys, const toml::table& scene, int views, ManifestScene& out)
{
    Faults faults;
    read_shared_placement(keys, scene, out.placement, faults);
    faults.raise();
    if (const toml::node* mirrored = scene.get("mirrored")) {
        if (!out.placement.mirrored.empty()) keys.fail(mirrored, "give 'mirrored' in the sheet or the scene, not both");
        out.placement.mirrored = keys.numbers(*mirrored, "mirrored", 0, views - 1);
    }
    if (const toml::node* heights = scene.get("heights")) {
        out.placement.heights = keys.numbers(*heights, "heights", 0, 255);
        if (out.frames_stated && out.frames >= 0) {
            check_count(keys, heights, "heights", out.placement.heights.size(),
                        static_cast<std::size_t>(views) * static_cast<std::size_t>(out.frames), "one an image: views x frames");
        }
    }
}

SheetGrid read_grid(const KeyReader& keys, const toml::table& table, int views, ManifestScene& out)
{
    Faults faults;
    check_known_keys(keys, table, {"file", "cell", "margin", "spacing", "rows", "columns", "cells", "mirrored"}, faults, " in 'sheet'");
    faults.raise();
    const bool gif = out.frames_from != FramesFrom::Pictures;
    const toml::node* file = table.get("file");
    if (!file) keys.fail(&table, "the 'sheet' table needs its 'file'");
    out.sheet = keys.path(*file, "file");
    const toml::node* cell = table.get("cell");
    if (!cell) keys.fail(&table, "the 'sheet' table needs 'cell = [width, height]'");
    SheetGrid grid;
    std::tie(grid.cell_width, grid.cell_height) = keys.pair(*cell, "cell", 1, MaxSheetSide);
    if (const toml::node* margin = table.get("margin")) std::tie(grid.margin_x, grid.margin_y) = keys.pair(*margin, "margin", 0, MaxSheetSide);
    if (const toml::node* spacing = table.get("spacing")) {
        std::tie(grid.spacing_x, grid.spacing_y) = keys.pair(*spacing, "spacing", 0, MaxSheetSide);
    }
    const toml::node* rows = table.get("rows");
    const toml::node* columns = table.get("columns");
    const toml::node* cells = table.get("cells");
    if (cells && (rows || columns)) keys.fail(cells, "give 'cells' or 'rows' and 'columns', not both");
    if (gif && columns) keys.fail(columns, "the GIF's frames are the scene's frames; 'columns' does not apply, the grid gives a cell a view");
    if (rows) {
        grid.rows = keys.numbers(*rows, "rows", 0, MaxSheetSide);
        check_count(keys, rows, "rows", grid.rows.size(), static_cast<std::size_t>(views), "views");
    }
    if (columns) {
        grid.columns = keys.numbers(*columns, "columns", 0, MaxSheetSide);
        if (!out.frames_stated) count_frames(keys, columns, grid.columns.size(), 1, "columns", out);
        check_count(keys, columns, "columns", grid.columns.size(), static_cast<std::size_t>(out.frames), "frames");
    }
    if (cells) {
        for (const toml::node& item : keys.array(*cells, "cells", "[column, row] pairs")) {
            grid.cells.push_back(keys.pair(item, "cells", 0, MaxSheetSide));
        }
        if (gif) {
            check_count(keys, cells, "cells", grid.cells.size(), static_cast<std::size_t>(views), "one a view: views");
        } else {
            count_frames(keys, cells, grid.cells.size(), views, "cells", out);
        }
    }
    if (const toml::node* mirrored = table.get("mirrored")) {
        if (gif) keys.fail(mirrored, "frames_from = \"gif\" takes each frame as drawn; 'mirrored' does not apply");
        out.placement.mirrored = keys.numbers(*mirrored, "mirrored", 0, views - 1);
    }
    return grid;
}

AtlasChoice read_atlas(const KeyReader& keys, const toml::table& scene, int views, ManifestScene& out)
{
    AtlasChoice choice;
    choice.file = keys.path(*scene.get("atlas"), "atlas");
    const toml::node* tags = scene.get("tags");
    const toml::node* names = scene.get("frame_names");
    const toml::node* indices = scene.get("frame_indices");
    if ((tags ? 1 : 0) + (names ? 1 : 0) + (indices ? 1 : 0) > 1) {
        keys.fail(tags && names ? names : indices, tags && names && !indices ? "give 'tags' or 'frame_names', not both"
                                                                           : "give one of 'tags', 'frame_names' and 'frame_indices'");
    }
    if (const toml::node* image = scene.get("atlas_image")) choice.image = keys.path(*image, "atlas_image");
    if (tags) {
        choice.tags = keys.strings(*tags, "tags");
        check_count(keys, tags, "tags", choice.tags.size(), static_cast<std::size_t>(views), "one a view: views");
    }
    if (names) {
        choice.frame_names = keys.strings(*names, "frame_names");
        count_frames(keys, names, choice.frame_names.size(), views, "frame names", out);
    }
    if (indices) {
        // A list of numbers and ranges is one view; a list of such lists, one a view.
        const toml::array& list = keys.array(*indices, "frame_indices", "frame numbers and ranges \"first-last\", or a list of them a view");
        if (!list.empty() && list[0].is_array()) {
            for (const toml::node& view : list) choice.frame_indices.push_back(indices_of(keys, view));
        } else {
            choice.frame_indices.push_back(indices_of(keys, *indices));
        }
        check_count(keys, indices, "lists of frame indices", choice.frame_indices.size(), static_cast<std::size_t>(views), "one a view: views");
        for (const std::vector<int>& view : choice.frame_indices) {
            if (view.size() != choice.frame_indices.front().size()) {
                keys.fail(indices, "the views' frame indices differ in number: every view needs as many frames");
            }
        }
        count_frames(keys, indices, choice.frame_indices.front().size() * choice.frame_indices.size(), views, "frame indices", out);
    }
    if (const toml::node* layers = scene.get("layers")) choice.layers = keys.strings(*layers, "layers");
    if (const toml::node* ignored = scene.get("ignore_layers")) choice.ignore_layers = keys.strings(*ignored, "ignore_layers");
    if (!choice.layers.empty() && !choice.ignore_layers.empty()) keys.fail(scene.get("ignore_layers"), "give 'layers' or 'ignore_layers', not both");
    return choice;
}

std::string grid_text(const std::string& file, const SheetGrid& grid)
{
    std::ostringstream out;
    out << "sheet = { file = " << toml_string(file) << ", cell = [" << grid.cell_width << ", " << grid.cell_height
        << "], margin = [" << grid.margin_x << ", " << grid.margin_y << "], spacing = [" << grid.spacing_x << ", "
        << grid.spacing_y << "]";
    if (!grid.rows.empty()) out << ", rows = ", write_list(out, grid.rows);
    if (!grid.columns.empty()) out << ", columns = ", write_list(out, grid.columns);
    if (!grid.cells.empty()) {
        out << ", cells = [";
        for (std::size_t i = 0; i < grid.cells.size(); ++i) {
            out << (i ? ", " : "") << "[" << grid.cells[i].first << ", " << grid.cells[i].second << "]";
        }
        out << "]";
    }
    out << " }\n";
    return out.str();
}

std::string atlas_text(const AtlasChoice& atlas)
{
    std::ostringstream out;
    out << "atlas = " << toml_string(atlas.file) << "\n";
    if (!atlas.image.empty()) out << "atlas_image = " << toml_string(atlas.image) << "\n";
    write_strings(out, "tags", atlas.tags);
    write_strings(out, "frame_names", atlas.frame_names);
    if (!atlas.frame_indices.empty()) {
        out << "frame_indices = [";
        for (std::size_t v = 0; v < atlas.frame_indices.size(); ++v) out << (v ? ", " : ""), write_indices(out, atlas.frame_indices[v]);
        out << "]\n";
    }
    write_strings(out, "layers", atlas.layers);
    write_strings(out, "ignore_layers", atlas.ignore_layers);
    return out.str();
}

std::string placement_text(const Placement& placement, const Placement& base)
{
    std::ostringstream out;
    if (placement.mirrored != base.mirrored) out << "mirrored = ", write_list(out, placement.mirrored), out << "\n";
    if (placement.trim != base.trim) {
        out << "trim = " << (placement.trim == Trim::Together ? "\"together\"" : placement.trim == Trim::Scene ? "true" : "false") << "\n";
    }
    if (placement.anchor != base.anchor) out << "anchor = " << toml_string(anchor_name(placement.anchor)) << "\n";
    if (placement.crop && placement.crop != base.crop) {
        const Crop& crop = *placement.crop;
        out << "crop = [" << crop.x << ", " << crop.y << ", " << crop.w << ", " << crop.h << "]\n";
    }
    if (placement.scale != base.scale) {
        // The shortest digits that read back as the same number.
        char digits[32];
        const auto end = std::to_chars(digits, digits + sizeof digits, placement.scale).ptr;
        std::string text(digits, end);
        if (text.find_first_of(".e") == std::string::npos) text += ".0";
        out << "scale = " << text << "\n";
    }
    if (placement.scale_filter != base.scale_filter) out << "scale_filter = " << toml_string(scale_filter_name(placement.scale_filter)) << "\n";
    if (!placement.heights.empty()) out << "heights = ", write_list(out, placement.heights), out << "\n";
    return out.str();
}

}  // namespace tess
