#pragma once

#include <optional>
#include <stdexcept>
#include <string>

namespace tess {

// What is wrong with an XPM that is read.
enum class XpmFault {
    WrongFormat,         // not the strings of an XPM, or they end early
    ValuesLine,          // the values line lacks one of its four numbers
    OutOfRange,          // a number of the values line beyond the reader's limits
    NoColour,            // a colour line that gives no colour
    BadColourValue,      // # followed by something other than hex digits
    UnknownColourName,   // not in the X11 colour database
    PixelWithoutColour,  // a pixel whose key has no colour line
};

// A pixel of the picture: x from the left, y from the top, both from 0.
struct XpmPixelPlace {
    int x;
    int y;
};

// The message says what is wrong and with which value, e.g. `width 65 is
// outside 0 to 64` where the width is held to 64; a program adds its own
// prefix. A fault in the pixel rows also gives its place, where the reader
// knows it: the row (a malformed one), or the pixel (one without a colour).
class XpmError : public std::runtime_error {
public:
    XpmError(XpmFault fault, const std::string& message) : std::runtime_error(message), fault_(fault) {}
    XpmError(XpmFault fault, const std::string& message, int row) : XpmError(fault, message) { row_ = row; }
    XpmError(XpmFault fault, const std::string& message, XpmPixelPlace pixel) : XpmError(fault, message, pixel.y)
    {
        pixel_ = pixel;
    }

    XpmFault fault() const { return fault_; }
    // The row at fault, from 0 at the top; a pixel's row too.
    std::optional<int> row() const { return row_; }
    std::optional<XpmPixelPlace> pixel() const { return pixel_; }

private:
    XpmFault fault_;
    std::optional<int> row_;
    std::optional<XpmPixelPlace> pixel_;
};

// "wrong xpm format", at a row where one is given.
[[noreturn]] void fail_wrong_xpm_format(std::optional<int> row = std::nullopt);

}  // namespace tess
