// Reading a manifest and writing one: its keys, which of them each form of scene takes, and its scenes.
#include "pack/manifest.hpp"

#include <toml++/toml.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "colour_keys.hpp"
#include "keys.hpp"
#include "pack/error.hpp"
#include "pack/patterns.hpp"
#include "pack/text.hpp"
#include "scene_keys.hpp"
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

// Where a scene's pictures come from: the form of scene, which says what
// else it takes.
enum Form : unsigned { Images = 1, Sheet = 2, Atlas = 4, GifFrames = 8, AsepriteFrames = 16 };
constexpr unsigned Frames = GifFrames | AsepriteFrames;
constexpr unsigned Pictures = Images | Sheet | Atlas;
constexpr unsigned Every = Pictures | Frames;

// Each key a scene takes, and the forms it applies to; a key given to a
// scene it does not apply to would be ignored, so it is refused.
struct SceneKey {
    std::string_view name;
    unsigned forms;
};
constexpr SceneKey SceneKeys[] = {
    {"name", Every},          {"name_bytes", Every},  {"frames", Every},        {"frames_from", Frames},
    {"images", Images | Frames}, {"sheet", Sheet | GifFrames}, {"atlas", Atlas},    {"atlas_image", Atlas},
    {"tags", Atlas},          {"frame_names", Atlas}, {"frame_indices", Atlas}, {"layers", Atlas},
    {"ignore_layers", Atlas}, {"trim", Pictures},       {"anchor", Pictures},
    {"mirrored", Pictures},   {"heights", Pictures},  {"crop", Every},          {"scale", Every},
    {"scale_filter", Every},
};

// Why `key` does not apply to a scene of `form`.
std::string does_not_apply(std::string_view key, unsigned form)
{
    const std::string quoted = "'" + std::string(key) + "'";
    if (key == "layers" || key == "ignore_layers") return quoted + " chooses the layers of an .aseprite 'atlas'";
    if (form == GifFrames) return "frames_from = \"gif\" takes each frame as drawn; " + quoted + " does not apply";
    if (form == AsepriteFrames) return "frames_from = \"aseprite\" takes each frame as drawn; " + quoted + " does not apply";
    return quoted + " needs an 'atlas'";
}

std::set<std::string_view> scene_key_names()
{
    std::set<std::string_view> names;
    for (const SceneKey& key : SceneKeys) names.insert(key.name);
    names.insert(ColourKeys.begin(), ColourKeys.end());
    return names;
}

// Which form the scene is, from the keys that name its pictures.
unsigned form_of(const KeyReader& keys, const toml::table& scene)
{
    const toml::node* images = scene.get("images");
    const toml::node* sheet = scene.get("sheet");
    const toml::node* atlas = scene.get("atlas");
    if (const toml::node* from = scene.get("frames_from")) {
        const std::string value = keys.text(*from, "frames_from");
        if (value != "gif" && value != "aseprite") keys.fail(from, "'frames_from' can only be \"gif\" or \"aseprite\"");
        if (value == "gif" && sheet && !sheet->is_table()) {
            keys.fail(sheet, "frames_from = \"gif\" takes 'images', one GIF a view, or a 'sheet' table cutting one GIF, not a 'sheet' file");
        }
        if (images && sheet) keys.fail(sheet, "give the scene's 'images' or its 'sheet', not both");
        return value == "gif" ? GifFrames : AsepriteFrames;
    }
    if (images && sheet) keys.fail(sheet, "give the scene's 'images' or its 'sheet', not both");
    if (atlas && (images || sheet)) keys.fail(atlas, "give the scene's 'images', 'sheet' or 'atlas', only one");
    return atlas ? Atlas : sheet ? Sheet : Images;
}

