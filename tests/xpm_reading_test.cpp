#include <gtest/gtest.h>

#include <sstream>

#include "colour_table.hpp"
#include "test_support.hpp"
#include "xpm/header.hpp"
#include "xpm/picture.hpp"
#include "xpm/strings.hpp"

namespace tess {
namespace {

using testing::failure_of;

std::vector<std::string> strings_of(const std::string& text, std::size_t count)
{
    std::istringstream in(text);
    XpmStrings strings(in);
    std::vector<std::string> found;
    for (std::size_t i = 0; i < count; ++i) found.emplace_back(strings.next());
    return found;
}

TEST(XpmStrings, SkipsCommentsAndTheCAroundTheStrings)
{
    const std::string text =
        "/* XPM */\nstatic char *x[] = {\n/* \"not a string\" */ \"a b\",\t// \"nor this\"\n"
        "\"\" , /**/\"c/*d*/\"/ \"e\"};";
    EXPECT_EQ(strings_of(text, 4), (std::vector<std::string>{"a b", "", "c/*d*/", "e"}));
}

TEST(XpmStrings, InputThatEndsOrIsNotTextIsTheWrongFormat)
{
    const std::string wrong_format = "error: wrong xpm format\n";
    const std::string cases[] = {
        "",
        "/* XPM */ static char *x[] = {",
        "\"unterminated",
        "\"a\" /* unterminated comment",
        std::string("\"a\" \0 \"b\"", 9),
        std::string("\"a\0b\"", 5),
        "\"" + std::string(70000, 'x') + "\"",
    };
    for (const auto& text : cases) {
        EXPECT_EQ(failure_of([&] { strings_of(text, 2); }), wrong_format) << text.substr(0, 40);
    }
    EXPECT_EQ(failure_of([] { strings_of(std::string("/* \0 */ \"a\"", 11), 1); }), "") << "a comment may hold anything";
}

TEST(ValuesLine, ReadsFourNumbersAndIgnoresTheRest)
{
    const struct {
        const char* line;
        XpmValues values;
    } cases[] = {
        {"3 2 3 1", {3, 2, 3, 1}},
        {"64 255 300 2 ", {64, 255, 300, 2}},
        {"\t16  8\t4 1 7 7", {16, 8, 4, 1}},
        {"0 0 1 15 XPMEXT", {0, 0, 1, 15}},
    };
    for (const auto& c : cases) {
        const XpmValues v = parse_values_line(c.line);
        EXPECT_EQ(std::tie(v.width, v.height, v.colours, v.chars_per_pixel),
                  std::tie(c.values.width, c.values.height, c.values.colours, c.values.chars_per_pixel))
            << c.line;
    }
}

TEST(ValuesLine, NumbersOutsideTheLimitsFail)
{
    const std::string incomplete = "error: the values line must give width, height, colours and characters per pixel\n";
    constexpr XpmLimits tile_limits{64, 255};
    const struct {
        const char* line;
        std::string message;
        XpmLimits limits = tile_limits;
    } cases[] = {
        {"3 2 3", incomplete},
        {"", incomplete},
        {"3 2 x 1", incomplete},
        {"3 2 3 1x", incomplete},
        {"99999999999999999999 2 3 1", incomplete},
        {"65 2 3 1", "error: width 65 is outside 0 to 64\n"},
        {"-1 2 3 1", "error: width -1 is outside 0 to 64\n"},
        {"3 256 3 1", "error: height 256 is outside 0 to 255\n"},
        {"3 2 0 1", "error: number of colours 0 is outside 1 to 2147483647\n"},
        {"3 2 3 0", "error: characters per pixel 0 is outside 1 to 15\n"},
        {"3 2 3 16", "error: characters per pixel 16 is outside 1 to 15\n"},
        {"65 256 3 0", "error: width 65 is outside 0 to 64\n"},
        {"65 2 3 1", "", {}},
        {"16385 1 1 1", "error: width 16385 is outside 0 to 16384\n", {}},
        {"1 16385 1 1", "error: height 16385 is outside 0 to 16384\n", {}},
        {"16384 1024 1 1", "", {}},
        {"16384 1025 1 1", "error: width 16384 x height 1025 is more than 16777216 pixels\n", {}},
        {"16384 1025 1 0", "error: characters per pixel 0 is outside 1 to 15\n", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(failure_of([&] { parse_values_line(c.line, c.limits); }), c.message) << c.line;
    }
}

TEST(ColourLine, PicksTheColourByContext)
{
    const struct {
        const char* line;
        int cpp;
        std::string key;
        std::optional<Rgb> colour;
    } cases[] = {
        {"a c #646464", 1, "a", Rgb{100, 100, 100}},
        {"a\tc\t#FF0000 m black s name", 1, "a", Rgb{255, 0, 0}},
        {"a m white g4 gray50 g #010203", 1, "a", Rgb{1, 2, 3}},
        {"a m white g4 gray50", 1, "a", Rgb{127, 127, 127}},
        {"a s fire m red", 1, "a", Rgb{255, 0, 0}},
        {"ab c light goldenrod yellow s sun", 2, "ab", Rgb{250, 250, 210}},
        {" a c #fff", 2, " a", Rgb{255, 255, 255}},
        {"  c None", 2, "  ", std::nullopt},
        {"x c none", 1, "x", std::nullopt},
        {"x c #123456 s None", 1, "x", std::nullopt},
        {"None c #123456", 1, "N", std::nullopt},
    };
    for (const auto& c : cases) {
        const ColourDefinition d = parse_colour_line(c.line, c.cpp);
        EXPECT_EQ(d.key, c.key) << c.line;
        EXPECT_EQ(d.colour, c.colour) << c.line;
    }
}

TEST(ColourLine, LinesWithoutAColourFail)
{
    const struct {
        const char* line;
        int cpp;
        std::string message;
    } cases[] = {
        {"a", 1, "error: colour line \"a\" gives no colour\n"},
        {"a c", 1, "error: colour line \"a c\" gives no colour\n"},
        {"a #ff0000", 1, "error: colour line \"a #ff0000\" gives no colour\n"},
        {"a s name", 1, "error: colour line \"a s name\" gives no colour\n"},
        {"a c c #fff", 1, "error: colour line \"a c c #fff\" gives no colour\n"},
        {"ab", 3, "error: wrong xpm format\n"},
        {"a c bluish", 1, "error: unknown colour name bluish\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(failure_of([&] { parse_colour_line(c.line, c.cpp); }), c.message) << c.line;
}

// A fault in the rows gives its place beside its message, which stays as it
// was (a pixel's place is checked through tesspack, which passes it on).
TEST(XpmRows, FaultsGiveTheirPlace)
{
    std::istringstream short_row("\"2 2 1 1\", \"a c red\", \"aa\", \"a\"");
    try {
        read_xpm_picture(short_row);
        ADD_FAILURE() << "a short row read";
    } catch (const XpmError& error) {
        EXPECT_STREQ(error.what(), "wrong xpm format: row 1 is not 2 pixels wide");
        EXPECT_EQ(error.row(), 1);
    }

    ColourTable colours(Metric::L2, 1);
    colours.add({"a", Rgb{255, 0, 0}});
    colours.finish();
    std::vector<Pixel> pixels;
    try {
        row_pixels("aaz", 4, colours, pixels);
        ADD_FAILURE() << "tessenc took a pixel without a colour";
    } catch (const XpmError& error) {
        EXPECT_STREQ(error.what(), "pixel \"z\" has no colour");
        ASSERT_TRUE(error.pixel());
        EXPECT_EQ(std::pair(error.pixel()->x, error.pixel()->y), std::pair(2, 4));
    }
}

}  // namespace
}  // namespace tess
