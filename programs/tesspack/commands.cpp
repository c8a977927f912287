// What each tesspack command does with its arguments, over pack/ and the disk.
#include "commands.hpp"

#include <algorithm>
#include <cctype>
#include <iostream>

#include "disk.hpp"
#include "pack/compare.hpp"
#include "pack/diff.hpp"
#include "pack/dump.hpp"
#include "pack/error.hpp"
#include "pack/list.hpp"
#include "pack/manifest.hpp"
#include "pack/palette_files.hpp"
#include "pack/preview.hpp"
#include "pack/report.hpp"
#include "pack/text.hpp"
#include "pack/verify.hpp"

namespace tess {

namespace {

// Far beyond any manifest of 255 scenes of 255 x 255 image paths.
constexpr std::size_t MaxManifestBytes = 64 << 20;
// A tile file of the most scenes, views and frames, every image empty, is
// about 50 MB; one whose every image is 64 x 255 pixels of noise, far more.
constexpr std::size_t MaxTileFileBytes = std::size_t{1} << 30;
// Ten frames a second, as sprite tools show a walk.
constexpr int DefaultDelayMs = 100;

// The tile file's name less ".til": what unpack names its folder and its
// manifest after.
std::string stem_of(const std::string& tile)
{
    std::string name = tile.substr(tile.find_last_of('/') + 1);
    if (name.ends_with(".til")) name.resize(name.size() - 4);
    return name;
}

// The folder unpack writes into unless told: the tile file's path without
// ".til", or with "_unpacked" added when it has no such ending. One that
// would be the current folder, its parent or nothing is refused.
std::string default_folder(const std::string& tile)
{
    if (tile == "-") throw UsageFault("unpack from standard input needs -o FOLDER");
    std::string folder = tile.ends_with(".til") ? tile.substr(0, tile.size() - 4) : tile + "_unpacked";
    const std::string last = folder.substr(folder.find_last_of('/') + 1);
    if (last.empty() || last == "." || last == "..") {
        throw UsageFault(tile + ": the folder it would unpack into is '" + folder + "'; give one with -o FOLDER");
    }
    return folder;
}

// An animated preview is asked for by the output's ending, in any case.
bool is_gif_path(const std::string& path)
{
    if (path.size() < 4) return false;
    std::string ending = path.substr(path.size() - 4);
    std::transform(ending.begin(), ending.end(), ending.begin(), [](unsigned char c) { return std::tolower(c); });
    return ending == ".gif";
}

// diff's two inputs: standard input, a pipe, a FIFO or a device can be read
// once, so it cannot be both.
void check_read_once(const std::string& a, const std::string& b)
{
    if (a == "-" && b == "-") throw UsageFault("standard input can be read once: give - for A or for B, not both");
    const auto first = files::identify_user_input(a), second = files::identify_user_input(b);
    if (first && second && first->id == second->id && !first->regular) {
        throw UsageFault(a + " and " + b +
                         " are one pipe, FIFO or device, which can be read once: give it for A or for B, not both");
    }
}

// The manifest with --metric and --dither over it.
Manifest read_manifest(const Arguments& arguments, files::FileId& id)
{
    const std::vector<std::uint8_t> text = read_user_input(arguments.input, MaxManifestBytes, &id);
    Manifest manifest = parse_manifest(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()),
                                       arguments.input == "-" ? "standard input" : arguments.input);
    if (!arguments.metric.empty()) manifest.metric = *parse_metric(arguments.metric);
    if (!arguments.dither.empty()) {
        manifest.colour.dither = *parse_dither(arguments.dither);
        for (ManifestScene& scene : manifest.scenes) scene.colour.dither = manifest.colour.dither;
    }
    return manifest;
}

std::vector<std::uint8_t> read_tile_file(const Arguments& arguments)
{
    return read_user_input(arguments.input, MaxTileFileBytes);
}

// `list` and `dump` read the file as it comes; what went wrong is the file's
// change, when it changed.
template <typename Show>
int read_through(const std::string& path, Show show)
{
    TileStream in(path);
    try {
        show(in.stream());
    } catch (const PackError&) {
        in.check_unchanged();
        throw;
    } catch (const std::ios_base::failure&) {
        throw PackError(Fault::File, "cannot read");
    }
    in.check_unchanged();
    return 0;
}

}  // namespace

