#pragma once

#include <stdexcept>
#include <string>

namespace tess {

// Where a fault lies: a place in a file a person wrote (a manifest or an
// atlas: line and column), an image of a tile file (scene, view, frame) and
// the picture it comes from, a pixel of that picture. Parts that do not apply
// keep their defaults.
struct PackLocation {
    std::string file;
    int line = 0;
    int column = 0;
    int scene = -1;
    std::string scene_name;
    int view = -1;
    int frame = -1;
    int x = -1;
    int y = -1;
};

// A place in a file.
inline PackLocation in_file(std::string file, int line = 0, int column = 0)
{
    PackLocation where;
    where.file = std::move(file);
    where.line = line;
    where.column = column;
    return where;
}

// A failure of pack/: what happened, and where. The program renders both.
class PackError : public std::runtime_error {
public:
    explicit PackError(const std::string& what, PackLocation where = {})
        : std::runtime_error(what), where_(std::move(where))
    {
    }

    const PackLocation& where() const { return where_; }
    PackLocation& where() { return where_; }

private:
    PackLocation where_;
};

}  // namespace tess
