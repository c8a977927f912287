#include "xpm/indexed.hpp"

#include <algorithm>
#include <stdexcept>

namespace tess {

std::string indexed_xpm(std::string_view array_name, int width, int height, std::span<const std::int16_t> pixels)
{
    if (width < 0 || height < 0 ||
        pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        throw std::invalid_argument("indexed_xpm: " + std::to_string(pixels.size()) + " pixels for " +
                                    std::to_string(width) + " x " + std::to_string(height));
    }
    std::array<bool, PaletteSize> used{};
    for (const std::int16_t pixel : pixels) {
        if (pixel < -1 || pixel >= static_cast<std::int16_t>(PaletteSize)) {
            throw std::invalid_argument("indexed_xpm: pixel value " + std::to_string(pixel) + " is no palette index");
        }
        if (pixel >= 0) used[static_cast<std::size_t>(pixel)] = true;
    }
    const auto colours = std::count(used.begin(), used.end(), true);

    std::string text = "/* XPM */\nstatic char *";
    text.append(array_name);
    text += "[] = {\n\"" + std::to_string(width) + " " + std::to_string(height) + " " + std::to_string(colours + 1) +
            " " + std::to_string(IndexedCharsPerPixel) + "\",\n\"";
    text += IndexedTransparentKey;
    text += " c None\",\n";
    for (std::size_t index = 0; index < PaletteSize; ++index) {
        if (used[index]) text += colour_line(static_cast<std::uint8_t>(index));
    }
    // The rows written in place: every key is as long, so their size is known.
    const auto row_length = static_cast<std::size_t>(width);
    const std::size_t rows_at = text.size();
    constexpr auto key_length = static_cast<std::size_t>(IndexedCharsPerPixel);
    text.resize(rows_at + static_cast<std::size_t>(height) * (row_length * key_length + 4));
    char* out = text.data() + rows_at;
    for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
        *out++ = '"';
        for (const std::int16_t pixel : pixels.subspan(y * row_length, row_length)) {
            const std::string_view key = pixel < 0 ? IndexedTransparentKey : index_key(static_cast<std::uint8_t>(pixel));
            out = std::copy_n(key.data(), key_length, out);
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
