#include "image_encoder.hpp"

#include "failure.hpp"
#include "tile_format.hpp"
#include "xpm_header.hpp"
#include "xpm_strings.hpp"

namespace tess {

namespace {

void write_byte(std::ostream& out, std::uint8_t byte) { out.put(static_cast<char>(byte)); }

}  // namespace

void encode_row(std::string_view row, int chars_per_pixel, const ColourTable& colours,
                std::vector<std::uint8_t>& out)
{
    const auto cpp = static_cast<std::size_t>(chars_per_pixel);
    const std::size_t width = row.size() / cpp;
    if (width == 0) return;

    const auto pixel = [&](std::size_t column) { return row.substr(column * cpp, cpp); };
    const std::size_t row_start = out.size();
    for (std::size_t column = 0; column < width;) {
        std::size_t run = 0;
        while (column + run < width && colours.is_transparent(pixel(column + run))) ++run;
        if (run > 0) {
            out.insert(out.end(), {code_byte(RowCode::TransparentRun), static_cast<std::uint8_t>(run)});
            column += run;
        }
        if (column == width) break;

        run = 0;
        while (column + run < width && !colours.is_transparent(pixel(column + run))) ++run;
        out.insert(out.end(), {code_byte(RowCode::LiteralRun), static_cast<std::uint8_t>(run)});
        for (; run > 0; --run, ++column) {
            const auto index = colours.index_of(pixel(column));
            if (!index) {
                out.resize(row_start);
                const std::string_view key = pixel(column);
                fail("error: pixel \"%.*s\" has no colour\n", static_cast<int>(key.size()), key.data());
            }
            out.push_back(*index);
        }
    }
    out.push_back(code_byte(RowCode::EndOfRow));
}

void encode_image(std::istream& xpm, std::ostream& tile, ConversionType type, std::ostream& report)
{
    XpmStrings strings(xpm);
    const XpmValues values = parse_values_line(strings.next());
    report << formatted("width = %d  height = %d  colors = %d\n", values.width, values.height, values.colours);

    ColourTable colours(type, values.chars_per_pixel);
    for (int i = 0; i < values.colours; ++i) colours.add(parse_colour_line(strings.next(), values.chars_per_pixel));

    write_byte(tile, static_cast<std::uint8_t>(values.height));
    const auto length_position = tile.tellp();
    write_byte(tile, 0);
    write_byte(tile, 0);
    if (values.height == 0) return;

    const auto row_length = static_cast<std::size_t>(values.width * values.chars_per_pixel);
    std::vector<std::uint8_t> row_bytes;
    std::size_t length = 0;
    for (int y = 0; y < values.height; ++y) {
        const std::string_view row = strings.next();
        if (row.size() != row_length) fail_wrong_xpm_format();
        row_bytes.clear();
        encode_row(row, values.chars_per_pixel, colours, row_bytes);
        tile.write(reinterpret_cast<const char*>(row_bytes.data()), static_cast<std::streamsize>(row_bytes.size()));
        length += row_bytes.size();
    }
    write_byte(tile, code_byte(RowCode::EndOfImage));
    ++length;

    tile.seekp(length_position);
    report << formatted("%zu\n", length);
    write_byte(tile, static_cast<std::uint8_t>(length & 0xff));
    write_byte(tile, static_cast<std::uint8_t>(length >> 8));
}

}  // namespace tess
