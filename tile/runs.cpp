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
    for (std::size_t column = 0; column < pixels.size();) {
        const bool transparent = pixels[column] == TransparentPixel;
        std::size_t end = column;
        while (end < pixels.size() && (pixels[end] == TransparentPixel) == transparent) ++end;
        const auto count = static_cast<std::uint8_t>(end - column);
        if (transparent) {
            out.insert(out.end(), {code_byte(RowCode::TransparentRun), count});
        } else {
            out.insert(out.end(), {code_byte(RowCode::LiteralRun), count});
            for (; column < end; ++column) out.push_back(static_cast<std::uint8_t>(pixels[column]));
        }
        column = end;
    }
    out.push_back(code_byte(RowCode::EndOfRow));
}

}  // namespace tess
