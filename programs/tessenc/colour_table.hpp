#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "palette/metric.hpp"
#include "tile/runs.hpp"
#include "xpm/key_index.hpp"
#include "xpm/header.hpp"

namespace tess {

// The XPM's colours by key, each reduced to its nearest palette index under
// one of the RGB metrics, L1 to L4.
class ColourTable {
public:
    ColourTable(Metric metric, int chars_per_pixel);

    // The first definition of a key wins; the last transparent one gives the
    // transparent key.
    void add(const ColourDefinition& definition);
    // Called once every colour line is added, before any lookup.
    void finish();

    std::optional<std::uint8_t> index_of(std::string_view key) const;
    bool is_transparent(std::string_view key) const { return transparent_key_ && key == *transparent_key_; }

private:
    Metric metric_;
    KeyIndex indices_;
    std::optional<std::string> transparent_key_;
};

// The pixels of one XPM row (chars_per_pixel characters each) into `pixels`:
// transparent or a palette index. A pixel whose key has no colour fails.
void row_pixels(std::string_view row, int chars_per_pixel, const ColourTable& colours, std::vector<Pixel>& pixels);

}  // namespace tess
