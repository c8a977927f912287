#include <gtest/gtest.h>

#include "program_runner.hpp"
#include "test_support.hpp"

namespace tess {
namespace {

using testing::read_file;
using testing::run_program;
using testing::TempFolder;
using testing::write_file;

const std::filesystem::path Tessenc = TESSENC_PATH;
const std::filesystem::path Tessdec = TESSDEC_PATH;
const std::filesystem::path Examples = EXAMPLES_DIR;
const std::string HeaderAndWalk = testing::text_of(testing::WalkHeaderAndScene);

TEST(TessencProgram, WorkedExampleGivesItsTileFile)
{
    for (const char* type : {"L1", "L2", "L3", "L4"}) {
        TempFolder folder;
        write_file(folder / "image.xpm", testing::WorkedExampleXpm);
        const auto result = run_program(Tessenc, {type, "image.xpm"}, folder.path(), "walk\n");
        EXPECT_EQ(result.status, 0) << type;
        EXPECT_EQ(result.output, "scene name ? width = 3  height = 2  colors = 3\n14\n") << type;
        EXPECT_EQ(read_file(folder / "image.til"), testing::text_of(testing::WorkedExampleTile)) << type;
    }
}

TEST(TessencProgram, SceneNameWithoutNewlineIsKeptWhole)
{
    TempFolder folder;
    write_file(folder / "image", testing::WorkedExampleXpm);
    const auto result = run_program(Tessenc, {"L2", "image"}, folder.path(), "walk");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(read_file(folder / "imtil"), testing::text_of(testing::WorkedExampleTile));
}

// What each failure prints, its status, and what it leaves on disk.
TEST(TessencProgram, FailuresPrintOneMessageAndLeaveFilesAsTheyGot)
{
    const std::string path236(236, 'p');
    const std::string old_tile = "an existing tile file";
    const struct {
        const char* what;
        std::vector<std::string> arguments;
        std::string xpm;  // written as image.xpm
        std::string output;
        int status;
        std::string tile;  // image.til afterwards
    } cases[] = {
        {"no arguments", {}, testing::WorkedExampleXpm, "Usage: tessenc conversion_type input_file.xpm\n", 46, old_tile},
        {"one argument", {"L2"}, testing::WorkedExampleXpm, "Usage: tessenc conversion_type input_file.xpm\n", 46, old_tile},
        {"wrong type touches nothing", {"L5", "image.xpm"}, testing::WorkedExampleXpm, "\nwrong conversion type: use L1 | L2\n",
         36, old_tile},
        {"lower-case type", {"l2", "image.xpm"}, "\"1 1 1 1\",\"a c None\",\"a\"",
         "\nwrong conversion type: use L1 | L2\n", 36, old_tile},
        {"missing input", {"L2", "nothere.xpm"}, "", "File nothere.xpm doesn't exist\n", 31, old_tile},
        {"message of 256 characters", {"L2", path236}, "", "File " + path236 + " doesn't exist\n", 1, old_tile},
        {"input that would be overwritten", {"L2", "image.til"}, "", "error: the tile file would replace the input image.til\n",
         55, old_tile},
        {"malformed row", {"L2", "image.xpm"}, "\"2 2 1 1\",\"a c red\",\"aa\",\"a\"",
         "scene name ? width = 2  height = 2  colors = 1\nerror: wrong xpm format\n", 24,
         HeaderAndWalk + testing::text_of({0x02, 0x00, 0x00, 0x00, 0x02, 228, 228, 0x02})},
        {"not an XPM", {"L2", "image.xpm"}, std::string("\x89PNG\r\n\x1a\n\0\0", 10),
         "scene name ? error: wrong xpm format\n", 24, HeaderAndWalk},
        {"too wide", {"L2", "image.xpm"}, "\"65 1 1 1\"", "scene name ? error: width 65 is outside 0 to 64\n", 35,
         HeaderAndWalk},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        if (!c.xpm.empty()) write_file(folder / "image.xpm", c.xpm);
        write_file(folder / "image.til", old_tile);
        const auto result = run_program(Tessenc, c.arguments, folder.path(), "walk\n");
        EXPECT_EQ(result.output, c.output) << c.what;
        EXPECT_EQ(result.status, c.status) << c.what;
        EXPECT_EQ(read_file(folder / "image.til"), c.tile) << c.what;
        if (!c.xpm.empty()) {
            EXPECT_EQ(read_file(folder / "image.xpm"), c.xpm) << c.what;
        }
    }
}

TEST(TessencProgram, TileFileThatCannotBeCreatedIsReported)
{
    TempFolder folder;
    write_file(folder / "image.xpm", testing::WorkedExampleXpm);
    std::filesystem::create_directory(folder / "image.til");
    const auto result = run_program(Tessenc, {"L2", "image.xpm"}, folder.path(), "walk\n");
    EXPECT_EQ(result.output, "error: cannot create tile file image.til\n");
    EXPECT_EQ(result.status, 41);
}

// The whole road on the bundled sprite: every pixel comes back as its palette
// colour, every row padded to 64.
TEST(TessencProgram, BundledSpriteSurvivesTheRoundTrip)
{
    TempFolder folder;
    std::filesystem::copy_file(Examples / "hero.xpm", folder / "hero.xpm");
    const auto encoded = run_program(Tessenc, {"L2", "hero.xpm"}, folder.path(), "walk\n");
    ASSERT_EQ(encoded.status, 0) << encoded.output;
    const auto decoded = run_program(Tessdec, {"hero.til"}, folder.path());
    ASSERT_EQ(decoded.status, 0) << decoded.output;

    const std::string xpm = read_file(folder / "hero_walk_0_0.xpm");
    EXPECT_TRUE(xpm.starts_with(testing::xpm_head("hero_walk_0_0")));
    EXPECT_NE(xpm.find("\"64 24 "), std::string::npos);
    const std::string blank_row = "\"" + testing::repeat("...", 64) + "\"";
    EXPECT_TRUE(xpm.ends_with(blank_row + "\n};\n"));
}

}  // namespace
}  // namespace tess

namespace tess {
namespace {

// A folder opens like a file but cannot be read; neither program may crash
// on it, and tessenc must not create a tile file beside it.
TEST(BothPrograms, AFolderIsNoInputFile)
{
    TempFolder folder;
    std::filesystem::create_directory(folder / "art.xpm");
    std::filesystem::create_directory(folder / "art.til");
    const auto encoded = run_program(Tessenc, {"L2", "art.xpm"}, folder.path(), "walk\n");
    EXPECT_EQ(encoded.output, "File art.xpm doesn't exist\n");
    EXPECT_EQ(encoded.status, 27);
    const auto decoded = run_program(Tessdec, {"art.til"}, folder.path());
    EXPECT_EQ(decoded.output, "Error: file art.til doesn't exist\n");
    EXPECT_EQ(decoded.status, 34);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 2);
}

}  // namespace
}  // namespace tess
