#include <gtest/gtest.h>

#include <algorithm>

#include "xpm/colour_value.hpp"
#include "test_support.hpp"
#include "x11_colour_names.hpp"

namespace tess {
namespace {

TEST(ParseColour, HexFormsKeepTheMostSignificantDigits)
{
    const struct {
        const char* text;
        Rgb rgb;
    } cases[] = {
        {"#fff", {255, 255, 255}},
        {"#1aF", {0x11, 0xaa, 0xff}},
        {"#fe7f01", {0xfe, 0x7f, 0x01}},
        {"#FE7F01", {0xfe, 0x7f, 0x01}},
        {"#12a34b56c", {0x12, 0x34, 0x56}},
        {"#121234345656", {0x12, 0x34, 0x56}},
        {"#FFFFffff0000", {255, 255, 0}},
    };
    for (const auto& c : cases) EXPECT_EQ(parse_colour(c.text), c.rgb) << c.text;
}

TEST(ParseColour, NamesIgnoreCaseAndSpaces)
{
    const struct {
        const char* text;
        Rgb rgb;
    } cases[] = {
        {"black", {0, 0, 0}},
        {"Black", {0, 0, 0}},
        {"RED", {255, 0, 0}},
        {"gray50", {127, 127, 127}},
        {"Grey", {190, 190, 190}},
        {"LightGoldenrodYellow", {250, 250, 210}},
        {"light goldenrod yellow", {250, 250, 210}},
        {"gold", {255, 215, 0}},
    };
    for (const auto& c : cases) EXPECT_EQ(parse_colour(c.text), c.rgb) << c.text;
}

TEST(ParseColour, NoneInAnyCaseIsTransparent)
{
    for (const char* text : {"None", "none", "NONE"}) EXPECT_EQ(parse_colour(text), std::nullopt) << text;
}

TEST(ParseColour, MalformedValuesAndUnknownNamesFail)
{
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"#", "error: bad colour value #\n"},
        {"#ff", "error: bad colour value #ff\n"},
        {"#fffff", "error: bad colour value #fffff\n"},
        {"#ggg", "error: bad colour value #ggg\n"},
        {"#1234567890abcdef", "error: bad colour value #1234567890abcdef\n"},
        {"#12 34 56", "error: bad colour value #12 34 56\n"},
        {"chartreuse-ish", "error: unknown colour name chartreuse-ish\n"},
        {"fff", "error: unknown colour name fff\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(testing::failure_of([&] { parse_colour(c.text); }), c.message) << c.text;
}

TEST(X11Colours, TableIsSortedFoldedAndComplete)
{
    EXPECT_EQ(X11Colours.size(), 658u);
    EXPECT_TRUE(std::is_sorted(X11Colours.begin(), X11Colours.end(),
                               [](const X11Colour& a, const X11Colour& b) { return a.name < b.name; }));
    EXPECT_EQ(std::adjacent_find(X11Colours.begin(), X11Colours.end(),
                                 [](const X11Colour& a, const X11Colour& b) { return a.name == b.name; }),
              X11Colours.end());
    for (const X11Colour& colour : X11Colours) {
        EXPECT_EQ(colour.name.find_first_of(" ABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string_view::npos) << colour.name;
        EXPECT_EQ(find_x11_colour(colour.name), colour.rgb) << colour.name;
    }
}

}  // namespace
}  // namespace tess
