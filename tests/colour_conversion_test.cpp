#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <random>
#include <string_view>

#include "pack/build.hpp"
#include "pack/compare.hpp"
#include "pack/error.hpp"
#include "pack/image_files.hpp"
#include "pack/manifest.hpp"
#include "pack/palette_files.hpp"
#include "pack/colours.hpp"
#include "palette/ciede2000.hpp"
#include "png/png_reader.hpp"
#include "png/png_writer.hpp"
#include "png_support.hpp"

namespace tess {
namespace {

using testing::decode_png;
using testing::DecodedPng;

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
    const Image plain = picture_image(whole_picture(picture), rules);
    for (const Dither dither : {Dither::None, Dither::FloydSteinberg, Dither::Bayer4, Dither::Bayer8}) {
        ColourOptions options;
        options.dither = dither;
        ColourTally tally;
        const Image image = picture_image(whole_picture(picture), rules, options, &tally);
        EXPECT_EQ(image.pixels, picture_image(whole_picture(picture), rules, options).pixels) << dither_name(dither);
        for (int y = 0; y < 8; ++y) EXPECT_EQ(image.pixels[static_cast<std::size_t>(y) * 64 + 21], TransparentPixel);
        if (dither == Dither::None) { EXPECT_EQ(image.pixels, plain.pixels); }
        if (dither == Dither::FloydSteinberg) { EXPECT_LT(column_error(image), column_error(plain) / 2); }
    }
}

using Bytes = std::vector<std::uint8_t>;
constexpr PngLimits Limits{4096, 4096, std::uint64_t{1} << 24};

class Pictures final : public PictureSource {
public:
    Bytes read(const std::string& path) override { return files.at(path); }
    std::map<std::string, Bytes> files;
};

Manifest manifest_of(std::string_view text) { return parse_manifest(text, "m.toml"); }

// A soft-edged, shaded RGBA picture: a lit disc whose rim fades out.
Bytes soft_disc(std::uint32_t width, std::uint32_t height)
{
    Bytes rgba;
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const double r = std::hypot(x - width / 2.0, y - height / 2.0) / (std::min(width, height) / 2.0);
            const auto lit = static_cast<std::uint8_t>(std::clamp(255 * (1 - r), 0.0, 255.0));
            rgba.insert(rgba.end(), {lit, static_cast<std::uint8_t>(90 + x), static_cast<std::uint8_t>(200 - y),
                                     static_cast<std::uint8_t>(r < 0.7 ? 255 : r < 1 ? 255 * (1 - r) / 0.3 : 0)});
        }
    }
    return write_rgba_png(width, height, rgba);
}

TEST(ColourKeys, BadValuesAreRefusedAtTheirLineAndColumn)
{
    const std::string scene = "[[scene]]\nname = \"a\"\nframes = 0\n";
    const struct {
        std::string manifest;
        int line, column;
        std::string fault;
    } cases[] = {
        {"matte = \"red\"\n", 1, 9, "'matte' must be a colour"},
        {"matte = \"#12345\"\n", 1, 9, "'matte' must be a colour"},
        {"matte = 0x102030\n", 1, 9, "'matte' must be a colour"},
        {"alpha_threshold = 256\n", 1, 19, "from 0 to 255"},
        {"alpha_threshold = -1\n", 1, 19, "from 0 to 255"},
        {"alpha_threshold = 0.5\n", 1, 19, "from 0 to 255"},
        {"dither = \"ordered\"\n", 1, 10, "one of none, floyd-steinberg, bayer4, bayer8"},
        {"dither = true\n", 1, 10, "one of none"},
        {scene + "matte = \"#gggggg\"\n", 4, 9, "'matte' must be a colour \"#rrggbb\" in scene 0"},
        {scene + "alpha_threshold = 300\n", 4, 19, "from 0 to 255 in scene 0"},
        {scene + "\n" + scene + "dither = \"Bayer8\"\n", 8, 10, "one of none, floyd-steinberg, bayer4, bayer8 in scene 1"},
    };
    for (const auto& c : cases) {
        try {
            manifest_of(c.manifest);
            ADD_FAILURE() << c.manifest << " was taken";
        } catch (const PackError& error) {
            EXPECT_EQ(error.where().file, "m.toml") << c.manifest;
            EXPECT_EQ(error.where().line, c.line) << c.manifest;
            EXPECT_EQ(error.where().column, c.column) << c.manifest;
            EXPECT_NE(std::string(error.what()).find(c.fault), std::string::npos) << c.manifest << ": " << error.what();
        }
    }
    // Good values at the top hold for every scene that sets none, and are written back out.
    const Manifest good = manifest_of("dither = \"bayer4\"\nmatte = \"#A0b0C0\"\n" + scene + "\n" + scene +
                                      "alpha_threshold = 0\ndither = \"none\"\n");
    EXPECT_EQ(good.scenes[0].colour.dither, Dither::Bayer4);
    EXPECT_EQ(good.scenes[1].colour.dither, Dither::None);
    EXPECT_EQ(good.scenes[1].colour.matte, (Rgb{0xa0, 0xb0, 0xc0}));
    EXPECT_EQ(good.scenes[1].colour.alpha_threshold, 0);
    const Manifest again = manifest_of(manifest_text(good));
    for (std::size_t k = 0; k < 2; ++k) EXPECT_EQ(again.scenes[k].colour, good.scenes[k].colour);
}

