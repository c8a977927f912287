// An XPM's pixel keys to colour numbers, found fast for any characters per pixel.
#include "xpm/key_index.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

namespace tess {

namespace {

constexpr std::uint32_t NoNumber = UINT32_MAX;
constexpr std::size_t MaxDirectKeyLength = 2;

}  // namespace

// Byte i of the key is byte i % 8 of number i / 8, counting from the low end.
KeyIndex::Key KeyIndex::key_of(std::string_view key) const
{
    Key numbers{};
    const std::size_t length = std::min({key.size(), key_length_, sizeof(Key)});
    for (std::size_t i = 0; i < length; ++i) {
        numbers[i / 8] |= std::uint64_t{static_cast<unsigned char>(key[i])} << (8 * (i % 8));
    }
    return numbers;
}

void KeyIndex::reserve(std::size_t keys)
{
    entries_.reserve(keys);
}

void KeyIndex::add(std::string_view key, std::uint32_t number)
{
    entries_.push_back({key_of(key), number});
}

void KeyIndex::add_first(std::string_view key, std::uint32_t number)
{
    entries_.insert(entries_.begin(), {key_of(key), number});
}

void KeyIndex::finish()
{
    std::stable_sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) { return less(a.key, b.key); });
    const auto same_key = [](const Entry& a, const Entry& b) { return same(a.key, b.key); };
    entries_.erase(std::unique(entries_.begin(), entries_.end(), same_key), entries_.end());
    keys_.clear();
    keys_.reserve(entries_.size());
    for (const Entry& entry : entries_) keys_.push_back(entry.key);
    if (key_length_ <= MaxDirectKeyLength) {
        block_of_first_.assign(256, 0);
        blocks_.clear();
        for (const Entry& entry : entries_) {
            const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(entry.key[0] >> (8 * i)); };
            const unsigned char first = key_length_ == 2 ? byte(0) : 0;
            if (block_of_first_[first] == 0) {
                blocks_.resize(blocks_.size() + 256, NoNumber);
                block_of_first_[first] = static_cast<std::uint16_t>(blocks_.size() / 256);
            }
            blocks_[(block_of_first_[first] - 1u) * 256u + byte(key_length_ - 1)] = entry.number;
        }
    }
}

std::optional<std::uint32_t> KeyIndex::find_direct(std::string_view key) const
{
    const auto first = static_cast<unsigned char>(key_length_ == 2 ? key[0] : 0);
    const std::uint16_t block = block_of_first_[first];
    if (block == 0) return std::nullopt;
    const std::uint32_t number = blocks_[(block - 1u) * 256u + static_cast<unsigned char>(key.back())];
    if (number == NoNumber) return std::nullopt;
    return number;
}

std::size_t KeyIndex::find_row(std::string_view row, std::uint32_t* numbers) const
{
    std::size_t at = 0;
    if (key_length_ == 1) {
        // The hot case, kept plain: one byte a pixel, one block. Colour
        // numbers are below 2^31 and NoNumber is not, so the row is looked
        // up whole, its numbers OR-ed, and searched again only when that
        // shows a key may have had none.
        if (!block_of_first_[0]) return 0;
        const std::uint32_t* block = &blocks_[(block_of_first_[0] - 1u) * 256u];
        std::uint32_t seen = 0;
        for (std::size_t x = 0; x < row.size(); ++x) {
            const std::uint32_t number = block[static_cast<unsigned char>(row[x])];
            numbers[x] = number;
            seen |= number;
        }
        if (seen & 0x80000000u) {
            while (at < row.size() && numbers[at] != NoNumber) ++at;
            return at;
        }
        return row.size();
    }
    // Neighbours mostly share a colour, so the last key's number is tried first.
    if (key_length_ <= 8) {
        // A key in one number: eight bytes loaded at once where the row has
        // them, in the order key_of gives, and cut to the key's length.
        const std::uint64_t mask = key_length_ == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * key_length_)) - 1;
        std::uint64_t last_key = 0;
        std::uint32_t last_number = NoNumber;
        // The row's keys met so far, by a hash of their bytes: a row's few
        // colours come round again and again, and each search is a dozen
        // comparisons that the processor cannot foresee.
        struct Met {
            std::uint64_t key;
            std::uint32_t number = NoNumber;
        };
        std::array<Met, 16> met{};
        for (; at + key_length_ <= row.size(); at += key_length_) {
            std::uint64_t key = 0;
            if (at + 8 <= row.size()) {
                std::memcpy(&key, row.data() + at, 8);
                if constexpr (std::endian::native == std::endian::big) key = __builtin_bswap64(key);
                key &= mask;
            } else {
                for (std::size_t i = 0; i < key_length_; ++i) {
                    key |= std::uint64_t{static_cast<unsigned char>(row[at + i])} << (8 * i);
                }
            }
            if (last_number == NoNumber || key != last_key) {
                Met& slot = met[(key * 0x9e3779b97f4a7c15u) >> 60];
                if (slot.number == NoNumber || slot.key != key) {
                    const auto number = find_sorted({key, 0});
                    if (!number) return at;
                    slot = {key, *number};
                }
                last_key = key;
                last_number = slot.number;
            }
            *numbers++ = last_number;
        }
        return at;
    }
    Key last_key{};
    std::uint32_t last_number = NoNumber;
    for (; at + key_length_ <= row.size(); at += key_length_) {
        const Key key = key_of(row.substr(at, key_length_));
        if (last_number == NoNumber || !same(key, last_key)) {
            const auto number = find_sorted(key);
            if (!number) return at;
            last_key = key;
            last_number = *number;
        }
        *numbers++ = last_number;
    }
    return at;
}

std::optional<std::uint32_t> KeyIndex::find(std::string_view key) const
{
    if (key.size() != key_length_) return std::nullopt;
    if (key_length_ <= MaxDirectKeyLength) return find_direct(key);
    return find_sorted(key_of(key));
}

std::optional<std::uint32_t> KeyIndex::find_sorted(const Key& wanted) const
{
    const auto found = std::lower_bound(keys_.begin(), keys_.end(), wanted, less);
    if (found == keys_.end() || !same(*found, wanted)) return std::nullopt;
    return entries_[static_cast<std::size_t>(found - keys_.begin())].number;
}

}  // namespace tess
