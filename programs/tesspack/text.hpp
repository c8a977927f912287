#pragma once

#include <string>
#include <string_view>

namespace tess {

// Whether TOML and JSON can hold the bytes as a string: UTF-8 without
// overlong forms, surrogates or code points past U+10FFFF.
bool is_utf8(std::string_view text);

// The text with control bytes written as \xHH, safe to print on a terminal.
std::string printable(std::string_view text);

}  // namespace tess
