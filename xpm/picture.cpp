#include "xpm/picture.hpp"

#include "xpm/error.hpp"
#include "xpm/header.hpp"
#include "xpm/key_index.hpp"
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
    XpmStrings strings(in);
    const XpmValues values = parse_values_line(strings.next());
    XpmPicture picture{values.width, values.height, {}, {}};
    const auto cpp = static_cast<std::size_t>(values.chars_per_pixel);

    KeyIndex keys(values.chars_per_pixel);
    for (int i = 0; i < values.colours; ++i) {
        const ColourDefinition definition = parse_colour_line(strings.next(), values.chars_per_pixel);
        keys.add(definition.key, static_cast<std::uint32_t>(picture.colours.size()));
        picture.colours.push_back({std::string(definition.key), definition.colour});
    }
    keys.finish();

    picture.pixels.reserve(static_cast<std::size_t>(values.width) * static_cast<std::size_t>(values.height));
    // Neighbours mostly share a colour, so the last key found is tried first.
    std::string last_key;
    std::uint32_t last_colour = 0;
    for (int y = 0; y < values.height; ++y) {
        const std::string_view row = strings.next();
        if (row.size() != static_cast<std::size_t>(values.width) * cpp) {
            throw XpmError(XpmFault::WrongFormat, "wrong xpm format: row " + std::to_string(y) + " is not " +
                                                      std::to_string(values.width) + " pixels wide");
        }
        for (int x = 0; x < values.width; ++x) {
            const std::string_view key = row.substr(static_cast<std::size_t>(x) * cpp, cpp);
            if (key == last_key) {
                picture.pixels.push_back(last_colour);
                continue;
            }
            const auto colour = keys.find(key);
            if (!colour) {
                throw XpmError(XpmFault::PixelWithoutColour, "pixel \"" + std::string(key) + "\" at x " +
                                                                 std::to_string(x) + ", y " + std::to_string(y) +
                                                                 " has no colour");
            }
            picture.pixels.push_back(*colour);
            last_key = key;
            last_colour = *colour;
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
