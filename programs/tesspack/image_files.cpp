#include "image_files.hpp"

#include <algorithm>

#include "png/png_writer.hpp"
#include "xpm/writer.hpp"

namespace tess {

std::string_view extension_of(ImageFormat format)
{
    return format == ImageFormat::Png ? ".png" : ".xpm";
}

UsedIndices used_indices(const Image& image)
{
    UsedIndices used{};
    for (const Pixel pixel : image.pixels) {
        if (pixel != TransparentPixel) used[static_cast<std::size_t>(pixel)] = true;
    }
    return used;
}

std::optional<std::uint8_t> transparent_index(const UsedIndices& used)
{
    for (std::size_t index = used.size(); index-- > 0;) {
        if (!used[index]) return static_cast<std::uint8_t>(index);
    }
    return std::nullopt;
}

ImageFile image_file(const Image& image, ImageFormat wanted, std::string_view array_name)
{
    const bool transparent =
        std::find(image.pixels.begin(), image.pixels.end(), TransparentPixel) != image.pixels.end();
    const std::optional<std::uint8_t> stand_in = transparent_index(used_indices(image));
    // A PNG holds at least one row, and needs an unused index for transparency.
    if (wanted == ImageFormat::Xpm || image.height == 0 || (transparent && !stand_in)) {
        const std::string text = image_xpm(array_name, image);
        return {ImageFormat::Xpm, {text.begin(), text.end()}};
    }
    std::vector<std::uint8_t> indices(image.pixels.size());
    std::transform(image.pixels.begin(), image.pixels.end(), indices.begin(), [&](Pixel pixel) {
        return static_cast<std::uint8_t>(pixel == TransparentPixel ? *stand_in : pixel);
    });
    return {ImageFormat::Png, write_indexed_png(TileWidth, static_cast<std::uint32_t>(image.height), indices,
                                                transparent ? stand_in : std::nullopt)};
}

}  // namespace tess
