// The file library against folders laid out to lead its reads and writes
// elsewhere (planted symlinks and FIFOs, "..", absolute paths), inputs that
// are pipes or never end, a process killed mid-write and a full disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fstream>
#include <set>
#include <thread>

#include "files/file_stream.hpp"
#include "files/safe_open.hpp"
#include "program_runner.hpp"

namespace tess {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::TempFolder;
using testing::write_file;

const std::error_code None;
const std::error_code Symlink = std::make_error_code(std::errc::too_many_symbolic_link_levels);
const std::error_code NotFolder = std::make_error_code(std::errc::not_a_directory);
const std::error_code Missing = std::make_error_code(std::errc::no_such_file_or_directory);
const std::error_code NotRegular = files::Refusal::not_a_regular_file;
const std::error_code Outside = files::Refusal::outside_folder;
const std::error_code TooLarge = files::Refusal::too_large;

std::set<std::string> names_in(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
    return names;
}

std::vector<std::uint8_t> bytes_of(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<std::uint8_t> generated(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 % 251);
    return bytes;
}

// A folder holding real/inner/, the file victim, and what a stranger would
// plant beside them: symlinks to a folder, to the file and to nothing, and a
// FIFO nobody writes.
struct Planted {
    Planted()
    {
        fs::create_directories(root / "real" / "inner");
        write_file(root / "victim", "old");
        fs::create_directory_symlink("real", root / "link");
        fs::create_symlink("victim", root / "file_link");
        fs::create_symlink("nowhere", root / "dangling");
        ::mkfifo((root / "fifo").c_str(), 0666);
    }
    int dir() const { return folder.get(); }

    TempFolder root;
    files::Descriptor folder{::open(root.path().c_str(), O_RDONLY | O_DIRECTORY)};
};

TEST(Folders, BeneathAFolderNothingLeadsOutOfIt)
{
    const Planted planted;
    const struct {
        std::string relative;
        std::error_code error;
        const char* opened;  // what it must be, in the planted folder
    } cases[] = {
        {"real/inner", None, "real/inner"},
        {"./real//inner/", None, "real/inner"},
        {"", None, "."},
        {".", None, "."},
        {"link", Symlink, ""},
        {"link/inner", Symlink, ""},
        {"dangling", Symlink, ""},
        {"real/inner/../..", Outside, ""},
        {"..", Outside, ""},
        {planted.root.path().string(), Outside, ""},
        {"victim", NotFolder, ""},
        {"victim/inner", NotFolder, ""},
        {"fifo", NotFolder, ""},
        {"real/missing", Missing, ""},
    };
    for (const auto& c : cases) {
        std::error_code error;
        const files::Descriptor folder = files::open_folder_beneath(planted.dir(), c.relative, error);
        EXPECT_EQ(error, c.error) << c.relative;
        EXPECT_EQ(bool(folder), !error) << c.relative;
        if (folder) {
            EXPECT_EQ(files::file_id_of(folder.get()), files::file_id(planted.dir(), c.opened)) << c.relative;
        }
    }
}

TEST(Folders, TheUsersFolderIsNeverASymlink)
{
    const Planted planted;
    const struct {
        std::string path;
        bool create;
        std::error_code error;
        const char* opened;
    } cases[] = {
        {"real", false, None, "real"},
        {"link/inner", false, None, "real/inner"},  // a parent symlink is the user's own
        {"new", true, None, "new"},
        {"real/inner", true, None, "real/inner"},
        {"link", false, Symlink, ""},
        {"link/", true, Symlink, ""},
        {"link/./", false, Symlink, ""},
        {"dangling", true, Symlink, ""},
        {"victim", true, NotFolder, ""},
        {"absent", false, Missing, ""},
        {"absent/new", true, Missing, ""},
    };
    for (const auto& c : cases) {
        std::error_code error;
        const files::Descriptor folder = files::open_user_folder(planted.root / c.path, c.create, error);
        EXPECT_EQ(error, c.error) << c.path;
        if (folder) {
            EXPECT_EQ(files::file_id_of(folder.get()), files::file_id(planted.dir(), c.opened)) << c.path;
        }
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(planted.root / "nowhere")));
}

