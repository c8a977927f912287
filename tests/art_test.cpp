// Art as people draw it: key colours, crop, scale, a GIF cut as a grid, one
// box for several scenes, atlas frames by number and tags counted within
// their own file. Each table builds a manifest of the new keys and the same
// drawings given as separate, already-cut pictures, which must give the very
// same bytes; the area filter is held to pixels worked out by hand, the
// crop and scale a refusal offers must fit, and the guesses a build once
// made silently are said or refused.
#include <gtest/gtest.h>

#include <random>

#include "ase/ase_writer.hpp"
#include "gif/gif_writer.hpp"
#include "memory_pictures.hpp"
#include "pack/manifest.hpp"
#include "palette/palette.hpp"

namespace tess {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::add_atlas;
using testing::blank;
using testing::cut;
using testing::png_of;
using testing::Rgba;
using testing::Rgba8;
using Pictures = testing::MemoryPictures;

constexpr Rgba8 Cyan = {0, 255, 255, 255};
constexpr Rgba8 Magenta = {255, 0, 255, 255};

BuiltTile built(const std::string& manifest, Pictures& pictures) { return build_tile_file(parse_manifest(manifest, "m.toml"), pictures); }

// A drawing of a few rectangles in colours off the palette (never a key
// colour), on a transparent ground with `inset` pixels clear around it;
// unless `opaque_only`, one ink is partly transparent and one too faint to
// be drawn.
Rgba drawing(int width, int height, std::mt19937& random, int inset = 2, bool opaque_only = false)
{
    const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    static constexpr Rgba8 Inks[] = {{201, 31, 40, 255}, {30, 160, 75, 255}, {60, 70, 210, 255}, {233, 190, 20, 255},
                                     {90, 50, 20, 255},  {240, 240, 230, 255}, {12, 14, 16, 255}, {150, 0, 140, 255},
                                     {20, 140, 240, 160}, {250, 120, 0, 60}};
    Rgba picture = blank(width, height);
    const int inks = opaque_only ? 8 : 10;
    for (int r = 0, rectangles = pick(3, 6); r < rectangles; ++r) {
        const int x = pick(inset, width - inset - 1), y = pick(inset, height - inset - 1);
        const int w = pick(1, width - inset - x), h = pick(1, height - inset - y);
        const Rgba8 ink = Inks[pick(0, inks - 1)];
        for (int yy = y; yy < y + h; ++yy) {
            for (int xx = x; xx < x + w; ++xx) picture.at(xx, yy) = ink;
        }
    }
    return picture;
}

// `picture` with its transparent pixels painted `ground`.
Rgba on_ground(Rgba picture, const Rgba8& ground)
{
    for (Rgba8& pixel : picture.pixels) {
        if (pixel[3] == 0) pixel = ground;
    }
    return picture;
}

// Each pixel as an n x n block.
Rgba enlarged(const Rgba& picture, int n)
{
    Rgba out = blank(picture.width * n, picture.height * n);
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) out.at(x, y) = picture.get(x / n, y / n);
    }
    return out;
}

// Cells laid out `columns` to a row, after `margin` and with `spacing`
// between them, on `ground`.
Rgba sheet_of(const std::vector<Rgba>& cells, int columns, int margin, int spacing, const Rgba8& ground = {})
{
    const int w = cells.front().width, h = cells.front().height;
    const int rows = static_cast<int>(cells.size() + static_cast<std::size_t>(columns) - 1) / columns;
    Rgba sheet = blank(2 * margin + columns * w + (columns - 1) * spacing, 2 * margin + rows * h + (rows - 1) * spacing);
    for (Rgba8& pixel : sheet.pixels) pixel = ground;
    for (std::size_t k = 0; k < cells.size(); ++k) {
        const int left = margin + static_cast<int>(k) % columns * (w + spacing), top = margin + static_cast<int>(k) / columns * (h + spacing);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                if (cells[k].get(x, y)[3] != 0 || ground[3] == 0) sheet.at(left + x, top + y) = cells[k].get(x, y);
            }
        }
    }
    return sheet;
}

// An animated GIF of the pictures, its own table of their opaque colours;
// index 0 is transparent.
Bytes gif_of(const std::vector<Rgba>& frames)
{
    std::vector<Rgb> table = {{0, 0, 0}};
    std::vector<std::vector<std::uint8_t>> screens;
    for (const Rgba& frame : frames) {
        std::vector<std::uint8_t>& screen = screens.emplace_back();
        for (const Rgba8& pixel : frame.pixels) {
            const Rgb colour{pixel[0], pixel[1], pixel[2]};
            auto found = std::find(table.begin() + 1, table.end(), colour);
            if (pixel[3] != 255) found = table.begin();
            if (found == table.end()) found = table.insert(table.end(), colour);
            screen.push_back(static_cast<std::uint8_t>(found - table.begin()));
        }
    }
    return write_indexed_gif(static_cast<std::uint32_t>(frames[0].width), static_cast<std::uint32_t>(frames[0].height), table, 0, screens,
                             std::vector<int>(frames.size(), 100));
}

