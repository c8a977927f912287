// The manifest keys that say how colours become indices.
#include "colour_keys.hpp"

#include <cstdio>

#include "pack/text.hpp"

namespace tess {

namespace {

constexpr std::string_view AColour = "a colour \"#rrggbb\"";

std::string hex(const Rgb& colour)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", static_cast<unsigned>(colour.red), static_cast<unsigned>(colour.green),
                  static_cast<unsigned>(colour.blue));
    return text;
}

}  // namespace

void read_colour_keys(const KeyReader& keys, const toml::table& table, ColourOptions& options, Faults& faults)
{
    faults.check([&] {
        const toml::node* node = table.get("dither");
        if (!node) return;
        const auto dither = node->is_string() ? parse_dither(*node->value<std::string_view>()) : std::nullopt;
        if (!dither) keys.fail(node, "'dither' must be one of " + listed(dither_names()));
        options.dither = *dither;
    });
    faults.check([&] {
        const toml::node* node = table.get("alpha_threshold");
        if (!node) return;
        const toml::value<std::int64_t>* integer = node->as_integer();
        if (!integer || integer->get() < 0 || integer->get() > 255) {
            keys.fail(node, "'alpha_threshold' must be a whole number from 0 to 255");
        }
        options.alpha_threshold = static_cast<int>(integer->get());
        options.soft_edges = true;
    });
    faults.check([&] {
        const toml::node* node = table.get("matte");
        if (!node) return;
        options.matte = keys.colour(*node, "matte", AColour);
        options.soft_edges = true;
    });
    faults.check([&] {
        const toml::node* node = table.get("transparent");
        if (!node) return;
        // One colour, or a list of them.
        options.transparent.clear();
        if (!node->is_array()) {
            options.transparent.push_back(keys.colour(*node, "transparent", "a colour \"#rrggbb\" or a list of them"));
            return;
        }
        for (const toml::node& item : *node->as_array()) {
            options.transparent.push_back(keys.colour(item, "transparent", "a colour \"#rrggbb\" or a list of them"));
        }
    });
    faults.check([&] {
        const toml::node* node = table.get("transparent_index");
        if (!node) return;
        options.transparent_index = static_cast<std::uint8_t>(keys.whole(*node, "transparent_index", 0, 255));
    });
}

std::string colour_keys_text(const ColourOptions& options, const ColourOptions& base)
{
    std::string text;
    if (options.dither != base.dither) text += "dither = " + toml_string(dither_name(options.dither)) + "\n";
    if (options.soft_edges && (!base.soft_edges || options.alpha_threshold != base.alpha_threshold)) {
        text += "alpha_threshold = " + std::to_string(options.alpha_threshold) + "\n";
    }
    if (options.matte && options.matte != base.matte) text += "matte = \"" + hex(*options.matte) + "\"\n";
    if (options.transparent != base.transparent) {
        text += "transparent = [";
        for (std::size_t i = 0; i < options.transparent.size(); ++i) text += (i ? ", \"" : "\"") + hex(options.transparent[i]) + "\"";
        text += "]\n";
    }
    if (options.transparent_index != base.transparent_index && options.transparent_index) {
        text += "transparent_index = " + std::to_string(*options.transparent_index) + "\n";
    }
    return text;
}

}  // namespace tess
