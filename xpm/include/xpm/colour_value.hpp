#pragma once

#include <optional>
#include <string_view>

#include "palette/palette.hpp"

namespace tess {

// An XPM colour: #RGB, #RRGGBB, #RRRGGGBBB or #RRRRGGGGBBBB in either letter
// case, or an X11 colour name matched ignoring case and spaces. None, in any
// letter case, is transparent and gives no colour. Anything else fails.
std::optional<Rgb> parse_colour(std::string_view text);

// The X11 colour database entry for a name, ignoring case and spaces.
std::optional<Rgb> find_x11_colour(std::string_view name);

}  // namespace tess
