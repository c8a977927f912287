#include "xpm/key_index.hpp"

#include <algorithm>
#include <cstring>

namespace tess {

KeyIndex::Key KeyIndex::key_of(std::string_view key) const
{
    std::array<char, sizeof(Key)> bytes{};
    std::memcpy(bytes.data(), key.data(), std::min({key.size(), key_length_, bytes.size()}));
    Key numbers;
    std::memcpy(numbers.data(), bytes.data(), bytes.size());
    return numbers;
}

void KeyIndex::add(std::string_view key, std::uint32_t number)
{
    entries_.push_back({key_of(key), number});
}

void KeyIndex::finish()
{
    std::stable_sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
    const auto same_key = [](const Entry& a, const Entry& b) { return a.key == b.key; };
    entries_.erase(std::unique(entries_.begin(), entries_.end(), same_key), entries_.end());
}

std::optional<std::uint32_t> KeyIndex::find(std::string_view key) const
{
    if (key.size() != key_length_) return std::nullopt;
    const Key wanted = key_of(key);
    const auto found = std::lower_bound(entries_.begin(), entries_.end(), wanted,
                                        [](const Entry& entry, const Key& k) { return entry.key < k; });
    if (found == entries_.end() || found->key != wanted) return std::nullopt;
    return found->number;
}

}  // namespace tess
