// An XPM's values line and colour lines.
#include "xpm/header.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>

#include "xpm/colour_value.hpp"
#include "xpm/error.hpp"

namespace tess {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// The blank-separated words of a text, one at a time, without copying.
class Words {
public:
    explicit Words(std::string_view text) : rest_(text) {}

    std::optional<std::string_view> next()
    {
        std::size_t start = 0;
        while (start < rest_.size() && is_blank(rest_[start])) ++start;
        if (start == rest_.size()) return std::nullopt;
        std::size_t end = start;
        while (end < rest_.size() && !is_blank(rest_[end])) ++end;
        const std::string_view word = rest_.substr(start, end - start);
        rest_.remove_prefix(end);
        return word;
    }

private:
    std::string_view rest_;
};

std::optional<long long> number_of(std::string_view word)
{
    long long value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc{} || end != word.data() + word.size()) return std::nullopt;
    return value;
}

int checked(long long value, long long low, long long high, const char* what)
{
    if (value < low || value > high) {
        throw XpmError(XpmFault::OutOfRange, std::string(what) + " " + std::to_string(value) + " is outside " +
                                                 std::to_string(low) + " to " + std::to_string(high));
    }
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
    throw XpmError(XpmFault::NoColour, "colour line \"" + std::string(line) + "\" gives no colour");
}

}  // namespace

XpmValues parse_values_line(std::string_view line, const XpmLimits& limits)
{
    Words words(line);
    std::array<long long, 4> numbers{};
    for (long long& value : numbers) {
        const auto word = words.next();
        const auto number = word ? number_of(*word) : std::nullopt;
        if (!number) {
            throw XpmError(XpmFault::ValuesLine,
                           "the values line must give width, height, colours and characters per pixel");
        }
        value = *number;
    }
    const XpmValues values{checked(numbers[0], 0, limits.max_width, "width"),
                           checked(numbers[1], 0, limits.max_height, "height"),
                           checked(numbers[2], 1, std::numeric_limits<int>::max(), "number of colours"),
                           checked(numbers[3], 1, MaxCharsPerPixel, "characters per pixel")};
    if (static_cast<long long>(values.width) * values.height > MaxXpmPixels) {
        throw XpmError(XpmFault::OutOfRange, "width " + std::to_string(values.width) + " x height " +
                                                 std::to_string(values.height) + " is more than " +
                                                 std::to_string(MaxXpmPixels) + " pixels");
    }
    return values;
}

ColourDefinition parse_colour_line(std::string_view line, int chars_per_pixel)
{
    const auto key_length = static_cast<std::size_t>(chars_per_pixel);
    if (line.size() < key_length) fail_wrong_xpm_format();
    ColourDefinition definition{line.substr(0, key_length), std::nullopt};
    if (line.find("None") != std::string_view::npos) return definition;

    // Each context's colour: its words up to the next context key, which may
    // be several ("light goldenrod yellow"); kept as the stretch of the line
    // from the first word to the last.
    std::array<std::string_view, ColourContexts.size()> colours{};
    Words words(line.substr(key_length));
    for (auto word = words.next(); word;) {
        if (!is_context_key(*word)) fail_colour_line(line);
        const auto context = std::find(ColourContexts.begin(), ColourContexts.end(), *word);
        std::string_view colour;
        while ((word = words.next()) && !is_context_key(*word)) {
            colour = colour.empty() ? *word
                                    : std::string_view(colour.data(), static_cast<std::size_t>(
                                                                          word->data() + word->size() - colour.data()));
        }
        if (colour.empty()) fail_colour_line(line);
        if (context != ColourContexts.end()) {
            std::string_view& slot = colours[static_cast<std::size_t>(context - ColourContexts.begin())];
            if (slot.empty()) slot = colour;
        }
    }

    for (const std::string_view colour : colours) {
        if (!colour.empty()) {
            definition.colour = parse_colour(colour);
            return definition;
        }
    }
    fail_colour_line(line);
}

}  // namespace tess
