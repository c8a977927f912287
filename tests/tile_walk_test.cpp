#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "programs/failure.hpp"
#include "test_support.hpp"
#include "decode_tile_file.hpp"
#include "memory_xpm_files.hpp"

namespace tess {
namespace {

using testing::Bytes;
using testing::TileBuilder;

struct Decoded {
    std::string summary;
    std::vector<std::string> created;
    std::map<std::string, std::string> files;
    std::string failure;  // empty when the walk succeeded
};

Decoded decode(const Bytes& tile, const std::string& path = "hero.til")
{
    std::istringstream in(testing::text_of(tile));
    std::ostringstream summary;
    testing::MemoryXpmFiles files;
    Decoded result;
    try {
        decode_tile_file(in, path, summary, files);
    } catch (const Failure& failure) {
        result.failure = failure.what();
    }
    result.summary = summary.str();
    result.created = files.created();
    result.files = files.contents();
    return result;
}

const Bytes EmptyRow = {0x02, 0x03};

TEST(TileWalk, WorkedExamplePrintsItsSummaryAndWritesOneXpm)
{
    const Decoded d = decode(testing::WorkedExampleTile, "walk.til");
    EXPECT_EQ(d.failure, "");
    EXPECT_EQ(d.summary,
              "\nwalk.til\n\t revision number 2\n\t 1 view(s)\n\t 1 scene(s)\n"
              "\t scene walk (1 frames)\n\t\t height: 2; 14 data\n");
    ASSERT_EQ(d.files.size(), 1u);
    EXPECT_EQ(d.files.at("walk_walk_0_0.xpm"), testing::worked_example_xpm("walk_walk_0_0"));
}

TEST(TileWalk, StructureDecidesSummaryAndFileNames)
{
    const struct {
        const char* what;
        Bytes tile;
        std::string path;
        std::string summary_tail;  // after the revision line
        std::vector<std::string> created;
    } cases[] = {
        {"no scenes", TileBuilder(1, 0).bytes(), "hero.til", "\t 1 view(s)\n\t 0 scene(s)\n", {}},
        {"scene without frames", TileBuilder(2, 1).scene(0, "idle").bytes(), "hero.til",
         "\t 2 view(s)\n\t 1 scene(s)\n\t scene idle (0 frames)\n", {}},
        {"no views", TileBuilder(0, 2).scene(3, "idle").scene(1, "walk").bytes(), "hero.til",
         "\t 0 view(s)\n\t 2 scene(s)\n\t scene idle (3 frames)\n\t scene walk (1 frames)\n", {}},
        {"views times frames, all frames of a view first",
         TileBuilder(2, 1).scene(3, "walk").image(1, EmptyRow).image(2, EmptyRow).image(3, EmptyRow)
             .image(4, EmptyRow).image(5, EmptyRow).image(6, {}).bytes(),
         "hero.til",
         "\t 2 view(s)\n\t 1 scene(s)\n\t scene walk (3 frames)\n\t\t height: 1; 2 data\n\t\t height: 2; 2 data\n"
         "\t\t height: 3; 2 data\n\t\t height: 4; 2 data\n\t\t height: 5; 2 data\n\t\t height: 6; 0 data\n",
         {"hero_walk_0_0.xpm", "hero_walk_0_1.xpm", "hero_walk_0_2.xpm", "hero_walk_1_0.xpm", "hero_walk_1_1.xpm",
          "hero_walk_1_2.xpm"}},
        {"image numbers restart in every scene",
         TileBuilder(1, 2).scene(1, "a").image(0, {}).scene(2, "b").image(0, {}).image(0, {}).bytes(), "hero.til",
         "\t 1 view(s)\n\t 2 scene(s)\n\t scene a (1 frames)\n\t\t height: 0; 0 data\n\t scene b (2 frames)\n"
         "\t\t height: 0; 0 data\n\t\t height: 0; 0 data\n",
         {"hero_a_0_0.xpm", "hero_b_0_0.xpm", "hero_b_0_1.xpm"}},
        {"a slash in the scene name stays in the folder",
         TileBuilder(1, 1).scene(1, "../up/x").image(1, EmptyRow).bytes(), "art/hero.til",
         "\t 1 view(s)\n\t 1 scene(s)\n\t scene ../up/x (1 frames)\n\t\t height: 1; 2 data\n",
         {"art/hero_.._up_x_0_0.xpm"}},
        {"the last four characters go whatever they are",
         TileBuilder(1, 1).scene(1, "walk").image(1, EmptyRow).bytes(), "hero.tile",
         "\t 1 view(s)\n\t 1 scene(s)\n\t scene walk (1 frames)\n\t\t height: 1; 2 data\n",
         {"hero._walk_0_0.xpm"}},
    };
    for (const auto& c : cases) {
        const Decoded d = decode(c.tile, c.path);
        EXPECT_EQ(d.failure, "") << c.what;
        EXPECT_EQ(d.summary, "\n" + c.path + "\n\t revision number 2\n" + c.summary_tail) << c.what;
        EXPECT_EQ(d.created, c.created) << c.what;
    }
}

TEST(TileWalk, ArrayNameKeepsTheFolderAndTheSafeSceneName)
{
    const Decoded d = decode(TileBuilder(1, 1).scene(1, "a/b").image(1, {}).bytes(), "art/hero.til");
    EXPECT_TRUE(d.files.at("art/hero_a_b_0_0.xpm").starts_with(testing::xpm_head("art/hero_a_b_0_0")));
}

TEST(TileWalk, AQuoteInTheSceneNameStaysOutOfTheArrayName)
{
    const Decoded d = decode(TileBuilder(1, 1).scene(1, "say \"hi\"").image(1, {}).bytes(), "hero.til");
    EXPECT_TRUE(d.files.at("hero_say \"hi\"_0_0.xpm").starts_with(testing::xpm_head("hero_say _hi__0_0")));
}

TEST(TileWalk, AnyRevisionIsAcceptedAndPrinted)
{
    const Decoded d = decode(TileBuilder(1, 0, 7).bytes());
    EXPECT_EQ(d.failure, "");
    EXPECT_NE(d.summary.find("\t revision number 7\n"), std::string::npos);
}

TEST(TileWalk, ALaterSceneOfTheSameNameReplacesTheEarlierFiles)
{
    const Decoded d = decode(TileBuilder(1, 2).scene(1, "walk").image(1, {}).scene(1, "walk").image(9, {}).bytes());
    ASSERT_EQ(d.files.size(), 1u);
    EXPECT_NE(d.files.begin()->second.find("\"64 9 1 3\""), std::string::npos);
}

TEST(TileWalk, DamageStopsTheWalkWithAMessage)
{
    const std::string name127(127, 'n');
    const struct {
        const char* what;
        Bytes tile;
        std::string failure;
        std::size_t files;
    } cases[] = {
        {"second magic byte", {0x54, 0x58, 0x4C, 2, 1, 0}, "Error: not a valid tile format\n", 0},
        {"third magic byte", {0x54, 0x49, 0x4D, 2, 1, 0}, "Error: not a valid tile format\n", 0},
        {"empty file", {}, "Error: tile file ends inside the header\n", 0},
        {"name of 128 characters", testing::concat({{0x54, 0x49, 0x4C, 2, 1, 1, 1}, Bytes(128, 'n'), {0, 0, 0, 0}}),
         "Error: scene name longer than 127 characters\n", 0},
        {"run past the data after a complete image",
         TileBuilder(1, 1).scene(2, "walk").image(1, EmptyRow).image(1, {0x02, 0x00, 0x05, 0x01}).bytes(),
         "Error: image data ends inside a run\n", 1},
        {"name of 127 characters is fine", TileBuilder(1, 1).scene(1, name127).image(0, {}).bytes(), "", 1},
    };
    for (const auto& c : cases) {
        const Decoded d = decode(c.tile);
        EXPECT_EQ(d.failure, c.failure) << c.what;
        EXPECT_EQ(d.files.size(), c.files) << c.what;
    }
    EXPECT_EQ(decode({0x54, 0x58}).summary, "");
}

// Cutting a sample at every length must end in one message, and only the
// images whose data is complete get their XPM.
TEST(TileWalk, FileCutAtEveryLengthReportsDamage)
{
    TileBuilder builder(2, 2);
    builder.scene(1, "idle").image(2, testing::WorkedExampleData).image(1, {0x00, 0x02, 0x07, 0x08, 0x02, 0x03});
    builder.scene(1, "walk").image(0, {}).image(1, {0x01, 0x40, 0x02, 0x03});
    const Bytes& whole = builder.bytes();
    const Decoded complete = decode(whole);
    ASSERT_EQ(complete.failure, "");

    for (std::size_t length = 0; length < whole.size(); ++length) {
        const Decoded d = decode(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)));
        EXPECT_TRUE(d.failure.starts_with("Error: ") && d.failure.ends_with("\n")) << length << ": " << d.failure;
        const auto images_complete = static_cast<std::size_t>(std::count_if(
            builder.image_ends().begin(), builder.image_ends().end(), [&](std::size_t end) { return end <= length; }));
        EXPECT_EQ(d.created.size(), images_complete) << length;
        for (const auto& [path, text] : d.files) EXPECT_EQ(text, complete.files.at(path)) << length;
    }
}

TEST(ImagePath, ShortInputPathsLoseWhatTheyHave)
{
    EXPECT_EQ(image_path("a.t", "walk", 0, 0), "_walk_0_0.xpm");
    EXPECT_EQ(image_path("", "s", 2, 3), "_s_2_3.xpm");
    EXPECT_EQ(image_path("x/hero.til", "w/a/k", 1, 254), "x/hero_w_a_k_1_254.xpm");
}

}  // namespace
}  // namespace tess
