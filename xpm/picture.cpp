// Whole XPM pictures read: their size, their colours and each pixel's colour number.
#include "xpm/picture.hpp"

#include <algorithm>

#include "xpm/colour_table.hpp"
#include "xpm/error.hpp"
#include "xpm/header.hpp"
#include "xpm/strings.hpp"

namespace tess {

namespace {

// Room for the widest row the limits allow.
constexpr XpmLimits Limits;
constexpr std::size_t MaxStringLength =
    std::max(XpmStrings::DefaultMaxLength, static_cast<std::size_t>(Limits.max_width) * MaxCharsPerPixel);

XpmPicture read_picture(XpmStrings& strings)
{
    const XpmValues values = parse_values_line(strings.next(), Limits);
    XpmPicture picture{values.width, values.height, {}, {}};
    const auto cpp = static_cast<std::size_t>(values.chars_per_pixel);

    // Memory for the colour lines set aside at once, but never more than a
    // palette's worth on the values line's word alone: a larger table grows
    // as its lines come.
    const auto colours = std::min<std::size_t>(static_cast<std::size_t>(values.colours), 256);
    XpmColourTable colour_table(values.chars_per_pixel, colours);
    picture.colours.reserve(colours);
    for (int i = 0; i < values.colours; ++i) {
        const ColourDefinition definition = parse_colour_line(strings.next(), values.chars_per_pixel);
        colour_table.add(definition);
        picture.colours.push_back({std::string(definition.key), definition.colour});
    }
    colour_table.finish();

    const auto width = static_cast<std::size_t>(values.width);
    picture.pixels.resize(width * static_cast<std::size_t>(values.height));
    for (int y = 0; y < values.height; ++y) {
        const std::string_view row = strings.next();
        if (row.size() != width * cpp) {
            throw XpmError(XpmFault::WrongFormat,
                           "wrong xpm format: row " + std::to_string(y) + " is not " + std::to_string(values.width) +
                               " pixels wide",
                           y);
        }
        const std::size_t unknown = colour_table.find_row(row, picture.pixels.data() + static_cast<std::size_t>(y) * width);
        if (unknown < row.size()) {
            const int x = static_cast<int>(unknown / cpp);
            throw XpmError(XpmFault::PixelWithoutColour,
                           "pixel \"" + std::string(row.substr(unknown, cpp)) + "\" at x " + std::to_string(x) + ", y " +
                               std::to_string(y) + " has no colour",
                           XpmPixelPlace{x, y});
        }
    }
    return picture;
}

}  // namespace

XpmPicture read_xpm_picture(std::istream& in)
{
    XpmStrings strings(in, MaxStringLength);
    return read_picture(strings);
}

XpmPicture read_xpm_picture(std::span<const std::uint8_t> file)
{
    XpmStrings strings(file, MaxStringLength);
    return read_picture(strings);
}

}  // namespace tess
