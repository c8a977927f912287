// Atlas JSON in, through tesspack's reader of Aseprite and TexturePacker
// exports. A refused atlas must end in one PackError with a message; an
// accepted one must hold what a layout relies on: frames of a drawable size
// and tags that play only frames the atlas has.
#include <cstddef>
#include <cstdint>
#include <span>

#include "pack/atlas.hpp"
#include "pack/error.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tess::Atlas atlas;
    try {
        atlas = tess::parse_atlas(std::span(data, size), "fuzz.json");
    } catch (const tess::PackError& error) {
        if (*error.what() == '\0') __builtin_trap();
        return 0;
    }
    if (atlas.image.empty()) __builtin_trap();
    for (const tess::AtlasFrame& frame : atlas.frames) {
        if (frame.w < 0 || frame.h < 0 || frame.x < 0 || frame.y < 0 || frame.canvas_w < 0 || frame.canvas_h < 0) {
            __builtin_trap();
        }
    }
    for (const tess::AtlasTag& tag : atlas.tags) {
        for (const int frame : tess::tag_frames(tag)) {
            if (frame < 0 || static_cast<std::size_t>(frame) >= atlas.frames.size()) __builtin_trap();
        }
    }
    return 0;
}
