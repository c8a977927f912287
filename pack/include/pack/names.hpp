#pragma once

#include <set>
#include <string>
#include <string_view>

namespace tess {

// File names for scenes: letters, digits, '-' and '_' only, never empty,
// never hidden, and distinct from every name given before, whatever the
// letter case (some file systems ignore it). Two scenes of one name, or names
// that differ only in unsafe bytes, get "_2", "_3", ...
class SceneFileNames {
public:
    std::string next(std::string_view scene_name);

private:
    std::set<std::string> taken_;  // lower case
};

}  // namespace tess
