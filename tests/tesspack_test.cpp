// tesspack end to end: round trips over generated tile files, one table of
// bad manifests, and the folder unpack writes into.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "ase/ase_writer.hpp"
#include "gif/gif_writer.hpp"
#include "palette/palette.hpp"
#include "program_runner.hpp"
#include "random_tiles.hpp"
#include "tile/image.hpp"
#include "tile/file.hpp"

namespace tess {
namespace {

using testing::read_file;
using testing::TempFolder;
using testing::write_file;
using testing::random_tile;
using Bytes = std::vector<std::uint8_t>;

const std::filesystem::path Tesspack = TESSPACK_PATH;
const std::filesystem::path Examples = EXAMPLES_DIR;

testing::RunResult tesspack(const std::vector<std::string>& arguments, const std::filesystem::path& folder)
{
    return testing::run_program(Tesspack, arguments, folder);
}

std::string text_of(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

std::set<std::string> files_in(const std::filesystem::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename());
    return names;
}

// `tesspack build m.toml` in a folder of `files` fails with one line that
// holds `message`, and leaves the folder as it found it.
void expect_build_refused(const char* what, const std::map<std::string, std::string>& files, const std::string& message)
{
    TempFolder folder;
    for (const auto& [name, text] : files) write_file(folder / name, text);
    const std::set<std::string> before = files_in(folder.path());
    const auto result = tesspack({"build", "m.toml"}, folder.path());
    EXPECT_EQ(result.status, 1) << what;
    EXPECT_NE(result.errors.find(message), std::string::npos) << what << ": " << result.errors;
    EXPECT_TRUE(result.errors.starts_with("tesspack: ")) << what;
    EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1) << what << ": " << result.errors;
    EXPECT_EQ(files_in(folder.path()), before) << what << ": no output, no temporary file left";
}

TEST(TesspackRoundTrip, BuildUnpackBuildIsByteIdenticalInEveryForm)
{
    std::mt19937 random(20261208);
    const std::vector<std::vector<std::string>> forms = {{}, {"--format", "xpm"}, {"--sheets"}, {"--format", "gif"}};
    for (int round = 0; round < 12; ++round) {
        TempFolder folder;
        const Bytes tile = random_tile(random);
        write_file(folder / "gen.til", text_of(tile));
        for (std::size_t f = 0; f < forms.size(); ++f) {
            SCOPED_TRACE(::testing::Message() << "round " << round << " form " << f);
            const std::string out = "out" + std::to_string(f);
            std::vector<std::string> unpack = {"unpack", "gen.til", "-o", out};
            unpack.insert(unpack.end(), forms[f].begin(), forms[f].end());
            const auto unpacked = tesspack(unpack, folder.path());
            ASSERT_EQ(unpacked.status, 0) << unpacked.errors;
            const auto built = tesspack({"build", out + "/gen.toml", "-o", out + ".til"}, folder.path());
            ASSERT_EQ(built.status, 0) << built.errors;
            EXPECT_EQ(read_file(folder / (out + ".til")), text_of(tile));
        }
        const auto verified = tesspack({"verify", "gen.til"}, folder.path());
        EXPECT_EQ(verified.output, "byte-identical\n") << round;
    }
}

// A file another encoder wrote (tessenc leaves transparent runs at the ends of
// rows) comes back with every pixel, in the canonical encoding.
TEST(TesspackRoundTrip, ForeignEncodingComesBackPixelIdentical)
{
    TempFolder folder;
    std::filesystem::copy_file(Examples / "knight.til", folder / "knight.til");
    const auto verified = tesspack({"verify", "knight.til"}, folder.path());
    EXPECT_EQ(verified.status, 0);
    EXPECT_TRUE(verified.output.starts_with("pixel-identical: scene 0 \"idle\", view 0, frame 0:")) << verified.output;

    ASSERT_EQ(tesspack({"unpack", "knight.til", "--format", "xpm"}, folder.path()).status, 0);
    ASSERT_EQ(tesspack({"build", "knight/knight.toml", "-o", "again.til"}, folder.path()).status, 0);
    EXPECT_EQ(tesspack({"verify", "again.til"}, folder.path()).output, "byte-identical\n");
    ASSERT_EQ(tesspack({"unpack", "again.til", "--format", "xpm"}, folder.path()).status, 0);
    for (const std::string& name : files_in(folder / "knight")) {
        if (name.ends_with(".xpm")) {
            EXPECT_EQ(read_file(folder / "again" / name), read_file(folder / "knight" / name)) << name;
        }
    }
}

const std::string Red = "/* XPM */\nstatic char *r[] = {\"2 1 1 1\", \"a c #ff0000\", \"aa\"};\n";

TEST(TesspackBuild, BadManifestsAreRefusedBeforeAnyOutput)
{
    const std::string header = "views = 1\n[[scene]]\nname = \"walk\"\nframes = 1\n";
    const struct {
        const char* what;
        std::string manifest;
        std::string image;  // written as a.xpm when not empty
        std::string message;
    } cases[] = {
        {"not TOML", "views = \n", "", "m.toml:1:9: Error while parsing key-value pair"},
        {"unknown key", "colours = 3\n", "", "m.toml:1:1: unknown key 'colours'"},
        {"unknown scene key", header + "image = \"a.xpm\"\n", Red, "unknown key 'image' in scene 0"},
        {"missing name", "[[scene]]\nframes = 0\n", "", "give the scene's 'name' or its 'name_bytes' in scene 0"},
        {"wrong type", "views = \"two\"\n", "", "m.toml:1:9: 'views' must be a whole number"},
        {"count out of range", "views = 256\n", "", "'views' is 256, outside 0 to 255"},
        {"negative frames", "[[scene]]\nname = \"w\"\nframes = -1\n", "", "'frames' is -1, outside 0 to 255"},
        {"image count", header + "images = [\"a.xpm\", \"a.xpm\"]\n", Red, "2 images given, views x frames is 1 x 1 = 1"},
        {"unknown metric", "metric = \"L5\"\n", "", "'metric' must be one of L1, L2, L3, L4, oklab"},
        {"output outside the folder", "output = \"../x.til\"\n", "", "'output' must stay inside the manifest's folder"},
        {"empty image path", header + "images = [\"\"]\n", "", "must be a path"},
        {"name too long", "[[scene]]\nname = \"" + std::string(128, 'n') + "\"\nframes = 0\n", "",
         "scene name longer than 127 characters"},
        {"missing image", header + "images = [\"b.xpm\"]\n", "", "scene 0 \"walk\", view 0, frame 0 (b.xpm): cannot read"},
        {"XPM error located", header + "images = [\"a.xpm\"]\n", "\"1 1 1 0\", \"a c red\"",
         "scene 0 \"walk\", view 0, frame 0 (a.xpm): characters per pixel 0 is outside 1 to 15"},
        {"XPM wider than an image", header + "images = [\"a.xpm\"]\n", "\"65 1 1 1\", \"a c red\", \"" + std::string(65, 'a') + "\"",
         "(a.xpm): 65 x 1 pixels; an image is at most 64 x 255"},
        {"pixel without colour", header + "images = [\"a.xpm\"]\n", "\"2 1 1 1\", \"a c red\", \"ab\"",
         "(a.xpm): pixel \"b\" at x 1, y 0 has no colour"},
        {"strict colour", "strict = true\n" + header + "images = [\"a.xpm\"]\n", "\"2 1 2 1\", \"a c #000000\", \"b c #010203\", \"ab\"",
         "(a.xpm): colour #010203 at x 1, y 0 is not a palette colour"},
        {"sheet that does not divide", "views = 2\n[[scene]]\nname = \"w\"\nframes = 1\nsheet = \"a.xpm\"\n", "\"2 3 1 1\", \"a c red\", \"aa\", \"aa\", \"aa\"",
         "the sheet is 2 x 3 pixels; 1 frame of 64 needs 64 wide"},
        {"output is an input", "output = \"a.xpm\"\n" + header + "images = [\"a.xpm\"]\n", Red,
         "a.xpm: the output would replace the input"},
        // The output is open while the file is built: a fault on the way leaves no temporary beside the old file.
        {"fault with an output there", "output = \"a.xpm\"\n" + header + "images = [\"a.xpm\"]\n",
         "\"2 1 1 1\", \"a c red\", \"ab\"", "(a.xpm): pixel \"b\" at x 1, y 0 has no colour"},
    };
    for (const auto& c : cases) {
        std::map<std::string, std::string> files = {{"m.toml", c.manifest}};
        if (!c.image.empty()) files["a.xpm"] = c.image;
        expect_build_refused(c.what, files, c.message);
    }
}

// A manifest's faults are said at once, each at its place, as a compiler
// says them: a fault in a scene's source keys does not hide the others.
TEST(TesspackBuild, AManifestsFaultsAreSaidAtOnce)
{
    TempFolder folder;
    write_file(folder / "m.toml",
               "colours = 3\nmetric = \"L9\"\ntrim = \"yes\"\n"
               "[[scene]]\nname = \"a\"\nframes = 1\ndither = \"ordered\"\nimage = \"x\"\nimages = [\"a.xpm\"]\ntags = [\"walk\"]\n"
               "[[scene]]\nname = \"b\"\nframes = 300\n"
               "[[scene]]\nname = \"c\"\nframes = 1\nanchor = \"middle\"\nscale = 2\nimages = [\"a.xpm\"]\n");
    const auto result = tesspack({"build", "m.toml"}, folder.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.errors,
              "tesspack: m.toml:1:1: unknown key 'colours'\n"
              "tesspack: m.toml:3:8: 'trim' must be true, false or \"together\"\n"
              "tesspack: m.toml:2:10: 'metric' must be one of L1, L2, L3, L4, oklab\n"
              "tesspack: m.toml:8:1: unknown key 'image' in scene 0\n"
              "tesspack: m.toml:7:10: 'dither' must be one of none, floyd-steinberg, bayer4, bayer8 in scene 0\n"
              "tesspack: m.toml:10:8: 'tags' needs an 'atlas' in scene 0\n"
              "tesspack: m.toml:13:10: 'frames' is 300, outside 0 to 255 in scene 1\n"
              "tesspack: m.toml:17:10: 'anchor' must be \"left\", \"center\" or \"right\" in scene 2\n"
              "tesspack: m.toml:18:9: 'scale' must be a number above 0 and at most 1 in scene 2\n");
    EXPECT_EQ(files_in(folder.path()), std::set<std::string>{"m.toml"});
}

// Sheets cut as grids and atlases from strangers: each fault is one message
// that names the file and what is wrong, and nothing is written.
TEST(TesspackBuild, BadSheetsAndAtlasesAreRefusedBeforeAnyOutput)
{
    const std::string sheet =
        "/* XPM */\nstatic char *s[] = {\"8 4 2 1\", \". c None\", \"a c #ff0000\", \"aa..aa..\", \"aa..aa..\", \"..aa..aa\", \"..aa..aa\"};\n";
    const std::map<std::string, std::string> atlases = {
        {"a.json", R"({"frames": [{"filename": "f0", "frame": {"x": 0, "y": 0, "w": 2, "h": 2}}, {"filename": "f1", "frame": {"x": 2, "y": 0, "w": 2, "h": 2}}],
                     "meta": {"image": "s.xpm", "frameTags": [{"name": "a", "from": 0, "to": 1}, {"name": "b", "from": 0, "to": 0}]}})"},
        {"out.json", R"({"frames": [{"frame": {"x": 6, "y": 0, "w": 4, "h": 2}}], "meta": {"image": "s.xpm"}})"},
        {"gone.json", R"({"frames": [{"frame": {"x": 0, "y": 0, "w": 2, "h": 2}}], "meta": {"image": "gone.png"}})"},
        {"cut.json", R"({"frames": [)"},
        {"wide.json", R"({"frames": [{"frame": {"x": 0, "y": 0, "w": 70, "h": 1}}], "meta": {"image": "wide.xpm"}})"},
        {"note.txt", "the walk, drawn in May\n"},
        {"wide.xpm", "/* XPM */\nstatic char *w[] = {\"70 1 1 1\", \"a c red\", \"" + std::string(70, 'a') + "\"};\n"},
    };
    const std::string scene = "[[scene]]\nname = \"w\"\n";
    const struct {
        const char* what;
        std::string manifest;
        const char* message;
    } cases[] = {
        {"no cell", scene + "frames = 1\nsheet = { file = \"s.xpm\" }\n", "m.toml:4:9: the 'sheet' table needs 'cell = [width, height]'"},
        {"grid past the picture", scene + "frames = 1\nsheet = { file = \"s.xpm\", cell = [2, 2], rows = [2] }\n",
         "(s.xpm): cell [0, 2] is 2 x 2 pixels at x 0, y 4, reaching past the picture's 8 x 4"},
        {"cells not views x frames", scene + "frames = 2\nsheet = { file = \"s.xpm\", cell = [2, 2], cells = [[0, 0]] }\n",
         "m.toml:4:50: 1 cells given, views x frames is 1 x 2 = 2"},
        {"mirrored past the views", scene + "frames = 1\nsheet = { file = \"s.xpm\", cell = [2, 2], mirrored = [3] }\n",
         "'mirrored' holds 3, outside 0 to 0"},
        {"cell of text", scene + "frames = 1\nsheet = { file = \"s.xpm\", cell = [\"2\", 2] }\n", "m.toml:4:35: 'cell' must hold whole numbers"},
        {"negative margin", scene + "frames = 1\nsheet = { file = \"s.xpm\", cell = [2, 2], margin = [-1, 0] }\n", "'margin' holds -1"},
        {"unknown sheet key", scene + "frames = 1\nsheet = { file = \"s.xpm\", cell = [2, 2], gap = 1 }\n", "unknown key 'gap' in 'sheet'"},
        {"bad anchor", "anchor = \"middle\"\n" + scene + "frames = 1\nimages = [\"s.xpm\"]\n", "m.toml:1:10: 'anchor' must be"},
        {"bad trim", scene + "frames = 1\ntrim = \"yes\"\nimages = [\"s.xpm\"]\n", "m.toml:4:8: 'trim' must be true, false or \"together\""},
        {"two sources", scene + "frames = 1\nimages = [\"s.xpm\"]\natlas = \"a.json\"\n", "only one"},
        {"atlas cut short", scene + "atlas = \"cut.json\"\n", "cut.json:1:13: not valid JSON"},
        {"atlas picture missing", scene + "atlas = \"gone.json\"\n",
         "(gone.png): cannot read: No such file or directory (the picture the atlas names in meta.image, looked for in the "
         "manifest's folder; atlas_image = \"...\" gives another, relative to the manifest)"},
        {"atlas picture given, still missing", scene + "atlas = \"gone.json\"\natlas_image = \"also-gone.png\"\n",
         "(also-gone.png): cannot read: No such file or directory\n"},
        {"atlas picture without an atlas", scene + "frames = 1\nimages = [\"s.xpm\"]\natlas_image = \"s.xpm\"\n",
         "m.toml:5:15: 'atlas_image' needs an 'atlas'"},
        {"frame outside its picture", scene + "atlas = \"out.json\"\n", "frame 0 of out.json is 4 x 2 pixels at x 6, y 0, reaching past"},
        {"no such tag", scene + "atlas = \"a.json\"\ntags = [\"c\"]\n", "(a.json): no frame tag \"c\" in the atlas; it has a, b"},
        {"tags of different lengths", "views = 2\n" + scene + "atlas = \"a.json\"\ntags = [\"a\", \"b\"]\n",
         "the tags give different numbers of frames: a 2, b 1"},
        {"frames disagree", scene + "frames = 3\natlas = \"a.json\"\ntags = [\"a\"]\n", "the atlas gives 2 frames a view, the scene says frames = 3"},
        {"no such frame name", scene + "atlas = \"a.json\"\nframe_names = [\"f9\"]\n", "no frame named \"f9\""},
        {"pattern matching nothing", scene + "frames = 1\nimages = [\"*.png\"]\n", "*.png"},
        {"a cell too wide", scene + "frames = 1\nsheet = { file = \"wide.xpm\", cell = [70, 1] }\n",
         "the picture is 70 pixels wide; an image is at most 64 wide: trim = true drops the transparent border, crop = [3, 0, 64, 1] "
         "takes a window of it, scale = 0.91 makes it smaller, or cut smaller cells with 'cell' (and 'margin' and 'spacing' for the window)"},
        {"an atlas frame too wide", scene + "trim = true\natlas = \"wide.json\"\n",
         "the picture is 70 pixels wide after trimming; an image is at most 64 wide: what is drawn across the scene's frames spans that "
         "much; crop = [3, 0, 64, 1] takes a window of it, scale = 0.91 makes it smaller"},
        {"a picture too wide", scene + "images = [\"wide.x*\"]\n", "or cut it into cells with sheet = { file, cell }"},
        {"a picture that is none", scene + "images = [\"wide.j*\"]\n",
         "scene 0 \"w\", view 0, frame 0 (wide.json): not an image file this reads; give PNG, XPM, GIF or .aseprite"},
        {"a note named as a picture", scene + "images = [\"note.txt\"]\n", "(note.txt): not an image file this reads"},
    };
    for (const auto& c : cases) {
        std::map<std::string, std::string> files = atlases;
        files["m.toml"] = c.manifest;
        files["s.xpm"] = sheet;
        expect_build_refused(c.what, files, c.message);
    }
}

