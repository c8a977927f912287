#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "pack/build.hpp"
#include "pack/error.hpp"
#include "png/png_writer.hpp"

namespace tess::testing {

// Pictures a build reads, kept in memory by path.
class MemoryPictures final : public PictureSource {
public:
    std::vector<std::uint8_t> read(const std::string& path) override
    {
        const auto found = files.find(path);
        if (found == files.end()) throw PackError(Fault::File, "cannot read: no such file", in_file(path));
        return found->second;
    }
    std::vector<std::string> list(const std::string&) override { return {}; }
    std::map<std::string, std::vector<std::uint8_t>> files;
};

using Rgba8 = std::array<std::uint8_t, 4>;

// RGBA pixels, row by row; outside the picture is transparent.
struct Rgba {
    int width = 0, height = 0;
    std::vector<Rgba8> pixels;
    Rgba8& at(int x, int y) { return pixels[static_cast<std::size_t>(y * width + x)]; }
    Rgba8 get(int x, int y) const
    {
        return x < 0 || y < 0 || x >= width || y >= height ? Rgba8{} : pixels[static_cast<std::size_t>(y * width + x)];
    }
};

inline Rgba blank(int width, int height)
{
    return {width, height, std::vector<Rgba8>(static_cast<std::size_t>(width * height))};
}

inline std::vector<std::uint8_t> png_of(const Rgba& picture)
{
    std::vector<std::uint8_t> rgba;
    for (const auto& pixel : picture.pixels) rgba.insert(rgba.end(), pixel.begin(), pixel.end());
    return write_rgba_png(static_cast<std::uint32_t>(picture.width), static_cast<std::uint32_t>(picture.height), rgba);
}

// The window x0, y0, width x height of `from` (transparent where it lies
// outside), flipped left to right where `mirrored`.
inline Rgba cut(const Rgba& from, int x0, int y0, int width, int height, bool mirrored = false)
{
    Rgba out = blank(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) out.at(mirrored ? width - 1 - x : x, y) = from.get(x0 + x, y0 + y);
    }
    return out;
}

}  // namespace tess::testing
