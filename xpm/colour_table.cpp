#include "xpm/colour_table.hpp"

#include <algorithm>
#include <cstring>

#include "xpm/error.hpp"

namespace tess {

ColourTable::ColourTable(ConversionType type, int chars_per_pixel)
    : type_(type), key_length_(static_cast<std::size_t>(chars_per_pixel))
{
}

ColourTable::Key ColourTable::key_of(std::string_view key) const
{
    std::array<char, sizeof(Key)> bytes{};
    std::memcpy(bytes.data(), key.data(), std::min(key.size(), key_length_));
    Key numbers;
    std::memcpy(numbers.data(), bytes.data(), bytes.size());
    return numbers;
}

void ColourTable::add(const ColourDefinition& definition)
{
    if (!definition.colour) {
        transparent_key_ = std::string(definition.key);
        return;
    }
    entries_.push_back({key_of(definition.key), nearest_palette_index(*definition.colour, type_)});
}

void ColourTable::finish()
{
    const auto by_key = [](const Entry& a, const Entry& b) { return a.key < b.key; };
    std::stable_sort(entries_.begin(), entries_.end(), by_key);
    const auto same_key = [](const Entry& a, const Entry& b) { return a.key == b.key; };
    entries_.erase(std::unique(entries_.begin(), entries_.end(), same_key), entries_.end());
}

std::optional<std::uint8_t> ColourTable::index_of(std::string_view key) const
{
    if (key.size() != key_length_) return std::nullopt;
    const Key wanted = key_of(key);
    const auto found = std::lower_bound(entries_.begin(), entries_.end(), wanted,
                                        [](const Entry& entry, const Key& k) { return entry.key < k; });
    if (found == entries_.end() || found->key != wanted) return std::nullopt;
    return found->index;
}

void row_pixels(std::string_view row, int chars_per_pixel, const ColourTable& colours, std::vector<Pixel>& pixels)
{
    const auto cpp = static_cast<std::size_t>(chars_per_pixel);
    pixels.clear();
    for (std::size_t start = 0; start + cpp <= row.size(); start += cpp) {
        const std::string_view key = row.substr(start, cpp);
        if (colours.is_transparent(key)) {
            pixels.push_back(TransparentPixel);
        } else if (const auto index = colours.index_of(key)) {
            pixels.push_back(*index);
        } else {
            throw XpmError(XpmFault::PixelWithoutColour, "pixel \"" + std::string(key) + "\" has no colour");
        }
    }
}

}  // namespace tess
