#pragma once

#include <istream>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tess {

// An XPM read as what matters in it: its double-quoted strings, in order.
// White space, C comments and the C text around the strings (the declaration,
// commas, braces) are skipped.
class XpmStrings {
public:
    // Far beyond any real values line, colour line or row of 64 pixels of 15
    // characters: a longer string means the input is not an XPM.
    static constexpr std::size_t DefaultMaxLength = 65536;

    explicit XpmStrings(std::istream& in, std::size_t max_length = DefaultMaxLength);
    // A whole XPM in memory, read where it lies; it must outlive the strings.
    explicit XpmStrings(std::span<const std::uint8_t> file, std::size_t max_length = DefaultMaxLength);

    // The next string, valid until the following call. An XPM that ends
    // before it, holds a longer string or is not text is the wrong format.
    std::string_view next();

private:
    int get();
    bool refill();
    std::string_view read_string();
    int skip_comment();

    std::streambuf* in_;  // none when the whole input is in memory
    std::size_t max_length_;
    std::unique_ptr<char[]> buffer_;  // left uninitialised: only what is read is touched
    const char* data_;                // what is read from: buffer_, or the input in memory
    std::size_t position_ = 0;
    std::size_t size_ = 0;
    std::string text_;  // a string that spans two buffers' worth
};

}  // namespace tess