// `images = [...]` of the pictures, written as PNGs named prefix0.png, ...
std::string images_of(Pictures& pictures, const std::string& prefix, const std::vector<Rgba>& drawn)
{
    std::string list = "images = [";
    for (std::size_t k = 0; k < drawn.size(); ++k) {
        const std::string name = prefix + std::to_string(k) + ".png";
        pictures.files[name] = png_of(drawn[k]);
        list += (k ? ", \"" : "\"") + name + "\"";
    }
    return list + "]\n";
}

std::string scene_with(int views, std::optional<int> frames = std::nullopt)
{
    return "views = " + std::to_string(views) + "\n[[scene]]\nname = \"s\"\n" + (frames ? "frames = " + std::to_string(*frames) + "\n" : "");
}

// Rows of a table: a manifest of the keys under test, and one of the same
// drawings as separate, already-cut pictures.
struct Same {
    const char* what;
    std::string manifest;
    std::string cut;
};

void expect_same(const std::vector<Same>& rows, Pictures& pictures)
{
    for (const Same& row : rows) {
        SCOPED_TRACE(row.what);
        Bytes expected, got;
        ASSERT_NO_THROW(expected = built(row.cut, pictures).bytes) << row.cut;
        try {
            got = built(row.manifest, pictures).bytes;
        } catch (const PackError& error) {
            ADD_FAILURE() << error.what() << "\n" << row.manifest;
            continue;
        }
        EXPECT_EQ(got, expected) << row.manifest;
    }
}

