#pragma once

#include <istream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tess {

// An XPM read as what matters in it: its double-quoted strings, in order.
// White space, C comments and the C text around the strings (the declaration,
// commas, braces) are skipped.
class XpmStrings {
public:
    explicit XpmStrings(std::istream& in);

    // The next string, valid until the following call. An XPM that ends
    // before it, or that is not text, is the wrong format.
    std::string_view next();

private:
    int get();
    bool refill();
    void read_string();
    int skip_comment();

    std::streambuf& in_;
    std::unique_ptr<char[]> buffer_;  // left uninitialised: only what is read is touched
    std::size_t position_ = 0;
    std::size_t size_ = 0;
    std::string text_;
};

}  // namespace tess
