#include <filesystem>
#include <fstream>
#include <iostream>

#include "decode_tile_file.hpp"
#include "programs/failure.hpp"
#include "xpm_files.hpp"

int main(int argc, char** argv)
{
    try {
        if (argc != 2) tess::fail("Usage: tessdec input_file.til\n");
        std::ifstream tile(argv[1], std::ios::binary);
        if (!tile || std::filesystem::is_directory(argv[1])) tess::fail("Error: file %s doesn't exist\n", argv[1]);
        tess::DiskXpmFiles files;
        try {
            tess::decode_tile_file(tile, argv[1], std::cout, files);
        } catch (const std::ios_base::failure&) {
            tess::fail("Error: cannot read file %s\n", argv[1]);
        }
    } catch (const tess::Failure& failure) {
        std::cout << failure.what() << std::flush;
        return failure.exit_status();
    }
    return 0;
}
