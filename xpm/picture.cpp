// Whole XPM pictures read: their size, their colours and each pixel's colour number.
#include "xpm/picture.hpp"

#include <algorithm>

#include "xpm/colour_table.hpp"
#include "xpm/error.hpp"
#include "xpm/header.hpp"
#include "xpm/strings.hpp"

namespace tess {

namespace {

// Bytes in memory as a stream's input, without a copy.
class ViewBuffer : public std::streambuf {
public:
    explicit ViewBuffer(std::span<const std::uint8_t> bytes)
    {
        // Only read from: nothing is ever put back.
        char* begin = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
        setg(begin, begin, begin + bytes.size());
    }
};

}  // namespace

XpmPicture read_xpm_picture(std::istream& in)
{
    // Room for the widest row the limits allow.
    constexpr XpmLimits limits;
    XpmStrings strings(in, std::max(XpmStrings::DefaultMaxLength,
                                    static_cast<std::size_t>(limits.max_width) * MaxCharsPerPixel));
    const XpmValues values = parse_values_line(strings.next(), limits);
    XpmPicture picture{values.width, values.height, {}, {}};
    const auto cpp = static_cast<std::size_t>(values.chars_per_pixel);

    XpmColourTable colour_table(values.chars_per_pixel);
    for (int i = 0; i < values.colours; ++i) {
        const ColourDefinition definition = parse_colour_line(strings.next(), values.chars_per_pixel);
        colour_table.add(definition);
        picture.colours.push_back({std::string(definition.key), definition.colour});
    }
    colour_table.finish();

    picture.pixels.reserve(static_cast<std::size_t>(values.width) * static_cast<std::size_t>(values.height));
    for (int y = 0; y < values.height; ++y) {
        const std::string_view row = strings.next();
        if (row.size() != static_cast<std::size_t>(values.width) * cpp) {
            throw XpmError(XpmFault::WrongFormat,
                           "wrong xpm format: row " + std::to_string(y) + " is not " + std::to_string(values.width) +
                               " pixels wide",
                           y);
        }
        const std::size_t unknown = colour_table.find_row(row, picture.pixels);
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

XpmPicture read_xpm_picture(std::span<const std::uint8_t> file)
{
    ViewBuffer buffer(file);
    std::istream in(&buffer);
    return read_xpm_picture(in);
}

}  // namespace tess
