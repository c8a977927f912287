#include <gtest/gtest.h>

#include "pack/build.hpp"
#include "pack/picture.hpp"
#include "palette/ciede2000.hpp"

namespace tess {
namespace {

// Published CIEDE2000 reference pairs (Sharma, Wu and Dalal), chosen for the
// hue-angle and near-grey branches.
TEST(Ciede2000, ReferencePairs)
{
    struct Pair { CieLab a, b; double expected; };
    const Pair pairs[] = {
        {{50, 2.6772, -79.7751}, {50, 0, -82.7485}, 2.0425},
        {{50, 0, 0}, {50, -1, 2}, 2.3669},
        {{50, 2.49, -0.001}, {50, -2.49, 0.0009}, 7.1792},
        {{50, 2.5, 0}, {73, 25, -18}, 27.1492},
        {{50, 2.5, 0}, {50, 3.1736, 0.5854}, 1.0000},
        {{60.2574, -34.0099, 36.2677}, {60.4626, -34.1751, 39.4387}, 1.2644},
        {{2.0776, 0.0795, -1.1350}, {0.9033, -0.0636, -0.5514}, 0.9082},
    };
    for (const Pair& p : pairs) {
        EXPECT_NEAR(ciede2000(p.a, p.b), p.expected, 1e-4);
        EXPECT_NEAR(ciede2000(p.b, p.a), p.expected, 1e-4);
    }
    const CieLab red = cielab({255, 0, 0});
    EXPECT_NEAR(red.lightness, 53.24, 0.01);
    EXPECT_NEAR(red.a, 80.09, 0.01);
    EXPECT_NEAR(red.b, 67.20, 0.01);
}

// A horizontal grey gradient with a transparent hole: every dither keeps the
// hole, is deterministic, and Floyd-Steinberg's column means stay closer to
// the source than nearest-entry mapping does.
TEST(Dither, KeepsTransparencyAndFollowsTheGradient)
{
    Picture picture{64, 16, {}, {}};
    for (int v = 0; v < 64; ++v) picture.colours.push_back({{40 + v, 40 + v, 40 + v}, 255, std::nullopt});
    picture.colours.push_back({{0, 0, 0}, 0, std::nullopt});
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 64; ++x) picture.pixels.push_back(x >= 20 && x < 24 && y < 8 ? 64u : static_cast<std::uint32_t>(x));
    }
    const auto column_error = [&](const Image& image) {
        double error = 0;
        for (int x = 30; x < 64; ++x) {
            double sum = 0;
            for (int y = 0; y < 16; ++y) sum += Palette[static_cast<std::size_t>(image.pixels[static_cast<std::size_t>(y) * 64 + x])].green;
            error += std::abs(sum / 16 - (40 + x));
        }
        return error;
    };
    ColourRules rules;
    const Image plain = picture_image(picture, 0, 0, 64, 16, rules);
    for (const Dither dither : {Dither::None, Dither::FloydSteinberg, Dither::Bayer4, Dither::Bayer8}) {
        ColourOptions options;
        options.dither = dither;
        ColourTally tally;
        const Image image = picture_image(picture, 0, 0, 64, 16, rules, options, &tally);
        EXPECT_EQ(image.pixels, picture_image(picture, 0, 0, 64, 16, rules, options).pixels) << dither_name(dither);
        for (int y = 0; y < 8; ++y) EXPECT_EQ(image.pixels[static_cast<std::size_t>(y) * 64 + 21], TransparentPixel);
        if (dither == Dither::None) { EXPECT_EQ(image.pixels, plain.pixels); }
        if (dither == Dither::FloydSteinberg) { EXPECT_LT(column_error(image), column_error(plain) / 2); }
    }
}

}  // namespace
}  // namespace tess
