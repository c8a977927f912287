// Building from .aseprite files made here byte by byte: each scene against the
// same frames given as PNGs, through every road an .aseprite file takes (an
// atlas with its tags and chosen layers, a view's frames, one picture), an
// indexed file in the palette keeping its indices, and the refusals.
#include <gtest/gtest.h>

#include <map>

#include "ase_builder.hpp"
#include "pack/build.hpp"
#include "pack/error.hpp"
#include "pack/manifest.hpp"
#include "pack/memory_folder.hpp"
#include "palette/palette.hpp"
#include "png/png_writer.hpp"

namespace tess {
namespace {

using namespace testing::ase;

using Files = MemoryFolder;

constexpr std::uint32_t Red = 0xff0000ff, Green = 0x00ff00ff, Blue = 0x0000ffff, Clear = 0;

// A 3 x 2 frame's pixels, 0xRRGGBBAA row by row.
using Frame = std::vector<std::uint32_t>;

Bytes png_of(const Frame& frame)
{
    Bytes rgba;
    for (const std::uint32_t pixel : frame) rgba.insert(rgba.end(), {static_cast<std::uint8_t>(pixel >> 24), static_cast<std::uint8_t>(pixel >> 16),
                                                                     static_cast<std::uint8_t>(pixel >> 8), static_cast<std::uint8_t>(pixel)});
    return write_rgba_png(3, 2, rgba);
}

// Three frames of a body, a guide drawn over it, and a hidden layer, each
// frame a cel a layer; tags "walk" (0-1) and "wave" (1-2, ping-pong).
struct Drawn {
    std::vector<Frame> body, guide, hidden;
};

Drawn drawn()
{
    return {{{Red, Red, Clear, Clear, Red, Clear}, {Green, Clear, Clear, Green, Green, Clear}, {Blue, Blue, Blue, Clear, Clear, Clear}},
            {{Clear, Clear, Blue, Clear, Clear, Clear}, {Clear, Clear, Clear, Clear, Clear, Red}, {Clear, Clear, Clear, Clear, Green, Clear}},
            {{Green, Green, Green, Green, Green, Green}, {Red, Red, Red, Red, Red, Red}, {Blue, Blue, Blue, Blue, Blue, Blue}}};
}

Bytes aseprite_of(const Drawn& d)
{
    Sprite s;
    s.width = 3;
    s.height = 2;
    for (std::size_t f = 0; f < d.body.size(); ++f) {
        std::vector<Bytes> chunks;
        if (f == 0) {
            chunks = {layer("body"), layer("guide"), layer("hidden", 0),
                      chunk(0x2018, Put().u16(2).zeros(8).u16(0).u16(1).u8(0).u16(0).zeros(10).str("walk")
                                        .u16(1).u16(2).u8(2).u16(0).zeros(10).str("wave").bytes)};
        }
        chunks.push_back(cel(0, 0, 0, 3, 2, rgba(d.body[f])));
        chunks.push_back(cel(1, 0, 0, 3, 2, rgba(d.guide[f])));
        chunks.push_back(cel(2, 0, 0, 3, 2, rgba(d.hidden[f])));
        s.frames.push_back(chunks);
    }
    return s.bytes();
}

// The guide over the body, where it is drawn: every pixel opaque or clear.
Frame over(const Frame& under, const Frame& top)
{
    Frame out = under;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (top[i] != Clear) out[i] = top[i];
    }
    return out;
}

Bytes built(const std::string& manifest, Files& files) { return build_tile_file(parse_manifest(manifest, "m.toml"), files).bytes; }

std::string images(const std::vector<std::string>& names)
{
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "\"" : ", \"") + name + "\"";
    return "images = [" + list + "]\n";
}

