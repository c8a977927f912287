// Indexed Aseprite files written: one layer, a compressed cel a frame, the palette in both its chunks, tags.
#include "ase/ase_writer.hpp"

#include <algorithm>
#include <limits>

#include "zlib_stream.hpp"

namespace tess {

namespace {

constexpr std::uint32_t LargestSide = 0xffff;
constexpr std::size_t LargestCount = 0xffff;  // frames, tags, string bytes
constexpr std::size_t HeaderSize = 128;
constexpr std::uint16_t GridSide = 16;        // what Aseprite itself sets

// Whole code points, none of them a surrogate or past U+10FFFF, each in its
// shortest form.
bool is_utf8(const std::string& text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        std::uint32_t code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if ((lead & 0xe0) == 0xc0) {
            length = 2;
            code = lead & 0x1f;
        } else if ((lead & 0xf0) == 0xe0) {
            length = 3;
            code = lead & 0x0f;
        } else if ((lead & 0xf8) == 0xf0) {
            length = 4;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xc0) != 0x80) return false;
            code = code << 6 | (next & 0x3f);
        }
        constexpr std::uint32_t Shortest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < Shortest[length] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return false;
        i += length;
    }
    return true;
}

class Output {
public:
    void u8(std::uint8_t value) { bytes.push_back(value); }
    void u16(std::uint16_t value)
    {
        u8(static_cast<std::uint8_t>(value));
        u8(static_cast<std::uint8_t>(value >> 8));
    }
    void u32(std::uint32_t value)
    {
        u16(static_cast<std::uint16_t>(value));
        u16(static_cast<std::uint16_t>(value >> 16));
    }
    void zeros(std::size_t count) { bytes.insert(bytes.end(), count, 0); }
    void string(const std::string& text)
    {
        u16(static_cast<std::uint16_t>(text.size()));
        bytes.insert(bytes.end(), text.begin(), text.end());
    }

    // A size written once what it counts is known.
    void put32_at(std::size_t at, std::uint64_t value, const std::string& what)
    {
        if (value > std::numeric_limits<std::uint32_t>::max()) {
            throw AseError(what + " of " + std::to_string(value) + " bytes is past the 4 GiB a size field holds");
        }
        for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }

    std::vector<std::uint8_t> bytes;
};

void check_name(const std::string& name, const std::string& what)
{
    if (name.size() > LargestCount) {
        throw AseError(what + " of " + std::to_string(name.size()) + " bytes is longer than 65535");
    }
    if (!is_utf8(name)) throw AseError(what + " is not UTF-8");
}

void check_sprite(const AseIndexedSprite& sprite)
{
    if (sprite.width == 0 || sprite.height == 0 || sprite.width > LargestSide || sprite.height > LargestSide) {
        throw AseError("the canvas cannot be " + std::to_string(sprite.width) + " x " + std::to_string(sprite.height) +
                       " pixels: each side is 1 to 65535");
    }
    if (sprite.palette.size() != 256) {
        throw AseError("the palette has " + std::to_string(sprite.palette.size()) + " entries, not 256");
    }
    for (std::size_t i = 0; i < sprite.palette.size(); ++i) {
        for (const std::int32_t channel : {sprite.palette[i].red, sprite.palette[i].green, sprite.palette[i].blue}) {
            if (channel < 0 || channel > 255) throw AseError("palette entry " + std::to_string(i) + " is not 8-bit RGB");
        }
    }
    check_name(sprite.layer_name, "the layer name");
    if (sprite.frames.empty() || sprite.frames.size() > LargestCount) {
        throw AseError(std::to_string(sprite.frames.size()) + " frames: a file holds 1 to 65535");
    }
    for (std::size_t f = 0; f < sprite.frames.size(); ++f) {
        const AseWriterFrame& frame = sprite.frames[f];
        const std::string named = "frame " + std::to_string(f) + ": ";
        if (frame.width > sprite.width || frame.height > sprite.height) {
            throw AseError(named + "a cel of " + std::to_string(frame.width) + " x " + std::to_string(frame.height) +
                           " is larger than the canvas");
        }
        if (frame.indices.size() != std::size_t{frame.width} * frame.height) {
            throw AseError(named + std::to_string(frame.indices.size()) + " indices for a cel of " +
                           std::to_string(frame.width) + " x " + std::to_string(frame.height));
        }
        if (frame.duration_ms == 0) throw AseError(named + "a duration of 0 ms; frames last 1 to 65535 ms");
    }
    if (sprite.tags.size() > LargestCount) {
        throw AseError(std::to_string(sprite.tags.size()) + " tags are more than the 65535 a file holds");
    }
    for (const AseWriterTag& tag : sprite.tags) {
        check_name(tag.name, "the tag name \"" + tag.name + "\"");
        if (tag.from > tag.to || tag.to >= sprite.frames.size()) {
            throw AseError("tag \"" + tag.name + "\" runs from frame " + std::to_string(tag.from) + " to " +
                           std::to_string(tag.to) + " of " + std::to_string(sprite.frames.size()));
        }
    }
}