// The box of the pixels drawn (alpha 128 and above) in all the pictures.
std::array<int, 4> drawn_box(const std::vector<Rgba>& pictures)
{
    int x0 = 1 << 20, y0 = 1 << 20, x1 = -1, y1 = -1;
    for (const Rgba& picture : pictures) {
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                if (picture.get(x, y)[3] >= 128) x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
            }
        }
    }
    return {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

std::vector<Rgba> cut_all(const std::vector<Rgba>& pictures, const std::array<int, 4>& box)
{
    std::vector<Rgba> out;
    for (const Rgba& picture : pictures) out.push_back(cut(picture, box[0], box[1], box[2], box[3]));
    return out;
}

TEST(Art, KeyColoursAreTransparentBeforeAnythingElse)
{
    std::mt19937 random(1);
    Pictures pictures;
    std::vector<Rgba> cells, cyan, two_grounds, spotted, spotted_cut;
    for (int k = 0; k < 4; ++k) {
        cells.push_back(drawing(40, 30, random));
        cyan.push_back(on_ground(cells.back(), Cyan));
        two_grounds.push_back(on_ground(cells.back(), k % 2 ? Magenta : Cyan));
        spotted_cut.push_back(cells.back());
        for (int y = 0; y < 3; ++y) spotted_cut.back().at(0, y) = Magenta;
        spotted.push_back(on_ground(spotted_cut.back(), Cyan));
    }
    pictures.files["cyan-sheet.png"] = png_of(sheet_of(cyan, 2, 1, 2, Cyan));
    add_atlas(pictures, "cyan.json", cyan, {"f0", "f1", "f2", "f3"}, "");

    // Indexed pictures: a ground of one index whose colour is also drawn
    // under another (240 and 0 are both black; 2 and 5 both cyan).
    std::vector<std::uint8_t> indices(40 * 30, 240);
    for (std::size_t i = 0; i < indices.size(); ++i) {
        if (i % 7 < 3) indices[i] = std::array<std::uint8_t, 4>{0, 23, 155, 100}[i % 4];
    }
    pictures.files["keyed-240.png"] = write_indexed_png(40, 30, indices, std::nullopt);
    pictures.files["clear-240.png"] = write_indexed_png(40, 30, indices, 240);
    const std::vector<Rgb> table = {{0, 0, 0}, {200, 0, 0}, {0, 255, 255}, {0, 200, 0}, {0, 0, 200}, {0, 255, 255}};
    std::vector<std::vector<std::uint8_t>> screens(2, std::vector<std::uint8_t>(30 * 20, 2));
    for (std::size_t f = 0; f < screens.size(); ++f) {
        for (std::size_t i = 0; i < screens[f].size(); ++i) {
            if ((i + f) % 5 < 2) screens[f][i] = static_cast<std::uint8_t>(1 + (i + f) % 5 * 4);  // 1 and 5
        }
    }
    pictures.files["keyed-2.gif"] = write_indexed_gif(30, 20, table, std::nullopt, screens, std::vector<int>{100, 100});
    pictures.files["clear-2.gif"] = write_indexed_gif(30, 20, table, 2, screens, std::vector<int>{100, 100});
    std::vector<std::uint8_t> ase_indices(20 * 10, 7);
    for (std::size_t i = 0; i < ase_indices.size(); i += 3) ase_indices[i] = 100;
    AseIndexedSprite sprite{20, 10, "image", Palette, 0, {{20, 10, ase_indices, 100}}, {}};
    pictures.files["keyed-7.aseprite"] = write_indexed_ase(sprite);
    sprite.transparent_index = 7;
    pictures.files["clear-7.aseprite"] = write_indexed_ase(sprite);

    const std::string scene = scene_with(2, 2);
    const std::string grid = "sheet = { file = \"cyan-sheet.png\", cell = [40, 30], margin = [1, 1], spacing = [2, 2] }\n";
    const std::string cut_cells = images_of(pictures, "cell", cells);
    const std::string still = scene_with(1, 1);
    expect_same({
        {"a sheet on a cyan ground, trimmed and dithered", "transparent = \"#00ffff\"\ntrim = true\ndither = \"floyd-steinberg\"\n" + scene + grid,
         "trim = true\ndither = \"floyd-steinberg\"\n" + scene + cut_cells},
        {"a scene's own key colour", scene + "transparent = \"#00ffff\"\n" + images_of(pictures, "cyan", cyan), scene + cut_cells},
        {"a list of key colours", "transparent = [\"#ff00ff\", \"#00ffff\"]\n" + scene + images_of(pictures, "two", two_grounds), scene + cut_cells},
        {"a scene's key colour over the top's", "transparent = \"#ff00ff\"\n" + scene + "transparent = \"#00ffff\"\n" + images_of(pictures, "spotted", spotted),
         scene + images_of(pictures, "spotted-cut", spotted_cut)},
        {"nothing of a key colour bleeds into a picture scaled by area", "transparent = \"#00ffff\"\n" + scene + "scale = 0.5\n" + images_of(pictures, "cyan", cyan),
         scene + "scale = 0.5\n" + cut_cells},
        {"an atlas on a key colour, trimmed", "transparent = \"#00ffff\"\n" + scene_with(1) + "trim = true\natlas = \"cyan.json\"\n",
         scene_with(1) + "trim = true\n" + cut_cells},
        {"an index of the palette's PNG, its twin black kept", "transparent_index = 240\n" + still + "images = [\"keyed-240.png\"]\n",
         still + "images = [\"clear-240.png\"]\n"},
        {"an index of a GIF's own table, its twin cyan kept", scene_with(1) + "transparent_index = 2\nframes_from = \"gif\"\nimages = [\"keyed-2.gif\"]\n",
         scene_with(1) + "frames_from = \"gif\"\nimages = [\"clear-2.gif\"]\n"},
        {"an index of an indexed .aseprite file", scene_with(1) + "transparent_index = 7\nframes_from = \"aseprite\"\nimages = [\"keyed-7.aseprite\"]\n",
         scene_with(1) + "frames_from = \"aseprite\"\nimages = [\"clear-7.aseprite\"]\n"},
        {"no index of a picture that has none", "transparent_index = 0\n" + scene + cut_cells, scene + cut_cells},
    }, pictures);
}

TEST(Art, CropTakesAWindowOfEveryPicture)
{
    std::mt19937 random(2);
    Pictures pictures;
    std::vector<Rgba> wide, wide_cut, big, big_cut, gif_frames, gif_cut;
    for (int k = 0; k < 4; ++k) {
        wide.push_back(drawing(192, 40, random, 0));
        wide_cut.push_back(cut(wide.back(), 100, 0, 64, 40, k >= 2));
        big.push_back(drawing(90, 300, random, 0));
        big_cut.push_back(cut(big.back(), 13, 20, 50, 255));
        gif_frames.push_back(drawing(100, 20, random, 0, true));
        gif_cut.push_back(cut(gif_frames.back(), 30, 2, 64, 16));
    }
    pictures.files["wide-sheet.png"] = png_of(sheet_of(wide, 2, 0, 0));
    add_atlas(pictures, "wide.json", wide, {"a", "b", "c", "d"}, "");
    pictures.files["wide.gif"] = gif_of(gif_frames);
    pictures.files["wide-cut.gif"] = gif_of(gif_cut);

    const std::string scene = scene_with(2, 2);
    const std::string cut_wide = images_of(pictures, "wide-cut", wide_cut);
    const std::array<int, 4> trimmed = drawn_box(big_cut);
    expect_same({
        {"cells 192 wide, a window of 64 of each, a view mirrored",
         scene + "crop = [100, 0, 64, 40]\nsheet = { file = \"wide-sheet.png\", cell = [192, 40], mirrored = [1] }\n", scene + cut_wide},
        {"the atlas's trimmed and turned frames, on their canvases", "crop = [100, 0, 64, 40]\n" + scene_with(1) + "atlas = \"wide.json\"\n",
         scene_with(1) + images_of(pictures, "wide-window", cut_all(wide, {100, 0, 64, 40}))},
        {"pictures larger than an image both ways, then trimmed", scene + "crop = [13, 20, 50, 255]\ntrim = true\n" + images_of(pictures, "big", big),
         scene + "trim = true\n" + images_of(pictures, "big-cut", big_cut)},
        {"a GIF's frames", scene_with(1) + "crop = [30, 2, 64, 16]\nframes_from = \"gif\"\nimages = [\"wide.gif\"]\n",
         scene_with(1) + "frames_from = \"gif\"\nimages = [\"wide-cut.gif\"]\n"},
        {"heights, rows kept from the top of each", scene + "heights = [10, 40, 1, 25]\n" + cut_wide,
         scene + images_of(pictures, "wide-rows", {cut(wide_cut[0], 0, 0, 64, 10), cut(wide_cut[1], 0, 0, 64, 40), cut(wide_cut[2], 0, 0, 64, 1),
                                                   cut(wide_cut[3], 0, 0, 64, 25)})},
        {"heights from the top of the trimmed box", scene + "trim = true\nheights = [3, 2, 1, 4]\n" + images_of(pictures, "big-cut", big_cut),
         scene + images_of(pictures, "big-rows", {cut(big_cut[0], trimmed[0], trimmed[1], trimmed[2], 3), cut(big_cut[1], trimmed[0], trimmed[1], trimmed[2], 2),
                                                  cut(big_cut[2], trimmed[0], trimmed[1], trimmed[2], 1), cut(big_cut[3], trimmed[0], trimmed[1], trimmed[2], 4)})},
    }, pictures);
}

TEST(Art, ScaleMakesDrawingsSmaller)
{
    std::mt19937 random(3);
    Pictures pictures;
    std::vector<Rgba> art, twice, thrice, opaque, opaque_twice;
    for (int k = 0; k < 4; ++k) {
        art.push_back(drawing(30, 20, random, 1));
        twice.push_back(enlarged(art.back(), 2));
        thrice.push_back(enlarged(art.back(), 3));
        opaque.push_back(drawing(30, 20, random, 1, true));
        opaque_twice.push_back(enlarged(opaque.back(), 2));
    }
    pictures.files["thrice-sheet.png"] = png_of(sheet_of(thrice, 2, 3, 3));
    // In the palette, its twin entries among them: each keeps its index.
    std::vector<std::uint8_t> indices(30 * 20), indices_at_2x(60 * 40);
    for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = std::array<std::uint8_t, 6>{0, 240, 23, 155, 232, 255}[i * 7 % 6];
    for (std::size_t i = 0; i < indices_at_2x.size(); ++i) indices_at_2x[i] = indices[i / 120 * 30 + i % 60 / 2];
    pictures.files["indexed.png"] = write_indexed_png(30, 20, indices, 254);
    pictures.files["indexed-2x.png"] = write_indexed_png(60, 40, indices_at_2x, 254);
    pictures.files["twice.gif"] = gif_of(opaque_twice);
    pictures.files["once.gif"] = gif_of(opaque);
    add_atlas(pictures, "twice.json", twice, {"a", "b", "c", "d"}, "");
    // Opaque to its edges, scaled by 0.012499999 it is 12 pixels wide, by 0.0125 13: one picture
    // scaled both ways is two pictures, as two files are.
    pictures.files["wide.png"] = png_of(on_ground(drawing(1000, 80, random, 1, true), Magenta));
    pictures.files["wide-copy.png"] = pictures.files["wide.png"];
    const std::string wide_scenes = "[[scene]]\nname = \"a\"\nframes = 1\nscale = 0.012499999\nimages = [\"wide.png\"]\n"
                                    "[[scene]]\nname = \"b\"\nframes = 1\nscale = 0.0125\nimages = [\"wide";

    const std::string scene = scene_with(2, 2);
    const std::string once = images_of(pictures, "once", art);
    const std::string twice_images = images_of(pictures, "twice", twice);
    expect_same({
        {"nearest, a half of art drawn at 2x", scene + "scale = 0.5\nscale_filter = \"nearest\"\n" + twice_images, scene + once},
        {"nearest, a third of sheet cells drawn at 3x, a view mirrored",
         "scale = 0.3333333333333333\nscale_filter = \"nearest\"\n" + scene +
             "sheet = { file = \"thrice-sheet.png\", cell = [90, 60], margin = [3, 3], spacing = [3, 3], mirrored = [1] }\n",
         scene + "mirrored = [1]\n" + once},
        {"area, a half of flat 2x blocks is the art itself", scene + "scale = 0.5\n" + twice_images, scene + once},
        {"nearest, then trimmed and centred", scene + "scale = 0.5\nscale_filter = \"nearest\"\ntrim = true\nanchor = \"center\"\n" + twice_images,
         scene + "trim = true\nanchor = \"center\"\n" + once},
        {"a window of the 2x art, then a half", scene + "crop = [10, 4, 40, 30]\nscale = 0.5\nscale_filter = \"nearest\"\n" + twice_images,
         scene + images_of(pictures, "once-cut", cut_all(art, {5, 2, 20, 15}))},
        {"an atlas's trimmed, turned frames at 2x", scene_with(1) + "scale = 0.5\nscale_filter = \"nearest\"\natlas = \"twice.json\"\n", scene_with(1) + once},
        {"a GIF's frames at 2x", scene_with(1) + "scale = 0.5\nscale_filter = \"nearest\"\nframes_from = \"gif\"\nimages = [\"twice.gif\"]\n",
         scene_with(1) + "frames_from = \"gif\"\nimages = [\"once.gif\"]\n"},
        {"nearest keeps the palette's indices", scene_with(1, 1) + "scale = 0.5\nscale_filter = \"nearest\"\nimages = [\"indexed-2x.png\"]\n",
         scene_with(1, 1) + "images = [\"indexed.png\"]\n"},
        {"two scales a hair apart", wide_scenes + ".png\"]\n", wide_scenes + "-copy.png\"]\n"},
    }, pictures);
}

// The area filter against pixels worked out by hand: each target pixel the
// mean of the area it covers, colours weighted by their alpha.
TEST(Art, AreaScaleAveragesWeightedByAlpha)
{
    const struct {
        const char* what;
        std::string keys;
        Rgba source;
        Rgba expected;
    } cases[] = {
        {"four opaque pixels", "scale = 0.5\n", {2, 2, {{200, 0, 0, 255}, {0, 200, 0, 255}, {0, 0, 200, 255}, {100, 100, 100, 255}}},
         {1, 1, {{75, 75, 75, 255}}}},
        {"a faint pixel counts by its alpha", "scale = 0.5\n", {2, 1, {{255, 0, 0, 255}, {0, 0, 255, 51}}}, {1, 1, {{213, 0, 43, 153}}}},
        {"a clear pixel's colour counts for nothing", "scale = 0.5\n", {2, 2, {{240, 0, 0, 255}, {0, 0, 240, 255}, {0, 240, 0, 255}, {0, 99, 99, 0}}},
         {1, 1, {{80, 80, 80, 191}}}},
        {"two thirds: a pixel and half the next", "scale = 0.6666666666666666\n", {3, 1, {{240, 0, 0, 255}, {0, 240, 0, 255}, {0, 0, 240, 255}}},
         {2, 1, {{160, 80, 0, 255}, {0, 80, 160, 255}}}},
        {"a key colour is clear before it is averaged", "scale = 0.5\ntransparent = \"#00ffff\"\n", {2, 1, {{250, 0, 0, 255}, Cyan}},
         {1, 1, {{250, 0, 0, 128}}}},
        {"a blend that is a key colour is drawn", "scale = 0.5\ntransparent = \"#808080\"\n", {2, 1, {{112, 112, 112, 255}, {144, 144, 144, 255}}},
         {1, 1, {{128, 128, 128, 255}}}},
        {"nearest keeps each block's top left", "scale = 0.5\nscale_filter = \"nearest\"\n",
         {2, 2, {{240, 0, 0, 255}, {0, 0, 240, 255}, {0, 240, 0, 255}, {0, 0, 0, 0}}}, {1, 1, {{240, 0, 0, 255}}}},
    };
    for (const auto& c : cases) {
        Pictures pictures;
        pictures.files["a.png"] = png_of(c.source);
        pictures.files["b.png"] = png_of(c.expected);
        // Over a matte, a pixel's alpha moves its colour, so the alpha is checked too.
        for (const std::string matte : {"", "matte = \"#000000\"\n"}) {
            const std::string scene = "[[scene]]\nname = \"s\"\n" + matte;
            EXPECT_EQ(built(scene + c.keys + "images = [\"a.png\"]\n", pictures).bytes, built(scene + "images = [\"b.png\"]\n", pictures).bytes)
                << c.what << " " << matte;
        }
    }
}

// A picture too large for an image is refused with both ways out, a crop
// and a scale, and the numbers given must build: over pictures, cells and
// trimmed scenes of random sizes.
TEST(Art, ARefusalOfALargePictureGivesNumbersThatFit)
{
    std::mt19937 random(8);
    const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        const bool wide = pick(0, 1) == 1;
        const int w = wide ? pick(65, 300) : pick(1, 64), h = wide ? pick(1, 300) : pick(256, 400), inset = pick(0, 9);
        Rgba picture = drawing(w + 2 * inset, h + 2 * inset, random, inset, true);
        picture.at(inset, inset) = picture.at(inset + w - 1, inset + h - 1) = {201, 31, 40, 255};
        Pictures pictures;
        pictures.files["a.png"] = png_of(picture);
        pictures.files["sheet.png"] = png_of(sheet_of({picture, picture}, 2, 0, 0));
        const std::string forms[] = {
            "images = [\"a.png\"]\n",
            "trim = true\nimages = [\"a.png\", \"a.png\"]\n",
            "frames = 2\nsheet = { file = \"sheet.png\", cell = [" + std::to_string(picture.width) + ", " + std::to_string(picture.height) + "] }\n",
        };
        const int form = pick(0, 2);
        const std::string manifest = "[[scene]]\nname = \"s\"\n" + forms[form];
        std::string refusal;
        try {
            built(manifest, pictures);
        } catch (const PackError& error) {
            refusal = error.what();
        }
        const std::size_t crop = refusal.find("crop = ["), scale = refusal.find("scale = ");
        ASSERT_TRUE(crop != std::string::npos && scale != std::string::npos) << manifest << refusal;
        for (const std::string& way : {refusal.substr(crop, refusal.find(']', crop) + 1 - crop), refusal.substr(scale, refusal.find(' ', scale + 8) - scale)}) {
            EXPECT_NO_THROW(built(manifest + way + "\n", pictures)) << manifest << way << "\nafter " << refusal;
        }
        // The scale offered is near the largest that fits the box refused, not any that does.
        const double box_w = form == 1 ? w : picture.width, box_h = form == 1 ? h : picture.height;
        const double offered = std::stod(refusal.substr(scale + 8));
        EXPECT_GE(offered, 0.95 * std::min({1.0, 64 / box_w, 255 / box_h})) << manifest << refusal;
    }
}

