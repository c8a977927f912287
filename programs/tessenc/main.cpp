#include <filesystem>
#include <fstream>
#include <iostream>

#include "encode_tile_file.hpp"
#include "programs/failure.hpp"
#include "tile_start.hpp"

int main(int argc, char** argv)
{
    try {
        if (argc != 3) tess::fail("Usage: tessenc conversion_type input_file.xpm\n");
        const auto type = tess::parse_conversion_type(argv[1]);
        if (!type) tess::fail("\nwrong conversion type: use L1 | L2\n");

        std::ifstream xpm(argv[2], std::ios::binary);
        if (!xpm || std::filesystem::is_directory(argv[2])) tess::fail("File %s doesn't exist\n", argv[2]);
        const std::string tile_path = tess::tile_path_for(argv[2]);
        std::ofstream tile(tile_path, std::ios::binary | std::ios::trunc);
        if (!tile) tess::fail("error: cannot create tile file %s\n", tile_path.c_str());

        std::cout << "scene name ? " << std::flush;
        const std::string scene_name = tess::read_scene_name(std::cin);
        try {
            tess::encode_tile_file(xpm, *type, scene_name, tile, std::cout);
        } catch (const std::ios_base::failure&) {
            tess::fail("error: cannot read file %s\n", argv[2]);
        }

        tile.close();
        if (tile.fail()) tess::fail("error: cannot write tile file %s\n", tile_path.c_str());
    } catch (const tess::Failure& failure) {
        std::cout << failure.what() << std::flush;
        return failure.exit_status();
    }
    return 0;
}
