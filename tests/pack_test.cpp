// pack/ in memory: the round trip over generated tile files in every form,
// verify's verdicts, the cells that sheets and previews paint, one table of
// bad manifests and one of bad pictures, and the limits a stranger's pack
// runs into.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <sstream>

#include "pack/build.hpp"
#include "pack/error.hpp"
#include "pack/list.hpp"
#include "pack/verify.hpp"
#include "pack/manifest.hpp"
#include "pack/memory_folder.hpp"
#include "pack/picture.hpp"
#include "pack/preview.hpp"
#include "pack/unpack.hpp"
#include "gif/gif_reader.hpp"
#include "palette/palette.hpp"
#include "png/png_writer.hpp"
#include "random_tiles.hpp"
#include "tile/file.hpp"
#include "tile/image.hpp"

namespace tess {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytes_of(std::string_view text) { return {text.begin(), text.end()}; }

// The folder verify uses, with the notes unpack leaves, the reads build
// makes, and the names a pattern is matched against.
class MemoryFiles final : public MemoryFolder {
public:
    Bytes read(const std::string& path) override
    {
        ++reads[path];
        return MemoryFolder::read(path);
    }
    void note(const std::string& text) override { notes.push_back(text); }
    std::vector<std::string> list(const std::string& folder) override
    {
        std::vector<std::string> names;
        for (const auto& [name, bytes] : files) {
            if (folder.empty() && name.find('/') == std::string::npos) names.push_back(name);
        }
        return names;
    }

    std::map<std::string, int> reads;
    std::vector<std::string> notes;
};

using testing::random_tile;

Bytes rebuilt(const Bytes& tile, const UnpackOptions& options, MemoryFiles& files)
{
    unpack_tile_file(tile, plan_unpack(tile, options), files);
    const Bytes& text = files.files.at(options.name + ".toml");
    const Manifest manifest = parse_manifest(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()),
                                             options.name + ".toml");
    EXPECT_EQ(manifest.output, options.name + ".til");
    return build_tile_file(manifest, files).bytes;
}

// In the GIF form each scene with images is one GIF a view, or one PNG an
// image with a note saying why; tallies which, by the note's reason.
void count_gif_outcomes(const Bytes& tile, const MemoryFiles& files, std::map<std::string, int>& outcomes)
{
    TileFileReader reader(tile);
    const int views = reader.header().views;
    int scenes = 0;
    for (auto part = reader.next(); part != TileFileReader::Part::End; part = reader.next()) {
        if (part == TileFileReader::Part::Scene && views > 0 && reader.scene().frames > 0) ++scenes;
    }
    const std::string fallback = "one PNG an image, not a GIF a view: view ";
    int notes = 0;
    for (const std::string& note : files.notes) {
        const std::size_t at = note.find(fallback);
        if (at == std::string::npos) continue;
        ++notes;
        ++outcomes[note.substr(note.find(' ', at + fallback.size()) + 1)];
    }
    std::size_t gifs = 0;
    for (const auto& [name, bytes] : files.files) gifs += name.ends_with(".gif");
    EXPECT_EQ(gifs, static_cast<std::size_t>(views * (scenes - notes)));
    outcomes["gif"] += scenes - notes;
}

TEST(PackRoundTrip, UnpackThenBuildGivesTheSameBytesInEveryForm)
{
    std::mt19937 random(20261209);
    const UnpackOptions forms[] = {
        {ImageFormat::Png, false, "gen"},
        {ImageFormat::Xpm, false, "gen"},
        {ImageFormat::Png, true, "gen"},
        {ImageFormat::Xpm, true, "gen"},
        {ImageFormat::Png, false, "not utf-8 \xff"},
        {ImageFormat::Gif, false, "gen"},
        {ImageFormat::Aseprite, false, "gen"},
    };
    std::map<std::string, int> gif_outcomes;
    int aseprite_files = 0, aseprite_refusals = 0;
    for (int round = 0; round < 40; ++round) {
        const Bytes tile = random_tile(random);
        for (std::size_t f = 0; f < std::size(forms); ++f) {
            SCOPED_TRACE(::testing::Message() << "round " << round << " form " << f);
            MemoryFiles files;
            EXPECT_EQ(rebuilt(tile, forms[f], files), tile);
            if (forms[f].format == ImageFormat::Gif) count_gif_outcomes(tile, files, gif_outcomes);
            if (forms[f].format == ImageFormat::Aseprite) {
                for (const auto& [name, bytes] : files.files) aseprite_files += name.ends_with(".aseprite");
                for (const std::string& note : files.notes) aseprite_refusals += note.find("not an .aseprite file") != std::string::npos;
            }
        }
        EXPECT_EQ(verify_tile_file(tile).kind, Verdict::Kind::ByteIdentical) << round;
        EXPECT_EQ(verify_tile_file(tile, {ImageFormat::Aseprite, false, "gen"}).kind, Verdict::Kind::ByteIdentical) << round;
    }
    // The generator reaches every road of the GIF form.
    for (const char* outcome : {"gif", "has images of different heights", "has images of no rows",
                                "uses all 256 indices and transparency"}) {
        EXPECT_GT(gif_outcomes[outcome], 0) << outcome;
    }
    EXPECT_GT(aseprite_files, 0);
    EXPECT_GT(aseprite_refusals, 0) << "a scene of all 256 indices";
}

