// The Failure that tessenc and tessdec stop with, its message and its exit status.
#include "programs/failure.hpp"

#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <new>

namespace tess {

namespace {

std::string vformatted(const char* format, std::va_list args)
{
    std::va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.pop_back();
    return text;
}

// Whether standard output took everything written to it; says so on
// standard error if not.
bool flush_standard_output(std::string_view program)
{
    if (std::cout.flush()) return true;
    std::cerr << program << ": cannot write standard output\n" << std::flush;
    return false;
}

int report(std::string_view program, const Failure& failure)
{
    std::cout << failure.what();
    flush_standard_output(program);
    return failure.exit_status();
}

}  // namespace

int Failure::exit_status() const
{
    const int status = static_cast<int>(std::string(what()).size() % 256);
    return status == 0 ? 1 : status;
}

std::string formatted(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    std::string text = vformatted(format, args);
    va_end(args);
    return text;
}

void fail(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    std::string message = vformatted(format, args);
    va_end(args);
    throw Failure(message);
}

int run_main(std::string_view program, std::string_view error_word, const std::function<void()>& body)
{
    try {
        body();
    } catch (const Failure& failure) {
        return report(program, failure);
    } catch (const std::bad_alloc&) {
        return report(program, Failure(std::string(error_word) + ": out of memory\n"));
    } catch (const std::exception& error) {
        return report(program, Failure(std::string(error_word) + ": " + error.what() + "\n"));
    }
    return flush_standard_output(program) ? 0 : 1;
}

}  // namespace tess
