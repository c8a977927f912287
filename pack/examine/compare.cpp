// `compare`: every image as drawn, in the palette, and its colour error, in one PNG.
#include "pack/compare.hpp"

#include <algorithm>
#include <cmath>

#include "pack/error.hpp"
#include "png/png_writer.hpp"

namespace tess {

namespace {

// Between the three columns and between the rows, in picture pixels.
constexpr int Gap = 4;

}  // namespace

std::vector<std::uint8_t> compare_png(const Manifest& manifest, PictureSource& pictures, int scale, std::uint64_t max_bytes)
{
    if (scale < 1) throw PackError(Fault::Limit, "the scale must be at least 1");
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
    if (height == 0) throw PackError(Fault::Limit, "no image has a pixel to compare", in_file(manifest.file));
    const std::uint64_t width = 3 * column + 2 * Gap;
    if (width * height > MaxPicturePixels) {
        throw PackError(Fault::Limit, "the comparison picture would be " + std::to_string(width) + " x " + std::to_string(height) +
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
