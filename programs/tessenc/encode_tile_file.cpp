// tessenc's work: one XPM read and written as a tile file of one image.
#include "encode_tile_file.hpp"

#include <cstdint>
#include <span>
#include <vector>

#include "colour_table.hpp"
#include "programs/failure.hpp"
#include "tile/file.hpp"
#include "tile/runs.hpp"
#include "xpm/error.hpp"
#include "xpm/strings.hpp"

namespace tess {

namespace {

void put(std::ostream& out, std::span<const std::uint8_t> bytes)
{
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// What a tile image can hold: tessenc's own limits on the XPM it reads.
constexpr XpmLimits TileImageLimits{TileWidth, MaxCount};

}  // namespace

void encode_tile_file(std::istream& xpm, Metric metric, std::string_view scene_name, std::ostream& tile,
                      std::ostream& report)
{
    constexpr int views = 1;
    constexpr int scenes = 1;
    constexpr int frames = 1;
    std::vector<std::uint8_t> bytes;
    TileFileWriter writer(bytes, RevisionNumber, views, scenes);
    writer.scene(frames, scene_name);
    // The header and scene record reach the file before the XPM is read.
    put(tile, bytes);
    const std::size_t sent = bytes.size();
    const auto put_rest = [&] { put(tile, std::span(bytes).subspan(sent)); };

    // The rows are made in a buffer of their own, which the compiler keeps
    // closer than one the writer holds, and go to the record in one piece.
    std::vector<std::uint8_t> data;
    const auto append_data = [&] { writer.out().insert(writer.out().end(), data.begin(), data.end()); };
    int height = 0;
    try {
        XpmStrings strings(xpm);
        const XpmValues values = parse_values_line(strings.next(), TileImageLimits);
        report << formatted("width = %d  height = %d  colors = %d\n", values.width, values.height, values.colours);

        ColourTable colours(metric, values.chars_per_pixel);
        for (int i = 0; i < values.colours; ++i) colours.add(parse_colour_line(strings.next(), values.chars_per_pixel));
        colours.finish();

        // From here on a failure leaves the image record as far as it got.
        height = values.height;
        writer.begin_image(height);
        const auto row_length = static_cast<std::size_t>(values.width * values.chars_per_pixel);
        std::vector<Pixel> pixels;
        for (int y = 0; y < values.height; ++y) {
            const std::string_view row = strings.next();
            if (row.size() != row_length) fail_wrong_xpm_format(y);
            // A row of width 0 leaves no trace, not even EndOfRow.
            if (values.width == 0) continue;
            row_pixels(row, y, colours, pixels);
            encode_row(pixels, data);
        }
    } catch (const XpmError& error) {
        append_data();
        put_rest();
        fail("error: %s\n", error.what());
    }

    if (height > 0) {
        data.push_back(code_byte(RowCode::EndOfImage));
        report << formatted("%zu\n", data.size());
    }
    append_data();
    writer.end_image();
    writer.finish();
    put_rest();
}

}  // namespace tess
