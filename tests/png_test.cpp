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
#include <string_view>
#include <vector>

#include "palette/oklab.hpp"
#include "palette_files.hpp"
#include "png/png_reader.hpp"
#include "png/png_writer.hpp"

namespace tess {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr PngLimits Limits{16320, 65025, std::uint64_t{4} << 20};

const std::vector<Rgb> WholePalette(Palette.begin(), Palette.end());

std::string read_error(const Bytes& file, const PngLimits& limits = Limits)
{
    try {
        read_png(file, limits);
    } catch (const PngError& error) {
        return error.what();
    }
    return "(accepted)";
}

std::uint32_t crc32(const std::uint8_t* data, std::size_t size)
{
    std::uint32_t crc = 0xffffffff;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void append_big_endian(Bytes& bytes, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t big_endian_at(const Bytes& bytes, std::size_t at)
{
    return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 | std::uint32_t{bytes[at + 2]} << 8 |
           bytes[at + 3];
}

// `png` with the data of its first `type` chunk replaced and a correct CRC,
// so only the new contents can make a reader refuse it.
Bytes with_chunk_data(const Bytes& png, std::string_view type, const Bytes& data)
{
    std::size_t at = 8;
    while (!std::equal(type.begin(), type.end(), png.begin() + static_cast<std::ptrdiff_t>(at) + 4)) {
        at += 12 + big_endian_at(png, at);
    }
    Bytes chunk;
    append_big_endian(chunk, static_cast<std::uint32_t>(data.size()));
    chunk.insert(chunk.end(), type.begin(), type.end());
    chunk.insert(chunk.end(), data.begin(), data.end());
    append_big_endian(chunk, crc32(chunk.data() + 4, chunk.size() - 4));

    Bytes out(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(at));
    out.insert(out.end(), chunk.begin(), chunk.end());
    out.insert(out.end(), png.begin() + static_cast<std::ptrdiff_t>(at + 12 + big_endian_at(png, at)), png.end());
    return out;
}

Bytes header_data(std::uint32_t width, std::uint32_t height, std::uint8_t bit_depth, std::uint8_t colour_type)
{
    Bytes data;
    append_big_endian(data, width);
    append_big_endian(data, height);
    data.insert(data.end(), {bit_depth, colour_type, 0, 0, 0});
    return data;
}

Bytes flipped(Bytes bytes, std::size_t at)
{
    bytes[at] ^= 0x01;
    return bytes;
}

Bytes first(const Bytes& bytes, std::size_t count) { return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count)}; }

std::string text_of(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

std::vector<std::string> lines_of(const Bytes& bytes)
{
    std::vector<std::string> lines;
    std::istringstream in(text_of(bytes));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// ---- PNG reading and writing ----

TEST(Png, IndexedRoundTripKeepsIndicesPaletteAndTransparency)
{
    std::mt19937 random(7);
    for (int round = 0; round < 150; ++round) {
        const std::uint32_t width = std::uniform_int_distribution<std::uint32_t>(1, 64)(random);
        const std::uint32_t height = std::uniform_int_distribution<std::uint32_t>(1, 255)(random);
        // Half the pixels from 240-255, where black and green repeat earlier
        // entries: a reader must keep the index, not the colour.
        Bytes indices(std::size_t{width} * height);
        for (auto& index : indices) index = static_cast<std::uint8_t>(random() % 2 ? random() : 240 + random() % 16);
        std::optional<std::uint8_t> transparent;
        if (round % 2 == 1) transparent = static_cast<std::uint8_t>(random());

        const PngImage image = read_png(write_indexed_png(width, height, indices, transparent), Limits);

        ASSERT_EQ(image.width, width);
        ASSERT_EQ(image.height, height);
        ASSERT_TRUE(image.indexed);
        EXPECT_EQ(image.indexed->indices, indices);
        EXPECT_EQ(image.indexed->palette, WholePalette);
        Bytes alpha(PaletteSize, 255);
        if (transparent) alpha[*transparent] = 0;
        EXPECT_EQ(image.indexed->alpha, alpha);
        ASSERT_EQ(image.rgba.size(), indices.size() * 4);
        for (std::size_t i = 0; i < indices.size(); ++i) {
            const Rgb& entry = Palette[indices[i]];
            const Bytes pixel(image.rgba.begin() + static_cast<std::ptrdiff_t>(i * 4),
                              image.rgba.begin() + static_cast<std::ptrdiff_t>(i * 4 + 4));
            ASSERT_EQ(pixel, (Bytes{static_cast<std::uint8_t>(entry.red), static_cast<std::uint8_t>(entry.green),
                                    static_cast<std::uint8_t>(entry.blue), alpha[indices[i]]}))
                    << "round " << round << " pixel " << i;
        }
    }
}

TEST(Png, RgbaRoundTripIsExact)
{
    std::mt19937 random(11);
    for (int round = 0; round < 50; ++round) {
        const std::uint32_t width = std::uniform_int_distribution<std::uint32_t>(1, 64)(random);
        const std::uint32_t height = std::uniform_int_distribution<std::uint32_t>(1, 255)(random);
        Bytes rgba(std::size_t{width} * height * 4);
        for (auto& byte : rgba) byte = static_cast<std::uint8_t>(random());

        const PngImage image = read_png(write_rgba_png(width, height, rgba), Limits);

        EXPECT_EQ(image.width, width);
        EXPECT_EQ(image.height, height);
        EXPECT_EQ(image.rgba, rgba) << "round " << round;
        EXPECT_FALSE(image.indexed);
    }
}

TEST(Png, DamagedTruncatedAndOversizedFilesAreRefused)
{
    const Bytes six = {0, 1, 2, 3, 4, 5};
    const Bytes valid = write_indexed_png(3, 2, six, std::nullopt);
    ASSERT_EQ(read_error(valid), "(accepted)");
    const std::size_t ihdr_crc = 29;
    const std::size_t idat_crc = valid.size() - 12 - 4;
    const std::string CutShort = "PNG data is damaged: the file is cut short";

    const struct {
        const char* name;
        Bytes file;
        std::string message_start;
        PngLimits limits = Limits;
    } cases[] = {
        {"empty", {}, "not a PNG"},
        {"a text file", {'/', '*', ' ', 'X', 'P', 'M', ' ', '*', '/', '\n'}, "not a PNG"},
        {"signature only", first(valid, 8), CutShort},
        {"cut in IHDR", first(valid, 20), CutShort},
        {"cut after IHDR", first(valid, 33), CutShort},
        {"cut in PLTE", first(valid, 100), CutShort},
        {"cut in IDAT", first(valid, valid.size() - 20), CutShort},
        {"no IEND", first(valid, valid.size() - 12), CutShort},
        {"cut in IEND's CRC", first(valid, valid.size() - 2), CutShort},
        {"IHDR CRC wrong", flipped(valid, ihdr_crc), "PNG data is damaged: "},
        {"IDAT CRC wrong", flipped(valid, idat_crc), "PNG data is damaged: "},
        {"IHDR width changed, CRC kept", flipped(valid, 19), "PNG data is damaged: "},
        {"not zlib data", with_chunk_data(valid, "IDAT", {1, 2, 3, 4, 5, 6, 7, 8}), "PNG data is damaged: "},
        {"zero width", with_chunk_data(valid, "IHDR", header_data(0, 2, 8, 3)), "PNG data is damaged: "},
        {"bit depth 3", with_chunk_data(valid, "IHDR", header_data(3, 2, 3, 3)), "PNG data is damaged: "},
        {"colour type 5", with_chunk_data(valid, "IHDR", header_data(3, 2, 8, 5)), "PNG data is damaged: "},
        {"index past a short PLTE", with_chunk_data(valid, "PLTE", {0, 0, 0, 9, 9, 9}),
         "PNG data is damaged: pixel 2, 0 uses palette index 2 of 2 PLTE entries"},
        {"too wide", with_chunk_data(valid, "IHDR", header_data(100000, 3, 8, 3)),
         "PNG is 100000 x 3 pixels; at most 16320 x 65025 and 4194304 pixels are accepted"},
        {"too tall", with_chunk_data(valid, "IHDR", header_data(64, 65026, 8, 3)),
         "PNG is 64 x 65026 pixels; at most 16320 x 65025 and 4194304 pixels are accepted"},
        {"too many pixels", with_chunk_data(valid, "IHDR", header_data(16320, 300, 8, 3)),
         "PNG is 16320 x 300 pixels; at most 16320 x 65025 and 4194304 pixels are accepted"},
        {"wider than 2^31", with_chunk_data(valid, "IHDR", header_data(0x80000000, 1, 8, 3)), "PNG data is damaged: "},
        {"over the caller's limits", valid, "PNG is 3 x 2 pixels; at most 2 x 10 and 6 pixels are accepted",
         {2, 10, 6}},
        {"over the caller's pixel count", valid, "PNG is 3 x 2 pixels; at most 3 x 2 and 5 pixels are accepted",
         {3, 2, 5}},
    };
    for (const auto& c : cases) {
        const std::string message = read_error(c.file, c.limits);
        EXPECT_TRUE(message.starts_with(c.message_start)) << c.name << ": " << message;
    }
}

TEST(Png, WriterRefusesPixelsThatDoNotFillThePicture)
{
    const Bytes six(6), twenty_four(24);
    const struct {
        const char* name;
        std::uint32_t width, height;
        bool rgba;
        const Bytes& pixels;
    } cases[] = {
        {"indexed, a byte short", 7, 1, false, six},
        {"indexed, zero width", 0, 6, false, six},
        {"indexed, zero size", 0, 0, false, {}},
        {"rgba, one byte a pixel", 6, 4, true, twenty_four},
        {"rgba, zero height", 6, 0, true, twenty_four},
    };
    for (const auto& c : cases) {
        EXPECT_THROW(c.rgba ? write_rgba_png(c.width, c.height, c.pixels)
                            : write_indexed_png(c.width, c.height, c.pixels, std::nullopt),
                     PngError)
                << c.name;
    }
}

// Other encoders' layouts: the same picture through ImageMagick into each
// colour type, bit depth and interlace, read back to the same pixels.
TEST(Png, ReadsEveryLayoutImageMagickWrites)
{
    if (std::system("command -v convert >/dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick's convert is not installed";

    // Grey entries (black, fcfcfc, 787878) so the grey layouts lose nothing,
    // and 383838 transparent.
    const std::array<std::uint8_t, 4> used = {0, 1, 6, 9};
    std::mt19937 random(3);
    Bytes indices(13 * 9);
    for (auto& index : indices) index = used[random() % used.size()];
    const Bytes source_file = write_indexed_png(13, 9, indices, std::uint8_t{9});
    const PngImage source = read_png(source_file, Limits);

    const std::filesystem::path folder =
            std::filesystem::path(::testing::TempDir()) / ("png_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::filesystem::path source_path = folder / "source.png";
    std::ofstream(source_path, std::ios::binary)
            .write(reinterpret_cast<const char*>(source_file.data()), static_cast<std::streamsize>(source_file.size()));

    const struct {
        const char* options;
        const char* format;  // ImageMagick's output coder
        int bit_depth, colour_type, interlace;
    } cases[] = {
        {"-interlace PNG", "PNG32", 8, 6, 1},
        {"", "PNG64", 16, 6, 0},
        {"-define png:bit-depth=16 -define png:color-type=2", "PNG", 16, 2, 0},
        {"-define png:color-type=0", "PNG", 8, 0, 0},
        {"-define png:bit-depth=16 -define png:color-type=0 -interlace PNG", "PNG", 16, 0, 1},
        {"-define png:color-type=4", "PNG", 8, 4, 0},
        {"-define png:bit-depth=2 -interlace PNG", "PNG8", 2, 3, 1},
        {"-define png:bit-depth=4", "PNG8", 4, 3, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const std::filesystem::path out = folder / "out.png";
        const std::string command =
                "convert '" + source_path.string() + "' " + c.options + " '" + c.format + ":" + out.string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        std::ifstream in(out, std::ios::binary);
        const Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        ASSERT_GT(file.size(), 28u);
        EXPECT_EQ((std::array<int, 3>{file[24], file[25], file[28]}),
                  (std::array<int, 3>{c.bit_depth, c.colour_type, c.interlace}));

        const PngImage image = read_png(file, Limits);

        ASSERT_EQ(image.rgba.size(), source.rgba.size());
        EXPECT_EQ(image.indexed.has_value(), c.colour_type == 3);
        for (std::size_t i = 0; i < source.rgba.size(); i += 4) {
            const std::size_t compared = source.rgba[i + 3] == 0 ? 1 : 4;  // a transparent pixel's colour is free
            EXPECT_TRUE(std::equal(source.rgba.begin() + static_cast<std::ptrdiff_t>(i + 4 - compared),
                                   source.rgba.begin() + static_cast<std::ptrdiff_t>(i + 4),
                                   image.rgba.begin() + static_cast<std::ptrdiff_t>(i + 4 - compared)))
                    << "pixel " << i / 4;
        }
    }
    std::filesystem::remove_all(folder);
}

// ---- Palette files ----

TEST(PaletteFiles, GimpPaletteHasTheHeaderAndEveryEntryInOrder)
{
    const std::vector<std::string> lines = lines_of(gimp_palette_file());
    ASSERT_EQ(lines.size(), 4 + PaletteSize);
    EXPECT_EQ(lines[0], "GIMP Palette");
    EXPECT_EQ(lines[1], "Name: tess");
    EXPECT_EQ(lines[2], "Columns: 12");
    EXPECT_EQ(lines[3], "#");
    EXPECT_EQ(lines[4], "  0   0   0\tIndex 0");
    EXPECT_EQ(lines[4 + 255], "  0 255   0\tIndex 255");
    for (std::size_t i = 0; i < PaletteSize; ++i) {
        const std::string& line = lines[4 + i];
        std::istringstream fields(line);
        Rgb colour{};
        std::string word;
        std::size_t index = 0;
        fields >> colour.red >> colour.green >> colour.blue >> word >> index;
        EXPECT_TRUE(fields.eof() && !fields.fail()) << line;
        EXPECT_EQ(colour, Palette[i]) << line;
        EXPECT_EQ(word, "Index") << line;
        EXPECT_EQ(index, i) << line;
        EXPECT_EQ(line.substr(0, 12).find_first_not_of(" 0123456789"), 11u) << line;  // 3 columns a channel, then tab
    }
}

TEST(PaletteFiles, HexFileIsEveryEntryInLowerCase)
{
    const Bytes file = hex_palette_file();
    EXPECT_EQ(file.back(), '\n');
    const std::vector<std::string> lines = lines_of(file);
    ASSERT_EQ(lines.size(), PaletteSize);
    for (std::size_t i = 0; i < PaletteSize; ++i) {
        ASSERT_EQ(lines[i].size(), 6u);
        EXPECT_EQ(lines[i].find_first_not_of("0123456789abcdef"), std::string::npos) << lines[i];
        const long rgb = std::stol(lines[i], nullptr, 16);
        EXPECT_EQ((Rgb{static_cast<std::int32_t>(rgb >> 16), static_cast<std::int32_t>((rgb >> 8) & 0xff),
                       static_cast<std::int32_t>(rgb & 0xff)}),
                  Palette[i])
                << i;
    }
}

TEST(PaletteFiles, ActFileIsTheRawTriples)
{
    const Bytes file = act_palette_file();
    ASSERT_EQ(file.size(), 768u);
    for (std::size_t i = 0; i < PaletteSize; ++i) {
        EXPECT_EQ((Rgb{file[i * 3], file[i * 3 + 1], file[i * 3 + 2]}), Palette[i]) << i;
    }
}

TEST(PaletteFiles, SwatchHoldsEachIndexOnce)
{
    const PngImage swatch = read_png(png_palette_swatch(), Limits);
    EXPECT_EQ(swatch.width, 16u);
    EXPECT_EQ(swatch.height, 16u);
    ASSERT_TRUE(swatch.indexed);
    Bytes every(PaletteSize);
    for (std::size_t i = 0; i < PaletteSize; ++i) every[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(swatch.indexed->indices, every);
    EXPECT_EQ(swatch.indexed->palette, WholePalette);
    EXPECT_EQ(swatch.indexed->alpha, Bytes(PaletteSize, 255));
}

TEST(PaletteFiles, TheExtensionPicksTheFormat)
{
    const struct {
        const char* path;
        std::optional<Bytes> file;
    } cases[] = {
        {"palette.gpl", gimp_palette_file()},
        {"some.dir/PALETTE.HEX", hex_palette_file()},
        {"/tmp/p.Act", act_palette_file()},
        {"swatch.png", png_palette_swatch()},
        {"palette.txt", std::nullopt},
        {"palette", std::nullopt},
        {"palette.gpl.bak", std::nullopt},
        {"gpl", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(palette_file_for(c.path), c.file) << c.path;
}

// ---- OKLab ----

struct Lab {
    double lightness, a, b;
};

// Straight from the published matrices, with nothing shared with the code
// under test; anchored below to published OKLab values.
Lab reference_oklab(const Rgb& colour)
{
    const auto linear = [](std::int32_t channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const double rgb[3] = {linear(colour.red), linear(colour.green), linear(colour.blue)};
    constexpr double ToLms[3][3] = {{0.4122214708, 0.5363325363, 0.0514459929},
                                    {0.2119034982, 0.6806995451, 0.1073969566},
                                    {0.0883024619, 0.2817188376, 0.6299787005}};
    constexpr double ToLab[3][3] = {{0.2104542553, 0.7936177850, -0.0040720468},
                                    {1.9779984951, -2.4285922050, 0.4505937099},
                                    {0.0259040371, 0.7827717662, -0.8086757660}};
    double lms[3];
    double lab[3];
    for (int row = 0; row < 3; ++row) {
        lms[row] = std::cbrt(ToLms[row][0] * rgb[0] + ToLms[row][1] * rgb[1] + ToLms[row][2] * rgb[2]);
    }
    for (int row = 0; row < 3; ++row) lab[row] = ToLab[row][0] * lms[0] + ToLab[row][1] * lms[1] + ToLab[row][2] * lms[2];
    return {lab[0], lab[1], lab[2]};
}

std::uint8_t reference_nearest(const Rgb& colour)
{
    const Lab lab = reference_oklab(colour);
    std::size_t best = 0;
    double best_distance = INFINITY;
    for (std::size_t i = 0; i < PaletteSize; ++i) {
        const Lab entry = reference_oklab(Palette[i]);
        const double d = std::hypot(lab.lightness - entry.lightness, lab.a - entry.a, lab.b - entry.b);
        if (d < best_distance) {
            best_distance = d;
            best = i;
        }
    }
    return static_cast<std::uint8_t>(best);
}

TEST(Oklab, ReferenceMatchesPublishedValues)
{
    const struct {
        Rgb colour;
        Lab lab;
    } cases[] = {
        {{255, 255, 255}, {1.0, 0.0, 0.0}},
        {{255, 0, 0}, {0.6280, 0.2249, 0.1258}},
        {{0, 255, 0}, {0.8664, -0.2339, 0.1795}},
        {{0, 0, 255}, {0.4520, -0.0325, -0.3115}},
    };
    for (const auto& c : cases) {
        const Lab lab = reference_oklab(c.colour);
        EXPECT_NEAR(lab.lightness, c.lab.lightness, 1e-4) << c.colour.red << "," << c.colour.green;
        EXPECT_NEAR(lab.a, c.lab.a, 1e-4) << c.colour.red << "," << c.colour.green;
        EXPECT_NEAR(lab.b, c.lab.b, 1e-4) << c.colour.red << "," << c.colour.green;
    }
}

TEST(Oklab, KnownColours)
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
    for (const auto& c : cases) {
        EXPECT_EQ(nearest_palette_index_oklab(c.colour), c.index) << c.colour.red << "," << c.colour.green << ","
                                                                  << c.colour.blue;
    }
}

TEST(Oklab, EveryPaletteColourMapsToItsFirstIndex)
{
    for (std::size_t i = 0; i < PaletteSize; ++i) {
        const auto first = static_cast<std::size_t>(std::find(Palette.begin(), Palette.end(), Palette[i]) - Palette.begin());
        EXPECT_EQ(nearest_palette_index_oklab(Palette[i]), first) << i;
    }
}

TEST(Oklab, AgreesWithABruteForceScan)
{
    std::mt19937 random(5);
    std::uniform_int_distribution<std::int32_t> channel(0, 255);
    for (int i = 0; i < 3000; ++i) {
        const Rgb colour{channel(random), channel(random), channel(random)};
        ASSERT_EQ(nearest_palette_index_oklab(colour), reference_nearest(colour))
                << colour.red << "," << colour.green << "," << colour.blue;
    }
}

}  // namespace
}  // namespace tess
