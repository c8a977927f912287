// `dump`: a tile file as stable text, a line a row of pixels, as it is read.
#include "pack/dump.hpp"

#include <ios>

#include "pack/error.hpp"
#include "pack/text.hpp"
#include "tile/file.hpp"
#include "tile/image.hpp"

namespace tess {

namespace {

// Quotes and backslashes escaped, so that the name ends where the quote does.
std::string quoted(const std::string& name)
{
    std::string escaped;
    for (const char c : name) {
        if (c == '"' || c == '\\') escaped += '\\';
        escaped += c;
    }
    return "\"" + printable(escaped) + "\"";
}

void dump_row(std::span<const Pixel> row, std::string& line)
{
    std::size_t end = row.size();
    while (end > 0 && row[end - 1] == TransparentPixel) --end;
    line = "|";
    for (std::size_t x = 0; x < end; ++x) {
        if (row[x] == TransparentPixel) {
            line += "...";
            continue;
        }
        const int index = row[x];
        line += static_cast<char>('0' + index / 100);
        line += static_cast<char>('0' + index / 10 % 10);
        line += static_cast<char>('0' + index % 10);
    }
    line += '\n';
}

}  // namespace

void dump_tile_file(std::streambuf& tile, std::ostream& out)
{
    try {
        TileFileReader reader(tile);
        const TileHeader& header = reader.header();
        out << "revision " << int{header.revision_number} << ", " << int{header.views} << " views, "
            << int{header.scenes} << " scenes\n";
        std::string line;
        for (auto part = reader.next(); part != TileFileReader::Part::End; part = reader.next()) {
            if (part == TileFileReader::Part::Scene) {
                out << "scene " << reader.scene_number() << " " << quoted(reader.scene().name) << ": "
                    << int{reader.scene().frames} << " frames\n";
                continue;
            }
            const Image image = decode_image(reader.data(), reader.image().height, reader.location());
            out << "scene " << reader.scene_number() << " view " << reader.place().view << " frame "
                << reader.place().frame << ": height " << image.height << "\n";
            for (int y = 0; y < image.height; ++y) {
                dump_row(image.row(y), line);
                out << line;
            }
        }
        if (const std::uint64_t trailing = reader.trailing_bytes(); trailing > 0) {
            out << trailing << " bytes after the last scene\n";
        }
    } catch (const TileError& damage) {
        out.flush();
        throw PackError::from(damage);
    } catch (const std::ios_base::failure&) {
        out.flush();
        throw PackError(Fault::File, "cannot read");
    }
}

}  // namespace tess
