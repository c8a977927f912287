// tesspack build from GIFs end to end: one table of hostile GIFs and bad
// GIF scenes, each refused with a message and nothing written, and GIFs in
// the palette keeping their indices.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "gif/gif_writer.hpp"
#include "palette/palette.hpp"
#include "program_runner.hpp"
#include "tile/file.hpp"
#include "tile/image.hpp"

namespace tess {
namespace {

using testing::read_file;
using testing::TempFolder;
using testing::write_file;
using Bytes = std::vector<std::uint8_t>;

const std::filesystem::path Tesspack = TESSPACK_PATH;

std::string text_of(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

std::set<std::string> files_in(const std::filesystem::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename());
    return names;
}

// A GIF of `frames` frames of width x height, each pixel drawn by `index`.
template <typename IndexAt>
Bytes animation(std::uint32_t width, std::uint32_t height, std::size_t frames, std::span<const Rgb> colours,
                IndexAt index, std::optional<std::uint8_t> transparent = std::nullopt)
{
    std::vector<Bytes> screens(frames, Bytes(std::size_t{width} * height));
    for (std::size_t f = 0; f < frames; ++f) {
        for (std::size_t i = 0; i < screens[f].size(); ++i) screens[f][i] = index(f, i);
    }
    return write_indexed_gif(width, height, colours, transparent, screens, std::vector<int>(frames, 100));
}

const std::vector<Rgb> Four = {{0, 0, 0}, {200, 0, 0}, {0, 200, 0}, {0, 0, 200}};

Bytes plain(std::size_t frames, std::uint32_t height = 4)
{
    return animation(TileWidth, height, frames, Four, [](std::size_t f, std::size_t i) { return (f + i) % 4; });
}

// Where the parts of a GIF lie: after the screen and its table come the
// extensions, each sub-blocks to a zero, then the first frame's descriptor.
std::size_t table_end(const Bytes& gif) { return 13 + 3 * (std::size_t{2} << (gif[10] & 7)); }

std::size_t first_frame(const Bytes& gif)
{
    std::size_t at = table_end(gif);
    while (gif[at] == 0x21) {
        at += 2;
        while (gif[at] != 0) at += 1 + gif[at];
        ++at;
    }
    return at;
}

Bytes with(Bytes gif, std::size_t at, std::initializer_list<std::uint8_t> bytes)
{
    std::copy(bytes.begin(), bytes.end(), gif.begin() + static_cast<std::ptrdiff_t>(at));
    return gif;
}

Bytes erased(Bytes gif, std::size_t at, std::size_t count)
{
    const auto from = gif.begin() + static_cast<std::ptrdiff_t>(at);
    gif.erase(from, from + static_cast<std::ptrdiff_t>(count));
    return gif;
}

Bytes inserted(Bytes gif, std::size_t at, const Bytes& bytes)
{
    gif.insert(gif.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin(), bytes.end());
    return gif;
}

// Noise in 256 colours: its LZW data spans many sub-blocks.
Bytes noisy()
{
    std::mt19937 random(3);
    return animation(TileWidth, 64, 1, std::vector<Rgb>(256, Rgb{1, 2, 3}),
                     [&](std::size_t, std::size_t) { return static_cast<std::uint8_t>(random()); });
}

Bytes lzw_cut_short()
{
    const Bytes gif = noisy();
    const std::size_t data = first_frame(gif) + 11;  // past the descriptor and the code size
    Bytes cut(gif.begin(), gif.begin() + static_cast<std::ptrdiff_t>(data + 1 + gif[data]));
    cut.insert(cut.end(), {0, ';'});
    return cut;
}

const std::string GifScene = "views = 2\n[[scene]]\nname = \"walk\"\nframes_from = \"gif\"\n";
const std::string StillScene = "[[scene]]\nname = \"still\"\nframes = 1\nimages = [\"a.gif\"]\n";

TEST(TesspackGif, HostileGifsAndBadGifScenesAreRefusedWithNothingWritten)
{
    const Bytes two = plain(2);
    const std::size_t loop_count_at = table_end(two) + 14;  // the NETSCAPE2.0 block's count sub-block
    Bytes junk;
    for (int block = 0; block < 4; ++block) {
        junk.push_back(255);
        junk.insert(junk.end(), 255, 0x5a);
    }
    // 16 million pixels of one colour in a few kilobytes.
    const Bytes bomb = animation(4000, 4000, 1, Four, [](std::size_t, std::size_t) { return 1; });
    ASSERT_LT(bomb.size(), 64u << 10);

    const std::string frames_from = " (a.gif): GIF ";
    const struct {
        const char* what;
        std::string manifest;
        std::map<std::string, Bytes> gifs;
        std::string message;
    } cases[] = {
        {"a screen over the limits", StillScene, {{"a.gif", with(plain(1), 6, {0xff, 0xff, 0xff, 0xff})}},
         "(a.gif): GIF screen is 65535 x 65535 pixels; at most 16320 x 65025 and 16777216 pixels are accepted"},
        {"an animation's screen over an image", GifScene + "images = [\"a.gif\", \"b.gif\"]\n",
         {{"a.gif", with(plain(2), 6, {0x00, 0x04, 0x04, 0x04})}, {"b.gif", plain(2)}},
         "view 0" + frames_from + "screen is 1024 x 1028 pixels; at most 64 x 255 and 16320 pixels are accepted"},
        {"a frame outside its screen", StillScene, {{"a.gif", with(plain(1), first_frame(plain(1)) + 1, {10, 0})}},
         "GIF frame 0: 64 x 4 pixels at 10, 0 do not lie within the 64 x 4 screen"},
        {"thousands of frames", GifScene + "images = [\"a.gif\", \"b.gif\"]\n",
         {{"a.gif", plain(3000, 1)}, {"b.gif", plain(2)}}, "GIF frame 255: more than the 255 frames accepted"},
        {"LZW data cut short", StillScene, {{"a.gif", lzw_cut_short()}}, "GIF frame 0: the data is damaged"},
        {"LZW data running on", StillScene, {{"a.gif", inserted(plain(1), plain(1).size() - 2, junk)}},
         "GIF frame 0: the LZW data runs on past the frame's last pixel"},
        {"a decompression bomb", StillScene, {{"a.gif", bomb}}, "(a.gif): 4000 x 4000 pixels; an image is at most 64 x 255"},
        {"a colour index past its table", StillScene,
         {{"a.gif", erased(with(plain(1), 10, {static_cast<std::uint8_t>(plain(1)[10] & ~7)}), 19, 6)}},
         "GIF frame 0: pixel 2, 0 uses colour index 2 of a 2-colour table"},
        {"a loop count of two bytes", GifScene + "images = [\"a.gif\", \"a.gif\"]\n",
         {{"a.gif", erased(with(two, loop_count_at, {2}), loop_count_at + 3, 1)}},
         "GIF frame 0: the loop extension's count is 2 bytes, not 3"},
        {"a second loop extension", GifScene + "images = [\"a.gif\", \"a.gif\"]\n",
         {{"a.gif", inserted(two, table_end(two), Bytes(two.begin() + static_cast<std::ptrdiff_t>(table_end(two)),
                                                        two.begin() + static_cast<std::ptrdiff_t>(table_end(two) + 19)))}},
         "GIF frame 0: a second loop extension"},
        {"a file cut inside its table", StillScene, {{"a.gif", Bytes(two.begin(), two.begin() + 16)}},
         "(a.gif): GIF screen: the file is cut short"},
        {"views whose GIFs differ in frames", GifScene + "images = [\"a.gif\", \"b.gif\"]\n",
         {{"a.gif", plain(2)}, {"b.gif", plain(3)}},
         "scene 0 \"walk\": the views' GIFs differ in their number of frames: a.gif 2, b.gif 3"},
        {"frames given that disagree", GifScene + "frames = 3\nimages = [\"a.gif\", \"b.gif\"]\n",
         {{"a.gif", plain(2)}, {"b.gif", plain(2)}},
         "scene 0 \"walk\" (a.gif): the GIFs have 2 frames, the scene's 'frames' is 3"},
        {"frames_from with a sheet", GifScene + "sheet = \"a.gif\"\n", {{"a.gif", plain(1)}},
         "m.toml:5:9: frames_from = \"gif\" takes 'images', one GIF a view, or a 'sheet' table cutting one GIF, not a 'sheet' file in scene 0"},
        {"a GIF short of the views", GifScene + "images = [\"a.gif\"]\n", {{"a.gif", plain(2)}},
         "m.toml:5:10: 1 GIFs given for 2 views; frames_from = \"gif\" takes one a view in scene 0"},
        {"trimming frames taken as drawn", GifScene + "trim = true\nimages = [\"a.gif\", \"a.gif\"]\n", {{"a.gif", plain(2)}},
         "m.toml:5:8: frames_from = \"gif\" takes each frame as drawn; 'trim' does not apply in scene 0"},
        {"an atlas beside the GIFs", GifScene + "atlas = \"a.json\"\nimages = [\"a.gif\", \"a.gif\"]\n", {{"a.gif", plain(2)}},
         "m.toml:5:9: frames_from = \"gif\" takes each frame as drawn; 'atlas' does not apply in scene 0"},
        {"tags beside the GIFs", GifScene + "images = [\"a.gif\", \"a.gif\"]\ntags = [\"a\", \"b\"]\n", {{"a.gif", plain(2)}},
         "m.toml:6:8: frames_from = \"gif\" takes each frame as drawn; 'tags' does not apply in scene 0"},
        {"frame names beside the GIFs", GifScene + "images = [\"a.gif\", \"a.gif\"]\nframe_names = [\"a\", \"b\"]\n", {{"a.gif", plain(2)}},
         "m.toml:6:15: frames_from = \"gif\" takes each frame as drawn; 'frame_names' does not apply in scene 0"},
        {"patterns that match too few GIFs", GifScene + "images = [\"a*.gif\"]\n", {{"a.gif", plain(2)}},
         "scene 0 \"walk\" (a*.gif): 1 GIF given for 2 views once patterns are expanded; frames_from = \"gif\" takes one a view"},
        {"frames from anything else", "[[scene]]\nname = \"w\"\nframes_from = \"png\"\n", {},
         "m.toml:3:15: 'frames_from' can only be \"gif\" or \"aseprite\" in scene 0"},
        {"an animation as one image", StillScene, {{"a.gif", plain(2)}},
         "(a.gif): an animated GIF of 2 frames; with frames_from = \"gif\" in its scene it gives a view's frames"},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        write_file(folder / "m.toml", c.manifest);
        for (const auto& [name, gif] : c.gifs) write_file(folder / name, text_of(gif));
        const std::set<std::string> before = files_in(folder.path());
        testing::Streams streams;
#if !defined(__SANITIZE_ADDRESS__)
        streams.memory = 512u << 20;  // the bomb's pixels, held a few times over, and no more
#endif
        const auto result = testing::run(Tesspack, {"build", "m.toml"}, folder.path(), streams);
        EXPECT_EQ(result.status, 1) << c.what << ": " << result.errors;
        EXPECT_TRUE(result.errors.starts_with("tesspack: ")) << c.what << ": " << result.errors;
        EXPECT_NE(result.errors.find(c.message), std::string::npos) << c.what << ": " << result.errors;
        EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1) << c.what << ": " << result.errors;
        EXPECT_EQ(files_in(folder.path()), before) << c.what << ": no output, no temporary file left";
    }
}

std::vector<Pixel> built_row(const std::filesystem::path& tile)
{
    const std::string bytes = read_file(tile);
    TileFileReader reader(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    reader.header();
    while (reader.next() != TileFileReader::Part::Image) {
    }
    const Image image = decode_image(reader.data(), reader.image().height, reader.location());
    return {image.pixels.begin(), image.pixels.begin() + 8};
}

// Patterns name a view's GIFs as they name other pictures, in natural order.
TEST(TesspackGif, PatternsNameTheViewsGifs)
{
    TempFolder folder;
    write_file(folder / "walk_2.gif", text_of(plain(3)));
    write_file(folder / "walk_10.gif", text_of(animation(TileWidth, 4, 3, Four, [](std::size_t f, std::size_t) { return f % 4; })));
    write_file(folder / "m.toml", GifScene + "images = [\"walk_*.gif\"]\n");
    write_file(folder / "spelled.toml", GifScene + "images = [\"walk_2.gif\", \"walk_10.gif\"]\n");
    for (const char* manifest : {"m.toml", "spelled.toml"}) {
        const auto result = testing::run_program(Tesspack, {"build", manifest}, folder.path());
        ASSERT_EQ(result.status, 0) << manifest << ": " << result.errors;
    }
    EXPECT_EQ(read_file(folder / "m.til"), read_file(folder / "spelled.til"));
}

// The duplicate entries (0 and 240 black, 23 and 155, 232 and 255) stay
// apart only where the GIF's table is the palette; the same colours in a
// table of their own go to the lowest index of each.
TEST(TesspackGif, AGifInThePaletteKeepsItsIndices)
{
    const std::vector<std::uint8_t> indices = {0, 240, 23, 155, 232, 255, 7, 100};
    std::vector<Rgb> own;
    for (const std::uint8_t index : indices) own.push_back(Palette[index]);
    const auto at = [&](bool ours) {
        return [&, ours](std::size_t, std::size_t i) {
            const std::size_t x = i % TileWidth;
            return static_cast<std::uint8_t>(x >= 7 ? (ours ? 100 : 7) : ours ? indices[x] : x);
        };
    };
    const struct {
        const char* what;
        Bytes gif;
        std::vector<Pixel> row;
    } cases[] = {
        {"the palette as its table", animation(TileWidth, 2, 1, Palette, at(true), 100), {0, 240, 23, 155, 232, 255, 7, -1}},
        {"the palette's colours in a table of their own", animation(TileWidth, 2, 1, own, at(false), 7),
         {0, 0, 23, 23, 232, 232, 7, -1}},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        write_file(folder / "a.gif", text_of(c.gif));
        write_file(folder / "m.toml", StillScene);
        const auto result = testing::run_program(Tesspack, {"build", "m.toml"}, folder.path());
        ASSERT_EQ(result.status, 0) << c.what << ": " << result.errors;
        EXPECT_EQ(built_row(folder / "m.til"), c.row) << c.what;
    }
}

}  // namespace
}  // namespace tess