TEST(Art, AGifCutAsAGridGivesACellAView)
{
    std::mt19937 random(4);
    Pictures pictures;
    // Three frames of a 2 x 2 grid of 30 x 20 cells; a view a cell.
    std::vector<std::vector<Rgba>> cells(4);
    std::vector<Rgba> screens;
    for (int f = 0; f < 3; ++f) {
        std::vector<Rgba> frame;
        for (int c = 0; c < 4; ++c) frame.push_back(cells[static_cast<std::size_t>(c)].emplace_back(drawing(30, 20, random, 0, true)));
        screens.push_back(sheet_of(frame, 2, 2, 1));
    }
    pictures.files["grid.gif"] = gif_of(screens);
    std::vector<Rgba> screens_at_2x;
    for (const Rgba& screen : screens) screens_at_2x.push_back(enlarged(screen, 2));
    pictures.files["grid-2x.gif"] = gif_of(screens_at_2x);
    for (int c = 0; c < 4; ++c) pictures.files["cell" + std::to_string(c) + ".gif"] = gif_of(cells[static_cast<std::size_t>(c)]);
    const std::string scene = scene_with(2) + "frames_from = \"gif\"\n";
    const std::string grid = "sheet = { file = \"grid.gif\", cell = [30, 20], margin = [2, 2], spacing = [1, 1]";
    expect_same({
        {"a grid row a view", scene + grid + ", rows = [1, 0] }\n", scene + "images = [\"cell2.gif\", \"cell0.gif\"]\n"},
        {"the views' rows by default", scene + grid + " }\n", scene + "images = [\"cell0.gif\", \"cell2.gif\"]\n"},
        {"a [column, row] a view, the same cell twice", scene + grid + ", cells = [[1, 1], [1, 1]] }\n", scene + "images = [\"cell3.gif\", \"cell3.gif\"]\n"},
        {"frames given, and checked", scene + "frames = 3\n" + grid + ", cells = [[1, 0], [0, 1]] }\n", scene + "images = [\"cell1.gif\", \"cell2.gif\"]\n"},
        {"a grid drawn at 2x, each cell halved", scene + "scale = 0.5\nscale_filter = \"nearest\"\n" +
             "sheet = { file = \"grid-2x.gif\", cell = [60, 40], margin = [4, 4], spacing = [2, 2], rows = [1, 0] }\n",
         scene + "images = [\"cell2.gif\", \"cell0.gif\"]\n"},
    }, pictures);
}

