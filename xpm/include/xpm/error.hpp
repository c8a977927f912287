#pragma once

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

// The message says what is wrong and with which value, e.g. `width 65 is
// outside 0 to 64` where the width is held to 64; a program adds its own
// prefix.
class XpmError : public std::runtime_error {
public:
    XpmError(XpmFault fault, const std::string& message) : std::runtime_error(message), fault_(fault) {}
    XpmFault fault() const { return fault_; }

private:
    XpmFault fault_;
};

[[noreturn]] void fail_wrong_xpm_format();

}  // namespace tess
