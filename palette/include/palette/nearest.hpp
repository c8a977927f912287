#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "palette/palette.hpp"

namespace tess {

// The colour distance the user chooses: the sum over the three channels of
// |difference| to the power 1, 2, 3 or 4.
enum class ConversionType { L1, L2, L3, L4 };

// Exact and case-sensitive: "L1" to "L4".
std::optional<ConversionType> parse_conversion_type(std::string_view text);

std::uint64_t distance(const Rgb& colour, const PaletteEntry& entry, ConversionType type);

// The palette index nearest to `colour`; the lowest index wins a tie.
std::uint8_t nearest_palette_index(const Rgb& colour, ConversionType type);

}  // namespace tess
