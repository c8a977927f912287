#include "palette/nearest.hpp"

#include <array>

namespace tess {

namespace {

template <ConversionType Type>
std::uint64_t channel_distance(std::int64_t difference)
{
    const std::int64_t d = difference < 0 ? -difference : difference;
    if constexpr (Type == ConversionType::L1) return static_cast<std::uint64_t>(d);
    if constexpr (Type == ConversionType::L2) return static_cast<std::uint64_t>(d * d);
    if constexpr (Type == ConversionType::L3) return static_cast<std::uint64_t>(d * d * d);
    if constexpr (Type == ConversionType::L4) return static_cast<std::uint64_t>(d * d * d * d);
}

template <ConversionType Type>
std::uint64_t distance_of(const Rgb& colour, const PaletteEntry& entry)
{
    return channel_distance<Type>(colour.red - entry.red) + channel_distance<Type>(colour.green - entry.green) +
           channel_distance<Type>(colour.blue - entry.blue);
}

// A plain scan of all 256 entries: exact for any distance, and a few
// microseconds a colour.
template <ConversionType Type>
std::uint8_t nearest_of(const Rgb& colour)
{
    std::uint64_t best = distance_of<Type>(colour, Palette[0]);
    std::size_t chosen = 0;
    for (std::size_t i = 1; i < PaletteSize; ++i) {
        const std::uint64_t d = distance_of<Type>(colour, Palette[i]);
        if (d < best) {
            best = d;
            chosen = i;
        }
    }
    return static_cast<std::uint8_t>(chosen);
}

}  // namespace

std::optional<ConversionType> parse_conversion_type(std::string_view text)
{
    if (text == "L1") return ConversionType::L1;
    if (text == "L2") return ConversionType::L2;
    if (text == "L3") return ConversionType::L3;
    if (text == "L4") return ConversionType::L4;
    return std::nullopt;
}

std::uint64_t distance(const Rgb& colour, const PaletteEntry& entry, ConversionType type)
{
    switch (type) {
    case ConversionType::L1: return distance_of<ConversionType::L1>(colour, entry);
    case ConversionType::L2: return distance_of<ConversionType::L2>(colour, entry);
    case ConversionType::L3: return distance_of<ConversionType::L3>(colour, entry);
    case ConversionType::L4: return distance_of<ConversionType::L4>(colour, entry);
    }
    return 0;
}

std::uint8_t nearest_palette_index(const Rgb& colour, ConversionType type)
{
    switch (type) {
    case ConversionType::L1: return nearest_of<ConversionType::L1>(colour);
    case ConversionType::L2: return nearest_of<ConversionType::L2>(colour);
    case ConversionType::L3: return nearest_of<ConversionType::L3>(colour);
    case ConversionType::L4: return nearest_of<ConversionType::L4>(colour);
    }
    return 0;
}

}  // namespace tess
