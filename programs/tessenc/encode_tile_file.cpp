#include "encode_tile_file.hpp"

#include <cstdint>
#include <vector>

#include "programs/failure.hpp"
#include "tile/records.hpp"
#include "tile/runs.hpp"
#include "xpm/colour_table.hpp"
#include "xpm/error.hpp"
#include "xpm/strings.hpp"

namespace tess {

namespace {

using Bytes = std::vector<std::uint8_t>;

void put(std::ostream& out, const Bytes& bytes)
{
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The image record as far as it got: the height, a length still 00 00, and
// the rows encoded so far.
void put_unfinished_image(std::ostream& tile, std::uint8_t height, const Bytes& rows)
{
    put(tile, {height, 0, 0});
    put(tile, rows);
}

}  // namespace

void encode_tile_file(std::istream& xpm, ConversionType type, std::string_view scene_name, std::ostream& tile,
                      std::ostream& report)
{
    constexpr std::uint8_t views = 1;
    constexpr std::uint8_t scenes = 1;
    constexpr std::uint8_t frames = 1;
    Bytes start;
    write_header(start, {RevisionNumber, views, scenes});
    write_scene_record(start, {frames, std::string(scene_name)});
    put(tile, start);

    std::optional<std::uint8_t> height;
    Bytes data;
    try {
        XpmStrings strings(xpm);
        const XpmValues values = parse_values_line(strings.next());
        report << formatted("width = %d  height = %d  colors = %d\n", values.width, values.height, values.colours);

        ColourTable colours(type, values.chars_per_pixel);
        for (int i = 0; i < values.colours; ++i) colours.add(parse_colour_line(strings.next(), values.chars_per_pixel));
        colours.finish();

        height = static_cast<std::uint8_t>(values.height);
        const auto row_length = static_cast<std::size_t>(values.width * values.chars_per_pixel);
        std::vector<Pixel> pixels;
        for (int y = 0; y < values.height; ++y) {
            const std::string_view row = strings.next();
            if (row.size() != row_length) fail_wrong_xpm_format();
            // A row of width 0 leaves no trace, not even EndOfRow.
            if (values.width == 0) continue;
            row_pixels(row, values.chars_per_pixel, colours, pixels);
            encode_row(pixels, data);
        }
    } catch (const XpmError& error) {
        if (height) put_unfinished_image(tile, *height, data);
        fail("error: %s\n", error.what());
    }

    if (*height > 0) {
        data.push_back(code_byte(RowCode::EndOfImage));
        report << formatted("%zu\n", data.size());
    }
    Bytes image;
    write_image_record(image, *height, data);
    put(tile, image);
}

}  // namespace tess
