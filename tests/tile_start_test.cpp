#include <gtest/gtest.h>

#include <sstream>

#include "test_support.hpp"
#include "tile_start.hpp"

namespace tess {
namespace {

TEST(SceneName, OnlyATrailingNewlineIsDropped)
{
    const std::string thirty(30, 'n');
    const struct {
        std::string typed;
        std::string name;
    } cases[] = {
        {"walk\n", "walk"},
        {"walk", "walk"},
        {"", ""},
        {"\n", ""},
        {"walk\r\n", "walk\r"},
        {thirty + "\n", thirty},
        {thirty + "x\n", thirty},
        {thirty + "0123456789", thirty},
        {thirty, thirty},
        {std::string("wa\0lk\n", 6), "wa"},
        {std::string("\0walk\n", 6), ""},
        {"walk\nrun\n", "walk"},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.typed);
        EXPECT_EQ(read_scene_name(in), c.name) << c.typed;
    }
}

TEST(SceneName, ReadsNoFurtherThanItsLine)
{
    std::istringstream in("walk\nrest");
    read_scene_name(in);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "rest");
}

TEST(TilePath, ReplacesTheLastThreeCharacters)
{
    const struct {
        const char* xpm;
        const char* tile;
    } cases[] = {{"image.xpm", "image.til"}, {"image", "imtil"}, {"art/hero.XPM", "art/hero.til"}, {"abc", "til"}};
    for (const auto& c : cases) EXPECT_EQ(tile_path_for(c.xpm), c.tile) << c.xpm;
}

TEST(TilePath, RefusesPathsThatWouldReplaceTheInputOrAreTooShort)
{
    const struct {
        const char* xpm;
        const char* message;
    } cases[] = {
        {"hero.til", "error: the tile file would replace the input hero.til\n"},
        {"til", "error: the tile file would replace the input til\n"},
        {"ab", "error: input path ab is too short to name a tile file\n"},
        {"", "error: input path  is too short to name a tile file\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(testing::failure_of([&] { tile_path_for(c.xpm); }), c.message) << c.xpm;
}

}  // namespace
}  // namespace tess