TEST(Art, TrimTogetherGivesSeveralScenesOneBox)
{
    std::mt19937 random(5);
    Pictures pictures;
    // Each scene drawn in another part of its canvas; one canvas smaller.
    std::vector<Rgba> walk, idle, small, apart;
    for (int k = 0; k < 2; ++k) {
        walk.push_back(cut(drawing(30, 20, random, 1), -20, -6, 60, 40));
        idle.push_back(cut(drawing(24, 30, random, 1), -4, -2, 60, 40));
        small.push_back(drawing(40, 25, random, 3));
        apart.push_back(cut(drawing(20, 20, random, 1), -35, -15, 60, 40));
    }
    pictures.files["idle-sheet.png"] = png_of(sheet_of(idle, 2, 0, 0));
    const std::array<int, 4> all = drawn_box({walk[0], walk[1], idle[0], idle[1], small[0], small[1]});
    const auto scene = [](const char* name, const std::string& keys) { return "[[scene]]\nname = \"" + std::string(name) + "\"\n" + keys; };
    const std::string walk_images = images_of(pictures, "walk", walk), small_images = images_of(pictures, "small", small);
    const std::string idle_sheet = "frames = 2\nsheet = { file = \"idle-sheet.png\", cell = [60, 40] }\n";
    const std::string idle_images = images_of(pictures, "idle", idle);
    const std::string together = "trim = \"together\"\n";
    expect_same({
        {"three scenes of two forms and two canvas sizes",
         scene("walk", together + walk_images) + scene("idle", together + idle_sheet) + scene("small", together + small_images),
         scene("walk", images_of(pictures, "walk-cut", cut_all(walk, all))) + scene("idle", images_of(pictures, "idle-cut", cut_all(idle, all))) +
             scene("small", images_of(pictures, "small-cut", cut_all(small, all)))},
        {"together from the top, a scene of its own box and one untrimmed among them, centred",
         together + "anchor = \"center\"\n" + scene("walk", walk_images) + scene("apart", "trim = true\n" + images_of(pictures, "apart", apart)) +
             scene("whole", "trim = false\n" + images_of(pictures, "apart", apart)) + scene("idle", idle_images),
         "anchor = \"center\"\n" + scene("walk", images_of(pictures, "walk-two", cut_all(walk, drawn_box({walk[0], walk[1], idle[0], idle[1]})))) +
             scene("apart", images_of(pictures, "apart-cut", cut_all(apart, drawn_box(apart)))) + scene("whole", images_of(pictures, "apart", apart)) +
             scene("idle", images_of(pictures, "idle-two", cut_all(idle, drawn_box({walk[0], walk[1], idle[0], idle[1]}))))},
    }, pictures);
}

