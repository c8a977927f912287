#pragma once

#include <stdexcept>

namespace tess {

// A PNG that cannot be read or written. The message says what is wrong and
// carries no program name, so each program words its own report around it.
class PngError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace tess
