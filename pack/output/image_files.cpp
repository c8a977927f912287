// Images as files: indexed PNGs in the palette or XPMs, and the format names.
#include "pack/image_files.hpp"

#include <algorithm>
#include <array>

#include "png/png_writer.hpp"
#include "xpm/indexed.hpp"

namespace tess {

std::string_view extension_of(ImageFormat format)
{
    switch (format) {
    case ImageFormat::Png: return ".png";
    case ImageFormat::Xpm: return ".xpm";
    case ImageFormat::Gif: return ".gif";
    case ImageFormat::Aseprite: return ".aseprite";
    }
    return ".png";
}

namespace {

// In the order of ImageFormat's values.
constexpr std::array<std::string_view, 4> ImageFormatNames{"png", "xpm", "gif", "aseprite"};
static_assert(static_cast<std::size_t>(ImageFormat::Aseprite) + 1 == ImageFormatNames.size());

}  // namespace

std::span<const std::string_view> image_format_names()
{
    return ImageFormatNames;
}

std::optional<ImageFormat> parse_image_format(std::string_view text)
{
    const auto found = std::find(ImageFormatNames.begin(), ImageFormatNames.end(), text);
    if (found == ImageFormatNames.end()) return std::nullopt;
    return static_cast<ImageFormat>(found - ImageFormatNames.begin());
}

std::vector<std::uint8_t> indices_of(std::span<const Pixel> pixels, std::uint8_t clear)
{
    std::vector<std::uint8_t> indices(pixels.size());
    std::transform(pixels.begin(), pixels.end(), indices.begin(),
                   [clear](Pixel pixel) { return static_cast<std::uint8_t>(pixel == TransparentPixel ? clear : pixel); });
    return indices;
}

std::optional<std::uint8_t> transparent_index(const PixelUse& use)
{
    for (std::size_t index = PreferredTransparentIndex; index >= 240; --index) {
        if (!use.indices[index]) return static_cast<std::uint8_t>(index);
    }
    for (std::size_t index = use.indices.size(); index-- > 0;) {
        if (!use.indices[index]) return static_cast<std::uint8_t>(index);
    }
    return std::nullopt;
}

ImageFile indexed_file(int width, int height, std::span<const Pixel> pixels, const PixelUse& use, ImageFormat wanted,
                       std::string_view array_name)
{
    const std::optional<std::uint8_t> stand_in = transparent_index(use);
    // Opaque images get a transparent index too, so an editor has one to erase with.
    if (wanted == ImageFormat::Xpm || height == 0 || (use.transparent && !stand_in)) {
        const std::string text = indexed_xpm(array_name, width, height, pixels);
        return {ImageFormat::Xpm, {text.begin(), text.end()}};
    }
    const std::vector<std::uint8_t> indices = indices_of(pixels, stand_in.value_or(0));
    // An image's file is small (16 KiB stored at the most), and unpack writes
    // thousands: deflating one took longer than creating the file, so images
    // are stored as they are. A sheet, of many images, is deflated.
    const bool one_image = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) <= std::uint64_t{TileWidth} * MaxCount;
    return {ImageFormat::Png, write_indexed_png(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), indices,
                                                stand_in, one_image ? PngCompression::Stored : PngCompression::Fast)};
}

ImageFile image_file(const Image& image, ImageFormat wanted, std::string_view array_name)
{
    // An XPM has a key for transparency of its own: which indices are used is no matter.
    if (wanted == ImageFormat::Xpm) return indexed_file(TileWidth, image.height, image.pixels, {}, wanted, array_name);
    return indexed_file(TileWidth, image.height, image.pixels, pixel_use(image), wanted, array_name);
}

}  // namespace tess
