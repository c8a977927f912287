// The first byte picks the conversion type, the rest is the XPM, encoded as
// tessenc does into an in-memory tile file. A refused XPM must end in one
// tess::Failure with a newline-terminated message. An accepted one must come
// back through the decoder as the same picture: every pixel the palette index
// its colour line maps to, transparent pixels as "...", rows padded to 64.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "decode_tile_file.hpp"
#include "encode_tile_file.hpp"
#include "memory_xpm_files.hpp"
#include "palette/metric.hpp"
#include "palette/palette.hpp"
#include "programs/failure.hpp"
#include "tile/file.hpp"
#include "xpm/error.hpp"
#include "xpm/header.hpp"
#include "xpm/strings.hpp"

namespace {

// tessenc offers the RGB metrics only.
constexpr std::array<tess::Metric, 4> Types = {tess::Metric::L1, tess::Metric::L2, tess::Metric::L3, tess::Metric::L4};
constexpr std::string_view SceneName = "fuzz";
constexpr std::string_view TilePath = "fuzz.til";
constexpr std::string_view Transparent = "...";

[[noreturn]] void mismatch() { __builtin_trap(); }

std::string three_digits(int index) { return tess::formatted("%.3d", index); }

// The picture as the decoder should give it back, worked out from the XPM
// with the parsing helpers only: key lookup, transparency and padding are
// done here, apart from the encoder.
struct Picture {
    tess::XpmValues values;
    std::vector<std::string> rows;
};

Picture expected_picture(const std::string& xpm_text, tess::Metric type)
{
    std::istringstream in(xpm_text);
    tess::XpmStrings strings(in);
    Picture picture{tess::parse_values_line(strings.next()), {}};
    const auto cpp = static_cast<std::size_t>(picture.values.chars_per_pixel);

    std::map<std::string, std::string, std::less<>> pixel_texts;
    std::optional<std::string> transparent_key;
    for (int i = 0; i < picture.values.colours; ++i) {
        const tess::ColourDefinition definition =
            tess::parse_colour_line(strings.next(), picture.values.chars_per_pixel);
        if (!definition.colour) {
            transparent_key = std::string(definition.key);
        } else {
            pixel_texts.emplace(std::string(definition.key),
                                three_digits(tess::nearest_index(*definition.colour, type)));
        }
    }

    for (int y = 0; y < picture.values.height; ++y) {
        const std::string_view row = strings.next();
        if (row.size() != static_cast<std::size_t>(picture.values.width) * cpp) mismatch();
        std::string decoded;
        for (std::size_t column = 0; column < row.size() / cpp; ++column) {
            const std::string_view key = row.substr(column * cpp, cpp);
            if (transparent_key && key == *transparent_key) {
                decoded += Transparent;
                continue;
            }
            const auto found = pixel_texts.find(key);
            if (found == pixel_texts.end()) mismatch();
            decoded += found->second;
        }
        for (std::size_t column = row.size() / cpp; column < tess::TileWidth; ++column) decoded += Transparent;
        // A row of width 0 leaves no trace in the data, so the decoder has no row to give back.
        if (picture.values.width > 0) picture.rows.push_back(decoded);
    }
    return picture;
}

// The double-quoted strings of the decoder's XPM, one a line.
std::vector<std::string> strings_of(const std::string& xpm)
{
    std::vector<std::string> strings;
    std::istringstream lines(xpm);
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with('"')) continue;
        const auto close = line.find('"', 1);
        if (close == std::string::npos) mismatch();
        strings.push_back(line.substr(1, close - 1));
    }
    return strings;
}

