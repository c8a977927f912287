#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pack/unpack.hpp"
#include "tile/image.hpp"

namespace tess {

// Why a scene's views cannot each be one animated GIF whose colour table is
// the palette index for index, or nothing when they can.
std::optional<std::string> why_no_gif(const UnpackScene& scene);

// A bound on the size of one view's GIF of `frames` images `height` rows
// high: at most 12-bit codes a pixel, in sub-blocks.
std::uint64_t gif_bytes_at_most(std::uint64_t frames, std::uint64_t height);

// One view's frames, gathered in order, as an animated GIF.
class ViewGif {
public:
    void add(const Image& image) { frames_.push_back(image.pixels); height_ = image.height; }
    std::vector<std::uint8_t> finish(const UnpackView& view);

private:
    std::vector<std::vector<Pixel>> frames_;
    int height_ = 0;
};

}  // namespace tess
