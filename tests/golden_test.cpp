// Realistic output against golden files made before any change: the bundled
// hero sprite under every conversion type, byte for byte, and an XPM holding
// every palette entry as tessdec writes it. A changed palette value, or runs
// split where they should be maximal, shows here.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "decode_tile_file.hpp"
#include "encode_tile_file.hpp"
#include "memory_xpm_files.hpp"
#include "test_support.hpp"
#include "tile/file.hpp"
#include "tile/runs.hpp"

namespace tess {
namespace {

const std::filesystem::path TestData = TEST_DATA_DIR;
const std::filesystem::path Examples = EXAMPLES_DIR;

std::string read_file(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(Golden, HeroSpriteUnderEveryMetric)
{
    const std::pair<Metric, const char*> types[] = {{Metric::L1, "hero_L1.til"},
                                                            {Metric::L2, "hero_L2.til"},
                                                            {Metric::L3, "hero_L3.til"},
                                                            {Metric::L4, "hero_L4.til"}};
    for (const auto& [type, golden] : types) {
        std::istringstream xpm(read_file(Examples / "hero.xpm"));
        std::ostringstream tile, report;
        encode_tile_file(xpm, type, "walk", tile, report);
        EXPECT_EQ(tile.str(), read_file(TestData / golden)) << golden;
    }
}

TEST(Golden, EveryPaletteEntryAsTessdecWritesIt)
{
    // Four rows of 64: indices 0 to 255 in order.
    std::vector<std::uint8_t> data;
    for (int row = 0; row < 4; ++row) {
        std::vector<Pixel> pixels;
        for (int column = 0; column < TileWidth; ++column) pixels.push_back(static_cast<Pixel>(row * TileWidth + column));
        encode_row(pixels, data);
    }
    data.push_back(code_byte(RowCode::EndOfImage));
    std::vector<std::uint8_t> tile;
    TileFileWriter writer(tile, RevisionNumber, 1, 1);
    writer.scene(1, "palette");
    writer.image(4, data);
    writer.finish();

    std::istringstream in(testing::text_of(tile));
    std::ostringstream summary;
    testing::MemoryXpmFiles files;
    decode_tile_file(in, "palette.til", summary, files);
    EXPECT_EQ(files.contents().at("palette_palette_0_0.xpm"), read_file(TestData / "palette_palette_0_0.xpm"));
}

}  // namespace
}  // namespace tess