// The keys of art as it is drawn (key colours, crop, scale, trim together,
// frame indices, a GIF's grid): each bad value one message at its place,
// status 1, nothing written.
TEST(TesspackBuild, BadArtKeysAreRefusedBeforeAnyOutput)
{
    const std::string sheet =
        "/* XPM */\nstatic char *s[] = {\"8 4 2 1\", \". c None\", \"a c #ff0000\", \"aa..aa..\", \"aa..aa..\", \"..aa..aa\", \"..aa..aa\"};\n";
    const std::map<std::string, std::string> files = {
        {"s.xpm", sheet},
        {"flat.xpm", "/* XPM */\nstatic char *f[] = {\"64 0 1 1\", \"a c red\"};\n"},
        {"a.json", R"({"frames": [{"frame": {"x": 0, "y": 0, "w": 2, "h": 2}}, {"frame": {"x": 2, "y": 0, "w": 2, "h": 2}}], "meta": {"image": "s.xpm"}})"},
        {"one.aseprite", text_of(write_indexed_ase({1, 1, "image", Palette, 0, {{1, 1, std::vector<std::uint8_t>{7}, 100}}, {}}))},
        {"still.gif", text_of(write_indexed_gif(4, 4, std::vector<Rgb>{{0, 0, 0}, {255, 0, 0}}, std::nullopt,
                                                {Bytes(16, 1)}, std::vector<int>{100}))},
    };
    const std::string scene = "[[scene]]\nname = \"w\"\n";
    const std::string image = "frames = 1\nimages = [\"s.xpm\"]\n";
    const struct {
        const char* what;
        std::string manifest;
        std::string message;
    } cases[] = {
        {"a key colour that is none", "transparent = \"#00ffzz\"\n" + scene + image, "m.toml:1:15: 'transparent' must be a colour \"#rrggbb\" or a list of them"},
        {"a word in a list of key colours", scene + "transparent = [\"#00ffff\", \"cyan\"]\n" + image,
         "m.toml:3:27: 'transparent' must be a colour \"#rrggbb\" or a list of them in scene 0"},
        {"a key index above 255", scene + "transparent_index = 256\n" + image, "m.toml:3:21: 'transparent_index' is 256, outside 0 to 255 in scene 0"},
        {"a key index of text", "transparent_index = \"0\"\n" + scene + image, "m.toml:1:21: 'transparent_index' must be a whole number"},
        {"an empty crop", scene + "crop = [0, 0, 0, 4]\n" + image, "m.toml:3:15: 'crop' holds 0, outside 1 to 65535 in scene 0"},
        {"a crop of three numbers", "crop = [0, 0, 4]\n" + scene + image, "m.toml:1:8: 'crop' must be four numbers [x, y, width, height], not 3"},
        {"a crop past the picture", scene + "crop = [1, 1, 2, 2]\nframes = 1\nsheet = { file = \"s.xpm\", cell = [2, 2] }\n",
         "scene 0 \"w\", view 0, frame 0 (s.xpm): crop = [1, 1, 2, 2] reaches past the 2 x 2 pixels of cell [0, 0]"},
        {"a scale of 0", scene + "scale = 0\n" + image, "m.toml:3:9: 'scale' must be a number above 0 and at most 1 in scene 0"},
        {"a scale below 0", "scale = -0.5\n" + scene + image, "m.toml:1:9: 'scale' must be a number above 0 and at most 1"},
        {"a scale above 1", "scale = 2\n" + scene + image, "m.toml:1:9: 'scale' must be a number above 0 and at most 1"},
        {"a scale of nan", "scale = nan\n" + scene + image, "m.toml:1:9: 'scale' must be a number above 0 and at most 1"},
        {"a scale of text", "scale = \"1/2\"\n" + scene + image, "m.toml:1:9: 'scale' must be a number above 0 and at most 1"},
        {"an unknown filter", scene + "scale_filter = \"bilinear\"\n" + image,
         "m.toml:3:16: 'scale_filter' must be \"area\" or \"nearest\" in scene 0"},
        {"an unknown trim", "trim = \"both\"\n" + scene + image, "m.toml:1:8: 'trim' must be true, false or \"together\""},
        {"a frame index past the atlas", scene + "atlas = \"a.json\"\nframe_indices = [1, 5]\n",
         "scene 0 \"w\" (a.json): frame_indices holds 5; the atlas has frames 0 to 1"},
        {"a range run backwards", scene + "atlas = \"a.json\"\nframe_indices = [\"3-1\"]\n",
         "m.toml:4:18: 'frame_indices' holds the range 3-1, which runs backwards in scene 0"},
        {"a frame index below 0", scene + "atlas = \"a.json\"\nframe_indices = [-1]\n",
         "m.toml:4:18: 'frame_indices' holds -1, outside 0 to 65535 in scene 0"},
        {"a frame index that is a word", scene + "atlas = \"a.json\"\nframe_indices = [\"first\"]\n",
         "m.toml:4:18: 'frame_indices' must hold frame numbers and ranges \"first-last\" in scene 0"},
        {"views of different lengths", "views = 2\n" + scene + "atlas = \"a.json\"\nframe_indices = [[0], [0, 1]]\n",
         "m.toml:5:17: the views' frame indices differ in number: every view needs as many frames in scene 0"},
        {"indices beside tags", scene + "atlas = \"a.json\"\ntags = [\"a\"]\nframe_indices = [0]\n",
         "m.toml:5:17: give one of 'tags', 'frame_names' and 'frame_indices' in scene 0"},
        {"a GIF grid on a still picture", scene + "frames_from = \"gif\"\nsheet = { file = \"still.gif\", cell = [2, 2] }\n",
         "scene 0 \"w\", view 0 (still.gif): a still picture; frames_from = \"gif\" with a 'sheet' table cuts every frame of an animated GIF"},
        {"a GIF grid mirrored", scene + "frames_from = \"gif\"\nsheet = { file = \"still.gif\", cell = [2, 2], mirrored = [0] }\n",
         "m.toml:4:57: frames_from = \"gif\" takes each frame as drawn; 'mirrored' does not apply in scene 0"},
        {"layers of a file's frames", scene + "frames_from = \"aseprite\"\nimages = [\"a.aseprite\"]\nlayers = [\"body\"]\n",
         "m.toml:5:10: 'layers' chooses the layers of an .aseprite 'atlas' in scene 0"},
        {"a layer an .aseprite atlas lacks", scene + "atlas = \"one.aseprite\"\nlayers = [\"body\"]\n",
         "scene 0 \"w\" (one.aseprite): Aseprite file: no layer is named \"body\"; the file's layers are \"image\""},
        {"layers of a JSON atlas", scene + "atlas = \"a.json\"\nignore_layers = [\"body\"]\n",
         "(a.json): 'layers' and 'ignore_layers' choose an .aseprite file's layers; a JSON atlas has none"},
        {"heights not one an image", scene + "heights = [1, 2]\n" + image, "m.toml:3:11: 2 heights given, one an image: views x frames is 1"},
        {"a sheet of the wrong width, one view", scene + "frames = 1\nsheet = \"s.xpm\"\n",
         "(s.xpm): the sheet is 8 x 4 pixels; 1 frame of 64 needs 64 wide, and the height must be 1 view times an image height of 1 to 255"},
        {"a sheet's cells less than a pixel high", "views = 2\n" + scene + "frames = 1\nsheet = \"flat.xpm\"\n",
         "(flat.xpm): the sheet is 64 x 0 pixels; 1 frame of 64 needs 64 wide, and the height must be 2 views times an image height of 1 to 255"},
    };
    for (const auto& c : cases) {
        std::map<std::string, std::string> with_manifest = files;
        with_manifest["m.toml"] = c.manifest;
        expect_build_refused(c.what, with_manifest, c.message);
    }
}

