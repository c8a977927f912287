#include "colour_table.hpp"

namespace tess {

void ColourTable::add(const ColourDefinition& definition)
{
    if (!definition.colour) {
        transparent_key_ = std::string(definition.key);
        return;
    }
    if (indices_.find(definition.key) == indices_.end()) {
        indices_.emplace(definition.key, nearest_palette_index(*definition.colour, type_));
    }
}

std::optional<std::uint8_t> ColourTable::index_of(std::string_view key) const
{
    const auto found = indices_.find(key);
    if (found == indices_.end()) return std::nullopt;
    return found->second;
}

}  // namespace tess
