#include "pack/manifest.hpp"

#include <toml++/toml.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "colour_keys.hpp"
#include "layout_keys.hpp"
#include "pack/error.hpp"
#include "pack/patterns.hpp"
#include "pack/text.hpp"
#include "tile/format.hpp"
#include "tile/records.hpp"

namespace tess {

namespace {

// toml++ parses dotted keys, table headers and nested values by recursion,
// without a limit of its own; a real manifest is nested three deep.
constexpr int MaxNesting = 128;

// Refuses text whose keys have more than MaxNesting parts or whose values
// nest deeper, before the parser sees it. A cheap scan: strings and comments
// are stepped over, dots are counted only where a key is read.
void check_nesting(std::string_view text, const std::string& file)
{
    int line = 1, column = 0;
    std::vector<char> open;  // the brackets of values and of a table header
    bool in_key = true;      // at a line's start, or after '{' or ',' in an inline table
    bool in_header = false;
    int key_parts = 1;
    const auto fail = [&](const std::string& what) {
        throw PackError(Fault::Manifest, what + "; at most " + std::to_string(MaxNesting), in_file(file, line, column));
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        ++column;
        if (c == '\n') {
            ++line;
            column = 0;
            if (open.empty()) in_key = true, key_parts = 1;
            continue;
        }
        if (c == '#') {
            while (i + 1 < text.size() && text[i + 1] != '\n') ++i;
            continue;
        }
        if (c == '"' || c == '\'') {
            const bool triple = text.substr(i, 3) == std::string(3, c);
            const std::string_view end = triple ? text.substr(i, 3) : text.substr(i, 1);
            for (i += end.size(); i < text.size() && text.substr(i, end.size()) != end; ++i) {
                if (text[i] == '\\' && c == '"') ++i;
                if (i < text.size() && text[i] == '\n') ++line, column = 0;
            }
            i += end.size() - 1;
            continue;
        }
        if (in_key || in_header) {
            if (c == '.' && ++key_parts > MaxNesting) fail("a key of more than " + std::to_string(MaxNesting) + " parts");
            if (c == '=') in_key = false, key_parts = 1;
            if (c == '[' && open.empty() && !in_header) in_header = true, in_key = false;
            if (c == ']' && in_header && (i + 1 >= text.size() || text[i + 1] != ']')) in_header = false, key_parts = 1;
            continue;
        }
        if (c == '[' || c == '{') {
            open.push_back(c);
            if (open.size() > MaxNesting) fail("values nested more than " + std::to_string(MaxNesting) + " deep");
            if (c == '{') in_key = true, key_parts = 1;
        } else if ((c == ']' || c == '}') && !open.empty()) {
            open.pop_back();
        } else if (c == ',' && !open.empty() && open.back() == '{') {
            in_key = true;
            key_parts = 1;
        }
    }
}

// Reports what is wrong at a node's place in the manifest.
class Checker {
public:
    explicit Checker(std::string file) : file_(std::move(file)) {}

    [[noreturn]] void fail(const toml::node* node, const std::string& what) const
    {
        fail(node ? node->source() : toml::source_region{}, what);
    }

    [[noreturn]] void fail(const toml::source_region& region, const std::string& what) const
    {
        PackLocation where = in_file(file_);
        if (region.begin) {
            where.line = static_cast<int>(region.begin.line);
            where.column = static_cast<int>(region.begin.column);
        }
        throw PackError(Fault::Manifest, what, where);
    }

    void only_keys(const toml::table& table, const std::set<std::string_view>& known, const std::string& in) const
    {
        for (const auto& [key, value] : table) {
            if (!known.contains(key.str())) fail(key.source(), "unknown key '" + std::string(key.str()) + "'" + in);
        }
    }

    int count(const toml::table& table, std::string_view key, std::optional<int> fallback, const std::string& in) const
    {
        const toml::node* node = table.get(key);
        if (!node) {
            if (!fallback) fail(&table, "missing '" + std::string(key) + "'" + in);
            return *fallback;
        }
        // Only an integer node is asked its value: toml++ would convert a
        // float, out of range as it may be.
        const toml::value<std::int64_t>* integer = node->as_integer();
        if (!integer) fail(node, "'" + std::string(key) + "' must be a whole number" + in);
        const std::int64_t value = integer->get();
        if (value < 0 || value > MaxCount) {
            fail(node, "'" + std::string(key) + "' is " + std::to_string(value) + ", outside 0 to " +
                           std::to_string(MaxCount) + in);
        }
        return static_cast<int>(value);
    }