TEST(TesspackCommandLine, UsageErrorsExitWithTwo)
{
    TempFolder folder;
    const std::vector<std::string> usages[] = {{}, {"build"}, {"frobnicate"}, {"unpack", "a.til", "--format", "gif", "--sheets"},
                                               {"list", "a.til", "--yaml"}, {"preview", "a.til"},
                                               {"build", "m.toml", "--dither", "ordered"}, {"compare", "m.toml"},
                                               {"compare", "m.toml", "-o", "c.png", "--scale", "0"}};
    for (const auto& arguments : usages) {
        const auto result = tesspack(arguments, folder.path());
        EXPECT_EQ(result.status, 2) << ::testing::PrintToString(arguments) << result.errors;
        EXPECT_TRUE(result.errors.starts_with("tesspack: ")) << result.errors;
    }
    EXPECT_EQ(tesspack({"build", "--help"}, folder.path()).status, 0);
    const auto version = tesspack({"--version"}, folder.path());
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, "tesspack " TESS_VERSION "\n");
}

// unpack writes only into the folder, never through a symlink, and nothing at
// all for a damaged file.
TEST(TesspackUnpack, WritesOnlyIntoItsFolder)
{
    TempFolder folder;
    std::filesystem::copy_file(Examples / "knight.til", folder / "knight.til");
    write_file(folder / "secret", "keep");

    std::filesystem::create_directory_symlink(".", folder / "linked");
    EXPECT_EQ(tesspack({"unpack", "knight.til", "-o", "linked"}, folder.path()).status, 1);

    // What stands in the way is refused before any file is written, the
    // manifest, written last, as much as the first image.
    const struct {
        std::string name;
        bool folder;
        std::string message;
    } planted[] = {
        {"idle_0_0.png", false, "planted/idle_0_0.png: is a symlink; not replaced"},
        {"knight.toml", false, "planted/knight.toml: is a symlink; not replaced"},
        {"walk_1_2.png", true, "planted/walk_1_2.png: not a regular file; not replaced"},
    };
    for (const auto& p : planted) {
        std::filesystem::remove_all(folder / "planted");
        std::filesystem::create_directory(folder / "planted");
        if (p.folder) {
            std::filesystem::create_directory(folder / "planted" / p.name);
        } else {
            std::filesystem::create_symlink("../secret", folder / "planted" / p.name);
        }
        write_file(folder / "planted/notes.txt", "mine");
        const auto result = tesspack({"unpack", "knight.til", "-o", "planted"}, folder.path());
        EXPECT_EQ(result.status, 1) << p.name;
        EXPECT_EQ(result.errors, "tesspack: " + p.message + "\n") << p.name;
        EXPECT_EQ(files_in(folder / "planted"), (std::set<std::string>{p.name, "notes.txt"})) << p.name;
        EXPECT_EQ(read_file(folder / "secret"), "keep");
    }

    const std::string whole = read_file(folder / "knight.til");
    write_file(folder / "cut.til", whole.substr(0, whole.size() - 10));
    const auto cut = tesspack({"unpack", "cut.til"}, folder.path());
    EXPECT_EQ(cut.status, 1);
    EXPECT_NE(cut.errors.find("cut.til: tile file ends inside an image's data (scene 1 \"walk\", view 1, frame 2)"),
              std::string::npos)
        << cut.errors;
    EXPECT_TRUE(!std::filesystem::exists(folder / "cut") || std::filesystem::is_empty(folder / "cut"));
}

