// How many frames a view a scene's list of pictures makes.
#include "pack/manifest.hpp"

namespace tess {

std::optional<int> frames_a_view(std::size_t count, int views)
{
    if (views <= 0) return count == 0 ? std::optional<int>(0) : std::nullopt;
    const auto per_view = static_cast<std::size_t>(views);
    if (count % per_view != 0 || count / per_view > 255) return std::nullopt;
    return static_cast<int>(count / per_view);
}

std::string no_frames_a_view(std::size_t count, const std::string& what, int views)
{
    return std::to_string(count) + " " + what + " do not make " + std::to_string(views) + (views == 1 ? " view" : " views") +
           " of at most 255 frames";
}

}  // namespace tess
