#include "manifest.hpp"

#include <toml++/toml.h>

#include <set>
#include <sstream>

#include "pack_error.hpp"
#include "pack_files.hpp"
#include "text.hpp"
#include "tile/format.hpp"
#include "tile/records.hpp"

namespace tess {

namespace {

// Far beyond any manifest of 255 scenes of 255 x 255 image paths.
constexpr std::size_t MaxManifestBytes = 64 << 20;

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
        std::string where = file_;
        if (region.begin) where += ":" + std::to_string(region.begin.line) + ":" + std::to_string(region.begin.column);
        throw PackError(where + ": " + what);
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

    std::filesystem::path relative_path(const toml::node& node, std::string_view key, const std::string& in) const
    {
        const std::string value = text(node, key, in);
        const std::filesystem::path path(value);
        if (value.empty() || path.is_absolute() || value.find('\0') != std::string::npos) {
            fail(&node, "'" + std::string(key) + "' must be a path relative to the manifest's folder" + in);
        }
        return path;
    }

private:
    std::string file_;
};

std::string scene_name(const Checker& check, const toml::table& scene, const std::string& in)
{
    const toml::node* name = scene.get("name");
    const toml::node* bytes = scene.get("name_bytes");
    if (!name == !bytes) check.fail(&scene, "give the scene's 'name' or its 'name_bytes'" + in);
    std::string result;
    if (name) {
        result = check.text(*name, "name", in);
    } else {
        const toml::array* array = bytes->as_array();
        if (!array) check.fail(bytes, "'name_bytes' must be an array of bytes" + in);
        for (const toml::node& byte : *array) {
            const toml::value<std::int64_t>* integer = byte.as_integer();
            if (!integer || integer->get() < 1 || integer->get() > 255) {
                check.fail(&byte, "'name_bytes' must hold numbers from 1 to 255" + in);
            }
            result.push_back(static_cast<char>(integer->get()));
        }
    }
    try {
        check_scene_name(result);
    } catch (const TileError& error) {
        check.fail(name ? name : bytes, error.description() + in);
    }
    return result;
}

ManifestScene read_scene(const Checker& check, const toml::table& scene, int number, int views)
{
    const std::string in = " in scene " + std::to_string(number);
    check.only_keys(scene, {"name", "name_bytes", "frames", "images", "sheet"}, in);
    ManifestScene scene_entry;
    scene_entry.name = scene_name(check, scene, in);
    scene_entry.frames = check.count(scene, "frames", std::nullopt, in);

    const toml::node* images = scene.get("images");
    const toml::node* sheet = scene.get("sheet");
    if (images && sheet) check.fail(sheet, "give the scene's 'images' or its 'sheet', not both" + in);
    if (sheet) {
        scene_entry.sheet = check.relative_path(*sheet, "sheet", in);
        return scene_entry;
    }
    const std::size_t wanted = static_cast<std::size_t>(views) * static_cast<std::size_t>(scene_entry.frames);
    if (!images) {
        if (wanted > 0) check.fail(&scene, "missing 'images' (or 'sheet')" + in);
        return scene_entry;
    }
    const toml::array* array = images->as_array();
    if (!array) check.fail(images, "'images' must be an array of paths" + in);
    for (const toml::node& image : *array) scene_entry.images.push_back(check.relative_path(image, "images", in));
    if (scene_entry.images.size() != wanted) {
        check.fail(images, std::to_string(scene_entry.images.size()) + " images given, views x frames is " +
                               std::to_string(views) + " x " + std::to_string(scene_entry.frames) + " = " +
                               std::to_string(wanted) + in);
    }
    return scene_entry;
}

}  // namespace

Manifest read_manifest(const std::filesystem::path& path)
{
    const std::vector<std::uint8_t> bytes = read_input(path, MaxManifestBytes);
    return parse_manifest(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), path);
}

Manifest parse_manifest(std::string_view text, const std::filesystem::path& path)
{
    const std::string file = path.string();
    const Checker check(file);

    toml::table root;
    try {
        root = toml::parse(text, file);
    } catch (const toml::parse_error& error) {
        const auto& at = error.source().begin;
        throw PackError(file + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) + ": " +
                        std::string(error.description()));
    }

    check.only_keys(root, {"output", "revision", "views", "metric", "strict", "scene"}, "");
    Manifest manifest;
    manifest.path = path;
    manifest.folder = path.parent_path();
    manifest.revision = check.count(root, "revision", RevisionNumber, "");
    manifest.views = check.count(root, "views", 1, "");
    if (const toml::node* output = root.get("output")) {
        manifest.output = check.relative_path(*output, "output", "");
        for (const auto& part : manifest.output) {
            if (part == "..") check.fail(output, "'output' must stay inside the manifest's folder");
        }
    } else {
        manifest.output = path.filename();
        manifest.output.replace_extension(".til");
    }
    if (const toml::node* metric = root.get("metric")) {
        const auto parsed = parse_metric(check.text(*metric, "metric", ""));
        if (!parsed) check.fail(metric, "'metric' must be one of L1, L2, L3, L4, oklab");
        manifest.metric = *parsed;
    }
    if (const toml::node* strict = root.get("strict")) {
        if (!strict->is_boolean()) check.fail(strict, "'strict' must be true or false");
        manifest.strict = *strict->value<bool>();
    }
    if (const toml::node* scenes = root.get("scene")) {
        const toml::array* array = scenes->as_array();
        if (!array || !array->is_array_of_tables()) check.fail(scenes, "'scene' must be a list of [[scene]] tables");
        if (array->size() > MaxCount) {
            check.fail(scenes, std::to_string(array->size()) + " scenes, at most " + std::to_string(MaxCount));
        }
        int number = 0;
        for (const toml::node& scene : *array) {
            manifest.scenes.push_back(read_scene(check, *scene.as_table(), number++, manifest.views));
        }
    }
    return manifest;
}

namespace {

// A TOML basic string: quotes, backslashes and control characters escaped.
// (Not named `quoted`, which std::quoted would win for std::string arguments.)
std::string toml_string(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7f) {
            constexpr char hex[] = "0123456789ABCDEF";
            out += "\\u00";
            out += hex[byte >> 4];
            out += hex[byte & 0xf];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace

std::string manifest_text(const Manifest& manifest)
{
    std::ostringstream out;
    out << "# Built by `tesspack build` into the tile file below; paths are relative to this file.\n"
        << "output = " << toml_string(manifest.output.string()) << "\n"
        << "revision = " << manifest.revision << "\n"
        << "views = " << manifest.views << "\n"
        << "metric = " << toml_string(metric_name(manifest.metric)) << "\n"
        << "strict = " << (manifest.strict ? "true" : "false") << "\n";
    for (const ManifestScene& scene : manifest.scenes) {
        out << "\n[[scene]]\n";
        if (is_utf8(scene.name)) {
            out << "name = " << toml_string(scene.name) << "\n";
        } else {
            out << "name_bytes = [";
            for (std::size_t i = 0; i < scene.name.size(); ++i) {
                out << (i ? ", " : "") << static_cast<int>(static_cast<unsigned char>(scene.name[i]));
            }
            out << "]  # not UTF-8, so not a TOML string\n";
        }
        out << "frames = " << scene.frames << "\n";
        if (!scene.sheet.empty()) {
            out << "sheet = " << toml_string(scene.sheet.string()) << "\n";
        } else if (!scene.images.empty()) {
            out << "images = [\n";
            for (const auto& image : scene.images) out << "    " << toml_string(image.string()) << ",\n";
            out << "]\n";
        }
    }
    return out.str();
}

}  // namespace tess