TEST(Art, FrameIndicesPickAtlasFramesByNumber)
{
    std::mt19937 random(6);
    Pictures pictures;
    std::vector<Rgba> canvases;
    std::vector<std::string> names;
    for (int k = 0; k < 8; ++k) {
        canvases.push_back(drawing(32, 24, random, 2));
        names.push_back("hero " + std::to_string(k) + ".png");
    }
    add_atlas(pictures, "object.json", canvases, names, "", true);
    add_atlas(pictures, "array.json", canvases, names, "");
    const auto frames = [&](std::vector<int> picked) {
        std::vector<Rgba> out;
        for (const int k : picked) out.push_back(canvases[static_cast<std::size_t>(k)]);
        return images_of(pictures, "pick" + std::to_string(pictures.files.size()), out);
    };
    const std::string one = scene_with(1), two = scene_with(2);
    expect_same({
        {"numbers", one + "atlas = \"object.json\"\nframe_indices = [3, 1, 4]\n", one + frames({3, 1, 4})},
        {"the same by name, from an object", one + "atlas = \"object.json\"\nframe_names = [\"hero 3.png\", \"hero 1.png\", \"hero 4.png\"]\n",
         one + frames({3, 1, 4})},
        {"the same by name, from an array", one + "atlas = \"array.json\"\nframe_names = [\"hero 3.png\", \"hero 1.png\", \"hero 4.png\"]\n",
         one + frames({3, 1, 4})},
        {"a range and a repeat", one + "atlas = \"array.json\"\nframe_indices = [\"2-5\", 5, 0]\n", one + frames({2, 3, 4, 5, 5, 0})},
        {"a list a view", two + "frames = 3\natlas = \"object.json\"\nframe_indices = [[0, \"1-2\"], [\"7-7\", 6, 5]]\n", two + frames({0, 1, 2, 7, 6, 5})},
    }, pictures);
}

