// tesspack diff and dump: one table of pairs of tile files with the report
// and outcome each must give, the text form against golden files, git
// showing one changed line for one changed pixel through the text form; a
// file changed between diff's readings, how much diff reads, and every input
// of the commands that read tile files opened once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "pack/diff.hpp"
#include "pack/dump.hpp"
#include "pack/error.hpp"
#include "program_runner.hpp"
#include "tile/file.hpp"
#include "tile/image.hpp"

namespace tess {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Scene {
    std::string name;
    int frames = 1;
    std::vector<Image> images;  // views x frames
};

Image sprite(int height, int seed)
{
    Image image{height, std::vector<Pixel>(static_cast<std::size_t>(height) * TileWidth, TransparentPixel)};
    for (int y = 0; y < height; ++y) {
        for (int x = 8; x < 40; ++x) image.pixels[static_cast<std::size_t>(y * TileWidth + x)] = static_cast<Pixel>((x * 7 + y * 3 + seed) % 256);
    }
    return image;
}

Bytes tile(const std::vector<Scene>& scenes, int views = 1, int revision = 2)
{
    Bytes out;
    TileFileWriter writer(out, revision, views, static_cast<int>(scenes.size()));
    for (const Scene& scene : scenes) {
        writer.scene(scene.frames, scene.name);
        for (const Image& image : scene.images) writer.image(image.height, encode_image(image));
    }
    writer.finish();
    return out;
}

const std::vector<Scene> Base = {{"walk", 2, {sprite(10, 0), sprite(10, 1)}}, {"idle", 1, {sprite(6, 2)}}};

std::vector<Scene> with(std::function<void(std::vector<Scene>&)> change)
{
    std::vector<Scene> scenes = Base;
    change(scenes);
    return scenes;
}

// walk's frame 1 with one literal run split in two: the same pixels in more bytes.
Bytes foreign_encoding()
{
    Bytes out;
    TileFileWriter writer(out, 2, 1, 2);
    writer.scene(2, "walk");
    writer.image(10, encode_image(sprite(10, 0)));
    const Image image = sprite(10, 1);
    Bytes data;
    for (int y = 0; y < image.height; ++y) {
        data.insert(data.end(), {code_byte(RowCode::TransparentRun), 8, code_byte(RowCode::LiteralRun), 16});
        for (int x = 8; x < 24; ++x) data.push_back(static_cast<std::uint8_t>(image.at(x, y)));
        data.insert(data.end(), {code_byte(RowCode::LiteralRun), 16});
        for (int x = 24; x < 40; ++x) data.push_back(static_cast<std::uint8_t>(image.at(x, y)));
        data.push_back(code_byte(RowCode::EndOfRow));
    }
    data.push_back(code_byte(RowCode::EndOfImage));
    writer.image(10, data);
    writer.scene(1, "idle");
    writer.image(6, encode_image(sprite(6, 2)));
    writer.finish();
    return out;
}

struct Pair {
    const char* what;
    Bytes b;
    std::string report;
    bool differ;
    bool bytes_differ;
};

TEST(Diff, ReportsEachKindOfChange)
{
    const Bytes a = tile(Base);
    Bytes cut = a;
    cut.resize(cut.size() - 5);
    const std::vector<Pair> pairs = {
        {"identical", a, "", false, false},
        {"one pixel", tile(with([](auto& s) { s[0].images[1].pixels[3 * TileWidth + 20] = 1; })),
         "walk view 0 frame 1: 1 pixel changed in x 20\u201320, y 3\u20133\n", true, true},
        {"a pixel cleared and one drawn", tile(with([](auto& s) {
             s[1].images[0].pixels[8] = TransparentPixel;
             s[1].images[0].pixels[5 * TileWidth + 50] = 9;
         })),
         "idle view 0 frame 0: 2 pixels changed in x 8\u201350, y 0\u20135\n", true, true},
        {"taller", tile(with([](auto& s) { s[1].images[0] = sprite(9, 2); })),
         "idle view 0 frame 0: height 6 -> 9, 96 pixels changed in x 8\u201339, y 6\u20138\n", true, true},
        {"taller by transparent rows", tile(with([](auto& s) {
             s[1].images[0].height = 8;
             s[1].images[0].pixels.resize(8 * TileWidth, TransparentPixel);
         })),
         "idle view 0 frame 0: height 6 -> 8, no pixel changed\n", true, true},
        {"scene added", tile(with([](auto& s) { s.insert(s.begin() + 1, Scene{"run", 1, {sprite(3, 5)}}); })),
         "scene 1 \"run\" added\n", true, true},
        {"scene removed", tile(with([](auto& s) { s.erase(s.begin()); })), "scene 0 \"walk\" removed\n", true, true},
        {"scene renamed", tile(with([](auto& s) { s[1].name = "rest"; })), "scene 1 \"idle\" renamed \"rest\"\n", true,
         true},
        {"scenes swapped", tile({Base[1], Base[0]}), "scene 1 \"idle\" moved to 0\n", true, true},
        {"frame added", tile(with([](auto& s) {
             s[0].frames = 3;
             s[0].images.push_back(sprite(10, 4));
         })),
         "walk: frames 2 -> 3\n", true, true},
        {"revision", tile(Base, 1, 3), "revision: 2 -> 3\n", true, true},
        {"same pixels, other bytes", foreign_encoding(),
         "walk view 0 frame 1: same pixels, other bytes (371 -> 391 bytes of data)\nsame pixels, other bytes\n", false,
         true},
    };
    for (const Pair& pair : pairs) {
        SCOPED_TRACE(pair.what);
        MemoryTileInput in_a("a.til", a), in_b("b.til", pair.b);
        std::ostringstream out;
        const DiffOutcome outcome = diff_tile_files(in_a, in_b, out);
        EXPECT_EQ(out.str(), pair.report);
        EXPECT_EQ(outcome.differ, pair.differ);
        EXPECT_EQ(outcome.bytes_differ, pair.bytes_differ || pair.b != a);
    }
    for (const Bytes& damaged : {cut, Bytes{'T', 'I', 'X', 2, 1, 1}}) {
        MemoryTileInput in_a("a.til", a), in_b("b.til", damaged);
        std::ostringstream out;
        try {
            diff_tile_files(in_a, in_b, out);
            ADD_FAILURE() << "no error";
        } catch (const PackError& error) {
            EXPECT_EQ(error.where().file, "b.til");
            EXPECT_TRUE(std::string(error.what()).starts_with("damaged, so it cannot be compared")) << error.what();
        }
    }
}

TEST(Diff, PictureAndJsonOfAChange)
{
    MemoryTileInput a("a.til", tile(Base));
    MemoryTileInput b("b.til", tile(with([](auto& s) { s[0].images[0].pixels[20] = 1; })));
    std::ostringstream out;
    const DiffOutcome outcome = diff_tile_files(a, b, out, {true, true});
    EXPECT_EQ(out.str(),
              "{\n  \"changes\": [\n    {\"kind\": \"image\", \"scene\": 0, \"view\": 0, \"frame\": 0, \"height\": [10, 10], "
              "\"pixels\": 1, \"x\": [20, 20], \"y\": [0, 0]}\n  ],\n  \"differ\": true,\n  \"bytes_differ\": true\n}\n");
    EXPECT_EQ(outcome.images_changed, 1u);
    ASSERT_GT(outcome.picture.size(), 8u);
    EXPECT_EQ(outcome.picture[1], 'P');
}

// Scenes s0, s1, ... of two frames, each image its own.
std::vector<Scene> numbered_scenes(int count)
{
    std::vector<Scene> scenes;
    for (int i = 0; i < count; ++i) {
        scenes.push_back({"s" + std::to_string(i), 2, {sprite(12, 2 * i), sprite(12, 2 * i + 1)}});
    }
    return scenes;
}

// B as one input at the survey and another from the comparison on, with
// what rewrites it done in between.
class RewrittenInput final : public TileInput {
public:
    RewrittenInput(TileInput& first, TileInput& later, std::function<void()> rewrite)
        : first_(first), later_(later), rewrite_(std::move(rewrite))
    {
    }
    const std::string& name() const override { return first_.name(); }
    std::streambuf& at(std::uint64_t offset) override
    {
        if (readings_++ == 1) rewrite_();
        return (readings_ == 1 ? first_ : later_).at(offset);
    }

private:
    TileInput &first_, &later_;
    std::function<void()> rewrite_;
    int readings_ = 0;
};

TEST(Diff, AFileChangedBetweenItsReadingsIsSaidToHaveChanged)
{
    const std::vector<Scene> scenes = numbered_scenes(6);
    const Bytes a = tile(scenes);
    const Bytes b = tile({scenes.rbegin(), scenes.rend()});
    Bytes renamed = b;
    *std::search(renamed.begin(), renamed.end(), std::begin("s2"), std::end("s2")) = 't';
    testing::TempFolder folder;
    const struct {
        const char* what;
        Bytes later;
        bool in_place;  // a real file, read through one stream, rewritten
    } cases[] = {
        {"cut short", Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(b.size() / 2)), false},
        {"another, smaller file", tile({scenes[5], scenes[4]}), false},
        {"a scene renamed", renamed, false},
        {"a real file rewritten smaller", tile({scenes[5]}), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testing::write_file(folder / "b.til", std::string(b.begin(), b.end()));
        std::filebuf file;
        file.open(folder / "b.til", std::ios::in | std::ios::binary);
        StreamTileInput on_disk("b.til", file);
        MemoryTileInput in_a("a.til", a), first("b.til", b), later("b.til", c.later);
        RewrittenInput in_b = c.in_place ? RewrittenInput(on_disk, on_disk, [&] {
            testing::write_file(folder / "b.til", std::string(c.later.begin(), c.later.end()));
        }) : RewrittenInput(first, later, [] {});
        std::ostringstream out;
        try {
            diff_tile_files(in_a, in_b, out);
            ADD_FAILURE() << "no error: " << out.str();
        } catch (const PackError& error) {
            EXPECT_EQ(error.where().file, "b.til");
            EXPECT_TRUE(std::string(error.what()).starts_with("changed while it was read")) << error.what();
        }
    }
}

// Bytes served 64 at a time, as reads of a file would be, and counted.
struct CountedInput final : TileInput, std::streambuf {
    explicit CountedInput(Bytes bytes) : bytes(std::move(bytes)) {}
    const std::string& name() const override { return label; }
    std::streambuf& at(std::uint64_t offset) override
    {
        next = static_cast<std::size_t>(offset);
        setg(nullptr, nullptr, nullptr);
        return *this;
    }
    int_type underflow() override
    {
        const std::size_t count = std::min<std::size_t>(64, bytes.size() - std::min(next, bytes.size()));
        if (count == 0) return traits_type::eof();
        char* from = reinterpret_cast<char*>(bytes.data() + next);
        setg(from, from, from + count);
        next += count;
        read += count;
        return traits_type::to_int_type(*from);
    }

