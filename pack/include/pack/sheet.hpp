#pragma once

#include <cstddef>

#include "tile/format.hpp"

namespace tess {

// A scene as one picture: a row of cells a view, a column a frame, each cell
// TileWidth wide and `cell_height` high. Sheets are built from, unpacked
// into and previewed in this layout.
struct SheetLayout {
    int views = 0;
    int frames = 0;
    int cell_height = 0;

    std::size_t width() const { return static_cast<std::size_t>(frames) * TileWidth; }
    std::size_t height() const { return static_cast<std::size_t>(views) * static_cast<std::size_t>(cell_height); }
    std::size_t pixels() const { return width() * height(); }
    std::size_t left(int frame) const { return static_cast<std::size_t>(frame) * TileWidth; }
    std::size_t top(int view) const { return static_cast<std::size_t>(view) * static_cast<std::size_t>(cell_height); }
};

}  // namespace tess
