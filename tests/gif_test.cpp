#include <gif_lib.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "gif/gif_reader.hpp"
#include "gif/gif_writer.hpp"

namespace tess {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Rows = std::vector<std::string>;

constexpr GifLimits Limits{4096, 4096, 1 << 20, 64, 1 << 22};

std::string read_error(const Bytes& file, const GifLimits& limits = Limits)
{
    try {
        read_gif(file, limits);
    } catch (const GifError& error) {
        return error.what();
    }
    return "(accepted)";
}

// Pictures are drawn in letters, each a colour; '.' is the transparent
// index, the last entry of each table.
const std::map<char, Rgb> Colours = {
        {'k', {0, 0, 0}},     {'r', {255, 0, 0}},   {'g', {0, 255, 0}},     {'b', {0, 0, 255}}, {'y', {255, 255, 0}},
        {'m', {255, 0, 255}}, {'c', {0, 255, 255}}, {'w', {255, 255, 255}}, {'o', {255, 128, 0}}, {'p', {128, 0, 128}},
};
const std::string Global = "krgbymcw";

struct Drawn {
    int left = 0;
    int top = 0;
    Rows rows;
    int disposal = DISPOSE_DO_NOT;
    bool interlaced = false;
    std::string local_table = "";  // empty: the global table
};

ColorMapObject* table_of(const std::string& letters)
{
    std::vector<GifColorType> entries;
    for (const char letter : letters) {
        const Rgb& c = Colours.at(letter);
        entries.push_back({static_cast<GifByteType>(c.red), static_cast<GifByteType>(c.green),
                           static_cast<GifByteType>(c.blue)});
    }
    return GifMakeMapObject(static_cast<int>(entries.size()), entries.data());
}

// Frames as other encoders lay them out: rectangles, every disposal,
// interlaced rows, local tables; written with giflib, not our writer.
Bytes encode(int width, int height, const std::vector<Drawn>& frames)
{
    Bytes out;
    const auto append = [](GifFileType* gif, const GifByteType* bytes, int count) {
        auto& to = *static_cast<Bytes*>(gif->UserData);
        to.insert(to.end(), bytes, bytes + count);
        return count;
    };
    int error = 0;
    GifFileType* gif = EGifOpen(&out, append, &error);
    EGifSetGifVersion(gif, true);
    ColorMapObject* global = table_of(Global);
    EGifPutScreenDesc(gif, width, height, 8, 0, global);
    for (const Drawn& frame : frames) {
        const std::string& table = frame.local_table.empty() ? Global : frame.local_table;
        const GraphicsControlBlock control{frame.disposal, false, 0, static_cast<int>(table.size()) - 1};
        std::array<GifByteType, 4> extension{};
        EGifGCBToExtension(&control, extension.data());
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension.data());
        ColorMapObject* local = frame.local_table.empty() ? nullptr : table_of(frame.local_table);
        const int w = static_cast<int>(frame.rows[0].size());
        const int h = static_cast<int>(frame.rows.size());
        EGifPutImageDesc(gif, frame.left, frame.top, w, h, frame.interlaced, local);
        std::vector<int> order;
        if (frame.interlaced) {
            for (const auto& [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}}) {
                for (int row = start; row < h; row += step) order.push_back(row);
            }
        } else {
            for (int row = 0; row < h; ++row) order.push_back(row);
        }
        for (const int row : order) {
            Bytes line;
            for (const char letter : frame.rows[row]) {
                line.push_back(static_cast<std::uint8_t>(letter == '.' ? table.size() - 1 : table.find(letter)));
            }
            EGifPutLine(gif, line.data(), w);
        }
        GifFreeMapObject(local);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(global);
    return out;
}

Rows rgba_as_letters(const Bytes& rgba, std::uint32_t width)
{
    Rows rows;
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
        if (i / 4 % width == 0) rows.emplace_back();
        char letter = '.';
        for (const auto& [l, c] : Colours) {
            if (rgba[i + 3] == 255 && Rgb{rgba[i], rgba[i + 1], rgba[i + 2]} == c) letter = l;
        }
        rows.back() += letter;
    }
    return rows;
}