// A stranger's pack may hold symlinks beside its outputs; nothing it names
// is written anywhere but below the manifest's folder.
TEST(TesspackHostilePacks, PathsStayInsideTheirFolders)
{
    const std::string scene = "[[scene]]\nname = \"\\necho owned\\n#\"\nframes = 1\nimages = [\"r.xpm\"]\n";
    const struct {
        const char* what;
        std::string output;            // the manifest's
        std::vector<std::string> extra;  // after `build pack/m.toml`
        std::string message;           // "" when it builds
    } cases[] = {
        {"symlinked folder in output", "evil/.bashrc", {}, "pack/evil: cannot write into it: "},
        {"symlinked folder deeper", "sub/evil/.bashrc", {}, "pack/sub/evil: cannot write into it: "},
        {"symlink at the output's name", "planted.til", {}, "pack/planted.til: is a symlink; not replaced"},
        {"the user's folder", "x.til", {"-o", "home/"}, ""},
        {"the user's folder through a symlink", "x.til", {"-o", "linked_home/"}, "linked_home/: is not a folder (a symlink is not followed)"},
        {"a symlink given as the folder", "x.til", {"-o", "linked_home"}, "linked_home: is a symlink; not replaced"},
        {"an empty -o", "x.til", {"-o", ""}, "-o needs a name"},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        std::filesystem::create_directories(folder / "pack/sub");
        std::filesystem::create_directory(folder / "home");
        write_file(folder / "home/.bashrc", "mine");
        std::filesystem::create_directory_symlink("../../home", folder / "pack/evil");
        std::filesystem::create_directory_symlink("../../../home", folder / "pack/sub/evil");
        std::filesystem::create_symlink("../home/.bashrc", folder / "pack/planted.til");
        std::filesystem::create_directory_symlink("home", folder / "linked_home");
        write_file(folder / "pack/r.xpm", Red);
        write_file(folder / "pack/m.toml", "output = \"" + c.output + "\"\n" + scene);
        std::vector<std::string> arguments = {"build", "pack/m.toml"};
        arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
        const auto result = tesspack(arguments, folder.path());
        EXPECT_EQ(read_file(folder / "home/.bashrc"), "mine") << c.what;
        if (c.message.empty()) {
            EXPECT_EQ(result.status, 0) << c.what << ": " << result.errors;
            continue;
        }
        EXPECT_NE(result.status, 0) << c.what;
        EXPECT_NE(result.errors.find(c.message), std::string::npos) << c.what << ": " << result.errors;
        EXPECT_EQ(files_in(folder / "home"), std::set<std::string>{".bashrc"}) << c.what;
    }
}