    Bytes bytes;
    std::string label = "counted.til";
    std::size_t next = 0, read = 0;
};

// However B's scenes are ordered against A's, each file is read about twice
// through: once to find its scenes, once at those compared.
TEST(Diff, ReadsEachFileABoundedNumberOfTimes)
{
    const std::vector<Scene> scenes = numbered_scenes(40);
    std::vector<Scene> swapped = scenes;
    for (std::size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
    const struct {
        const char* what;
        std::vector<Scene> a, b;
    } cases[] = {
        {"B reversed", scenes, {scenes.rbegin(), scenes.rend()}},
        {"A reversed", {scenes.rbegin(), scenes.rend()}, scenes},
        {"pairs swapped", scenes, swapped},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CountedInput a(tile(c.a)), b(tile(c.b));
        std::ostringstream out;
        diff_tile_files(a, b, out);
        for (const CountedInput* side : {&a, &b}) EXPECT_LE(side->read, 2 * side->bytes.size() + 40 * 64);
    }
}

std::string golden(const std::string& name)
{
    std::ifstream in(std::string(TEST_DATA_DIR) + "/" + name);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(Dump, MatchesGoldenFiles)
{
    for (const auto& [til, dump] : {std::pair{std::string(TEST_DATA_DIR) + "/walk.til", "walk.dump"},
                                    std::pair{std::string(EXAMPLES_DIR) + "/knight.til", "knight.dump"}}) {
        std::filebuf in;
        ASSERT_TRUE(in.open(til, std::ios::in | std::ios::binary));
        std::ostringstream out;
        dump_tile_file(in, out);
        EXPECT_EQ(out.str(), golden(dump)) << til;
    }
}

// git diff through `tesspack dump` shows one pixel changed as one line.
TEST(Dump, GitTextconvShowsOneLineForOnePixel)
{
    if (std::system("git --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "git is not installed";
    testing::TempFolder folder;
    const Bytes before = tile(Base);
    const Bytes after = tile(with([](auto& s) { s[0].images[1].pixels[3 * TileWidth + 20] = TransparentPixel; }));
    const auto write = [&](const Bytes& bytes) { testing::write_file(folder / "a.til", std::string(bytes.begin(), bytes.end())); };
    const std::string git = "cd '" + folder.path().string() + "' && git -c user.name=t -c user.email=t@t ";
    ASSERT_EQ(std::system((git + "init -q && echo '*.til diff=til' > .gitattributes && git config diff.til.textconv '" +
                           std::string(TESSPACK_PATH) + " dump'").c_str()), 0);
    write(before);
    ASSERT_EQ(std::system((git + "add . && " + git + "commit -qm a").c_str()), 0);
    write(after);
    ASSERT_EQ(std::system((git + "diff | grep -E '^[-+][^-+]' > changed").c_str()), 0);
    const std::string changed = testing::read_file(folder / "changed");
    ASSERT_EQ(std::count(changed.begin(), changed.end(), '\n'), 2) << changed;
    EXPECT_TRUE(changed.starts_with("-|") && changed.find("\n+|") != std::string::npos) << changed;
}


// A FIFO that a child writes once, whole, and closes before it exits; a
// second open of it would wait for a writer that never comes.
class FedFifo {
public:
    FedFifo(const std::filesystem::path& path, const Bytes& bytes) : path_(path)
    {
        if (::mkfifo(path.c_str(), 0600) != 0) throw std::runtime_error("cannot make a FIFO");
        writer_ = ::fork();
        if (writer_ == 0) {
            ::alarm(10);
            const int fd = ::open(path.c_str(), O_WRONLY);
            const auto size = static_cast<ssize_t>(bytes.size());
            const bool written = fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == size;
            std::_Exit(written && ::close(fd) == 0 ? 0 : 1);
        }
    }
    // A writer still waiting for a reader (the program never opened the
    // FIFO) is let go.
    ~FedFifo()
    {
        const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK);
        ::waitpid(writer_, nullptr, 0);
        ::close(fd);
        std::filesystem::remove(path_);
    }

private:
    std::filesystem::path path_;
    pid_t writer_;
};

// Each input is opened once: a FIFO or standard input on either side of
// diff gives the answer the same files give as regular files, and so does a
// FIFO for every command that reads one tile file. Standard input cannot be
// both sides of a diff, nor one FIFO.
TEST(TesspackInputs, AreReadOnce)
{
    testing::TempFolder folder;
    const Bytes a = tile(Base), b = tile(with([](auto& s) { s[0].images[1].pixels[3 * TileWidth + 20] = 1; }));
    testing::write_file(folder / "a.til", std::string(a.begin(), a.end()));
    testing::write_file(folder / "b.til", std::string(b.begin(), b.end()));
    const auto run = [&](std::vector<std::string> arguments, const std::string& standard_input = "") {
        const int in = standard_input.empty() ? -1 : ::open((folder / standard_input).c_str(), O_RDONLY);
        testing::RunResult result = testing::run(TESSPACK_PATH, arguments, folder.path(), {.input = in});
        if (in >= 0) ::close(in);
        return result;
    };
    const struct {
        const char* what;
        std::vector<std::string> arguments;  // "p" is a FIFO fed b.til
        std::vector<std::string> as_files;   // the same with regular files; none for a usage error
        std::string standard_input;          // a regular file as standard input
    } cases[] = {
        {"a FIFO as B", {"diff", "a.til", "p"}, {"diff", "a.til", "b.til"}, ""},
        {"a FIFO as A", {"diff", "p", "a.til", "--json"}, {"diff", "b.til", "a.til", "--json"}, ""},
        {"standard input as B", {"diff", "a.til", "-"}, {"diff", "a.til", "b.til"}, "b.til"},
        {"standard input as A", {"diff", "-", "b.til"}, {"diff", "a.til", "b.til"}, "a.til"},
        {"standard input as both", {"diff", "-", "-"}, {}, "a.til"},
        {"one FIFO as both", {"diff", "p", "p"}, {}, ""},
        {"verify", {"verify", "p"}, {"verify", "b.til"}, ""},
        {"list", {"list", "p", "--json"}, {"list", "b.til", "--json"}, ""},
        {"dump", {"dump", "p"}, {"dump", "b.til"}, ""},
        {"preview", {"preview", "p", "-o", "p.png"}, {"preview", "b.til", "-o", "b.png"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const testing::RunResult expected =
            c.as_files.empty() ? testing::RunResult{"", "", 2} : run(c.as_files);
        // A second open hangs only when the writer has gone by then, which
        // it mostly but not always has: a few rounds all but make sure.
        for (int round = 0; round < 6; ++round) {
            testing::RunResult result;
            {
                const FedFifo fifo(folder / "p", b);
                result = run(c.arguments, c.standard_input);
            }
            const bool right = c.as_files.empty()
                                   ? result.status == 2 && result.errors.starts_with("tesspack: ")
                                   : result.status == expected.status && result.output == expected.output &&
                                         result.errors == expected.errors;
            EXPECT_TRUE(right) << "round " << round << ": status " << result.status << "\n"
                               << result.output << result.errors;
            if (!right) break;
        }
    }
    EXPECT_EQ(testing::read_file(folder / "p.png"), testing::read_file(folder / "b.png"));
}

}  // namespace
}  // namespace tess
