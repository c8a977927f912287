// tesspack against manifests that repeat: one table of repeated names,
// cells, scenes and patterns, each run under an address-space limit and the
// runner's ten seconds; and a run whose report cannot be written.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>

#include "png/png_writer.hpp"
#include "program_runner.hpp"

namespace tess {
namespace {

using testing::TempFolder;
using testing::write_file;

const std::filesystem::path Tesspack = TESSPACK_PATH;

std::set<std::string> files_in(const std::filesystem::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename());
    return names;
}

std::string png_file(std::uint32_t width, std::uint32_t height, const std::function<std::uint32_t(std::uint32_t, std::uint32_t)>& rgba)
{
    std::vector<std::uint8_t> pixels(std::size_t{width} * height * 4);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint32_t value = rgba(x, y);
            std::uint8_t* at = &pixels[(std::size_t{y} * width + x) * 4];
            at[0] = static_cast<std::uint8_t>(value >> 24), at[1] = static_cast<std::uint8_t>(value >> 16);
            at[2] = static_cast<std::uint8_t>(value >> 8), at[3] = static_cast<std::uint8_t>(value);
        }
    }
    const std::vector<std::uint8_t> png = write_rgba_png(width, height, pixels);
    return {png.begin(), png.end()};
}

// Empty but for a red square: a large picture that trims small.
std::string mostly_empty(std::uint32_t side)
{
    return png_file(side, side, [](std::uint32_t x, std::uint32_t y) { return x / 8 == 12 && y / 8 == 12 ? 0xff0000ffu : 0u; });
}

std::string joined(const std::vector<std::string>& items)
{
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
    return text;
}

// Each row cost time or memory for every repeat before repeats were
// bounded: now the run must finish within the runner's ten seconds and the
// address-space limit, with the status and message the manifest deserves,
// and build what the manifest with its repeats spelled plainly builds.
TEST(TesspackBounds, RepeatsCostOnce)
{
    std::vector<std::string> spellings, plainly, cells;
    for (std::string dots; spellings.size() < 40; dots += "./") spellings.push_back("\"" + dots + "big.png\"");
    plainly.assign(40, "\"big.png\"");
    cells.assign(64 * 64, "[0, 0]");
    std::string scenes;
    for (int s = 0; s < 8; ++s) scenes += "[[scene]]\nname = \"n" + std::to_string(s) + "\"\nframes = 2\nsheet = { file = \"noise.png\", cell = [64, 255] }\n";
    const std::string trimmed = "trim = true\n[[scene]]\nname = \"s\"\nframes = 40\nimages = [";
    const struct {
        const char* what;
        std::string manifest;
        std::vector<std::string> arguments;
        rlim_t memory;
        bool memory_only;  // too slow to run where no limit applies
        int status;
        std::string message;   // in standard error
        std::string plainly;  // the same manifest without its repeats, when there is one
    } cases[] = {
        {"one picture in forty spellings, trimmed", trimmed + joined(spellings) + "]\n", {}, 128u << 20, false, 0, "wrote",
         trimmed + joined(plainly) + "]\n"},
        {"one cell used for every image, trimmed",
         "views = 64\ntrim = true\n[[scene]]\nname = \"s\"\nframes = 64\nsheet = { file = \"big.png\", cell = [2048, 2048], cells = [" +
             joined(cells) + "] }\n",
         {}, 128u << 20, false, 0, "wrote", ""},
        {"one cell used for every image, scaled",
         "views = 64\nscale = 0.03\n[[scene]]\nname = \"s\"\nframes = 64\nsheet = { file = \"big.png\", cell = [2048, 2048], cells = [" +
             joined(cells) + "] }\n",
         {}, 128u << 20, false, 0, "wrote", ""},
        {"scenes of noise reported", "views = 4\n" + scenes, {"--report"}, 64u << 20, true, 0, "wrote", ""},
        {"a tag of an atlas of 40,000 frames and as many tags, no frame named for one",
         "[[scene]]\nname = \"s\"\natlas = \"tags.json\"\ntags = [\"t5\"]\n", {}, 128u << 20, false, 0, "wrote", ""},
        {"a bracket of a million characters", "[[scene]]\nname = \"s\"\nimages = [\"*[" + std::string(1 << 20, 'a') + "]z.png\"]\n",
         {}, 64u << 20, false, 1, "the pattern matches no file", ""},
    };
    TempFolder folder;
    write_file(folder / "big.png", mostly_empty(2048));
    write_file(folder / "noise.png", png_file(128, 1020, [](std::uint32_t x, std::uint32_t y) { return (y * 128 + x) << 8 | 0xffu; }));
    for (int i = 0; i < 40; ++i) write_file(folder / ("f" + std::to_string(i) + std::string(200, 'b') + "z.png"), "");
    std::string frames, tags;
    for (int k = 0; k < 40000; ++k) {
        frames += std::string(k ? "," : "") + R"({"filename": "f)" + std::to_string(k) + R"(", "frame": {"x": 0, "y": 0, "w": 1, "h": 1}})";
        tags += std::string(k ? "," : "") + R"({"name": "t)" + std::to_string(k) + R"(", "from": 0, "to": 0})";
    }
    write_file(folder / "tags.json", R"({"frames": [)" + frames + R"(], "meta": {"image": "big.png", "frameTags": [)" + tags + "]}}");
    for (const auto& c : cases) {
        write_file(folder / "m.toml", c.manifest);
        std::vector<std::string> arguments{"build", "m.toml", "-o", "m.til"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        testing::Streams streams;
#if defined(__SANITIZE_ADDRESS__)
        if (c.memory_only) continue;
#else
        streams.memory = c.memory;
#endif
        const auto result = testing::run(Tesspack, arguments, folder.path(), streams);
        EXPECT_EQ(result.status, c.status) << c.what << ": " << result.errors.substr(0, 300);
        EXPECT_NE(result.errors.find(c.message), std::string::npos) << c.what << ": " << result.errors.substr(0, 300);
        if (c.plainly.empty()) continue;
        write_file(folder / "plainly.toml", c.plainly);
        ASSERT_EQ(testing::run_program(Tesspack, {"build", "plainly.toml", "-o", "plainly.til"}, folder.path()).status, 0) << c.what;
        EXPECT_EQ(testing::read_file(folder / "m.til"), testing::read_file(folder / "plainly.til")) << c.what;
    }
}

// Standard output that cannot take the report fails the run, and the tile
// file is not left behind as if it had succeeded.
TEST(TesspackBounds, AReportThatCannotBeWrittenWritesNothing)
{
    TempFolder folder;
    write_file(folder / "big.png", mostly_empty(64));
    write_file(folder / "m.toml", "[[scene]]\nname = \"s\"\nimages = [\"big.png\"]\n");
    const std::set<std::string> before = files_in(folder.path());
    for (const std::string report : {"--report", "--report-json"}) {
        const auto result = testing::run(Tesspack, {"build", "m.toml", report}, folder.path(), {.output = "/dev/full"});
        EXPECT_EQ(result.status, 1) << report;
        EXPECT_EQ(result.errors, "tesspack: cannot write standard output; m.til not written\n") << report;
        EXPECT_EQ(files_in(folder.path()), before) << report;
    }
}

}  // namespace
}  // namespace tess
