#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "programs/failure.hpp"
#include "tile/file.hpp"
#include "xpm/error.hpp"

namespace tess::testing {

// The message of the Failure that `action` raises, or "" when it raises none.
// An XpmError gives the message tessenc prints for it.
template <typename Action>
std::string failure_of(Action action)
{
    try {
        action();
    } catch (const Failure& failure) {
        return failure.what();
    } catch (const XpmError& error) {
        return "error: " + std::string(error.what()) + "\n";
    }
    return "";
}

using Bytes = std::vector<std::uint8_t>;

inline std::string text_of(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

inline Bytes bytes_of(std::string_view text) { return {text.begin(), text.end()}; }

inline Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

inline std::string repeat(std::string_view text, int times)
{
    std::string all;
    for (int i = 0; i < times; ++i) all += text;
    return all;
}

// The three-pixel, two-row image of the format's worked example, as the only
// image of a scene named walk, and the XPM that tessenc turns into it.
inline const Bytes WalkHeaderAndScene = {0x54, 0x49, 0x4C, 0x02, 0x01, 0x01, 0x01, 0x77, 0x61, 0x6C, 0x6B, 0x00};
inline const Bytes WorkedExampleData = {0x01, 0x02, 0x00, 0x01, 0x07, 0x02, 0x00,
                                        0x02, 0xE8, 0xE8, 0x01, 0x01, 0x02, 0x03};
inline const Bytes WorkedExampleTile = concat({WalkHeaderAndScene, {0x02, 0x0E, 0x00}, WorkedExampleData});
inline const std::string WorkedExampleXpm =
    "/* XPM */\nstatic char *walk[] = {\n\"3 2 3 1\",\n\". c None\",\n\"a c #646464\",\n\"b c #00ff00\",\n"
    "\"..a\",\n\"bb.\"\n};\n";

inline std::string xpm_head(const std::string& array_name)
{
    return "/* XPM */\n\n/* converted from varnook tile format \n */\n\nstatic char *" + array_name + " [] = {\n";
}

// The XPM the worked example decodes to, for a given array name.
inline std::string worked_example_xpm(const std::string& array_name)
{
    return xpm_head(array_name) +
           "\"64 2 7 3\",\n"
           "\"... c None\",\n"
           "\"001 c #fcfcfc\",\n"
           "\"002 c #e0e0e0\",\n"
           "\"000 c #000000\",\n"
           "\"007 c #646464\",\n"
           "\"232 c #00ff00\",\n"
           "\"003 c #c4c4c4\",\n"
           "\"......007" +
           repeat("...", 61) + "\",\n\"232232" + repeat("...", 62) + "\"\n};\n";
}

}  // namespace tess::testing

namespace tess::testing {

// Tile files for tests, made by the writer in a chain of calls, remembering
// where each image's data ends. Damaged files are spelled out as bytes.
class TileBuilder {
public:
    TileBuilder(int views, int scenes, int revision = RevisionNumber) : writer_(bytes_, revision, views, scenes) {}

    TileBuilder& scene(int frames, std::string_view name)
    {
        writer_.scene(frames, name);
        return *this;
    }

    TileBuilder& image(int height, const Bytes& data)
    {
        writer_.image(height, data);
        image_ends_.push_back(bytes_.size());
        return *this;
    }

    // The finished file.
    const Bytes& bytes()
    {
        writer_.finish();
        return bytes_;
    }
    const std::vector<std::size_t>& image_ends() const { return image_ends_; }

private:
    Bytes bytes_;
    TileFileWriter writer_;
    std::vector<std::size_t> image_ends_;
};

}  // namespace tess::testing
