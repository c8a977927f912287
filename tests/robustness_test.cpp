// Damaged and hostile input through both cores: every cut and every single
// flipped bit of the sample files, and named XPMs that try to break the reader.
// Each run either succeeds or ends in one tess::Failure whose message is a
// whole line, quickly, and without a sanitizer report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "programs/failure.hpp"
#include "encode_tile_file.hpp"
#include "palette/metric.hpp"
#include "test_support.hpp"
#include "decode_tile_file.hpp"
#include "memory_xpm_files.hpp"

namespace tess {
namespace {

using namespace std::string_literals;
using Clock = std::chrono::steady_clock;

// Generous: a sample takes microseconds, a sanitizer build milliseconds.
constexpr auto SlowestAllowed = std::chrono::seconds(1);

// The failure is kept apart from success, so that an empty message shows.
struct Encoded {
    std::string tile;
    std::string report;
    std::optional<std::string> failure;
};

Encoded encode(const std::string& xpm_text, Metric type = Metric::L2)
{
    std::istringstream xpm(xpm_text);
    std::stringstream tile;
    std::ostringstream report;
    Encoded result;
    try {
        encode_tile_file(xpm, type, "walk", tile, report);
    } catch (const Failure& failure) {
        result.failure = failure.what();
    }
    result.tile = tile.str();
    result.report = report.str();
    return result;
}

struct Decoded {
    std::map<std::string, std::string> files;
    std::optional<std::string> failure;
};

Decoded decode(const std::string& tile_bytes, bool keep_files = true)
{
    std::istringstream tile(tile_bytes);
    std::ostringstream summary;
    testing::MemoryXpmFiles files;
    Decoded result;
    try {
        decode_tile_file(tile, "walk.til", summary, files);
    } catch (const Failure& failure) {
        result.failure = failure.what();
    }
    if (keep_files) result.files = files.contents();
    return result;
}

// How the samples get damaged: cut short at every length, or one bit flipped
// at every position. The two are separate tests so that they run side by side.
enum class Damage { Cut, FlippedBit };

// Runs `run` on every damaged copy of `original`. `run` returns the failure
// message, if any; a failure must be one whole line, and any other exception
// escapes into the test. Stops at the first bad case.
template <typename Run>
void sweep(const std::string& original, Damage damage, Run run)
{
    Clock::duration slowest{};
    const auto check = [&](const std::string& input, const char* what, std::size_t where) {
        SCOPED_TRACE(::testing::Message() << what << ' ' << where);
        const auto start = Clock::now();
        const std::optional<std::string> failure = run(input);
        slowest = std::max(slowest, Clock::now() - start);
        if (failure) {
            EXPECT_TRUE(!failure->empty() && failure->back() == '\n') << '"' << *failure << '"';
        }
        return !::testing::Test::HasFailure();
    };
    if (damage == Damage::Cut) {
        for (std::size_t length = 0; length < original.size(); ++length) {
            if (!check(original.substr(0, length), "cut at", length)) return;
        }
    } else {
        std::string flipped = original;
        for (std::size_t bit = 0; bit < original.size() * 8; ++bit) {
            const auto mask = static_cast<char>(1 << (bit % 8));
            flipped[bit / 8] ^= mask;
            const bool good = check(flipped, "bit flipped", bit);
            flipped[bit / 8] ^= mask;
            if (!good) return;
        }
    }
    EXPECT_LT(slowest, SlowestAllowed);
}

struct Sample {
    std::string name;  // a test name: letters, digits and '_'
    std::string text;
};

// Names the sample in test listings instead of dumping its bytes.
void PrintTo(const Sample& sample, std::ostream* out) { *out << sample.name; }

std::string read_file(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<Sample> sample_files(const std::string& extension)
{
    std::vector<Sample> samples;
    for (const char* folder : {EXAMPLES_DIR, TEST_DATA_DIR}) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().extension() != extension) continue;
            const auto& path = entry.path();
            std::string name = path.parent_path().filename().string() + "_" + path.stem().string();
            std::replace_if(
                name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
            samples.push_back({name, read_file(entry.path())});
        }
    }
    std::sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.name < b.name; });
    return samples;
}