// An atlas exported from two files with "{title}#{tag}" frame names, whose
// tags count from each file's first frame, as Aseprite writes them.
void add_two_file_atlas(Pictures& pictures, std::vector<Rgba>& canvases, const std::string& tags)
{
    std::mt19937 random(7);
    for (int k = 0; k < 7; ++k) canvases.push_back(drawing(16, 16, random, 1));
    add_atlas(pictures, "two.json", canvases, {"a#idle", "a#idle", "a#jump", "a#jump", "b#walk", "b#walk", "b#walk"}, tags);
}

TEST(Art, TagsCountWithinTheirOwnFile)
{
    Pictures pictures;
    std::vector<Rgba> canvases;
    add_two_file_atlas(pictures, canvases,
                       R"({"name": "idle", "from": 0, "to": 1}, {"name": "jump", "from": 2, "to": 3}, )"
                       R"({"name": "walk", "from": 0, "to": 2, "direction": "pingpong"})");
    const auto frames = [&](std::vector<int> picked) {
        std::vector<Rgba> out;
        for (const int k : picked) out.push_back(canvases[static_cast<std::size_t>(k)]);
        return images_of(pictures, "pick" + std::to_string(pictures.files.size()), out);
    };
    expect_same({
        {"the second file's tag, played in its own frames", scene_with(1) + "atlas = \"two.json\"\ntags = [\"walk\"]\n", scene_with(1) + frames({4, 5, 6, 5})},
        {"the first file's tags, where they point", scene_with(2) + "atlas = \"two.json\"\ntags = [\"jump\", \"idle\"]\n", scene_with(2) + frames({2, 3, 0, 1})},
    }, pictures);
}

