#include "tile/runs.hpp"

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

void encode_row(std::span<const Pixel> pixels, std::vector<std::uint8_t>& out)
{
    if (pixels.size() > TileWidth) throw TileError(TileFault::RowTooWide, TilePart::ImageData, {});
    // Room for the longest row first (a run costs two bytes and each of its
    // pixels one more at the most), written in place, cut to what was written.
    const std::size_t start = out.size();
    out.resize(start + 3 * pixels.size() + 1);
    std::uint8_t* at = out.data() + start;
    for (std::size_t column = 0; column < pixels.size();) {
        const bool transparent = pixels[column] == TransparentPixel;
        std::size_t end = column + 1;
        while (end < pixels.size() && (pixels[end] == TransparentPixel) == transparent) ++end;
        *at++ = code_byte(transparent ? RowCode::TransparentRun : RowCode::LiteralRun);
        *at++ = static_cast<std::uint8_t>(end - column);
        if (!transparent) {
            for (; column < end; ++column) *at++ = static_cast<std::uint8_t>(pixels[column]);
        }
        column = end;
    }
    *at++ = code_byte(RowCode::EndOfRow);
    out.resize(static_cast<std::size_t>(at - out.data()));
}

}  // namespace tess
