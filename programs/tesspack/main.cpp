// tesspack's command line: a table of its commands (name, help, options, what each runs) over pack/ and the disk.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <iostream>
#include <new>

#include "commands.hpp"
#include "completion.hpp"
#include "disk.hpp"
#include "pack/error.hpp"
#include "pack/image_files.hpp"
#include "pack/text.hpp"

namespace tess {
namespace {

CLI::Option* add_output(CLI::App& command, Arguments& arguments, const std::string& help)
{
    return command.add_option("-o,--output", arguments.output, help)->each([&](const std::string&) {
        arguments.output_given = true;
    });
}

void add_tile_file(CLI::App& command, Arguments& arguments)
{
    command.add_option("FILE", arguments.input, "The tile file, or - for standard input")->required();
}

void add_scale(CLI::App& command, Arguments& arguments)
{
    command.add_option("--scale", arguments.scale, "Each pixel as N x N pixels")->check(CLI::Range(1, 16));
}

void add_colour_options(CLI::App& command, Arguments& arguments, const std::string& metric, const std::string& dither)
{
    command.add_option("--metric", arguments.metric, metric)->check(CLI::IsMember(metric_names()));
    command.add_option("--dither", arguments.dither, dither)->check(CLI::IsMember(dither_names()));
}

// A row of the table: what the command line shows of a command, and what it
// runs, giving the exit status.
struct Command {
    const char* name;
    const char* help;
    void (*add_options)(CLI::App& command, Arguments& arguments);
    int (*run)(const Arguments& arguments);
};

// In the order help and completion give them.
const Command Commands[] = {
    {"build", "Write the tile file a manifest describes",
     [](CLI::App& command, Arguments& arguments) {
         command.add_option("MANIFEST", arguments.input,
                            "The manifest (TOML), or - for standard input; its paths are relative to its folder")
             ->required();
         add_output(command, arguments, "The tile file to write, or a folder to write it into (default: the manifest's `output`)");
         add_colour_options(command, arguments, "Colour distance for colours not in the palette",
                            "Dithering for every scene: " + listed(dither_names()));
         command.add_flag("--report", arguments.report, "Print what the mapping did to each scene's colours");
         command.add_flag("--report-json", arguments.report_json, "The same as JSON, for scripts");
         command.add_option("--max-size", arguments.max_size, "Refuse a tile file larger than this many bytes (default 256 MiB)");
     }, run_build},
    {"compare", "Draw every image as drawn, in the palette, and its colour error",
     [](CLI::App& command, Arguments& arguments) {
         command.add_option("MANIFEST", arguments.input, "The manifest (TOML), or - for standard input")->required();
         add_output(command, arguments, "The PNG to write")->required();
         add_scale(command, arguments);
         add_colour_options(command, arguments, "Colour distance, as for build", "Dithering for every scene, as for build");
         command.add_option("--max-size", arguments.max_size, "As for build");
     }, run_compare},
    {"unpack", "Write every image and a manifest that builds the file again",
     [](CLI::App& command, Arguments& arguments) {
         add_tile_file(command, arguments);
         add_output(command, arguments, "The folder to write into (default: FILE without .til)");
         command.add_option("--format", arguments.format, "Image files: png (indexed, in the palette), xpm, gif (one animated GIF a view) or aseprite (one .aseprite file a scene, a tag a view)")
             ->check(CLI::IsMember(image_format_names()));
         command.add_flag("--sheets", arguments.sheets, "One sheet a scene: a row a view, a column a frame");
         command.add_option("--max-files", arguments.max_files, "Refuse to write more files than this (default 100000)");
     }, run_unpack},
    {"verify", "Unpack in memory, build again and compare", add_tile_file, run_verify},
    {"list", "Say what a tile file holds",
     [](CLI::App& command, Arguments& arguments) {
         add_tile_file(command, arguments);
         command.add_flag("--json", arguments.json, "As JSON, for scripts");
     }, run_list},
    {"preview", "Write one picture of every scene's sheet",
     [](CLI::App& command, Arguments& arguments) {
         add_tile_file(command, arguments);
         add_output(command, arguments, "The PNG to write, or a GIF (NAME.gif) to animate")->required();
         add_scale(command, arguments);
         command.add_option("--scene", arguments.scene, "GIF: only the scene of this name (default: every scene in turn)");
         command.add_option("--delay", arguments.delay_ms, "GIF: milliseconds a frame, 10 to 60000 (default 100)")
             ->check(CLI::Range(10, 60000));
     }, run_preview},
    {"palette", "Write the palette for image editors",
     [](CLI::App& command, Arguments& arguments) {
         add_output(command, arguments, "FILE.gpl, FILE.hex, FILE.act, FILE.pal or FILE.png")->required();
     }, run_palette},
    {"diff", "Say what changed from one tile file to another (status 1 when they differ)",
     [](CLI::App& command, Arguments& arguments) {
         command.add_option("A", arguments.input, "The tile file before, or - for standard input")->required();
         command.add_option("B", arguments.second, "The tile file after")->required();
         command.add_flag("--json", arguments.json, "As JSON, for scripts");
         add_output(command, arguments, "A PNG of every image that differs: A, B and the changed pixels");
     }, run_diff},
    {"dump", "Write a tile file as text, a line a row of pixels (for git diff)", add_tile_file, run_dump},
};

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
    for (const Command& command : Commands) command.add_options(*app.add_subcommand(command.name, command.help), arguments);

    if (argc > 2 && std::string_view(argv[1]) == "--list-values") {
        if (list_completion_values(app, std::span(argv + 2, argv + argc), std::cout)) return flushed(0);
        say("--list-values takes commands, options [COMMAND], metric, dither or format");
        return UsageError;
    }
    if (argc > 1 && argv[1][0] != '-' &&
        std::none_of(std::begin(Commands), std::end(Commands), [&](const Command& c) { return c.name == std::string_view(argv[1]); })) {
        say(std::string("unknown command '") + argv[1] +
            "'; the commands are build, unpack, verify, list, preview, palette, diff, dump and compare (see tesspack --help)");
        return UsageError;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) return flushed(app.exit(error));  // --help, --version
        say(std::string(error.what()) + " (see tesspack --help)");
        return UsageError;
    }

    const std::string chosen = app.get_subcommands().front()->get_name();
    int status = Failed;
    try {
        if (arguments.output_given && arguments.output.empty()) throw UsageFault("-o needs a name, not an empty one");
        status = std::find_if(std::begin(Commands), std::end(Commands), [&](const Command& c) { return c.name == chosen; })
                     ->run(arguments);
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
