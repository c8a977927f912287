#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "tile/error.hpp"

namespace tess {

// What kind of fault stopped pack/: the part of the user's input to look at.
enum class Fault {
    Manifest,  // the manifest's text, keys or values
    Atlas,     // an atlas's JSON
    Picture,   // a picture that cannot be read or decoded, or a pixel strict refuses
    Layout,    // pictures that do not give what the manifest cuts from them
    Limit,     // more than a limit allows: bytes, pixels, files, frames
    Tile,      // a tile file that is damaged, or changed while it was read
    File,      // a file or folder that cannot be read or written
};

// Where a fault lies: a place in a file a person wrote (a manifest or an
// atlas: line and column), an image of a tile file (scene, view, frame) and
// the picture it comes from, a pixel of that picture. Parts that do not
// apply keep their defaults.
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

// A failure of pack/: its kind, what happened, and where. Code that knows
// more of the place than the code that raised it raises the error again
// within its place; nothing is edited once raised. Several faults found at
// once (a manifest's) travel together, the first as the error itself.
class PackError : public std::runtime_error {
public:
    PackError(Fault kind, const std::string& what, PackLocation where = {})
        : std::runtime_error(what), kind_(kind), where_(std::move(where))
    {
    }

    Fault kind() const { return kind_; }
    const PackLocation& where() const { return where_; }
    // The faults found with this one, after it.
    const std::vector<PackError>& more() const { return more_; }

    // The same fault, and those found with it, with the parts of the place
    // they leave open taken from `outer`.
    PackError within(const PackLocation& outer) const;
    // The same fault with `more` found after it.
    PackError with_more(std::vector<PackError> more) const;
    // A fault of the tile format, at its scene, view and frame.
    static PackError from(const TileError& error, PackLocation where = {});

private:
    Fault kind_;
    PackLocation where_;
    std::vector<PackError> more_;
};

// The error as a person reads it, a line a fault: its place, then what
// happened: "m.toml:3:9: ...", "scene 0 "walk", view 1, frame 2 (walk.png):
// ...", or "FILE: ..." with `file` (what the command was reading) where the
// fault names no file.
std::vector<std::string> rendered(const PackError& error, std::string_view file);

}  // namespace tess
