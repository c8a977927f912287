// How many frames a view a scene's list of pictures makes.
#include "pack/error.hpp"
#include "pack/manifest.hpp"
#include "pack/text.hpp"
#include "tile/format.hpp"

namespace tess {

std::string views_text(int views) { return counted(static_cast<std::uint64_t>(std::max(views, 0)), "view"); }

int frames_of(std::size_t count, int views, std::optional<int> stated, std::string_view what)
{
    const std::string items = std::to_string(count) + " " + std::string(what);
    if (stated) {
        const std::size_t wanted = static_cast<std::size_t>(std::max(views, 0)) * static_cast<std::size_t>(*stated);
        if (count != wanted) {
            throw PackError(Fault::Manifest, items + " given, views x frames is " + std::to_string(views) + " x " +
                                                 std::to_string(*stated) + " = " + std::to_string(wanted));
        }
        return *stated;
    }
    const auto per_view = static_cast<std::size_t>(std::max(views, 1));
    if (views <= 0 ? count != 0 : count % per_view != 0 || count / per_view > MaxCount) {
        throw PackError(Fault::Manifest, items + " do not make " + views_text(views) + " of at most " + std::to_string(MaxCount) +
                                             " frames; give 'frames'");
    }
    return views <= 0 ? 0 : static_cast<int>(count / per_view);
}

}  // namespace tess
