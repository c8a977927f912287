// Text made safe: UTF-8 checks, printable forms, JSON and TOML strings.
#include "pack/text.hpp"

#include <cstdint>
#include <cstdio>

namespace tess {

namespace {

constexpr char Hex[] = "0123456789abcdef";

// The length of the UTF-8 sequence at `i` and its code point, or 0 where the
// bytes there are no valid sequence.
std::size_t utf8_sequence(std::string_view text, std::size_t i, std::uint32_t& code)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xe ? 3 : (lead >> 3) == 0x1e ? 4 : 0;
    if (length == 0 || i + length > text.size()) return 0;
    code = length == 1 ? lead : lead & (0x7fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xc0) != 0x80) return 0;
        code = code << 6 | (next & 0x3f);
    }
    constexpr std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return 0;
    return length;
}

// C1 controls, and the marks, embeddings, overrides and isolates that make a
// terminal show text in another order than it is stored.
bool hidden_on_terminal(std::uint32_t code)
{
    return (code >= 0x80 && code <= 0x9f) || code == 0x61c || code == 0x200e || code == 0x200f ||
           (code >= 0x202a && code <= 0x202e) || (code >= 0x2066 && code <= 0x2069);
}

void append_byte_escape(std::string& out, unsigned char byte)
{
    out += "\\x";
    out += Hex[byte >> 4];
    out += Hex[byte & 0xf];
}

// Quotes and backslashes escaped, control characters as \u00HH: the same in
// JSON and in a TOML basic string.
std::string quoted_string(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7f) {
            out += "\\u00";
            out += Hex[byte >> 4];
            out += Hex[byte & 0xf];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace

bool is_utf8(std::string_view text)
{
    std::uint32_t code = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8_sequence(text, i, code);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::string printable(std::string_view text)
{
    std::string out;
    std::uint32_t code = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8_sequence(text, i, code);
        if (length == 0 || (length == 1 && (code < 0x20 || code == 0x7f))) {
            append_byte_escape(out, static_cast<unsigned char>(text[i]));
            ++i;
            continue;
        }
        if (hidden_on_terminal(code)) {
            char escape[16];
            std::snprintf(escape, sizeof escape, "\\u{%04x}", static_cast<unsigned>(code));
            out += escape;
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

std::string counted(std::uint64_t count, std::string_view noun)
{
    return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

std::string json_string(std::string_view text) { return quoted_string(text); }

std::string toml_string(std::string_view text) { return quoted_string(text); }

std::string listed(std::span<const std::string_view> names)
{
    std::string text;
    for (const std::string_view name : names) {
        if (!text.empty()) text += ", ";
        text += name;
    }
    return text;
}

std::string named_text(std::string_view key, std::string_view text, Notation notation)
{
    const bool toml = notation == Notation::Toml;
    std::string out;
    if (is_utf8(text)) {
        out = toml ? std::string(key) + " = " : json_string(key) + ": ";
        return out + quoted_string(text);
    }
    const std::string bytes_key = std::string(key) + "_bytes";
    out = toml ? bytes_key + " = [" : json_string(bytes_key) + ": [";
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i > 0) out += ", ";
        out += std::to_string(static_cast<unsigned char>(text[i]));
    }
    out += "]";
    if (toml) out += "  # not UTF-8, so not a TOML string";
    return out;
}

}  // namespace tess