Rows indices_as_letters(const Bytes& indices, std::uint32_t width)
{
    Rows rows;
    for (std::size_t i = 0; i < indices.size(); ++i) {
        if (i % width == 0) rows.emplace_back();
        rows.back() += indices[i] == Global.size() - 1 ? '.' : Global.at(indices[i]);
    }
    return rows;
}

TEST(Gif, WrittenAnimationsReadBackToTheirPixelsAndIndices)
{
    std::mt19937 random(11);
    for (int round = 0; round < 120; ++round) {
        SCOPED_TRACE(round);
        const std::uint32_t width = 1 + random() % (round % 10 == 0 ? 300 : 40);
        const std::uint32_t height = 1 + random() % 40;
        const std::size_t colour_count = 1 + random() % 256;
        std::vector<Rgb> colours(colour_count);
        for (auto& c : colours) c = {int(random() % 256), int(random() % 256), int(random() % 256)};
        std::optional<std::uint8_t> transparent;
        if (round % 3 != 0) transparent = static_cast<std::uint8_t>(random() % colour_count);
        std::vector<Bytes> frames(1 + random() % 5);
        std::vector<int> delays;
        for (auto& frame : frames) {
            // Runs as well as noise, so the LZW table fills and restarts.
            std::uint8_t index = 0;
            for (std::size_t i = 0; i < std::size_t{width} * height; ++i) {
                if (random() % 4 == 0) index = static_cast<std::uint8_t>(random() % colour_count);
                frame.push_back(index);
            }
            delays.push_back(static_cast<int>(random() % 3000));
        }

        const GifAnimation animation =
                read_gif(write_indexed_gif(width, height, colours, transparent, frames, delays), Limits);

        ASSERT_EQ(animation.width, width);
        ASSERT_EQ(animation.height, height);
        ASSERT_EQ(animation.frames.size(), frames.size());
        EXPECT_EQ(animation.loop_count, frames.size() > 1 ? std::optional(0) : std::nullopt);
        ASSERT_TRUE(animation.indexed);
        std::vector<Rgb> table = colours;
        table.resize(std::max<std::size_t>(2, std::bit_ceil(colour_count)), Rgb{0, 0, 0});
        EXPECT_EQ(animation.indexed->palette, table);
        EXPECT_EQ(animation.indexed->transparent, transparent);
        EXPECT_EQ(animation.indexed->frames, frames);
        for (std::size_t f = 0; f < frames.size(); ++f) {
            EXPECT_EQ(animation.frames[f].delay_ms, (delays[f] + 5) / 10 * 10);
            Bytes rgba;
            for (const std::uint8_t index : frames[f]) {
                const Rgb& c = colours[index];
                const bool hidden = transparent == index;
                for (const int channel : {c.red, c.green, c.blue}) rgba.push_back(hidden ? 0 : channel);
                rgba.push_back(hidden ? 0 : 255);
            }
            EXPECT_EQ(animation.frames[f].rgba, rgba) << "frame " << f;
        }
    }
}

