// An XPM's colour keys to palette indices, and its rows to pixels.
#include "colour_table.hpp"

#include "xpm/error.hpp"

namespace tess {

ColourTable::ColourTable(Metric metric, int chars_per_pixel)
    : metric_(metric), chars_per_pixel_(chars_per_pixel), lines_(chars_per_pixel)
{
}

void ColourTable::add(const ColourDefinition& definition)
{
    lines_.add(definition);
    line_pixels_.push_back(definition.colour ? Pixel{nearest_rgb_index(*definition.colour, metric_)} : TransparentPixel);
}

void ColourTable::finish()
{
    lines_.finish();
}

std::optional<Pixel> ColourTable::pixel_of(std::string_view key) const
{
    const auto line = lines_.find(key);
    if (!line) return std::nullopt;
    return line_pixels_[*line];
}

void row_pixels(std::string_view row, int y, const ColourTable& colours, std::vector<Pixel>& pixels)
{
    const auto cpp = static_cast<std::size_t>(colours.chars_per_pixel());
    pixels.clear();
    // Neighbours mostly share a colour, so the last key's pixel is tried first.
    std::string_view last_key;
    Pixel last_pixel = TransparentPixel;
    for (std::size_t start = 0; start + cpp <= row.size(); start += cpp) {
        const std::string_view key = row.substr(start, cpp);
        if (key != last_key) {
            const auto pixel = colours.pixel_of(key);
            if (!pixel) {
                throw XpmError(XpmFault::PixelWithoutColour, "pixel \"" + std::string(key) + "\" has no colour",
                               XpmPixelPlace{static_cast<int>(start / cpp), y});
            }
            last_pixel = *pixel;
            last_key = key;
        }
        pixels.push_back(last_pixel);
    }
}

}  // namespace tess
