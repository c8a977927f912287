// The XPM colour-table rule: which colour line gives each key's pixels.
#include "xpm/colour_table.hpp"

namespace tess {

void XpmColourTable::add(const ColourDefinition& definition)
{
    if (definition.colour) {
        keys_.add(definition.key, lines_);
    } else {
        transparent_ = {std::string(definition.key), lines_};
    }
    ++lines_;
}

void XpmColourTable::finish()
{
    if (transparent_) keys_.add_first(transparent_->key, transparent_->line);
    keys_.finish();
}

std::optional<std::uint32_t> XpmColourTable::find(std::string_view key) const
{
    return keys_.find(key);
}

}  // namespace tess
