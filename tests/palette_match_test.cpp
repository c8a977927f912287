#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>

#include "palette/metric.hpp"

namespace tess {
namespace {

constexpr Metric RgbMetrics[] = {Metric::L1, Metric::L2, Metric::L3, Metric::L4};

TEST(Metric, OnlyTheExactNamesAreAcceptedAndNamedBack)
{
    for (const Metric metric : {Metric::L1, Metric::L2, Metric::L3, Metric::L4, Metric::OkLab}) {
        EXPECT_EQ(parse_metric(metric_name(metric)), metric) << metric_name(metric);
    }
    EXPECT_EQ(metric_name(Metric::L3), "L3");
    EXPECT_EQ(metric_name(Metric::OkLab), "oklab");
    for (const char* wrong : {"l1", "L1x", "L5", "L", "", " L1", "L0", "OkLab", "OKLAB", "oklab "}) {
        EXPECT_EQ(parse_metric(wrong), std::nullopt) << wrong;
    }
    EXPECT_THROW(nearest_rgb_index({1, 2, 3}, Metric::OkLab), std::invalid_argument);
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
        for (const Metric type : RgbMetrics) {
            EXPECT_EQ(nearest_index(c.colour, type), c.index)
                << c.colour.red << "," << c.colour.green << "," << c.colour.blue << " type " << static_cast<int>(type);
        }
    }
}

TEST(NearestPaletteIndex, TheTypeCanChangeTheAnswer)
{
    const Rgb colour{0xfe, 0x7f, 0x01};
    EXPECT_EQ(nearest_index(colour, Metric::L1), 229);
    EXPECT_EQ(nearest_index(colour, Metric::L2), 149);
    EXPECT_EQ(nearest_index(colour, Metric::L3), 149);
    EXPECT_EQ(nearest_index(colour, Metric::L4), 149);
}

// Every palette colour is its own nearest entry, at its first index.
TEST(NearestPaletteIndex, PaletteColoursMapToTheirFirstIndex)
{
    for (std::size_t i = 0; i < Palette.size(); ++i) {
        const Rgb colour{Palette[i].red, Palette[i].green, Palette[i].blue};
        std::size_t first = 0;
        while (!(Palette[first] == Palette[i])) ++first;
        for (const Metric metric : {Metric::L1, Metric::L2, Metric::L3, Metric::L4, Metric::OkLab}) {
            EXPECT_EQ(nearest_index(colour, metric), first) << i << " " << metric_name(metric);
        }
    }
}

}  // namespace
}  // namespace tess

namespace tess {
namespace {

int power_of(Metric metric) { return static_cast<int>(metric) + 1; }

// The sum over the channels of |difference| to the power, in whole numbers:
// 3 x 255^4 still fits.
std::uint64_t power_distance(const Rgb& a, const Rgb& b, int power)
{
    std::uint64_t sum = 0;
    for (const std::int64_t d : {a.red - b.red, a.green - b.green, a.blue - b.blue}) {
        std::uint64_t term = 1;
        for (int p = 0; p < power; ++p) term *= static_cast<std::uint64_t>(d < 0 ? -d : d);
        sum += term;
    }
    return sum;
}

// The search skips entries; it must still find what a scan of every entry
// finds, the lowest index at the smallest distance, out to the cube's corners.
TEST(NearestPaletteIndex, AgreesWithAFullScan)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> channel(0, 255);
    for (int n = 0; n < 4000; ++n) {
        Rgb colour{channel(random), channel(random), channel(random)};
        if (n < 8) {
            colour = {n & 1 ? 255 : 0, n & 2 ? 255 : 0, n & 4 ? 255 : 0};
        } else if (n % 4 == 0) {  // palette colours nudged: ties and near-ties
            const auto& entry = Palette[static_cast<std::size_t>(n / 4 % 256)];
            colour = {std::clamp(entry.red + n % 3 - 1, 0, 255), entry.green, std::clamp(entry.blue - n % 2, 0, 255)};
        }
        for (const Metric type : RgbMetrics) {
            std::size_t expected = 0;
            std::uint64_t best = power_distance(colour, Palette[0], power_of(type));
            for (std::size_t i = 1; i < Palette.size(); ++i) {
                const std::uint64_t d = power_distance(colour, Palette[i], power_of(type));
                if (d < best) {
                    best = d;
                    expected = i;
                }
            }
            ASSERT_EQ(nearest_index(colour, type), expected)
                << colour.red << "," << colour.green << "," << colour.blue << " type " << static_cast<int>(type);
        }
    }
}

}  // namespace
}  // namespace tess
