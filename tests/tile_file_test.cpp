#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <sstream>

#include "test_support.hpp"
#include "tile/file.hpp"

namespace tess {
namespace {

using testing::Bytes;

TEST(TileFileWriter, RefusesEveryMistakeWithItsNumbersAndPlace)
{
    using Write = std::function<void(Bytes&)>;
    const auto walk = [](int views, int frames, const std::function<void(TileFileWriter&)>& then) {
        return [=](Bytes& out) {
            TileFileWriter writer(out, 2, views, 1);
            writer.scene(frames, "walk");
            then(writer);
        };
    };
    const Bytes too_long(MaxDataLength + 1, 0);
    const struct {
        const char* what;
        Write write;
        TileFault fault;
        std::string message;
    } cases[] = {
        {"revision", [](Bytes& out) { TileFileWriter(out, -1, 1, 1); }, TileFault::CountOutOfRange,
         "revision -1 is outside 0 to 255"},
        {"views", [](Bytes& out) { TileFileWriter(out, 2, 256, 1); }, TileFault::CountOutOfRange,
         "views 256 is outside 0 to 255"},
        {"scenes", [](Bytes& out) { TileFileWriter(out, 2, 1, 300); }, TileFault::CountOutOfRange,
         "scenes 300 is outside 0 to 255"},
        {"frames", [](Bytes& out) { TileFileWriter(out, 2, 1, 1).scene(256, "walk"); }, TileFault::CountOutOfRange,
         "frames 256 is outside 0 to 255 (scene 0 \"walk\")"},
        {"height", walk(1, 2, [](TileFileWriter& w) { w.image(1, {}); w.image(256, {}); }),
         TileFault::CountOutOfRange, "height 256 is outside 0 to 255 (scene 0 \"walk\", view 0, frame 1)"},
        {"negative height", walk(2, 1, [](TileFileWriter& w) { w.image(0, {}); w.begin_image(-1); }),
         TileFault::CountOutOfRange, "height -1 is outside 0 to 255 (scene 0 \"walk\", view 1, frame 0)"},
        {"image before a scene", [](Bytes& out) { TileFileWriter(out, 2, 1, 1).image(0, {}); },
         TileFault::WrongImageCount, "an image before the first scene"},
        {"image too many", walk(2, 1, [](TileFileWriter& w) { w.image(0, {}); w.image(0, {}); w.image(0, {}); }),
         TileFault::WrongImageCount, "image 2 is one more than the 2 of 2 views x 1 frames (scene 0 \"walk\")"},
        {"scene too many",
         [](Bytes& out) {
             TileFileWriter w(out, 2, 0, 1);
             w.scene(1, "a");
             w.scene(1, "b");
         },
         TileFault::WrongSceneCount, "scene 1 is one more than the header's 1 (scene 1 \"b\")"},
        {"scene before the last is full", walk(1, 2, [](TileFileWriter& w) { w.image(0, {}); w.scene(0, "b"); }),
         TileFault::WrongImageCount, "1 of 2 images (1 views x 2 frames) are written (scene 0 \"walk\")"},
        {"finish short of images", walk(2, 1, [](TileFileWriter& w) { w.finish(); }), TileFault::WrongImageCount,
         "0 of 2 images (2 views x 1 frames) are written (scene 0 \"walk\")"},
        {"finish short of scenes", [](Bytes& out) { TileFileWriter(out, 2, 1, 3).finish(); },
         TileFault::WrongSceneCount, "0 of the header's 3 scenes are written"},
        {"long name", [](Bytes& out) { TileFileWriter(out, 2, 1, 1).scene(0, std::string(128, 'n')); },
         TileFault::SceneNameTooLong, "scene name longer than 127 characters (scene 0)"},
        {"zero in the name", [](Bytes& out) { TileFileWriter(out, 2, 1, 1).scene(0, std::string("a\0b", 3)); },
         TileFault::SceneNameHasZero, "scene name holds a zero byte (scene 0)"},
        {"data too long", walk(1, 1, [&](TileFileWriter& w) { w.image(1, too_long); }), TileFault::DataTooLong,
         "image data longer than 65535 bytes (scene 0 \"walk\", view 0, frame 0)"},
        {"data made too long",
         walk(1, 1, [&](TileFileWriter& w) {
             w.begin_image(1);
             w.out().insert(w.out().end(), too_long.begin(), too_long.end());
             w.end_image();
         }),
         TileFault::DataTooLong, "image data longer than 65535 bytes (scene 0 \"walk\", view 0, frame 0)"},
        {"begun and never ended", walk(1, 1, [](TileFileWriter& w) { w.begin_image(0); w.finish(); }),
         TileFault::ImageNotEnded, "an image is begun and not ended (scene 0 \"walk\", view 0, frame 0)"},
        {"ended and never begun", walk(1, 1, [](TileFileWriter& w) { w.end_image(); }), TileFault::ImageNotEnded,
         "no image is begun (scene 0 \"walk\")"},
    };
    for (const auto& c : cases) {
        Bytes out;
        try {
            c.write(out);
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const TileError& error) {
            EXPECT_EQ(error.fault(), c.fault) << c.what;
            EXPECT_EQ(error.what(), c.message) << c.what;
        }
    }
}

// One part of a file as a reader meets it.
struct Met {
    TileFileReader::Part part;
    std::uint64_t offset;
    int scene;
    std::string name;
    int view, frame, height;
    Bytes data;
    friend bool operator==(const Met&, const Met&) = default;
};

// Everything a reader meets, and how it ends: the bytes after the last
// scene, or the damage it raised.
struct Reading {
    std::vector<Met> parts;
    std::uint64_t trailing = 0;
    std::string damage;
    bool operator==(const Reading&) const = default;
};

Reading read_all(TileFileReader& reader, std::mt19937& random)
{
    Reading reading;
    try {
        reader.header();
        for (;;) {
            const TileFileReader::Part part = reader.next();
            Met met{part, reader.offset(), reader.scene_number(), reader.scene().name, -1, -1, -1, {}};
            if (part == TileFileReader::Part::Image) {
                met.view = reader.place().view;
                met.frame = reader.place().frame;
                met.height = reader.image().height;
                // Data left unread is skipped by the next part.
                if (random() % 4 != 0) met.data.assign(reader.data().begin(), reader.data().end());
            }
            reading.parts.push_back(met);
            if (part == TileFileReader::Part::End) break;
        }
        reading.trailing = reader.trailing_bytes();
    } catch (const TileError& error) {
        reading.damage = error.what();
    }
    return reading;
}

// Files of every shape, written through the writer (images whole or begun
// and ended), read back from memory and from a stream: each part where the
// writer put it, the trailing bytes counted. Cut short, both readers raise
// the same damage at the same place.
TEST(TileFile, WrittenFilesReadBackTheSameFromMemoryAndFromAStream)
{
    std::mt19937 random(2718);
    for (int round = 0; round < 60; ++round) {
        const int views = static_cast<int>(random() % 4);
        const int scenes = static_cast<int>(random() % 4);
        Bytes file;
        std::vector<Met> expected;
        TileFileWriter writer(file, static_cast<int>(random() % 256), views, scenes);
        for (int s = 0; s < scenes; ++s) {
            const int frames = static_cast<int>(random() % 4);
            const std::string name = round % 5 == 0 ? std::string(127, 'n') : "scene" + std::to_string(s);
            expected.push_back({TileFileReader::Part::Scene, file.size(), s, name, -1, -1, -1, {}});
            writer.scene(frames, name);
            for (int k = 0; k < views * frames; ++k) {
                const int height = static_cast<int>(random() % 256);
                Bytes data(random() % (round % 7 == 0 ? 70000 : 40), 0);
                data.resize(std::min<std::size_t>(data.size(), MaxDataLength));
                for (auto& byte : data) byte = static_cast<std::uint8_t>(random());
                expected.push_back({TileFileReader::Part::Image, file.size(), s, name, k / frames, k % frames, height, data});
                if (random() % 2 == 0) {
                    writer.image(height, data);
                } else {
                    writer.begin_image(height);
                    writer.out().insert(writer.out().end(), data.begin(), data.end());
                    writer.end_image();
                }
            }
        }
        writer.finish();
        const std::size_t whole = file.size();
        expected.push_back({TileFileReader::Part::End, whole, scenes > 0 ? scenes - 1 : -1,
                            scenes > 0 ? expected.back().name : "", -1, -1, -1, {}});
        const std::size_t trailing = random() % 3 == 0 ? random() % 5000 : 0;
        file.resize(whole + trailing, 0x54);

        const auto from_memory = [&](const Bytes& bytes, std::uint32_t seed) {
            std::mt19937 skips(seed);
            TileFileReader reader(bytes);
            return read_all(reader, skips);
        };
        const auto from_stream = [&](const Bytes& bytes, std::uint32_t seed) {
            std::mt19937 skips(seed);
            std::istringstream in(testing::text_of(bytes));
            TileFileReader reader(*in.rdbuf());
            return read_all(reader, skips);
        };
        const std::uint32_t seed = random();
        const Reading read = from_memory(file, seed);
        ASSERT_EQ(read.damage, "") << round;
        ASSERT_EQ(read.parts.size(), expected.size()) << round;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            Met want = expected[i];
            if (read.parts[i].data.empty()) want.data.clear();  // skipped
            EXPECT_EQ(read.parts[i], want) << round << " part " << i;
        }
        EXPECT_EQ(read.trailing, trailing) << round;
        EXPECT_EQ(from_stream(file, seed), read) << round;

        for (int cut = 0; cut < 6; ++cut) {
            const Bytes part(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(random() % (whole + 1)));
            const Reading memory = from_memory(part, seed);
            EXPECT_EQ(from_stream(part, seed), memory) << round << " cut at " << part.size();
            if (part.size() < whole) {
                EXPECT_NE(memory.damage, "") << round << " cut at " << part.size();
            }
        }
    }
}

}  // namespace
}  // namespace tess
