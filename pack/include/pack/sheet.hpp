#pragma once

#include <algorithm>
#include <cstddef>
#include <span>

#include "tile/format.hpp"
#include "tile/image.hpp"

namespace tess {

// Where an image goes in a picture: its top left corner, in unscaled pixels,
// and how many of its rows the cell holds (the rest of a taller image is cut).
struct Cell {
    std::size_t left = 0;
    std::size_t top = 0;
    int rows = 0;
};

// A scene as one picture: a row of cells a view, a column a frame, each cell
// TileWidth wide and `cell_height` high. Unpack writes sheets so and the
// preview draws them so.
struct SceneSheet {
    int views = 0;
    int frames = 0;
    int cell_height = 0;

    std::size_t width() const { return static_cast<std::size_t>(frames) * TileWidth; }
    std::size_t height() const { return static_cast<std::size_t>(views) * static_cast<std::size_t>(cell_height); }
    std::size_t pixels() const { return width() * height(); }
    Cell cell(int view, int frame) const
    {
        return {static_cast<std::size_t>(frame) * TileWidth,
                static_cast<std::size_t>(view) * static_cast<std::size_t>(cell_height), cell_height};
    }
};

// Paints the opaque pixels of `image` into `picture` (row by row, `width`
// values a row) at `cell`, each as `scale` x `scale` values `value_of(pixel)`;
// transparent pixels leave the picture as it is. The picture must hold the
// cell.
template <typename Value, typename ValueOf>
void paint_cell(std::span<Value> picture, std::size_t width, const Image& image, const Cell& cell, int scale,
                ValueOf value_of)
{
    const auto s = static_cast<std::size_t>(scale);
    const int rows = std::min(image.height, cell.rows);
    for (int y = 0; y < rows; ++y) {
        const std::span<const Pixel> row = image.row(y);
        for (std::size_t x = 0; x < row.size(); ++x) {
            if (row[x] == TransparentPixel) continue;
            const Value value = value_of(row[x]);
            for (std::size_t dy = 0; dy < s; ++dy) {
                const std::size_t at = ((cell.top + static_cast<std::size_t>(y)) * s + dy) * width + (cell.left + x) * s;
                std::fill_n(picture.begin() + static_cast<std::ptrdiff_t>(at), s, value);
            }
        }
    }
}

}  // namespace tess
