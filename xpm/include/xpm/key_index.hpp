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

    // Room for this many keys, so that adding them sets memory aside once.
    void reserve(std::size_t keys);
    // The first number given for a key wins.
    void add(std::string_view key, std::uint32_t number);
    // A number that wins over every one add gives the key.
    void add_first(std::string_view key, std::uint32_t number);
    // Called once every key is added, before any lookup.
    void finish();
    std::optional<std::uint32_t> find(std::string_view key) const;
    // The numbers of a row of keys, written to `numbers`, which has room for
    // one a key: the row's length when every key has one, else where the
    // first key without one starts.
    std::size_t find_row(std::string_view row, std::uint32_t* numbers) const;

private:
    // A key of up to 16 characters as two numbers, zero filled: any total
    // order serves a binary search, and numbers compare faster than text.
    using Key = std::array<std::uint64_t, 2>;
    struct Entry {
        Key key;
        std::uint32_t number;
    };

    Key key_of(std::string_view key) const;
    static bool less(const Key& a, const Key& b) { return a[0] < b[0] || (a[0] == b[0] && a[1] < b[1]); }
    // Word by word: std::array's == calls memcmp, a call a lookup.
    static bool same(const Key& a, const Key& b) { return a[0] == b[0] && a[1] == b[1]; }

    std::size_t key_length_;
    std::vector<Entry> entries_;
    // Once finished, the keys alone, so that a search runs over less memory.
    std::vector<Key> keys_;
    // Keys of one or two characters, as nearly every XPM has, straight by
    // their bytes: a block of 256 numbers for each first character in use,
    // so memory still grows with the keys only.
    std::vector<std::uint16_t> block_of_first_;  // 0: no key starts so
    std::vector<std::uint32_t> blocks_;
    std::optional<std::uint32_t> find_direct(std::string_view key) const;
    std::optional<std::uint32_t> find_sorted(const Key& key) const;
};

}  // namespace tess
