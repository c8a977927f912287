#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "tile/image.hpp"

namespace tess {

// Gif is one animated GIF a view, and Aseprite one indexed .aseprite file a
// scene, a tag a view, where the scene can be; otherwise its images are PNGs.
enum class ImageFormat { Png, Xpm, Gif, Aseprite };

std::string_view extension_of(ImageFormat format);

// Every name parse_image_format accepts ("png", "xpm", "gif", "aseprite"), in the order
// of ImageFormat's values: the one list the command line and its completion
// offer.
std::span<const std::string_view> image_format_names();
std::optional<ImageFormat> parse_image_format(std::string_view text);

// The entry unpacked PNGs erase with: a duplicate black that the nearest-colour
// mapping never produces (it gives the lowest index of equal colours).
inline constexpr std::uint8_t PreferredTransparentIndex = 254;

// The index that stands for transparency in an indexed PNG: one the picture
// does not use, the duplicate blacks 254 down to 240 first, then the highest
// unused. None when it uses all 256.
std::optional<std::uint8_t> transparent_index(const PixelUse& use);

// The pixels as palette indices, `clear` standing in for transparency.
std::vector<std::uint8_t> indices_of(std::span<const Pixel> pixels, std::uint8_t clear);

struct ImageFile {
    ImageFormat format;
    std::vector<std::uint8_t> bytes;
};

// Pixels in the palette (`width` x `height`, row by row, TransparentPixel
// where nothing is drawn; `use` says which they use) as a file of `wanted`
// format: an indexed PNG whose PLTE is the palette (for Gif too), or an XPM. What uses all
// 256 indices and transparency, or has no rows, cannot be an indexed PNG and
// becomes an XPM.
ImageFile indexed_file(int width, int height, std::span<const Pixel> pixels, const PixelUse& use, ImageFormat wanted,
                       std::string_view array_name);

// One image as such a file.
ImageFile image_file(const Image& image, ImageFormat wanted, std::string_view array_name);

}  // namespace tess
