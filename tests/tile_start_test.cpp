#include <gtest/gtest.h>
#include <unistd.h>

#include <array>

#include "test_support.hpp"
#include "tile_start.hpp"

namespace tess {
namespace {

// The read end of a pipe that holds `typed`, then ends.
class TypedInput {
public:
    explicit TypedInput(const std::string& typed)
    {
        EXPECT_EQ(::pipe(ends_.data()), 0);
        EXPECT_EQ(::write(ends_[1], typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
        ::close(ends_[1]);
    }
    ~TypedInput() { ::close(ends_[0]); }
    TypedInput(const TypedInput&) = delete;
    TypedInput& operator=(const TypedInput&) = delete;

    int fd() const { return ends_[0]; }

    std::string rest() const
    {
        std::string text;
        char c = 0;
        while (::read(ends_[0], &c, 1) == 1) text.push_back(c);
        return text;
    }

private:
    std::array<int, 2> ends_{};
};

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
        const TypedInput in(c.typed);
        EXPECT_EQ(read_scene_name(in.fd()), c.name) << c.typed;
    }
}

TEST(SceneName, ReadsNoFurtherThanItsLine)
{
    const TypedInput in("walk\nrest");
    read_scene_name(in.fd());
    EXPECT_EQ(in.rest(), "rest");
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
