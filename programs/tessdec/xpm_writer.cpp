// An image's data written as an XPM 64 pixels wide, its indices as three-digit keys.
#include "xpm_writer.hpp"

#include <string>

#include "tile/format.hpp"
#include "tile/runs.hpp"
#include "xpm/indexed.hpp"

namespace tess {

namespace {

constexpr std::string_view NextRow = "\",\n\"";
constexpr std::string_view Closing = "\n};\n";

// A finished image drops the last three characters of its text: the ",\n\""
// that opened a row that never came, or the ",\n\"" after the last colour
// line when there are no rows. So the writer holds that many back.
constexpr std::size_t UnfinishedTail = 3;

void append_transparent(std::string& text, int count)
{
    text.append(static_cast<std::size_t>(count) * IndexedTransparentKey.size(), '.');
}

}  // namespace

UsedValues check_image_data(std::span<const std::uint8_t> data, const TileLocation& where)
{
    UsedValues used;
    std::array<bool, 256> seen{};
    for (const std::uint8_t value : data) {
        if (!seen[value]) {
            seen[value] = true;
            used.values[used.count++] = value;
        }
    }
    for (RunReader runs(data, where); !runs.at_end();) runs.next();
    return used;
}

void write_xpm(std::ostream& out, std::string_view array_name, int height, std::span<const std::uint8_t> data,
               const UsedValues& used, const TileLocation& where)
{
    std::string text = "/* XPM */\n\n/* converted from varnook tile format \n */\n\nstatic char *";
    text.append(array_name);
    text += " [] = {\n\"" + std::to_string(TileWidth) + " " + std::to_string(height) + " " +
            std::to_string(used.count + 1) + " " + std::to_string(IndexedCharsPerPixel) + "\",\n";
    text += "\"";
    text += IndexedTransparentKey;
    text += " c None\",\n";
    for (std::size_t u = 0; u < used.count; ++u) text += colour_line(used.values[u]);
    text += '"';

    // Everything but the last UnfinishedTail characters goes out a row at a
    // time; a failure sends the rest too, so the file shows where it stopped.
    const auto send_all_but_tail = [&] {
        const std::size_t ready = text.size() - UnfinishedTail;
        out.write(text.data(), static_cast<std::streamsize>(ready));
        text.erase(0, ready);
    };
    int row_pixels = 0;
    for (RunReader runs(data, where); !runs.at_end();) {
        if (row_pixels > TileWidth) {
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
            throw TileError(TileFault::RowTooWide, TilePart::ImageData, where);
        }
        const Run run = runs.next();
        switch (run.code) {
        case RowCode::LiteralRun:
            row_pixels += run.count;
            for (const std::uint8_t index : run.indices) text += index_key(index);
            break;
        case RowCode::TransparentRun:
            row_pixels += run.count;
            append_transparent(text, run.count);
            break;
        case RowCode::EndOfRow:
            if (row_pixels < TileWidth) append_transparent(text, TileWidth - row_pixels);
            text += NextRow;
            send_all_but_tail();
            row_pixels = 0;
            break;
        default:
            break;
        }
    }
    text.resize(text.size() - UnfinishedTail);
    text += Closing;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace tess
