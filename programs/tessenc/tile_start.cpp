// Where tessenc writes its tile file, and the scene name it reads.
#include "tile_start.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "programs/failure.hpp"

namespace tess {

namespace {

constexpr std::string_view TileSuffix = "til";

}  // namespace

std::string tile_path_for(std::string_view xpm_path)
{
    const std::string path(xpm_path);
    if (xpm_path.size() < TileSuffix.size()) fail("error: input path %s is too short to name a tile file\n", path.c_str());
    if (xpm_path.ends_with(TileSuffix)) fail("error: the tile file would replace the input %s\n", path.c_str());
    return std::string(xpm_path.substr(0, xpm_path.size() - TileSuffix.size())) + std::string(TileSuffix);
}

std::string read_scene_name(int fd)
{
    std::string name;
    // One more character than a name may hold, so that a longer answer shows.
    while (name.size() <= MaxTypedSceneNameLength) {
        char c = 0;
        const ssize_t got = ::read(fd, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        if (c == '\n') return name.substr(0, name.find('\0'));
        name.push_back(c);
    }
    name.resize(std::min(name.size(), MaxTypedSceneNameLength));
    return name.substr(0, name.find('\0'));
}

}  // namespace tess
