#include "colour_table.hpp"

namespace tess {

ColourTable::ColourTable(ConversionType type, int chars_per_pixel) : type_(type)
{
    if (static_cast<std::size_t>(chars_per_pixel) <= MaxFlatKeyLength) {
        flat_.assign(std::size_t{1} << (8 * chars_per_pixel), NoColour);
    }
}

std::size_t ColourTable::flat_slot(std::string_view key)
{
    std::size_t slot = 0;
    for (const char c : key) slot = slot << 8 | static_cast<unsigned char>(c);
    return slot;
}

void ColourTable::add(const ColourDefinition& definition)
{
    if (!definition.colour) {
        transparent_key_ = std::string(definition.key);
        return;
    }
    if (!flat_.empty()) {
        std::int16_t& index = flat_[flat_slot(definition.key)];
        if (index == NoColour) index = nearest_palette_index(*definition.colour, type_);
    } else if (hashed_.find(definition.key) == hashed_.end()) {
        hashed_.emplace(definition.key, nearest_palette_index(*definition.colour, type_));
    }
}

std::optional<std::uint8_t> ColourTable::index_of(std::string_view key) const
{
    if (!flat_.empty()) {
        const std::int16_t index = flat_[flat_slot(key)];
        if (index == NoColour) return std::nullopt;
        return static_cast<std::uint8_t>(index);
    }
    const auto found = hashed_.find(key);
    if (found == hashed_.end()) return std::nullopt;
    return found->second;
}

}  // namespace tess