// XPMs as common tools write them, beside the sample files.
std::vector<Sample> xpm_samples()
{
    std::vector<Sample> samples = sample_files(".xpm");
    samples.push_back({"inline_imagemagick",
                       "/* XPM */\nstatic char *magick[] = {\n/* columns rows colors chars-per-pixel */\n"
                       "\"4 2 3 1 \",\n\"  c None\",\n\". c #FF0000\",\n\"X c gray50\",\n/* pixels */\n"
                       "\" .X.\",\n\"X.  \"\n};\n"});
    samples.push_back({"inline_netpbm",
                       "/* XPM */\nstatic char *noname[] = {\n/* width height ncolors chars_per_pixel */\n"
                       "\"2 2 2 2\",\n/* colors */\n\"aa c #FF0000\",\n\"bb c #0000FF\",\n/* pixels */\n"
                       "\"aabb\",\n\"bbaa\"\n};\n"});
    samples.push_back({"inline_gimp", "/* XPM */\nstatic char * gimp_xpm[] = {\n\"3 2 3 1\",\n\" \tc None\",\n"
                                      "\".\tc #00FF00\",\n\"+\tc #201000\",\n\" .+\",\n\"+. \"};\n"});
    samples.push_back({"inline_libxpm",
                       "/* XPM */\nstatic char * sym_xpm[] = {\n\"2 2 2 1 0 0\",\n"
                       "\"a s fg c light goldenrod yellow m black\",\n\"b s bg c None m white\",\n"
                       "\"ab\",\n\"ba\"};\n"});
    return samples;
}

std::string sample_name(const ::testing::TestParamInfo<Sample>& info) { return info.param.name; }

class TileSample : public ::testing::TestWithParam<Sample> {};
class XpmSample : public ::testing::TestWithParam<Sample> {};

std::optional<std::string> decode_failure(const std::string& tile) { return decode(tile, false).failure; }

// The conversion type follows the input, so that all four see damaged XPMs.
std::optional<std::string> encode_failure(const std::string& xpm)
{
    const Encoded encoded = encode(xpm, static_cast<Metric>(std::hash<std::string>{}(xpm) % 4));
    if (!encoded.failure) {
        const Decoded decoded = decode(encoded.tile, false);
        EXPECT_FALSE(decoded.failure) << "an accepted XPM must decode: " << decoded.failure.value_or("");
    }
    return encoded.failure;
}

TEST_P(TileSample, EveryCutDecodesOrFailsWithOneLine)
{
    ASSERT_FALSE(decode(GetParam().text).failure) << "the sample itself must decode";
    sweep(GetParam().text, Damage::Cut, decode_failure);
}

TEST_P(TileSample, EveryFlippedBitDecodesOrFailsWithOneLine)
{
    sweep(GetParam().text, Damage::FlippedBit, decode_failure);
}

TEST_P(XpmSample, EveryCutEncodesOrFailsWithOneLine)
{
    ASSERT_FALSE(encode(GetParam().text).failure) << "the sample itself must encode";
    sweep(GetParam().text, Damage::Cut, encode_failure);
}

TEST_P(XpmSample, EveryFlippedBitEncodesOrFailsWithOneLine)
{
    sweep(GetParam().text, Damage::FlippedBit, encode_failure);
}

INSTANTIATE_TEST_SUITE_P(Samples, TileSample, ::testing::ValuesIn(sample_files(".til")), sample_name);
INSTANTIATE_TEST_SUITE_P(Samples, XpmSample, ::testing::ValuesIn(xpm_samples()), sample_name);

const std::string Header = "/* XPM */\nstatic char *hostile[] = {\n";
const std::string OneMegabyte(1 << 20, 'a');

// An XPM made of the given strings, one a line, as tools write them.
std::string xpm_of(std::initializer_list<std::string> strings)
{
    std::string text = Header;
    for (const std::string& s : strings) text += "\"" + s + "\",\n";
    return text + "};\n";
}

