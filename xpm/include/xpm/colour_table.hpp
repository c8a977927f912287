#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "xpm/header.hpp"
#include "xpm/key_index.hpp"

namespace tess {

// Which colour line of an XPM gives the pixels of each key; every reader of
// XPMs goes by it, so a picture reads the same in every program. The rule:
// the key of the last None line (a line that gives no colour) is transparent,
// whatever other lines give it; any other key takes the colour of its first
// line that gives one, and a key with no such line (one whose only lines are
// an earlier None) has no colour.
class XpmColourTable {
public:
    // `lines`, when known, sets memory aside for that many colour lines at once.
    explicit XpmColourTable(int chars_per_pixel, std::size_t lines = 0) : keys_(chars_per_pixel) { keys_.reserve(lines); }

    // The colour lines in XPM order, numbered from 0.
    void add(const ColourDefinition& definition);
    // Called once every colour line is added, before any lookup.
    void finish();

    // The number of the line that gives a key's pixels.
    std::optional<std::uint32_t> find(std::string_view key) const;
    // The line numbers of a row of keys, written to `lines`, which has room
    // for one a key: the row's length when every key has a line, else where
    // the first key without one starts.
    std::size_t find_row(std::string_view row, std::uint32_t* lines) const
    {
        return keys_.find_row(row, lines);
    }

private:
    struct TransparentLine {
        std::string key;
        std::uint32_t line;
    };

    KeyIndex keys_;
    std::uint32_t lines_ = 0;
    std::optional<TransparentLine> transparent_;
};

}  // namespace tess
