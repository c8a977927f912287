// tessdec: its arguments, its input and its failures.
#include <iostream>

#include "decode_tile_file.hpp"
#include "files/file_stream.hpp"
#include "programs/failure.hpp"
#include "xpm_files.hpp"

namespace {

void run(int argc, char** argv)
{
    if (argc != 2) tess::fail("Usage: tessdec input_file.til\n");
    std::error_code error;
    tess::files::Descriptor tile_file = tess::files::open_input(argv[1], error);
    if (error) tess::fail("Error: file %s doesn't exist\n", argv[1]);
    tess::files::FileStream tile(std::move(tile_file));
    tess::DiskXpmFiles files;
    try {
        tess::decode_tile_file(tile, argv[1], std::cout, files);
    } catch (const std::ios_base::failure&) {
        tess::fail("Error: cannot read file %s\n", argv[1]);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    // Before any file is opened, so none lands on 0, 1 or 2.
    if (!tess::files::open_standard_descriptors()) return 1;
    return tess::run_main("tessdec", "Error", [&] { run(argc, argv); });
}
