// Palette-indexed pictures written as XPMs, three digits a pixel.
#include "xpm/indexed.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

namespace tess {

std::string indexed_xpm(std::string_view array_name, int width, int height, std::span<const std::int16_t> pixels)
{
    if (width < 0 || height < 0 ||
        pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        throw std::invalid_argument("indexed_xpm: " + std::to_string(pixels.size()) + " pixels for " +
                                    std::to_string(width) + " x " + std::to_string(height));
    }
    // Transparency's mark first, so that every pixel is marked the same way.
    std::array<bool, PaletteSize + 1> marks{};
    for (const std::int16_t pixel : pixels) {
        const auto slot = static_cast<std::uint16_t>(pixel + 1);
        if (slot > PaletteSize) {
            throw std::invalid_argument("indexed_xpm: pixel value " + std::to_string(pixel) + " is no palette index");
        }
        marks[slot] = true;
    }
    const auto used = [&](std::size_t index) { return marks[index + 1]; };
    const auto colours = std::count(marks.begin() + 1, marks.end(), true);

    std::string text = "/* XPM */\nstatic char *";
    text.append(array_name);
    text += "[] = {\n\"" + std::to_string(width) + " " + std::to_string(height) + " " + std::to_string(colours + 1) +
            " " + std::to_string(IndexedCharsPerPixel) + "\",\n\"";
    text += IndexedTransparentKey;
    text += " c None\",\n";
    for (std::size_t index = 0; index < PaletteSize; ++index) {
        if (used(index)) text += colour_line(static_cast<std::uint8_t>(index));
    }
    // The rows written in place: every key is as long, so their size is known.
    const auto row_length = static_cast<std::size_t>(width);
    const std::size_t rows_at = text.size();
    constexpr auto key_length = static_cast<std::size_t>(IndexedCharsPerPixel);
    text.resize(rows_at + static_cast<std::size_t>(height) * (row_length * key_length + 4));
    char* out = text.data() + rows_at;
    // Every pixel value's key, transparency's first: a key found without a
    // test, and stored as four bytes, the fourth overwritten by the next key
    // or the row's closing quote.
    static constexpr auto keys = [] {
        std::array<std::array<char, key_length + 1>, PaletteSize + 1> all{};
        std::copy_n(IndexedTransparentKey.begin(), key_length, all[0].begin());
        for (std::size_t i = 0; i < PaletteSize; ++i) std::copy_n(detail::IndexKeys[i].begin(), key_length, all[i + 1].begin());
        return all;
    }();
    for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
        *out++ = '"';
        for (const std::int16_t pixel : pixels.subspan(y * row_length, row_length)) {
            std::memcpy(out, keys[static_cast<std::size_t>(pixel + 1)].data(), key_length + 1);
            out += key_length;
        }
        *out++ = '"';
        if (y + 1 < static_cast<std::size_t>(height)) *out++ = ',';
        *out++ = '\n';
    }
    text.resize(static_cast<std::size_t>(out - text.data()));
    text += "};\n";
    return text;
}

}  // namespace tess
