// Aseprite files read whole from memory: the header, every frame's chunks, each size checked before it sizes anything.
#include <algorithm>
#include <cstdio>
#include <string>

#include "ase/ase_file.hpp"
#include "zlib_stream.hpp"

namespace tess {

namespace {

constexpr std::size_t HeaderSize = 128;
constexpr std::size_t FrameHeaderSize = 16;
constexpr std::size_t ChunkHeaderSize = 6;
constexpr std::uint16_t FileMagic = 0xA5E0;
constexpr std::uint16_t FrameMagic = 0xF1FA;
constexpr std::size_t LargestPalette = std::size_t{1} << 16;
constexpr std::size_t OldPaletteEntries = 256;
constexpr std::uint16_t LastBlendMode = static_cast<std::uint16_t>(AseBlendMode::Divide);

namespace chunk_type {
constexpr std::uint16_t OldPalette = 0x0004;
constexpr std::uint16_t OldPalette64 = 0x0011;
constexpr std::uint16_t Layer = 0x2004;
constexpr std::uint16_t Cel = 0x2005;
constexpr std::uint16_t Tags = 0x2018;
constexpr std::uint16_t Palette = 0x2019;
constexpr std::uint16_t Tileset = 0x2023;
}  // namespace chunk_type

// The fixed parts, before any string or pixel.
constexpr std::size_t TagSize = 17;
constexpr std::size_t PaletteEntrySize = 6;
constexpr std::size_t OldPacketSize = 2;

std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

std::uint32_t le32(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

std::string size_text(std::uint64_t width, std::uint64_t height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

// Little-endian fields of one chunk; a field past the chunk's end is a fault
// of that chunk.
class Cursor {
public:
    Cursor(std::span<const std::uint8_t> bytes, std::uint32_t frame, std::uint16_t chunk)
        : bytes_(bytes), frame_(frame), chunk_(chunk)
    {
    }

    [[noreturn]] void fail(const std::string& what) const { throw AseError(frame_, chunk_, what); }

    std::size_t left() const { return bytes_.size() - at_; }
    std::uint8_t u8() { return *take(1); }
    std::uint16_t u16() { return le16(take(2)); }
    std::int16_t i16() { return static_cast<std::int16_t>(u16()); }
    std::uint32_t u32() { return le32(take(4)); }
    void skip(std::size_t count) { take(count); }

    std::span<const std::uint8_t> bytes(std::size_t count, const char* what)
    {
        if (count > left()) {
            fail(std::string(what) + " of " + std::to_string(count) + " bytes runs past the end of the chunk, " +
                 std::to_string(left()) + " bytes on");
        }
        return {take(count), count};
    }

    std::span<const std::uint8_t> rest()
    {
        const std::size_t count = left();
        return {take(count), count};
    }

    std::string string()
    {
        const std::uint16_t length = u16();
        const auto text = bytes(length, "a string");
        return {text.begin(), text.end()};
    }

private:
    const std::uint8_t* take(std::size_t count)
    {
        if (count > left()) {
            fail("the chunk's " + std::to_string(bytes_.size() + ChunkHeaderSize) + " bytes end before its fields do");
        }
        const std::uint8_t* at = bytes_.data() + at_;
        at_ += count;
        return at;
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
    std::uint32_t frame_;
    std::uint16_t chunk_;
};

// Palettes as the frames change them: a frame that changes the palette
// starts a new one from the last.
class PaletteTrack {
public:
    std::vector<AseColour>& edit(std::uint32_t frame)
    {
        if (frame != last_changed_) {
            palettes_.push_back(palettes_.back());
            last_changed_ = frame;
        }
        return palettes_.back();
    }

    std::uint32_t current() const { return static_cast<std::uint32_t>(palettes_.size() - 1); }
    std::vector<std::vector<AseColour>>& palettes() { return palettes_; }

private:
    std::vector<std::vector<AseColour>> palettes_{1};
    std::uint32_t last_changed_ = 0;
};

struct TilemapPlace {
    std::uint32_t frame;
    std::uint16_t layer;
};

class Reader {
public:
    Reader(std::span<const std::uint8_t> file, const AseLimits& limits) : file_(file), limits_(limits) {}

    AseFile read()
    {
        const std::size_t end = read_header();
        std::size_t at = HeaderSize;
        for (std::uint32_t frame = 0; frame < frame_count_; ++frame) at = read_frame(frame, at, end);
        finish();
        return std::move(ase_);
    }

private:
    std::size_t read_header()
    {
        if (file_.size() < HeaderSize) {
            throw AseError("header: the file is cut short: " + std::to_string(file_.size()) +
                           " bytes, and the header alone takes 128");
        }
        const std::uint8_t* h = file_.data();
        if (!looks_like_ase(file_)) {
            char magic[8];
            std::snprintf(magic, sizeof magic, "0x%04x", le16(h + 4));
            throw AseError(std::string("header: not an Aseprite file: the magic number is ") + magic + ", not 0xa5e0");
        }
        const std::uint32_t size = le32(h);
        if (size < HeaderSize || size > file_.size()) {
            throw AseError("header: the file size given is " + std::to_string(size) + " bytes, but the file holds " +
                           std::to_string(file_.size()));
        }
        frame_count_ = le16(h + 6);
        ase_.width = le16(h + 8);
        ase_.height = le16(h + 10);
        const std::uint16_t depth = le16(h + 12);
        ase_.flags = le32(h + 14);
        speed_ms_ = le16(h + 18);
        ase_.transparent_index = h[28];
        ase_.colour_count = le16(h + 32);

        if (frame_count_ == 0) throw AseError("header: the file holds no frames");
        if (frame_count_ > limits_.max_frames) {
            throw AseError("header: " + std::to_string(frame_count_) + " frames are more than the " +
                           std::to_string(limits_.max_frames) + " accepted");
        }
        if (std::size_t{frame_count_} * FrameHeaderSize > size - HeaderSize) {
            throw AseError("header: " + std::to_string(frame_count_) + " frames cannot fit in the file's " +
                           std::to_string(size) + " bytes");
        }
        if (ase_.width == 0 || ase_.height == 0) {
            throw AseError("header: the canvas is " + size_text(ase_.width, ase_.height) + " pixels");
        }
        if (ase_.width > limits_.max_width || ase_.height > limits_.max_height ||
            std::uint64_t{ase_.width} * ase_.height > limits_.max_pixels) {
            throw AseError("header: the canvas is " + size_text(ase_.width, ase_.height) + " pixels; at most " +
                           size_text(limits_.max_width, limits_.max_height) + " and " +
                           std::to_string(limits_.max_pixels) + " pixels are accepted");
        }
        if (depth != 8 && depth != 16 && depth != 32) {
            throw AseError("header: a colour depth of " + std::to_string(depth) + " bits is none of 8, 16 and 32");
        }
        ase_.depth = static_cast<AseColourDepth>(depth);
        pixel_bytes_ = bytes_per_pixel(ase_.depth);
        ase_.frames.reserve(frame_count_);
        return size;
    }

    std::size_t read_frame(std::uint32_t frame, std::size_t at, std::size_t end)
    {
        const auto fail = [frame](const std::string& what) { throw AseError(frame, std::nullopt, what); };
        if (end - at < FrameHeaderSize) {
            fail("the frame header is cut short: " + std::to_string(end - at) + " bytes are left of the file");
        }
        const std::uint8_t* h = file_.data() + at;
        const std::uint32_t size = le32(h);
        if (size < FrameHeaderSize) fail("a frame of " + std::to_string(size) + " bytes is smaller than its header");
        if (size > end - at) {
            fail("a frame of " + std::to_string(size) + " bytes runs past the end of the file, " +
                 std::to_string(end - at) + " bytes on");
        }
        if (le16(h + 4) != FrameMagic) {
            char magic[8];
            std::snprintf(magic, sizeof magic, "0x%04x", le16(h + 4));
            fail(std::string("the frame magic number is ") + magic + ", not 0xf1fa");
        }
        const std::uint16_t old_count = le16(h + 6);
        const std::uint32_t new_count = le32(h + 12);
        const std::uint32_t chunks = new_count != 0 ? new_count : old_count;
        const std::size_t body = size - FrameHeaderSize;
        if (std::uint64_t{chunks} * ChunkHeaderSize > body) {
            fail(std::to_string(chunks) + " chunks cannot fit in the frame's " + std::to_string(size) + " bytes");
        }
        AseFrame& read = ase_.frames.emplace_back();
        const std::uint16_t duration = le16(h + 8);
        read.duration_ms = duration != 0 ? duration : speed_ms_;

        std::size_t pos = at + FrameHeaderSize;
        const std::size_t frame_end = at + size;
        for (std::uint32_t c = 0; c < chunks; ++c) {
            if (frame_end - pos < ChunkHeaderSize) {
                fail("the frame's bytes end at chunk " + std::to_string(c) + " of " + std::to_string(chunks));
            }
            const std::uint32_t chunk_size = le32(file_.data() + pos);
            const std::uint16_t type = le16(file_.data() + pos + 4);
            if (chunk_size < ChunkHeaderSize) {
                throw AseError(frame, type,
                               "a chunk size of " + std::to_string(chunk_size) + " is less than its own 6-byte header");
            }
            if (chunk_size > frame_end - pos) {
                throw AseError(frame, type,
                               "a chunk of " + std::to_string(chunk_size) + " bytes runs past the end of the frame, " +
                                       std::to_string(frame_end - pos) + " bytes on");
            }
            read_chunk(frame, type, file_.subspan(pos + ChunkHeaderSize, chunk_size - ChunkHeaderSize));
            pos += chunk_size;
        }
        if (pos != frame_end) {
            fail(std::to_string(frame_end - pos) + " bytes follow the frame's last chunk within its " +
                 std::to_string(size) + " bytes");
        }
        read.palette = new_palettes_.current();
        old_palette_of_frame_.push_back(old_palettes_.current());
        return frame_end;
    }

    void read_chunk(std::uint32_t frame, std::uint16_t type, std::span<const std::uint8_t> body)
    {
        Cursor chunk(body, frame, type);
        switch (type) {
        case chunk_type::Layer: read_layer(chunk); break;
        case chunk_type::Cel: read_cel(chunk, frame); break;
        case chunk_type::Tags: read_tags(chunk); break;
        case chunk_type::Palette: read_palette(chunk, frame); break;
        case chunk_type::OldPalette: read_old_palette(chunk, frame, 255); break;
        case chunk_type::OldPalette64: read_old_palette(chunk, frame, 63); break;
        case chunk_type::Tileset: read_tileset(chunk); break;
        default: break;  // read past: its size is all that matters
        }
    }

    void read_layer(Cursor& chunk)
    {
        AseLayer layer;
        layer.flags = chunk.u16();
        const std::uint16_t type = chunk.u16();
        layer.child_level = chunk.u16();
        chunk.skip(4);  // a default size, unused
        const std::uint16_t blend = chunk.u16();
        layer.opacity = chunk.u8();
        chunk.skip(3);
        layer.name = chunk.string();
        if (type > static_cast<std::uint16_t>(AseLayerType::Tilemap)) {
            chunk.fail("layer " + quoted(layer.name) + " is of type " + std::to_string(type) +
                       ", none of 0 (image), 1 (group) and 2 (tilemap)");
        }
        layer.type = static_cast<AseLayerType>(type);
        if (blend > LastBlendMode) {
            chunk.fail("layer " + quoted(layer.name) + " has blend mode " + std::to_string(blend) + ", past the 19 known");
        }
        layer.blend_mode = static_cast<AseBlendMode>(blend);
        if (layer.type == AseLayerType::Tilemap) layer.tileset_id = chunk.u32();

        std::vector<AseLayer>& layers = ase_.layers;
        const std::uint16_t level = layer.child_level;
        if (layers.empty() ? level != 0 : level > layers.back().child_level + 1) {
            chunk.fail("layer " + quoted(layer.name) + " has child level " + std::to_string(level) +
                       (layers.empty() ? " as the first layer" : " after a layer of level " +
                                                                          std::to_string(layers.back().child_level)));
        }
        if (level > 0) {
            // Up the last layer's groups to the level above this one.
            std::size_t parent = layers.size() - 1;
            while (layers[parent].child_level >= level) parent = *layers[parent].parent;
            if (layers[parent].type != AseLayerType::Group) {
                chunk.fail("layer " + quoted(layer.name) + " is a child of layer " + quoted(layers[parent].name) +
                           ", which is not a group");
            }
            layer.parent = parent;
        }
        layers.push_back(std::move(layer));
    }

    void check_cel_size(Cursor& chunk, std::uint32_t width, std::uint32_t height, const char* what) const
    {
        if (width > limits_.max_cel_width || height > limits_.max_cel_height ||
            std::uint64_t{width} * height > limits_.max_cel_pixels) {
            chunk.fail(std::string(what) + " of " + size_text(width, height) + " is over the " +
                       size_text(limits_.max_cel_width, limits_.max_cel_height) + " and " +
                       std::to_string(limits_.max_cel_pixels) + " accepted");
        }
    }

    // Every decoded byte is counted, before it is set aside.
    void claim_inflated(Cursor& chunk, std::uint64_t bytes)
    {
        if (bytes > limits_.max_inflated_bytes - inflated_) {
            chunk.fail(std::to_string(bytes) + " more decoded bytes are over the " +
                       std::to_string(limits_.max_inflated_bytes) + " accepted in all, " + std::to_string(inflated_) +
                       " already taken");
        }
        inflated_ += bytes;
    }

    void inflate(Cursor& chunk, std::span<std::uint8_t> out)
    {
        if (const auto fault = inflater_.inflate_exactly(chunk.rest(), out)) chunk.fail(*fault);
    }

    void read_cel(Cursor& chunk, std::uint32_t frame)
    {
        AseCel cel;
        cel.layer = chunk.u16();
        cel.x = chunk.i16();
        cel.y = chunk.i16();
        cel.opacity = chunk.u8();
        const std::uint16_t type = chunk.u16();
        cel.z_index = chunk.i16();
        chunk.skip(5);
        if (cel.layer >= ase_.layers.size()) {
            chunk.fail("layer index " + std::to_string(cel.layer) + " is past the file's " +
                       std::to_string(ase_.layers.size()) + " layers");
        }
        const AseLayer& layer = ase_.layers[cel.layer];
        const std::string on_layer = "layer " + quoted(layer.name);
        if (type > static_cast<std::uint16_t>(AseCelType::CompressedTilemap)) {
            chunk.fail("a cel of type " + std::to_string(type) + " on " + on_layer + ", none of 0 to 3");
        }
        cel.type = static_cast<AseCelType>(type);
        if (layer.type == AseLayerType::Group) chunk.fail("a cel on " + on_layer + ", which is a group");
        std::vector<AseCel>& cels = ase_.frames[frame].cels;
        if (std::any_of(cels.begin(), cels.end(), [&](const AseCel& c) { return c.layer == cel.layer; })) {
            chunk.fail("a second cel on " + on_layer + " in the same frame");
        }
        const bool tilemap_layer = layer.type == AseLayerType::Tilemap;
        if (cel.type == AseCelType::CompressedTilemap && !tilemap_layer) {
            chunk.fail("a tilemap cel on " + on_layer + ", which is not a tilemap layer");
        }
        if ((cel.type == AseCelType::Raw || cel.type == AseCelType::CompressedImage) && tilemap_layer) {
            chunk.fail("an image cel on " + on_layer + ", which is a tilemap layer");
        }

        switch (cel.type) {
        case AseCelType::Linked: link(chunk, cel, frame, on_layer); break;
        case AseCelType::Raw:
        case AseCelType::CompressedImage: read_image(chunk, cel); break;
        case AseCelType::CompressedTilemap: read_tilemap(chunk, cel, frame); break;
        }
        cels.push_back(cel);
    }

    void link(Cursor& chunk, AseCel& cel, std::uint32_t frame, const std::string& on_layer)
    {
        cel.linked_frame = chunk.u16();
        if (cel.linked_frame == frame) chunk.fail("the cel on " + on_layer + " links to itself");
        if (cel.linked_frame > frame) {
            chunk.fail("the cel on " + on_layer + " links to frame " + std::to_string(cel.linked_frame) +
                       ", which is not before it");
        }
        // A cel linked earlier already carries what its own link leads to.
        const std::vector<AseCel>& there = ase_.frames[cel.linked_frame].cels;
        const auto target = std::find_if(there.begin(), there.end(), [&](const AseCel& c) { return c.layer == cel.layer; });
        if (target == there.end()) {
            chunk.fail("the cel on " + on_layer + " links to frame " + std::to_string(cel.linked_frame) +
                       ", which has no cel on that layer");
        }
        cel.x = target->x;
        cel.y = target->y;
        cel.opacity = target->opacity;
        cel.content = target->content;
    }

    void read_image(Cursor& chunk, AseCel& cel)
    {
        AseImage image;
        image.width = chunk.u16();
        image.height = chunk.u16();
        check_cel_size(chunk, image.width, image.height, "a cel");
        const std::uint64_t bytes = std::uint64_t{image.width} * image.height * pixel_bytes_;
        if (cel.type == AseCelType::Raw) {
            const auto pixels = chunk.bytes(bytes, "the cel's pixels");
            claim_inflated(chunk, bytes);
            image.pixels.assign(pixels.begin(), pixels.end());
        } else {
            claim_inflated(chunk, bytes);
            image.pixels.resize(bytes);
            inflate(chunk, image.pixels);
        }
        cel.content = static_cast<std::uint32_t>(ase_.images.size());
        ase_.images.push_back(std::move(image));
    }

    void read_tilemap(Cursor& chunk, AseCel& cel, std::uint32_t frame)
    {
        AseTilemap tilemap;
        tilemap.width = chunk.u16();
        tilemap.height = chunk.u16();
        tilemap.bits_per_tile = chunk.u16();
        tilemap.id_mask = chunk.u32();
        tilemap.x_flip_mask = chunk.u32();
        tilemap.y_flip_mask = chunk.u32();
        tilemap.diagonal_flip_mask = chunk.u32();
        chunk.skip(10);
        const std::uint16_t bits = tilemap.bits_per_tile;
        if (bits != 8 && bits != 16 && bits != 32) {
            chunk.fail("tiles of " + std::to_string(bits) + " bits are none of 8, 16 and 32");
        }
        check_cel_size(chunk, tilemap.width, tilemap.height, "a tilemap (in tiles)");
        const std::size_t count = std::size_t{tilemap.width} * tilemap.height;
        const std::size_t tile_bytes = bits / 8;
        // Held as 32-bit tiles whatever their stored size, and counted so.
        claim_inflated(chunk, count * sizeof(std::uint32_t));
        tilemap.tiles.resize(count);
        if (tile_bytes == sizeof(std::uint32_t)) {
            std::vector<std::uint8_t> stored(count * tile_bytes);
            inflate(chunk, stored);
            for (std::size_t i = 0; i < count; ++i) tilemap.tiles[i] = le32(&stored[i * 4]);
        } else {
            std::vector<std::uint8_t> stored(count * tile_bytes);
            inflate(chunk, stored);
            for (std::size_t i = 0; i < count; ++i) {
                tilemap.tiles[i] = tile_bytes == 1 ? stored[i] : le16(&stored[i * 2]);
            }
        }
        cel.content = static_cast<std::uint32_t>(ase_.tilemaps.size());
        ase_.tilemaps.push_back(std::move(tilemap));
        tilemap_places_.push_back({frame, cel.layer});
    }

    void read_tags(Cursor& chunk)
    {
        const std::uint16_t count = chunk.u16();
        chunk.skip(8);
        if (std::size_t{count} * TagSize > chunk.left()) {
            chunk.fail(std::to_string(count) + " tags cannot fit in the chunk's " + std::to_string(chunk.left()) +
                       " bytes left");
        }
        for (std::uint16_t i = 0; i < count; ++i) {
            AseTag tag;
            tag.from = chunk.u16();
            tag.to = chunk.u16();
            const std::uint8_t direction = chunk.u8();
            tag.repeat = chunk.u16();
            chunk.skip(6 + 3 + 1);  // reserved, an old colour, an extra byte
            tag.name = chunk.string();
            if (direction > static_cast<std::uint8_t>(AseDirection::PingPongReverse)) {
                chunk.fail("tag " + quoted(tag.name) + " plays in direction " + std::to_string(direction) +
                           ", none of 0 to 3");
            }
            tag.direction = static_cast<AseDirection>(direction);
            if (tag.from > tag.to || tag.to >= frame_count_) {
                chunk.fail("tag " + quoted(tag.name) + " runs from frame " + std::to_string(tag.from) + " to " +
                           std::to_string(tag.to) + " of " + std::to_string(frame_count_));
            }
            ase_.tags.push_back(std::move(tag));
        }
    }

    // A palette's entries are counted against the decoded bytes whenever a
    // frame's change makes a new one.
    std::vector<AseColour>& edit_palette(Cursor& chunk, PaletteTrack& track, std::uint32_t frame, std::size_t entries)
    {
        claim_inflated(chunk, std::max(entries, track.palettes().back().size()) * sizeof(AseColour));
        return track.edit(frame);
    }

    void read_palette(Cursor& chunk, std::uint32_t frame)
    {
        const std::uint32_t size = chunk.u32();
        const std::uint32_t first = chunk.u32();
        const std::uint32_t last = chunk.u32();
        chunk.skip(8);
        if (size > LargestPalette) {
            chunk.fail("a palette of " + std::to_string(size) + " entries is over the " +
                       std::to_string(LargestPalette) + " accepted");
        }
        if (first > last) {
            chunk.fail("the first entry to change, " + std::to_string(first) + ", comes after the last, " +
                       std::to_string(last));
        }
        if (last >= size) {
            chunk.fail("entry " + std::to_string(last) + " is past the palette's " + std::to_string(size) + " entries");
        }
        const std::size_t count = std::size_t{last} - first + 1;
        if (count * PaletteEntrySize > chunk.left()) {
            chunk.fail(std::to_string(count) + " entries cannot fit in the chunk's " + std::to_string(chunk.left()) +
                       " bytes left");
        }
        seen_new_palette_ = true;
        std::vector<AseColour>& palette = edit_palette(chunk, new_palettes_, frame, size);
        palette.resize(size);
        for (std::size_t i = first; i <= last; ++i) {
            const std::uint16_t flags = chunk.u16();
            AseColour& colour = palette[i];
            colour.red = chunk.u8();
            colour.green = chunk.u8();
            colour.blue = chunk.u8();
            colour.alpha = chunk.u8();
            if ((flags & 1) != 0) chunk.string();  // the entry's name
        }
    }

    void read_old_palette(Cursor& chunk, std::uint32_t frame, unsigned largest)
    {
        const std::uint16_t packets = chunk.u16();
        if (std::size_t{packets} * OldPacketSize > chunk.left()) {
            chunk.fail(std::to_string(packets) + " packets cannot fit in the chunk's " + std::to_string(chunk.left()) +
                       " bytes left");
        }
        std::vector<AseColour>& palette = edit_palette(chunk, old_palettes_, frame, OldPaletteEntries);
        std::size_t entry = 0;
        for (std::uint16_t p = 0; p < packets; ++p) {
            entry += chunk.u8();
            const std::uint8_t stored_count = chunk.u8();
            const std::size_t count = stored_count == 0 ? OldPaletteEntries : stored_count;
            if (entry + count > OldPaletteEntries) {
                chunk.fail("packet " + std::to_string(p) + " runs from entry " + std::to_string(entry) +
                           " past entry 255");
            }
            const auto rgb = chunk.bytes(count * 3, "a packet's colours");
            if (palette.size() < entry + count) palette.resize(entry + count);
            for (std::size_t i = 0; i < count; ++i) {
                std::uint8_t channels[3];
                for (std::size_t c = 0; c < 3; ++c) {
                    const unsigned value = rgb[i * 3 + c];
                    if (value > largest) {
                        chunk.fail("entry " + std::to_string(entry + i) + " has a channel of " + std::to_string(value) +
                                   ", past the " + std::to_string(largest) + " this chunk holds");
                    }
                    // 0-63 channels are scaled to 0-255, rounded.
                    channels[c] = static_cast<std::uint8_t>((value * 255 + largest / 2) / largest);
                }
                palette[entry + i] = {channels[0], channels[1], channels[2], 255};
            }
            entry += count;
        }
    }

    void read_tileset(Cursor& chunk)
    {
        AseTileset tileset;
        tileset.id = chunk.u32();
        tileset.flags = chunk.u32();
        tileset.tile_count = chunk.u32();
        tileset.tile_width = chunk.u16();
        tileset.tile_height = chunk.u16();
        chunk.skip(2 + 14);  // the base index shown, reserved
        tileset.name = chunk.string();
        const std::string named = "tileset " + std::to_string(tileset.id) + " " + quoted(tileset.name);
        if (std::any_of(ase_.tilesets.begin(), ase_.tilesets.end(),
                        [&](const AseTileset& t) { return t.id == tileset.id; })) {
            chunk.fail(named + " has the id of an earlier tileset");
        }
        if ((tileset.flags & ase_tileset_flags::InOtherFile) != 0) chunk.skip(8);
        if (tileset.tiles_in_file()) {
            const std::uint32_t length = chunk.u32();
            const auto compressed = chunk.bytes(length, "the compressed tiles");
            check_cel_size(chunk, tileset.tile_width, tileset.tile_height, "a tile");
            if (tileset.tile_count > 0 && (tileset.tile_width == 0 || tileset.tile_height == 0)) {
                chunk.fail(named + " has tiles of " + size_text(tileset.tile_width, tileset.tile_height) + " pixels");
            }
            // Tested by division first, so an absurd count multiplies nothing.
            const std::uint64_t tile_bytes = std::uint64_t{tileset.tile_width} * tileset.tile_height * pixel_bytes_;
            const std::uint64_t room = limits_.max_inflated_bytes - inflated_;
            if (tile_bytes > 0 && tileset.tile_count > room / tile_bytes) {
                chunk.fail(named + ": " + std::to_string(tileset.tile_count) + " tiles of " +
                           size_text(tileset.tile_width, tileset.tile_height) + " pixels are over the " +
                           std::to_string(room) + " decoded bytes left of the " +
                           std::to_string(limits_.max_inflated_bytes) + " accepted");
            }
            claim_inflated(chunk, tile_bytes * tileset.tile_count);
            tileset.pixels.resize(tile_bytes * tileset.tile_count);
            if (const auto fault = inflater_.inflate_exactly(compressed, tileset.pixels)) chunk.fail(named + ": " + *fault);
        }
        ase_.tilesets.push_back(std::move(tileset));
    }

    void finish()
    {
        if (!seen_new_palette_) {
            new_palettes_ = std::move(old_palettes_);
            for (std::size_t f = 0; f < ase_.frames.size(); ++f) ase_.frames[f].palette = old_palette_of_frame_[f];
        }
        ase_.palettes = std::move(new_palettes_.palettes());
        if (ase_.depth == AseColourDepth::Indexed && ase_.palettes.front().empty()) {
            throw AseError(0, std::nullopt, "an indexed file has no palette in its first frame");
        }
        for (std::size_t t = 0; t < ase_.tilemaps.size(); ++t) check_tiles(ase_.tilemaps[t], tilemap_places_[t]);
    }

    void check_tiles(const AseTilemap& tilemap, const TilemapPlace& place) const
    {
        const AseLayer& layer = ase_.layers[place.layer];
        const auto fail = [&](const std::string& what) {
            throw AseError(place.frame, chunk_type::Cel, "layer " + quoted(layer.name) + ": " + what);
        };
        const auto tileset = std::find_if(ase_.tilesets.begin(), ase_.tilesets.end(),
                                          [&](const AseTileset& t) { return t.id == layer.tileset_id; });
        if (tileset == ase_.tilesets.end()) {
            fail("its tileset " + std::to_string(layer.tileset_id) + " is not in the file");
        }
        for (std::size_t i = 0; i < tilemap.tiles.size(); ++i) {
            const std::uint32_t tile = tilemap.tiles[i];
            const std::uint32_t id = tile & tilemap.id_mask;
            if (tileset->zero_is_empty() ? id == 0 : tile == tilemap.all_ones()) continue;
            if (id >= tileset->tile_count) {
                fail("tile " + std::to_string(id) + " at column " + std::to_string(i % tilemap.width) + ", row " +
                     std::to_string(i / tilemap.width) + " is not among the " + std::to_string(tileset->tile_count) +
                     " tiles of tileset " + std::to_string(tileset->id));
            }
        }
    }

    std::span<const std::uint8_t> file_;
    const AseLimits& limits_;
    AseFile ase_;
    std::uint16_t frame_count_ = 0;
    std::uint16_t speed_ms_ = 0;
    std::size_t pixel_bytes_ = 4;
    std::uint64_t inflated_ = 0;
    detail::Inflater inflater_;
    PaletteTrack new_palettes_;
    PaletteTrack old_palettes_;
    std::vector<std::uint32_t> old_palette_of_frame_;
    bool seen_new_palette_ = false;
    std::vector<TilemapPlace> tilemap_places_;
};

}  // namespace

bool looks_like_ase(std::span<const std::uint8_t> file)
{
    return file.size() >= HeaderSize && le16(file.data() + 4) == FileMagic;
}

AseFile read_ase(std::span<const std::uint8_t> file, const AseLimits& limits) { return Reader(file, limits).read(); }

}  // namespace tess
