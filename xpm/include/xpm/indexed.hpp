#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "palette/palette.hpp"

namespace tess {

// XPMs of palette-indexed pictures: three characters a pixel, the index's
// three digits, or IndexedTransparentKey for a transparent pixel.
inline constexpr int IndexedCharsPerPixel = 3;
inline constexpr std::string_view IndexedTransparentKey = "...";

namespace detail {

using IndexKey = std::array<char, IndexedCharsPerPixel>;

constexpr std::array<IndexKey, PaletteSize> make_index_keys()
{
    std::array<IndexKey, PaletteSize> keys{};
    for (std::size_t v = 0; v < PaletteSize; ++v) {
        keys[v] = {static_cast<char>('0' + v / 100), static_cast<char>('0' + v / 10 % 10),
                   static_cast<char>('0' + v % 10)};
    }
    return keys;
}

inline constexpr std::array<IndexKey, PaletteSize> IndexKeys = make_index_keys();

// "ddd c #rrggbb",\n
inline constexpr std::size_t ColourLineLength = 17;
using ColourLine = std::array<char, ColourLineLength>;

constexpr std::array<ColourLine, PaletteSize> make_colour_lines()
{
    constexpr std::string_view hex = "0123456789abcdef";
    std::array<ColourLine, PaletteSize> lines{};
    for (std::size_t v = 0; v < PaletteSize; ++v) {
        const PaletteEntry& e = Palette[v];
        const auto h = [&](std::int32_t channel, int shift) { return hex[static_cast<std::size_t>(channel >> shift & 0xf)]; };
        lines[v] = {'"', IndexKeys[v][0], IndexKeys[v][1], IndexKeys[v][2], ' ', 'c', ' ', '#',
                    h(e.red, 4), h(e.red, 0), h(e.green, 4), h(e.green, 0), h(e.blue, 4), h(e.blue, 0), '"', ',', '\n'};
    }
    return lines;
}

inline constexpr std::array<ColourLine, PaletteSize> ColourLines = make_colour_lines();

}  // namespace detail

// "000" to "255".
constexpr std::string_view index_key(std::uint8_t index)
{
    return {detail::IndexKeys[index].data(), IndexedCharsPerPixel};
}

// An index's line of the colour table, its palette colour in hex:
// "ddd c #rrggbb", then a comma and a newline.
constexpr std::string_view colour_line(std::uint8_t index)
{
    return {detail::ColourLines[index].data(), detail::ColourLineLength};
}

// A picture as an XPM: `pixels` row by row, each a palette index 0..255 or -1
// for transparent; a colour line for every index used, in index order, after
// the transparent one. Raises std::invalid_argument for pixels that are not
// width x height such values.
std::string indexed_xpm(std::string_view array_name, int width, int height, std::span<const std::int16_t> pixels);

}  // namespace tess