// A scene as one sheet is the same scene in XPM and in PNG.
TEST(PackRoundTrip, XpmSheetsBuildAsPngSheetsDo)
{
    std::mt19937 random(7);
    for (int round = 0; round < 10; ++round) {
        const Bytes tile = random_tile(random);
        MemoryFiles png, xpm;
        EXPECT_EQ(rebuilt(tile, {ImageFormat::Png, true, "s"}, png), rebuilt(tile, {ImageFormat::Xpm, true, "s"}, xpm));
        for (const auto& [name, bytes] : xpm.files) {
            if (name.ends_with("_sheet.png")) ADD_FAILURE() << name << ": an XPM sheet was asked for";
        }
    }
}

Bytes one_image_tile(const Bytes& data, int height)
{
    Bytes tile;
    TileFileWriter writer(tile, 2, 1, 1);
    writer.scene(1, "walk");
    writer.image(height, data);
    writer.finish();
    return tile;
}

TEST(PackVerify, WholeFileVerdicts)
{
    const Image image{1, [] {
                          std::vector<Pixel> row(TileWidth, TransparentPixel);
                          row[0] = 7;
                          return row;
                      }()};
    const Bytes canonical = one_image_tile(encode_image(image), 1);
    Bytes appended = canonical;
    appended.insert(appended.end(), {1, 2, 3});
    // A transparent run at the row's end: the same pixels, not our bytes.
    const Bytes foreign = one_image_tile({0, 1, 7, 1, 63, 2, 3}, 1);
    const struct {
        const char* what;
        Bytes tile;
        Verdict::Kind kind;
        std::string detail;
    } cases[] = {
        {"canonical", canonical, Verdict::Kind::ByteIdentical, ""},
        {"three bytes appended", appended, Verdict::Kind::Different, "3 bytes follow the last scene"},
        {"another encoder", foreign, Verdict::Kind::PixelIdentical, "scene 0 \"walk\", view 0, frame 0: its data (7 bytes)"},
    };
    for (const auto& c : cases) {
        const Verdict verdict = verify_tile_file(c.tile);
        EXPECT_EQ(verdict.kind, c.kind) << c.what << ": " << verdict.detail;
        EXPECT_TRUE(verdict.detail.starts_with(c.detail)) << c.what << ": " << verdict.detail;
    }
    MemoryFiles files;
    unpack_tile_file(appended, plan_unpack(appended, {}), files);
    ASSERT_EQ(files.notes.size(), 1u);
    EXPECT_EQ(files.notes[0], "3 bytes after the last scene are not kept");
}

// Verify takes the user's road in any form: a scene whose XPM sheet would be
// taller than build reads an XPM was once unpacked as one all the same.
TEST(PackVerify, TheTallestScenesComeBackInEveryForm)
{
    std::mt19937 random(3);
    Bytes tile;
    TileFileWriter writer(tile, 2, 65, 1);
    writer.scene(1, "tall");
    for (int view = 0; view < 65; ++view) writer.image(MaxCount, encode_image(testing::random_image(random, MaxCount)));
    writer.finish();
    for (const UnpackOptions& form : {UnpackOptions{ImageFormat::Xpm, true}, UnpackOptions{ImageFormat::Png, true},
                                      UnpackOptions{ImageFormat::Gif, false}}) {
        const Verdict verdict = verify_tile_file(tile, form);
        EXPECT_EQ(verdict.kind, Verdict::Kind::ByteIdentical) << static_cast<int>(form.format) << ": " << verdict.detail;
    }
}

using Rgba = std::array<int, 4>;

