#include "xpm_header.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <string>
#include <vector>

#include "colour_value.hpp"
#include "failure.hpp"
#include "tile_format.hpp"
#include "xpm_strings.hpp"

namespace tess {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::vector<std::string_view> words_of(std::string_view text)
{
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && is_blank(text[i])) ++i;
        const std::size_t start = i;
        while (i < text.size() && !is_blank(text[i])) ++i;
        if (i > start) words.push_back(text.substr(start, i - start));
    }
    return words;
}

std::optional<long long> number_of(std::string_view word)
{
    long long value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc{} || end != word.data() + word.size()) return std::nullopt;
    return value;
}

int checked(long long value, long long low, long long high, const char* what)
{
    if (value < low || value > high) fail("error: %s %lld is outside %lld to %lld\n", what, value, low, high);
    return static_cast<int>(value);
}

// In order of preference; s (a symbolic name) is read but never used.
constexpr std::array<std::string_view, 4> ColourContexts = {"c", "g", "g4", "m"};

bool is_context_key(std::string_view word)
{
    return word == "s" || std::find(ColourContexts.begin(), ColourContexts.end(), word) != ColourContexts.end();
}

[[noreturn]] void fail_colour_line(std::string_view line)
{
    fail("error: colour line \"%.*s\" gives no colour\n", static_cast<int>(line.size()), line.data());
}

}  // namespace

XpmValues parse_values_line(std::string_view line)
{
    const auto words = words_of(line);
    std::array<long long, 4> numbers{};
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const auto number = i < words.size() ? number_of(words[i]) : std::nullopt;
        if (!number) fail("error: the values line must give width, height, colours and characters per pixel\n");
        numbers[i] = *number;
    }
    return {checked(numbers[0], 0, TileWidth, "width"), checked(numbers[1], 0, MaxCount, "height"),
            checked(numbers[2], 1, std::numeric_limits<int>::max(), "number of colours"),
            checked(numbers[3], 1, MaxCharsPerPixel, "characters per pixel")};
}

ColourDefinition parse_colour_line(std::string_view line, int chars_per_pixel)
{
    const auto key_length = static_cast<std::size_t>(chars_per_pixel);
    if (line.size() < key_length) fail_wrong_xpm_format();
    ColourDefinition definition{line.substr(0, key_length), std::nullopt};
    if (line.find("None") != std::string_view::npos) return definition;

    // Each context's colour: its words up to the next context key ("light goldenrod yellow").
    std::array<std::string, ColourContexts.size()> colours;
    const auto words = words_of(line.substr(key_length));
    for (std::size_t i = 0; i < words.size();) {
        if (!is_context_key(words[i])) fail_colour_line(line);
        const auto context = std::find(ColourContexts.begin(), ColourContexts.end(), words[i++]);
        std::string colour;
        for (; i < words.size() && !is_context_key(words[i]); ++i) {
            if (!colour.empty()) colour.push_back(' ');
            colour.append(words[i]);
        }
        if (colour.empty()) fail_colour_line(line);
        if (context != ColourContexts.end()) {
            std::string& slot = colours[static_cast<std::size_t>(context - ColourContexts.begin())];
            if (slot.empty()) slot = colour;
        }
    }

    for (const std::string& colour : colours) {
        if (!colour.empty()) {
            definition.colour = parse_colour(colour);
            return definition;
        }
    }
    fail_colour_line(line);
}

}  // namespace tess
