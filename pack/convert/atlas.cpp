// Reading atlases: Aseprite and TexturePacker JSON exports, each value checked.
#include "pack/atlas.hpp"

#include <nlohmann/json.hpp>

#include "pack/error.hpp"
#include "pack/text.hpp"

namespace tess {

namespace {

using Json = nlohmann::ordered_json;  // the object form's frames keep the file's order

// Sides and places beyond this are no picture's a sheet reader takes.
constexpr std::int64_t MaxSide = std::int64_t{1} << 24;
constexpr std::size_t MaxFrames = 65536;

class Reader {
public:
    explicit Reader(const std::string& file) : file_(file) {}

    [[noreturn]] void fail(const std::string& what) const { throw PackError(Fault::Atlas, what, in_file(file_)); }

    const Json& member(const Json& object, const char* key, const std::string& of) const
    {
        const auto found = object.find(key);
        if (found == object.end()) fail(of + " has no \"" + key + "\"");
        return *found;
    }

    int number(const Json& value, const std::string& what, std::int64_t low = 0) const
    {
        if (!value.is_number_integer()) fail(what + " must be a whole number");
        const bool in_range = value.is_number_unsigned()
                                  ? value.get<std::uint64_t>() <= std::uint64_t(MaxSide) &&
                                        static_cast<std::int64_t>(value.get<std::uint64_t>()) >= low
                                  : value.get<std::int64_t>() >= low && value.get<std::int64_t>() <= MaxSide;
        // Quoted as the file holds it, however large.
        if (!in_range) {
            fail(what + " is " + value.dump() + ", outside " + std::to_string(low) + " to " + std::to_string(MaxSide));
        }
        return static_cast<int>(value.get<std::int64_t>());
    }

    int field(const Json& object, const char* key, const std::string& of, std::int64_t low = 0) const
    {
        return number(member(object, key, of), of + "'s \"" + key + "\"", low);
    }

    std::string text(const Json& value, const std::string& what) const
    {
        if (!value.is_string()) fail(what + " must be a string");
        return value.get<std::string>();
    }

    AtlasFrame frame(const Json& entry, std::string name, std::size_t index) const
    {
        const std::string of = "frame " + std::to_string(index) + (name.empty() ? "" : " \"" + printable(name) + "\"");
        if (!entry.is_object()) fail(of + " must be an object");
        AtlasFrame frame;
        if (name.empty() && entry.contains("filename")) name = text(entry["filename"], of + "'s \"filename\"");
        frame.name = std::move(name);
        const Json& rect = member(entry, "frame", of);
        if (!rect.is_object()) fail(of + "'s \"frame\" must be an object");
        frame.x = field(rect, "x", of + "'s frame");
        frame.y = field(rect, "y", of + "'s frame");
        frame.w = field(rect, "w", of + "'s frame");
        frame.h = field(rect, "h", of + "'s frame");
        if (entry.contains("rotated")) {
            if (!entry["rotated"].is_boolean()) fail(of + "'s \"rotated\" must be true or false");
            frame.rotated = entry["rotated"].get<bool>();
        }
        if (entry.contains("trimmed") && !entry["trimmed"].is_boolean()) fail(of + "'s \"trimmed\" must be true or false");
        if (entry.contains("duration")) number(entry["duration"], of + "'s \"duration\"");
        frame.canvas_w = frame.w;
        frame.canvas_h = frame.h;
        if (entry.contains("spriteSourceSize")) {
            const Json& source = entry["spriteSourceSize"];
            if (!source.is_object()) fail(of + "'s \"spriteSourceSize\" must be an object");
            frame.offset_x = field(source, "x", of + "'s spriteSourceSize");
            frame.offset_y = field(source, "y", of + "'s spriteSourceSize");
            if (source.contains("w") || source.contains("h")) inset_border(frame, source, of);
        }
        if (entry.contains("sourceSize")) {
            const Json& size = entry["sourceSize"];
            if (!size.is_object()) fail(of + "'s \"sourceSize\" must be an object");
            frame.canvas_w = field(size, "w", of + "'s sourceSize");
            frame.canvas_h = field(size, "h", of + "'s sourceSize");
        }
        if (std::int64_t{frame.offset_x} + frame.w > frame.canvas_w || std::int64_t{frame.offset_y} + frame.h > frame.canvas_h) {
            fail(of + ": its " + std::to_string(frame.w) + " x " + std::to_string(frame.h) + " pixels at " +
                 std::to_string(frame.offset_x) + ", " + std::to_string(frame.offset_y) + " reach outside its sourceSize " +
                 std::to_string(frame.canvas_w) + " x " + std::to_string(frame.canvas_h));
        }
        return frame;
    }

