#pragma once

#include <span>
#include <cstdint>
#include <string>
#include <string_view>

namespace tess {

// Whether TOML and JSON can hold the bytes as a string: UTF-8 without
// overlong forms, surrogates or code points past U+10FFFF.
bool is_utf8(std::string_view text);

// The text made safe to print on a terminal: control bytes and bytes that
// are not UTF-8 as \xHH, C1 controls and the characters that reorder text
// (bidirectional embeddings, overrides and isolates) as \u{HHHH}.
std::string printable(std::string_view text);

// A count and its noun, the noun plural but for one: "1 view", "2 views".
std::string counted(std::uint64_t count, std::string_view noun);

// A JSON string: quotes, backslashes and control characters escaped. The
// text must be UTF-8.
std::string json_string(std::string_view text);

// A TOML basic string, escaped the same way. The text must be UTF-8.
std::string toml_string(std::string_view text);

// Names as a message lists them: "a, b, c".
std::string listed(std::span<const std::string_view> names);

// Text as written where a name may not be UTF-8: `key = "text"`, or
// `key_bytes = [1, 2, 3]` in the given form (TOML or JSON).
enum class Notation { Toml, Json };
std::string named_text(std::string_view key, std::string_view text, Notation notation);

}  // namespace tess
