// PNG bytes in, through the reader with the limits the programs use. A
// refused file must end in one tess::PngError with a message; anything else
// (another exception, a failed check, a sanitizer report) is a defect.
#include <cstddef>
#include <cstdint>
#include <span>

#include "png/png_reader.hpp"

namespace {

// Rows must come after the header's size, each that many pixels wide.
struct CountedRows final : tess::PngRows {
    std::uint32_t width = 0, height = 0, rows = 0;
    bool begun = false;
    void begin(std::uint32_t w, std::uint32_t h) override
    {
        if (begun) __builtin_trap();
        begun = true;
        width = w;
        height = h;
    }
    void row(std::span<const std::uint8_t> rgba) override
    {
        if (!begun || rgba.size() != std::size_t{width} * 4 || ++rows > height) __builtin_trap();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr tess::PngLimits limits{16320, 65025, std::uint64_t{4} << 20};
    tess::PngImage image;
    CountedRows rows;
    try {
        image = tess::read_png(std::span(data, size), limits, rows);
    } catch (const tess::PngError& error) {
        if (*error.what() == '\0') __builtin_trap();
        return 0;
    }

    // An accepted picture is whole: every pixel has its colour or, when
    // indexed, an index within the PLTE.
    const std::size_t pixels = std::size_t{image.width} * image.height;
    if (pixels == 0 || pixels > limits.max_pixels) __builtin_trap();
    if (image.indexed) {
        const tess::PngIndexed& indexed = *image.indexed;
        if (rows.begun || indexed.indices.size() != pixels || indexed.palette.size() != indexed.alpha.size()) {
            __builtin_trap();
        }
        for (const std::size_t index : indexed.indices) {
            if (index >= indexed.palette.size()) __builtin_trap();
        }
    } else if (rows.width != image.width || rows.height != image.height || rows.rows != image.height) {
        __builtin_trap();
    }
    return 0;
}
