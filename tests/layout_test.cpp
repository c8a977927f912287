// Patterns, natural order, tag directions and a table of bad atlases.
#include <gtest/gtest.h>

#include <algorithm>

#include "pack/atlas.hpp"
#include "pack/error.hpp"
#include "pack/layout.hpp"

namespace tess {
namespace {

TEST(Layout, PatternsAndNaturalOrder)
{
    const struct { const char* pattern; const char* name; bool match; } cases[] = {
        {"*.png", "f1.png", true},   {"*.png", ".f.png", false}, {"f?.png", "f10.png", false},
        {"f[0-9].png", "f7.png", true}, {"f[!0-9].png", "f7.png", false}, {"*a*b", "xaxxb", true},
        {"[", "[", true},            {"*", "", true},
    };
    for (const auto& c : cases) EXPECT_EQ(matches_pattern(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
    std::vector<std::string> names{"f10.png", "f2.png", "f1.png", "g.png", "f02.png"};
    std::sort(names.begin(), names.end(), natural_less);
    EXPECT_EQ(names, (std::vector<std::string>{"f1.png", "f02.png", "f2.png", "f10.png", "g.png"}));
}

TEST(Layout, TagDirections)
{
    EXPECT_EQ(tag_frames({"t", 0, 3, TagDirection::PingPong}), (std::vector<int>{0, 1, 2, 3, 2, 1}));
    EXPECT_EQ(tag_frames({"t", 0, 3, TagDirection::PingPongReverse}), (std::vector<int>{3, 2, 1, 0, 1, 2}));
    EXPECT_EQ(tag_frames({"t", 1, 2, TagDirection::Reverse}), (std::vector<int>{2, 1}));
}

TEST(Layout, BadAtlases)
{
    const std::string frame = R"({"frame": {"x": 0, "y": 0, "w": 4, "h": 4}})";
    const struct { const char* what; std::string json; const char* message; } cases[] = {
        {"cut short", R"({"frames": [)", "not valid JSON"},
        {"no meta", "{\"frames\": [" + frame + "]}", "has no \"meta\""},
        {"negative", R"({"frames": [{"frame": {"x": -1, "y": 0, "w": 4, "h": 4}}], "meta": {"image": "a.png"}})", "outside 0"},
        {"tag past the frames", "{\"frames\": [" + frame + "], \"meta\": {\"image\": \"a.png\", \"frameTags\": [{\"name\": \"w\", \"from\": 0, \"to\": 3}]}}", "has frames 0 to 0"},
        {"bad direction", "{\"frames\": [" + frame + "], \"meta\": {\"image\": \"a.png\", \"frameTags\": [{\"name\": \"w\", \"from\": 0, \"to\": 0, \"direction\": \"up\"}]}}", "must be forward"},
        {"outside its canvas", R"({"frames": [{"frame": {"x": 0, "y": 0, "w": 4, "h": 4}, "spriteSourceSize": {"x": 2, "y": 0}, "sourceSize": {"w": 4, "h": 4}}], "meta": {"image": "a.png"}})", "reach outside its sourceSize"},
    };
    for (const auto& c : cases) {
        try {
            parse_atlas(std::span(reinterpret_cast<const std::uint8_t*>(c.json.data()), c.json.size()), "a.json");
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const PackError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << c.what << ": " << error.what();
        }
    }
}

}  // namespace
}  // namespace tess