    // An exporter that extrudes or pads frames (Aseprite's --extrude, inner
    // padding) stores each one with a border of copied edge pixels around
    // the sprite, the same on both sides: `frame` is the whole, and
    // spriteSourceSize the sprite inside. The sprite alone is taken.
    void inset_border(AtlasFrame& frame, const Json& source, const std::string& of) const
    {
        const int w = field(source, "w", of + "'s spriteSourceSize");
        const int h = field(source, "h", of + "'s spriteSourceSize");
        if (w == frame.w && h == frame.h) return;
        const int border_x = frame.w - w, border_y = frame.h - h;
        if (border_x < 0 || border_y < 0 || border_x % 2 != 0 || border_y % 2 != 0) {
            fail(of + ": its spriteSourceSize " + std::to_string(w) + " x " + std::to_string(h) +
                 " does not sit centred in its frame of " + std::to_string(frame.w) + " x " + std::to_string(frame.h));
        }
        // A rotated frame's width runs down the picture.
        frame.x += (frame.rotated ? border_y : border_x) / 2;
        frame.y += (frame.rotated ? border_x : border_y) / 2;
        frame.w = w;
        frame.h = h;
    }

    AtlasTag tag(const Json& entry, std::size_t index, std::size_t frames) const
    {
        const std::string of = "frame tag " + std::to_string(index);
        if (!entry.is_object()) fail(of + " must be an object");
        AtlasTag tag;
        tag.name = text(member(entry, "name", of), of + "'s \"name\"");
        const std::string named = "frame tag \"" + printable(tag.name) + "\"";
        tag.from = field(entry, "from", named);
        tag.to = field(entry, "to", named);
        if (tag.from > tag.to || static_cast<std::size_t>(tag.to) >= frames) {
            fail(named + " runs from frame " + std::to_string(tag.from) + " to " + std::to_string(tag.to) + ", but the atlas has frames 0 to " +
                 std::to_string(static_cast<long long>(frames) - 1));
        }
        if (entry.contains("direction")) {
            const std::string direction = text(entry["direction"], named + "'s \"direction\"");
            if (direction == "forward") tag.direction = TagDirection::Forward;
            else if (direction == "reverse") tag.direction = TagDirection::Reverse;
            else if (direction == "pingpong") tag.direction = TagDirection::PingPong;
            else if (direction == "pingpong_reverse") tag.direction = TagDirection::PingPongReverse;
            else fail(named + " has direction \"" + printable(direction) + "\"; it must be forward, reverse, pingpong or pingpong_reverse");
        }
        return tag;
    }

private:
    const std::string& file_;
};

// An atlas is a few levels deep. A value nested thousands deep (a
// stranger's file of brackets) would exhaust the stack when copied, so it is
// refused by a scan before the parser sees it.
constexpr int MaxJsonDepth = 64;

void check_depth(std::span<const std::uint8_t> bytes, const std::string& file)
{
    int depth = 0, line = 1, column = 0;
    bool in_string = false, escaped = false;
    for (const std::uint8_t byte : bytes) {
        ++column;
        if (byte == '\n') ++line, column = 0;
        if (in_string) {
            if (escaped) escaped = false;
            else if (byte == '\\') escaped = true;
            else if (byte == '"') in_string = false;
        } else if (byte == '"') {
            in_string = true;
        } else if (byte == '[' || byte == '{') {
            if (++depth > MaxJsonDepth) {
                throw PackError(Fault::Atlas, "values nested more than " + std::to_string(MaxJsonDepth) + " deep", in_file(file, line, column));
            }
        } else if (byte == ']' || byte == '}') {
            --depth;
        }
    }
}

}  // namespace

Atlas parse_atlas(std::span<const std::uint8_t> bytes, const std::string& file)
{
    const Reader read(file);
    if (bytes.size() > MaxAtlasBytes) read.fail("larger than " + std::to_string(MaxAtlasBytes) + " bytes");
    check_depth(bytes, file);
    Json root;
    try {
        root = Json::parse(bytes.begin(), bytes.end());
    } catch (const Json::parse_error& error) {
        // The byte the parser stopped at, as a line and column.
        int line = 1, column = 1;
        for (std::size_t i = 0; i + 1 < error.byte && i < bytes.size(); ++i) {
            if (bytes[i] == '\n') ++line, column = 1;
            else ++column;
        }
        std::string what = error.what();
        if (const std::size_t colon = what.find(": "); colon != std::string::npos) what = what.substr(colon + 2);
        throw PackError(Fault::Atlas, "not valid JSON: " + printable(what), in_file(file, line, column));
    } catch (const Json::out_of_range& error) {
        // A number too large for any type; the parser gives no position for it.
        std::string what = error.what();
        if (const std::size_t space = what.find("] "); space != std::string::npos) what = what.substr(space + 2);
        read.fail("not valid JSON: " + printable(what));
    }
    if (!root.is_object()) read.fail("an atlas must be a JSON object with \"frames\" and \"meta\"");
    Atlas atlas;
    const Json& frames = read.member(root, "frames", "the atlas");
    if (!frames.is_array() && !frames.is_object()) read.fail("\"frames\" must be an array or an object");
    if (frames.size() > MaxFrames) read.fail(std::to_string(frames.size()) + " frames, at most " + std::to_string(MaxFrames));
    if (frames.is_array()) {
        for (const Json& entry : frames) atlas.frames.push_back(read.frame(entry, "", atlas.frames.size()));
    } else {
        for (const auto& [name, entry] : frames.items()) {
            if (name.empty()) read.fail("a frame's name is empty");
            atlas.frames.push_back(read.frame(entry, name, atlas.frames.size()));
        }
    }
    const Json& meta = read.member(root, "meta", "the atlas");
    if (!meta.is_object()) read.fail("\"meta\" must be an object");
    atlas.image = read.text(read.member(meta, "image", "\"meta\""), "meta.image");
    if (atlas.image.empty() || atlas.image.find('\0') != std::string::npos) read.fail("meta.image names no picture");
    if (meta.contains("frameTags")) {
        const Json& tags = meta["frameTags"];
        if (!tags.is_array()) read.fail("meta.frameTags must be an array");
        if (tags.size() > MaxFrames) read.fail(std::to_string(tags.size()) + " frame tags, at most " + std::to_string(MaxFrames));
        for (const Json& entry : tags) atlas.tags.push_back(read.tag(entry, atlas.tags.size(), atlas.frames.size()));
    }
    return atlas;
}

std::vector<int> tag_frames(const AtlasTag& tag)
{
    std::vector<int> forward;
    for (int k = tag.from; k <= tag.to; ++k) forward.push_back(k);
    std::vector<int> played;
    switch (tag.direction) {
    case TagDirection::Forward: return forward;
    case TagDirection::Reverse: return {forward.rbegin(), forward.rend()};
    case TagDirection::PingPong:
        played = forward;
        for (int k = tag.to - 1; k > tag.from; --k) played.push_back(k);
        return played;
    case TagDirection::PingPongReverse:
        played.assign(forward.rbegin(), forward.rend());
        for (int k = tag.from + 1; k < tag.to; ++k) played.push_back(k);
        return played;
    }
    return forward;
}

}  // namespace tess