Rgba rgba_of(Pixel pixel)
{
    if (pixel == TransparentPixel) return {0, 0, 0, 0};
    const Rgb& colour = Palette[static_cast<std::size_t>(pixel)];
    return {colour.red, colour.green, colour.blue, 255};
}

Rgba rgba_at(const Picture& picture, std::size_t x, std::size_t y)
{
    const PictureColour& colour = picture.colours[picture.pixels[y * static_cast<std::size_t>(picture.width) + x]];
    if (colour.alpha == 0) return {0, 0, 0, 0};
    return {colour.rgb.red, colour.rgb.green, colour.rgb.blue, colour.alpha};
}

// Unpack's sheets, the preview and the animated preview put each image into
// its own cell, each pixel `scale` times.
TEST(PackPainter, SheetsAndBothPreviewsShowEveryImageInItsCell)
{
    std::mt19937 random(11);
    const int views = 3, scale = 2;
    const struct {
        const char* name;
        int frames, height;
    } scenes[] = {{"walk", 2, 5}, {"idle", 1, 3}};
    Bytes tile;
    TileFileWriter writer(tile, 2, views, 2);
    std::vector<std::vector<Image>> images(2);  // a scene's, in the file's order
    for (std::size_t s = 0; s < 2; ++s) {
        writer.scene(scenes[s].frames, scenes[s].name);
        for (int k = 0; k < views * scenes[s].frames; ++k) {
            images[s].push_back(testing::random_image(random, scenes[s].height));
            // Indices to spare, so that each scene can be a sheet.
            for (Pixel& pixel : images[s].back().pixels) {
                if (pixel != TransparentPixel) pixel = static_cast<Pixel>(pixel % 200);
            }
            writer.image(scenes[s].height, encode_image(images[s].back()));
        }
    }
    writer.finish();
    MemoryFiles files;
    unpack_tile_file(tile, plan_unpack(tile, {ImageFormat::Png, true, "p"}), files);
    const Picture preview = read_picture(preview_png(tile, scale));
    const GifAnimation animation =
        read_gif(preview_gif(tile, std::nullopt, scale, 100), {4096, 4096, 1 << 24, 16, 1 << 26});
    ASSERT_EQ(animation.frames.size(), 3u);
    std::size_t top = 0, first_frame = 0;  // the scene's, in the preview and the animation
    for (std::size_t s = 0; s < 2; ++s) {
        const Picture sheet = read_picture(files.files.at(std::string(scenes[s].name) + "_sheet.png"));
        const auto height = static_cast<std::size_t>(scenes[s].height);
        for (int k = 0; k < views * scenes[s].frames; ++k) {
            const auto view = static_cast<std::size_t>(k / scenes[s].frames);
            const auto frame = static_cast<std::size_t>(k % scenes[s].frames);
            const std::vector<std::uint8_t>& screen = animation.frames[first_frame + frame].rgba;
            // Each pixel as drawn, and as each shows it (the last of its scale x scale copies).
            std::vector<Rgba> drawn, in_sheet, in_preview, in_animation;
            for (std::size_t y = 0; y < height; ++y) {
                for (std::size_t x = 0; x < TileWidth; ++x) {
                    drawn.push_back(rgba_of(images[s][static_cast<std::size_t>(k)].row(static_cast<int>(y))[x]));
                    in_sheet.push_back(rgba_at(sheet, frame * TileWidth + x, view * height + y));
                    in_preview.push_back(rgba_at(preview, (frame * TileWidth + x + 1) * scale - 1, (top + view * height + y + 1) * scale - 1));
                    const std::size_t at = (((y + 1) * scale - 1) * animation.width + (view * TileWidth + x + 1) * scale - 1) * 4;
                    in_animation.push_back(screen[at + 3] == 0 ? Rgba{} : Rgba{screen[at], screen[at + 1], screen[at + 2], screen[at + 3]});
                }
            }
            EXPECT_EQ(in_sheet, drawn) << "sheet, scene " << s << " image " << k;
            EXPECT_EQ(in_preview, drawn) << "preview, scene " << s << " image " << k;
            EXPECT_EQ(in_animation, drawn) << "animation, scene " << s << " image " << k;
        }
        top += views * height;
        first_frame += static_cast<std::size_t>(scenes[s].frames);
    }
}

std::string listing(const Bytes& tile, bool json)
{
    std::stringbuf in(std::string(tile.begin(), tile.end()));
    std::ostringstream out;
    list_tile_file(in, "t.til", json, out);
    return out.str();
}

