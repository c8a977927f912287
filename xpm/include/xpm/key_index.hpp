#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace tess {

// The colour keys of an XPM, each with a number. Keys are kept in a table
// sorted once all are added, so a lookup costs log n comparisons whatever the
// keys are, and memory grows with the number of keys only.
class KeyIndex {
public:
    explicit KeyIndex(int chars_per_pixel) : key_length_(static_cast<std::size_t>(chars_per_pixel)) {}

    // The first number given for a key wins.
    void add(std::string_view key, std::uint32_t number);
    // Called once every key is added, before any lookup.
    void finish();
    std::optional<std::uint32_t> find(std::string_view key) const;

private:
    // A key of up to 16 characters as two numbers, zero filled: any total
    // order serves a binary search, and numbers compare faster than text.
    using Key = std::array<std::uint64_t, 2>;
    struct Entry {
        Key key;
        std::uint32_t number;
    };

    Key key_of(std::string_view key) const;

    std::size_t key_length_;
    std::vector<Entry> entries_;
};

}  // namespace tess
