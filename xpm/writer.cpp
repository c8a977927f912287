#include "xpm/writer.hpp"

#include <algorithm>
#include <string>

#include "palette/palette.hpp"
#include "tile/format.hpp"
#include "tile/runs.hpp"

namespace tess {

namespace {

constexpr std::string_view TransparentKey = "...";
constexpr std::string_view NextRow = "\",\n\"";
constexpr std::string_view Closing = "\n};\n";

// A finished image drops the last three characters of its text: the ",\n\""
// that opened a row that never came, or the ",\n\"" after the last colour
// line when there are no rows. So the writer holds that many back.
constexpr std::size_t UnfinishedTail = 3;

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

void append_transparent(std::string& text, int count)
{
    text.append(static_cast<std::size_t>(count) * TransparentKey.size(), '.');
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
            std::to_string(used.count + 1) + " " + std::to_string(CharsPerPixel) + "\",\n";
    text += "\"";
    text += TransparentKey;
    text += " c None\",\n";
    for (std::size_t u = 0; u < used.count; ++u) text.append(ColourLines[used.values[u]].data(), ColourLineLength);
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
            for (const std::uint8_t index : run.indices) text.append(PixelDigits[index].data(), CharsPerPixel);
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

std::string image_xpm(std::string_view array_name, const Image& image)
{
    const std::array<bool, 256> used = pixel_use(image).indices;
    const auto colours = std::count(used.begin(), used.end(), true);

    std::string text = "/* XPM */\nstatic char *";
    text.append(array_name);
    text += "[] = {\n\"" + std::to_string(TileWidth) + " " + std::to_string(image.height) + " " +
            std::to_string(colours + 1) + " " + std::to_string(CharsPerPixel) + "\",\n\"";
    text += TransparentKey;
    text += " c None\",\n";
    for (std::size_t index = 0; index < PaletteSize; ++index) {
        if (used[index]) text.append(ColourLines[index].data(), ColourLineLength);
    }
    for (int y = 0; y < image.height; ++y) {
        text += '"';
        for (const Pixel pixel : image.row(y)) {
            if (pixel == TransparentPixel) {
                text += TransparentKey;
            } else {
                text.append(PixelDigits[static_cast<std::size_t>(pixel)].data(), CharsPerPixel);
            }
        }
        text += y + 1 < image.height ? "\",\n" : "\"\n";
    }
    return text + "};\n";
}

}  // namespace tess
