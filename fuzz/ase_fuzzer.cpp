// Aseprite bytes in, through the reader with modest limits, then every frame composed. A refused file must end in
// one tess::AseError with a message that starts with its frame where it has one; an accepted one must compose
// canvas-sized frames, and where it has indices they must be the RGBA frames' own pixels and survive the writer.
// Anything else (another exception, a failed check, a sanitizer report) is a defect.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "ase/ase_composer.hpp"
#include "ase/ase_file.hpp"
#include "ase/ase_writer.hpp"

namespace {

constexpr tess::AseLimits Limits{1024, 1024, std::uint64_t{1} << 16, 64, 1024, 1024, std::uint64_t{1} << 16,
                                 std::uint64_t{1} << 22};

void check_message(const tess::AseError& error)
{
    const std::string text = error.what();
    if (text.empty()) __builtin_trap();
    if (error.frame() && text.rfind("frame " + std::to_string(*error.frame()), 0) != 0) __builtin_trap();
}

tess::AseFile read(std::span<const std::uint8_t> file)
{
    try {
        return tess::read_ase(file, Limits);
    } catch (const tess::AseError& error) {
        check_message(error);
        throw;
    }
}

void check_file(const tess::AseFile& file)
{
    if (file.width == 0 || file.height == 0 || file.width > Limits.max_width || file.height > Limits.max_height ||
        file.frames.empty() || file.frames.size() > Limits.max_frames || file.palettes.empty()) {
        __builtin_trap();
    }
    for (const tess::AseFrame& frame : file.frames) {
        if (frame.palette >= file.palettes.size()) __builtin_trap();
        for (const tess::AseCel& cel : frame.cels) {
            if (cel.layer >= file.layers.size()) __builtin_trap();
            const bool tilemap = file.layers[cel.layer].type == tess::AseLayerType::Tilemap;
            if (cel.content >= (tilemap ? file.tilemaps.size() : file.images.size())) __builtin_trap();
        }
    }
    for (const tess::AseTag& tag : file.tags) {
        if (tag.from > tag.to || tag.to >= file.frames.size()) __builtin_trap();
    }
}

// The indexed frames written as one layer of whole-canvas cels must read back the same, but for the
// transparent index drawn by a background, which the rewritten file has no background to show.
void check_rewritten(const tess::AseFile& file, const std::vector<tess::AseIndexedPicture>& pictures)
{
    std::vector<tess::Rgb> colours(256, tess::Rgb{0, 0, 0});
    const std::vector<tess::AseColour>& palette = file.palettes.front();
    for (std::size_t i = 0; i < std::min<std::size_t>(palette.size(), 256); ++i) {
        colours[i] = {palette[i].red, palette[i].green, palette[i].blue};
    }
    tess::AseIndexedSprite sprite{file.width, file.height, "image", colours, file.transparent_index, {}, {}};
    for (std::size_t f = 0; f < pictures.size(); ++f) {
        sprite.frames.push_back({file.width, file.height, pictures[f].indices,
                                 static_cast<std::uint16_t>(std::max<unsigned>(file.frames[f].duration_ms, 1))});
    }
    for (const tess::AseTag& tag : file.tags) sprite.tags.push_back({"tag", tag.from, tag.to});
    const std::vector<std::uint8_t> written = tess::write_indexed_ase(sprite);
    const tess::AseFile again = read(written);
    tess::AseComposer composer(again);
    if (!composer.has_indices() || again.frames.size() != pictures.size() || again.tags.size() != file.tags.size()) {
        __builtin_trap();
    }
    for (std::size_t f = 0; f < pictures.size(); ++f) {
        if (again.frames[f].duration_ms != sprite.frames[f].duration_ms) __builtin_trap();
        const tess::AseIndexedPicture back = composer.indices(f);
        for (std::size_t i = 0; i < back.indices.size(); ++i) {
            const bool drawn = pictures[f].alpha[i] != 0 && pictures[f].indices[i] != file.transparent_index;
            if (back.alpha[i] != (drawn ? 255 : 0) || back.indices[i] != pictures[f].indices[i]) __builtin_trap();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tess::AseFile file;
    try {
        file = read(std::span(data, size));
    } catch (const tess::AseError&) {
        return 0;
    }
    check_file(file);

    std::vector<tess::AseIndexedPicture> pictures;
    try {
        tess::AseComposer composer(file);
        const std::size_t pixels = std::size_t{file.width} * file.height;
        for (std::size_t f = 0; f < file.frames.size(); ++f) {
            const std::vector<std::uint8_t> rgba = composer.rgba(f);
            if (rgba.size() != pixels * 4) __builtin_trap();
            if (!composer.has_indices()) continue;
            tess::AseIndexedPicture picture = composer.indices(f);
            if (picture.indices.size() != pixels || picture.alpha.size() != pixels) __builtin_trap();
            const std::vector<tess::AseColour>& palette = file.palettes[file.frames[f].palette];
            for (std::size_t i = 0; i < pixels; ++i) {
                if (picture.alpha[i] != rgba[i * 4 + 3]) __builtin_trap();
                if (picture.alpha[i] == 0) continue;
                const tess::AseColour& colour = palette.at(picture.indices[i]);
                if (rgba[i * 4] != colour.red || rgba[i * 4 + 1] != colour.green || rgba[i * 4 + 2] != colour.blue) {
                    __builtin_trap();
                }
            }
            pictures.push_back(std::move(picture));
        }
    } catch (const tess::AseError& error) {
        // Only choosing the layers may refuse: a tilemap's tiles kept elsewhere.
        check_message(error);
        return 0;
    }
    if (!pictures.empty() && file.palettes.size() == 1) check_rewritten(file, pictures);
    return 0;
}