// What a build once guessed without a word: it is said, or refused with the
// numbers to pick by.
TEST(Art, NeverASilentGuess)
{
    Pictures pictures;
    std::vector<Rgba> canvases;
    add_two_file_atlas(pictures, canvases,
                       R"({"name": "idle", "from": 0, "to": 1}, {"name": "jump", "from": 2, "to": 4}, )"
                       R"({"name": "walk", "from": 0, "to": 2}, {"name": "walk", "from": 0, "to": 1})");
    pictures.files["sheet.png"] = png_of(blank(64, 20));
    const struct {
        const char* what;
        std::string manifest;
        bool refused;
        std::string said;  // the note, or the refusal
    } cases[] = {
        {"a sheet's cells with views given", scene_with(2, 1) + "sheet = \"sheet.png\"\n", false,
         "s: sheet 64 \u00d7 20 read as 2 views \u00d7 1 frame of 64 \u00d7 10 (sheet = { file, cell = [64, 10] } says so and is not guessed)"},
        {"a sheet's cells with views left out", "[[scene]]\nname = \"s\"\nframes = 1\nsheet = \"sheet.png\"\n", false,
         "s: sheet 64 \u00d7 20 read as 1 view \u00d7 1 frame of 64 \u00d7 20 (sheet = { file, cell = [64, 20] } says so and is not guessed)"},
        {"a key index on a picture of no palette", "[[scene]]\nname = \"s\"\ntransparent_index = 3\nimages = [\"sheet.png\"]\n", false,
         "s: transparent_index = 3 keys indexed pictures only; sheet.png has no palette of its own, so no index of it is keyed "
         "(transparent = \"#rrggbb\" keys a colour)"},
        {"a frame name that names several frames", scene_with(1) + "atlas = \"two.json\"\nframe_names = [\"b#walk\"]\n", true,
         "3 frames are named \"b#walk\" (frames 4-6); pick one by number, as frame_indices = [4]"},
        {"two tags of one name", scene_with(1) + "atlas = \"two.json\"\ntags = [\"walk\"]\n", true,
         "the atlas has 2 frame tags named \"walk\" (0-2, 0-1); pick the frames by number with frame_indices"},
        {"a tag reaching into another file's frames, its own too few", scene_with(1) + "atlas = \"two.json\"\ntags = [\"jump\"]\n", true,
         "frame tag \"jump\" runs from frame 2 to 4, whose names are another tag's or file's (the atlas holds several files or "
         "counts tags within each); pick its frames by number with frame_indices, or by name"},
    };
    for (const auto& c : cases) {
        try {
            const BuiltTile tile = built(c.manifest, pictures);
            EXPECT_FALSE(c.refused) << c.what << ": built, the notes " << ::testing::PrintToString(tile.notes);
            EXPECT_EQ(tile.notes, std::vector<std::string>{c.said}) << c.what;
        } catch (const PackError& error) {
            EXPECT_TRUE(c.refused) << c.what << ": " << error.what();
            EXPECT_EQ(error.what(), c.said) << c.what;
            EXPECT_EQ(error.where().file, "two.json") << c.what;
        }
    }
}

}  // namespace
}  // namespace tess
