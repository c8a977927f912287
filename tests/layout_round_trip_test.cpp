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
        // stored turned 90 degrees clockwise, in a row; a tag a view.
        std::ostringstream json;
        json << "{\"frames\": [";
        std::vector<Rgba> stored;
        int atlas_w = 0, atlas_h = 1;
        for (std::size_t k = 0; k < drawn.size(); ++k) {
            Rgba& d = drawn[k];
            int x0 = d.width, y0 = d.height, x1 = -1, y1 = -1;
            for (int y = 0; y < d.height; ++y) {
                for (int x = 0; x < d.width; ++x) {
                    if (d.at(x, y)[3]) x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
                }
            }
            if (x1 < 0) x0 = y0 = x1 = y1 = 0;  // nothing drawn: one transparent pixel
            Rgba trimmed = cut(d, x0, y0, x1 - x0 + 1, y1 - y0 + 1, false);
            const bool rotated = pick(0, 1) == 1;
            Rgba kept = trimmed;
            if (rotated) {
                kept = blank(trimmed.height, trimmed.width);
                for (int y = 0; y < trimmed.height; ++y) {
                    for (int x = 0; x < trimmed.width; ++x) kept.at(trimmed.height - 1 - y, x) = trimmed.at(x, y);
                }
            }
            json << (k ? ", " : "") << "{\"filename\": \"f" << k << "\", \"frame\": {\"x\": " << atlas_w << ", \"y\": 0, \"w\": "
                 << trimmed.width << ", \"h\": " << trimmed.height << "}, \"rotated\": " << (rotated ? "true" : "false")
                 << ", \"trimmed\": true, \"spriteSourceSize\": {\"x\": " << x0 << ", \"y\": " << y0 << ", \"w\": " << trimmed.width
                 << ", \"h\": " << trimmed.height << "}, \"sourceSize\": {\"w\": " << cell_w << ", \"h\": " << cell_h
                 << "}, \"duration\": 100}";
            atlas_w += kept.width + 1;
            atlas_h = std::max(atlas_h, kept.height);
            stored.push_back(std::move(kept));
        }
        Rgba atlas = blank(atlas_w, atlas_h);
        for (int x = 0; const Rgba& s : stored) {
            for (int y = 0; y < s.height; ++y) {
                for (int i = 0; i < s.width; ++i) atlas.at(x + i, y) = s.pixels[static_cast<std::size_t>(y * s.width + i)];
            }
            x += s.width + 1;
        }
        pictures.files["atlas.png"] = png_of(atlas);
        json << "], \"meta\": {\"app\": \"test\", \"image\": \"atlas.png\", \"size\": {\"w\": " << atlas_w << ", \"h\": " << atlas_h
             << "}, \"frameTags\": [";
        std::string tags = "tags = [";
        for (int v = 0; v < views; ++v) {
            json << (v ? ", " : "") << "{\"name\": \"v" << v << "\", \"from\": " << v * frames << ", \"to\": " << (v + 1) * frames - 1
                 << ", \"direction\": \"forward\"}";
            tags += (v ? ", \"v" : "\"v") + std::to_string(v) + "\"";
        }
        json << "]}}";
        const std::string text = json.str();
        pictures.files["a.json"] = Bytes(text.begin(), text.end());
        EXPECT_EQ(built(header + "atlas = \"a.json\"\n" + tags + "]\n", pictures), expected) << text;
        // The picture under another name than its meta.image, given by atlas_image.
        pictures.files["renamed.png"] = pictures.files.extract("atlas.png").mapped();
        EXPECT_EQ(built(header + "atlas = \"a.json\"\natlas_image = \"renamed.png\"\n" + tags + "]\n", pictures), expected);
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
