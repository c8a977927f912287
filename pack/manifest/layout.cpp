// The names of a scene's placement choices.
#include "pack/manifest.hpp"

namespace tess {

std::optional<Anchor> parse_anchor(const std::string& text)
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

}  // namespace tess
