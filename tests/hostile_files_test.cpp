// The programs against folders and inputs laid out to turn them on other
// files: planted links and FIFOs, hostile names, closed or full standard
// streams, and the file library underneath.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <sstream>

#include "decode_tile_file.hpp"
#include "files/safe_open.hpp"
#include "memory_xpm_files.hpp"
#include "program_runner.hpp"
#include "test_support.hpp"
#include "xpm/header.hpp"
#include "xpm/strings.hpp"

namespace tess {
namespace {

namespace fs = std::filesystem;
using testing::Pipe;
using testing::read_file;
using testing::run;
using testing::TempFolder;
using testing::write_file;

const fs::path Tessenc = TESSENC_PATH;
const fs::path Tessdec = TESSDEC_PATH;

// What can be planted at an output name, and how each would have turned
// the write: onto a file elsewhere, onto the program's own input, or into a
// FIFO that blocks or feeds another process.
enum class Plant { SymlinkOut, SymlinkToNothing, SymlinkToInput, HardLinkOut, HardLinkToInput, Fifo, FifoWithReader };

const struct {
    Plant kind;
    const char* name;
} Plants[] = {
    {Plant::SymlinkOut, "symlink out"},         {Plant::SymlinkToNothing, "symlink to nothing"},
    {Plant::SymlinkToInput, "symlink to input"}, {Plant::HardLinkOut, "hard link out"},
    {Plant::HardLinkToInput, "hard link to input"}, {Plant::Fifo, "FIFO"},
    {Plant::FifoWithReader, "FIFO with a reader"},
};

// root/v/secret, and the program's folder root/w holding `input_name`.
class PlantedFolder {
public:
    PlantedFolder(const std::string& input_name, const std::string& input) : input_name_(input_name), input_(input)
    {
        fs::create_directory(root_ / "v");
        fs::create_directory(work());
        write_file(root_ / "v" / "secret", Secret);
        write_file(work() / input_name, input);
    }
    ~PlantedFolder()
    {
        if (reader_ >= 0) ::close(reader_);
    }
    PlantedFolder(const PlantedFolder&) = delete;
    PlantedFolder& operator=(const PlantedFolder&) = delete;

    fs::path work() const { return root_ / "w"; }

    void plant(Plant kind, const std::string& name)
    {
        const fs::path at = work() / name;
        switch (kind) {
        case Plant::SymlinkOut: fs::create_symlink("../v/secret", at); break;
        case Plant::SymlinkToNothing: fs::create_symlink("../v/new", at); break;
        case Plant::SymlinkToInput: fs::create_symlink(input_name_, at); break;
        case Plant::HardLinkOut: fs::create_hard_link(root_ / "v" / "secret", at); break;
        case Plant::HardLinkToInput: fs::create_hard_link(work() / input_name_, at); break;
        case Plant::Fifo: ASSERT_EQ(::mkfifo(at.c_str(), 0666), 0); break;
        case Plant::FifoWithReader:
            ASSERT_EQ(::mkfifo(at.c_str(), 0666), 0);
            reader_ = ::open(at.c_str(), O_RDONLY | O_NONBLOCK);
            break;
        }
    }