// The tile file is read once, into memory, and checked there: from a pipe,
// from standard input or from a FIFO, unpack and preview work on the bytes
// they checked.
TEST(TesspackHostilePacks, InputsAreReadOnce)
{
    TempFolder folder;
    const std::string knight = read_file(Examples / "knight.til");
    for (const std::string command : {"unpack", "preview", "verify", "list"}) {
        std::vector<std::string> arguments = {command, "-"};
        if (command == "unpack") arguments.insert(arguments.end(), {"-o", "from_stdin"});
        if (command == "preview") arguments.insert(arguments.end(), {"-o", "preview.png"});
        const auto result = testing::run_program(Tesspack, arguments, folder.path(), knight);
        EXPECT_EQ(result.status, 0) << command << ": " << result.errors;
    }
    EXPECT_TRUE(std::filesystem::exists(folder / "from_stdin/from_stdin.toml"));
    EXPECT_EQ(tesspack({"build", "from_stdin/from_stdin.toml", "-o", "again.til"}, folder.path()).status, 0);

    // A FIFO fed once: a second open would wait for a writer that never
    // comes, and the run would be killed.
    ASSERT_EQ(::mkfifo((folder / "changing.til").c_str(), 0600), 0);
    std::thread writer([&] {
        std::FILE* fifo = std::fopen((folder / "changing.til").c_str(), "wb");
        if (!fifo) return;
        std::fwrite(knight.data(), 1, knight.size(), fifo);
        std::fclose(fifo);
    });
    const auto unpacked = tesspack({"unpack", "changing.til", "-o", "changing"}, folder.path());
    writer.join();
    EXPECT_EQ(unpacked.status, 0) << unpacked.errors;
    EXPECT_EQ(tesspack({"build", "changing/changing.toml", "-o", "changing.til.again"}, folder.path()).status, 0);
    EXPECT_EQ(read_file(folder / "changing.til.again"), read_file(folder / "again.til"));
}

