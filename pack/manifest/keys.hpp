#pragma once

#include <toml++/toml.h>

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pack/error.hpp"
#include "palette/palette.hpp"

namespace tess {

// Reads a manifest's values, each checked for type and range. A fault names
// the key, is raised at its value's line and column (or its table's), and
// ends with where in the manifest it is (" in scene 2").
class KeyReader {
public:
    explicit KeyReader(std::string file, std::string in = "") : file_(std::move(file)), in_(std::move(in)) {}

    // The same manifest, within scene `number`.
    KeyReader in_scene(int number) const { return KeyReader(file_, " in scene " + std::to_string(number)); }

    [[noreturn]] void fail(const toml::node* node, const std::string& what) const;
    [[noreturn]] void fail(const toml::source_region& region, const std::string& what) const;

    // A count of the format, 0 to 255: `fallback` where the key is absent,
    // a fault where there is none.
    int count(const toml::table& table, std::string_view key, std::optional<int> fallback) const;
    // A whole number from `low` to `high`; "holds" where it is one of a list.
    std::int64_t whole(const toml::node& node, std::string_view key, std::int64_t low, std::int64_t high,
                       bool in_list = false) const;
    bool boolean(const toml::node& node, std::string_view key) const;
    std::string text(const toml::node& node, std::string_view key) const;
    // A file to read: relative to the manifest's folder, or absolute.
    std::string path(const toml::node& node, std::string_view key) const;
    // "#rrggbb" in either case.
    Rgb colour(const toml::node& node, std::string_view key, std::string_view what) const;

    const toml::array& array(const toml::node& node, std::string_view key, std::string_view of) const;
    std::vector<int> numbers(const toml::node& node, std::string_view key, std::int64_t low, std::int64_t high) const;
    std::pair<int, int> pair(const toml::node& node, std::string_view key, std::int64_t low, std::int64_t high) const;
    std::vector<std::string> strings(const toml::node& node, std::string_view key) const;

    // `key` as a string, or `key_bytes` as an array of the bytes 1 to 255 for
    // text that is not UTF-8; exactly one of the two, where `required`.
    std::optional<std::string> text_or_bytes(const toml::table& table, std::string_view key, bool required) const;

private:
    std::string file_;
    std::string in_;
};

// The faults of a manifest, gathered so that they are said at once, as a
// compiler does, up to a bound.
class Faults {
public:
    // Runs `read`; a fault it raises is kept. False where it raised one.
    template <typename Read>
    bool check(Read read)
    {
        try {
            read();
            return true;
        } catch (const PackError& fault) {
            add(fault);
            return false;
        }
    }
    void add(const PackError& fault);
    std::size_t size() const { return faults_.size(); }
    // Raises what was kept, the first fault with the others after it.
    void raise() const;

private:
    std::vector<PackError> faults_;
};

// Each key of `table` that is not in `known`, as a fault.
void check_known_keys(const KeyReader& keys, const toml::table& table, const std::set<std::string_view>& known,
                      Faults& faults, std::string_view where = "");

}  // namespace tess
