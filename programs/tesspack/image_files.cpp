#include "image_files.hpp"

#include <algorithm>

#include "png/png_writer.hpp"
#include "xpm/indexed.hpp"

namespace tess {

std::string_view extension_of(ImageFormat format)
{
    return format == ImageFormat::Png ? ".png" : ".xpm";
}

std::optional<std::uint8_t> transparent_index(const PixelUse& use)
{
    for (std::size_t index = use.indices.size(); index-- > 0;) {
        if (!use.indices[index]) return static_cast<std::uint8_t>(index);
    }
    return std::nullopt;
}

ImageFile image_file(const Image& image, ImageFormat wanted, std::string_view array_name)
{
    const PixelUse use = pixel_use(image);
    const bool transparent = use.transparent;
    const std::optional<std::uint8_t> stand_in = transparent_index(use);
    // A PNG holds at least one row, and needs an unused index for transparency.
    if (wanted == ImageFormat::Xpm || image.height == 0 || (transparent && !stand_in)) {
        const std::string text = indexed_xpm(array_name, TileWidth, image.height, image.pixels);
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
