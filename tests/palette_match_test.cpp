#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "palette/nearest.hpp"

namespace tess {
namespace {

constexpr ConversionType AllTypes[] = {ConversionType::L1, ConversionType::L2, ConversionType::L3,
                                       ConversionType::L4};

TEST(ConversionType, OnlyTheFourExactNamesAreAccepted)
{
    EXPECT_EQ(parse_conversion_type("L1"), ConversionType::L1);
    EXPECT_EQ(parse_conversion_type("L2"), ConversionType::L2);
    EXPECT_EQ(parse_conversion_type("L3"), ConversionType::L3);
    EXPECT_EQ(parse_conversion_type("L4"), ConversionType::L4);
    for (const char* wrong : {"l1", "L1x", "L5", "L", "", " L1", "L0"}) {
        EXPECT_EQ(parse_conversion_type(wrong), std::nullopt) << wrong;
    }
}

TEST(Distance, IsTheSumOfChannelPowers)
{
    const Rgb colour{10, 20, 30};
    const PaletteEntry entry{13, 18, 30};  // differences -3, 2, 0
    EXPECT_EQ(distance(colour, entry, ConversionType::L1), 5u);
    EXPECT_EQ(distance(colour, entry, ConversionType::L2), 13u);
    EXPECT_EQ(distance(colour, entry, ConversionType::L3), 35u);
    EXPECT_EQ(distance(colour, entry, ConversionType::L4), 97u);
}

TEST(Distance, FourthPowersOfWholeChannelsDoNotOverflow)
{
    EXPECT_EQ(distance({255, 255, 255}, Palette[0], ConversionType::L4), 3ull * 255 * 255 * 255 * 255);
    EXPECT_EQ(distance({0, 0, 0}, {255, 255, 255}, ConversionType::L3), 3ull * 255 * 255 * 255);
}

TEST(NearestPaletteIndex, KnownColoursUnderEveryType)
{
    const struct {
        Rgb colour;
        std::uint8_t index;
    } cases[] = {
        {{0x00, 0x00, 0x00}, 0},    // ties with 240..254; the lowest index wins
        {{0x00, 0xff, 0x00}, 232},  // never 255
        {{0x20, 0x10, 0x00}, 23},   // never 155
        {{0xff, 0xff, 0xff}, 1},
        {{0x80, 0x80, 0x80}, 6},
        {{0xff, 0x00, 0x00}, 228},
        {{0x00, 0x00, 0xff}, 236},
    };
    for (const auto& c : cases) {
        for (const ConversionType type : AllTypes) {
            EXPECT_EQ(nearest_palette_index(c.colour, type), c.index)
                << c.colour.red << "," << c.colour.green << "," << c.colour.blue << " type " << static_cast<int>(type);
        }
    }
}

TEST(NearestPaletteIndex, TheTypeCanChangeTheAnswer)
{
    const Rgb colour{0xfe, 0x7f, 0x01};
    EXPECT_EQ(nearest_palette_index(colour, ConversionType::L1), 229);
    EXPECT_EQ(nearest_palette_index(colour, ConversionType::L2), 149);
    EXPECT_EQ(nearest_palette_index(colour, ConversionType::L3), 149);
    EXPECT_EQ(nearest_palette_index(colour, ConversionType::L4), 149);
}

// Every palette colour is its own nearest entry, at its first index.
TEST(NearestPaletteIndex, PaletteColoursMapToTheirFirstIndex)
{
    for (std::size_t i = 0; i < Palette.size(); ++i) {
        const Rgb colour{Palette[i].red, Palette[i].green, Palette[i].blue};
        std::size_t first = 0;
        while (!(Palette[first] == Palette[i])) ++first;
        for (const ConversionType type : AllTypes) EXPECT_EQ(nearest_palette_index(colour, type), first) << i;
    }
}

}  // namespace
}  // namespace tess

namespace tess {
namespace {

// The search skips entries; it must still find what a scan of every entry
// finds, the lowest index at the smallest distance.
TEST(NearestPaletteIndex, AgreesWithAFullScan)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> channel(0, 255);
    for (int n = 0; n < 4000; ++n) {
        Rgb colour{channel(random), channel(random), channel(random)};
        if (n % 4 == 0) {  // palette colours nudged: ties and near-ties
            const auto& entry = Palette[static_cast<std::size_t>(n / 4 % 256)];
            colour = {std::clamp(entry.red + n % 3 - 1, 0, 255), entry.green, std::clamp(entry.blue - n % 2, 0, 255)};
        }
        for (const ConversionType type : AllTypes) {
            std::size_t expected = 0;
            std::uint64_t best = distance(colour, Palette[0], type);
            for (std::size_t i = 1; i < Palette.size(); ++i) {
                const std::uint64_t d = distance(colour, Palette[i], type);
                if (d < best) {
                    best = d;
                    expected = i;
                }
            }
            ASSERT_EQ(nearest_palette_index(colour, type), expected)
                << colour.red << "," << colour.green << "," << colour.blue << " type " << static_cast<int>(type);
        }
    }
}

}  // namespace
}  // namespace tess
