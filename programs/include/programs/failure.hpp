#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

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

// What a program's main returns: runs `body`, and when it raises a Failure,
// runs out of memory ("<error_word>: out of memory") or throws anything else,
// prints that message on standard output and returns its status. Then a
// standard output that lost what was written to it is reported on standard
// error as "<program>: cannot write standard output", with status 1 unless
// the run had failed already.
int run_main(std::string_view program, std::string_view error_word, const std::function<void()>& body);

}  // namespace tess
