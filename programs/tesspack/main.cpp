#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <new>
#include <optional>

#include "completion.hpp"
#include "disk.hpp"
#include "files/file_stream.hpp"
#include "pack/compare.hpp"
#include "pack/diff.hpp"
#include "pack/dump.hpp"
#include "pack/list.hpp"
#include "pack/preview.hpp"
#include "pack/error.hpp"
#include "pack/verify.hpp"
#include "pack/manifest.hpp"
#include "pack/palette_files.hpp"
#include "pack/report.hpp"
#include "pack/text.hpp"

namespace tess {
namespace {

constexpr int Failed = 1;
constexpr int UsageError = 2;

// Far beyond any manifest of 255 scenes of 255 x 255 image paths.
constexpr std::size_t MaxManifestBytes = 64 << 20;
// A tile file of the most scenes, views and frames, every image empty, is
// about 50 MB; one whose every image is 64 x 255 pixels of noise, far more.
constexpr std::size_t MaxTileFileBytes = std::size_t{1} << 30;
// Far more files than any sprite set has, far fewer than a disk's inodes.
constexpr std::uint64_t DefaultMaxFiles = 100'000;
// Ten frames a second, as sprite tools show a walk.
constexpr int DefaultDelayMs = 100;

const char* const Commands[] = {"build", "unpack", "verify", "list", "preview", "palette", "diff", "dump", "compare"};

struct Arguments {
    std::string input;
    std::string second;  // diff's B
    std::string output;
    bool output_given = false;
    std::string metric;
    std::string dither;
    bool report = false;
    bool report_json = false;
    std::string format = "png";
    bool sheets = false;
    bool json = false;
    int scale = 1;
    std::optional<std::string> scene;  // preview -o x.gif
    std::optional<int> delay_ms;
    std::uint64_t max_size = DefaultMaxTileBytes;
    std::uint64_t max_files = DefaultMaxFiles;
};

class UsageFault : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Standard output failed where what it carries is part of the run's result.
class StandardOutputLost : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

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

int run(const std::string& command, const Arguments& arguments)
{
    if (arguments.output_given && arguments.output.empty()) throw UsageFault("-o needs a name, not an empty one");
    if (command == "compare") {
        files::FileId manifest_id{};
        const Manifest manifest = read_manifest(arguments, manifest_id);
        DiskPictures pictures(arguments.input, {manifest_id});
        const std::vector<std::uint8_t> png = compare_png(manifest, pictures, arguments.scale, arguments.max_size);
        write_user_file(arguments.output, "", png, &pictures);
    } else if (command == "build") {
        files::FileId manifest_id{};
        const Manifest manifest = read_manifest(arguments, manifest_id);
        DiskPictures pictures(arguments.input, {manifest_id});
        ColourReport report;
        const bool reporting = arguments.report || arguments.report_json;
        OutputFile out = arguments.output_given
                             ? OutputFile::user(arguments.output,
                                                manifest.output.substr(manifest.output.find_last_of('/') + 1), &pictures)
                             : OutputFile::below(pictures, manifest.output);
        const BuiltTile built = build_tile_file(manifest, pictures, out, arguments.max_size, reporting ? &report : nullptr);
        for (const std::string& note : built.notes) say(note);
        if (arguments.report) std::cout << report_text(report);
        if (arguments.report_json) std::cout << report_json(report);
        // The report is part of the run: where it cannot be written, the
        // tile file is not either.
        if (!std::cout.flush()) throw StandardOutputLost("cannot write standard output; " + out.shown() + " not written");
        const std::string written = out.commit();
        say("wrote " + written + ": " + std::to_string(built.scenes) + " scenes, " + std::to_string(built.images) +
            " images");
    } else if (command == "unpack") {
        if (arguments.format == "gif" && arguments.sheets) {
            throw UsageFault("--format gif writes one GIF a view, --sheets one sheet a scene: choose one");
        }
        const std::string folder = arguments.output_given ? arguments.output : default_folder(arguments.input);
        const std::vector<std::uint8_t> tile = read_user_input(arguments.input, MaxTileFileBytes);
        UnpackOptions options;
        options.format = *parse_image_format(arguments.format);
        options.sheets = arguments.sheets;
        options.name = arguments.input == "-" ? stem_of(folder) : stem_of(arguments.input);
        if (options.name.empty() || options.name == "." || options.name == "..") options.name = "tiles";
        const UnpackPlan plan = plan_unpack(tile, options);
        FolderSink sink(folder, plan, arguments.max_files);
        unpack_tile_file(tile, plan, sink);
        say("wrote " + std::to_string(plan.files - 1) + " image files and a manifest into " + folder + ": " +
            std::to_string(plan.scenes.size()) + " scenes, " + std::to_string(plan.images) + " images");
    } else if (command == "verify") {
        const Verdict verdict = verify_tile_file(read_user_input(arguments.input, MaxTileFileBytes));
        switch (verdict.kind) {
        case Verdict::Kind::ByteIdentical: std::cout << "byte-identical\n"; break;
        case Verdict::Kind::PixelIdentical: std::cout << "pixel-identical: " << verdict.detail << "\n"; break;
        case Verdict::Kind::Different: std::cout << "different: " << verdict.detail << "\n"; return Failed;
        }
    } else if (command == "list" || command == "dump") {
        // What went wrong is the file's change, when it changed.
        TileStream in(arguments.input);
        try {
            if (command == "list") {
                list_tile_file(in.stream(), arguments.input, arguments.json, std::cout);
            } else {
                dump_tile_file(in.stream(), std::cout);
            }
        } catch (const PackError&) {
            in.check_unchanged();
            throw;
        } catch (const std::ios_base::failure&) {
            throw PackError(Fault::File, "cannot read");
        }
        in.check_unchanged();
    } else if (command == "diff") {
        check_read_once(arguments.input, arguments.second);
        DiskTileInput a(arguments.input, MaxTileFileBytes), b(arguments.second, MaxTileFileBytes);
        DiffOptions options;
        options.json = arguments.json;
        options.picture = arguments.output_given;
        const DiffOutcome outcome = diff_tile_files(a, b, std::cout, options);
        if (arguments.output_given) {
            if (outcome.picture.empty()) {
                say("no image's pixels differ; " + arguments.output + " not written");
            } else {
                write_user_file(arguments.output, "", outcome.picture);
            }
        }
        return outcome.differ ? Failed : 0;
    } else if (command == "preview") {
        if (is_gif_path(arguments.output)) {
            const std::vector<std::uint8_t> gif = preview_gif(read_user_input(arguments.input, MaxTileFileBytes),
                                                              arguments.scene, arguments.scale,
                                                              arguments.delay_ms.value_or(DefaultDelayMs));
            write_user_file(arguments.output, "", gif);
            return 0;
        }
        if (arguments.scene || arguments.delay_ms) throw UsageFault("--scene and --delay are for an animated preview, -o NAME.gif");
        const std::vector<std::uint8_t> png = preview_png(read_user_input(arguments.input, MaxTileFileBytes), arguments.scale);
        write_user_file(arguments.output, "", png);
    } else if (command == "palette") {
        const auto bytes = palette_file_for(arguments.output);
        if (!bytes) throw UsageFault(arguments.output + ": unknown palette format; use .gpl, .hex, .act, .pal or .png");
        write_user_file(arguments.output, "", *bytes);
    }
    return 0;
}

// Standard output could not take what was printed (a full disk, /dev/full).
int flushed(int status)
{
    std::cout.flush();
    if (std::cout) return status;
    say("cannot write standard output");
    return Failed;
}

int tesspack(int argc, char** argv)
{
    CLI::App app{"Builds whole tile files (.til) from a manifest and pictures, and unpacks them again.", "tesspack"};
    app.set_version_flag("--version", "tesspack " TESS_VERSION);
    app.require_subcommand(1);
    Arguments arguments;
    const auto output_option = [&](CLI::App* command, const std::string& help) {
        return command->add_option("-o,--output", arguments.output, help)->each([&](const std::string&) {
            arguments.output_given = true;
        });
    };

    CLI::App* build = app.add_subcommand("build", "Write the tile file a manifest describes");
    build->add_option("MANIFEST", arguments.input, "The manifest (TOML), or - for standard input; its paths are relative to its folder")
        ->required();
    output_option(build, "The tile file to write, or a folder to write it into (default: the manifest's `output`)");
    build->add_option("--metric", arguments.metric, "Colour distance for colours not in the palette")
        ->check(CLI::IsMember(metric_names()));
    build->add_option("--dither", arguments.dither, "Dithering for every scene: none, floyd-steinberg, bayer4, bayer8")
        ->check(CLI::IsMember(dither_names()));
    build->add_flag("--report", arguments.report, "Print what the mapping did to each scene's colours");
    build->add_flag("--report-json", arguments.report_json, "The same as JSON, for scripts");
    build->add_option("--max-size", arguments.max_size, "Refuse a tile file larger than this many bytes (default 256 MiB)");

    CLI::App* compare = app.add_subcommand("compare", "Draw every image as drawn, in the palette, and its colour error");
    compare->add_option("MANIFEST", arguments.input, "The manifest (TOML), or - for standard input")->required();
    output_option(compare, "The PNG to write")->required();
    compare->add_option("--scale", arguments.scale, "Each pixel as N x N pixels")->check(CLI::Range(1, 16));
    compare->add_option("--metric", arguments.metric, "Colour distance, as for build")
        ->check(CLI::IsMember(metric_names()));
    compare->add_option("--dither", arguments.dither, "Dithering for every scene, as for build")
        ->check(CLI::IsMember(dither_names()));
    compare->add_option("--max-size", arguments.max_size, "As for build");

    CLI::App* unpack = app.add_subcommand("unpack", "Write every image and a manifest that builds the file again");
    unpack->add_option("FILE", arguments.input, "The tile file, or - for standard input")->required();
    output_option(unpack, "The folder to write into (default: FILE without .til)");
    unpack->add_option("--format", arguments.format,
                       "Image files: png (indexed, in the palette), xpm, or gif (one animated GIF a view)")
        ->check(CLI::IsMember(image_format_names()));
    unpack->add_flag("--sheets", arguments.sheets, "One sheet a scene: a row a view, a column a frame");
    unpack->add_option("--max-files", arguments.max_files, "Refuse to write more files than this (default 100000)");

    CLI::App* verify = app.add_subcommand("verify", "Unpack in memory, build again and compare");
    verify->add_option("FILE", arguments.input, "The tile file, or - for standard input")->required();

    CLI::App* list = app.add_subcommand("list", "Say what a tile file holds");
    list->add_option("FILE", arguments.input, "The tile file, or - for standard input")->required();
    list->add_flag("--json", arguments.json, "As JSON, for scripts");

    CLI::App* preview = app.add_subcommand("preview", "Write one picture of every scene's sheet");
    preview->add_option("FILE", arguments.input, "The tile file, or - for standard input")->required();
    output_option(preview, "The PNG to write, or a GIF (NAME.gif) to animate")->required();
    preview->add_option("--scale", arguments.scale, "Each pixel as N x N pixels")->check(CLI::Range(1, 16));
    preview->add_option("--scene", arguments.scene, "GIF: only the scene of this name (default: every scene in turn)");
    preview->add_option("--delay", arguments.delay_ms, "GIF: milliseconds a frame, 10 to 60000 (default 100)")
        ->check(CLI::Range(10, 60000));

    CLI::App* palette = app.add_subcommand("palette", "Write the palette for image editors");
    output_option(palette, "FILE.gpl, FILE.hex, FILE.act, FILE.pal or FILE.png")->required();

    CLI::App* diff = app.add_subcommand("diff", "Say what changed from one tile file to another (status 1 when they differ)");
    diff->add_option("A", arguments.input, "The tile file before, or - for standard input")->required();
    diff->add_option("B", arguments.second, "The tile file after")->required();
    diff->add_flag("--json", arguments.json, "As JSON, for scripts");
    output_option(diff, "A PNG of every image that differs: A, B and the changed pixels");

    CLI::App* dump = app.add_subcommand("dump", "Write a tile file as text, a line a row of pixels (for git diff)");
    dump->add_option("FILE", arguments.input, "The tile file, or - for standard input")->required();

    if (argc > 2 && std::string_view(argv[1]) == "--list-values") {
        if (list_completion_values(app, std::span(argv + 2, argv + argc), std::cout)) return flushed(0);
        say("--list-values takes commands, options [COMMAND], metric, dither or format");
        return UsageError;
    }
    if (argc > 1 && argv[1][0] != '-' && std::find(std::begin(Commands), std::end(Commands), std::string_view(argv[1])) == std::end(Commands)) {
        say(std::string("unknown command '") + argv[1] + "'; the commands are build, unpack, verify, list, preview, palette, diff, dump and compare (see tesspack --help)");
        return UsageError;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) return flushed(app.exit(error));  // --help, --version
        say(std::string(error.what()) + " (see tesspack --help)");
        return UsageError;
    }

    int status = Failed;
    try {
        status = run(app.get_subcommands().front()->get_name(), arguments);
    } catch (const UsageFault& fault) {
        say(fault.what());
        status = UsageError;
    } catch (const StandardOutputLost& lost) {
        say(lost.what());
        return Failed;
    } catch (const PackError& error) {
        for (const std::string& line : rendered(error, arguments.input == "-" ? "standard input" : arguments.input)) say(line);
    } catch (const std::bad_alloc&) {
        say("out of memory");
    } catch (const std::exception& error) {
        say(error.what());
    }
    return flushed(status);
}

}  // namespace
}  // namespace tess

int main(int argc, char** argv)
{
    if (!tess::files::open_standard_descriptors()) return 1;
    try {
        return tess::tesspack(argc, argv);
    } catch (...) {
        return 1;
    }
}
