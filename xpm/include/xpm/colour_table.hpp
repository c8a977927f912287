#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "palette/nearest.hpp"
#include "tile/runs.hpp"
#include "xpm/header.hpp"

namespace tess {

// The XPM's colours by key, each reduced to its nearest palette index. Keys
// are kept in a table sorted once all are added, so a lookup costs log n
// comparisons whatever the keys are, and memory grows with the colours only.
class ColourTable {
public:
    ColourTable(ConversionType type, int chars_per_pixel);

    // The first definition of a key wins; the last transparent one gives the
    // transparent key.
    void add(const ColourDefinition& definition);
    // Called once every colour line is added, before any lookup.
    void finish();

    std::optional<std::uint8_t> index_of(std::string_view key) const;
    bool is_transparent(std::string_view key) const { return transparent_key_ && key == *transparent_key_; }

private:
    // A key of up to MaxCharsPerPixel characters as two numbers, zero
    // filled: any total order serves a binary search, and numbers compare
    // faster than text.
    using Key = std::array<std::uint64_t, 2>;
    struct Entry {
        Key key;
        std::uint8_t index;
    };

    Key key_of(std::string_view key) const;

    ConversionType type_;
    std::size_t key_length_;
    std::vector<Entry> entries_;
    std::optional<std::string> transparent_key_;
};

// The pixels of one XPM row (chars_per_pixel characters each) into `pixels`:
// transparent or a palette index. A pixel whose key has no colour fails.
void row_pixels(std::string_view row, int chars_per_pixel, const ColourTable& colours, std::vector<Pixel>& pixels);

}  // namespace tess