TEST(PackList, TextAndJsonAsTheFileIsRead)
{
    Bytes tile;
    TileFileWriter writer(tile, 2, 1, 2);
    writer.scene(1, "walk");
    writer.image(0, {});
    writer.scene(0, "\xff");
    writer.finish();
    tile.push_back(9);
    EXPECT_EQ(listing(tile, false),
              "t.til: revision 2, 1 view, 2 scenes\nscene 0 \"walk\": 1 frame\n"
              "  view 0 frame 0: height 0, 0 bytes of data\nscene 1 \"\\xff\": 0 frames\n1 image\n"
              "1 bytes after the last scene\n");
    EXPECT_EQ(listing(tile, true),
              "{\n  \"revision\": 2,\n  \"views\": 1,\n  \"scenes\": [\n"
              "    {\"name\": \"walk\", \"frames\": 1, \"images\": [\n"
              "      {\"view\": 0, \"frame\": 0, \"height\": 0, \"length\": 0}\n    ]},\n"
              "    {\"name_bytes\": [255], \"frames\": 0, \"images\": []}\n  ],\n  \"trailing_bytes\": 1\n}\n");
}

const std::string RedXpm = "/* XPM */\nstatic char *r[] = {\"2 1 1 1\", \"a c #ff0000\", \"aa\"};\n";

// The message a manifest and its files give, rendered as the program
// renders it: "" when they build.
std::string build_fault(const std::string& manifest_text, const std::map<std::string, std::string>& pictures,
                        std::uint64_t max_bytes = DefaultMaxTileBytes)
{
    MemoryFiles files;
    for (const auto& [name, text] : pictures) files.files[name] = bytes_of(text);
    try {
        build_tile_file(parse_manifest(manifest_text, "m.toml"), files, max_bytes);
    } catch (const PackError& error) {
        // The pixel's place is said in words; the place carries it too.
        const PackLocation& at = error.where();
        return rendered(error, "").front() + (at.x >= 0 ? " [x " + std::to_string(at.x) + ", y " + std::to_string(at.y) + "]" : "");
    }
    return "";
}

TEST(PackBuild, BadManifestsAreRefusedWithTheirPlace)
{
    const std::string scene = "[[scene]]\nname = \"walk\"\nframes = 1\n";
    const struct {
        const char* what;
        std::string manifest;
        std::string fault;
    } cases[] = {
        {"dotted key", [] {
             std::string key = "a";
             for (int i = 0; i < 50000; ++i) key += ".a";
             return key + " = 1\n";
         }(),
         "a key of more than 128 parts; at most 128"},
        {"table header", "[" + [] {
             std::string key = "a";
             for (int i = 0; i < 200; ++i) key += ".a";
             return key;
         }() + "]\n",
         "a key of more than 128 parts; at most 128"},
        {"nested arrays", "a = " + std::string(200, '[') + std::string(200, ']') + "\n",
         "values nested more than 128 deep; at most 128"},
        {"a dot in a string is no part", "output = \"" + std::string(300, '.') + "a.til\"\n", ""},
        {"output above the folder", "output = \"a/../../x.til\"\n", "'output' must stay inside the manifest's folder"},
        {"output and its bytes", "output = \"a.til\"\noutput_bytes = [97]\n", "give 'output' or 'output_bytes', not both"},
        {"output bytes not bytes", "output_bytes = [0]\n", "'output_bytes' must hold numbers from 1 to 255"},
        {"too many images for the limit", "views = 255\n[[scene]]\nname = \"w\"\nframes = 255\nsheet = \"s.png\"\n",
         "m.toml: the tile file would be at least 195084 bytes, more than the 1000 allowed (--max-size raises it)"},
    };
    for (const auto& c : cases) {
        const std::string fault = build_fault(c.manifest, {}, 1000);
        if (c.fault.empty()) {
            EXPECT_EQ(fault, "") << c.what;
        } else {
            EXPECT_TRUE(fault.starts_with("m.toml")) << c.what << ": " << fault;
            EXPECT_NE(fault.find(c.fault), std::string::npos) << c.what << ": " << fault;
        }
    }
    EXPECT_EQ(build_fault(scene + "images = [\"r.xpm\"]\n", {{"r.xpm", RedXpm}}), "");
}

std::string png_of(std::uint32_t width, std::uint32_t height)
{
    const Bytes png = write_indexed_png(width, height, Bytes(std::size_t{width} * height, 7), std::nullopt);
    return {png.begin(), png.end()};
}

