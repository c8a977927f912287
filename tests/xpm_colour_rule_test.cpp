// tessenc and tesspack read an XPM's colour table by one rule: colour tables
// that name a key more than once, or give several None colours, go through
// both and come out as the same pixels (or are refused at the same pixel),
// with tessenc's bytes as it wrote them before the rule was shared.
#include <gtest/gtest.h>

#include <sstream>

#include "encode_tile_file.hpp"
#include "pack/error.hpp"
#include "pack/colours.hpp"
#include "programs/failure.hpp"
#include "tile/file.hpp"
#include "tile/image.hpp"

namespace tess {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string xpm_of(int chars_per_pixel, const std::vector<std::string>& colours, const std::vector<std::string>& rows)
{
    const std::size_t width = rows[0].size() / static_cast<std::size_t>(chars_per_pixel);
    std::string xpm = "static char *x[] = {\n\"" + std::to_string(width) + " " + std::to_string(rows.size()) + " " +
                      std::to_string(colours.size()) + " " + std::to_string(chars_per_pixel) + "\",\n";
    for (const std::string& line : colours) xpm += "\"" + line + "\",\n";
    for (const std::string& row : rows) xpm += "\"" + row + "\",\n";
    return xpm + "};\n";
}

TEST(XpmColourRule, TessencAndTesspackGiveTheSamePixels)
{
    const struct {
        const char* what;
        int cpp;
        std::vector<std::string> colours;
        std::vector<std::string> rows;
        Bytes tessenc_image;  // after the scene record
        std::string tessenc_failure;
        std::optional<std::pair<int, int>> refused_at;
    } cases[] = {
        {"a colour, then None: None wins", 1, {"a c #ff0000", "a c None", "b c #00ff00"}, {"ab"},
         {0x01, 0x07, 0x00, 0x01, 0x01, 0x00, 0x01, 0xe8, 0x02, 0x03}, "", {}},
        {"None, then a colour", 1, {"a c None", "a c #ff0000", "b c #00ff00"}, {"ab"},
         {0x01, 0x07, 0x00, 0x01, 0x01, 0x00, 0x01, 0xe8, 0x02, 0x03}, "", {}},
        {"two colours: the first wins", 1, {"a c #ff0000", "a c #0000ff", "b c #00ff00"}, {"ab"},
         {0x01, 0x06, 0x00, 0x00, 0x02, 0xe4, 0xe8, 0x02, 0x03}, "", {}},
        {"None twice", 1, {"a c none", "b c #00ff00", "a c None"}, {"ab"},
         {0x01, 0x07, 0x00, 0x01, 0x01, 0x00, 0x01, 0xe8, 0x02, 0x03}, "", {}},
        {"several None keys: the last is transparent, an earlier one has no colour", 1,
         {"a c None", "b c None", "c c #ff0000"}, {"cb", "ca"},
         {0x02, 0x00, 0x00, 0x00, 0x01, 0xe4, 0x01, 0x01, 0x02}, "error: pixel \"a\" has no colour\n", {{1, 1}}},
        {"an earlier None key with a colour of its own", 1, {"a c None", "a c #ff0000", "b c None", "c c #0000ff"}, {"abc"},
         {0x01, 0x0a, 0x00, 0x00, 0x01, 0xe4, 0x01, 0x01, 0x00, 0x01, 0xec, 0x02, 0x03}, "", {}},
        {"keys of three characters", 3, {"aaa c #ff0000", "bbb c None", "aaa c None", "bbb c #00ff00"}, {"aaabbb"},
         {0x01, 0x07, 0x00, 0x01, 0x01, 0x00, 0x01, 0xe8, 0x02, 0x03}, "", {}},
        {"keys of nine characters", 9, {"abcdefghi c #ff0000", "abcdefghi c None", "bcdefghij c #00ff00"},
         {"abcdefghibcdefghij"}, {0x01, 0x07, 0x00, 0x01, 0x01, 0x00, 0x01, 0xe8, 0x02, 0x03}, "", {}},
    };
    constexpr std::size_t HeaderAndScene = 12;  // for the scene name "walk"
    for (const auto& c : cases) {
        const std::string xpm = xpm_of(c.cpp, c.colours, c.rows);

        std::istringstream in(xpm);
        std::ostringstream tile, report;
        std::string failure;
        try {
            encode_tile_file(in, Metric::L2, "walk", tile, report);
        } catch (const Failure& error) {
            failure = error.what();
        }
        const std::string written = tile.str();
        const Bytes tile_bytes(written.begin(), written.end());
        EXPECT_EQ(Bytes(tile_bytes.begin() + HeaderAndScene, tile_bytes.end()), c.tessenc_image) << c.what;
        EXPECT_EQ(failure, c.tessenc_failure) << c.what;

        ColourRules rules(Metric::L2);
        try {
            const Picture picture = read_picture(Bytes(xpm.begin(), xpm.end()));
            const Image image = picture_image(whole_picture(picture), rules);
            EXPECT_FALSE(c.refused_at) << c.what << ": tesspack accepts what tessenc refuses";
            if (!failure.empty()) continue;
            TileFileReader reader(tile_bytes);
            ASSERT_EQ(reader.next(), TileFileReader::Part::Scene) << c.what;
            ASSERT_EQ(reader.next(), TileFileReader::Part::Image) << c.what;
            EXPECT_EQ(image.pixels, decode_image(reader.data(), reader.image().height).pixels) << c.what;
        } catch (const PackError& error) {
            ASSERT_TRUE(c.refused_at) << c.what << ": " << error.what();
            EXPECT_EQ(std::pair(error.where().x, error.where().y), *c.refused_at) << c.what;
        }
    }
}

}  // namespace
}  // namespace tess
