#include "xpm_strings.hpp"

#include "failure.hpp"

namespace tess {

namespace {

using Traits = std::char_traits<char>;
const int EndOfInput = Traits::eof();

// Far beyond any real values line, colour line or row (64 pixels of 15
// characters): a longer string means the input is not an XPM.
constexpr std::size_t MaxStringLength = 65536;

}  // namespace

void fail_wrong_xpm_format()
{
    fail("error: wrong xpm format\n");
}

// Called with the '/' just read; returns the character after a comment, or
// the one after the lone '/'.
int XpmStrings::skip_comment()
{
    int c = in_.sbumpc();
    if (c == '/') {
        while (c != '\n' && c != EndOfInput) c = in_.sbumpc();
        return c;
    }
    if (c != '*') return c;
    for (int previous = 0; (c = in_.sbumpc()) != EndOfInput; previous = c) {
        if (previous == '*' && c == '/') return in_.sbumpc();
    }
    fail_wrong_xpm_format();
}

std::string_view XpmStrings::next()
{
    int c = in_.sbumpc();
    while (c != '"') {
        if (c == EndOfInput || c == '\0') fail_wrong_xpm_format();
        c = c == '/' ? skip_comment() : in_.sbumpc();
    }
    text_.clear();
    while ((c = in_.sbumpc()) != '"') {
        if (c == EndOfInput || c == '\0' || text_.size() == MaxStringLength) fail_wrong_xpm_format();
        text_.push_back(static_cast<char>(c));
    }
    return text_;
}

}  // namespace tess