// The decoder's colour table must give each index its palette colour.
std::set<std::string> check_colour_table(const std::vector<std::string>& lines)
{
    std::set<std::string> keys;
    if (lines.empty() || lines[0] != "... c None") mismatch();
    keys.insert(std::string(Transparent));
    for (std::size_t i = 1; i < lines.size(); ++i) {
        int index = -1;
        const std::string& line = lines[i];
        const char* digits_end = line.data() + std::min<std::size_t>(3, line.size());
        const std::errc error = std::from_chars(line.data(), digits_end, index).ec;
        if (error != std::errc{} || index < 0 || index >= static_cast<int>(tess::PaletteSize)) mismatch();
        const tess::PaletteEntry& entry = tess::Palette[static_cast<std::size_t>(index)];
        if (line != tess::formatted("%.3d c #%.2x%.2x%.2x", index, static_cast<unsigned>(entry.red),
                                    static_cast<unsigned>(entry.green), static_cast<unsigned>(entry.blue))) {
            mismatch();
        }
        keys.insert(line.substr(0, 3));
    }
    return keys;
}

void check_round_trip(const std::string& xpm_text, tess::Metric type, const std::string& tile_bytes,
                      const std::string& report)
{
    Picture picture{};
    try {
        picture = expected_picture(xpm_text, type);
    } catch (const tess::XpmError&) {
        mismatch();  // the encoder accepted what its own parsers refuse
    }

    // The record: the height, then the length that the data really has.
    tess::TileFileReader reader(std::span(reinterpret_cast<const std::uint8_t*>(tile_bytes.data()), tile_bytes.size()));
    tess::ImageRecord record{};
    try {
        const tess::TileHeader& header = reader.header();
        if (header.views != 1 || header.scenes != 1) mismatch();
        if (reader.next() != tess::TileFileReader::Part::Scene) mismatch();
        if (reader.scene().frames != 1 || reader.scene().name != SceneName) mismatch();
        if (reader.next() != tess::TileFileReader::Part::Image) mismatch();
        record = reader.image();
        if (reader.data().size() != record.length) mismatch();
        if (reader.next() != tess::TileFileReader::Part::End || reader.trailing_bytes() != 0) mismatch();
    } catch (const tess::TileError&) {
        mismatch();
    }
    const std::size_t length = record.length;
    if (record.height != picture.values.height) mismatch();
    std::string expected_report = tess::formatted("width = %d  height = %d  colors = %d\n", picture.values.width,
                                                  picture.values.height, picture.values.colours);
    if (picture.values.height > 0) expected_report += tess::formatted("%zu\n", length);
    if (report != expected_report) mismatch();

    std::istringstream tile(tile_bytes);
    std::ostringstream summary;
    tess::testing::MemoryXpmFiles files;
    try {
        tess::decode_tile_file(tile, TilePath, summary, files);
    } catch (const tess::Failure&) {
        mismatch();
    }
    const auto contents = files.contents();
    if (contents.size() != 1) mismatch();
    const std::vector<std::string> strings = strings_of(contents.begin()->second);

    // The values line, the colour table it announces, then the rows.
    if (strings.empty()) mismatch();
    std::istringstream values(strings[0]);
    int width = 0, height = 0, colours = 0, cpp = 0;
    if (!(values >> width >> height >> colours >> cpp)) mismatch();
    if (width != tess::TileWidth || height != picture.values.height || cpp != 3 || colours < 1) mismatch();
    if (strings.size() < static_cast<std::size_t>(colours) + 1) mismatch();
    const auto rows_start = strings.begin() + 1 + colours;
    const std::set<std::string> keys = check_colour_table({strings.begin() + 1, rows_start});
    const std::vector<std::string> rows(rows_start, strings.end());
    if (rows != picture.rows) mismatch();
    for (const std::string& row : rows) {
        for (std::size_t p = 0; p < row.size(); p += 3) {
            if (!keys.contains(row.substr(p, 3))) mismatch();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const tess::Metric type = Types[data[0] % Types.size()];
    const std::string xpm_text(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::istringstream xpm(xpm_text);
    std::stringstream tile;
    std::ostringstream report;
    try {
        tess::encode_tile_file(xpm, type, SceneName, tile, report);
    } catch (const tess::Failure& failure) {
        const std::string message = failure.what();
        if (message.empty() || message.back() != '\n') __builtin_trap();
        return 0;
    }
    check_round_trip(xpm_text, type, tile.str(), report.str());
    return 0;
}