TEST(Gif, FramesAreComposedAsAViewerShowsThem)
{
    const struct {
        const char* name;
        int width, height;
        std::vector<Drawn> frames;
        std::vector<Rows> shown;
        bool indexed = true;
    } cases[] = {
        {"a rectangle over a kept frame, through its transparent pixels", 4, 3,
         {{0, 0, {"rrrr", "rrrr", "rrrr"}, DISPOSAL_UNSPECIFIED}, {1, 1, {"gg", "g."}}},
         {{"rrrr", "rrrr", "rrrr"}, {"rrrr", "rggr", "rgrr"}}},
        {"background clears only the frame's rectangle to transparent", 4, 3,
         {{0, 0, {"bbbb", "bbbb", "bbbb"}}, {0, 0, {"rr"}, DISPOSE_BACKGROUND}, {3, 2, {"g"}}},
         {{"bbbb", "bbbb", "bbbb"}, {"rrbb", "bbbb", "bbbb"}, {"..bb", "bbbb", "bbbg"}}},
        {"previous puts back what was there, also before the first frame", 4, 3,
         {{1, 1, {"yy"}, DISPOSE_PREVIOUS}, {0, 0, {"kk", "kk"}}, {0, 0, {"yyyy", "y..y", "yyyy"}, DISPOSE_PREVIOUS},
          {2, 0, {"m"}}},
         {{"....", ".yy.", "...."}, {"kk..", "kk..", "...."}, {"yyyy", "yk.y", "yyyy"}, {"kkm.", "kk..", "...."}}},
        {"interlaced rows, in a frame lower on the screen", 2, 11,
         {{0, 1, {"kk", "rr", "gg", "bb", "yy", "mm", "cc", "kr", "kg", "kb"}, DISPOSE_DO_NOT, true}},
         {{"..", "kk", "rr", "gg", "bb", "yy", "mm", "cc", "kr", "kg", "kb"}}},
        {"a local colour table", 3, 1, {{0, 0, {"rgb"}}, {1, 0, {"o."}, DISPOSE_DO_NOT, false, "gopw"}},
         {{"rgb"}, {"rob"}}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const GifAnimation animation = read_gif(encode(c.width, c.height, c.frames), Limits);
        ASSERT_EQ(animation.frames.size(), c.shown.size());
        for (std::size_t f = 0; f < c.shown.size(); ++f) {
            EXPECT_EQ(rgba_as_letters(animation.frames[f].rgba, animation.width), c.shown[f]) << "frame " << f;
        }
        ASSERT_EQ(animation.indexed.has_value(), c.indexed);
        if (!c.indexed) continue;
        EXPECT_EQ(animation.indexed->transparent, Global.size() - 1);
        for (std::size_t f = 0; f < c.shown.size(); ++f) {
            EXPECT_EQ(indices_as_letters(animation.indexed->frames[f], animation.width), c.shown[f]) << "frame " << f;
        }
    }
}

Bytes erased(Bytes file, std::size_t at, std::size_t count)
{
    file.erase(file.begin() + static_cast<std::ptrdiff_t>(at), file.begin() + static_cast<std::ptrdiff_t>(at + count));
    return file;
}

Bytes inserted(Bytes file, std::size_t at, const Bytes& bytes)
{
    file.insert(file.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin(), bytes.end());
    return file;
}

Bytes changed(Bytes file, std::size_t at, std::uint8_t value)
{
    file[at] = value;
    return file;
}

TEST(Gif, DamagedTruncatedAndOversizedFilesAreRefused)
{
    const std::vector<Rgb> four = {{0, 0, 0}, {9, 9, 9}, {90, 90, 90}, {200, 200, 200}};
    const Bytes one = write_indexed_gif(4, 3, four, std::nullopt, {Bytes{0, 3, 1, 1, 2, 2, 2, 2, 0, 0, 0, 0}}, {{0}});
    const Bytes two = write_indexed_gif(4, 3, four, std::nullopt, {Bytes(12, 1), Bytes(12, 2)}, {{0, 0}});
    // Header, screen, a 4-colour table; then in `two` the loop extension.
    constexpr std::size_t TableAt = 13, TableEnd = 25, LoopCountAt = TableEnd + 14, LoopEnd = TableEnd + 19;

    std::mt19937 random(5);
    Bytes noise(64 * 64);
    for (auto& index : noise) index = static_cast<std::uint8_t>(random());
    const Bytes large = write_indexed_gif(64, 64, std::vector<Rgb>(256, Rgb{1, 2, 3}), std::nullopt, {noise}, {{0}});
    const std::size_t large_data_at = 13 + 768 + 8 + 10 + 1;
    Bytes lzw_cut(large.begin(), large.begin() + static_cast<std::ptrdiff_t>(large_data_at + 1 + large[large_data_at]));
    lzw_cut.insert(lzw_cut.end(), {0, ';'});
    Bytes junk;
    for (int block = 0; block < 3; ++block) junk.insert(junk.end(), 256, 255);

    const std::string outside = " do not lie within the 4 x 3 screen";
    const std::string limits_text = " pixels; at most 4096 x 4096 and 1048576 pixels are accepted";
    const struct {
        const char* name;
        Bytes file;
        std::string message;
        GifLimits limits = Limits;
    } cases[] = {
        {"empty", {}, "not a GIF: the signature is missing"},
        {"another version", changed(one, 4, '8'), "not a GIF: the signature is missing"},
        {"screen 0 wide", changed(changed(one, 6, 0), 7, 0), "GIF screen is 0 x 3 pixels"},
        {"a small file claiming a huge screen", changed(changed(one, 8, 0xff), 9, 0xff),
         "GIF screen is 4 x 65535" + limits_text},
        {"screen over the caller's width", one, "GIF screen is 4 x 3 pixels; at most 3 x 9 and", {3, 9, 100, 9, 900}},
        {"screen over the caller's pixels", one, "GIF screen is 4 x 3 pixels; at most 9 x 9 and 11 pixels",
         {9, 9, 11, 9, 900}},
        {"more frames than the caller's", two, "GIF frame 1: more than the 1 frames accepted", {9, 9, 99, 1, 900}},
        {"more pixels in all than the caller's", two,
         "GIF frame 1: 2 frames of 4 x 3 pixels are over the 20 accepted in all", {9, 9, 99, 9, 20}},
        {"frame past the right edge", encode(4, 3, {{3, 0, {"rr"}}}), "GIF frame 0: 2 x 1 pixels at 3, 0" + outside},
        {"second frame past the bottom", encode(4, 3, {{0, 0, {"r"}}, {0, 3, {"r"}}}),
         "GIF frame 1: 1 x 1 pixels at 0, 3" + outside},
        {"index past a 2-colour table", erased(changed(one, 10, one[10] & ~7), 19, 6),
         "GIF frame 0: pixel 1, 0 uses colour index 3 of a 2-colour table"},
        {"no colour table", erased(changed(one, 10, one[10] & 0x7f), TableAt, 12), "GIF frame 0: no colour table"},
        {"no frames", inserted(erased(one, TableEnd, one.size() - TableEnd), TableEnd, {';'}), "GIF holds no frames"},
        {"LZW data ending early", lzw_cut, "GIF frame 0: the data is damaged"},
        {"LZW data running on", inserted(one, one.size() - 2, junk),
         "GIF frame 0: the LZW data runs on past the frame's last pixel"},
        {"control block of 5 bytes", inserted(changed(one, TableEnd + 2, 5), TableEnd + 7, {0}),
         "GIF frame 0: the graphics control block holds 5 bytes, not 4"},
        {"loop count of 2 bytes", erased(changed(two, LoopCountAt, 2), LoopCountAt + 3, 1),
         "GIF frame 0: the loop extension's count is 2 bytes, not 3"},
        {"loop extension without a count", erased(two, LoopCountAt, 4),
         "GIF frame 0: the loop extension holds no loop count"},
        {"second loop extension", inserted(two, LoopEnd, Bytes(two.begin() + TableEnd, two.begin() + LoopEnd)),
         "GIF frame 0: a second loop extension"},
    };
    for (const auto& c : cases) {
        const std::string message = read_error(c.file, c.limits);
        EXPECT_NE(message.find(c.message), std::string::npos) << c.name << ": " << message;
    }

    ASSERT_EQ(read_error(two), "(accepted)");
    for (std::size_t size = 0; size < two.size(); ++size) {
        const std::string message = read_error(Bytes(two.begin(), two.begin() + static_cast<std::ptrdiff_t>(size)));
        EXPECT_TRUE(message.ends_with(size < 6 ? "the signature is missing" : "the file is cut short"))
                << "cut to " << size << ": " << message;
    }
}

TEST(Gif, WriterRefusesWhatAGifCannotHold)
{
    const struct {
        const char* message;
        std::uint32_t width = 2;
        std::uint32_t height = 3;
        std::vector<Rgb> colours = {{0, 0, 0}, {255, 255, 255}};
        std::optional<std::uint8_t> transparent = std::nullopt;
        std::vector<Bytes> frames = {Bytes(6, 1)};
        std::vector<int> delays = {0};
    } cases[] = {
        {.message = "GIF cannot be 0 x 3 pixels", .width = 0},
        {.message = "GIF cannot be 2 x 70000 pixels", .height = 70000},
        {.message = "GIF colour table cannot hold 0 colours", .colours = {}},
        {.message = "GIF colour table cannot hold 257 colours", .colours = std::vector<Rgb>(257)},
        {.message = "GIF colour 1 is not 8-bit RGB", .colours = {{0, 0, 0}, {0, 256, 0}}},
        {.message = "GIF transparent index 2 is past the 2 colours", .transparent = 2},
        {.message = "GIF needs at least one frame", .frames = {}, .delays = {}},
        {.message = "GIF has 2 frames but 1 delays", .frames = {Bytes(6), Bytes(6)}},
        {.message = "GIF frame 1: 5 indices, not 2 x 3", .frames = {Bytes(6), Bytes(5)}, .delays = {0, 0}},
        {.message = "GIF frame 0: pixel 0, 2 uses index 2 of 2 colours", .frames = {Bytes{0, 1, 0, 1, 2, 0}}},
        {.message = "GIF frame 0: a delay of -10 ms is not 0 to 655350", .delays = {-10}},
    };
    for (const auto& c : cases) {
        try {
            write_indexed_gif(c.width, c.height, c.colours, c.transparent, c.frames, c.delays);
            ADD_FAILURE() << c.message << ": written";
        } catch (const GifError& error) {
            EXPECT_TRUE(std::string(error.what()).starts_with(c.message)) << error.what();
        }
    }
}

TEST(Gif, ImageMagickReadsTheFramesDelaysAndColoursWritten)
{
    if (std::system("command -v convert >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ImageMagick convert";

    const std::vector<Rgb> colours = {{200, 10, 10}, {0, 0, 0}, {0, 0, 0}, {10, 20, 250}, {1, 2, 3}};
    const std::vector<Bytes> frames = {Bytes{0, 1, 2, 3, 4, 4}, Bytes{4, 4, 4, 0, 0, 0}, Bytes{3, 2, 1, 0, 3, 2}};
    const Bytes file = write_indexed_gif(3, 2, colours, 4, frames, std::vector{1000, 250, 30});

    const auto folder = std::filesystem::path(::testing::TempDir()) / ("gif_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto gif = folder / "a.gif";
    std::ofstream(gif, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    const auto run = [&](const std::string& command) {
        const std::string to = (folder / "out").string();
        EXPECT_EQ(std::system((command + " > '" + to + "'").c_str()), 0) << command;
        std::ifstream in(to, std::ios::binary);
        return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    };

    EXPECT_EQ(run("identify -format '%T %w %h;' '" + gif.string() + "'"), "100 3 2;25 3 2;3 3 2;");
    EXPECT_NE(run("identify -verbose '" + gif.string() + "'").find("Iterations: 0"), std::string::npos);
    const std::string rgba = run("convert '" + gif.string() + "' -coalesce -depth 8 rgba:-");
    ASSERT_EQ(rgba.size(), frames.size() * 6 * 4);
    for (std::size_t i = 0; i < rgba.size() / 4; ++i) {
        const std::uint8_t index = frames[i / 6][i % 6];
        const std::uint8_t* pixel = reinterpret_cast<const std::uint8_t*>(&rgba[i * 4]);
        if (index == 4) {
            EXPECT_EQ(pixel[3], 0) << "pixel " << i;
        } else {
            EXPECT_EQ((Rgb{pixel[0], pixel[1], pixel[2]}), colours[index]) << "pixel " << i;
            EXPECT_EQ(pixel[3], 255) << "pixel " << i;
        }
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace tess