// A scene's pictures and how they are placed, once its keys are known to apply.
void read_pictures(const KeyReader& keys, const toml::table& scene, unsigned form, int views, ManifestScene& out)
{
    const toml::node* images = scene.get("images");
    const toml::node* sheet = scene.get("sheet");
    out.frames_stated = scene.get("frames") != nullptr;
    if (out.frames_stated) out.frames = keys.count(scene, "frames", std::nullopt);
    if (form & Frames) {
        out.frames_from = form == GifFrames ? FramesFrom::Gif : FramesFrom::Aseprite;
        // Frames are taken as drawn: the top's trim and anchor are not this
        // scene's, and a manifest written of it must not say they are.
        out.placement.trim = Trim::None;
        out.placement.anchor = Anchor::Left;
        // Left out, the files' frames count them.
        if (!out.frames_stated) out.frames = -1;
        out.frames_stated = true;
    }
    if (sheet && sheet->is_table()) out.grid = read_grid(keys, *sheet->as_table(), views, out);
    if (form == Atlas) out.atlas = read_atlas(keys, scene, views, out);
    read_placement(keys, scene, views, out);
    if (out.grid && !out.frames_stated) {
        keys.fail(&scene, "missing 'frames' (a sheet's frames are counted only from its 'columns' or 'cells')");
    }
    if (form == Atlas || out.grid) return;
    if (form == Sheet) {
        out.sheet = keys.path(*sheet, "sheet");
        if (!out.frames_stated) keys.fail(&scene, "missing 'frames' (a sheet's frames are counted only from its 'columns' or 'cells')");
        return;
    }
    if (!images) {
        if (form & Frames) keys.fail(&scene, "frames_from needs 'images', an array of one file a view");
        if (!out.frames_stated) keys.fail(&scene, "missing 'frames'");
        if (views > 0 && out.frames > 0) keys.fail(&scene, "missing 'images' (or 'sheet' or 'atlas')");
        return;
    }
    const toml::array& array = keys.array(*images, "images", "paths");
    for (const toml::node& image : array) out.images.push_back(keys.path(image, "images"));
    // Patterns are counted once the build has expanded them.
    if (std::any_of(out.images.begin(), out.images.end(), is_pattern)) return;
    if (form & Frames) {
        if (out.images.size() != static_cast<std::size_t>(views)) {
            keys.fail(images, std::to_string(out.images.size()) + (form == GifFrames ? " GIFs" : " files") + " given for " +
                                  views_text(views) + "; frames_from = \"" + (form == GifFrames ? "gif" : "aseprite") +
                                  "\" takes one a view");
        }
        return;
    }
    count_frames(keys, images, out.images.size(), views, "images", out);
    if (!out.placement.heights.empty()) {
        check_count(keys, scene.get("heights"), "heights", out.placement.heights.size(),
                    static_cast<std::size_t>(views) * static_cast<std::size_t>(out.frames), "one an image: views x frames");
    }
}

