#include <CLI/CLI.hpp>

#include <iostream>
#include <new>

#include "build.hpp"
#include "files/safe_open.hpp"
#include "examine.hpp"
#include "manifest.hpp"
#include "pack_error.hpp"
#include "pack_files.hpp"
#include "palette_files.hpp"
#include "text.hpp"
#include "unpack.hpp"

namespace {

constexpr int Failed = 1;
constexpr int UsageError = 2;

void say(const std::string& message) { std::cerr << "tesspack: " << tess::printable(message) << "\n"; }

// The folder `unpack` writes into unless told: the tile file's path without
// ".til", or with "_unpacked" added when it has no such ending.
std::filesystem::path default_folder(const std::filesystem::path& tile)
{
    const std::string path = tile.string();
    if (path.ends_with(".til") && tile.filename() != ".til") return path.substr(0, path.size() - 4);
    return path + "_unpacked";
}

struct Arguments {
    std::string input;
    std::string output;
    std::string metric;
    std::string format = "png";
    bool sheets = false;
    bool json = false;
    int scale = 1;
};

int run(CLI::App& app, const Arguments& arguments)
{
    const CLI::App& command = *app.get_subcommands().front();
    const std::string name = command.get_name();
    if (name == "build") {
        tess::Manifest manifest = tess::read_manifest(arguments.input);
        if (!arguments.metric.empty()) manifest.metric = *tess::parse_metric(arguments.metric);
        const std::filesystem::path output =
            arguments.output.empty() ? manifest.folder / manifest.output : std::filesystem::path(arguments.output);
        tess::check_output_is_no_input(manifest, output);
        tess::OutputFile file(output);
        const tess::BuildCounts counts = tess::build_tile_file(manifest, file.stream());
        file.commit();
        say("wrote " + output.string() + ": " + std::to_string(counts.scenes) + " scenes, " +
            std::to_string(counts.images) + " images");
    } else if (name == "unpack") {
        tess::UnpackOptions options;
        options.folder = arguments.output.empty() ? default_folder(arguments.input) : std::filesystem::path(arguments.output);
        options.format = arguments.format == "xpm" ? tess::ImageFormat::Xpm : tess::ImageFormat::Png;
        options.sheets = arguments.sheets;
        const tess::UnpackCounts counts = tess::unpack_tile_file(arguments.input, options, std::cerr);
        say("wrote " + std::to_string(counts.files) + " image files and a manifest into " + options.folder.string() +
            ": " + std::to_string(counts.scenes) + " scenes, " + std::to_string(counts.images) + " images");
    } else if (name == "verify") {
        if (!tess::verify_tile_file(arguments.input, std::cout)) return Failed;
    } else if (name == "list") {
        tess::list_tile_file(arguments.input, arguments.json, std::cout);
    } else if (name == "preview") {
        const std::vector<std::uint8_t> png = tess::preview_png(arguments.input, arguments.scale);
        tess::OutputFile file(arguments.output);
        file.stream().write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
        file.commit();
    } else if (name == "palette") {
        const auto bytes = tess::palette_file_for(arguments.output);
        if (!bytes) {
            say(arguments.output + ": unknown palette format; use .gpl, .hex, .act or .png");
            return UsageError;
        }
        tess::OutputFile file(arguments.output);
        file.stream().write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
        file.commit();
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!tess::files::open_standard_descriptors()) return Failed;
    CLI::App app{"Builds whole tile files (.til) from a manifest and pictures, and unpacks them again.", "tesspack"};
    app.set_version_flag("--version", "tesspack 1.0");
    app.require_subcommand(1);
    Arguments arguments;

    CLI::App* build = app.add_subcommand("build", "Write the tile file a manifest describes");
    build->add_option("MANIFEST", arguments.input, "The manifest (TOML); its paths are relative to its folder")->required();
    build->add_option("-o,--output", arguments.output, "The tile file to write (default: the manifest's `output`)");
    build->add_option("--metric", arguments.metric, "Colour distance for colours not in the palette")
        ->check(CLI::IsMember({"L1", "L2", "L3", "L4", "oklab"}));

    CLI::App* unpack = app.add_subcommand("unpack", "Write every image and a manifest that builds the file again");
    unpack->add_option("FILE", arguments.input, "The tile file")->required();
    unpack->add_option("-o,--output", arguments.output, "The folder to write into (default: FILE without .til)");
    unpack->add_option("--format", arguments.format, "Image files: png (indexed, in the palette) or xpm")
        ->check(CLI::IsMember({"png", "xpm"}));
    unpack->add_flag("--sheets", arguments.sheets, "One sheet a scene: a row a view, a column a frame");

    CLI::App* verify = app.add_subcommand("verify", "Unpack in memory, build again and compare");
    verify->add_option("FILE", arguments.input, "The tile file")->required();

    CLI::App* list = app.add_subcommand("list", "Say what a tile file holds");
    list->add_option("FILE", arguments.input, "The tile file")->required();
    list->add_flag("--json", arguments.json, "As JSON, for scripts");

    CLI::App* preview = app.add_subcommand("preview", "Write one picture of every scene's sheet");
    preview->add_option("FILE", arguments.input, "The tile file")->required();
    preview->add_option("-o,--output", arguments.output, "The PNG to write")->required();
    preview->add_option("--scale", arguments.scale, "Each pixel as N x N pixels")->check(CLI::Range(1, 16));

    CLI::App* palette = app.add_subcommand("palette", "Write the palette for image editors");
    palette->add_option("-o,--output", arguments.output, "FILE.gpl, FILE.hex, FILE.act or FILE.png")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) return app.exit(error);  // --help, --version
        say(std::string(error.what()) + " (see tesspack --help)");
        return UsageError;
    }

    int status = Failed;
    try {
        status = run(app, arguments);
    } catch (const tess::PackError& error) {
        say(error.what());
    } catch (const std::bad_alloc&) {
        say("out of memory");
    } catch (const std::exception& error) {
        say(error.what());
    }
    std::cout.flush();
    if (!std::cout) {
        say("cannot write standard output");
        return Failed;
    }
    return status;
}
