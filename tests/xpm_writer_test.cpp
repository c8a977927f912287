#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "programs/failure.hpp"
#include "test_support.hpp"
#include "xpm/indexed.hpp"
#include "xpm_writer.hpp"

namespace tess {
namespace {

using testing::Bytes;
using testing::repeat;

std::string xpm_of(const Bytes& data, int height = 1)
{
    std::ostringstream out;
    write_xpm(out, "img", height, data, check_image_data(data));
    return out.str();
}

std::string body_of(const std::string& xpm)
{
    return xpm.substr(testing::xpm_head("img").size());
}

TEST(CheckImageData, ListsEveryByteValueInOrderOfFirstOccurrence)
{
    const UsedValues used = check_image_data(testing::WorkedExampleData);
    ASSERT_EQ(used.count, 6u);
    EXPECT_EQ(Bytes(used.values.begin(), used.values.begin() + 6), (Bytes{1, 2, 0, 7, 232, 3}));
    EXPECT_EQ(check_image_data({}).count, 0u);
}

TEST(CheckImageData, RejectsRunsThatReachPastTheData)
{
    const Bytes damaged[] = {
        {0x00},                    // literal run without its count
        {0x01},                    // transparent run without its count
        {0x02, 0x00, 0x03, 0x05},  // literal run of 3 with one index left
        {0x00, 0x01},              // literal run of 1 with no index
        {0x02, 0x02, 0x01},        // count missing after rows
    };
    for (const auto& data : damaged) {
        EXPECT_THROW(check_image_data(data), TileError) << ::testing::PrintToString(data);
    }
    const Bytes sound[] = {{0x00, 0x00}, {0x01, 0xff}, {0x00, 0x02, 0x00, 0x01}, {0x07, 0x03}};
    for (const auto& data : sound) EXPECT_NO_THROW(check_image_data(data)) << ::testing::PrintToString(data);
}

TEST(WriteXpm, WorkedExampleGivesTheDocumentedFile)
{
    EXPECT_EQ(xpm_of(testing::WorkedExampleData, 2), testing::worked_example_xpm("img"));
}

TEST(WriteXpm, RowsArePaddedAndClosed)
{
    const std::string full_row = repeat("001", 64);
    const struct {
        const char* what;
        Bytes data;
        std::string body;
    } cases[] = {
        {"no data", {}, "\"64 1 1 3\",\n\"... c None\"\n};\n"},
        {"empty row",
         {0x02, 0x03},
         "\"64 1 3 3\",\n\"... c None\",\n\"002 c #e0e0e0\",\n\"003 c #c4c4c4\",\n\"" + repeat("...", 64) +
             "\"\n};\n"},
        {"row of exactly 64",
         [] {
             Bytes d{0x00, 64};
             d.insert(d.end(), 64, 0x01);
             d.push_back(0x02);
             return d;
         }(),
         "\"64 1 5 3\",\n\"... c None\",\n\"000 c #000000\",\n\"064 c #a08cb0\",\n\"001 c #fcfcfc\",\n"
         "\"002 c #e0e0e0\",\n\"" +
             full_row + "\"\n};\n"},
        {"unknown codes and end codes are skipped",
         {0x09, 0x01, 0x02, 0x03, 0x02, 0xff},
         "\"64 1 6 3\",\n\"... c None\",\n\"009 c #383838\",\n\"001 c #fcfcfc\",\n\"002 c #e0e0e0\",\n"
         "\"003 c #c4c4c4\",\n\"255 c #00ff00\",\n\"" +
             repeat("...", 64) + "\"\n};\n"},
        {"data without a final end of row loses its last three characters",
         {0x01, 0x03},
         "\"64 1 3 3\",\n\"... c None\",\n\"001 c #fcfcfc\",\n\"003 c #c4c4c4\",\n\"......\n};\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(body_of(xpm_of(c.data)), c.body) << c.what;
}

TEST(WriteXpm, ExtraBlackEntriesAndTheSecondGreenResolve)
{
    Bytes data{0x00, 16};
    for (int v = 240; v <= 255; ++v) data.push_back(static_cast<std::uint8_t>(v));
    data.push_back(0x02);
    const std::string xpm = xpm_of(data);
    for (int v = 240; v <= 254; ++v) {
        EXPECT_NE(xpm.find("\"" + std::to_string(v) + " c #000000\",\n"), std::string::npos) << v;
    }
    EXPECT_NE(xpm.find("\"255 c #00ff00\",\n"), std::string::npos);
    std::string pixels;
    for (int v = 240; v <= 255; ++v) pixels += std::to_string(v);
    EXPECT_NE(xpm.find("\"" + pixels + repeat("...", 48) + "\"\n};\n"), std::string::npos);
}

TEST(WriteXpm, RowWiderThanTheTileFailsBeforeTheNextCode)
{
    Bytes data{0x01, 60, 0x01, 5};  // 65 pixels
    const std::string partial = [&] {
        std::ostringstream out;
        data.push_back(0x02);
        try {
            write_xpm(out, "img", 1, data, check_image_data(data));
        } catch (const TileError& error) {
            EXPECT_EQ(error.fault(), TileFault::RowTooWide);
            return out.str();
        }
        ADD_FAILURE() << "a 65-pixel row was accepted";
        return out.str();
    }();
    EXPECT_TRUE(partial.ends_with("\"" + repeat("...", 65))) << partial;

    data.pop_back();  // no further code: the check never runs
    EXPECT_TRUE(xpm_of(data).ends_with(repeat("...", 64) + "\n};\n"));
}

TEST(IndexedXpm, ColoursInIndexOrderThreeCharactersAPixel)
{
    const std::int16_t pixels[] = {7, -1, 232, 1};
    EXPECT_EQ(indexed_xpm("img", 2, 2, pixels),
              "/* XPM */\nstatic char *img[] = {\n\"2 2 4 3\",\n\"... c None\",\n\"001 c #fcfcfc\",\n"
              "\"007 c #646464\",\n\"232 c #00ff00\",\n\"007...\",\n\"232001\"\n};\n");
    EXPECT_EQ(indexed_xpm("e", 64, 0, {}), "/* XPM */\nstatic char *e[] = {\n\"64 0 1 3\",\n\"... c None\",\n};\n");

    const std::int16_t out_of_range[][1] = {{256}, {-2}};
    for (const auto& bad : out_of_range) EXPECT_THROW(indexed_xpm("x", 1, 1, bad), std::invalid_argument) << bad[0];
    EXPECT_THROW(indexed_xpm("x", 2, 2, std::span(pixels).first(3)), std::invalid_argument);
    EXPECT_THROW(indexed_xpm("x", -1, -4, pixels), std::invalid_argument);
}

}  // namespace
}  // namespace tess
