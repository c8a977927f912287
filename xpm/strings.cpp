// An XPM as its sequence of double-quoted strings, whatever lies between them.
#include "xpm/strings.hpp"

#include <cstring>

#include "xpm/error.hpp"

namespace tess {

namespace {

using Traits = std::char_traits<char>;
const int EndOfInput = Traits::eof();

constexpr std::size_t BufferSize = 16384;

}  // namespace

void fail_wrong_xpm_format(std::optional<int> row)
{
    constexpr const char* message = "wrong xpm format";
    if (row) throw XpmError(XpmFault::WrongFormat, message, *row);
    throw XpmError(XpmFault::WrongFormat, message);
}

XpmStrings::XpmStrings(std::istream& in, std::size_t max_length)
    : in_(in.rdbuf()), max_length_(max_length), buffer_(new char[BufferSize]), data_(buffer_.get())
{
}

XpmStrings::XpmStrings(std::span<const std::uint8_t> file, std::size_t max_length)
    : in_(nullptr), max_length_(max_length), data_(reinterpret_cast<const char*>(file.data())), size_(file.size())
{
}

bool XpmStrings::refill()
{
    if (!in_) return false;
    position_ = 0;
    size_ = static_cast<std::size_t>(in_->sgetn(buffer_.get(), static_cast<std::streamsize>(BufferSize)));
    return size_ > 0;
}

int XpmStrings::get()
{
    if (position_ == size_ && !refill()) return EndOfInput;
    return static_cast<unsigned char>(data_[position_++]);
}

// Called with the '/' just read; returns the character after a comment, or
// the one after the lone '/'.
int XpmStrings::skip_comment()
{
    int c = get();
    if (c == '/') {
        while (c != '\n' && c != EndOfInput) c = get();
        return c;
    }
    if (c != '*') return c;
    for (int previous = 0; (c = get()) != EndOfInput; previous = c) {
        if (previous == '*' && c == '/') return get();
    }
    fail_wrong_xpm_format();
}

// Called after the opening quote: takes the string up to its closing quote.
// Most strings lie whole in the buffer and are given from there; a string
// that does not is gathered a buffer at a time.
std::string_view XpmStrings::read_string()
{
    text_.clear();
    for (;;) {
        if (position_ == size_ && !refill()) fail_wrong_xpm_format();
        const char* start = data_ + position_;
        const std::size_t available = size_ - position_;
        const auto* quote = static_cast<const char*>(std::memchr(start, '"', available));
        const std::size_t length = quote ? static_cast<std::size_t>(quote - start) : available;
        if (std::memchr(start, '\0', length) || text_.size() + length > max_length_) fail_wrong_xpm_format();
        position_ += length;
        if (quote && text_.empty()) {
            ++position_;
            return {start, length};
        }
        text_.append(start, length);
        if (quote) {
            ++position_;
            return text_;
        }
    }
}

std::string_view XpmStrings::next()
{
    for (int c = get(); c != '"';) {
        if (c == EndOfInput || c == '\0') fail_wrong_xpm_format();
        c = c == '/' ? skip_comment() : get();
    }
    return read_string();
}

}  // namespace tess