TEST(TesspackHostilePacks, SizesAreBoundedAndSaidInNumbers)
{
    TempFolder folder;
    std::filesystem::copy_file(Examples / "knight.til", folder / "knight.til");
    std::filesystem::copy_file(Examples / "knight.til", folder / "..til");
    write_file(folder / "r.xpm", Red);
    write_file(folder / "m.toml", "views = 255\n[[scene]]\nname = \"w\"\nframes = 255\nsheet = \"r.xpm\"\n");
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    } cases[] = {
        {{"unpack", "knight.til", "--max-files", "5"}, 1,
         "knight: unpacking would write 11 files (10 images), more than the 5 allowed (--max-files raises it)"},
        {{"build", "m.toml", "--max-size", "1000"}, 1,
         "m.toml: the tile file would be at least 195084 bytes, more than the 1000 allowed (--max-size raises it)"},
        {{"unpack", "..til"}, 2, "..til: the folder it would unpack into is '.'; give one with -o FOLDER"},
        {{"unpack", "./.til"}, 2, "./.til: the folder it would unpack into is './'; give one with -o FOLDER"},
    };
    for (const auto& c : cases) {
        const std::set<std::string> before = files_in(folder.path());
        const auto result = tesspack(c.arguments, folder.path());
        EXPECT_EQ(result.status, c.status) << c.message << ": " << result.errors;
        EXPECT_NE(result.errors.find("tesspack: " + c.message), std::string::npos) << result.errors;
        EXPECT_EQ(files_in(folder.path()), before) << c.message;
    }
}