// Left out, `frames` is counted from what the scene lists, and the file is
// the one the same scene builds with `frames` given; where the count cannot
// be told, the manifest is refused at the scene.
TEST(PackBuild, FramesLeftOutAreCountedFromWhatTheSceneLists)
{
    Bytes cells(16);
    for (std::size_t i = 0; i < cells.size(); ++i) cells[i] = static_cast<std::uint8_t>(i * 9);
    const Bytes sheet_png = write_indexed_png(4, 4, cells, std::nullopt);
    MemoryFiles files;
    files.files = {{"a.xpm", bytes_of(RedXpm)},
                   {"b.xpm", bytes_of("/* XPM */\nstatic char *b[] = {\"1 2 1 1\", \"b c #0000ff\", \"b\", \"b\"};\n")},
                   {"s.png", sheet_png}};
    const std::string head = "views = 2\n[[scene]]\nname = \"walk\"\n";
    const std::string sheet = "sheet = { file = \"s.png\", cell = [2, 2]";
    const struct {
        const char* what;
        std::string listing;
        int frames;  // what it counts to, or -1 when refused
        std::string fault;
    } cases[] = {
        {"images", "images = [\"a.xpm\", \"b.xpm\", \"b.xpm\", \"a.xpm\"]\n", 2, ""},
        {"patterns", "images = [\"*.xpm\"]\n", 1, ""},
        {"columns", sheet + ", rows = [1, 0], columns = [1, 0, 1] }\n", 3, ""},
        {"cells", sheet + ", cells = [[0, 0], [1, 1], [1, 0], [0, 1]] }\n", 2, ""},
        {"images that do not divide", "images = [\"a.xpm\", \"b.xpm\", \"a.xpm\"]\n", -1,
         "m.toml:4:10: 3 images do not make 2 views of at most 255 frames; give 'frames' in scene 0"},
        {"patterns that do not divide", "images = [\"a*\"]\n", -1,
         "(a*): 1 images do not make 2 views of at most 255 frames; give 'frames'"},
        {"cells that do not divide", sheet + ", cells = [[0, 0]] }\n", -1,
         "1 cells do not make 2 views of at most 255 frames; give 'frames' in scene 0"},
        {"a sheet without columns", sheet + ", rows = [0, 1] }\n", -1,
         "missing 'frames' (a sheet's frames are counted only from its 'columns' or 'cells') in scene 0"},
        {"nothing listed", "", -1, "m.toml:2:1: missing 'frames' in scene 0"},
    };
    for (const auto& c : cases) {
        std::string fault;
        try {
            const Bytes counted = build_tile_file(parse_manifest(head + c.listing, "m.toml"), files).bytes;
            const std::string stated = head + "frames = " + std::to_string(c.frames) + "\n" + c.listing;
            EXPECT_EQ(counted, build_tile_file(parse_manifest(stated, "m.toml"), files).bytes) << c.what;
        } catch (const PackError& error) {
            fault = rendered(error, "").front();
        }
        if (c.frames >= 0) {
            EXPECT_EQ(fault, "") << c.what;
        } else {
            EXPECT_NE(fault.find(c.fault), std::string::npos) << c.what << ": " << fault;
        }
    }
}

TEST(PackBuild, BadPicturesAreRefusedAtTheirImage)
{
    const std::string head = "views = 2\n[[scene]]\nname = \"walk\"\nframes = 1\n";
    const std::string images = head + "images = [\"a.xpm\", \"b\"]\n";
    const struct {
        const char* what;
        std::string manifest;
        std::string picture;  // as "b"
        std::string fault;
    } cases[] = {
        {"missing", images, "", "scene 0 \"walk\", view 1, frame 0 (b): cannot read: no such file"},
        {"cut PNG", images, png_of(2, 2).substr(0, 40), "scene 0 \"walk\", view 1, frame 0 (b): "},
        {"not a picture", images, "hello", "scene 0 \"walk\", view 1, frame 0 (b): "},
        {"too wide", images, png_of(65, 1), "scene 0 \"walk\", view 1, frame 0 (b): 65 x 1 pixels; an image is at most 64 x 255"},
        {"too high", images, png_of(1, 256), "scene 0 \"walk\", view 1, frame 0 (b): 1 x 256 pixels"},
        {"pixel without colour", images, "/* XPM */\nstatic char *r[] = {\"2 1 1 1\", \"a c red\", \"ab\"};\n",
         "scene 0 \"walk\", view 1, frame 0 (b): pixel \"b\" at x 1, y 0 has no colour [x 1, y 0]"},
        {"strict colour", "strict = true\n" + images,
         "/* XPM */\nstatic char *r[] = {\"2 1 2 1\", \"a c #000000\", \"b c #010203\", \"ab\"};\n",
         "scene 0 \"walk\", view 1, frame 0 (b): colour #010203 at x 1, y 0 is not a palette colour [x 1, y 0]"},
        {"sheet that does not divide", head + "sheet = \"b\"\n", png_of(64, 3), "scene 0 \"walk\" (b): the sheet is 64 x 3"},
        {"sheet of the wrong width", head + "sheet = \"b\"\n", png_of(65, 2), "scene 0 \"walk\" (b): the sheet is 65 x 2"},
    };
    for (const auto& c : cases) {
        std::map<std::string, std::string> pictures{{"a.xpm", RedXpm}};
        if (!c.picture.empty()) pictures["b"] = c.picture;
        const std::string fault = build_fault(c.manifest, pictures);
        EXPECT_TRUE(fault.starts_with(c.fault)) << c.what << ": " << fault;
    }
}