    std::string text(const toml::node& node, std::string_view key, const std::string& in) const
    {
        if (!node.is_string()) fail(&node, "'" + std::string(key) + "' must be a string" + in);
        return std::string(*node.value<std::string_view>());
    }

    // `key` as a string, or `key_bytes` as an array of the bytes 1 to 255 for
    // text that is not UTF-8; exactly one of the two. Null when neither is
    // there and `required` is false.
    std::optional<std::string> text_or_bytes(const toml::table& table, std::string_view key, bool required,
                                             const std::string& in) const
    {
        const std::string bytes_key = std::string(key) + "_bytes";
        const toml::node* text_node = table.get(key);
        const toml::node* bytes_node = table.get(bytes_key);
        if (text_node && bytes_node) fail(bytes_node, "give '" + std::string(key) + "' or '" + bytes_key + "', not both" + in);
        if (!text_node && !bytes_node) {
            if (required) fail(&table, "give the scene's '" + std::string(key) + "' or its '" + bytes_key + "'" + in);
            return std::nullopt;
        }
        if (text_node) return text(*text_node, key, in);
        const toml::array* array = bytes_node->as_array();
        if (!array) fail(bytes_node, "'" + bytes_key + "' must be an array of bytes" + in);
        std::string result;
        for (const toml::node& byte : *array) {
            const toml::value<std::int64_t>* integer = byte.as_integer();
            if (!integer || integer->get() < 1 || integer->get() > 255) {
                fail(&byte, "'" + bytes_key + "' must hold numbers from 1 to 255" + in);
            }
            result.push_back(static_cast<char>(integer->get()));
        }
        return result;
    }

    // A picture to read: relative to the manifest's folder, or absolute.
    std::string picture_path(const toml::node& node, std::string_view key, const std::string& in) const
    {
        const std::string value = text(node, key, in);
        if (value.empty() || value.find('\0') != std::string::npos) fail(&node, "'" + std::string(key) + "' must be a path" + in);
        return value;
    }

    const std::string& file() const { return file_; }