TEST(TesspackHostilePacks, MessagesNameWhatIsWrong)
{
    TempFolder folder;
    Bytes tile;
    TileFileWriter writer(tile, 2, 1, 1);
    writer.scene(0, "\xe2\x80\xae" "evil\xc2\x9b");  // U+202E, then U+009B
    writer.finish();
    write_file(folder / "names.til", text_of(tile));
    write_file(folder / "not-utf8-\xff.til", text_of(tile));
    std::filesystem::copy_file(Examples / "knight.til", folder / "knight.til");
    const auto listed = tesspack({"list", "names.til"}, folder.path());
    EXPECT_NE(listed.output.find("scene 0 \"\\u{202e}evil\\u{009b}\": 0 frames"), std::string::npos) << listed.output;
    // verify names a scene as safely, here of an image another encoder wrote.
    Bytes foreign;
    TileFileWriter foreign_writer(foreign, 2, 1, 1);
    foreign_writer.scene(1, "\x1b[2Jwipe");
    foreign_writer.image(1, std::vector<std::uint8_t>{0, 1, 7, 1, 63, 2, 3});
    foreign_writer.finish();
    write_file(folder / "foreign.til", text_of(foreign));
    const auto verified = tesspack({"verify", "foreign.til"}, folder.path());
    EXPECT_TRUE(verified.output.starts_with("pixel-identical: scene 0 \"\\x1b[2Jwipe\"")) << verified.output;

    // A tile file's name that is not UTF-8 still gives a manifest that builds it.
    ASSERT_EQ(tesspack({"unpack", "not-utf8-\xff.til", "-o", "odd"}, folder.path()).status, 0);
    EXPECT_EQ(tesspack({"build", "odd/not-utf8-\xff.toml"}, folder.path()).status, 0);
    EXPECT_EQ(read_file(folder / "odd/not-utf8-\xff.til"), text_of(tile));

    const auto sheets = tesspack({"unpack", "knight.til", "--sheets", "-o", "k"}, folder.path());
    for (std::size_t line = 0; line < sheets.errors.size(); line = sheets.errors.find('\n', line) + 1) {
        EXPECT_EQ(sheets.errors.compare(line, 10, "tesspack: "), 0) << sheets.errors;
    }
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    } cases[] = {
        {{"frobnicate"}, 2, "tesspack: unknown command 'frobnicate'"},
        {{"preview", "knight.til", "-o", ""}, 2, "tesspack: -o needs a name"},
        {{"unpack", "knight.til", "-o", ""}, 2, "tesspack: -o needs a name"},
        {{"preview", "knight.til", "-o", "k"}, 1, "tesspack: k: is a folder; give a file name"},
    };
    for (const auto& c : cases) {
        const auto result = tesspack(c.arguments, folder.path());
        EXPECT_EQ(result.status, c.status) << c.message;
        EXPECT_TRUE(result.errors.starts_with(c.message)) << result.errors;
    }
    for (const std::string flag : {"--help", "--version"}) {
        const auto full = testing::run(Tesspack, {flag}, folder.path(), {.output = "/dev/full"});
        EXPECT_EQ(full.status, 1) << flag;
        EXPECT_NE(full.errors.find("tesspack: cannot write standard output"), std::string::npos) << full.errors;
    }
}

