// Rows of pixels as runs: read one run at a time and encoded.
#include "tile/runs.hpp"

#include <algorithm>
#include <array>
#include <bit>

namespace tess {

Run RunReader::next()
{
    const auto code = static_cast<RowCode>(data_[position_++]);
    if (code != RowCode::LiteralRun && code != RowCode::TransparentRun) return {code, 0, {}};
    if (at_end()) throw TileError(TileFault::RunPastData, TilePart::ImageData, where_);
    Run run{code, data_[position_++], {}};
    if (code == RowCode::LiteralRun) {
        if (run.count > data_.size() - position_) throw TileError(TileFault::RunPastData, TilePart::ImageData, where_);
        run.indices = data_.subspan(position_, run.count);
        position_ += run.count;
    }
    return run;
}

std::uint64_t drawn_pixels(std::span<const Pixel> pixels)
{
    static_assert(TileWidth % 4 == 0 && TileWidth <= 64, "a row's pixels are bits of one word");
    // A whole row as it is; a shorter one padded with transparency.
    std::array<Pixel, TileWidth> padded;
    const Pixel* row = pixels.data();
    if (pixels.size() < TileWidth) {
        padded.fill(TransparentPixel);
        std::copy(pixels.begin(), pixels.end(), padded.begin());
        row = padded.data();
    }
    // Four words filled side by side, so that no bit waits for the one before.
    std::uint64_t parts[4] = {};
    for (std::size_t column = 0; column < TileWidth; column += 4) {
        for (std::size_t k = 0; k < 4; ++k) parts[k] |= std::uint64_t{row[column + k] != TransparentPixel} << (column + k);
    }
    return parts[0] | parts[1] | parts[2] | parts[3];
}

void encode_row(std::span<const Pixel> pixels, std::vector<std::uint8_t>& out)
{
    if (pixels.size() > TileWidth) throw TileError(TileFault::RowTooWide, TilePart::ImageData, {});
    const std::size_t start = out.size();
    out.resize(start + row_bytes_at_most(pixels.size()));
    const std::uint8_t* end = encode_row(pixels, drawn_pixels(pixels), out.data() + start);
    out.resize(static_cast<std::size_t>(end - out.data()));
}

std::uint8_t* encode_row(std::span<const Pixel> pixels, std::uint64_t drawn, std::uint8_t* at)
{
    // Each run's length is counted off the bits, not found pixel by pixel.
    for (std::size_t column = 0; column < pixels.size();) {
        const std::uint64_t ahead = drawn >> column;
        const bool transparent = (ahead & 1) == 0;
        const std::size_t end =
            std::min(pixels.size(), column + static_cast<std::size_t>(transparent ? std::countr_zero(ahead) : std::countr_one(ahead)));
        *at++ = code_byte(transparent ? RowCode::TransparentRun : RowCode::LiteralRun);
        *at++ = static_cast<std::uint8_t>(end - column);
        if (!transparent) {
            for (; column < end; ++column) *at++ = static_cast<std::uint8_t>(pixels[column]);
        }
        column = end;
    }
    *at++ = code_byte(RowCode::EndOfRow);
    return at;
}

}  // namespace tess
