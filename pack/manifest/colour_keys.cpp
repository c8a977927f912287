// The manifest keys that say how colours become indices.
#include "colour_keys.hpp"

#include <algorithm>
#include <array>
#include <cstdio>

#include "pack/error.hpp"
#include "pack/text.hpp"

namespace tess {

namespace {

[[noreturn]] void fail(const toml::node& node, const std::string& file, const std::string& what)
{
    PackLocation where = in_file(file);
    if (node.source().begin) {
        where.line = static_cast<int>(node.source().begin.line);
        where.column = static_cast<int>(node.source().begin.column);
    }
    throw PackError(Fault::Manifest, what, where);
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "#rrggbb" in either case.
std::optional<Rgb> parse_colour(std::string_view text)
{
    if (text.size() != 7 || text[0] != '#') return std::nullopt;
    int channels[3];
    for (int c = 0; c < 3; ++c) {
        const int high = hex_digit(text[1 + 2 * c]), low = hex_digit(text[2 + 2 * c]);
        if (high < 0 || low < 0) return std::nullopt;
        channels[c] = high * 16 + low;
    }
    return Rgb{channels[0], channels[1], channels[2]};
}

}  // namespace

void read_colour_keys(const toml::table& table, ColourOptions& options, const std::string& file, const std::string& in)
{
    if (const toml::node* node = table.get("dither")) {
        const auto text = node->value<std::string_view>();
        const auto dither = node->is_string() ? parse_dither(*text) : std::nullopt;
        if (!dither) fail(*node, file, "'dither' must be one of " + listed(dither_names()) + in);
        options.dither = *dither;
    }
    if (const toml::node* node = table.get("alpha_threshold")) {
        const toml::value<std::int64_t>* integer = node->as_integer();
        if (!integer || integer->get() < 0 || integer->get() > 255) {
            fail(*node, file, "'alpha_threshold' must be a whole number from 0 to 255" + in);
        }
        options.alpha_threshold = static_cast<int>(integer->get());
        options.soft_edges = true;
    }
    if (const toml::node* node = table.get("matte")) {
        const auto colour = node->is_string() ? parse_colour(*node->value<std::string_view>()) : std::nullopt;
        if (!colour) fail(*node, file, "'matte' must be a colour \"#rrggbb\"" + in);
        options.matte = colour;
        options.soft_edges = true;
    }
}

std::string colour_keys_text(const ColourOptions& options, const ColourOptions& base)
{
    std::string text;
    if (options.dither != base.dither) text += "dither = " + toml_string(dither_name(options.dither)) + "\n";
    if (options.soft_edges && (!base.soft_edges || options.alpha_threshold != base.alpha_threshold)) {
        text += "alpha_threshold = " + std::to_string(options.alpha_threshold) + "\n";
    }
    if (options.matte && options.matte != base.matte) {
        char colour[8];
        std::snprintf(colour, sizeof colour, "#%02x%02x%02x", static_cast<unsigned>(options.matte->red),
                      static_cast<unsigned>(options.matte->green), static_cast<unsigned>(options.matte->blue));
        text += "matte = \"" + std::string(colour) + "\"\n";
    }
    return text;
}

}  // namespace tess
