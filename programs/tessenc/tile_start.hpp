#pragma once

#include <string>
#include <string_view>

namespace tess {

// The longest scene name tessenc writes.
inline constexpr std::size_t MaxTypedSceneNameLength = 30;

// The tile file beside an XPM: its path with the last three characters
// replaced by "til" (hero.xpm gives hero.til). A path that would name the
// input itself, or that is too short, fails.
std::string tile_path_for(std::string_view xpm_path);

// One line read from descriptor `fd` as a scene name: a trailing newline is
// dropped, a longer answer is cut to MaxTypedSceneNameLength characters, and
// a zero byte ends it. Reads a byte at a time and no further than the name's
// line needs, so the next program reading the same pipe gets the next line.
std::string read_scene_name(int fd);

}  // namespace tess