TEST(AtomicFile, RefusesWhatIsPlantedAtItsName)
{
    enum class Plant { Nothing, Symlink, Fifo, Folder };
    const struct {
        const char* name;
        Plant before_commit;  // at "out", after the file was created
        std::error_code error;
    } cases[] = {
        {"file_link", Plant::Nothing, Symlink},  {"dangling", Plant::Nothing, Symlink},
        {"link", Plant::Nothing, Symlink},       {"fifo", Plant::Nothing, NotRegular},
        {"real", Plant::Nothing, NotRegular},    {"..", Plant::Nothing, Outside},
        {"../victim", Plant::Nothing, Outside},  {"real/inner", Plant::Nothing, Outside},
        {"out", Plant::Symlink, Symlink},        {"out", Plant::Fifo, NotRegular},
        {"out", Plant::Folder, NotRegular},
    };
    for (const auto& c : cases) {
        const Planted planted;
        std::set<std::string> expected = names_in(planted.root.path());
        {
            std::error_code error;
            files::AtomicFile file(planted.folder, c.name, error);
            if (!error) {
                EXPECT_FALSE(file.write(bytes_of("new")));
                const fs::path out = planted.root / "out";
                if (c.before_commit == Plant::Symlink) fs::create_symlink("victim", out);
                if (c.before_commit == Plant::Fifo) ::mkfifo(out.c_str(), 0666);
                if (c.before_commit == Plant::Folder) fs::create_directory(out);
                if (c.before_commit != Plant::Nothing) expected.insert("out");
                error = file.commit();
            }
            EXPECT_EQ(error, c.error) << c.name;
        }
        EXPECT_EQ(read_file(planted.root / "victim"), "old") << c.name;
        EXPECT_EQ(names_in(planted.root.path()), expected) << c.name;
    }
}

TEST(AtomicFile, AppearsWholeOnCommitOrNotAtAll)
{
    const std::vector<std::uint8_t> content = generated(300000);
    for (const bool existing : {false, true}) {
        const TempFolder folder;
        const files::Descriptor dir(::open(folder.path().c_str(), O_RDONLY | O_DIRECTORY));
        const std::string held = existing ? "old" : "";
        if (existing) write_file(folder / "out", held);
        {
            // Written in pieces, handed on, dropped without commit.
            std::error_code error;
            files::AtomicFile file(dir, "out", error);
            ASSERT_FALSE(error);
            EXPECT_FALSE(file.write(std::span(content).first(1000)));
            files::AtomicFile moved = std::move(file);
            EXPECT_FALSE(moved.write(std::span(content).subspan(1000)));
        }
        EXPECT_EQ(names_in(folder.path()).size(), existing ? 1u : 0u);
        EXPECT_EQ(read_file(folder / "out"), held);

        std::error_code error;
        files::AtomicFile file(dir, "out", error);
        EXPECT_FALSE(file.write(content));
        EXPECT_EQ(read_file(folder / "out"), held);
        EXPECT_FALSE(file.commit());
        EXPECT_EQ(bytes_of(read_file(folder / "out")), content);
        EXPECT_EQ(names_in(folder.path()), std::set<std::string>{"out"});
    }
}