    // Nothing outside the program's outputs was touched.
    void expect_untouched(const std::string& what) const
    {
        EXPECT_EQ(read_file(root_ / "v" / "secret"), Secret) << what;
        EXPECT_FALSE(fs::exists(root_ / "v" / "new")) << what;
        EXPECT_EQ(read_file(work() / input_name_), input_) << what;
        char byte = 0;
        if (reader_ >= 0) {
            EXPECT_LE(::read(reader_, &byte, 1), 0) << what;
        }
    }

private:
    static constexpr const char* Secret = "secret\n";
    TempFolder root_;
    std::string input_name_;
    std::string input_;
    int reader_ = -1;
};

TEST(HostileFolders, TessdecRefusesWhatIsPlantedAtAnOutputName)
{
    const auto& data = testing::WorkedExampleData;
    const auto tile = testing::text_of(testing::TileBuilder(1, 1).scene(2, "walk").image(2, data).image(2, data).bytes());
    for (const auto& plant : Plants) {
        for (const int frame : {0, 1}) {
            const std::string what = std::string(plant.name) + " at frame " + std::to_string(frame);
            PlantedFolder folder("in.til", tile);
            const std::string name = "in_walk_0_" + std::to_string(frame) + ".xpm";
            folder.plant(plant.kind, name);
            const auto result = run(Tessdec, {"in.til"}, folder.work(), {});

            const std::string message = "Error: cannot create file " + name + "\n";
            EXPECT_TRUE(result.output.ends_with(message)) << what << ": " << result.output;
            EXPECT_EQ(result.status, static_cast<int>(message.size())) << what;
            folder.expect_untouched(what);
            if (frame == 1) {
                const std::string first = read_file(folder.work() / "in_walk_0_0.xpm");
                EXPECT_EQ(first, testing::worked_example_xpm("in_walk_0_0")) << what;
            }
        }
    }
}

TEST(HostileFolders, TessencRefusesWhatIsPlantedAtTheTilePath)
{
    const std::string cannot_create = "error: cannot create tile file image.til\n";
    const std::string is_the_input = "error: the tile file image.til is the input itself\n";
    for (const auto& plant : Plants) {
        PlantedFolder folder("image.xpm", testing::WorkedExampleXpm);
        folder.plant(plant.kind, "image.til");
        Pipe walk("walk\n");
        const auto result = run(Tessenc, {"L2", "image.xpm"}, folder.work(), {.input = walk.fd()});

        const std::string& message = plant.kind == Plant::HardLinkToInput ? is_the_input : cannot_create;
        EXPECT_EQ(result.output, message) << plant.name;
        EXPECT_EQ(result.status, static_cast<int>(message.size())) << plant.name;
        folder.expect_untouched(plant.name);
    }
}

// Each array name is read back by the project's own XPM reader; the file
// name keeps the scene's bytes but for '/'.
TEST(HostileNames, ArrayNamesHoldNothingThatBreaksTheDeclaration)
{
    const struct {
        std::string input_path;
        std::string scene;
        std::string xpm_path;
        std::string array_name;
    } cases[] = {
        {"in.til", "a\nb", "in_a\nb_0_0.xpm", "in_a_b_0_0"},
        {"in.til", "\x01\x1f\x7f!", "in_\x01\x1f\x7f!_0_0.xpm", "in____!_0_0"},
        {"in.til", "say \"hi\"", "in_say \"hi\"_0_0.xpm", "in_say _hi__0_0"},
        {"in.til", "*/x", "in_*_x_0_0.xpm", "in_*_x_0_0"},
        {"in.til", "caf\xc3\xa9", "in_caf\xc3\xa9_0_0.xpm", "in_caf\xc3\xa9_0_0"},
        {"art*/in.til", "walk", "art*/in_walk_0_0.xpm", "art__in_walk_0_0"},
        {"art/*in.til", "walk", "art/*in_walk_0_0.xpm", "art__in_walk_0_0"},
        {"a/*/in.til", "walk", "a/*/in_walk_0_0.xpm", "a___in_walk_0_0"},
        {"tab\t/in.til", "walk", "tab\t/in_walk_0_0.xpm", "tab_/in_walk_0_0"},
    };
    for (const auto& c : cases) {
        std::istringstream tile(testing::text_of(
            testing::TileBuilder(1, 1).scene(1, c.scene).image(2, testing::WorkedExampleData).bytes()));
        std::ostringstream summary;
        testing::MemoryXpmFiles files;
        decode_tile_file(tile, c.input_path, summary, files);

        EXPECT_NE(summary.str().find("\t scene " + c.scene + " (1 frames)\n"), std::string::npos) << c.array_name;
        const auto contents = files.contents();
        ASSERT_EQ(contents.count(c.xpm_path), 1u) << c.array_name;
        const std::string& xpm = contents.at(c.xpm_path);
        EXPECT_EQ(xpm, testing::worked_example_xpm(c.array_name)) << c.array_name;
        std::istringstream in(xpm);
        XpmStrings strings(in);
        const XpmValues values = parse_values_line(strings.next());
        EXPECT_EQ(values.width, 64) << c.array_name;
        EXPECT_EQ(values.height, 2) << c.array_name;
    }
}

// The worked example's tile file with an empty scene name, as a closed
// standard input gives.
const std::string UnnamedWorkedExampleTile =
    testing::text_of(testing::TileBuilder(1, 1).scene(1, "").image(2, testing::WorkedExampleData).bytes());

TEST(StandardStreams, ClosedDescriptorsAreNotTakenByFiles)
{
    for (const bool close_errors : {false, true}) {
        const testing::Streams closed{.output = "", .close_errors = close_errors};
        TempFolder folder;
        write_file(folder / "image.xpm", testing::WorkedExampleXpm);
        const auto encoded = run(Tessenc, {"L2", "image.xpm"}, folder.path(), closed);
        EXPECT_EQ(encoded.status, 0) << close_errors;
        EXPECT_EQ(read_file(folder / "image.til"), UnnamedWorkedExampleTile) << close_errors;
        EXPECT_EQ(read_file(folder / "image.xpm"), testing::WorkedExampleXpm) << close_errors;

        const auto decoded = run(Tessdec, {"image.til"}, folder.path(), closed);
        EXPECT_EQ(decoded.status, 0) << close_errors;
        EXPECT_EQ(read_file(folder / "image.til"), UnnamedWorkedExampleTile) << close_errors;
        EXPECT_EQ(read_file(folder / "image__0_0.xpm"), testing::worked_example_xpm("image__0_0")) << close_errors;
    }
}

TEST(StandardStreams, LostStandardOutputIsReported)
{
    const std::string tile = testing::text_of(testing::WorkedExampleTile);
    const std::string xpm = read_file(fs::path(TEST_DATA_DIR) / "walk_walk_0_0.xpm");
    const struct {
        const fs::path* program;
        std::vector<std::string> arguments;
        std::string output;  // where standard output goes
        int status;
        std::string errors;
        std::string written;  // the file the run writes, whole all the same
        std::string content;
    } cases[] = {
        {&Tessenc, {"L2", "image.xpm"}, "/dev/full", 1, "tessenc: cannot write standard output\n", "image.til", tile},
        {&Tessdec, {"walk.til"}, "/dev/full", 1, "tessdec: cannot write standard output\n", "walk_walk_0_0.xpm", xpm},
        // A failure keeps its own status.
        {&Tessenc, {"L5", "image.xpm"}, "/dev/full", 36, "tessenc: cannot write standard output\n", "", ""},
        {&Tessdec, {"nothere.til"}, "/dev/full", 38, "tessdec: cannot write standard output\n", "", ""},
        {&Tessenc, {"L2", "image.xpm"}, ".stdout", 0, "", "image.til", tile},
        {&Tessdec, {"walk.til"}, ".stdout", 0, "", "walk_walk_0_0.xpm", xpm},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        write_file(folder / "image.xpm", testing::WorkedExampleXpm);
        write_file(folder / "walk.til", tile);
        Pipe walk("walk\n");
        const auto result = run(*c.program, c.arguments, folder.path(), {.input = walk.fd(), .output = c.output});
        const std::string what = c.program->filename().string() + " " + c.arguments[0] + " > " + c.output;
        EXPECT_EQ(result.status, c.status) << what;
        EXPECT_EQ(result.errors, c.errors) << what;
        if (!c.written.empty()) {
            EXPECT_EQ(read_file(folder / c.written), c.content) << what;
        }
    }
}

TEST(StandardStreams, RunsSharingOnePipeEachGetTheirLine)
{
    TempFolder folder;
    write_file(folder / "a.xpm", testing::WorkedExampleXpm);
    write_file(folder / "b.xpm", testing::WorkedExampleXpm);
    Pipe names("walk\nrun\n");
    EXPECT_EQ(run(Tessenc, {"L2", "a.xpm"}, folder.path(), {.input = names.fd()}).status, 0);
    EXPECT_EQ(run(Tessenc, {"L2", "b.xpm"}, folder.path(), {.input = names.fd()}).status, 0);
    EXPECT_EQ(read_file(folder / "a.til"), testing::text_of(testing::WorkedExampleTile));
    const auto run_tile = testing::TileBuilder(1, 1).scene(1, "run").image(2, testing::WorkedExampleData).bytes();
    EXPECT_EQ(read_file(folder / "b.til"), testing::text_of(run_tile));
}

TEST(StandardStreams, RunningOutOfMemoryIsAMessage)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer cannot run under a limit on address space";
#else
    // 400,000 colours of four characters need more than the 16 MiB the run gets.
    constexpr int colours = 400000;
    constexpr std::string_view digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+-";
    std::string xpm = "\"1 1 " + std::to_string(colours) + " 4\",\n";
    for (int i = 0; i < colours; ++i) {
        std::string key;
        for (int d = 0, n = i; d < 4; ++d, n /= 64) key += digits[static_cast<std::size_t>(n % 64)];
        xpm += "\"" + key + " c #102030\",\n";
    }
    xpm += "\"AAAA\"\n";
    TempFolder folder;
    write_file(folder / "big.xpm", xpm);
    Pipe walk("walk\n");
    const auto result = run(Tessenc, {"L2", "big.xpm"}, folder.path(), {.input = walk.fd(), .memory = 16u << 20});
    EXPECT_TRUE(result.output.ends_with("error: out of memory\n")) << result.output;
    EXPECT_EQ(result.status, 21);
#endif
}

TEST(FileLibrary, ReadFileTakesOnlyRegularFilesWithinTheLimit)
{
    TempFolder folder;
    write_file(folder / "four", "abcd");
    fs::create_symlink("four", folder / "link");
    fs::create_directory(folder / "folder");
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0666), 0);
    // Held open for writing, so that even a reader that waited would not hang.
    const files::Descriptor writer(::open((folder / "fifo").c_str(), O_RDWR));
    const std::error_code none;
    const struct {
        const char* name;
        std::size_t limit;
        std::error_code error;
        std::string content;
    } cases[] = {
        {"four", 4, none, "abcd"},
        {"four", SIZE_MAX, none, "abcd"},
        {"link", 100, none, "abcd"},
        {"four", 3, files::Refusal::too_large, ""},
        {"folder", 100, files::Refusal::not_a_regular_file, ""},
        {"fifo", 100, files::Refusal::not_a_regular_file, ""},
        {"nothere", 100, std::make_error_code(std::errc::no_such_file_or_directory), ""},
    };
    for (const auto& c : cases) {
        std::error_code error;
        const auto bytes = files::read_file_at(AT_FDCWD, folder / c.name, c.limit, error);
        EXPECT_EQ(error, c.error) << c.name << " " << c.limit;
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.content) << c.name << " " << c.limit;
    }
}

