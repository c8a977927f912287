// The Aseprite library against files built here byte by byte from the format's own layout (not by its writer):
// composition, the writer read back, a table of damaged files, and every cut and flipped bit of a sample.
#include <gtest/gtest.h>
#include <zlib.h>

#include <array>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "ase/ase_composer.hpp"
#include "ase/ase_file.hpp"
#include "ase/ase_writer.hpp"
#include "ase_builder.hpp"

namespace tess {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace testing::ase;

constexpr AseLimits Limits{4096, 4096, 1 << 20, 64, 256, 256, 1 << 16, 1 << 22};

std::vector<std::string> hex(const std::vector<std::uint8_t>& pixels)
{
    std::vector<std::string> out;
    for (std::size_t i = 0; i + 3 < pixels.size(); i += 4) {
        char text[9];
        std::snprintf(text, sizeof text, "%02x%02x%02x%02x", pixels[i], pixels[i + 1], pixels[i + 2], pixels[i + 3]);
        out.emplace_back(text);
    }
    return out;
}

struct Composed {
    std::vector<std::string> rgba;
    std::optional<AseIndexedPicture> indexed;
};

Composed compose(const Sprite& sprite, std::size_t frame = 0, const AseLayerChoice& choice = {})
{
    const Bytes bytes = sprite.bytes();
    const AseFile file = read_ase(bytes, Limits);
    AseComposer composer(file, choice);
    Composed out{hex(composer.rgba(frame)), std::nullopt};
    if (composer.has_indices()) out.indexed = composer.indices(frame);
    return out;
}

constexpr std::uint32_t Red = 0xff0000ff, Green = 0x00ff00ff, Blue = 0x0000ffff, Black = 0x000000ff, White = 0xffffffff;

Sprite two_layers(std::uint32_t backdrop, std::uint32_t source, unsigned blend, unsigned opacity = 255,
                  unsigned cel_opacity = 255)
{
    Sprite s;
    s.width = 1;
    s.frames = {{layer("back"), layer("front", 1, 0, 0, blend, opacity), cel(0, 0, 0, 1, 1, rgba({backdrop})),
                 cel(1, 0, 0, 1, 1, rgba({source}), cel_opacity)}};
    return s;
}

TEST(Ase, BlendModesOpacitiesAndRoundingGiveHandWorkedPixels)
{
    const std::uint32_t back = 0xc86432ff, front = 0x6496f0ff;  // (200, 100, 50) and (100, 150, 240)
    struct Case {
        const char* what;
        Sprite sprite;
        std::string expected;
    };
    Sprite flag_off = two_layers(Black, White, 0, 128, 128);
    flag_off.flags = 0;
    const std::vector<Case> cases = {
            {"multiply", two_layers(back, front, 1), "4e3b2fff"},
            {"screen", two_layers(back, front, 2), "debff3ff"},
            {"overlay", two_layers(back, front, 3), "bc765eff"},
            {"difference", two_layers(back, front, 10), "6432beff"},
            {"subtract", two_layers(back, front, 17), "640000ff"},
            {"luminosity", two_layers(back, front, 15), "dc7846ff"},
            {"a blend over nothing is the source", two_layers(0, front, 1), "6496f0ff"},
            // White at 128 x 128 / 255 = 64 over black.
            {"cel opacity times layer opacity", two_layers(Black, White, 0, 128, 128), "404040ff"},
            {"layer opacity unused where the header says so", flag_off, "808080ff"},
            // (255, 0, 0, 128) over (0, 0, 255, 128): alpha 191.75, red 170.2, blue 84.8.
            {"over a half-transparent backdrop", two_layers(0x0000ff80, 0xff000080, 0), "aa0055c0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(compose(c.sprite).rgba, std::vector<std::string>{c.expected});
    }
}

TEST(Ase, LayersGroupsLinksAndDepthsComposeAsExported)
{
    struct Case {
        const char* what;
        Sprite sprite;
        std::size_t frame;
        AseLayerChoice choice;
        std::vector<std::string> expected;
    };
    // Background (red), a hidden layer (blue), a group (child green at x 1), a hidden group (child blue at x 0).
    Sprite layered;
    layered.frames = {{layer("bottom", 1 | 8), layer("hidden", 0), layer("group", 1, 1), layer("inside", 1, 0, 1),
                       layer("closed", 0, 1), layer("shut in", 1, 0, 1), cel(0, 0, 0, 1, 1, rgba({0xff000000})),
                       cel(1, 0, 0, 2, 1, rgba({Blue, Blue})), cel(3, 1, 0, 1, 1, rgba({Green})),
                       cel(5, -1, 0, 2, 1, rgba({White, Blue}))}};

    // A group at half opacity holding red under green, over black.
    Sprite grouped;
    grouped.width = 1;
    grouped.flags = 1 | 2;
    grouped.frames = {{layer("black"), layer("g", 1, 1, 0, 0, 128), layer("r", 1, 0, 1), layer("gr", 1, 0, 1),
                       cel(0, 0, 0, 1, 1, rgba({Black})), cel(2, 0, 0, 1, 1, rgba({Red})),
                       cel(3, 0, 0, 1, 1, rgba({Green}))}};
    Sprite flat = grouped;
    flat.flags = 1;

    // Frame 2 links to 1, which links to 0; a later cel's z-index of -1 puts it under the first layer.
    Sprite linked;
    linked.width = 3;
    linked.frames = {{layer("a"), layer("b"), cel(0, 1, 0, 1, 1, rgba({Red})), cel(1, 1, 0, 1, 1, rgba({Green}), 255, -1)},
                     {linked_cel(0, 0)},
                     {linked_cel(0, 1)}};

    Sprite grey;
    grey.depth = 16;
    grey.frames = {{layer("g"), cel(0, 0, 0, 2, 1, {100, 255, 200, 0})}};

    // 2 x 2 tiles: tile 1 rows "RG" / "BW", tile 2 all white; the map is tile 1 flipped in x, tile 0 (empty), tile 1 transposed.
    Sprite tiled;
    tiled.width = 6;
    tiled.height = 2;
    tiled.frames = {{tileset(2, 2, 3, rgba({0, 0, 0, 0, Red, Green, Blue, White, White, White, White, White})),
                     layer("map", 1, 2), tilemap_cel(0, 0, 0, 3, 1, {0x80000001, 0, 0x20000001})}};

    const std::vector<Case> cases = {
            {"hidden layers and groups", layered, 0, {}, {"ff0000ff", "00ff00ff"}},
            {"only a hidden layer", layered, 0, {AseLayerChoice::Kind::Only, {"hidden"}}, {"0000ffff", "0000ffff"}},
            {"only a hidden group", layered, 0, {AseLayerChoice::Kind::Only, {"closed"}}, {"0000ffff", "00000000"}},
            {"all but a group", layered, 0, {AseLayerChoice::Kind::VisibleExcept, {"group"}}, {"ff0000ff", "00000000"}},
            {"group composed on its own", grouped, 0, {}, {"008000ff"}},
            {"group's children straight on", flat, 0, {}, {"00ff00ff"}},
            {"z-index", linked, 0, {}, {"00000000", "ff0000ff", "00000000"}},
            {"chain of links", linked, 2, {}, {"00000000", "ff0000ff", "00000000"}},
            {"grayscale", grey, 0, {}, {"646464ff", "c8c8c800"}},
            {"tilemap with flips", tiled, 0, {},
             {"00ff00ff", "ff0000ff", "00000000", "00000000", "ff0000ff", "0000ffff", "ffffffff", "0000ffff",
              "00000000", "00000000", "00ff00ff", "ffffffff"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<std::string> got = compose(c.sprite, c.frame, c.choice).rgba;
        // Transparent pixels' colours do not matter.
        std::vector<std::string> shown = got;
        for (std::string& px : shown) {
            if (px.substr(6) == "00") px = "00000000";
        }
        std::vector<std::string> expected = c.expected;
        for (std::string& px : expected) {
            if (px.substr(6) == "00") px = "00000000";
        }
        EXPECT_EQ(shown, expected);
    }
}

TEST(Ase, IndexedFilesGiveTheTopmostIndexAndTheBackgroundKeepsTheTransparentOne)
{
    Sprite indexed;
    indexed.width = 3;
    indexed.depth = 8;
    indexed.transparent = 1;
    indexed.frames = {{palette({Black, 0x11223300, 0x445566ff, 0x778899ff}), layer("bg", 1 | 8), layer("top"),
                       cel(0, 0, 0, 3, 1, {1, 1, 9}), cel(1, 0, 0, 3, 1, {2, 1, 1})}};
    Composed c = compose(indexed);
    ASSERT_TRUE(c.indexed);
    // Index 1 shows in the background, not above it; 9 is past the palette and draws nothing.
    EXPECT_EQ(c.indexed->indices, (Bytes{2, 1, 1}));
    EXPECT_EQ(c.indexed->alpha, (Bytes{255, 255, 0}));
    EXPECT_EQ(c.rgba, (std::vector<std::string>{"445566ff", "112233ff", "00000000"}));

    // Without the background there is nothing left that could show index 1.
    c = compose(indexed, 0, {AseLayerChoice::Kind::Only, {"top"}});
    ASSERT_TRUE(c.indexed);
    EXPECT_EQ(c.indexed->alpha, (Bytes{255, 0, 0}));

    // A cel below full opacity blends, so has no indices.
    indexed.frames[0][4] = cel(1, 0, 0, 3, 1, {2, 1, 1}, 200);
    EXPECT_FALSE(compose(indexed).indexed);
}

AseWriterFrame writer_frame(std::mt19937& random, unsigned canvas_w, unsigned canvas_h, std::vector<Bytes>& store)
{
    AseWriterFrame frame;
    frame.width = random() % 5 == 0 ? 0 : 1 + random() % canvas_w;
    frame.height = random() % 5 == 0 ? 0 : 1 + random() % canvas_h;
    if (frame.width == 0 || frame.height == 0) frame.width = frame.height = 0;
    Bytes& indices = store.emplace_back(frame.width * frame.height);
    for (std::uint8_t& i : indices) i = static_cast<std::uint8_t>(random() % 4 == 0 ? random() % 256 : random() % 6);
    frame.indices = indices;
    frame.duration_ms = static_cast<std::uint16_t>(1 + random() % 65535);
    return frame;
}

// Walks a file's frames and chunks: the chunk types of each frame, both counts agreeing.
std::vector<std::vector<unsigned>> chunk_types(const Bytes& file)
{
    std::vector<std::vector<unsigned>> frames;
    const auto u16 = [&](std::size_t at) { return unsigned(file[at] | file[at + 1] << 8); };
    const auto u32 = [&](std::size_t at) { return std::uint32_t(u16(at) | u16(at + 2) << 16); };
    std::size_t at = 128;
    for (unsigned f = 0; f < u16(6); ++f) {
        EXPECT_EQ(u16(at + 4), 0xF1FAu);
        EXPECT_EQ(u16(at + 6), u32(at + 12));
        auto& types = frames.emplace_back();
        std::size_t c = at + 16;
        for (unsigned n = 0; n < u32(at + 12); ++n, c += u32(c)) types.push_back(u16(c + 4));
        EXPECT_EQ(c, at + u32(at));
        at += u32(at);
    }
    EXPECT_EQ(at, file.size());
    return frames;
}

TEST(Ase, WrittenSpritesReadBackToTheirIndicesTagsAndPalette)
{
    std::mt19937 random(7);
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        std::vector<Rgb> colours(256);
        for (Rgb& c : colours) c = {int(random() % 256), int(random() % 256), int(random() % 256)};
        std::vector<Bytes> store;
        AseIndexedSprite sprite;
        sprite.width = 1 + random() % 70;
        sprite.height = 1 + random() % 40;
        sprite.palette = colours;
        sprite.transparent_index = static_cast<std::uint8_t>(random() % 6);
        sprite.layer_name = round % 2 ? "image" : "ébauche";
        const unsigned frames = 1 + random() % 6;
        for (unsigned f = 0; f < frames; ++f) sprite.frames.push_back(writer_frame(random, sprite.width, sprite.height, store));
        const unsigned tag_count = random() % 3;
        for (unsigned t = 0; t < tag_count; ++t) {
            const auto from = static_cast<std::uint16_t>(random() % frames);
            sprite.tags.push_back({"tag " + std::to_string(t), from, static_cast<std::uint16_t>(from + random() % (frames - from))});
        }
        const Bytes file = write_indexed_ase(sprite);

        const std::vector<std::vector<unsigned>> types = chunk_types(file);
        EXPECT_EQ(types[0].size(), std::size_t{3} + !sprite.tags.empty() + (sprite.frames[0].height != 0));
        EXPECT_EQ(std::vector<unsigned>(types[0].begin(), types[0].begin() + 3), (std::vector<unsigned>{0x2019, 0x0004, 0x2004}));
        EXPECT_EQ(file[34], 1);  // pixel ratio 1:1
        EXPECT_EQ(file[35], 1);

        const AseFile read = read_ase(file, Limits);
        ASSERT_EQ(read.frames.size(), frames);
        EXPECT_EQ(read.depth, AseColourDepth::Indexed);
        EXPECT_EQ(read.transparent_index, sprite.transparent_index);
        ASSERT_EQ(read.layers.size(), 1u);
        EXPECT_EQ(read.layers[0].name, sprite.layer_name);
        ASSERT_EQ(read.palettes.size(), 1u);
        ASSERT_EQ(read.palettes[0].size(), 256u);
        for (std::size_t i = 0; i < 256; ++i) {
            const AseColour& c = read.palettes[0][i];
            EXPECT_EQ((Rgb{c.red, c.green, c.blue}), colours[i]);
            EXPECT_EQ(c.alpha, 255);
        }
        ASSERT_EQ(read.tags.size(), sprite.tags.size());
        for (std::size_t t = 0; t < sprite.tags.size(); ++t) {
            EXPECT_EQ(read.tags[t].name, sprite.tags[t].name);
            EXPECT_EQ(read.tags[t].from, sprite.tags[t].from);
            EXPECT_EQ(read.tags[t].to, sprite.tags[t].to);
            EXPECT_EQ(read.tags[t].direction, AseDirection::Forward);
        }
        AseComposer composer(read);
        ASSERT_TRUE(composer.has_indices());
        for (unsigned f = 0; f < frames; ++f) {
            const AseWriterFrame& written = sprite.frames[f];
            EXPECT_EQ(read.frames[f].duration_ms, written.duration_ms);
            const AseIndexedPicture picture = composer.indices(f);
            const std::vector<std::uint8_t> pixels = composer.rgba(f);
            for (unsigned y = 0; y < sprite.height; ++y) {
                for (unsigned x = 0; x < sprite.width; ++x) {
                    const std::size_t at = y * sprite.width + x;
                    const bool inside = x < written.width && y < written.height;
                    const std::uint8_t index = inside ? written.indices[y * written.width + x] : sprite.transparent_index;
                    const bool drawn = index != sprite.transparent_index;
                    ASSERT_EQ(picture.indices[at], index) << x << ", " << y << " of frame " << f;
                    ASSERT_EQ(picture.alpha[at], drawn ? 255 : 0);
                    ASSERT_EQ(pixels[at * 4 + 3], picture.alpha[at]);
                    if (drawn) {
                        ASSERT_EQ(pixels[at * 4], colours[index].red);
                    }
                }
            }
        }
    }
}

TEST(Ase, WriterRefusesWhatTheFileCannotHold)
{
    const std::vector<Rgb> colours(256, Rgb{1, 2, 3});
    const Bytes four(4);
    const auto error = [&](auto change) {
        AseIndexedSprite sprite{2, 2, "image", colours, 0, {{2, 2, four, 100}}, {}};
        change(sprite);
        try {
            write_indexed_ase(sprite);
        } catch (const AseError& e) {
            return std::string(e.what());
        }
        return std::string("(written)");
    };
    EXPECT_NE(error([](AseIndexedSprite& s) { s.width = 0; }).find("1 to 65535"), std::string::npos);
    EXPECT_NE(error([&](AseIndexedSprite& s) { s.palette = std::span(colours).first(255); }).find("not 256"), std::string::npos);
    EXPECT_NE(error([](AseIndexedSprite& s) { s.frames[0].width = 3; }).find("larger than the canvas"), std::string::npos);
    EXPECT_NE(error([](AseIndexedSprite& s) { s.frames[0].height = 1; }).find("4 indices for a cel of 2 x 1"), std::string::npos);
    EXPECT_NE(error([](AseIndexedSprite& s) { s.frames[0].duration_ms = 0; }).find("0 ms"), std::string::npos);
    EXPECT_NE(error([](AseIndexedSprite& s) { s.tags = {{"t", 0, 1}}; }).find("to 1 of 1"), std::string::npos);
    EXPECT_NE(error([](AseIndexedSprite& s) { s.tags = {{"\xff", 0, 0}}; }).find("not UTF-8"), std::string::npos);
}

Sprite one_layer()
{
    Sprite s;
    s.frames = {{layer("a"), cel(0, 0, 0, 2, 1, rgba({Red, Green}))}};
    return s;
}

Bytes with_u16(Bytes bytes, std::size_t at, unsigned value)
{
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
    return bytes;
}

struct Refusal {
    std::string text;
    std::optional<std::uint32_t> frame;
    std::optional<std::uint16_t> chunk;
};

Refusal refusal(const Bytes& bytes, const AseLimits& limits = Limits, const AseLayerChoice& choice = {})
{
    try {
        const AseFile file = read_ase(bytes, limits);
        AseComposer composer(file, choice);
        for (std::size_t f = 0; f < file.frames.size(); ++f) composer.rgba(f);
    } catch (const AseError& e) {
        return {e.what(), e.frame(), e.chunk()};
    }
    return {"(accepted)", std::nullopt, std::nullopt};
}

TEST(Ase, DamagedAndOversizedFilesAreRefusedNamingTheFrameAndChunk)
{
    const auto with = [](std::vector<Bytes> chunks) {
        Sprite s;
        s.frames = {std::move(chunks)};
        return s.bytes();
    };
    const Bytes good = one_layer().bytes();
    const Bytes two_red = rgba({Red, Red});
    AseLimits small_total = Limits;
    small_total.max_inflated_bytes = 12;
    Sprite two_frames = one_layer();
    two_frames.frames.push_back({cel(0, 0, 0, 2, 1, two_red)});
    Sprite indexed_without_palette;
    indexed_without_palette.depth = 8;
    indexed_without_palette.frames = {{layer("a"), cel(0, 0, 0, 2, 1, {1, 2})}};
    Sprite long_canvas = one_layer();
    long_canvas.width = 5000;
    Sprite odd_depth = one_layer();
    odd_depth.depth = 12;
    Bytes short_chunk = good;
    short_chunk[128 + 16] = 3;  // the layer chunk's size
    Bytes counts_more = with_u16(with_u16(good, 128 + 6, 1000), 128 + 12, 1000);
    Bytes counts_fewer = with_u16(with_u16(good, 128 + 6, 1), 128 + 12, 1);
    Bytes long_chunk = good;
    long_chunk[128 + 16 + 1] = 1;  // 256 more bytes

    struct Case {
        const char* what;
        Bytes file;
        std::string fragment;
        std::optional<std::uint32_t> frame;
        std::optional<std::uint16_t> chunk;
        AseLimits limits = Limits;
        AseLayerChoice choice = {};
    };
    const std::vector<Case> cases = {
            {"cut in the header", Bytes(good.begin(), good.begin() + 100), "cut short: 100 bytes", {}, {}},
            {"magic", with_u16(good, 4, 0x1234), "magic number is 0x1234", {}, {}},
            {"no frames", Sprite{}.bytes(), "no frames", {}, {}},
            {"frames past the file", with_u16(good, 6, 60), "60 frames cannot fit", {}, {}},
            {"over the frame limit", with_u16(good, 6, 65), "65 frames are more than the 64", {}, {}},
            {"canvas over the limits", long_canvas.bytes(), "canvas is 5000 x 1 pixels", {}, {}},
            {"colour depth", odd_depth.bytes(), "depth of 12 bits", {}, {}},
            {"frame size past the file", with_u16(good, 128 + 2, 1), "runs past the end of the file", 0, {}},
            {"frame magic", with_u16(good, 128 + 4, 0xF1FB), "frame magic number is 0xf1fb", 0, {}},
            {"chunk counts past the frame", counts_more, "1000 chunks cannot fit", 0, {}},
            {"chunk counts short of the frame", counts_fewer, "bytes follow the frame's last chunk", 0, {}},
            {"chunk smaller than its header", short_chunk, "less than its own 6-byte header", 0, 0x2004},
            {"chunk past its frame", long_chunk, "runs past the end of the frame", 0, 0x2004},
            {"string past its chunk", with({chunk(0x2004, Put().zeros(16).u16(200).bytes)}), "a string of 200 bytes runs past", 0, 0x2004},
            {"layer index past the layers", with({layer("a"), cel(3, 0, 0, 1, 1, rgba({Red}))}), "layer index 3 is past the file's 1 layers", 0, 0x2005},
            {"child level jumping", with({layer("g", 1, 1), layer("deep", 1, 0, 2)}), "child level 2 after a layer of level 0", 0, 0x2004},
            {"child of an image layer", with({layer("a"), layer("b", 1, 0, 1)}), "which is not a group", 0, 0x2004},
            {"unknown blend mode", with({layer("a", 1, 0, 0, 19)}), "blend mode 19", 0, 0x2004},
            {"second cel on a layer", with({layer("a"), cel(0, 0, 0, 1, 1, rgba({Red})), cel(0, 0, 0, 1, 1, rgba({Red}))}), "a second cel", 0, 0x2005},
            {"link to itself", with({layer("a"), linked_cel(0, 0)}), "links to itself", 0, 0x2005},
            {"link to a later frame", [] { Sprite s = one_layer(); s.frames[0][1] = linked_cel(0, 1); s.frames.push_back({linked_cel(0, 0)}); return s.bytes(); }(), "links to frame 1, which is not before it", 0, 0x2005},
            {"link to a frame without a cel", [] { Sprite s = one_layer(); s.frames.insert(s.frames.begin() + 1, std::vector<Bytes>{}); s.frames.push_back({linked_cel(0, 1)}); return s.bytes(); }(), "which has no cel on that layer", 2, 0x2005},
            {"cel over the limits", with({layer("a"), cel(0, 0, 0, 300, 1, Bytes(1200))}), "a cel of 300 x 1 is over", 0, 0x2005},
            {"cel inflating to more", with({layer("a"), cel(0, 0, 0, 2, 1, rgba({Red, Red, Red}))}), "inflates to more than 8 bytes", 0, 0x2005},
            {"cel inflating to fewer", with({layer("a"), cel(0, 0, 0, 2, 1, rgba({Red}))}), "inflates to 4 bytes, not 8", 0, 0x2005},
            {"damaged compressed data", with({layer("a"), chunk(0x2005, cel_head(0, 0, 0, 2, 255, 0).u16(1).u16(1).u32(0xdeadbeef).bytes)}), "damaged", 0, 0x2005},
            {"raw pixels past the chunk", with({layer("a"), raw_cel(0, 0, 0, 2, 1, rgba({Red}))}), "pixels of 8 bytes runs past", 0, 0x2005},
            {"decoded bytes over the total", two_frames.bytes(), "over the 12 accepted in all", 1, 0x2005, small_total},
            {"palette's first after its last", with({chunk(0x2019, Put().u32(4).u32(3).u32(1).zeros(8).bytes)}), "the first entry to change, 3, comes after the last, 1", 0, 0x2019},
            {"palette entry past its size", with({chunk(0x2019, Put().u32(2).u32(0).u32(5).zeros(8).bytes)}), "entry 5 is past the palette's 2 entries", 0, 0x2019},
            {"old palette packet past 256", with({chunk(0x0004, Put().u16(1).u8(200).u8(100).zeros(300).bytes)}), "runs from entry 200 past entry 255", 0, 0x0004},
            {"tag past the frames", with({layer("a"), tags(0, 5, 0, "walk")}), "tag \"walk\" runs from frame 0 to 5 of 1", 0, 0x2018},
            {"tag direction", with({layer("a"), tags(0, 0, 4, "walk")}), "direction 4", 0, 0x2018},
            {"absurd tile count", with({tileset(2, 2, 0xffffffff, {})}), "4294967295 tiles of 2 x 2 pixels are over", 0, 0x2023},
            {"tile not in its tileset", with({tileset(1, 1, 3, rgba({0, Red, Red})), layer("map", 1, 2), tilemap_cel(0, 0, 0, 2, 1, {1, 7})}), "tile 7 at column 1, row 0 is not among the 3 tiles", 0, 0x2005},
            {"tilemap without its tileset", with({layer("map", 1, 2), tilemap_cel(0, 0, 0, 1, 1, {1})}), "its tileset 0 is not in the file", 0, 0x2005},
            {"indexed without a palette", indexed_without_palette.bytes(), "no palette", 0, {}},
            {"tiles in another file", with({tileset(1, 1, 2, {}, 1 | 4), layer("map", 1, 2), tilemap_cel(0, 0, 0, 1, 1, {1})}), "layer \"map\": its tileset 0 keeps its tiles in another file", {}, {}},
            {"no such layer", good, "no layer is named \"b\"; the file's layers are \"a\"", {}, {}, Limits, {AseLayerChoice::Kind::Only, {"b"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Refusal r = refusal(c.file, c.limits, c.choice);
        EXPECT_NE(r.text.find(c.fragment), std::string::npos) << r.text;
        EXPECT_EQ(r.frame, c.frame) << r.text;
        EXPECT_EQ(r.chunk, c.chunk) << r.text;
    }
    EXPECT_EQ(refusal(good).text, "(accepted)");
}

// Groups, blending, a tilemap, links, a palette, tags, user data and an
// unknown chunk, in two frames.
Bytes rich_sample()
{
    Sprite s;
    s.width = 4;
    s.height = 3;
    s.flags = 1 | 2;
    s.frames = {{palette({Black, Red, Green, Blue}), tileset(2, 1, 2, rgba({0, 0, Blue, White})), layer("bg", 1 | 8),
                 layer("g", 1, 1, 0, 2, 200), layer("child", 1, 0, 1, 1), layer("map", 1, 2, 1), tags(0, 1, 2, "walk"),
                 chunk(0x2020, Put().u32(1).str("note").bytes), chunk(0x7777, Bytes(3)),
                 cel(0, 0, 0, 4, 3, Bytes(48, 0x80)), cel(2, 1, 1, 2, 2, rgba({Red, Green, Blue, White}), 99),
                 tilemap_cel(3, -1, 1, 2, 2, {1, 0x80000001, 0, 1})},
                {linked_cel(0, 0), raw_cel(2, 2, 0, 1, 1, rgba({Green})), linked_cel(3, 0)}};
    return s.bytes();
}

TEST(Ase, EveryCutAndEveryFlippedBitIsReadOrRefusedWithoutHarm)
{
    const Bytes sample = rich_sample();
    ASSERT_EQ(refusal(sample).text, "(accepted)");
    for (std::size_t length = 0; length < sample.size(); ++length) {
        const Bytes cut(sample.begin(), sample.begin() + static_cast<std::ptrdiff_t>(length));
        const Refusal r = refusal(cut);
        EXPECT_NE(r.text, "(accepted)") << "cut to " << length;
    }
    for (std::size_t bit = 0; bit < sample.size() * 8; ++bit) {
        Bytes flipped = sample;
        flipped[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        const Refusal r = refusal(flipped);
        EXPECT_FALSE(r.text.empty()) << "bit " << bit;
    }
}

}  // namespace
}  // namespace tess