// diff's status tells scripts what it found: the same, different, a file it
// could not compare, a wrong call.
TEST(TesspackDiff, StatusesOfTheProgram)
{
    TempFolder folder;
    std::filesystem::copy_file(Examples / "knight.til", folder / "a.til");
    std::filesystem::copy_file(Examples / "knight.til", folder / "same.til");
    std::string changed = read_file(Examples / "knight.til");
    changed[3] = 3;  // the revision
    write_file(folder / "b.til", changed);
    write_file(folder / "cut.til", changed.substr(0, 20));
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string output;  // the start of standard output
        std::string errors;  // the start of standard error
    } cases[] = {
        {{"diff", "a.til", "same.til"}, 0, "", ""},
        {{"diff", "a.til", "b.til"}, 1, "revision: 2 -> 3", ""},
        {{"diff", "a.til", "cut.til"}, 1, "", "tesspack: cut.til: damaged, so it cannot be compared"},
        {{"diff", "a.til"}, 2, "", "tesspack: "},
    };
    for (const auto& c : cases) {
        const auto result = tesspack(c.arguments, folder.path());
        EXPECT_EQ(result.status, c.status) << c.arguments.back() << ": " << result.errors;
        EXPECT_TRUE(result.output.starts_with(c.output)) << result.output;
        EXPECT_TRUE(result.errors.starts_with(c.errors)) << result.errors;
    }
}

}  // namespace
}  // namespace tess
