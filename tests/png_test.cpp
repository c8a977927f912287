#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "palette/oklab.hpp"
#include "pack/palette_files.hpp"
#include "png/png_reader.hpp"
#include "png/png_writer.hpp"
#include "png_support.hpp"

namespace tess {
namespace {

using testing::decode_png;
using testing::DecodedPng;

using Bytes = std::vector<std::uint8_t>;

constexpr PngLimits Limits{16320, 65025, std::uint64_t{4} << 20};
const std::vector<Rgb> WholePalette(Palette.begin(), Palette.end());

std::string read_error(const Bytes& file, const PngLimits& limits = Limits)
{
    try {
        decode_png(file, limits);
    } catch (const PngError& error) {
        return error.what();
    }
    return "(accepted)";
}

void put_big_endian(std::uint8_t* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

std::uint32_t big_endian_at(const Bytes& bytes, std::size_t at)
{
    return std::uint32_t{bytes[at]} << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 | bytes[at + 3];
}

// `png` with the data of its first chunk of `type` replaced, or such a chunk
// put before IDAT, under a correct CRC: only the contents can be refused.
Bytes with_chunk(const Bytes& png, const char (&type)[5], const Bytes& data)
{
    const auto type_at = [&](std::size_t at, const char* name) { return std::equal(name, name + 4, &png[at + 4]); };
    std::size_t at = 8;
    while (!type_at(at, type) && !type_at(at, "IDAT")) at += 12 + big_endian_at(png, at);
    const std::size_t kept_from = type_at(at, type) ? at + 12 + big_endian_at(png, at) : at;
    const auto end = png.begin() + static_cast<std::ptrdiff_t>(kept_from);

    Bytes out(at + 12 + data.size());
    std::copy_n(png.begin(), at, out.begin());
    std::uint8_t* chunk = out.data() + at;
    put_big_endian(chunk, static_cast<std::uint32_t>(data.size()));
    std::copy_n(type, 4, chunk + 4);
    std::copy(data.begin(), data.end(), chunk + 8);
    std::uint32_t crc = 0xffffffff;
    for (std::size_t i = 4; i < 8 + data.size(); ++i) {
        crc ^= chunk[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    put_big_endian(chunk + 8 + data.size(), ~crc);
    out.insert(out.end(), end, png.end());
    return out;
}

Bytes header(std::uint32_t width, std::uint32_t height, std::uint8_t bit_depth, std::uint8_t colour_type)
{
    Bytes data(13);  // compression, filter and interlace methods 0
    put_big_endian(data.data(), width);
    put_big_endian(data.data() + 4, height);
    data[8] = bit_depth;
    data[9] = colour_type;
    return data;
}

TEST(Png, RoundTripsKeepIndicesPaletteTransparencyAndRgba)
{
    std::mt19937 random(7);
    for (int round = 0; round < 150; ++round) {
        SCOPED_TRACE(round);
        const std::uint32_t width = 1 + random() % 64;
        const std::uint32_t height = 1 + random() % 255;
        // Half the pixels from 240-255, which repeat black and green: the
        // index must survive, not just the colour.
        Bytes indices(std::size_t{width} * height);
        for (auto& index : indices) index = static_cast<std::uint8_t>(random() % 2 ? random() : 240 + random() % 16);
        std::optional<std::uint8_t> transparent;
        if (round % 2 == 1) transparent = static_cast<std::uint8_t>(random());

        const DecodedPng image = decode_png(write_indexed_png(width, height, indices, transparent), Limits);

        ASSERT_EQ(image.width, width);
        ASSERT_EQ(image.height, height);
        ASSERT_TRUE(image.indexed);
        EXPECT_EQ(image.indexed->indices, indices);
        EXPECT_EQ(image.indexed->palette, WholePalette);
        Bytes alpha(PaletteSize, 255);
        if (transparent) alpha[*transparent] = 0;
        EXPECT_EQ(image.indexed->alpha, alpha);
        Bytes rgba;
        for (const std::uint8_t index : indices) {
            const Rgb& entry = Palette[index];
            for (const std::int32_t channel : {entry.red, entry.green, entry.blue}) rgba.push_back(channel & 0xff);
            rgba.push_back(alpha[index]);
        }
        EXPECT_TRUE(image.rgba.empty());

        Bytes free_rgba(rgba.size());
        for (auto& byte : free_rgba) byte = static_cast<std::uint8_t>(random());
        const DecodedPng preview = decode_png(write_rgba_png(width, height, free_rgba), Limits);
        EXPECT_EQ(preview.width * preview.height, width * height);
        EXPECT_EQ(preview.rgba, free_rgba);
        EXPECT_FALSE(preview.indexed);
    }
}

TEST(Png, DamagedTruncatedAndOversizedFilesAreRefused)
{
    const Bytes valid = write_indexed_png(3, 2, Bytes{0, 1, 2, 3, 4, 5}, std::nullopt);
    ASSERT_EQ(read_error(valid), "(accepted)");
    const auto first = [&](std::size_t count) { return Bytes(valid.data(), valid.data() + count); };
    const auto flipped = [&](std::size_t at) {
        Bytes bytes = valid;
        bytes[at] ^= 1;
        return bytes;
    };
    const std::string damaged = "PNG data is damaged: ";
    const std::string cut_short = damaged + "the file is cut short";
    Bytes long_text(5 << 20, 'x');
    long_text[1] = 0;  // after the keyword
    const std::string too_big = " pixels; at most 16320 x 65025 and 4194304 pixels are accepted";

    const struct {
        const char* name;
        Bytes file;
        std::string message_start;
        PngLimits limits = Limits;
    } cases[] = {
        {"empty", {}, "not a PNG"},
        {"text", {'/', '*', ' ', 'X', 'P', 'M', ' ', '*', '/', '\n'}, "not a PNG"},
        {"signature only", first(8), cut_short},
        {"cut in IHDR", first(20), cut_short},
        {"cut in PLTE", first(100), cut_short},
        {"cut in IDAT", first(valid.size() - 20), cut_short},
        {"no IEND", first(valid.size() - 12), cut_short},
        {"cut in IEND's CRC", first(valid.size() - 2), cut_short},
        {"IHDR CRC wrong", flipped(29), damaged},
        {"IHDR width changed under its CRC", flipped(19), damaged},
        {"IDAT CRC wrong", flipped(valid.size() - 16), damaged},
        {"IDAT not zlib", with_chunk(valid, "IDAT", {1, 2, 3, 4, 5, 6, 7, 8}), damaged},
        {"zero width", with_chunk(valid, "IHDR", header(0, 2, 8, 3)), damaged},
        {"wider than 2^31", with_chunk(valid, "IHDR", header(0x80000000, 1, 8, 3)), damaged},
        {"bit depth 3", with_chunk(valid, "IHDR", header(3, 2, 3, 3)), damaged},
        {"colour type 5", with_chunk(valid, "IHDR", header(3, 2, 8, 5)), damaged},
        {"5 MiB of text", with_chunk(valid, "tEXt", long_text), "PNG chunk data is over the 4 MiB accepted"},
        {"index past a short PLTE", with_chunk(valid, "PLTE", {0, 0, 0, 9, 9, 9}),
         damaged + "pixel 2, 0 uses palette index 2 of 2 PLTE entries"},
        {"too wide", with_chunk(valid, "IHDR", header(100000, 3, 8, 3)), "PNG is 100000 x 3" + too_big},
        {"too tall", with_chunk(valid, "IHDR", header(64, 65026, 8, 3)), "PNG is 64 x 65026" + too_big},
        {"too many pixels", with_chunk(valid, "IHDR", header(16320, 300, 8, 3)), "PNG is 16320 x 300" + too_big},
        {"over the caller's size", valid, "PNG is 3 x 2 pixels; at most 2 x 10 and 6 pixels are", {2, 10, 6}},
        {"over the caller's pixels", valid, "PNG is 3 x 2 pixels; at most 3 x 2 and 5 pixels are", {3, 2, 5}},
    };
    for (const auto& c : cases) {
        const std::string message = read_error(c.file, c.limits);
        EXPECT_TRUE(message.starts_with(c.message_start)) << c.name << ": " << message;
    }

    // A picture that is not indexed is decoded row by row: damage is still
    // refused, wherever in the rows it comes.
    const Bytes rgba = write_rgba_png(40, 30, Bytes(40 * 30 * 4, 0x5a));
    Bytes idat_flipped = rgba;
    idat_flipped[rgba.size() - 20] ^= 1;
    EXPECT_EQ(read_error(rgba), "(accepted)");
    EXPECT_TRUE(read_error(Bytes(rgba.begin(), rgba.end() - 20)).starts_with(cut_short));
    EXPECT_TRUE(read_error(idat_flipped).starts_with(damaged));

    EXPECT_THROW(write_indexed_png(7, 1, Bytes(6), std::nullopt), PngError);
    EXPECT_THROW(write_indexed_png(0, 0, Bytes(), std::nullopt), PngError);
    EXPECT_THROW(write_rgba_png(6, 4, Bytes(24)), PngError);
}

// The colours of every pixel, an indexed PNG's looked up in its palette.
Bytes rgba_of(const DecodedPng& image)
{
    if (!image.indexed) return image.rgba;
    Bytes rgba;
    for (const std::uint8_t index : image.indexed->indices) {
        const Rgb& entry = image.indexed->palette[index];
        for (const std::int32_t channel : {entry.red, entry.green, entry.blue}) rgba.push_back(channel & 0xff);
        rgba.push_back(image.indexed->alpha[index]);
    }
    return rgba;
}

// Other encoders' layouts: one picture through ImageMagick into each colour
// type, bit depth and interlace, read back to the same pixels.
TEST(Png, ReadsTheLayoutsImageMagickWrites)
{
    if (std::system("command -v convert >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ImageMagick convert";

    // Grey entries (black, fcfcfc, 787878) so grey layouts lose nothing; 383838 transparent.
    const std::array<std::uint8_t, 4> used = {0, 1, 6, 9};
    std::mt19937 random(3);
    Bytes indices(13 * 9);
    for (auto& index : indices) index = used[random() % used.size()];
    const Bytes source_file = write_indexed_png(13, 9, indices, std::uint8_t{9});
    const DecodedPng source = decode_png(source_file, Limits);

    const auto folder = std::filesystem::path(::testing::TempDir()) / ("png_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto source_path = folder / "source.png";
    const auto out_path = folder / "out.png";
    std::ofstream(source_path, std::ios::binary)
            .write(reinterpret_cast<const char*>(source_file.data()), static_cast<std::streamsize>(source_file.size()));

    const struct {
        const char* options;
        const char* coder;
        std::array<int, 3> depth_type_interlace;
    } cases[] = {
        {"-interlace PNG", "PNG32", {8, 6, 1}},
        {"", "PNG64", {16, 6, 0}},
        {"-define png:bit-depth=16 -define png:color-type=2", "PNG", {16, 2, 0}},
        {"-define png:color-type=0", "PNG", {8, 0, 0}},
        {"-define png:bit-depth=16 -define png:color-type=0 -interlace PNG", "PNG", {16, 0, 1}},
        {"-define png:color-type=4", "PNG", {8, 4, 0}},
        // 8-bit indices as editors write them, beside chunks of their own.
        {"-define png:bit-depth=8", "PNG8", {8, 3, 0}},
        {"-define png:bit-depth=8 -interlace PNG", "PNG8", {8, 3, 1}},
        {"-define png:bit-depth=2 -interlace PNG", "PNG8", {2, 3, 1}},
        {"-define png:bit-depth=4", "PNG8", {4, 3, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options + std::string(" ") + c.coder);
        const std::string command = "convert '" + source_path.string() + "' " + c.options + " '" + c.coder + ":" +
                                    out_path.string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        std::ifstream in(out_path, std::ios::binary);
        const Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        ASSERT_GT(file.size(), 28u);
        EXPECT_EQ((std::array<int, 3>{file[24], file[25], file[28]}), c.depth_type_interlace);

        const DecodedPng image = decode_png(file, Limits);
        EXPECT_EQ(image.indexed.has_value(), c.depth_type_interlace[1] == 3);

        const Bytes expected_rgba = rgba_of(source), rgba = rgba_of(image);
        ASSERT_EQ(rgba.size(), expected_rgba.size());
        for (std::size_t i = 0; i < expected_rgba.size(); i += 4) {
            // Where both are transparent, the colour is free.
            const bool hidden = expected_rgba[i + 3] == 0 && rgba[i + 3] == 0;
            const std::uint8_t* expected = expected_rgba.data() + i;
            EXPECT_TRUE(hidden || std::equal(expected, expected + 4, rgba.data() + i)) << "pixel " << i / 4;
        }
    }
    std::filesystem::remove_all(folder);
}

std::vector<std::string> lines_of(const Bytes& bytes)
{
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(PaletteFiles, EachFormatListsThePaletteInOrder)
{
    const std::vector<std::string> gpl = lines_of(gimp_palette_file());
    ASSERT_EQ(gpl.size(), 4 + PaletteSize);
    const std::vector<std::string> head = {"GIMP Palette", "Name: tess", "Columns: 12", "#",
                                           "  0   0   0\tIndex 0", "252 252 252\tIndex 1"};
    EXPECT_EQ(std::vector(gpl.begin(), gpl.begin() + 6), head);
    const std::vector<std::string> hex = lines_of(hex_palette_file());
    ASSERT_EQ(hex.size(), PaletteSize);
    const Bytes act = act_palette_file();
    ASSERT_EQ(act.size(), 768u);

    for (std::size_t i = 0; i < PaletteSize; ++i) {
        std::istringstream fields(gpl[4 + i]);
        Rgb colour{};
        std::string name;
        std::getline(fields >> colour.red >> colour.green >> colour.blue >> std::ws, name);
        EXPECT_EQ(colour, Palette[i]) << gpl[4 + i];
        EXPECT_EQ(name, "Index " + std::to_string(i) + (i == 254 ? " (transparent in unpacked PNGs)" : ""));
        EXPECT_EQ(gpl[4 + i].find_first_not_of(" 0123456789"), 11u) << gpl[4 + i];  // three columns a channel

        EXPECT_EQ(hex[i].find_first_not_of("0123456789abcdef"), std::string::npos) << hex[i];
        EXPECT_EQ(hex[i].size(), 6u);
        EXPECT_EQ(std::stol(hex[i], nullptr, 16), Palette[i].red << 16 | Palette[i].green << 8 | Palette[i].blue) << i;

        EXPECT_EQ((Rgb{act[i * 3], act[i * 3 + 1], act[i * 3 + 2]}), Palette[i]) << i;
    }
}

TEST(PaletteFiles, SwatchHoldsEachIndexOnceAndTheExtensionPicksTheFormat)
{
    const DecodedPng swatch = decode_png(png_palette_swatch(), Limits);
    EXPECT_EQ(swatch.width * swatch.height, 256u);
    ASSERT_TRUE(swatch.indexed);
    Bytes every(PaletteSize);
    for (std::size_t i = 0; i < PaletteSize; ++i) every[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(swatch.indexed->indices, every);
    EXPECT_EQ(swatch.indexed->palette, WholePalette);
    EXPECT_EQ(swatch.indexed->alpha, Bytes(PaletteSize, 255));

    const struct {
        const char* path;
        std::optional<Bytes> file;
    } cases[] = {
        {"palette.gpl", gimp_palette_file()}, {"some.dir/PALETTE.HEX", hex_palette_file()},
        {"/tmp/p.Act", act_palette_file()},   {"swatch.png", png_palette_swatch()},
        {"palette.txt", std::nullopt},        {"palette", std::nullopt},
        {"palette.gpl.bak", std::nullopt},    {"gpl", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(palette_file_for(c.path), c.file) << c.path;
}

// OKLab from the published matrices, sharing nothing with the code under
// test, and itself checked against published OKLab values below.
std::array<double, 3> reference_oklab(const Rgb& colour)
{
    constexpr double ToLms[3][3] = {{0.4122214708, 0.5363325363, 0.0514459929},
                                    {0.2119034982, 0.6806995451, 0.1073969566},
                                    {0.0883024619, 0.2817188376, 0.6299787005}};
    constexpr double ToLab[3][3] = {{0.2104542553, 0.7936177850, -0.0040720468},
                                    {1.9779984951, -2.4285922050, 0.4505937099},
                                    {0.0259040371, 0.7827717662, -0.8086757660}};
    std::array<double, 3> rgb{}, lms{}, lab{};
    const std::int32_t channels[3] = {colour.red, colour.green, colour.blue};
    for (int i = 0; i < 3; ++i) {
        const double c = channels[i] / 255.0;
        rgb[i] = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    }
    for (int i = 0; i < 3; ++i) lms[i] = std::cbrt(ToLms[i][0] * rgb[0] + ToLms[i][1] * rgb[1] + ToLms[i][2] * rgb[2]);
    for (int i = 0; i < 3; ++i) lab[i] = ToLab[i][0] * lms[0] + ToLab[i][1] * lms[1] + ToLab[i][2] * lms[2];
    return lab;
}

TEST(Oklab, KnownColoursAndEveryPaletteColourGoToTheirFirstIndex)
{
    const struct {
        Rgb colour;
        std::uint8_t index;
    } cases[] = {
        {{0x00, 0x00, 0x00}, 0},    // also 240-254
        {{0x00, 0xff, 0x00}, 232},  // also 255
        {{0x20, 0x10, 0x00}, 23},   // also 155
        {{0xff, 0xff, 0xff}, 1},    // fcfcfc, the lightest entry
        {{0x01, 0x01, 0x01}, 0},
        {{0xfe, 0x01, 0x00}, 228},
    };
    for (const auto& c : cases) EXPECT_EQ(nearest_palette_index_oklab(c.colour), c.index) << c.colour.red;

    for (std::size_t i = 0; i < PaletteSize; ++i) {
        const auto first = std::find(Palette.begin(), Palette.end(), Palette[i]) - Palette.begin();
        EXPECT_EQ(nearest_palette_index_oklab(Palette[i]), first) << i;
    }
}

TEST(Oklab, AgreesWithABruteForceScanOverAReferenceCheckedAgainstPublishedValues)
{
    const struct {
        Rgb colour;
        std::array<double, 3> lab;
    } published[] = {
        {{255, 255, 255}, {1.0, 0.0, 0.0}},
        {{255, 0, 0}, {0.6280, 0.2249, 0.1258}},
        {{0, 255, 0}, {0.8664, -0.2339, 0.1795}},
        {{0, 0, 255}, {0.4520, -0.0325, -0.3115}},
    };
    for (const auto& p : published) {
        const std::array<double, 3> lab = reference_oklab(p.colour);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(lab[i], p.lab[i], 1e-4) << p.colour.red << "," << p.colour.green;
    }

    std::array<std::array<double, 3>, PaletteSize> entries{};
    for (std::size_t i = 0; i < PaletteSize; ++i) entries[i] = reference_oklab(Palette[i]);
    std::mt19937 random(5);
    for (int round = 0; round < 5000; ++round) {
        const Rgb colour{static_cast<std::int32_t>(random() % 256), static_cast<std::int32_t>(random() % 256),
                         static_cast<std::int32_t>(random() % 256)};
        const std::array<double, 3> lab = reference_oklab(colour);
        std::vector<double> distances;
        for (const auto& e : entries) distances.push_back(std::hypot(lab[0] - e[0], lab[1] - e[1], lab[2] - e[2]));
        // min_element gives the first of equals: the lowest index.
        const auto nearest = std::min_element(distances.begin(), distances.end()) - distances.begin();
        ASSERT_EQ(nearest_palette_index_oklab(colour), nearest) << colour.red << "," << colour.green << ","
                                                                << colour.blue;
    }
}

}  // namespace
}  // namespace tess
