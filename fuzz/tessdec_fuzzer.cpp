// Tile bytes in, through the decoder's walk with XPMs kept in memory. A
// damaged file must end in one tess::Failure with a newline-terminated
// message; anything else (another exception, a sanitizer report) is a defect.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "programs/failure.hpp"
#include "decode_tile_file.hpp"
#include "memory_xpm_files.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream tile(std::string(reinterpret_cast<const char*>(data), size));
    std::ostringstream summary;
    tess::testing::MemoryXpmFiles files;
    try {
        tess::decode_tile_file(tile, "fuzz.til", summary, files);
    } catch (const tess::Failure& failure) {
        const std::string message = failure.what();
        if (message.empty() || message.back() != '\n') __builtin_trap();
        return 0;
    }

    // A complete walk leaves every XPM finished.
    for (const auto& [path, text] : files.contents()) {
        if (!text.starts_with("/* XPM */\n") || !text.ends_with("\n};\n")) __builtin_trap();
    }
    return 0;
}
