#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "palette/palette.hpp"

namespace tess {
namespace {

int brightness(const PaletteEntry& e) { return e.red + e.green + e.blue; }

TEST(Palette, HoldsTwoHundredThirtyNineDistinctColoursInAllRows)
{
    std::set<std::tuple<int, int, int>> distinct;
    for (const auto& e : Palette) {
        EXPECT_GE(std::min({e.red, e.green, e.blue}), 0);
        EXPECT_LE(std::max({e.red, e.green, e.blue}), 255);
        distinct.emplace(e.red, e.green, e.blue);
    }
    EXPECT_EQ(distinct.size(), 239u);
}

TEST(Palette, DuplicatesAreKeptWhereTheFormatPutsThem)
{
    for (std::size_t i = 240; i <= 254; ++i) EXPECT_EQ(Palette[i], Palette[0]) << i;
    EXPECT_EQ(Palette[155], (PaletteEntry{0x20, 0x10, 0x00}));
    EXPECT_EQ(Palette[23], Palette[155]);
    EXPECT_EQ(Palette[255], (PaletteEntry{0x00, 0xff, 0x00}));
    EXPECT_EQ(Palette[232], Palette[255]);
}

// A slipped entry in the table breaks the ramps' order, so this catches
// transcription faults that spot checks would miss.
TEST(Palette, GreyRampAndColourRampsGetDarker)
{
    for (std::size_t i = 2; i <= 11; ++i) {
        EXPECT_EQ(Palette[i].red, Palette[i].green);
        EXPECT_EQ(Palette[i].green, Palette[i].blue);
        EXPECT_LT(brightness(Palette[i]), brightness(Palette[i - 1])) << i;
    }
    for (std::size_t ramp = 12; ramp < 228; ramp += 12) {
        for (std::size_t i = ramp + 1; i < ramp + 12; ++i) {
            EXPECT_LT(brightness(Palette[i]), brightness(Palette[i - 1])) << i;
        }
    }
}

TEST(Palette, SaturatedColoursSitAt228To239)
{
    const PaletteEntry expected[] = {{255, 0, 0},   {255, 85, 0},  {255, 170, 0}, {255, 255, 0},
                                     {0, 255, 0},   {0, 255, 255}, {0, 170, 255}, {0, 85, 255},
                                     {0, 0, 255},   {127, 0, 255}, {255, 0, 255}, {255, 0, 127}};
    for (std::size_t i = 0; i < 12; ++i) EXPECT_EQ(Palette[228 + i], expected[i]) << 228 + i;
}

}  // namespace
}  // namespace tess