TEST(AtomicFile, AProcessKilledWhileWritingLeavesNothing)
{
    const TempFolder folder;
    if (const files::Descriptor probe(::open(folder.path().c_str(), O_TMPFILE | O_WRONLY, 0666)); !probe) {
        GTEST_SKIP() << "this file system has no unnamed files";
    }
    const pid_t child = ::fork();
    if (child == 0) {
        const files::Descriptor dir(::open(folder.path().c_str(), O_RDONLY | O_DIRECTORY));
        std::error_code error;
        files::AtomicFile file(dir, "out", error);
        if (!error) error = file.write(generated(100000));
        ::raise(error ? SIGTERM : SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_TRUE(names_in(folder.path()).empty());
}

// Feeds `bytes` into `fd` from a thread, then closes it; a reader that stops
// early only ends the writing.
std::thread feed(int fd, std::vector<std::uint8_t> bytes)
{
    return std::thread([fd, bytes = std::move(bytes)] {
        files::Descriptor end(fd);
        files::write_all(end.get(), {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    });
}

TEST(ReadInput, TakesPipesAndStandardInputWithinTheLimit)
{
    // Past the limit the reader closes its end, and the feeding thread must
    // get EPIPE rather than the signal.
    std::signal(SIGPIPE, SIG_IGN);
    const std::vector<std::uint8_t> content = generated(200000);
    const TempFolder folder;
    write_file(folder / "file", std::string(content.begin(), content.end()));
    const fs::path fifo = folder / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);

    enum class Source { Fifo, StandardInput, Path };
    const struct {
        Source source;
        std::string path;
        std::size_t limit;
        std::error_code error;
    } cases[] = {
        {Source::Fifo, fifo, content.size(), None},
        {Source::Fifo, fifo, content.size() - 1, TooLarge},
        {Source::StandardInput, "-", content.size(), None},
        {Source::StandardInput, "-", 1000, TooLarge},
        {Source::Path, folder / "file", content.size(), None},
        {Source::Path, folder / "file", content.size() - 1, TooLarge},
        {Source::Path, "/dev/zero", 1 << 20, TooLarge},
        {Source::Path, folder.path(), 1 << 20, std::make_error_code(std::errc::is_a_directory)},
        {Source::Path, folder / "missing", 1 << 20, Missing},
    };
    for (const auto& c : cases) {
        std::thread feeding;
        files::Descriptor saved;
        if (c.source == Source::Fifo) {
            feeding = std::thread([&] {
                // Opened here, since opening a FIFO waits for the other end.
                feed(::open(fifo.c_str(), O_WRONLY), content).join();
            });
        }
        if (c.source == Source::StandardInput) {
            int ends[2];
            ASSERT_EQ(::pipe(ends), 0);
            saved = files::Descriptor(::dup(STDIN_FILENO));
            ::dup2(ends[0], STDIN_FILENO);
            ::close(ends[0]);
            feeding = feed(ends[1], content);
        }
        std::error_code error;
        const std::vector<std::uint8_t> bytes = files::read_input(c.path, c.limit, error);
        if (saved) ::dup2(saved.get(), STDIN_FILENO);
        saved.close();
        if (feeding.joinable()) feeding.join();
        EXPECT_EQ(error, c.error) << c.path << " " << c.limit;
        EXPECT_EQ(bytes, error ? std::vector<std::uint8_t>() : content) << c.path << " " << c.limit;
    }
    // A file that says it is empty and is not, as /proc's do, is read to its end.
    std::error_code error;
    const std::vector<std::uint8_t> status = files::read_input("/proc/self/status", 1 << 20, error);
    EXPECT_FALSE(error);
    EXPECT_NE(std::string(status.begin(), status.end()).find("\nnonvoluntary_ctxt_switches:"), std::string::npos);
}

// A regular file read through one descriptor goes back and forward, within
// what is buffered and past it; a write to it shows in its version.
TEST(DescriptorBuffer, SeeksWithinAndBeyondWhatItBuffered)
{
    const TempFolder folder;
    const std::vector<std::uint8_t> content = generated(200000);
    write_file(folder / "f", std::string(content.begin(), content.end()));
    std::error_code error;
    files::FileStream file(files::open_input((folder / "f").string(), error));
    std::streambuf& in = *file.rdbuf();
    ASSERT_EQ(in.sbumpc(), content[0]);
    using std::ios_base;
    const struct {
        std::streamoff offset;
        ios_base::seekdir way;
        std::streamoff at;
    } seeks[] = {
        {100, ios_base::beg, 100},  {-50, ios_base::cur, 50},     {150000, ios_base::beg, 150000},  // within, then past
        {10, ios_base::beg, 10},    {-3, ios_base::end, 199997}, {0, ios_base::cur, 199997},
    };
    for (const auto& seek : seeks) {
        EXPECT_EQ(in.pubseekoff(seek.offset, seek.way, ios_base::in), std::streampos(seek.at)) << seek.offset;
        EXPECT_EQ(in.sgetc(), content[static_cast<std::size_t>(seek.at)]) << seek.offset;
    }
    const std::optional<files::FileVersion> before = files::version_of(file.descriptor());
    std::ofstream(folder / "f", std::ios::app) << "more";
    EXPECT_NE(files::version_of(file.descriptor()), before);

    const testing::Pipe pipe("abc");
    files::FileStream piped(files::Descriptor(::dup(pipe.fd())));
    EXPECT_EQ(piped.rdbuf()->pubseekoff(0, ios_base::beg, ios_base::in), std::streampos(std::streamoff(-1)));
}

TEST(FullDisk, IsReportedWithItsReason)
{
    const TempFolder folder;
    const fs::path mounted = folder / "small";
    fs::create_directory(mounted);
    if (::mount("tmpfs", mounted.c_str(), "tmpfs", 0, "size=64k,nr_inodes=8") != 0) {
        GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
    }
    struct Unmount {
        const fs::path& path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{mounted};
    const files::Descriptor dir(::open(mounted.c_str(), O_RDONLY | O_DIRECTORY));

    const std::optional<files::Room> room = files::room_in(dir.get());
    ASSERT_TRUE(room);
    EXPECT_EQ(room->bytes, 64u << 10);
    EXPECT_GT(room->files, 0u);
    EXPECT_LT(room->files, 8u);

    {
        std::error_code error;
        files::AtomicFile file(dir, "big", error);
        ASSERT_FALSE(error);
        EXPECT_EQ(file.write(generated(1 << 20)), std::make_error_code(std::errc::no_space_on_device));
    }
    EXPECT_TRUE(names_in(mounted).empty());
}

}  // namespace
}  // namespace tess
