// The colour metrics' names, one table for parsing and for messages.
#include "palette/metric.hpp"

#include <algorithm>
#include <array>

namespace tess {

namespace {

// In the order of Metric's values.
constexpr std::array<std::string_view, 5> MetricNames{"L1", "L2", "L3", "L4", "oklab"};
static_assert(static_cast<std::size_t>(Metric::OkLab) + 1 == MetricNames.size());

}  // namespace

std::span<const std::string_view> metric_names()
{
    return MetricNames;
}

std::optional<Metric> parse_metric(std::string_view text)
{
    const auto found = std::find(MetricNames.begin(), MetricNames.end(), text);
    if (found == MetricNames.end()) return std::nullopt;
    return static_cast<Metric>(found - MetricNames.begin());
}

std::string_view metric_name(Metric metric)
{
    const auto index = static_cast<std::size_t>(metric);
    return index < MetricNames.size() ? MetricNames[index] : "";
}

}  // namespace tess
