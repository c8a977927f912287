// tessdec's work: a tile file's summary, and an XPM for each of its images.
#include "decode_tile_file.hpp"

#include <algorithm>
#include <cstdint>
#include <span>

#include "programs/failure.hpp"
#include "tile/file.hpp"
#include "xpm_writer.hpp"

namespace tess {

namespace {

constexpr std::string_view XpmExtension = ".xpm";
constexpr std::size_t TileExtensionLength = 4;  // ".til"

// The C array name inside the XPM at `xpm_path`: the path without ".xpm",
// with '_' for every byte that would break the declaration's line for XPM
// readers: control bytes, '"', and both characters of each "/*" and "*/".
std::string array_name_for(std::string_view xpm_path)
{
    std::string name(xpm_path.substr(0, xpm_path.size() - std::min(xpm_path.size(), XpmExtension.size())));
    const std::string original = name;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(original[i]);
        if (byte < 0x20 || byte == 0x7f || byte == '"') name[i] = '_';
        if (i + 1 < name.size()) {
            const std::string_view pair(original.data() + i, 2);
            if (pair == "/*" || pair == "*/") name[i] = name[i + 1] = '_';
        }
    }
    return name;
}

[[noreturn]] void fail_with(const TileError& error)
{
    switch (error.fault()) {
    case TileFault::NotATileFile: fail("Error: not a valid tile format\n");
    case TileFault::RowTooWide: fail("\nerror: no code \\02 at end of line found in .til\n\n");
    case TileFault::EndsInside: fail("Error: tile file ends inside %s\n", part_name(error.part()));
    default: break;
    }
    fail("Error: %s\n", error.description().c_str());
}

// Each image's line is printed before its data is read, so a file cut
// inside the data still shows the record.
void walk(TileFileReader& reader, std::string_view input_path, std::ostream& summary, XpmFiles& files)
{
    const TileHeader& header = reader.header();
    summary << formatted("\n%.*s\n\t revision number %d\n", static_cast<int>(input_path.size()), input_path.data(),
                         header.revision_number)
            << formatted("\t %d view(s)\n\t %d scene(s)\n", header.views, header.scenes);

    for (TileFileReader::Part part; (part = reader.next()) != TileFileReader::Part::End;) {
        if (part == TileFileReader::Part::Scene) {
            summary << formatted("\t scene %s (%d frames)\n", reader.scene().name.c_str(), reader.scene().frames);
            continue;
        }
        const ImageRecord& record = reader.image();
        summary << formatted("\t\t height: %d; %d data\n", record.height, record.length);
        const std::span<const std::uint8_t> data = reader.data();
        const UsedValues used = check_image_data(data, reader.location());
        const ImagePlace place = reader.place();
        const std::string path = image_path(input_path, reader.scene().name, place.view, place.frame);
        write_xpm(files.create(path), array_name_for(path), record.height, data, used, reader.location());
        files.close();
    }
}

}  // namespace

std::string image_path(std::string_view input_path, std::string_view scene_name, int view, int frame)
{
    std::string path(input_path.substr(0, input_path.size() - std::min(input_path.size(), TileExtensionLength)));
    std::string safe_name(scene_name);
    std::replace(safe_name.begin(), safe_name.end(), '/', '_');
    path += formatted("_%s_%d_%d", safe_name.c_str(), view, frame);
    path += XpmExtension;
    return path;
}

void decode_tile_file(std::istream& tile, std::string_view input_path, std::ostream& summary, XpmFiles& files)
{
    TileFileReader reader(*tile.rdbuf());
    try {
        walk(reader, input_path, summary, files);
    } catch (const TileError& error) {
        fail_with(error);
    }
}

}  // namespace tess
