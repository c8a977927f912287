#include "pack/compare.hpp"

#include <algorithm>
#include <cmath>

#include "pack/error.hpp"
#include "palette/ciede2000.hpp"
#include "png/png_writer.hpp"

namespace tess {

namespace {

// Between the three columns and between the rows, in picture pixels.
constexpr int Gap = 4;

void put_rgb(std::vector<std::uint8_t>& rgba, std::size_t at, const Rgb& colour)
{
    rgba[at] = static_cast<std::uint8_t>(colour.red);
    rgba[at + 1] = static_cast<std::uint8_t>(colour.green);
    rgba[at + 2] = static_cast<std::uint8_t>(colour.blue);
    rgba[at + 3] = 255;
}

}  // namespace

std::array<std::uint8_t, 3> heat_colour(double difference)
{
    // Stops at 0, 5, 10 and 20.
    const auto ramp = [](double t) { return static_cast<std::uint8_t>(std::lround(std::clamp(t, 0.0, 1.0) * 255)); };
    return {ramp(difference / 5), ramp((difference - 5) / 5), ramp((difference - 10) / 10)};
}

ComparedImage compared_image(const PictureWindow& window, const ColourOptions& options, const Image& image)
{
    ComparedImage compared{window.image_width, window.image_height, {}, {}, {}};
    const std::size_t size = static_cast<std::size_t>(window.image_width) * static_cast<std::size_t>(window.image_height) * 4;
    compared.source.assign(size, 0);
    compared.result.assign(size, 0);
    compared.heat.assign(size, 0);
    const Picture& picture = *window.picture;
    for (int y = 0; y < window.height; ++y) {
        const int iy = window.top + y;
        for (int x = 0; x < window.width; ++x) {
            const int ix = window.left + x;
            const PictureColour& colour =
                picture.colours[picture.pixels[static_cast<std::size_t>(window.y0 + y) * static_cast<std::size_t>(picture.width) +
                                               static_cast<std::size_t>(window.x0 + x)]];
            const std::size_t at =
                (static_cast<std::size_t>(iy) * static_cast<std::size_t>(window.image_width) + static_cast<std::size_t>(ix)) * 4;
            put_rgb(compared.source, at, colour.rgb);
            compared.source[at + 3] = colour.alpha;
            const Pixel value = image.pixels[static_cast<std::size_t>(iy) * TileWidth + static_cast<std::size_t>(ix)];
            if (value == TransparentPixel) continue;
            const Rgb& entry = Palette[static_cast<std::size_t>(value)];
            put_rgb(compared.result, at, entry);
            const auto heat = heat_colour(ciede2000(drawn_colour(colour, options), entry));
            put_rgb(compared.heat, at, {heat[0], heat[1], heat[2]});
        }
    }
    return compared;
}

std::vector<std::uint8_t> compare_png(const Manifest& manifest, PictureSource& pictures, int scale, std::uint64_t max_bytes)
{
    if (scale < 1) throw PackError("the scale must be at least 1");
    const auto s = static_cast<std::uint64_t>(scale);
    ColourReport report;
    report.compare_pixels = MaxPicturePixels / (3 * s * s);
    build_tile_file(manifest, pictures, max_bytes, &report);

    std::uint64_t column = 0, height = 0;
    for (const ComparedImage& image : report.compared) {
        if (image.width == 0 || image.height == 0) continue;
        column = std::max(column, static_cast<std::uint64_t>(image.width) * s);
        height += static_cast<std::uint64_t>(image.height) * s + (height ? Gap : 0);
    }
    if (height == 0) throw PackError("no image has a pixel to compare", in_file(manifest.file));
    const std::uint64_t width = 3 * column + 2 * Gap;
    if (width * height > MaxPicturePixels) {
        throw PackError("the comparison picture would be " + std::to_string(width) + " x " + std::to_string(height) +
                            " pixels, more than " + std::to_string(MaxPicturePixels) + "; give a smaller --scale",
                        in_file(manifest.file));
    }

    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width * height * 4), 0);
    std::uint64_t top = 0;
    for (const ComparedImage& image : report.compared) {
        if (image.width == 0 || image.height == 0) continue;
        const std::vector<std::uint8_t>* parts[] = {&image.source, &image.result, &image.heat};
        for (std::uint64_t part = 0; part < 3; ++part) {
            const std::uint64_t left = part * (column + Gap);
            for (std::uint64_t y = 0; y < static_cast<std::uint64_t>(image.height) * s; ++y) {
                for (std::uint64_t x = 0; x < static_cast<std::uint64_t>(image.width) * s; ++x) {
                    const std::size_t from = static_cast<std::size_t>(((y / s) * static_cast<std::uint64_t>(image.width) + x / s) * 4);
                    const std::size_t to = static_cast<std::size_t>(((top + y) * width + left + x) * 4);
                    std::copy_n(parts[part]->begin() + static_cast<std::ptrdiff_t>(from), 4,
                                rgba.begin() + static_cast<std::ptrdiff_t>(to));
                }
            }
        }
        top += static_cast<std::uint64_t>(image.height) * s + Gap;
    }
    return write_rgba_png(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), rgba);
}

}  // namespace tess
