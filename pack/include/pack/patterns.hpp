#pragma once

#include <bitset>
#include <string>
#include <string_view>
#include <vector>

namespace tess {

// Whether an `images` entry is a pattern (`*`, `?`, `[...]`) to expand.
bool is_pattern(const std::string& path);

// A pattern to match file names against: `*` any run, `?` one byte,
// `[a-z]` / `[!a-z]` one byte in or out of a set (an unclosed '[' is itself).
// A leading '.' is matched only by a '.' in the pattern, so hidden files stay
// out. Made once, it takes time linear in the pattern, and matching a name
// at most the name's length times the pattern's.
class NamePattern {
public:
    explicit NamePattern(std::string_view pattern);
    bool matches(std::string_view name) const;

private:
    // Longer names than this no file system here holds.
    static constexpr std::size_t NameMax = 255;
    struct Part {
        bool star;
        std::bitset<256> set;  // the bytes a single-byte part takes
    };
    std::vector<Part> parts_;
    std::size_t singles_ = 0;  // parts that take one byte each
    bool hidden_too_;
};

// Names in natural order: runs of digits compare as numbers, so "f2" comes
// before "f10".
bool natural_less(const std::string& a, const std::string& b);

}  // namespace tess
