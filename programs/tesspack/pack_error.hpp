#pragma once

#include <stdexcept>
#include <string>

namespace tess {

// A tesspack failure: the message names the file and the place, and is
// printed after "tesspack: ".
class PackError : public std::runtime_error {
public:
    explicit PackError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tess
