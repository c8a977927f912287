// The names of a scene's placement choices.
#include "pack/manifest.hpp"

namespace tess {

std::optional<Anchor> parse_anchor(std::string_view text)
{
    if (text == "left") return Anchor::Left;
    if (text == "center") return Anchor::Center;
    if (text == "right") return Anchor::Right;
    return std::nullopt;
}

const char* anchor_name(Anchor anchor)
{
    switch (anchor) {
    case Anchor::Center: return "center";
    case Anchor::Right: return "right";
    case Anchor::Left: break;
    }
    return "left";
}

std::optional<ScaleFilter> parse_scale_filter(std::string_view text)
{
    if (text == "area") return ScaleFilter::Area;
    if (text == "nearest") return ScaleFilter::Nearest;
    return std::nullopt;
}

const char* scale_filter_name(ScaleFilter filter) { return filter == ScaleFilter::Nearest ? "nearest" : "area"; }

}  // namespace tess