TEST(HostileXpm, IsRefusedWithItsMessage)
{
    const struct {
        const char* what;
        std::string xpm;
        std::string failure;
    } cases[] = {
        {"unterminated comment at end of file", Header + "\"1 1 1 1\",\n/* the colours:\n\"a c red\",\n\"a\"\n",
         "error: wrong xpm format\n"},
        {"unterminated comment before any string", "/* XPM", "error: wrong xpm format\n"},
        {"unterminated string at end of file", Header + "\"1 1 1 1\",\n\"a c red\",\n\"a", "error: wrong xpm format\n"},
        {"more colours announced than the file holds", Header + "\"1 1 3 1\",\n\"a c red\",\n\"b c blue\"\n};\n",
         "error: wrong xpm format\n"},
        {"more colours announced than given: a row read as a colour line",
         xpm_of({"2 1 3 1", "a c red", "b c blue", "ab"}), "error: colour line \"ab\" gives no colour\n"},
        {"cpp longer than the colour line", xpm_of({"1 1 1 4", "a c", "a"}), "error: wrong xpm format\n"},
        {"cpp longer than the key: the key swallows the context", xpm_of({"1 1 1 3", "a c red", "aaa"}),
         "error: colour line \"a c red\" gives no colour\n"},
        {"NUL in the values line", Header + "\"1 1\0 1 1\",\n\"a c red\",\n\"a\"};\n"s, "error: wrong xpm format\n"},
        {"NUL in a colour line", Header + "\"1 1 1 1\",\n\"a c r\0ed\",\n\"a\"};\n"s, "error: wrong xpm format\n"},
        {"NUL in a row", Header + "\"2 1 1 1\",\n\"a c red\",\n\"a\0\"};\n"s, "error: wrong xpm format\n"},
        {"NUL between strings", Header + "\"1 1 1 1\",\0\n\"a c red\",\n\"a\"};\n"s, "error: wrong xpm format\n"},
        {"a 1 MB row", xpm_of({"1 1 1 1", "a c red", OneMegabyte}), "error: wrong xpm format\n"},
        {"a 1 MB values line", xpm_of({"1 1 1 1" + std::string(1 << 20, ' '), "a c red", "a"}),
         "error: wrong xpm format\n"},
        {"a pixel whose key is not in the colour table", xpm_of({"3 1 2 1", "a c red", "b c None", "abz"}),
         "error: pixel \"z\" has no colour\n"},
        {"a pixel of an earlier None colour", xpm_of({"2 1 3 1", "a c None", "b c None", "c c red", "ab"}),
         "error: pixel \"a\" has no colour\n"},
    };
    for (const auto& c : cases) {
        const auto start = Clock::now();
        EXPECT_EQ(encode(c.xpm).failure, c.failure) << c.what;
        EXPECT_LT(Clock::now() - start, SlowestAllowed) << c.what;
    }
}

TEST(HostileXpm, AOneMegabyteCommentIsSkipped)
{
    const Encoded encoded = encode(Header + "// " + OneMegabyte + "\n/* " + OneMegabyte + " */\n" +
                                   "\"1 1 1 1\",\n\"a c red\",\n\"a\"};\n");
    EXPECT_EQ(encoded.failure, std::nullopt);
    EXPECT_EQ(encoded.report, "width = 1  height = 1  colors = 1\n5\n");
}

// Rows of width 0 leave nothing in the data, not even EndOfRow, so the tile
// promises 255 rows and the decoded XPM holds none.
TEST(HostileXpm, WidthZeroWithHeight255GivesAnImageWithoutRows)
{
    const Encoded encoded =
        encode(Header + "\"0 255 1 1\",\n\"a c red\",\n" + testing::repeat("\"\",\n", 255) + "};\n");
    ASSERT_EQ(encoded.failure, std::nullopt);
    EXPECT_EQ(encoded.report, "width = 0  height = 255  colors = 1\n1\n");
    EXPECT_TRUE(encoded.tile.ends_with("walk\0\xff\x01\x00\x03"s)) << encoded.tile;

    const Decoded decoded = decode(encoded.tile);
    ASSERT_EQ(decoded.failure, std::nullopt);
    ASSERT_EQ(decoded.files.size(), 1u);
    EXPECT_TRUE(decoded.files.begin()->second.ends_with("\"64 255 2 3\",\n\"... c None\",\n\"003 c #c4c4c4\"\n};\n"))
        << decoded.files.begin()->second;
}

}  // namespace
}  // namespace tess