TEST(AsepriteBuild, EachRoadBuildsWhatItsFramesAsPngsBuild)
{
    const Drawn d = drawn();
    Files files;
    files.files["hero.aseprite"] = aseprite_of(d);
    for (std::size_t f = 0; f < 3; ++f) {
        files.files["shown" + std::to_string(f) + ".png"] = png_of(over(d.body[f], d.guide[f]));
        files.files["body" + std::to_string(f) + ".png"] = png_of(d.body[f]);
        files.files["hidden" + std::to_string(f) + ".png"] = png_of(d.hidden[f]);
    }
    Sprite still;
    still.width = 3;
    still.height = 2;
    still.frames = {{layer("only"), cel(0, 0, 0, 3, 2, rgba(d.body[0]))}};
    files.files["still.aseprite"] = still.bytes();
    const std::string scene = "[[scene]]\nname = \"s\"\n";
    const struct {
        const char* what;
        std::string manifest;
        std::string same_as;
    } cases[] = {
        {"the visible layers, a tag", scene + "atlas = \"hero.aseprite\"\ntags = [\"walk\"]\n", scene + images({"shown0.png", "shown1.png"})},
        {"a ping-pong tag", scene + "atlas = \"hero.aseprite\"\ntags = [\"wave\"]\n", scene + images({"shown1.png", "shown2.png"})},
        {"every frame", scene + "atlas = \"hero.aseprite\"\n", scene + images({"shown0.png", "shown1.png", "shown2.png"})},
        {"frames by number", scene + "atlas = \"hero.aseprite\"\nframe_indices = [2, 0]\n", scene + images({"shown2.png", "shown0.png"})},
        {"a guide left out", scene + "atlas = \"hero.aseprite\"\nignore_layers = [\"guide\"]\ntags = [\"walk\"]\n",
         scene + images({"body0.png", "body1.png"})},
        {"a hidden layer chosen", scene + "atlas = \"hero.aseprite\"\nlayers = [\"hidden\"]\n",
         scene + images({"hidden0.png", "hidden1.png", "hidden2.png"})},
        {"a file a view", "views = 2\n" + scene + "frames_from = \"aseprite\"\n" + images({"hero.aseprite", "hero.aseprite"}),
         "views = 2\n" + scene + images({"shown0.png", "shown1.png", "shown2.png", "shown0.png", "shown1.png", "shown2.png"})},
        {"one frame as a picture", scene + images({"still.aseprite"}), scene + images({"body0.png"})},
        // What is kept for reuse across scenes is kept apart by the layers it was made of.
        {"scaled, two choices of layers", scene + "atlas = \"hero.aseprite\"\nlayers = [\"hidden\"]\nscale = 0.5\n" + scene +
                                             "atlas = \"hero.aseprite\"\nscale = 0.5\n",
         scene + images({"hidden0.png", "hidden1.png", "hidden2.png"}) + "scale = 0.5\n" + scene +
             images({"shown0.png", "shown1.png", "shown2.png"}) + "scale = 0.5\n"},
        {"trimmed, two choices of layers", scene + "atlas = \"hero.aseprite\"\nlayers = [\"hidden\"]\ntrim = true\n" + scene +
                                              "atlas = \"hero.aseprite\"\ntrim = true\n",
         scene + images({"hidden0.png", "hidden1.png", "hidden2.png"}) + "trim = true\n" + scene +
             images({"shown0.png", "shown1.png", "shown2.png"}) + "trim = true\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(built(c.manifest, files), built(c.same_as, files)) << c.what;
}

// An indexed file whose palette is ours keeps its indices, duplicate blacks
// included, as an indexed PNG in the palette does.
TEST(AsepriteBuild, AnIndexedFileInThePaletteKeepsItsIndices)
{
    const Bytes indices = {0, 254, 240, 23, 155, 232, 255, 7};
    Sprite s;
    s.width = 8;
    s.height = 1;
    s.depth = 8;
    s.transparent = 7;
    std::vector<std::uint32_t> colours;
    for (const Rgb& entry : Palette) colours.push_back(static_cast<std::uint32_t>(entry.red) << 24 | entry.green << 16 | entry.blue << 8 | 0xff);
    s.frames = {{palette(colours), layer("image"), cel(0, 0, 0, 8, 1, indices)}};
    Files files;
    files.files["a.aseprite"] = s.bytes();
    files.files["a.png"] = write_indexed_png(8, 1, indices, 7);
    const std::string scene = "[[scene]]\nname = \"s\"\n";
    EXPECT_EQ(built(scene + images({"a.aseprite"}), files), built(scene + images({"a.png"}), files));
}

TEST(AsepriteBuild, WhatAFileCannotGiveIsRefused)
{
    Files files;
    files.files["hero.aseprite"] = aseprite_of(drawn());
    files.files["cut.aseprite"] = Bytes(files.files["hero.aseprite"].begin(), files.files["hero.aseprite"].begin() + 200);
    const std::string scene = "[[scene]]\nname = \"s\"\n";
    const struct {
        const char* what;
        std::string manifest;
        std::string fault;
    } cases[] = {
        {"frames as one picture", scene + images({"hero.aseprite"}), "an .aseprite file of 3 frames; as a scene's 'atlas' its tags give the views"},
        {"a layer it has not", scene + "atlas = \"hero.aseprite\"\nlayers = [\"cape\"]\n", "no layer is named \"cape\""},
        {"a tag it has not", scene + "atlas = \"hero.aseprite\"\ntags = [\"run\"]\n", "no frame tag \"run\" in the atlas; it has walk, wave"},
        {"a frame it has not", scene + "atlas = \"hero.aseprite\"\nframe_indices = [3]\n", "frame_indices holds 3; the atlas has frames 0 to 2"},
        {"a JSON atlas's picture", scene + "atlas = \"hero.aseprite\"\natlas_image = \"x.png\"\n", "an .aseprite file holds its own"},
        {"a file cut short", scene + "atlas = \"cut.aseprite\"\n", "Aseprite file: "},
    };
    for (const auto& c : cases) {
        try {
            built(c.manifest, files);
            ADD_FAILURE() << c.what << ": built";
        } catch (const PackError& error) {
            EXPECT_NE(std::string(error.what()).find(c.fault), std::string::npos) << c.what << ": " << error.what();
        }
    }
}

}  // namespace
}  // namespace tess
