// tessenc: its arguments, its files and its failures.
#include <unistd.h>

#include <iostream>

#include "encode_tile_file.hpp"
#include "files/file_stream.hpp"
#include "programs/failure.hpp"
#include "tile_start.hpp"

namespace {

void run(int argc, char** argv)
{
    if (argc != 3) tess::fail("Usage: tessenc conversion_type input_file.xpm\n");
    // tessenc offers the RGB metrics only.
    const auto metric = tess::parse_metric(argv[1]);
    if (!metric || *metric == tess::Metric::OkLab) tess::fail("\nwrong conversion type: use L1 | L2\n");

    std::error_code error;
    tess::files::Descriptor xpm_file = tess::files::open_input(argv[2], error);
    if (error) tess::fail("File %s doesn't exist\n", argv[2]);
    tess::files::FileStream xpm(std::move(xpm_file));
    const std::string tile_path = tess::tile_path_for(argv[2]);
    tess::files::Descriptor tile_file = tess::files::open_output(tile_path, error, xpm.descriptor());
    if (error == tess::files::Refusal::is_the_input) {
        tess::fail("error: the tile file %s is the input itself\n", tile_path.c_str());
    }
    if (error) tess::fail("error: cannot create tile file %s\n", tile_path.c_str());
    tess::files::FileStream tile(std::move(tile_file));

    std::cout << "scene name ? " << std::flush;
    const std::string scene_name = tess::read_scene_name(STDIN_FILENO);
    try {
        tess::encode_tile_file(xpm, *metric, scene_name, tile, std::cout);
    } catch (const std::ios_base::failure&) {
        tess::fail("error: cannot read file %s\n", argv[2]);
    }

    if (!tile.close()) tess::fail("error: cannot write tile file %s\n", tile_path.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    // Before any file is opened, so none lands on 0, 1 or 2.
    if (!tess::files::open_standard_descriptors()) return 1;
    return tess::run_main("tessenc", "error", [&] { run(argc, argv); });
}
