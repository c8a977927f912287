#include "metric.hpp"

#include "palette/nearest.hpp"
#include "palette/oklab.hpp"

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

std::uint8_t nearest_index(const Rgb& colour, Metric metric)
{
    switch (metric) {
    case Metric::L1: return nearest_palette_index(colour, ConversionType::L1);
    case Metric::L2: return nearest_palette_index(colour, ConversionType::L2);
    case Metric::L3: return nearest_palette_index(colour, ConversionType::L3);
    case Metric::L4: return nearest_palette_index(colour, ConversionType::L4);
    case Metric::OkLab: return nearest_palette_index_oklab(colour);
    }
    return 0;
}

}  // namespace tess
