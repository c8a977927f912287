// pack/'s errors: how one is placed within more of its place, and how it reads.
#include "pack/error.hpp"

namespace tess {

namespace {

void fill(PackLocation& where, const PackLocation& outer)
{
    if (where.file.empty()) {
        where.file = outer.file;
        if (where.line == 0) where.line = outer.line, where.column = outer.column;
    }
    if (where.scene < 0) where.scene = outer.scene, where.scene_name = outer.scene_name;
    if (where.view < 0) where.view = outer.view;
    if (where.frame < 0) where.frame = outer.frame;
    if (where.x < 0) where.x = outer.x, where.y = outer.y;
}

std::string line_of(const PackError& error, std::string_view file)
{
    const PackLocation& at = error.where();
    const std::string named = at.file.empty() ? std::string(file) : at.file;
    std::string where;
    if (error.kind() == Fault::Tile) {
        // A tile file's own place follows the words, as the format's reader says it.
        std::string text = error.what();
        if (at.scene >= 0) {
            text += " (scene " + std::to_string(at.scene);
            if (!at.scene_name.empty()) text += " \"" + at.scene_name + "\"";
            if (at.view >= 0) text += ", view " + std::to_string(at.view) + ", frame " + std::to_string(at.frame);
            text += ")";
        }
        return named.empty() ? text : named + ": " + text;
    }
    if (at.line == 0 && at.scene >= 0) {
        where = "scene " + std::to_string(at.scene) + " \"" + at.scene_name + "\"";
        if (at.view >= 0) where += ", view " + std::to_string(at.view);
        if (at.frame >= 0) where += ", frame " + std::to_string(at.frame);
        if (!at.file.empty()) where += " (" + at.file + ")";
    } else {
        where = named;
        if (at.line > 0) where += ":" + std::to_string(at.line) + ":" + std::to_string(at.column);
    }
    return where.empty() ? error.what() : where + ": " + error.what();
}

}  // namespace

PackError PackError::within(const PackLocation& outer) const
{
    PackError placed = *this;
    fill(placed.where_, outer);
    for (PackError& fault : placed.more_) fill(fault.where_, outer);
    return placed;
}

PackError PackError::with_more(std::vector<PackError> more) const
{
    PackError all = *this;
    all.more_ = std::move(more);
    return all;
}

PackError PackError::from(const TileError& error, PackLocation where)
{
    const TileLocation& at = error.location();
    if (where.scene < 0) {
        where.scene = at.scene;
        where.scene_name = at.scene_name;
    }
    if (where.view < 0) where.view = at.view, where.frame = at.frame;
    return PackError(Fault::Tile, error.description(), std::move(where));
}

std::vector<std::string> rendered(const PackError& error, std::string_view file)
{
    std::vector<std::string> lines{line_of(error, file)};
    for (const PackError& fault : error.more()) lines.push_back(line_of(fault, file));
    return lines;
}

}  // namespace tess
