// Reading a manifest's values at their line and column, and gathering its faults.
#include "keys.hpp"

namespace tess {

namespace {

// Past this many faults a manifest is more likely not one at all.
constexpr std::size_t MaxFaults = 20;

std::string quoted(std::string_view key) { return "'" + std::string(key) + "'"; }

int hex_digit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

void KeyReader::fail(const toml::node* node, const std::string& what) const
{
    fail(node ? node->source() : toml::source_region{}, what);
}

void KeyReader::fail(const toml::source_region& region, const std::string& what) const
{
    PackLocation where = in_file(file_);
    if (region.begin) {
        where.line = static_cast<int>(region.begin.line);
        where.column = static_cast<int>(region.begin.column);
    }
    throw PackError(Fault::Manifest, what + in_, where);
}

int KeyReader::count(const toml::table& table, std::string_view key, std::optional<int> fallback) const
{
    const toml::node* node = table.get(key);
    if (!node) {
        if (!fallback) fail(&table, "missing " + quoted(key));
        return *fallback;
    }
    return static_cast<int>(whole(*node, key, 0, 255));
}

std::int64_t KeyReader::whole(const toml::node& node, std::string_view key, std::int64_t low, std::int64_t high, bool in_list) const
{
    // Only an integer node is asked its value: toml++ would convert a
    // float, out of range as it may be.
    const toml::value<std::int64_t>* integer = node.as_integer();
    if (!integer) fail(&node, quoted(key) + (in_list ? " must hold whole numbers" : " must be a whole number"));
    const std::int64_t value = integer->get();
    if (value < low || value > high) {
        fail(&node, quoted(key) + (in_list ? " holds " : " is ") + std::to_string(value) + ", outside " + std::to_string(low) +
                        " to " + std::to_string(high));
    }
    return value;
}

bool KeyReader::boolean(const toml::node& node, std::string_view key) const
{
    if (!node.is_boolean()) fail(&node, quoted(key) + " must be true or false");
    return *node.value<bool>();
}

std::string KeyReader::text(const toml::node& node, std::string_view key) const
{
    if (!node.is_string()) fail(&node, quoted(key) + " must be a string");
    return std::string(*node.value<std::string_view>());
}

std::string KeyReader::path(const toml::node& node, std::string_view key) const
{
    if (!node.is_string()) fail(&node, quoted(key) + " must be a path");
    std::string value(*node.value<std::string_view>());
    if (value.empty() || value.find('\0') != std::string::npos) fail(&node, quoted(key) + " must be a path");
    return value;
}

Rgb KeyReader::colour(const toml::node& node, std::string_view key, std::string_view what) const
{
    const std::optional<std::string_view> text = node.value<std::string_view>();
    int channels[3] = {-1, -1, -1};
    if (node.is_string() && text->size() == 7 && (*text)[0] == '#') {
        for (int c = 0; c < 3; ++c) {
            const int high = hex_digit((*text)[1 + 2 * c]), low = hex_digit((*text)[2 + 2 * c]);
            channels[c] = high < 0 || low < 0 ? -1 : high * 16 + low;
        }
    }
    if (channels[0] < 0 || channels[1] < 0 || channels[2] < 0) fail(&node, quoted(key) + " must be " + std::string(what));
    return {channels[0], channels[1], channels[2]};
}

const toml::array& KeyReader::array(const toml::node& node, std::string_view key, std::string_view of) const
{
    const toml::array* list = node.as_array();
    if (!list) fail(&node, quoted(key) + " must be an array of " + std::string(of));
    return *list;
}

std::vector<int> KeyReader::numbers(const toml::node& node, std::string_view key, std::int64_t low, std::int64_t high) const
{
    std::vector<int> result;
    for (const toml::node& item : array(node, key, "whole numbers")) {
        result.push_back(static_cast<int>(whole(item, key, low, high, true)));
    }
    return result;
}

std::pair<int, int> KeyReader::pair(const toml::node& node, std::string_view key, std::int64_t low, std::int64_t high) const
{
    const toml::array& list = array(node, key, "two whole numbers");
    if (list.size() != 2) fail(&node, quoted(key) + " must be two numbers [x, y], not " + std::to_string(list.size()));
    return {static_cast<int>(whole(list[0], key, low, high, true)), static_cast<int>(whole(list[1], key, low, high, true))};
}

std::vector<std::string> KeyReader::strings(const toml::node& node, std::string_view key) const
{
    std::vector<std::string> result;
    for (const toml::node& item : array(node, key, "strings")) {
        if (!item.is_string()) fail(&item, quoted(key) + " must be an array of strings");
        result.emplace_back(*item.value<std::string_view>());
    }
    return result;
}

std::optional<std::string> KeyReader::text_or_bytes(const toml::table& table, std::string_view key, bool required) const
{
    const std::string bytes_key = std::string(key) + "_bytes";
    const toml::node* text_node = table.get(key);
    const toml::node* bytes_node = table.get(bytes_key);
    if (text_node && bytes_node) fail(bytes_node, "give " + quoted(key) + " or " + quoted(bytes_key) + ", not both");
    if (!text_node && !bytes_node) {
        if (required) fail(&table, "give the scene's " + quoted(key) + " or its " + quoted(bytes_key));
        return std::nullopt;
    }
    if (text_node) return text(*text_node, key);
    const toml::array* array = bytes_node->as_array();
    if (!array) fail(bytes_node, quoted(bytes_key) + " must be an array of bytes");
    std::string result;
    for (const toml::node& byte : *array) {
        const toml::value<std::int64_t>* integer = byte.as_integer();
        if (!integer || integer->get() < 1 || integer->get() > 255) {
            fail(&byte, quoted(bytes_key) + " must hold numbers from 1 to 255");
        }
        result.push_back(static_cast<char>(integer->get()));
    }
    return result;
}

void Faults::add(const PackError& fault)
{
    // A fault that carries others (a table read on its own) is each of them.
    faults_.push_back(fault.with_more({}));
    for (const PackError& more : fault.more()) {
        if (faults_.size() >= MaxFaults) break;
        faults_.push_back(more);
    }
    if (faults_.size() >= MaxFaults) raise();
}

void Faults::raise() const
{
    if (faults_.empty()) return;
    throw faults_.front().with_more({faults_.begin() + 1, faults_.end()});
}

void check_known_keys(const KeyReader& keys, const toml::table& table, const std::set<std::string_view>& known,
                      Faults& faults, std::string_view where)
{
    // Not a structured binding: clang before 16 cannot capture one.
    for (const auto& entry : table) {
        const toml::key& key = entry.first;
        if (known.contains(key.str())) continue;
        faults.check([&] { keys.fail(key.source(), "unknown key " + quoted(key.str()) + std::string(where)); });
    }
}

}  // namespace tess