// The report and the comparison only look: the tile bytes are the same with
// and without them, for every dither, with soft edges, in a sheet too.
TEST(ColourReport, NeverChangesTheTileBytes)
{
    Pictures pictures;
    pictures.files["disc.png"] = soft_disc(40, 30);
    pictures.files["sheet.png"] = soft_disc(128, 20);
    for (const char* dither : {"none", "floyd-steinberg", "bayer4", "bayer8"}) {
        const Manifest manifest = manifest_of(std::string("dither = \"") + dither +
                                              "\"\nmatte = \"#203040\"\nalpha_threshold = 60\n"
                                              "[[scene]]\nname = \"a\"\nframes = 2\nimages = [\"disc.png\", \"disc.png\"]\n"
                                              "[[scene]]\nname = \"b\"\nframes = 2\nsheet = \"sheet.png\"\n");
        const Bytes plain = build_tile_file(manifest, pictures).bytes;
        ColourReport report;
        EXPECT_EQ(build_tile_file(manifest, pictures, DefaultMaxTileBytes, &report).bytes, plain) << dither;
        ASSERT_EQ(report.scenes.size(), 2u);
        EXPECT_GT(report.scenes[1].figures.pixels, 0u) << "the sheet's pixels are counted";
        report.compare_pixels = MaxPicturePixels;
        EXPECT_EQ(build_tile_file(manifest, pictures, DefaultMaxTileBytes, &report).bytes, plain) << dither;
    }
}

// A picture drawn in palette colours has no error to spread: every dither
// gives each pixel its colour's entry (the lowest of equal ones), as
// mapping without dithering does. Entry 59, #280800, lies off the middle of
// its cell of the dithering's lookup.
TEST(Dither, PaletteColoursComeOutAsThemselves)
{
    const auto picture_of = [](std::vector<std::uint8_t> entries, auto entry_at) {
        Picture picture{48, 20, {}, {}};
        for (const std::uint8_t entry : entries) picture.colours.push_back({Palette[entry], 255, std::nullopt});
        picture.colours.push_back({{0, 0, 0}, 0, std::nullopt});
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) picture.pixels.push_back(entry_at(x, y));
        }
        return picture;
    };
    std::mt19937 random(7);
    std::vector<std::uint8_t> all(256);
    std::iota(all.begin(), all.end(), 0);
    const struct {
        const char* what;
        Picture picture;
    } cases[] = {
        {"all entry 59", picture_of({59}, [](int, int) { return 0u; })},
        {"every entry, some transparent", picture_of(all, [&](int, int) { return static_cast<std::uint32_t>(random() % 257); })},
        {"stripes of two entries", picture_of({59, 35}, [](int x, int) { return static_cast<std::uint32_t>(x / 3 % 2); })},
    };
    for (const auto& c : cases) {
        ColourRules rules;
        const Image plain = picture_image(whole_picture(c.picture), rules);
        for (const Dither dither : {Dither::FloydSteinberg, Dither::Bayer4, Dither::Bayer8}) {
            ColourOptions options;
            options.dither = dither;
            EXPECT_EQ(picture_image(whole_picture(c.picture), rules, options).pixels, plain.pixels) << c.what << ", " << dither_name(dither);
        }
    }
}

// Colours hidden behind alpha 0 never reach a dithered pixel, and every
// dither gives the same indices again.
TEST(Dither, TransparentPixelsNeitherGiveNorTakeError)
{
    Picture picture{48, 12, {}, {}};
    for (int v = 0; v < 48; ++v) picture.colours.push_back({{30 + 4 * v, 90, 200 - 3 * v}, 255, std::nullopt});
    picture.colours.push_back({{0, 0, 0}, 0, std::nullopt});
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 48; ++x) picture.pixels.push_back((x + y) % 5 == 0 ? 48u : static_cast<std::uint32_t>(x));
    }
    Picture hidden_white = picture;
    hidden_white.colours.back().rgb = {255, 255, 255};
    for (const Dither dither : {Dither::FloydSteinberg, Dither::Bayer4, Dither::Bayer8}) {
        ColourOptions options;
        options.dither = dither;
        ColourRules rules;
        const Image image = picture_image(whole_picture(picture), rules, options);
        EXPECT_EQ(picture_image(whole_picture(hidden_white), rules, options).pixels, image.pixels) << dither_name(dither);
        ColourRules fresh;
        EXPECT_EQ(picture_image(whole_picture(picture), fresh, options).pixels, image.pixels) << dither_name(dither);
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 48; ++x) {
                const Pixel value = image.pixels[static_cast<std::size_t>(y) * TileWidth + static_cast<std::size_t>(x)];
                EXPECT_EQ(value == TransparentPixel, (x + y) % 5 == 0) << dither_name(dither) << " at " << x << ", " << y;
            }
        }
    }
}

