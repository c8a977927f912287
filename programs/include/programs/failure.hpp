#pragma once

#include <stdexcept>
#include <string>

namespace tess {

// A run that cannot go on. The message is printed on standard output and its
// length becomes the exit status, so scripts can tell the failures apart.
class Failure : public std::runtime_error {
public:
    explicit Failure(const std::string& message) : std::runtime_error(message) {}

    // The message's length as the system will see it (modulo 256), but never
    // 0: a failure must not look like success.
    int exit_status() const;
};

// printf-style text, for messages and printed lines.
[[gnu::format(printf, 1, 2)]] std::string formatted(const char* format, ...);

[[noreturn, gnu::format(printf, 1, 2)]] void fail(const char* format, ...);

}  // namespace tess