// A picture named for every image is read and decoded once, a file built
// into a sink comes in pieces that make the same bytes, and a file that
// would outgrow the limit stops as soon as it does.
TEST(PackBuild, APictureNamedManyTimesIsReadOnce)
{
    std::string manifest = "views = 16\n";
    for (int s = 0; s < 4; ++s) manifest += "[[scene]]\nname = \"s\"\nframes = 16\nsheet = \"sheet.png\"\n";
    MemoryFiles files;
    files.files["sheet.png"] = bytes_of(png_of(16 * 64, 16 * 32));
    const Manifest parsed = parse_manifest(manifest, "m.toml");
    const BuiltTile whole = build_tile_file(parsed, files);
    EXPECT_EQ(whole.images, 4 * 16 * 16);
    EXPECT_EQ(files.reads["sheet.png"], 1);

    // A trimmed scene's pictures are each asked for twice, to measure the
    // box and to be placed, and each is still read once.
    std::string trimmed = "views = 4\n[[scene]]\nname = \"t\"\nframes = 4\ntrim = true\nimages = [";
    MemoryFiles cells;
    for (int k = 0; k < 16; ++k) {
        const std::string name = "c" + std::to_string(k) + ".png";
        trimmed += (k ? ", \"" : "\"") + name + "\"";
        cells.files[name] = bytes_of(png_of(8 + static_cast<std::uint32_t>(k), 8));
    }
    build_tile_file(parse_manifest(trimmed + "]\n", "t.toml"), cells);
    EXPECT_EQ(cells.reads.size(), 16u);
    for (const auto& [name, count] : cells.reads) EXPECT_EQ(count, 1) << name;

    // A sheet named again after other pictures is still kept.
    MemoryFiles between;
    between.files["sheet.png"] = files.files["sheet.png"];
    between.files["other.png"] = bytes_of(png_of(64, 32));
    const std::string sheet_scene = "[[scene]]\nname = \"s\"\nframes = 16\nsheet = \"sheet.png\"\n";
    std::string others = "[[scene]]\nname = \"o\"\nframes = 16\nimages = [\"other.png\"";
    for (int k = 1; k < 16 * 16; ++k) others += ", \"other.png\"";
    build_tile_file(parse_manifest("views = 16\n" + sheet_scene + others + "]\n" + sheet_scene, "b.toml"), between);
    EXPECT_EQ(between.reads["sheet.png"], 1);

    struct Pieces final : TileSink {
        void write(std::span<const std::uint8_t> piece) override
        {
            bytes.insert(bytes.end(), piece.begin(), piece.end());
            ++count;
        }
        Bytes bytes;
        int count = 0;
    } pieces;
    EXPECT_TRUE(build_tile_file(parsed, files, pieces).bytes.empty());
    EXPECT_EQ(pieces.bytes, whole.bytes);
    EXPECT_GT(pieces.count, 2) << whole.bytes.size() << " bytes";
    try {
        build_tile_file(parsed, files, 20000);
        ADD_FAILURE() << "built past the limit";
    } catch (const PackError& error) {
        const std::string what = error.what();
        EXPECT_TRUE(what.starts_with("the tile file would be at least 2")) << what;
        EXPECT_TRUE(what.ends_with("bytes, more than the 20000 allowed (--max-size raises it)")) << what;
    }
}

}  // namespace
}  // namespace tess