// Over generated images, opaque ones and ones using 254 among them: every
// unpacked PNG has a transparent index, and no pixel of the image uses it.
TEST(UnpackedPng, AlwaysHasATransparentIndexTheImageDoesNotUse)
{
    std::uint32_t seed = 17;
    const auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7fff; };
    for (int round = 0; round < 40; ++round) {
        const int width = 1 + static_cast<int>(next() % 64), height = 1 + static_cast<int>(next() % 20);
        std::vector<Pixel> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        const bool opaque = round % 2 == 0;
        const unsigned spread = round % 3 == 0 ? 256 : 20;  // all over, or among the top entries
        for (Pixel& pixel : pixels) {
            pixel = !opaque && next() % 7 == 0 ? TransparentPixel : static_cast<Pixel>(255 - next() % spread);
        }
        PixelUse use{};
        for (const Pixel pixel : pixels) {
            if (pixel == TransparentPixel) {
                use.transparent = true;
            } else {
                use.indices[static_cast<std::size_t>(pixel)] = true;
            }
        }
        const ImageFile file = indexed_file(width, height, pixels, use, ImageFormat::Png, "x");
        if (file.format != ImageFormat::Png) {
            EXPECT_TRUE(std::all_of(use.indices.begin(), use.indices.end(), [](bool used) { return used; }));
            continue;
        }
        const DecodedPng png = decode_png(file.bytes, Limits);
        ASSERT_TRUE(png.indexed.has_value());
        std::vector<std::size_t> clear;
        for (std::size_t k = 0; k < png.indexed->alpha.size(); ++k) {
            if (png.indexed->alpha[k] == 0) clear.push_back(k);
        }
        ASSERT_EQ(clear.size(), 1u) << "round " << round;
        EXPECT_FALSE(use.indices[clear[0]]) << "round " << round;
        if (!use.indices[254]) {
            EXPECT_EQ(clear[0], 254u) << "round " << round;
        }
        for (std::size_t k = 0; k < pixels.size(); ++k) {
            EXPECT_EQ(png.indexed->indices[k] == clear[0], pixels[k] == TransparentPixel) << "round " << round;
        }
    }
}

TEST(PaletteFiles, JascPalHasItsHeaderAndOneLineAnEntry)
{
    const Bytes file = jasc_palette_file();
    const std::string text(file.begin(), file.end());
    ASSERT_TRUE(text.starts_with("JASC-PAL\r\n0100\r\n256\r\n"));
    std::size_t lines = 0, at = std::string("JASC-PAL\r\n0100\r\n256\r\n").size();
    for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2, ++lines) {
        const Rgb& entry = Palette[lines];
        EXPECT_EQ(text.substr(at, end - at),
                  std::to_string(entry.red) + " " + std::to_string(entry.green) + " " + std::to_string(entry.blue));
    }
    EXPECT_EQ(lines, 256u);
    EXPECT_EQ(at, text.size());
}

// Rows of three columns as wide as the widest image, each scaled, with gaps
// between; where the source is transparent, so are the result and the heat.
TEST(Compare, PictureSizeAndWhatEachColumnHolds)
{
    Pictures pictures;
    pictures.files["disc.png"] = soft_disc(20, 7);
    pictures.files["small.png"] = soft_disc(10, 5);
    const Manifest manifest = manifest_of("[[scene]]\nname = \"a\"\nframes = 2\nimages = [\"disc.png\", \"small.png\"]\n");
    for (const int scale : {1, 3}) {
        const DecodedPng png = decode_png(compare_png(manifest, pictures, scale), Limits);
        EXPECT_EQ(png.width, static_cast<std::uint32_t>(3 * 20 * scale + 2 * 4));
        EXPECT_EQ(png.height, static_cast<std::uint32_t>(7 * scale + 4 + 5 * scale));
    }
    const DecodedPng png = decode_png(compare_png(manifest, pictures, 1), Limits);
    const auto alpha = [&](std::uint32_t x, std::uint32_t y) { return png.rgba[(y * png.width + x) * 4 + 3]; };
    EXPECT_EQ(alpha(0, 0), 0);                         // the disc's corner
    EXPECT_EQ(alpha(10, 3), 255);                      // its middle, as drawn,
    EXPECT_EQ(alpha(24 + 10, 3), 255);                 // in the palette
    EXPECT_EQ(alpha(48 + 10, 3), 255);                 // and as heat
    EXPECT_EQ(alpha(24 + 15, 9 + 2), alpha(48 + 15, 9 + 2));  // right of the small image: nothing
    EXPECT_EQ(heat_colour(0), (std::array<std::uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ(heat_colour(30), (std::array<std::uint8_t, 3>{255, 255, 255}));
    EXPECT_THROW(compare_png(manifest_of(""), pictures, 1), PackError);
}

}  // namespace
}  // namespace tess
