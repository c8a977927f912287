#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <sstream>
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

// An atlas of the canvases as a packer writes one, `json_name` and its
// picture of the same name with .png: each frame trimmed to what is drawn,
// those `turned` says (every other one unless given) stored turned
// clockwise, in a row; named `names`, the frames an array or an object
// keyed by name; `tags_json` its frameTags.
inline void add_atlas(MemoryPictures& pictures, const std::string& json_name, const std::vector<Rgba>& canvases,
                      const std::vector<std::string>& names, const std::string& tags_json, bool object_form = false,
                      const std::function<bool(std::size_t)>& turned = {})
{
    std::ostringstream json;
    json << "{\"frames\": " << (object_form ? "{" : "[");
    std::vector<Rgba> stored;
    int atlas_w = 0, atlas_h = 1;
    for (std::size_t k = 0; k < canvases.size(); ++k) {
        const Rgba& canvas = canvases[k];
        int x0 = canvas.width, y0 = canvas.height, x1 = -1, y1 = -1;
        for (int y = 0; y < canvas.height; ++y) {
            for (int x = 0; x < canvas.width; ++x) {
                if (canvas.get(x, y)[3]) x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
            }
        }
        if (x1 < 0) x0 = y0 = x1 = y1 = 0;
        const Rgba trimmed = cut(canvas, x0, y0, x1 - x0 + 1, y1 - y0 + 1);
        const bool rotated = turned ? turned(k) : k % 2 == 1;
        Rgba kept = trimmed;
        if (rotated) {
            kept = blank(trimmed.height, trimmed.width);
            for (int y = 0; y < trimmed.height; ++y) {
                for (int x = 0; x < trimmed.width; ++x) kept.at(trimmed.height - 1 - y, x) = trimmed.get(x, y);
            }
        }
        json << (k ? ", " : "") << (object_form ? "\"" + names[k] + "\": {" : "{\"filename\": \"" + names[k] + "\", ")
             << "\"frame\": {\"x\": " << atlas_w << ", \"y\": 0, \"w\": " << trimmed.width << ", \"h\": " << trimmed.height
             << "}, \"rotated\": " << (rotated ? "true" : "false") << ", \"trimmed\": true, \"spriteSourceSize\": {\"x\": " << x0
             << ", \"y\": " << y0 << ", \"w\": " << trimmed.width << ", \"h\": " << trimmed.height << "}, \"sourceSize\": {\"w\": "
             << canvas.width << ", \"h\": " << canvas.height << "}, \"duration\": 100}";
        atlas_w += kept.width + 1;
        atlas_h = std::max(atlas_h, kept.height);
        stored.push_back(std::move(kept));
    }
    Rgba atlas = blank(atlas_w, atlas_h);
    for (int left = 0; const Rgba& s : stored) {
        for (int y = 0; y < s.height; ++y) {
            for (int x = 0; x < s.width; ++x) atlas.at(left + x, y) = s.get(x, y);
        }
        left += s.width + 1;
    }
    const std::string image = json_name.substr(0, json_name.find('.')) + ".png";
    pictures.files[image] = png_of(atlas);
    json << (object_form ? "}" : "]") << ", \"meta\": {\"image\": \"" << image << "\", \"frameTags\": [" << tags_json << "]}}";
    const std::string text = json.str();
    pictures.files[json_name] = std::vector<std::uint8_t>(text.begin(), text.end());
}

}  // namespace tess::testing
