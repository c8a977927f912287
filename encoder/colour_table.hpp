#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "palette_match.hpp"
#include "xpm_header.hpp"

namespace tess {

// The XPM's colours by key, each reduced to its nearest palette index.
class ColourTable {
public:
    ColourTable(ConversionType type, int chars_per_pixel);

    // The first definition of a key wins; the last transparent one gives the
    // transparent key.
    void add(const ColourDefinition& definition);

    std::optional<std::uint8_t> index_of(std::string_view key) const;
    bool is_transparent(std::string_view key) const { return transparent_key_ && key == *transparent_key_; }

private:
    // Keys of one or two characters, as nearly every XPM has, index a flat
    // table directly; longer keys go through a hash map.
    static constexpr std::size_t MaxFlatKeyLength = 2;
    static constexpr std::int16_t NoColour = -1;

    struct KeyHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
    };

    static std::size_t flat_slot(std::string_view key);

    ConversionType type_;
    std::vector<std::int16_t> flat_;
    std::unordered_map<std::string, std::uint8_t, KeyHash, std::equal_to<>> hashed_;
    std::optional<std::string> transparent_key_;
};

}  // namespace tess