int run_build(const Arguments& arguments)
{
    files::FileId manifest_id{};
    const Manifest manifest = read_manifest(arguments, manifest_id);
    DiskPictures pictures(arguments.input, {manifest_id});
    ColourReport report;
    const bool reporting = arguments.report || arguments.report_json;
    const std::string name_in_folder = manifest.output.substr(manifest.output.find_last_of('/') + 1);
    OutputFile out = arguments.output_given ? OutputFile::user(arguments.output, name_in_folder, &pictures)
                                            : OutputFile::below(pictures, manifest.output);
    const BuiltTile built = build_tile_file(manifest, pictures, out, arguments.max_size, reporting ? &report : nullptr);
    for (const std::string& note : built.notes) say(note);
    if (arguments.report) std::cout << report_text(report);
    if (arguments.report_json) std::cout << report_json(report);
    // The report is part of the run: where it cannot be written, the tile
    // file is not either.
    if (!std::cout.flush()) throw StandardOutputLost("cannot write standard output; " + out.shown() + " not written");
    const std::string written = out.commit();
    say("wrote " + written + ": " + counted(static_cast<std::uint64_t>(built.scenes), "scene") + ", " +
        counted(static_cast<std::uint64_t>(built.images), "image"));
    return 0;
}

int run_compare(const Arguments& arguments)
{
    files::FileId manifest_id{};
    const Manifest manifest = read_manifest(arguments, manifest_id);
    DiskPictures pictures(arguments.input, {manifest_id});
    write_user_file(arguments.output, "", compare_png(manifest, pictures, arguments.scale, arguments.max_size), &pictures);
    return 0;
}

int run_unpack(const Arguments& arguments)
{
    UnpackOptions options{*parse_image_format(arguments.format), arguments.sheets};
    if (options.format == ImageFormat::Gif && options.sheets) {
        throw UsageFault("--format gif writes one GIF a view, --sheets one sheet a scene: choose one");
    }
    if (options.format == ImageFormat::Aseprite && options.sheets) {
        throw UsageFault("--format aseprite writes one .aseprite file a scene, --sheets one sheet a scene: choose one");
    }
    const std::string folder = arguments.output_given ? arguments.output : default_folder(arguments.input);
    const std::vector<std::uint8_t> tile = read_tile_file(arguments);
    options.name = arguments.input == "-" ? stem_of(folder) : stem_of(arguments.input);
    if (options.name.empty() || options.name == "." || options.name == "..") options.name = "tiles";
    const UnpackPlan plan = plan_unpack(tile, options);
    FolderSink sink(folder, tile, plan, arguments.max_files);
    unpack_tile_file(tile, plan, sink);
    say("wrote " + std::to_string(plan.files - 1) + " image files and a manifest into " + folder + ": " +
        counted(plan.scenes.size(), "scene") + ", " + counted(plan.images, "image"));
    return 0;
}

int run_verify(const Arguments& arguments)
{
    const Verdict verdict = verify_tile_file(read_tile_file(arguments));
    switch (verdict.kind) {
    case Verdict::Kind::ByteIdentical: std::cout << "byte-identical\n"; break;
    case Verdict::Kind::PixelIdentical: std::cout << "pixel-identical: " << printable(verdict.detail) << "\n"; break;
    case Verdict::Kind::Different: std::cout << "different: " << printable(verdict.detail) << "\n"; return Failed;
    }
    return 0;
}

int run_list(const Arguments& arguments)
{
    return read_through(arguments.input, [&](std::streambuf& tile) {
        list_tile_file(tile, arguments.input, arguments.json, std::cout);
    });
}

int run_dump(const Arguments& arguments)
{
    return read_through(arguments.input, [](std::streambuf& tile) { dump_tile_file(tile, std::cout); });
}

int run_preview(const Arguments& arguments)
{
    if (is_gif_path(arguments.output)) {
        write_user_file(arguments.output, "", preview_gif(read_tile_file(arguments), arguments.scene, arguments.scale,
                                                          arguments.delay_ms.value_or(DefaultDelayMs)));
        return 0;
    }
    if (arguments.scene || arguments.delay_ms) throw UsageFault("--scene and --delay are for an animated preview, -o NAME.gif");
    write_user_file(arguments.output, "", preview_png(read_tile_file(arguments), arguments.scale));
    return 0;
}

int run_palette(const Arguments& arguments)
{
    const auto bytes = palette_file_for(arguments.output);
    if (!bytes) throw UsageFault(arguments.output + ": unknown palette format; use .gpl, .hex, .act, .pal or .png");
    write_user_file(arguments.output, "", *bytes);
    return 0;
}

int run_diff(const Arguments& arguments)
{
    check_read_once(arguments.input, arguments.second);
    DiskTileInput a(arguments.input, MaxTileFileBytes), b(arguments.second, MaxTileFileBytes);
    const DiffOutcome outcome = diff_tile_files(a, b, std::cout, {arguments.json, arguments.output_given});
    if (arguments.output_given) {
        if (outcome.picture.empty()) {
            say("no image's pixels differ; " + arguments.output + " not written");
        } else {
            write_user_file(arguments.output, "", outcome.picture);
        }
    }
    return outcome.differ ? Failed : 0;
}

}  // namespace tess
