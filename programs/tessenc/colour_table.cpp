// An XPM's colour keys to palette indices, and its rows to pixels.
#include "colour_table.hpp"

#include "xpm/error.hpp"

namespace tess {

ColourTable::ColourTable(Metric metric, int chars_per_pixel) : metric_(metric), indices_(chars_per_pixel) {}

void ColourTable::add(const ColourDefinition& definition)
{
    if (!definition.colour) {
        transparent_key_ = std::string(definition.key);
        return;
    }
    indices_.add(definition.key, nearest_rgb_index(*definition.colour, metric_));
}

void ColourTable::finish()
{
    indices_.finish();
}

std::optional<std::uint8_t> ColourTable::index_of(std::string_view key) const
{
    const auto index = indices_.find(key);
    if (!index) return std::nullopt;
    return static_cast<std::uint8_t>(*index);
}

void row_pixels(std::string_view row, int chars_per_pixel, const ColourTable& colours, std::vector<Pixel>& pixels)
{
    const auto cpp = static_cast<std::size_t>(chars_per_pixel);
    pixels.clear();
    // Neighbours mostly share a colour, so the last key's pixel is tried first.
    std::string_view last_key;
    Pixel last_pixel = TransparentPixel;
    for (std::size_t start = 0; start + cpp <= row.size(); start += cpp) {
        const std::string_view key = row.substr(start, cpp);
        if (key != last_key) {
            if (colours.is_transparent(key)) {
                last_pixel = TransparentPixel;
            } else if (const auto index = colours.index_of(key)) {
                last_pixel = *index;
            } else {
                throw XpmError(XpmFault::PixelWithoutColour, "pixel \"" + std::string(key) + "\" has no colour");
            }
            last_key = key;
        }
        pixels.push_back(last_pixel);
    }
}

}  // namespace tess
