#pragma once
// .aseprite files built byte by byte from the format's own layout, for tests:
// not through the library's writer, so the two can be held against each other.
#include <zlib.h>

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

namespace tess::testing::ase {

using Bytes = std::vector<std::uint8_t>;

// Little-endian fields, appended.
struct Put {
    Bytes bytes;
    Put& u8(unsigned v)
    {
        bytes.push_back(static_cast<std::uint8_t>(v));
        return *this;
    }
    Put& u16(unsigned v) { return u8(v & 0xff).u8(v >> 8 & 0xff); }
    Put& u32(std::uint32_t v) { return u16(v & 0xffff).u16(v >> 16); }
    Put& zeros(std::size_t n)
    {
        bytes.insert(bytes.end(), n, 0);
        return *this;
    }
    Put& add(const Bytes& more)
    {
        bytes.insert(bytes.end(), more.begin(), more.end());
        return *this;
    }
    Put& str(const std::string& s)
    {
        u16(static_cast<unsigned>(s.size()));
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
};

inline Bytes deflated(const Bytes& raw)
{
    uLongf size = compressBound(raw.size());
    Bytes out(size);
    compress2(out.data(), &size, raw.data(), raw.size(), 9);
    out.resize(size);
    return out;
}

inline Bytes chunk(std::uint16_t type, const Bytes& body) { return Put().u32(body.size() + 6).u16(type).add(body).bytes; }

// Pixels written as 0xRRGGBBAA.
inline Bytes rgba(std::span<const std::uint32_t> pixels)
{
    Put p;
    for (const std::uint32_t px : pixels) p.u8(px >> 24).u8(px >> 16 & 0xff).u8(px >> 8 & 0xff).u8(px & 0xff);
    return p.bytes;
}
inline Bytes rgba(std::initializer_list<std::uint32_t> pixels) { return rgba(std::span(pixels.begin(), pixels.size())); }

inline Bytes layer(const std::string& name, unsigned flags = 1, unsigned type = 0, unsigned level = 0, unsigned blend = 0,
            unsigned opacity = 255)
{
    Put p;
    p.u16(flags).u16(type).u16(level).u16(0).u16(0).u16(blend).u8(opacity).zeros(3).str(name);
    if (type == 2) p.u32(0);  // tileset 0
    return chunk(0x2004, p.bytes);
}

inline Put cel_head(unsigned layer, int x, int y, unsigned type, unsigned opacity, int z)
{
    return std::move(Put().u16(layer).u16(static_cast<std::uint16_t>(x)).u16(static_cast<std::uint16_t>(y)).u8(opacity).u16(type).u16(static_cast<std::uint16_t>(z)).zeros(5));
}

inline Bytes cel(unsigned layer, int x, int y, unsigned w, unsigned h, const Bytes& pixels, unsigned opacity = 255, int z = 0)
{
    return chunk(0x2005, cel_head(layer, x, y, 2, opacity, z).u16(w).u16(h).add(deflated(pixels)).bytes);
}

inline Bytes raw_cel(unsigned layer, int x, int y, unsigned w, unsigned h, const Bytes& pixels)
{
    return chunk(0x2005, cel_head(layer, x, y, 0, 255, 0).u16(w).u16(h).add(pixels).bytes);
}

inline Bytes linked_cel(unsigned layer, unsigned frame) { return chunk(0x2005, cel_head(layer, 9, 9, 1, 7, 0).u16(frame).bytes); }

// 32-bit tiles: the id in the low 29 bits, then diagonal, y and x flips.
inline Bytes tilemap_cel(unsigned layer, int x, int y, unsigned w, unsigned h, const std::vector<std::uint32_t>& tiles)
{
    Put raw;
    for (const std::uint32_t t : tiles) raw.u32(t);
    Put p = cel_head(layer, x, y, 3, 255, 0);
    p.u16(w).u16(h).u16(32).u32(0x1fffffff).u32(0x80000000).u32(0x40000000).u32(0x20000000).zeros(10);
    return chunk(0x2005, p.add(deflated(raw.bytes)).bytes);
}

inline Bytes palette(const std::vector<std::uint32_t>& colours, unsigned first = 0)
{
    Put p;
    p.u32(static_cast<std::uint32_t>(colours.size())).u32(first).u32(static_cast<std::uint32_t>(colours.size() - 1)).zeros(8);
    for (std::size_t i = first; i < colours.size(); ++i) p.u16(0).add(rgba({colours[i]}));
    return chunk(0x2019, p.bytes);
}

inline Bytes tileset(unsigned tile_w, unsigned tile_h, std::uint32_t count, const Bytes& pixels, unsigned flags = 2 | 4)
{
    Put p;
    p.u32(0).u32(flags).u32(count).u16(tile_w).u16(tile_h).u16(1).zeros(14).str("tiles");
    if ((flags & 1) != 0) p.u32(0).u32(0);
    if ((flags & 2) != 0) {
        const Bytes z = deflated(pixels);
        p.u32(static_cast<std::uint32_t>(z.size())).add(z);
    }
    return chunk(0x2023, p.bytes);
}

inline Bytes tags(unsigned from, unsigned to, unsigned direction, const std::string& name)
{
    return chunk(0x2018, Put().u16(1).zeros(8).u16(from).u16(to).u8(direction).u16(0).zeros(10).str(name).bytes);
}

struct Sprite {
    unsigned width = 2;
    unsigned height = 1;
    unsigned depth = 32;
    std::uint32_t flags = 1;
    unsigned transparent = 0;
    std::vector<std::vector<Bytes>> frames;  // each frame's chunks
    std::vector<unsigned> durations;         // 100 ms where not given

    Bytes bytes() const
    {
        Put p;
        p.u32(0).u16(0xA5E0).u16(static_cast<unsigned>(frames.size())).u16(width).u16(height).u16(depth).u32(flags);
        p.u16(100).zeros(8).u8(transparent).zeros(3).u16(256).u8(1).u8(1).zeros(4).u16(16).u16(16).zeros(84);
        for (std::size_t f = 0; f < frames.size(); ++f) {
            Put body;
            for (const Bytes& c : frames[f]) body.add(c);
            const auto count = static_cast<std::uint32_t>(frames[f].size());
            p.u32(static_cast<std::uint32_t>(body.bytes.size() + 16)).u16(0xF1FA).u16(count);
            p.u16(f < durations.size() ? durations[f] : 100).zeros(2).u32(count).add(body.bytes);
        }
        const auto size = static_cast<std::uint32_t>(p.bytes.size());
        for (int i = 0; i < 4; ++i) p.bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (8 * i));
        return p.bytes;
    }
};

}  // namespace tess::testing::ase
