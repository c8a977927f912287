#include "palette/metric.hpp"

namespace tess {

std::optional<Metric> parse_metric(std::string_view text)
{
    for (const Metric metric : {Metric::L1, Metric::L2, Metric::L3, Metric::L4, Metric::OkLab}) {
        if (text == metric_name(metric)) return metric;
    }
    return std::nullopt;
}

std::string_view metric_name(Metric metric)
{
    switch (metric) {
    case Metric::L1: return "L1";
    case Metric::L2: return "L2";
    case Metric::L3: return "L3";
    case Metric::L4: return "L4";
    case Metric::OkLab: return "oklab";
    }
    return "";
}

}  // namespace tess