void write_header(Output& out, const AseIndexedSprite& sprite)
{
    out.u32(0);  // the file's size, once known
    out.u16(0xA5E0);
    out.u16(static_cast<std::uint16_t>(sprite.frames.size()));
    out.u16(static_cast<std::uint16_t>(sprite.width));
    out.u16(static_cast<std::uint16_t>(sprite.height));
    out.u16(8);  // indexed
    out.u32(1);  // layer opacity is valid
    out.u16(sprite.frames.front().duration_ms);  // the old speed, for readers that predate frame durations
    out.zeros(8);
    out.u8(sprite.transparent_index);
    out.zeros(3);
    out.u16(256);  // colours
    out.u8(1);     // pixel ratio 1:1
    out.u8(1);
    out.u16(0);  // grid origin
    out.u16(0);
    out.u16(GridSide);
    out.u16(GridSide);
    out.zeros(HeaderSize - out.bytes.size());
}

// Chunks counted into their frame's header as they are written.
class FrameWriter {
public:
    FrameWriter(Output& out, std::uint16_t duration_ms) : out_(out), start_(out.bytes.size())
    {
        out.u32(0);  // bytes, once known
        out.u16(0xF1FA);
        out.u16(0);  // chunks, once known
        out.u16(duration_ms);
        out.zeros(2);
        out.u32(0);  // chunks again, in the newer field
    }

    std::size_t begin_chunk(std::uint16_t type)
    {
        const std::size_t at = out_.bytes.size();
        out_.u32(0);
        out_.u16(type);
        ++chunks_;
        return at;
    }

    void end_chunk(std::size_t at) { out_.put32_at(at, out_.bytes.size() - at, "a chunk"); }

    void finish()
    {
        out_.put32_at(start_, out_.bytes.size() - start_, "a frame");
        const auto old_count = static_cast<std::uint16_t>(std::min<std::uint32_t>(chunks_, 0xffff));
        out_.bytes[start_ + 6] = static_cast<std::uint8_t>(old_count);
        out_.bytes[start_ + 7] = static_cast<std::uint8_t>(old_count >> 8);
        out_.put32_at(start_ + 12, chunks_, "a chunk count");
    }

private:
    Output& out_;
    std::size_t start_;
    std::uint32_t chunks_ = 0;
};

void write_palettes(Output& out, FrameWriter& frame, std::span<const Rgb> palette)
{
    std::size_t chunk = frame.begin_chunk(0x2019);
    out.u32(256);  // entries
    out.u32(0);    // first and last changed
    out.u32(255);
    out.zeros(8);
    for (const Rgb& colour : palette) {
        out.u16(0);  // no name
        out.u8(static_cast<std::uint8_t>(colour.red));
        out.u8(static_cast<std::uint8_t>(colour.green));
        out.u8(static_cast<std::uint8_t>(colour.blue));
        out.u8(255);
    }
    frame.end_chunk(chunk);

    chunk = frame.begin_chunk(0x0004);
    out.u16(1);  // one packet: skip none, then 256 colours (stored as 0)
    out.u8(0);
    out.u8(0);
    for (const Rgb& colour : palette) {
        out.u8(static_cast<std::uint8_t>(colour.red));
        out.u8(static_cast<std::uint8_t>(colour.green));
        out.u8(static_cast<std::uint8_t>(colour.blue));
    }
    frame.end_chunk(chunk);
}

void write_layer(Output& out, FrameWriter& frame, const std::string& name)
{
    const std::size_t chunk = frame.begin_chunk(0x2004);
    out.u16(1 | 2);  // visible, editable
    out.u16(0);      // an image layer
    out.u16(0);      // at the top level
    out.zeros(4);    // a default size, unused
    out.u16(0);      // normal blending
    out.u8(255);
    out.zeros(3);
    out.string(name);
    frame.end_chunk(chunk);
}

void write_tags(Output& out, FrameWriter& frame, const std::vector<AseWriterTag>& tags)
{
    const std::size_t chunk = frame.begin_chunk(0x2018);
    out.u16(static_cast<std::uint16_t>(tags.size()));
    out.zeros(8);
    for (const AseWriterTag& tag : tags) {
        out.u16(tag.from);
        out.u16(tag.to);
        out.u8(0);   // forward
        out.u16(0);  // repeat: not said
        out.zeros(6 + 3 + 1);  // reserved, an old colour, an extra byte
        out.string(tag.name);
    }
    frame.end_chunk(chunk);
}

void write_cel(Output& out, FrameWriter& frame, const AseWriterFrame& cel, detail::Deflater& deflater)
{
    const std::size_t chunk = frame.begin_chunk(0x2005);
    out.u16(0);  // layer
    out.u16(0);  // x, y
    out.u16(0);
    out.u8(255);
    out.u16(2);  // compressed image
    out.u16(0);  // z-index
    out.zeros(5);
    out.u16(static_cast<std::uint16_t>(cel.width));
    out.u16(static_cast<std::uint16_t>(cel.height));
    deflater.deflate(cel.indices, out.bytes);
    frame.end_chunk(chunk);
}

}  // namespace

std::vector<std::uint8_t> write_indexed_ase(const AseIndexedSprite& sprite)
{
    check_sprite(sprite);
    Output out;
    write_header(out, sprite);
    detail::Deflater deflater;
    for (std::size_t f = 0; f < sprite.frames.size(); ++f) {
        const AseWriterFrame& cel = sprite.frames[f];
        FrameWriter frame(out, cel.duration_ms);
        if (f == 0) {
            write_palettes(out, frame, sprite.palette);
            write_layer(out, frame, sprite.layer_name);
            if (!sprite.tags.empty()) write_tags(out, frame, sprite.tags);
        }
        if (cel.width != 0 && cel.height != 0) write_cel(out, frame, cel, deflater);
        frame.finish();
    }
    out.put32_at(0, out.bytes.size(), "the file");
    return std::move(out.bytes);
}

}  // namespace tess
