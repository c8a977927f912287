#include <gtest/gtest.h>

#include <sstream>

#include "program_runner.hpp"
#include "test_support.hpp"
#include "decode_tile_file.hpp"
#include "memory_xpm_files.hpp"

namespace tess {
namespace {

using testing::read_file;
using testing::run_program;
using testing::TempFolder;

const std::filesystem::path Tessdec = TESSDEC_PATH;
const std::filesystem::path TestData = TEST_DATA_DIR;
const std::filesystem::path Examples = EXAMPLES_DIR;

std::vector<std::string> files_in(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(TessdecProgram, WorkedExampleMatchesTheGoldenFiles)
{
    TempFolder folder;
    std::filesystem::copy_file(TestData / "walk.til", folder / "walk.til");
    const auto result = run_program(Tessdec, {"walk.til"}, folder.path());
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, read_file(TestData / "walk.summary"));
    EXPECT_EQ(files_in(folder.path()), (std::vector<std::string>{"walk.til", "walk_walk_0_0.xpm"}));
    EXPECT_EQ(read_file(folder / "walk_walk_0_0.xpm"), read_file(TestData / "walk_walk_0_0.xpm"));
}

// The program must write exactly what the decoder core produces, for a sample
// with several scenes, views and frames.
TEST(TessdecProgram, WritesWhatTheCoreDecodes)
{
    TempFolder folder;
    std::filesystem::copy_file(Examples / "knight.til", folder / "knight.til");
    const auto result = run_program(Tessdec, {"knight.til"}, folder.path());

    std::istringstream tile(read_file(Examples / "knight.til"));
    std::ostringstream summary;
    testing::MemoryXpmFiles expected;
    decode_tile_file(tile, "knight.til", summary, expected);

    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, summary.str());
    ASSERT_EQ(files_in(folder.path()).size(), expected.contents().size() + 1);
    for (const auto& [name, text] : expected.contents()) EXPECT_EQ(read_file(folder / name), text) << name;
}

TEST(TessdecProgram, FailuresPrintOneMessageAndExitWithItsLength)
{
    const std::string long_path(229, 'p');
    const struct {
        const char* what;
        std::vector<std::string> arguments;
        std::string tile;  // written as in.til when not empty
        std::string output;
        int status;
    } cases[] = {
        {"no argument", {}, "", "Usage: tessdec input_file.til\n", 30},
        {"two arguments", {"a.til", "b.til"}, "", "Usage: tessdec input_file.til\n", 30},
        {"missing file", {"nothere.til"}, "", "Error: file nothere.til doesn't exist\n", 38},
        {"message of 256 characters", {long_path}, "", "Error: file " + long_path + " doesn't exist\n", 1},
        {"wrong magic", {"in.til"}, "TIX\2\1\0", "Error: not a valid tile format\n", 31},
        {"cut inside the header", {"in.til"}, "TIL\2", "Error: tile file ends inside the header\n", 40},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        if (!c.tile.empty()) testing::write_file(folder / "in.til", c.tile);
        const auto result = run_program(Tessdec, c.arguments, folder.path());
        EXPECT_EQ(result.output, c.output) << c.what;
        EXPECT_EQ(result.status, c.status) << c.what;
    }
}

TEST(TessdecProgram, RowTooWideLeavesThePartialXpmAndEarlierFiles)
{
    TempFolder folder;
    const auto tile = testing::TileBuilder(1, 1)
                          .scene(2, "walk")
                          .image(1, {0x02, 0x03})
                          .image(1, {0x01, 0x40, 0x00, 0x01, 0x05, 0x02, 0x03})
                          .bytes();
    testing::write_file(folder / "in.til", testing::text_of(tile));
    const auto result = run_program(Tessdec, {"in.til"}, folder.path());
    EXPECT_EQ(result.status, 50);
    EXPECT_TRUE(result.output.ends_with("\t\t height: 1; 7 data\n\nerror: no code \\02 at end of line found in .til\n\n"));
    EXPECT_TRUE(read_file(folder / "in_walk_0_0.xpm").ends_with("\"\n};\n"));
    EXPECT_TRUE(read_file(folder / "in_walk_0_1.xpm").ends_with("\"" + testing::repeat("...", 64) + "005"));
}

TEST(TessdecProgram, OutputThatCannotBeCreatedIsReported)
{
    TempFolder folder;
    std::filesystem::copy_file(TestData / "walk.til", folder / "walk.til");
    std::filesystem::create_directory(folder / "walk_walk_0_0.xpm");
    const auto result = run_program(Tessdec, {"walk.til"}, folder.path());
    EXPECT_TRUE(result.output.ends_with("Error: cannot create file walk_walk_0_0.xpm\n")) << result.output;
    EXPECT_NE(result.status, 0);
}

}  // namespace
}  // namespace tess
