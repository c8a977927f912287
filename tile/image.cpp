#include "tile/image.hpp"

#include <algorithm>

#include "tile/records.hpp"

namespace tess {

void PixelUse::include(const PixelUse& other)
{
    for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = indices[i] || other.indices[i];
    transparent = transparent || other.transparent;
}

PixelUse pixel_use(const Image& image)
{
    PixelUse use;
    for (const Pixel pixel : image.pixels) {
        if (pixel == TransparentPixel) {
            use.transparent = true;
        } else {
            use.indices[static_cast<std::size_t>(pixel)] = true;
        }
    }
    return use;
}

std::vector<std::uint8_t> encode_image(const Image& image, const TileLocation& where)
{
    std::vector<std::uint8_t> data;
    if (image.height == 0) return data;
    // The most a row can take, so rows are written without moving the data.
    data.reserve(static_cast<std::size_t>(image.height) * (3 * TileWidth + 1) + 1);
    for (int y = 0; y < image.height; ++y) {
        std::span<const Pixel> row = image.row(y);
        const auto last_opaque = std::find_if(row.rbegin(), row.rend(), [](Pixel p) { return p != TransparentPixel; });
        encode_row(row.first(static_cast<std::size_t>(row.rend() - last_opaque)), data);
    }
    data.push_back(code_byte(RowCode::EndOfImage));
    check_data_length(data.size(), where);
    data.shrink_to_fit();  // images may be held many at a time
    return data;
}

Image decode_image(std::span<const std::uint8_t> data, int height, const TileLocation& where)
{
    const auto fail = [&](TileFault fault) { throw TileError(fault, TilePart::ImageData, where); };
    Image image{height, std::vector<Pixel>(static_cast<std::size_t>(height) * TileWidth, TransparentPixel)};
    int y = 0;
    std::size_t x = 0;
    for (RunReader runs(data, where); !runs.at_end();) {
        const Run run = runs.next();
        if (run.code == RowCode::EndOfRow) {
            ++y;
            x = 0;
            continue;
        }
        if (run.code != RowCode::LiteralRun && run.code != RowCode::TransparentRun) continue;
        if (x + run.count > TileWidth) fail(TileFault::RowTooWide);
        if (y >= height) fail(TileFault::WrongRowCount);
        const std::size_t start = static_cast<std::size_t>(y) * TileWidth + x;
        std::copy(run.indices.begin(), run.indices.end(), image.pixels.begin() + static_cast<std::ptrdiff_t>(start));
        x += run.count;
    }
    if (y != height || x != 0) fail(TileFault::WrongRowCount);
    return image;
}

}  // namespace tess
