#include "tile_walk.hpp"

#include <algorithm>
#include <array>
#include <vector>

#include "failure.hpp"
#include "tile_format.hpp"
#include "tile_reader.hpp"
#include "xpm_writer.hpp"

namespace tess {

namespace {

constexpr std::string_view XpmExtension = ".xpm";
constexpr std::size_t TileExtensionLength = 4;  // ".til"

TileHeader read_header(TileReader& reader)
{
    for (const std::uint8_t expected : Magic) {
        if (reader.byte("the header") != expected) fail("Error: not a valid tile format\n");
    }
    TileHeader header{};
    header.revision_number = reader.byte("the header");
    header.views = reader.byte("the header");
    header.scenes = reader.byte("the header");
    return header;
}

SceneRecord read_scene_record(TileReader& reader)
{
    SceneRecord record{reader.byte("a scene record"), {}};
    for (std::uint8_t c = reader.byte("a scene record"); c != 0; c = reader.byte("a scene record")) {
        if (record.name.size() == MaxSceneNameLength) {
            fail("Error: scene name longer than %zu characters\n", MaxSceneNameLength);
        }
        record.name.push_back(static_cast<char>(c));
    }
    return record;
}

ImageRecord read_image_record(TileReader& reader)
{
    ImageRecord record{};
    record.height = reader.byte("an image record");
    const std::uint8_t low = reader.byte("an image record");
    const std::uint8_t high = reader.byte("an image record");
    record.length = static_cast<std::uint16_t>(low | high << 8);
    return record;
}

void decode_image(TileReader& reader, const ImageRecord& record, std::vector<std::uint8_t>& data,
                  const std::string& path, XpmFiles& files)
{
    data.resize(record.length);
    reader.bytes(data, "an image's data");
    const UsedValues used = check_image_data(data);

    write_xpm(files.create(path), array_name_for(path), record.height, data, used);
    files.close();
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

std::string array_name_for(std::string_view xpm_path)
{
    std::string name(xpm_path.substr(0, xpm_path.size() - std::min(xpm_path.size(), XpmExtension.size())));
    std::replace(name.begin(), name.end(), '"', '_');
    return name;
}

void decode_tile_file(std::istream& tile, std::string_view input_path, std::ostream& summary, XpmFiles& files)
{
    TileReader reader(tile);
    const TileHeader header = read_header(reader);
    summary << formatted("\n%.*s\n\t revision number %d\n", static_cast<int>(input_path.size()), input_path.data(),
                         header.revision_number)
            << formatted("\t %d view(s)\n\t %d scene(s)\n", header.views, header.scenes);

    std::vector<std::uint8_t> data;
    data.reserve(MaxDataLength);
    for (int s = 0; s < header.scenes; ++s) {
        const SceneRecord scene = read_scene_record(reader);
        const int frames = scene.frames;
        summary << formatted("\t scene %s (%d frames)\n", scene.name.c_str(), frames);

        for (int k = 0; k < frames * header.views; ++k) {
            const ImageRecord record = read_image_record(reader);
            summary << formatted("\t\t height: %d; %d data\n", record.height, record.length);
            decode_image(reader, record, data, image_path(input_path, scene.name, k / frames, k % frames), files);
        }
    }
}

}  // namespace tess
