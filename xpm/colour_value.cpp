// XPM colour values: #RGB forms, X11 names and None.
#include "xpm/colour_value.hpp"

#include <algorithm>
#include <cctype>
#include <string>

#include "x11_colour_names.hpp"
#include "xpm/error.hpp"

namespace tess {

namespace {

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// How names are stored: lower case, without blanks.
std::string folded_name(std::string_view text)
{
    std::string name;
    for (const char c : text) {
        if (c != ' ' && c != '\t') name.push_back(lower(c));
    }
    return name;
}

bool is_none(std::string_view text)
{
    constexpr std::string_view None = "none";
    return text.size() == None.size() && std::equal(text.begin(), text.end(), None.begin(),
                                                    [](char a, char b) { return lower(a) == b; });
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Each channel is kept to its two most significant digits; a single digit d
// stands for d * 17, so that #fff is white.
std::optional<Rgb> parse_hex(std::string_view digits)
{
    if (digits.size() % 3 != 0 || digits.empty() || digits.size() > 12) return std::nullopt;
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return hex_digit(c) >= 0; })) return std::nullopt;
    const std::size_t width = digits.size() / 3;
    const auto channel = [&](std::size_t n) {
        const std::string_view d = digits.substr(n * width, width);
        return width == 1 ? hex_digit(d[0]) * 17 : hex_digit(d[0]) * 16 + hex_digit(d[1]);
    };
    return Rgb{channel(0), channel(1), channel(2)};
}

}  // namespace

std::optional<Rgb> find_x11_colour(std::string_view name)
{
    const std::string key = folded_name(name);
    const auto found = std::lower_bound(X11Colours.begin(), X11Colours.end(), key,
                                        [](const X11Colour& colour, const std::string& k) { return colour.name < k; });
    if (found == X11Colours.end() || found->name != key) return std::nullopt;
    return found->rgb;
}

std::optional<Rgb> parse_colour(std::string_view text)
{
    if (is_none(text)) return std::nullopt;
    if (text.starts_with('#')) {
        if (const auto rgb = parse_hex(text.substr(1))) return rgb;
        throw XpmError(XpmFault::BadColourValue, "bad colour value " + std::string(text));
    }
    if (const auto rgb = find_x11_colour(text)) return rgb;
    throw XpmError(XpmFault::UnknownColourName, "unknown colour name " + std::string(text));
}

}  // namespace tess
