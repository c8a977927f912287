// The palette as editors load it: .gpl, .hex, .act, .pal and a PNG swatch.
#include "pack/palette_files.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <numeric>
#include <string>

#include "pack/image_files.hpp"
#include "palette/palette.hpp"
#include "png/png_writer.hpp"

namespace tess {

namespace {

constexpr std::uint32_t SwatchSide = 16;
static_assert(SwatchSide * SwatchSide == PaletteSize);

// One entry in printf style; 32 bytes hold the longest line.
template <typename... Values>
void append_formatted(std::string& text, const char* format, Values... values)
{
    std::array<char, 32> line{};
    const int length = std::snprintf(line.data(), line.size(), format, values...);
    text.append(line.data(), static_cast<std::size_t>(length));
}

std::vector<std::uint8_t> bytes_of(const std::string& text) { return {text.begin(), text.end()}; }

std::string lower_case(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

std::vector<std::uint8_t> gimp_palette_file()
{
    std::string text = "GIMP Palette\nName: tess\nColumns: 12\n#\n";
    // GIMP keys entries by nothing but their order; the index as the name
    // keeps duplicates apart for whoever reads the list.
    for (std::size_t i = 0; i < PaletteSize; ++i) {
        append_formatted(text, "%3d %3d %3d\tIndex %zu", Palette[i].red, Palette[i].green, Palette[i].blue, i);
        if (i == PreferredTransparentIndex) text += " (transparent in unpacked PNGs)";
        text += "\n";
    }
    return bytes_of(text);
}

std::vector<std::uint8_t> hex_palette_file()
{
    std::string text;
    for (const PaletteEntry& entry : Palette) {
        append_formatted(text, "%02x%02x%02x\n", entry.red, entry.green, entry.blue);
    }
    return bytes_of(text);
}

std::vector<std::uint8_t> act_palette_file()
{
    // The 4-byte trailer (colour count, transparent index) is optional and
    // only needed for fewer than 256 colours or a transparent entry; without
    // it, every reader takes 768 bytes as 256 colours.
    std::vector<std::uint8_t> bytes;
    for (const PaletteEntry& entry : Palette) {
        bytes.push_back(static_cast<std::uint8_t>(entry.red));
        bytes.push_back(static_cast<std::uint8_t>(entry.green));
        bytes.push_back(static_cast<std::uint8_t>(entry.blue));
    }
    return bytes;
}

std::vector<std::uint8_t> jasc_palette_file()
{
    std::string text = "JASC-PAL\r\n0100\r\n256\r\n";
    for (const PaletteEntry& entry : Palette) append_formatted(text, "%d %d %d\r\n", entry.red, entry.green, entry.blue);
    return bytes_of(text);
}

std::vector<std::uint8_t> png_palette_swatch()
{
    std::array<std::uint8_t, PaletteSize> indices{};
    std::iota(indices.begin(), indices.end(), 0);
    return write_indexed_png(SwatchSide, SwatchSide, indices, std::nullopt);
}

std::optional<std::vector<std::uint8_t>> palette_file_for(std::string_view path)
{
    const std::string_view file = path.substr(path.find_last_of('/') + 1);
    const std::size_t dot = file.find_last_of('.');
    const std::string extension = dot == std::string_view::npos || dot == 0 ? "" : lower_case(std::string(file.substr(dot)));
    if (extension == ".gpl") return gimp_palette_file();
    if (extension == ".hex") return hex_palette_file();
    if (extension == ".act") return act_palette_file();
    if (extension == ".pal") return jasc_palette_file();
    if (extension == ".png") return png_palette_swatch();
    return std::nullopt;
}

}  // namespace tess
