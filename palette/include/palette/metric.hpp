#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "palette/palette.hpp"

namespace tess {

// How a colour that is not in the palette finds its entry: the sum over the
// three channels of |difference| to the power 1, 2, 3 or 4 (L1 to L4), or
// straight-line distance in OKLab.
enum class Metric { L1, L2, L3, L4, OkLab };

// Every name parse_metric accepts, in the order of Metric's values: the one
// list that messages, the command line and its completion offer.
std::span<const std::string_view> metric_names();

// Exact and case-sensitive: "L1" to "L4" or "oklab".
std::optional<Metric> parse_metric(std::string_view text);
std::string_view metric_name(Metric metric);

// The nearest palette index under `metric`; the lowest index wins a tie.
std::uint8_t nearest_index(const Rgb& colour, Metric metric);

// The same for L1 to L4 only (OkLab raises std::invalid_argument), so that a
// program offering no more links none of OKLab's code: the floating-point
// library it pulls in costs a static program page faults at every start.
std::uint8_t nearest_rgb_index(const Rgb& colour, Metric metric);

}  // namespace tess
