#include <gtest/gtest.h>

#include <random>

#include "encoder_support.hpp"
#include "palette/metric.hpp"
#include "colour_table.hpp"

namespace tess {
namespace {

using testing::Bytes;
using testing::encode;

constexpr Metric AllTypes[] = {Metric::L1, Metric::L2, Metric::L3,
                                       Metric::L4};

TEST(EncodeImage, WorkedExampleGivesItsBytesUnderEveryType)
{
    for (const Metric type : AllTypes) {
        const auto encoded = encode(testing::WorkedExampleXpm, type);
        EXPECT_EQ(encoded.failure, "");
        EXPECT_EQ(encoded.tile, testing::WorkedExampleTile) << static_cast<int>(type);
        EXPECT_EQ(encoded.report, "width = 3  height = 2  colors = 3\n14\n");
    }
}

// A row of XPM text as tessenc encodes it: a row of width 0 adds nothing,
// a pixel without a colour fails with tessenc's message.
void encode_row(std::string_view row, const ColourTable& colours, Bytes& out)
{
    if (row.empty()) return;
    std::vector<Pixel> pixels;
    try {
        row_pixels(row, 0, colours, pixels);
    } catch (const XpmError& error) {
        throw Failure("error: " + std::string(error.what()) + "\n");
    }
    tess::encode_row(pixels, out);
}

ColourTable sample_table()
{
    ColourTable table(Metric::L2, 2);
    table.add({"..", std::nullopt});
    table.add({"a ", Rgb{100, 100, 100}});
    table.add({" b", Rgb{0, 255, 0}});
    table.add({"a ", Rgb{255, 0, 0}});  // a later line of the same key loses
    table.finish();
    return table;
}

TEST(EncodeRow, RunsAreMaximalAndAlternate)
{
    const struct {
        const char* row;
        Bytes bytes;
    } cases[] = {
        {"......", {0x01, 3, 0x02}},
        {"a  ba ", {0x00, 3, 7, 232, 7, 0x02}},
        {"a ....", {0x00, 1, 7, 0x01, 2, 0x02}},
        {"..a .. b..", {0x01, 1, 0x00, 1, 7, 0x01, 1, 0x00, 1, 232, 0x01, 1, 0x02}},
        {"", {}},
    };
    const ColourTable table = sample_table();
    for (const auto& c : cases) {
        Bytes out{0xaa};
        encode_row(c.row, table, out);
        EXPECT_EQ(Bytes(out.begin() + 1, out.end()), c.bytes) << c.row;
    }
}

TEST(EncodeRow, APixelWithoutAColourAddsNothing)
{
    Bytes out{0xaa};
    try {
        encode_row("a zz.", sample_table(), out);  // "a " "zz" ". " — the last is no key either
        ADD_FAILURE() << "unknown pixel accepted";
    } catch (const Failure& failure) {
        EXPECT_STREQ(failure.what(), "error: pixel \"zz\" has no colour\n");
    }
    EXPECT_EQ(out, Bytes{0xaa});
}

TEST(EncodeImage, ShapesAndDamage)
{
    const struct {
        const char* what;
        std::string body;  // after the values line
        std::string values;
        Bytes image;  // what follows the scene record
        std::string report;
        std::string failure;
    } cases[] = {
        {"width 0", "\"a c red\",\n\"\",\n\"\"", "0 2 1 1", {0x02, 0x01, 0x00, 0x03}, "width = 0  height = 2  colors = 1\n1\n",
         ""},
        {"height 0", "\"a c red\"", "4 0 1 1", {0x00, 0x00, 0x00}, "width = 4  height = 0  colors = 1\n", ""},
        {"no transparent colour", "\"a c red\",\n\"aa\"", "2 1 1 1", {0x01, 0x06, 0x00, 0x00, 0x02, 228, 228, 0x02, 0x03},
         "width = 2  height = 1  colors = 1\n6\n", ""},
        {"the last None line is the transparent one", "\"a c None\",\n\"b c None\",\n\"c c red\",\n\"bc\"", "2 1 3 1",
         {0x01, 0x07, 0x00, 0x01, 0x01, 0x00, 0x01, 228, 0x02, 0x03}, "width = 2  height = 1  colors = 3\n7\n", ""},
        {"an earlier None colour has no colour", "\"a c None\",\n\"b c None\",\n\"c c red\",\n\"cc\",\n\"ac\"",
         "2 2 3 1", {0x02, 0x00, 0x00, 0x00, 0x02, 228, 228, 0x02}, "width = 2  height = 2  colors = 3\n",
         "error: pixel \"a\" has no colour\n"},
        {"short row leaves the earlier rows", "\"a c red\",\n\"aa\",\n\"a\"", "2 2 1 1",
         {0x02, 0x00, 0x00, 0x00, 0x02, 228, 228, 0x02}, "width = 2  height = 2  colors = 1\n",
         "error: wrong xpm format\n"},
        {"long row", "\"a c red\",\n\"aaa\"", "2 1 1 1", {0x01, 0x00, 0x00}, "width = 2  height = 1  colors = 1\n",
         "error: wrong xpm format\n"},
        {"rows missing", "\"a c red\",\n\"aa\"\n};", "2 2 1 1", {0x02, 0x00, 0x00, 0x00, 0x02, 228, 228, 0x02},
         "width = 2  height = 2  colors = 1\n", "error: wrong xpm format\n"},
        {"colour lines missing", "\"a c red\"\n};", "2 2 2 1", {}, "width = 2  height = 2  colors = 2\n",
         "error: wrong xpm format\n"},
    };
    for (const auto& c : cases) {
        const auto encoded = encode("static char *x[] = {\n\"" + c.values + "\",\n" + c.body + "\n};\n");
        EXPECT_EQ(encoded.failure, c.failure) << c.what;
        EXPECT_EQ(encoded.tile, testing::concat({testing::WalkHeaderAndScene, c.image})) << c.what;
        EXPECT_EQ(encoded.report, c.report) << c.what;
    }
}

// Pictures the way the everyday tools write them must come out as drawn.
TEST(EncodeImage, XpmsInTheStylesOfEverydayTools)
{
    const std::string red = "228", green = "232", black = "000", grey = "006", dark = "000", none = "...";
    const struct {
        const char* tool;
        std::string xpm;
        std::vector<std::string> rows;
    } cases[] = {
        {"ImageMagick",
         "/* XPM */\nstatic char *sample[] = {\n/* columns rows colors chars-per-pixel */\n\"3 2 4 1 \",\n"
         "\"  c None\",\n\". c black\",\n\"X c #808080808080\",\n\"o c red\",\n/* pixels */\n\" .X\",\n\"oo \"\n};\n",
         {none + black + grey, red + red + none}},
        {"netpbm",
         "/* XPM */\nstatic char *noname[] = {\n/* width height ncolors chars_per_pixel */\n\"3 2 3 2\",\n"
         "/* colors */\n\"   c Black\",\n\" . c #FF0000\",\n\" X c None\",\n/* pixels */\n\"   . X\",\n"
         "\" X .  \"\n};\n",
         {dark + red + none, none + red + dark}},
        {"GIMP and libXpm",
         "/* XPM */\nstatic char * gimp_xpm[] = {\n\"3 2 3 1 0 0\",\n\" \tc None\",\n\".\tc #FF0000 m black s red\",\n"
         "\"+\tc #00FF00\",\n\".+ \",\n\" +.\"};\n",
         {red + green + none, none + green + red}},
    };
    for (const auto& c : cases) {
        const auto encoded = encode(c.xpm);
        ASSERT_EQ(encoded.failure, "") << c.tool;
        auto rows = testing::decoded_rows(encoded.tile);
        for (auto& row : rows) row = row.substr(0, 9);
        EXPECT_EQ(rows, c.rows) << c.tool;
    }
}

// Pictures built here go through tessenc and tessdec and come back as the
// same picture in palette colours, padded to 64.
TEST(EncodeImage, RoundTripsGeneratedPictures)
{
    std::mt19937 random(2026);
    const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (int picture = 0; picture < 60; ++picture) {
        const int width = picture == 0 ? 64 : pick(0, 64);
        const int height = pick(1, 12);
        const int cpp = pick(1, 3);
        const int colours = pick(1, 40);
        const Metric type = AllTypes[picture % 4];

        std::vector<std::string> keys;
        std::vector<std::optional<Rgb>> values;
        std::string xpm = "static char *p[] = {\n\"" + std::to_string(width) + " " + std::to_string(height) + " " +
                          std::to_string(colours) + " " + std::to_string(cpp) + "\",\n";
        for (int i = 0; i < colours; ++i) {
            std::string key = cpp == 1 ? std::string(1, static_cast<char>('#' + i))
                                       : std::string{static_cast<char>('a' + i % 26), static_cast<char>(' ' + i / 26)};
            if (cpp == 3) key += '~';
            const bool transparent = i == 0 && picture % 3 != 0;
            const Rgb rgb{pick(0, 255), pick(0, 255), pick(0, 255)};
            xpm += "\"" + key + (transparent ? " c None" : testing::formatted_hex(rgb)) + "\",\n";
            keys.push_back(key);
            values.push_back(transparent ? std::nullopt : std::optional<Rgb>(rgb));
        }
        std::vector<std::string> expected;
        for (int y = 0; y < height; ++y) {
            std::string row, pixels;
            for (int x = 0; x < width; ++x) {
                const auto i = static_cast<std::size_t>(pick(0, colours - 1));
                row += keys[i];
                pixels += values[i] ? formatted("%.3d", nearest_index(*values[i], type)) : "...";
            }
            xpm += "\"" + row + "\",\n";
            expected.push_back(pixels + testing::repeat("...", 64 - width));
        }
        xpm += "};\n";

        const auto encoded = encode(xpm, type);
        ASSERT_EQ(encoded.failure, "") << xpm;
        EXPECT_EQ(testing::decoded_rows(encoded.tile), expected) << xpm;
    }
}

}  // namespace
}  // namespace tess
