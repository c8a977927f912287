// The nearest palette entry under any metric.
#include "palette/metric.hpp"
#include "palette/oklab.hpp"

namespace tess {

// Apart from the RGB search, so that only who asks for OKLab links it.
std::uint8_t nearest_index(const Rgb& colour, Metric metric)
{
    return metric == Metric::OkLab ? nearest_palette_index_oklab(colour) : nearest_rgb_index(colour, metric);
}

}  // namespace tess
