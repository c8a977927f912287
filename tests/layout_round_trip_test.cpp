// Sheets and atlases against the same cells given as separate pictures: over
// generated sheets of any cell size, margin and spacing, with rows, columns
// or cells chosen at random (repeats too), mirrored views, trimming and
// anchors, and atlases of trimmed and rotated frames (their picture named by
// the JSON or by the manifest), each form must build the very bytes the
// separate pictures build.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <sstream>

#include "pack/build.hpp"
#include "pack/error.hpp"
#include "pack/manifest.hpp"
#include "memory_pictures.hpp"
#include "palette/palette.hpp"

namespace tess {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Pictures = testing::MemoryPictures;
using testing::add_atlas;
using testing::blank;
using testing::cut;
using testing::png_of;
using testing::Rgba;

std::string list_of(const std::vector<int>& values)
{
    std::ostringstream out;
    for (std::size_t i = 0; i < values.size(); ++i) out << (i ? ", " : "") << values[i];
    return "[" + out.str() + "]";
}

Bytes built(const std::string& manifest, Pictures& pictures)
{
    return build_tile_file(parse_manifest(manifest, "m.toml"), pictures).bytes;
}

TEST(LayoutRoundTrip, SheetsAndAtlasesBuildAsTheirCellsDo)
{
    std::mt19937 random(20261209);
    const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    const char* const anchors[] = {"left", "center", "right"};
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        const int cell_w = pick(1, 64), cell_h = pick(1, 40), columns = pick(1, 5), rows = pick(1, 4);
        const int margin_x = pick(0, 3), margin_y = pick(0, 3), spacing_x = pick(0, 3), spacing_y = pick(0, 3);
        Rgba sheet = blank(margin_x + columns * cell_w + (columns - 1) * spacing_x + pick(0, 3),
                           margin_y + rows * cell_h + (rows - 1) * spacing_y + pick(0, 3));
        // Drawn blobs of palette colours on a transparent ground, margins and spacing too.
        for (auto& pixel : sheet.pixels) {
            if (pick(0, 2) == 0) {
                const Rgb& c = Palette[static_cast<std::size_t>(pick(0, 255))];
                pixel = {static_cast<std::uint8_t>(c.red), static_cast<std::uint8_t>(c.green), static_cast<std::uint8_t>(c.blue), 255};
            }
        }
        Pictures pictures;
        pictures.files["sheet.png"] = png_of(sheet);

        const int views = pick(1, 3), frames = pick(1, 4);
        std::vector<int> view_rows, frame_columns, mirrored;
        for (int v = 0; v < views; ++v) view_rows.push_back(pick(0, rows - 1));
        for (int f = 0; f < frames; ++f) frame_columns.push_back(pick(0, columns - 1));
        for (int v = 0; v < views; ++v) {
            if (pick(0, 2) == 0) mirrored.push_back(v);
        }
        const bool by_cells = pick(0, 1) == 1;
        std::vector<std::array<int, 2>> cells;  // column, row of each image
        for (int v = 0; v < views; ++v) {
            for (int f = 0; f < frames; ++f) {
                cells.push_back(by_cells ? std::array{pick(0, columns - 1), pick(0, rows - 1)}
                                         : std::array{frame_columns[static_cast<std::size_t>(f)], view_rows[static_cast<std::size_t>(v)]});
            }
        }
        const std::string placement = "trim = " + std::string(pick(0, 1) ? "true" : "false") + "\nanchor = \"" +
                                      anchors[pick(0, 2)] + "\"\n";
        const std::string header = "views = " + std::to_string(views) + "\n" + placement +
                                   "[[scene]]\nname = \"s\"\nframes = " + std::to_string(frames) + "\n";

        // The cells as separate pictures, mirrored where the sheet says.
        std::string images = "images = [";
        std::vector<Rgba> drawn;
        for (std::size_t k = 0; k < cells.size(); ++k) {
            const bool flip = std::count(mirrored.begin(), mirrored.end(), static_cast<int>(k) / frames) > 0;
            drawn.push_back(cut(sheet, margin_x + cells[k][0] * (cell_w + spacing_x), margin_y + cells[k][1] * (cell_h + spacing_y),
                                 cell_w, cell_h, flip));
            const std::string name = "cell" + std::to_string(k) + ".png";
            pictures.files[name] = png_of(drawn.back());
            images += (k ? ", \"" : "\"") + name + "\"";
        }
        const Bytes expected = built(header + images + "]\n", pictures);

        std::string grid = "sheet = { file = \"sheet.png\", cell = [" + std::to_string(cell_w) + ", " + std::to_string(cell_h) +
                           "], margin = [" + std::to_string(margin_x) + ", " + std::to_string(margin_y) + "], spacing = [" +
                           std::to_string(spacing_x) + ", " + std::to_string(spacing_y) + "], mirrored = " + list_of(mirrored);
        if (by_cells) {
            grid += ", cells = [";
            for (std::size_t k = 0; k < cells.size(); ++k) {
                grid += (k ? ", [" : "[") + std::to_string(cells[k][0]) + ", " + std::to_string(cells[k][1]) + "]";
            }
            grid += "] }\n";
        } else {
            grid += ", rows = " + list_of(view_rows) + ", columns = " + list_of(frame_columns) + " }\n";
        }
        EXPECT_EQ(built(header + grid, pictures), expected) << grid;

        // The same drawings as an atlas: each trimmed to what is drawn, some
        // stored turned, in a row; a tag a view.
        std::string tags = "tags = [", tags_json;
        std::vector<std::string> names;
        for (std::size_t k = 0; k < drawn.size(); ++k) names.push_back("f" + std::to_string(k));
        for (int v = 0; v < views; ++v) {
            tags_json += (v ? ", " : "") + std::string("{\"name\": \"v") + std::to_string(v) + "\", \"from\": " + std::to_string(v * frames) +
                         ", \"to\": " + std::to_string((v + 1) * frames - 1) + "}";
            tags += (v ? ", \"v" : "\"v") + std::to_string(v) + "\"";
        }
        add_atlas(pictures, "atlas.json", drawn, names, tags_json, false, [&](std::size_t) { return pick(0, 1) == 1; });
        EXPECT_EQ(built(header + "atlas = \"atlas.json\"\n" + tags + "]\n", pictures), expected);
        // The picture under another name than its meta.image, given by atlas_image.
        pictures.files["renamed.png"] = pictures.files.extract("atlas.png").mapped();
        EXPECT_EQ(built(header + "atlas = \"atlas.json\"\natlas_image = \"renamed.png\"\n" + tags + "]\n", pictures), expected);
    }
}

// Trimming keeps what the scene's alpha threshold keeps: a column of faint
// red that alpha_threshold = 10 draws is not cut away as transparent.
TEST(LayoutRoundTrip, TrimKeepsWhatTheThresholdDraws)
{
    Rgba picture = blank(4, 2);
    for (int y = 0; y < 2; ++y) {
        picture.at(0, y) = {255, 0, 0, 60};
        for (int x = 1; x < 3; ++x) picture.at(x, y) = {static_cast<std::uint8_t>(Palette[236].red), static_cast<std::uint8_t>(Palette[236].green), static_cast<std::uint8_t>(Palette[236].blue), 255};
    }
    Pictures pictures;
    pictures.files["a.png"] = png_of(picture);
    const std::string scene = "alpha_threshold = 10\n[[scene]]\nname = \"s\"\nimages = [\"a.png\"]\n";
    EXPECT_EQ(built(scene + "trim = true\n", pictures), built(scene, pictures));
}

}  // namespace
}  // namespace tess
