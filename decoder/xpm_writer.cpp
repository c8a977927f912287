#include "xpm_writer.hpp"

#include <string>

#include "failure.hpp"
#include "palette.hpp"
#include "tile_format.hpp"

namespace tess {

namespace {

constexpr std::string_view TransparentPixel = "...";
constexpr std::string_view NextRow = "\",\n\"";
constexpr std::string_view Closing = "\n};\n";

// Every image ends by stepping back over the last three characters written:
// the ",\n\"" that opened a row that never came, or the ",\n\"" after the
// None line when there are no rows.
constexpr std::streamoff UnfinishedTail = 3;

constexpr int CharsPerPixel = 3;
using Digits = std::array<char, CharsPerPixel>;

constexpr std::array<Digits, 256> make_pixel_digits()
{
    std::array<Digits, 256> digits{};
    for (int v = 0; v < 256; ++v) {
        digits[static_cast<std::size_t>(v)] = {static_cast<char>('0' + v / 100), static_cast<char>('0' + v / 10 % 10),
                                               static_cast<char>('0' + v % 10)};
    }
    return digits;
}

constexpr std::array<Digits, 256> PixelDigits = make_pixel_digits();

// "ddd c #rrggbb",\n — the colour table line of each palette index.
constexpr std::size_t ColourLineLength = 17;
using ColourLine = std::array<char, ColourLineLength>;

constexpr std::array<ColourLine, PaletteSize> make_colour_lines()
{
    constexpr std::string_view hex = "0123456789abcdef";
    std::array<ColourLine, PaletteSize> lines{};
    for (std::size_t v = 0; v < PaletteSize; ++v) {
        const PaletteEntry& e = Palette[v];
        const auto h = [&](std::int32_t channel, int shift) { return hex[static_cast<std::size_t>(channel >> shift & 0xf)]; };
        lines[v] = {'"', PixelDigits[v][0], PixelDigits[v][1], PixelDigits[v][2], ' ', 'c', ' ', '#',
                    h(e.red, 4), h(e.red, 0), h(e.green, 4), h(e.green, 0), h(e.blue, 4), h(e.blue, 0), '"', ',', '\n'};
    }
    return lines;
}

constexpr std::array<ColourLine, PaletteSize> ColourLines = make_colour_lines();

bool is_run(std::uint8_t code)
{
    return code == code_byte(RowCode::LiteralRun) || code == code_byte(RowCode::TransparentRun);
}

void append_transparent(std::string& row, int count)
{
    row.append(static_cast<std::size_t>(count) * TransparentPixel.size(), '.');
}

}  // namespace

UsedValues check_image_data(std::span<const std::uint8_t> data)
{
    UsedValues used;
    std::array<bool, 256> seen{};
    for (const std::uint8_t value : data) {
        if (!seen[value]) {
            seen[value] = true;
            used.values[used.count++] = value;
        }
    }

    for (std::size_t i = 0; i < data.size();) {
        const std::uint8_t code = data[i++];
        if (!is_run(code)) continue;
        const std::size_t operands_left = data.size() - i;
        const std::size_t count = operands_left > 0 ? data[i++] : 0;
        const std::size_t indices = code == code_byte(RowCode::LiteralRun) ? count : 0;
        if (operands_left == 0 || indices > data.size() - i) fail("Error: image data ends inside a run\n");
        i += indices;
    }
    return used;
}

void write_xpm(std::ostream& out, std::string_view array_name, int height, std::span<const std::uint8_t> data,
               const UsedValues& used)
{
    out << "/* XPM */\n\n"
        << "/* converted from varnook tile format \n"
        << " */\n\n"
        << formatted("static char *%.*s [] = {\n", static_cast<int>(array_name.size()), array_name.data())
        << formatted("\"%d %d %zu %d\",\n", TileWidth, height, used.count + 1, CharsPerPixel)
        << "\"" << TransparentPixel << " c None\",\n";
    for (std::size_t u = 0; u < used.count; ++u) out.write(ColourLines[used.values[u]].data(), ColourLineLength);
    out << '"';

    // Each row is built whole and written at once; a failure writes what the
    // row holds so far first, so the file shows where it stopped.
    std::string row;
    const auto write_row = [&] {
        out.write(row.data(), static_cast<std::streamsize>(row.size()));
        row.clear();
    };
    int row_pixels = 0;
    for (std::size_t i = 0; i < data.size();) {
        if (row_pixels > TileWidth) {
            write_row();
            fail("\nerror: no code \\02 at end of line found in .til\n\n");
        }
        switch (static_cast<RowCode>(data[i++])) {
        case RowCode::LiteralRun: {
            const int count = data[i++];
            row_pixels += count;
            for (int p = 0; p < count; ++p) row.append(PixelDigits[data[i++]].data(), CharsPerPixel);
            break;
        }
        case RowCode::TransparentRun: {
            const int count = data[i++];
            row_pixels += count;
            append_transparent(row, count);
            break;
        }
        case RowCode::EndOfRow:
            if (row_pixels < TileWidth) append_transparent(row, TileWidth - row_pixels);
            row += NextRow;
            write_row();
            row_pixels = 0;
            break;
        default:
            break;
        }
    }
    write_row();

    out.seekp(-UnfinishedTail, std::ios::cur);
    out << Closing;
}

}  // namespace tess
