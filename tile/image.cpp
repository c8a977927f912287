// An image's data encoded in canonical form, decoded and checked.
#include "tile/image.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <memory>
#include <tuple>

#include "tile/records.hpp"

namespace tess {

void PixelUse::include(const PixelUse& other)
{
    for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = indices[i] || other.indices[i];
    transparent = transparent || other.transparent;
}

PixelUse pixel_use(const Image& image)
{
    // Transparency's mark first, so that every pixel is marked the same way.
    std::array<bool, std::tuple_size_v<decltype(PixelUse::indices)> + 1> marks{};
    for (const Pixel pixel : image.pixels) marks[static_cast<std::size_t>(pixel + 1)] = true;
    PixelUse use;
    use.transparent = marks[0];
    std::copy(marks.begin() + 1, marks.end(), use.indices.begin());
    return use;
}

std::vector<std::uint8_t> encode_image(const Image& image, const TileLocation& where)
{
    if (image.height == 0) return {};
    // Room for the longest rows, left unfilled, so that they are written in
    // place one after another and only what they take is copied out.
    const auto room = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(image.height) *
                                                                     row_bytes_at_most(TileWidth) + 1);
    std::uint8_t* at = room.get();
    for (int y = 0; y < image.height; ++y) {
        std::span<const Pixel> row = image.row(y);
        const std::uint64_t drawn = drawn_pixels(row);
        at = encode_row(row.first(static_cast<std::size_t>(64 - std::countl_zero(drawn))), drawn, at);  // to the last drawn pixel
    }
    *at++ = code_byte(RowCode::EndOfImage);
    check_data_length(static_cast<std::size_t>(at - room.get()), where);
    return {room.get(), at};
}

namespace {

// An image's runs in order, each row's width and the number of rows checked;
// `put` gets each run of pixels and where in the image it starts.
template <typename Put>
void walk_image(std::span<const std::uint8_t> data, int height, const TileLocation& where, Put put)
{
    const auto fail = [&](TileFault fault) { throw TileError(fault, TilePart::ImageData, where); };
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
        put(static_cast<std::size_t>(y) * TileWidth + x, run);
        x += run.count;
    }
    if (y != height || x != 0) fail(TileFault::WrongRowCount);
}

}  // namespace

Image decode_image(std::span<const std::uint8_t> data, int height, const TileLocation& where)
{
    Image image{height, std::vector<Pixel>(static_cast<std::size_t>(height) * TileWidth, TransparentPixel)};
    walk_image(data, height, where, [&](std::size_t start, const Run& run) {
        std::copy(run.indices.begin(), run.indices.end(), image.pixels.begin() + static_cast<std::ptrdiff_t>(start));
    });
    return image;
}

void check_image(std::span<const std::uint8_t> data, int height, const TileLocation& where)
{
    walk_image(data, height, where, [](std::size_t, const Run&) {});
}

}  // namespace tess
