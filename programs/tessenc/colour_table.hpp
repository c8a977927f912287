#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "palette/metric.hpp"
#include "tile/runs.hpp"
#include "xpm/colour_table.hpp"
#include "xpm/header.hpp"

namespace tess {

// The XPM's colours by key, each reduced to its nearest palette index under
// one of the RGB metrics, L1 to L4. Which line gives a key's pixels is
// XpmColourTable's rule, the same as every XPM reader's.
class ColourTable {
public:
    ColourTable(Metric metric, int chars_per_pixel);

    void add(const ColourDefinition& definition);
    // Called once every colour line is added, before any lookup.
    void finish();

    int chars_per_pixel() const { return chars_per_pixel_; }
    // A key's pixel: transparent or a palette index; none for a key without a colour.
    std::optional<Pixel> pixel_of(std::string_view key) const;

private:
    Metric metric_;
    int chars_per_pixel_;
    XpmColourTable lines_;
    std::vector<Pixel> line_pixels_;  // by colour line
};

// The pixels of row `y` of an XPM into `pixels`: transparent or a palette
// index. A pixel whose key has no colour fails, naming it.
void row_pixels(std::string_view row, int y, const ColourTable& colours, std::vector<Pixel>& pixels);

}  // namespace tess