    void check_relative(const std::string& value, const toml::node* node, std::string_view key, const std::string& in) const
    {
        if (value.empty() || value.front() == '/' || value.find('\0') != std::string::npos) {
            fail(node, "'" + std::string(key) + "' must be a path relative to the manifest's folder" + in);
        }
    }

private:
    std::string file_;
};

// The keys a scene of one animated GIF a view takes, beside the colour keys.
const std::set<std::string_view> GifSceneKeys{"name", "name_bytes", "frames", "images", "frames_from"};

// A scene of one animated GIF a view: `frames` may be left to the GIFs.
ManifestScene read_gif_scene(const Checker& check, const toml::table& scene, const toml::node& from,
                             ManifestScene entry, int views, const std::string& in)
{
    if (check.text(from, "frames_from", in) != "gif") check.fail(&from, "'frames_from' can only be \"gif\"" + in);
    if (scene.get("sheet")) check.fail(scene.get("sheet"), "frames_from = \"gif\" takes 'images', one GIF a view, not a 'sheet'" + in);
    // Its frames are taken whole and as drawn: any other key would be ignored.
    for (const auto& [key, value] : scene) {
        if (GifSceneKeys.contains(key.str()) || ColourKeys.contains(key.str())) continue;
        check.fail(&value, "frames_from = \"gif\" takes each frame as drawn; '" + std::string(key.str()) + "' does not apply" + in);
    }
    entry.frames_from_gif = true;
    entry.frames = scene.get("frames") ? check.count(scene, "frames", std::nullopt, in) : -1;
    const toml::node* images = scene.get("images");
    const toml::array* array = images ? images->as_array() : nullptr;
    if (!array) check.fail(images ? images : &scene, "frames_from = \"gif\" needs 'images', an array of one GIF a view" + in);
    for (const toml::node& image : *array) entry.images.push_back(check.picture_path(image, "images", in));
    // Patterns are counted once the build has expanded them.
    const bool patterns = std::any_of(entry.images.begin(), entry.images.end(), is_pattern);
    if (!patterns && entry.images.size() != static_cast<std::size_t>(views)) {
        check.fail(images, std::to_string(entry.images.size()) + " GIFs given for " + std::to_string(views) +
                               " views; frames_from = \"gif\" takes one a view" + in);
    }
    return entry;
}

ManifestScene read_scene(const Checker& check, const toml::table& scene, int number, int views, const Placement& defaults,
                         const Manifest& manifest)
{
    const std::string in = " in scene " + std::to_string(number);
    std::set<std::string_view> known{"name", "name_bytes", "frames", "images", "sheet", "atlas", "tags", "frame_names", "trim",
                                     "anchor", "mirrored", "frames_from", "atlas_image"};
    known.insert(ColourKeys.begin(), ColourKeys.end());
    check.only_keys(scene, known, in);
    ManifestScene scene_entry;
    scene_entry.colour = manifest.colour;
    read_colour_keys(scene, scene_entry.colour, manifest.file, in);
    scene_entry.name = *check.text_or_bytes(scene, "name", true, in);
    try {
        check_scene_name(scene_entry.name);
    } catch (const TileError& error) {
        check.fail(scene.get("name") ? scene.get("name") : scene.get("name_bytes"), error.description() + in);
    }
    if (const toml::node* from = scene.get("frames_from")) return read_gif_scene(check, scene, *from, std::move(scene_entry), views, in);
    const toml::node* atlas = scene.get("atlas");
    // Left out, `frames` is counted from what the scene lists: its images,
    // its sheet's columns or cells, its atlas's tags.
    scene_entry.frames_stated = scene.get("frames") != nullptr;
    if (scene_entry.frames_stated) scene_entry.frames = check.count(scene, "frames", std::nullopt, in);

    const toml::node* images = scene.get("images");
    const toml::node* sheet = scene.get("sheet");
    if (images && sheet) check.fail(sheet, "give the scene's 'images' or its 'sheet', not both" + in);
    if (atlas && (images || sheet)) check.fail(atlas, "give the scene's 'images', 'sheet' or 'atlas', only one" + in);
    read_layout_keys(scene, check.file(), in, views, defaults, scene_entry);
    if (atlas) return scene_entry;
    if (sheet) {
        if (!sheet->is_table()) scene_entry.sheet = check.picture_path(*sheet, "sheet", in);
        if (!scene_entry.frames_stated) {
            check.fail(&scene, "missing 'frames' (a sheet's frames are counted only from its 'columns' or 'cells')" + in);
        }
        return scene_entry;
    }
    if (!images) {
        if (!scene_entry.frames_stated) check.fail(&scene, "missing 'frames'" + in);
        if (views > 0 && scene_entry.frames > 0) check.fail(&scene, "missing 'images' (or 'sheet' or 'atlas')" + in);
        return scene_entry;
    }
    const toml::array* array = images->as_array();
    if (!array) check.fail(images, "'images' must be an array of paths" + in);
    for (const toml::node& image : *array) scene_entry.images.push_back(check.picture_path(image, "images", in));
    // Patterns are counted once the build has expanded them.
    const bool patterns = std::any_of(scene_entry.images.begin(), scene_entry.images.end(), is_pattern);
    if (patterns && !scene_entry.frames_stated) return scene_entry;
    if (!scene_entry.frames_stated) {
        const std::optional<int> frames = frames_a_view(scene_entry.images.size(), views);
        if (!frames) check.fail(images, no_frames_a_view(scene_entry.images.size(), "images", views) + "; give 'frames'" + in);
        scene_entry.frames = *frames;
        scene_entry.frames_stated = true;
    }
    const std::size_t wanted = static_cast<std::size_t>(views) * static_cast<std::size_t>(scene_entry.frames);
    if (!patterns && scene_entry.images.size() != wanted) {
        check.fail(images, std::to_string(scene_entry.images.size()) + " images given, views x frames is " +
                               std::to_string(views) + " x " + std::to_string(scene_entry.frames) + " = " +
                               std::to_string(wanted) + in);
    }
    return scene_entry;
}

// The manifest's own name with .til: "pack.toml" gives "pack.til".
std::string default_output(std::string_view file)
{
    std::string name(file.substr(file.find_last_of('/') + 1));
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name + ".til";
}

}  // namespace

Manifest parse_manifest(std::string_view text, std::string_view file_name)
{
    const std::string file(file_name);
    const Checker check(file);
    check_nesting(text, file);

    toml::table root;
    try {
        root = toml::parse(text, file);
    } catch (const toml::parse_error& error) {
        const auto& at = error.source().begin;
        throw PackError(Fault::Manifest, std::string(error.description()), in_file(file, static_cast<int>(at.line), static_cast<int>(at.column)));
    }

    std::set<std::string_view> known{"output", "output_bytes", "revision", "views", "metric", "strict", "scene", "trim", "anchor"};
    known.insert(ColourKeys.begin(), ColourKeys.end());
    check.only_keys(root, known, "");
    Manifest manifest;
    manifest.file = file;
    manifest.revision = check.count(root, "revision", RevisionNumber, "");
    manifest.views = check.count(root, "views", 1, "");
    manifest.views_stated = root.get("views") != nullptr;
    const Placement defaults = read_placement_defaults(root, file);
    if (const auto output = check.text_or_bytes(root, "output", false, "")) {
        const toml::node* node = root.get("output") ? root.get("output") : root.get("output_bytes");
        check.check_relative(*output, node, "output", "");
        std::size_t start = 0;
        for (std::size_t end; start <= output->size(); start = end + 1) {
            end = std::min(output->find('/', start), output->size());
            if (std::string_view(*output).substr(start, end - start) == "..") {
                check.fail(node, "'output' must stay inside the manifest's folder");
            }
        }
        manifest.output = *output;
    } else {
        manifest.output = default_output(file);
    }
    if (const toml::node* metric = root.get("metric")) {
        const auto parsed = parse_metric(check.text(*metric, "metric", ""));
        if (!parsed) check.fail(metric, "'metric' must be one of " + listed(metric_names()));
        manifest.metric = *parsed;
    }
    if (const toml::node* strict = root.get("strict")) {
        if (!strict->is_boolean()) check.fail(strict, "'strict' must be true or false");
        manifest.strict = *strict->value<bool>();
    }
    read_colour_keys(root, manifest.colour, file, "");
    if (const toml::node* scenes = root.get("scene")) {
        const toml::array* array = scenes->as_array();
        if (!array || !array->is_array_of_tables()) check.fail(scenes, "'scene' must be a list of [[scene]] tables");
        if (array->size() > MaxCount) {
            check.fail(scenes, std::to_string(array->size()) + " scenes, at most " + std::to_string(MaxCount));
        }
        int number = 0;
        for (const toml::node& scene : *array) {
            manifest.scenes.push_back(read_scene(check, *scene.as_table(), number++, manifest.views, defaults, manifest));
        }
    }
    return manifest;
}

std::string manifest_text(const Manifest& manifest)
{
    std::ostringstream out;
    out << "# Built by `tesspack build` into the tile file below; paths are relative to this file.\n"
        << named_text("output", manifest.output, Notation::Toml) << "\n"
        << "revision = " << manifest.revision << "\n"
        << "views = " << manifest.views << "\n"
        << "metric = " << toml_string(metric_name(manifest.metric)) << "\n"
        << "strict = " << (manifest.strict ? "true" : "false") << "\n"
        << colour_keys_text(manifest.colour, ColourOptions{});
    for (const ManifestScene& scene : manifest.scenes) {
        out << "\n[[scene]]\n" << named_text("name", scene.name, Notation::Toml) << "\n";
        if (scene.frames_stated && scene.frames >= 0) out << "frames = " << scene.frames << "\n";
        out << colour_keys_text(scene.colour, manifest.colour);
        if (scene.frames_from_gif) out << "frames_from = \"gif\"\n";
        if (scene.grid || scene.atlas) {
            out << layout_text(scene);
        } else if (!scene.sheet.empty()) {
            out << "sheet = " << toml_string(scene.sheet) << "\n";
        } else if (!scene.images.empty() || scene.frames_from_gif) {
            out << "images = [\n";
            for (const auto& image : scene.images) out << "    " << toml_string(image) << ",\n";
            out << "]\n";
        }
        if (!scene.grid && !scene.atlas) out << layout_text(scene);
    }
    return out.str();
}

}  // namespace tess
