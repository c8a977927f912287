#pragma once

#include <stdexcept>

namespace tess {

// A GIF that cannot be read or written. The message says what is wrong and
// where (the frame), and carries no program name, so each program words its
// own report around it.
class GifError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace tess
