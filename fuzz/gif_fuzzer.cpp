// GIF bytes in, through the reader with modest limits. A refused file must
// end in one tess::GifError with a message; an accepted one must be within
// the limits and, where it has the indexed form, written again by the writer
// it must read back the same. Anything else (another exception, a failed
// check, a sanitizer report) is a defect.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "gif/gif_reader.hpp"
#include "gif/gif_writer.hpp"

namespace {

constexpr tess::GifLimits Limits{4096, 4096, std::uint64_t{1} << 20, 256, std::uint64_t{1} << 22};

tess::GifAnimation read(std::span<const std::uint8_t> file)
{
    try {
        return tess::read_gif(file, Limits);
    } catch (const tess::GifError& error) {
        if (*error.what() == '\0') __builtin_trap();
        throw;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tess::GifAnimation animation;
    try {
        animation = read(std::span(data, size));
    } catch (const tess::GifError&) {
        return 0;
    }

    const std::size_t pixels = std::size_t{animation.width} * animation.height;
    if (pixels == 0 || animation.width > Limits.max_width || animation.height > Limits.max_height ||
        pixels > Limits.max_pixels || animation.frames.empty() || animation.frames.size() > Limits.max_frames ||
        animation.frames.size() * pixels > Limits.max_total_pixels) {
        __builtin_trap();
    }
    std::vector<int> delays;
    for (const tess::GifFrame& frame : animation.frames) {
        if (frame.rgba.size() != pixels * 4 || frame.delay_ms < 0) __builtin_trap();
        for (std::size_t i = 3; i < frame.rgba.size(); i += 4) {
            if (frame.rgba[i] != 0 && frame.rgba[i] != 255) __builtin_trap();
        }
        delays.push_back(frame.delay_ms);
    }
    if (!animation.indexed) return 0;

    // The indices give the same pictures, and survive the writer.
    const tess::GifIndexed& indexed = *animation.indexed;
    const std::size_t entries = indexed.palette.size();
    if (entries < 2 || entries > 256 || (entries & (entries - 1)) != 0 ||
        indexed.frames.size() != animation.frames.size() || (indexed.transparent && *indexed.transparent >= entries)) {
        __builtin_trap();
    }
    for (std::size_t f = 0; f < indexed.frames.size(); ++f) {
        if (indexed.frames[f].size() != pixels) __builtin_trap();
        for (std::size_t i = 0; i < pixels; ++i) {
            const std::uint8_t index = indexed.frames[f][i];
            const std::uint8_t* pixel = &animation.frames[f].rgba[i * 4];
            if (index >= entries) __builtin_trap();
            if (indexed.transparent == index) {
                if (pixel[3] != 0) __builtin_trap();
                continue;
            }
            const tess::Rgb& colour = indexed.palette[index];
            if (pixel[0] != colour.red || pixel[1] != colour.green || pixel[2] != colour.blue || pixel[3] != 255) {
                __builtin_trap();
            }
        }
    }

    const std::vector<std::uint8_t> again = tess::write_indexed_gif(animation.width, animation.height, indexed.palette,
                                                                    indexed.transparent, indexed.frames, delays);
    const tess::GifAnimation reread = read(again);
    if (reread.width != animation.width || reread.height != animation.height || !reread.indexed ||
        reread.indexed->palette != indexed.palette || reread.indexed->transparent != indexed.transparent ||
        reread.indexed->frames != indexed.frames || reread.frames.size() != animation.frames.size()) {
        __builtin_trap();
    }
    for (std::size_t f = 0; f < reread.frames.size(); ++f) {
        const tess::GifFrame& frame = reread.frames[f];
        if (frame.rgba != animation.frames[f].rgba || frame.delay_ms != delays[f]) __builtin_trap();
    }
    return 0;
}
