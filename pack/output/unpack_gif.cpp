// Unpack's GIF form: whether a scene's views can be GIFs, and each view's GIF.
#include "unpack_gif.hpp"

#include <algorithm>

#include "gif/gif_writer.hpp"
#include "pack/error.hpp"
#include "pack/image_files.hpp"
#include "palette/palette.hpp"

namespace tess {

namespace {

// What a viewer waits between frames: the tile file keeps no timing.
constexpr int FrameDelayMs = 100;

}  // namespace

std::optional<std::string> why_no_gif(const UnpackScene& scene)
{
    for (std::size_t v = 0; v < scene.views.size(); ++v) {
        const UnpackView& view = scene.views[v];
        const std::string which = "view " + std::to_string(v) + " ";
        if (!view.same_height) return which + "has images of different heights";
        if (view.height == 0) return which + "has images of no rows";
        if (view.use.transparent && !transparent_index(view.use)) {
            return which + "uses all 256 indices and transparency";
        }
    }
    return std::nullopt;
}

std::uint64_t gif_bytes_at_most(std::uint64_t frames, std::uint64_t height)
{
    const std::uint64_t codes = height * TileWidth + 4096;  // every pixel, plus clear codes
    return 2048 + frames * (64 + codes * 12 / 8 + codes * 12 / 8 / 255 + 1);
}

std::vector<std::uint8_t> ViewGif::finish(const UnpackView& view)
{
    const std::optional<std::uint8_t> clear = view.use.transparent ? transparent_index(view.use) : std::nullopt;
    std::vector<std::vector<std::uint8_t>> indices;
    indices.reserve(frames_.size());
    for (const std::vector<Pixel>& frame : frames_) indices.push_back(indices_of(frame, clear.value_or(0)));
    const std::vector<int> delays(frames_.size(), FrameDelayMs);
    frames_.clear();
    try {
        return write_indexed_gif(TileWidth, static_cast<std::uint32_t>(height_), Palette, clear, indices, delays);
    } catch (const GifError& error) {
        throw PackError(Fault::Limit, error.what());
    }
}

}  // namespace tess
