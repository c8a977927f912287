#include "tile/records.hpp"

namespace tess {

void TileReader::fail(TileFault fault, TilePart part) const
{
    throw TileError(fault, part, location_);
}

std::uint8_t TileReader::byte(TilePart part)
{
    const auto c = in_.sbumpc();
    if (c == std::char_traits<char>::eof()) fail(TileFault::EndsInside, part);
    return static_cast<std::uint8_t>(c);
}

TileHeader TileReader::header()
{
    for (const std::uint8_t expected : Magic) {
        if (byte(TilePart::Header) != expected) fail(TileFault::NotATileFile, TilePart::Header);
    }
    TileHeader header{};
    header.revision_number = byte(TilePart::Header);
    header.views = byte(TilePart::Header);
    header.scenes = byte(TilePart::Header);
    views_ = header.views;
    return header;
}

SceneRecord TileReader::scene()
{
    location_ = {location_.scene + 1, {}, -1, -1};
    SceneRecord record{byte(TilePart::SceneRecord), {}};
    for (std::uint8_t c = byte(TilePart::SceneRecord); c != 0; c = byte(TilePart::SceneRecord)) {
        if (record.name.size() == MaxSceneNameLength) fail(TileFault::SceneNameTooLong, TilePart::SceneRecord);
        record.name.push_back(static_cast<char>(c));
    }
    location_.scene_name = record.name;
    frames_ = record.frames;
    image_number_ = 0;
    return record;
}

ImageRecord TileReader::image()
{
    const ImagePlace place = image_place(image_number_++, frames_ > 0 ? frames_ : 1);
    location_.view = place.view;
    location_.frame = place.frame;
    ImageRecord record{};
    record.height = byte(TilePart::ImageRecord);
    const std::uint8_t low = byte(TilePart::ImageRecord);
    const std::uint8_t high = byte(TilePart::ImageRecord);
    record.length = static_cast<std::uint16_t>(low | high << 8);
    return record;
}

void TileReader::data(const ImageRecord& record, std::vector<std::uint8_t>& data)
{
    data.resize(record.length);
    const auto wanted = static_cast<std::streamsize>(data.size());
    if (in_.sgetn(reinterpret_cast<char*>(data.data()), wanted) != wanted) {
        fail(TileFault::EndsInside, TilePart::ImageData);
    }
}

void check_scene_name(std::string_view name, const TileLocation& where)
{
    if (name.size() > MaxSceneNameLength) throw TileError(TileFault::SceneNameTooLong, TilePart::SceneRecord, where);
    if (name.find('\0') != std::string_view::npos) {
        throw TileError(TileFault::SceneNameHasZero, TilePart::SceneRecord, where);
    }
}

void check_data_length(std::size_t length, const TileLocation& where)
{
    if (length > MaxDataLength) throw TileError(TileFault::DataTooLong, TilePart::ImageRecord, where);
}

void write_header(std::vector<std::uint8_t>& out, const TileHeader& header)
{
    out.insert(out.end(), Magic.begin(), Magic.end());
    out.insert(out.end(), {header.revision_number, header.views, header.scenes});
}

void write_scene_record(std::vector<std::uint8_t>& out, const SceneRecord& scene)
{
    check_scene_name(scene.name);
    out.push_back(scene.frames);
    out.insert(out.end(), scene.name.begin(), scene.name.end());
    out.push_back(0);
}

void write_image_record(std::vector<std::uint8_t>& out, std::uint8_t height, std::span<const std::uint8_t> data)
{
    check_data_length(data.size());
    out.insert(out.end(), {height, static_cast<std::uint8_t>(data.size() & 0xff),
                           static_cast<std::uint8_t>(data.size() >> 8)});
    out.insert(out.end(), data.begin(), data.end());
}

}  // namespace tess
