// Tile files read front to back and written with every count checked.
#include "tile/file.hpp"

#include <array>
#include <string>

#include "tile/records.hpp"

namespace tess {

void TileFileReader::fail(TileFault fault, TilePart part) const
{
    throw TileError(fault, part, location_);
}

std::uint8_t TileFileReader::byte(TilePart part)
{
    if (in_) {
        const auto c = in_->sbumpc();
        if (c == std::char_traits<char>::eof()) fail(TileFault::EndsInside, part);
        ++position_;
        return static_cast<std::uint8_t>(c);
    }
    if (position_ == bytes_.size()) fail(TileFault::EndsInside, part);
    return bytes_[position_++];
}

std::span<const std::uint8_t> TileFileReader::take(std::size_t count)
{
    if (in_) {
        buffer_.resize(count);
        const auto wanted = static_cast<std::streamsize>(count);
        const std::streamsize got = in_->sgetn(reinterpret_cast<char*>(buffer_.data()), wanted);
        position_ += static_cast<std::uint64_t>(got);
        if (got != wanted) fail(TileFault::EndsInside, TilePart::ImageData);
        return buffer_;
    }
    if (count > bytes_.size() - position_) {
        position_ = bytes_.size();
        fail(TileFault::EndsInside, TilePart::ImageData);
    }
    const std::span<const std::uint8_t> view = bytes_.subspan(static_cast<std::size_t>(position_), count);
    position_ += count;
    return view;
}

const TileHeader& TileFileReader::header()
{
    if (header_read_) return header_;
    part_offset_ = position_;
    // Byte by byte, so that a file that is not a tile file is told so
    // however short it is.
    for (const std::uint8_t expected : Magic) {
        if (byte(TilePart::Header) != expected) fail(TileFault::NotATileFile, TilePart::Header);
    }
    header_.revision_number = byte(TilePart::Header);
    header_.views = byte(TilePart::Header);
    header_.scenes = byte(TilePart::Header);
    header_read_ = true;
    return header_;
}

TileFileReader::Part TileFileReader::next()
{
    header();
    if (data_pending_) data();
    if (images_left_ > 0) {
        --images_left_;
        part_offset_ = position_;
        const ImagePlace at = image_place(image_number_++, scene_.frames);
        location_.view = at.view;
        location_.frame = at.frame;
        image_.height = byte(TilePart::ImageRecord);
        const std::uint8_t low = byte(TilePart::ImageRecord);
        const std::uint8_t high = byte(TilePart::ImageRecord);
        image_.length = static_cast<std::uint16_t>(low | high << 8);
        data_pending_ = true;
        return Part::Image;
    }
    if (location_.scene + 1 >= header_.scenes) {
        part_offset_ = position_;
        return Part::End;
    }
    part_offset_ = position_;
    location_ = {location_.scene + 1, {}, -1, -1};
    scene_.frames = byte(TilePart::SceneRecord);
    scene_.name.clear();
    for (std::uint8_t c = byte(TilePart::SceneRecord); c != 0; c = byte(TilePart::SceneRecord)) {
        if (scene_.name.size() == MaxSceneNameLength) fail(TileFault::SceneNameTooLong, TilePart::SceneRecord);
        scene_.name.push_back(static_cast<char>(c));
    }
    location_.scene_name = scene_.name;
    images_left_ = scene_.frames * header_.views;
    image_number_ = 0;
    return Part::Scene;
}

std::span<const std::uint8_t> TileFileReader::data()
{
    if (data_pending_) {
        data_pending_ = false;
        data_ = take(image_.length);
    }
    return data_;
}

std::uint64_t TileFileReader::trailing_bytes()
{
    if (!in_) return bytes_.size() - position_;
    std::array<char, 4096> sink;
    for (std::streamsize got; (got = in_->sgetn(sink.data(), sink.size())) > 0;) {
        position_ += static_cast<std::uint64_t>(got);
    }
    return position_ - part_offset_;
}

namespace {

void check_count(int value, const char* what, TilePart part, const TileLocation& where)
{
    if (value < 0 || value > MaxCount) {
        throw TileError(TileFault::CountOutOfRange, part, where,
                        std::string(what) + " " + std::to_string(value) + " is outside 0 to " +
                            std::to_string(MaxCount));
    }
}

}  // namespace

TileFileWriter::TileFileWriter(std::vector<std::uint8_t>& out, int revision, int views, int scenes)
    : out_(out), views_(views), scenes_(scenes)
{
    check_count(revision, "revision", TilePart::Header, location_);
    check_count(views, "views", TilePart::Header, location_);
    check_count(scenes, "scenes", TilePart::Header, location_);
    out_.insert(out_.end(), Magic.begin(), Magic.end());
    out_.insert(out_.end(), {static_cast<std::uint8_t>(revision), static_cast<std::uint8_t>(views),
                             static_cast<std::uint8_t>(scenes)});
}

void TileFileWriter::fail(TileFault fault, TilePart part, std::string description) const
{
    throw TileError(fault, part, location_, std::move(description));
}

void TileFileWriter::check_image_not_begun() const
{
    if (begun_at_) fail(TileFault::ImageNotEnded, TilePart::ImageData, "an image is begun and not ended");
}

void TileFileWriter::scene(int frames, std::string_view name)
{
    check_image_not_begun();
    check_scene_complete();
    if (scenes_written_ == scenes_) {
        throw TileError(TileFault::WrongSceneCount, TilePart::SceneRecord, {scenes_written_, std::string(name), -1, -1},
                        "scene " + std::to_string(scenes_written_) + " is one more than the header's " +
                            std::to_string(scenes_));
    }
    location_ = {scenes_written_, {}, -1, -1};
    check_scene_name(name, location_);
    location_.scene_name = name;
    check_count(frames, "frames", TilePart::SceneRecord, location_);
    out_.push_back(static_cast<std::uint8_t>(frames));
    out_.insert(out_.end(), name.begin(), name.end());
    out_.push_back(0);
    ++scenes_written_;
    frames_ = frames;
    images_written_ = 0;
}

void TileFileWriter::check_scene_complete() const
{
    if (scenes_written_ > 0 && images_written_ < views_ * frames_) {
        throw TileError(TileFault::WrongImageCount, TilePart::ImageRecord, scene_location(),
                        std::to_string(images_written_) + " of " + std::to_string(views_ * frames_) + " images (" +
                            std::to_string(views_) + " views x " + std::to_string(frames_) + " frames) are written");
    }
}

void TileFileWriter::start_image(int height)
{
    check_image_not_begun();
    const int wanted = views_ * frames_;
    if (scenes_written_ == 0 || images_written_ == wanted) {
        throw TileError(TileFault::WrongImageCount, TilePart::ImageRecord, scene_location(),
                        scenes_written_ == 0 ? std::string("an image before the first scene")
                                             : "image " + std::to_string(images_written_) + " is one more than the " +
                                                   std::to_string(wanted) + " of " + std::to_string(views_) +
                                                   " views x " + std::to_string(frames_) + " frames");
    }
    const ImagePlace at = image_place(images_written_, frames_);
    location_.view = at.view;
    location_.frame = at.frame;
    check_count(height, "height", TilePart::ImageRecord, location_);
}

void TileFileWriter::image(int height, std::span<const std::uint8_t> data)
{
    start_image(height);
    check_data_length(data.size(), location_);
    out_.insert(out_.end(), {static_cast<std::uint8_t>(height), static_cast<std::uint8_t>(data.size() & 0xff),
                             static_cast<std::uint8_t>(data.size() >> 8)});
    out_.insert(out_.end(), data.begin(), data.end());
    ++images_written_;
}

void TileFileWriter::begin_image(int height)
{
    start_image(height);
    begun_at_ = out_.size();
    out_.insert(out_.end(), {static_cast<std::uint8_t>(height), 0, 0});
    ++images_written_;
}

void TileFileWriter::end_image()
{
    if (!begun_at_) fail(TileFault::ImageNotEnded, TilePart::ImageData, "no image is begun");
    const std::size_t record = *begun_at_;
    const std::size_t length = out_.size() - record - ImageRecordSize;
    check_data_length(length, location_);
    out_[record + 1] = static_cast<std::uint8_t>(length & 0xff);
    out_[record + 2] = static_cast<std::uint8_t>(length >> 8);
    begun_at_.reset();
}

void TileFileWriter::finish()
{
    check_image_not_begun();
    check_scene_complete();
    if (scenes_written_ < scenes_) {
        throw TileError(TileFault::WrongSceneCount, TilePart::SceneRecord, {},
                        std::to_string(scenes_written_) + " of the header's " + std::to_string(scenes_) +
                            " scenes are written");
    }
}

}  // namespace tess
