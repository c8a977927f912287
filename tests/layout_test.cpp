// Patterns, natural order, tag directions, extruded atlas frames and a table
// of bad atlases.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "pack/atlas.hpp"
#include "pack/error.hpp"
#include "pack/manifest.hpp"
#include "pack/patterns.hpp"

namespace tess {
namespace {

TEST(Layout, PatternsAndNaturalOrder)
{
    const struct { const char* pattern; const char* name; bool match; } cases[] = {
        {"*.png", "f1.png", true},   {"*.png", ".f.png", false}, {"f?.png", "f10.png", false},
        {"f[0-9].png", "f7.png", true}, {"f[!0-9].png", "f7.png", false}, {"*a*b", "xaxxb", true},
        {"[", "[", true},            {"*", "", true},          {"[]a]", "]", true},
        {"[!]]", "]", false},        {"x[", "x[", true},       {"*[a-c]z", "bbz", true},
        {"**?", "", false},          {"[z-a]", "m", false},
    };
    for (const auto& c : cases) EXPECT_EQ(NamePattern(c.pattern).matches(c.name), c.match) << c.pattern << " " << c.name;
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

// Extruded or padded frames (a border of copied edge pixels around each
// sprite, as Aseprite's --extrude writes) give the sprite alone; a rotated
// frame's border runs the other way in the picture.
TEST(Layout, ExtrudedFramesGiveTheSpriteInside)
{
    const struct { const char* what; std::string frame; AtlasFrame expected; } cases[] = {
        {"no border", R"("frame": {"x": 10, "y": 20, "w": 4, "h": 3}, "spriteSourceSize": {"x": 1, "y": 2, "w": 4, "h": 3})", {"", 10, 20, 4, 3, false, 1, 2, 8, 8}},
        {"one pixel a side", R"("frame": {"x": 10, "y": 20, "w": 6, "h": 5}, "spriteSourceSize": {"x": 1, "y": 2, "w": 4, "h": 3})", {"", 11, 21, 4, 3, false, 1, 2, 8, 8}},
        {"rotated", R"("frame": {"x": 10, "y": 20, "w": 8, "h": 5}, "rotated": true, "spriteSourceSize": {"x": 0, "y": 0, "w": 4, "h": 3})", {"", 11, 22, 4, 3, true, 0, 0, 8, 8}},
    };
    for (const auto& c : cases) {
        const std::string json = "{\"frames\": [{" + c.frame + R"(, "sourceSize": {"w": 8, "h": 8}}], "meta": {"image": "a.png"}})";
        const Atlas atlas = parse_atlas(std::span(reinterpret_cast<const std::uint8_t*>(json.data()), json.size()), "a.json");
        ASSERT_EQ(atlas.frames.size(), 1u) << c.what;
        const AtlasFrame& got = atlas.frames[0];
        const AtlasFrame& want = c.expected;
        EXPECT_EQ((std::array{got.x, got.y, got.w, got.h, got.offset_x, got.offset_y, got.canvas_w, got.canvas_h}),
                  (std::array{want.x, want.y, want.w, want.h, want.offset_x, want.offset_y, want.canvas_w, want.canvas_h}))
            << c.what;
        EXPECT_EQ(got.rotated, want.rotated) << c.what;
    }
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
        {"number too large", R"({"frames": 1E99999})", "not valid JSON: number overflow"},
        {"a tag's end past any side", "{\"frames\": [" + frame + "], \"meta\": {\"image\": \"a.png\", \"frameTags\": [{\"name\": \"w\", \"from\": 0, \"to\": 1099511627776}]}}", "\"to\" is 1099511627776, outside 0 to 16777216"},
        {"a place past any integer", R"({"frames": [{"frame": {"x": 18446744073709551615, "y": 0, "w": 4, "h": 4}}], "meta": {"image": "a.png"}})", "\"x\" is 18446744073709551615, outside 0 to 16777216"},
        {"nested too deep", "{\"frames\": " + std::string(100, '[') + std::string(100, ']') + "}", "values nested more than 64 deep"},
        {"border on one side", R"({"frames": [{"frame": {"x": 0, "y": 0, "w": 5, "h": 4}, "spriteSourceSize": {"x": 0, "y": 0, "w": 4, "h": 4}, "sourceSize": {"w": 8, "h": 8}}], "meta": {"image": "a.png"}})", "does not sit centred in its frame of 5 x 4"},
        {"sprite larger than its frame", R"({"frames": [{"frame": {"x": 0, "y": 0, "w": 4, "h": 4}, "spriteSourceSize": {"x": 0, "y": 0, "w": 6, "h": 4}, "sourceSize": {"w": 8, "h": 8}}], "meta": {"image": "a.png"}})", "does not sit centred"},
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
