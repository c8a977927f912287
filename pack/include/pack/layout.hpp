#pragma once

#include <bitset>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tess {

// A grid cut from one picture: cells of `cell_width` x `cell_height` after
// `margin` pixels, `spacing` between cells. Each view takes a row and each
// frame a column (both default to 0, 1, ...), or `cells` gives every image's
// [column, row] in the file's order.
struct SheetGrid {
    int cell_width = 0;
    int cell_height = 0;
    int margin_x = 0;
    int margin_y = 0;
    int spacing_x = 0;
    int spacing_y = 0;
    std::vector<int> rows;
    std::vector<int> columns;
    std::vector<std::pair<int, int>> cells;
    friend bool operator==(const SheetGrid&, const SheetGrid&) = default;
};

// An Aseprite or TexturePacker JSON export: one view a frame tag, or the
// frames named, or all frames in file order as one view. Its picture is the
// one its meta.image names beside it, or `image` where that is given.
struct AtlasChoice {
    std::string file;
    std::string image;
    std::vector<std::string> tags;
    std::vector<std::string> frame_names;
    friend bool operator==(const AtlasChoice&, const AtlasChoice&) = default;
};

enum class Anchor { Left, Center, Right };

// How a scene's pictures sit in the 64-pixel-wide images: `trim` drops the
// transparent border around all of them together, `anchor` places what is
// narrower, `mirrored` views are flipped left to right.
struct Placement {
    bool trim = false;
    Anchor anchor = Anchor::Left;
    std::vector<int> mirrored;
    friend bool operator==(const Placement&, const Placement&) = default;
};

// "left", "center", "right"; nullopt for anything else.
std::optional<Anchor> parse_anchor(const std::string& text);
const char* anchor_name(Anchor anchor);

// Whether an `images` entry is a pattern (`*`, `?`, `[...]`) to expand.
bool is_pattern(const std::string& path);

// How many frames `count` pictures make in each of `views` views, when
// they divide evenly into views of at most 255 frames; and what to say
// when they do not ("7 images do not make 2 views of at most 255 frames").
std::optional<int> frames_a_view(std::size_t count, int views);
std::string no_frames_a_view(std::size_t count, const std::string& what, int views);

// A pattern to match file names against: `*` any run, `?` one byte,
// `[a-z]` / `[!a-z]` one byte in or out of a set (an unclosed '[' is itself).
// A leading '.' is matched only by a '.' in the pattern, so hidden files stay
// out. Made once, it takes time linear in the pattern, and matching a name
// at most the name's length times the pattern's.
class NamePattern {
public:
    explicit NamePattern(std::string_view pattern);
    bool matches(std::string_view name) const;

private:
    // Longer names than this no file system here holds.
    static constexpr std::size_t NameMax = 255;
    struct Part {
        bool star;
        std::bitset<256> set;  // the bytes a single-byte part takes
    };
    std::vector<Part> parts_;
    std::size_t singles_ = 0;  // parts that take one byte each
    bool hidden_too_;
};

// Names in natural order: runs of digits compare as numbers, so "f2" comes
// before "f10".
bool natural_less(const std::string& a, const std::string& b);

}  // namespace tess
