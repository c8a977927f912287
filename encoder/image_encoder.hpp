#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <string_view>
#include <vector>

#include "colour_table.hpp"
#include "palette_match.hpp"

namespace tess {

// Appends one row of pixels (chars_per_pixel characters each) as maximal
// alternating transparent and literal runs and EndOfRow. An empty row adds
// nothing at all. A pixel with no colour fails, adding nothing.
void encode_row(std::string_view row, int chars_per_pixel, const ColourTable& colours,
                std::vector<std::uint8_t>& out);

// Reads an XPM and writes its ImageRecord to `tile`, printing the dimensions
// line and the data length on `report`. Rows reach `tile` as they are encoded,
// so a failure leaves the earlier ones in place.
void encode_image(std::istream& xpm, std::ostream& tile, ConversionType type, std::ostream& report);

}  // namespace tess
