// PNG bytes in, through the reader with the limits the programs use. A
// refused file must end in one tess::PngError with a message; anything else
// (another exception, a failed check, a sanitizer report) is a defect.
#include <cstddef>
#include <cstdint>
#include <span>

#include "png/png_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr tess::PngLimits limits{16320, 65025, std::uint64_t{4} << 20};
    tess::PngImage image;
    try {
        image = tess::read_png(std::span(data, size), limits);
    } catch (const tess::PngError& error) {
        if (*error.what() == '\0') __builtin_trap();
        return 0;
    }

    // An accepted picture is whole: every pixel has its colour and, when
    // indexed, an index within the PLTE, which matches the colour.
    const std::size_t pixels = std::size_t{image.width} * image.height;
    if (pixels == 0 || pixels > limits.max_pixels || image.rgba.size() != pixels * 4) __builtin_trap();
    if (image.indexed) {
        const tess::PngIndexed& indexed = *image.indexed;
        if (indexed.indices.size() != pixels || indexed.palette.size() != indexed.alpha.size()) __builtin_trap();
        for (std::size_t i = 0; i < pixels; ++i) {
            const std::size_t index = indexed.indices[i];
            if (index >= indexed.palette.size()) __builtin_trap();
            const tess::Rgb& entry = indexed.palette[index];
            if (image.rgba[i * 4] != entry.red || image.rgba[i * 4 + 1] != entry.green ||
                image.rgba[i * 4 + 2] != entry.blue || image.rgba[i * 4 + 3] != indexed.alpha[index]) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
