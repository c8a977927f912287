#include "programs/failure.hpp"

#include <cstdarg>
#include <cstdio>

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

}  // namespace tess
