#pragma once

#include <istream>
#include <string>
#include <string_view>

namespace tess {

// An XPM read as what matters in it: its double-quoted strings, in order.
// White space, C comments and the C text around the strings (the declaration,
// commas, braces) are skipped.
class XpmStrings {
public:
    explicit XpmStrings(std::istream& in) : in_(*in.rdbuf()) {}

    // The next string, valid until the following call. An XPM that ends
    // before it, or that is not text, is the wrong format.
    std::string_view next();

private:
    int skip_comment();

    std::streambuf& in_;
    std::string text_;
};

[[noreturn]] void fail_wrong_xpm_format();

}  // namespace tess