TEST(FileLibrary, AtomicWritesReplaceOnlyRegularFiles)
{
    enum class Before { Nothing, File, HardLinkedFile, Symlink, Folder };
    const struct {
        const char* what;
        Before before;
        std::error_code error;
        std::string after;  // the destination's content
    } cases[] = {
        {"new file", Before::Nothing, {}, "new"},
        {"existing file", Before::File, {}, "new"},
        {"hard-linked file", Before::HardLinkedFile, {}, "new"},
        {"symlink", Before::Symlink, std::make_error_code(std::errc::too_many_symbolic_link_levels), "old"},
        {"folder", Before::Folder, files::Refusal::not_a_regular_file, ""},
    };
    const mode_t umask = ::umask(0);
    ::umask(umask);
    for (const auto& c : cases) {
        TempFolder folder;
        const fs::path path = folder / "out";
        write_file(folder / "other", "old");
        if (c.before == Before::File) write_file(path, "old");
        if (c.before == Before::HardLinkedFile) fs::create_hard_link(folder / "other", path);
        if (c.before == Before::Symlink) fs::create_symlink("other", path);
        if (c.before == Before::Folder) fs::create_directory(path);

        {
            const files::Descriptor dir(::open(folder.path().c_str(), O_RDONLY | O_DIRECTORY));
            std::error_code error;
            files::AtomicFile file(dir, "out", error);
            if (!error) error = file.write(testing::bytes_of("new"));
            if (!error) error = file.commit();
            EXPECT_EQ(error, c.error) << c.what;
        }
        EXPECT_EQ(read_file(path), c.after) << c.what;
        // Another name of the file, or a symlink's target, keeps the old content.
        EXPECT_EQ(read_file(folder / "other"), "old") << c.what;
        // No temporary file is left beside them.
        EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), {}), 2) << c.what;
        if (!c.error) {
            struct stat status {};
            ASSERT_EQ(::stat(path.c_str(), &status), 0);
            EXPECT_EQ(status.st_mode & 0777, 0666 & ~umask) << c.what;
        }
    }
    // A name is one name in its folder: a path through another folder, there
    // or not, is refused before anything is made.
    TempFolder folder;
    const files::Descriptor dir(::open(folder.path().c_str(), O_RDONLY | O_DIRECTORY));
    for (const std::string name : {"nothere/out", "../out", ".."}) {
        std::error_code error;
        files::AtomicFile file(dir, name, error);
        EXPECT_EQ(error, files::Refusal::outside_folder) << name;
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

}  // namespace
}  // namespace tess
