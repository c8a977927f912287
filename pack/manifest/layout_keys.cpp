#include "layout_keys.hpp"

#include <set>
#include <sstream>

#include "pack/error.hpp"
#include "pack/text.hpp"

namespace tess {

namespace {

// Cells, margins and spacing beyond this are no sprite sheet's.
constexpr std::int64_t MaxSheetSide = 65535;

class Keys {
public:
    Keys(const std::string& file, const std::string& in) : file_(file), in_(in) {}

    [[noreturn]] void fail(const toml::node* node, const std::string& what) const
    {
        PackLocation where = in_file(file_);
        if (node && node->source().begin) {
            where.line = static_cast<int>(node->source().begin.line);
            where.column = static_cast<int>(node->source().begin.column);
        }
        throw PackError(Fault::Manifest, what + in_, where);
    }

    int whole(const toml::node& node, const std::string& key, std::int64_t low, std::int64_t high) const
    {
        const toml::value<std::int64_t>* integer = node.as_integer();
        if (!integer) fail(&node, "'" + key + "' must hold whole numbers");
        if (integer->get() < low || integer->get() > high) {
            fail(&node, "'" + key + "' holds " + std::to_string(integer->get()) + ", outside " + std::to_string(low) +
                            " to " + std::to_string(high));
        }
        return static_cast<int>(integer->get());
    }

    const toml::array& array(const toml::node& node, const std::string& key, const std::string& of) const
    {
        const toml::array* list = node.as_array();
        if (!list) fail(&node, "'" + key + "' must be an array of " + of);
        return *list;
    }

    std::vector<int> numbers(const toml::node& node, const std::string& key, std::int64_t high) const
    {
        std::vector<int> result;
        for (const toml::node& item : array(node, key, "whole numbers")) result.push_back(whole(item, key, 0, high));
        return result;
    }

    std::pair<int, int> pair(const toml::node& node, const std::string& key, std::int64_t low) const
    {
        const toml::array& list = array(node, key, "two whole numbers");
        if (list.size() != 2) fail(&node, "'" + key + "' must be two numbers [x, y], not " + std::to_string(list.size()));
        return {whole(list[0], key, low, MaxSheetSide), whole(list[1], key, low, MaxSheetSide)};
    }

    std::vector<std::string> strings(const toml::node& node, const std::string& key) const
    {
        std::vector<std::string> result;
        for (const toml::node& item : array(node, key, "strings")) {
            if (!item.is_string()) fail(&item, "'" + key + "' must be an array of strings");
            result.emplace_back(*item.value<std::string_view>());
        }
        return result;
    }

    std::string path(const toml::node& node, const std::string& key) const
    {
        if (!node.is_string()) fail(&node, "'" + key + "' must be a path");
        std::string value(*node.value<std::string_view>());
        if (value.empty() || value.find('\0') != std::string::npos) fail(&node, "'" + key + "' must be a path");
        return value;
    }

    void placement(const toml::table& table, Placement& out) const
    {
        if (const toml::node* trim = table.get("trim")) {
            if (!trim->is_boolean()) fail(trim, "'trim' must be true or false");
            out.trim = *trim->value<bool>();
        }
        if (const toml::node* anchor = table.get("anchor")) {
            const auto parsed = anchor->is_string() ? parse_anchor(std::string(*anchor->value<std::string_view>()))
                                                    : std::nullopt;
            if (!parsed) fail(anchor, "'anchor' must be \"left\", \"center\" or \"right\"");
            out.anchor = *parsed;
        }
    }

    // `frames` counted from a list of `count` items that make `views` views.
    void frames_from(const toml::node* node, std::size_t count, const std::string& what, int views, ManifestScene& out) const
    {
        const std::optional<int> frames = frames_a_view(count, views);
        if (!frames) fail(node, no_frames_a_view(count, what, views) + "; give 'frames'");
        out.frames = *frames;
        out.frames_stated = true;
    }

