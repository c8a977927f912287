#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <span>
#include <string_view>

#include "tile/error.hpp"

namespace tess {

// Every distinct byte value of an image's data, in order of first occurrence.
// Code bytes and run counts count too, so the XPM colour table may list
// values no pixel uses.
struct UsedValues {
    std::array<std::uint8_t, 256> values{};
    std::size_t count = 0;
};

// Collects the used values and checks that every run lies inside the data
// (a TileError at `where` if not), so that the writer never reads past it.
UsedValues check_image_data(std::span<const std::uint8_t> data, const TileLocation& where = {});

// Writes one image as an XPM, TileWidth pixels wide, three characters a
// pixel, straight through (no seeking). `data` must have passed
// check_image_data. A row wider than TileWidth raises RowTooWide once the
// next code is due, after everything decoded so far has reached `out`.
void write_xpm(std::ostream& out, std::string_view array_name, int height, std::span<const std::uint8_t> data,
               const UsedValues& used, const TileLocation& where = {});

}  // namespace tess