ManifestScene read_scene(const KeyReader& keys, const toml::table& scene, int views, const Placement& defaults,
                         const Manifest& manifest, Faults& faults)
{
    const std::size_t before = faults.size();
    static const std::set<std::string_view> known = scene_key_names();
    check_known_keys(keys, scene, known, faults);
    ManifestScene entry;
    entry.colour = manifest.colour;
    entry.placement = defaults;
    read_colour_keys(keys, scene, entry.colour, faults);
    faults.check([&] {
        entry.name = *keys.text_or_bytes(scene, "name", true);
        try {
            check_scene_name(entry.name);
        } catch (const TileError& error) {
            keys.fail(scene.get("name") ? scene.get("name") : scene.get("name_bytes"), error.description());
        }
    });
    unsigned form = 0;
    if (!faults.check([&] { form = form_of(keys, scene); })) return entry;
    for (const SceneKey& key : SceneKeys) {
        const toml::node* node = scene.get(key.name);
        if (node && !(key.forms & form)) faults.check([&] { keys.fail(node, does_not_apply(key.name, form)); });
    }
    // What the scene's pictures are is read once its other keys hold: a
    // fault there would be said again in other words.
    if (faults.size() == before) faults.check([&] { read_pictures(keys, scene, form, views, entry); });
    return entry;
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
    const KeyReader keys(file);
    check_nesting(text, file);

    toml::table root;
    try {
        root = toml::parse(text, file);
    } catch (const toml::parse_error& error) {
        const auto& at = error.source().begin;
        throw PackError(Fault::Manifest, std::string(error.description()),
                        in_file(file, static_cast<int>(at.line), static_cast<int>(at.column)));
    }

    Faults faults;
    std::set<std::string_view> known{"output", "output_bytes", "revision", "views", "metric", "strict", "scene",
                                     "trim", "anchor", "crop", "scale", "scale_filter"};
    known.insert(ColourKeys.begin(), ColourKeys.end());
    check_known_keys(keys, root, known, faults);
    Manifest manifest;
    manifest.file = file;
    faults.check([&] { manifest.revision = keys.count(root, "revision", RevisionNumber); });
    // The scenes are counted in views: without them, they are not read.
    const bool views_read = faults.check([&] { manifest.views = keys.count(root, "views", 1); });
    const Placement defaults = read_placement_defaults(keys, root, faults);
    faults.check([&] {
        const auto output = keys.text_or_bytes(root, "output", false);
        if (!output) {
            manifest.output = default_output(file);
            return;
        }
        const toml::node* node = root.get("output") ? root.get("output") : root.get("output_bytes");
        if (output->empty() || output->front() == '/' || output->find('\0') != std::string::npos) {
            keys.fail(node, "'output' must be a path relative to the manifest's folder");
        }
        for (std::size_t start = 0, end; start <= output->size(); start = end + 1) {
            end = std::min(output->find('/', start), output->size());
            if (std::string_view(*output).substr(start, end - start) == "..") keys.fail(node, "'output' must stay inside the manifest's folder");
        }
        manifest.output = *output;
    });
    faults.check([&] {
        const toml::node* metric = root.get("metric");
        if (!metric) return;
        const auto parsed = parse_metric(keys.text(*metric, "metric"));
        if (!parsed) keys.fail(metric, "'metric' must be one of " + listed(metric_names()));
        manifest.metric = *parsed;
    });
    faults.check([&] {
        if (const toml::node* strict = root.get("strict")) manifest.strict = keys.boolean(*strict, "strict");
    });
    read_colour_keys(keys, root, manifest.colour, faults);
    const toml::node* scenes = root.get("scene");
    if (scenes && views_read) {
        faults.check([&] {
            const toml::array* array = scenes->as_array();
            if (!array || !array->is_array_of_tables()) keys.fail(scenes, "'scene' must be a list of [[scene]] tables");
            if (array->size() > MaxCount) keys.fail(scenes, std::to_string(array->size()) + " scenes, at most " + std::to_string(MaxCount));
        });
        if (const toml::array* array = scenes->as_array(); array && array->is_array_of_tables() && array->size() <= MaxCount) {
            int number = 0;
            for (const toml::node& scene : *array) {
                manifest.scenes.push_back(read_scene(keys.in_scene(number++), *scene.as_table(), manifest.views, defaults, manifest, faults));
            }
        }
    }
    faults.raise();
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
        if (scene.frames_from == FramesFrom::Gif) out << "frames_from = \"gif\"\n";
        if (scene.frames_from == FramesFrom::Aseprite) out << "frames_from = \"aseprite\"\n";
        if (scene.grid) {
            out << grid_text(scene.sheet, *scene.grid);
        } else if (scene.atlas) {
            out << atlas_text(*scene.atlas);
        } else if (!scene.sheet.empty()) {
            out << "sheet = " << toml_string(scene.sheet) << "\n";
        } else if (!scene.images.empty() || scene.frames_from != FramesFrom::Pictures) {
            out << "images = [\n";
            for (const auto& image : scene.images) out << "    " << toml_string(image) << ",\n";
            out << "]\n";
        }
        out << placement_text(scene.placement, Placement{});
    }
    return out.str();
}

}  // namespace tess