    void count_is(const toml::node* node, const std::string& what, std::size_t given, std::size_t wanted,
                  const std::string& because) const
    {
        if (given != wanted) {
            fail(node, std::to_string(given) + " " + what + " given, " + because + " is " + std::to_string(wanted));
        }
    }

private:
    const std::string& file_;
    const std::string& in_;
};

SheetGrid read_grid(const Keys& keys, const toml::table& table, int views, ManifestScene& out)
{
    for (const auto& [key, value] : table) {
        static const std::set<std::string_view> known{"file",    "cell",  "margin", "spacing",
                                                      "rows",    "columns", "cells", "mirrored"};
        if (!known.contains(key.str())) keys.fail(&value, "unknown key '" + std::string(key.str()) + "' in 'sheet'");
    }
    const toml::node* file = table.get("file");
    if (!file) keys.fail(&table, "the 'sheet' table needs its 'file'");
    out.sheet = keys.path(*file, "file");
    const toml::node* cell = table.get("cell");
    if (!cell) keys.fail(&table, "the 'sheet' table needs 'cell = [width, height]'");
    SheetGrid grid;
    std::tie(grid.cell_width, grid.cell_height) = keys.pair(*cell, "cell", 1);
    if (const toml::node* margin = table.get("margin")) std::tie(grid.margin_x, grid.margin_y) = keys.pair(*margin, "margin", 0);
    if (const toml::node* spacing = table.get("spacing")) {
        std::tie(grid.spacing_x, grid.spacing_y) = keys.pair(*spacing, "spacing", 0);
    }
    const toml::node* rows = table.get("rows");
    const toml::node* columns = table.get("columns");
    const toml::node* cells = table.get("cells");
    if (cells && (rows || columns)) keys.fail(cells, "give 'cells' or 'rows' and 'columns', not both");
    if (rows) {
        grid.rows = keys.numbers(*rows, "rows", MaxSheetSide);
        keys.count_is(rows, "rows", grid.rows.size(), static_cast<std::size_t>(views), "views");
    }
    if (columns) {
        grid.columns = keys.numbers(*columns, "columns", MaxSheetSide);
        if (!out.frames_stated) keys.frames_from(columns, grid.columns.size(), "columns", 1, out);
        keys.count_is(columns, "columns", grid.columns.size(), static_cast<std::size_t>(out.frames), "frames");
    }
    if (cells) {
        for (const toml::node& item : keys.array(*cells, "cells", "[column, row] pairs")) {
            grid.cells.push_back(keys.pair(item, "cells", 0));
        }
        if (!out.frames_stated) keys.frames_from(cells, grid.cells.size(), "cells", views, out);
        keys.count_is(cells, "cells", grid.cells.size(), static_cast<std::size_t>(views) * static_cast<std::size_t>(out.frames),
                      "views x frames = " + std::to_string(views) + " x " + std::to_string(out.frames));
    }
    if (const toml::node* mirrored = table.get("mirrored")) {
        out.placement.mirrored = keys.numbers(*mirrored, "mirrored", views - 1);
    }
    return grid;
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

}  // namespace

Placement read_placement_defaults(const toml::table& root, const std::string& file)
{
    const std::string in;
    Placement defaults;
    Keys(file, in).placement(root, defaults);
    return defaults;
}

void read_layout_keys(const toml::table& scene, const std::string& file, const std::string& in, int views,
                      const Placement& defaults, ManifestScene& out)
{
    const Keys keys(file, in);
    out.placement = defaults;
    keys.placement(scene, out.placement);
    if (const toml::node* sheet = scene.get("sheet"); sheet && sheet->is_table()) {
        out.grid = read_grid(keys, *sheet->as_table(), views, out);
    }
    if (const toml::node* mirrored = scene.get("mirrored")) {
        if (out.grid && !out.placement.mirrored.empty()) keys.fail(mirrored, "give 'mirrored' in the sheet or the scene, not both");
        out.placement.mirrored = keys.numbers(*mirrored, "mirrored", views - 1);
    }
    const toml::node* atlas = scene.get("atlas");
    const toml::node* tags = scene.get("tags");
    const toml::node* names = scene.get("frame_names");
    const toml::node* image = scene.get("atlas_image");
    if (!atlas) {
        for (const auto& [node, key] : {std::pair{tags, "tags"}, {names, "frame_names"}, {image, "atlas_image"}}) {
            if (node) keys.fail(node, "'" + std::string(key) + "' needs an 'atlas'");
        }
        return;
    }
    if (tags && names) keys.fail(names, "give 'tags' or 'frame_names', not both");
    AtlasChoice choice;
    choice.file = keys.path(*atlas, "atlas");
    if (image) choice.image = keys.path(*image, "atlas_image");
    if (tags) {
        choice.tags = keys.strings(*tags, "tags");
        keys.count_is(tags, "tags", choice.tags.size(), static_cast<std::size_t>(views), "one a view: views");
    }
    if (names) {
        choice.frame_names = keys.strings(*names, "frame_names");
        const std::size_t given = choice.frame_names.size();
        if (!out.frames_stated) keys.frames_from(names, given, "frame names", views, out);
        keys.count_is(names, "frame names", given, static_cast<std::size_t>(views) * static_cast<std::size_t>(out.frames),
                      "views x frames = " + std::to_string(views) + " x " + std::to_string(out.frames));
    }
    out.atlas = std::move(choice);
}

std::string layout_text(const ManifestScene& scene)
{
    std::ostringstream out;
    if (scene.grid) {
        const SheetGrid& grid = *scene.grid;
        out << "sheet = { file = " << toml_string(scene.sheet) << ", cell = [" << grid.cell_width << ", "
            << grid.cell_height << "], margin = [" << grid.margin_x << ", " << grid.margin_y << "], spacing = ["
            << grid.spacing_x << ", " << grid.spacing_y << "]";
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
    }
    if (scene.atlas) {
        out << "atlas = " << toml_string(scene.atlas->file) << "\n";
        if (!scene.atlas->image.empty()) out << "atlas_image = " << toml_string(scene.atlas->image) << "\n";
        write_strings(out, "tags", scene.atlas->tags);
        write_strings(out, "frame_names", scene.atlas->frame_names);
    }
    if (!scene.placement.mirrored.empty()) out << "mirrored = ", write_list(out, scene.placement.mirrored), out << "\n";
    if (scene.placement.trim) out << "trim = true\n";
    if (scene.placement.anchor != Anchor::Left) out << "anchor = " << toml_string(anchor_name(scene.placement.anchor)) << "\n";
    return out.str();
}

}  // namespace tess
