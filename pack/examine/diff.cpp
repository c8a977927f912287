// What changed between two tile files, each read through once to find its scenes and once more at those compared.
#include "pack/diff.hpp"

#include <algorithm>
#include <ios>
#include <map>
#include <optional>

#include "pack/error.hpp"
#include "pack/picture.hpp"
#include "pack/text.hpp"
#include "palette/palette.hpp"
#include "png/png_writer.hpp"
#include "tile/file.hpp"
#include "tile/image.hpp"

namespace tess {

void MemoryTileInput::Buffer::start(std::span<std::uint8_t> bytes, std::size_t offset)
{
    char* begin = reinterpret_cast<char*>(bytes.data());
    setg(begin, begin + offset, begin + bytes.size());
}

std::streambuf& MemoryTileInput::at(std::uint64_t offset)
{
    buffer_.start(bytes_, static_cast<std::size_t>(std::min<std::uint64_t>(offset, bytes_.size())));
    return buffer_;
}

StreamTileInput::StreamTileInput(std::string name, std::streambuf& stream)
    : name_(std::move(name)), stream_(stream), start_(stream.pubseekoff(0, std::ios_base::cur, std::ios_base::in))
{
    if (start_ < 0) throw PackError(Fault::Tile, "cannot be read again: it cannot be sought", in_file(name_));
}

std::streambuf& StreamTileInput::at(std::uint64_t offset)
{
    const std::streamoff place = start_ + static_cast<std::streamoff>(offset);
    if (stream_.pubseekpos(place, std::ios_base::in) != std::streampos(place)) {
        throw PackError(Fault::Tile, "cannot go back to byte " + std::to_string(offset) + " of it", in_file(name_));
    }
    return stream_;
}

namespace {

struct SceneInfo {
    std::string name;
    int frames = 0;
    std::uint64_t offset = 0;  // of its record, in bytes
};

// One file being read, its faults raised as PackError naming it. The survey
// reads it through; the comparison then goes straight to the scenes it
// compares and checks that each is where and what the survey found.
class Side {
public:
    explicit Side(TileInput& input) : input_(input) {}

    // Reads the whole file once: the header, each scene, the trailing bytes.
    void survey()
    {
        try {
            TileFileReader reader(input_.at(0));
            header = reader.header();
            for (auto part = reader.next(); part != TileFileReader::Part::End; part = reader.next()) {
                if (part == TileFileReader::Part::Scene) {
                    scenes.push_back({reader.scene().name, reader.scene().frames, reader.offset()});
                }
            }
            trailing = reader.trailing_bytes();
        } catch (const TileError& damage) {
            if (input_.changed()) fail_changed(damage.what());
            fail("damaged, so it cannot be compared: " + std::string(damage.what()));
        } catch (const std::ios_base::failure&) {
            fail("cannot read");
        }
    }

    // Puts the reader at scene `number`'s record, where the survey found it.
    void go_to_scene(int number)
    {
        const SceneInfo& scene = scenes[static_cast<std::size_t>(number)];
        again([&] {
            reader_.emplace(input_.at(scene.offset), header, number, scene.offset);
            if (reader_->next() != TileFileReader::Part::Scene || reader_->scene().name != scene.name ||
                reader_->scene().frames != scene.frames) {
                fail_changed("scene " + std::to_string(number) + " is not at byte " + std::to_string(scene.offset) +
                             " as it was");
            }
        });
    }

    // Moves forward within the scene to the image at `view`, `frame`.
    void go_to_image(int view, int frame)
    {
        again([&] {
            while (reader_->next() == TileFileReader::Part::Image) {
                if (reader_->place().view == view && reader_->place().frame == frame) return;
            }
            fail_changed("scene " + std::to_string(reader_->scene_number()) + " has no image at view " +
                         std::to_string(view) + ", frame " + std::to_string(frame));
        });
    }

    int height() const { return reader_->image().height; }
    std::span<const std::uint8_t> data()
    {
        return again([&] { return reader_->data(); });
    }
    // Damage in an image's data is the file's own (the survey does not
    // decode it), unless the file changed.
    Image image(std::span<const std::uint8_t> data)
    {
        try {
            return decode_image(data, height(), reader_->location());
        } catch (const TileError& damage) {
            if (input_.changed()) fail_changed(damage.what());
            fail("damaged, so it cannot be compared: " + std::string(damage.what()));
        }
    }

    // Raises when the file changed since it was opened, however little of
    // that showed.
    void check_unchanged() const
    {
        if (input_.changed()) fail("changed while it was read; compare it again once it is still");
    }

    TileHeader header{};
    std::vector<SceneInfo> scenes;
    std::uint64_t trailing = 0;

private:
    // What the survey read without fault is read again: a fault now means
    // the bytes are not those it read.
    template <typename Action>
    auto again(Action action) -> decltype(action())
    {
        try {
            return action();
        } catch (const TileError& damage) {
            fail_changed(damage.what());
        } catch (const std::ios_base::failure&) {
            fail("cannot read");
        }
    }

    [[noreturn]] void fail(const std::string& what) const { throw PackError(Fault::Tile, what, in_file(input_.name())); }
    [[noreturn]] void fail_changed(const std::string& what) const
    {
        fail((input_.changed() ? "changed while it was read: " : "changed while it was read, or is damaged: ") + what);
    }

    TileInput& input_;
    std::optional<TileFileReader> reader_;
};

std::string label(const SceneInfo& scene, int number)
{
    return scene.name.empty() ? "scene " + std::to_string(number) : printable(scene.name);
}

std::string quoted(const std::string& name) { return "\"" + printable(name) + "\""; }

// The lines of the report, as text or as the members of a JSON array.
class Report {
public:
    Report(std::ostream& out, bool json) : out_(out), json_(json)
    {
        if (json_) out_ << "{\n  \"changes\": [";
    }

    void number(const char* what, int a, int b)
    {
        if (json_) return item("{\"kind\": \"" + std::string(what) + "\", \"a\": " + std::to_string(a) + ", \"b\": " + std::to_string(b) + "}");
        out_ << what << ": " << a << " -> " << b << "\n";
    }
    void scene(const char* what, int number, const std::string& name)
    {
        if (json_) {
            return item("{\"kind\": \"scene " + std::string(what) + "\", \"scene\": " + std::to_string(number) + ", " +
                        named_text("name", name, Notation::Json) + "}");
        }
        out_ << "scene " << number << " " << quoted(name) << " " << what << "\n";
    }
    void moved(int a, int b, const std::string& name)
    {
        if (json_) {
            return item("{\"kind\": \"scene moved\", \"scene_a\": " + std::to_string(a) + ", \"scene_b\": " +
                        std::to_string(b) + ", " + named_text("name", name, Notation::Json) + "}");
        }
        out_ << "scene " << a << " " << quoted(name) << " moved to " << b << "\n";
    }
    void renamed(int a, int b, const std::string& old_name, const std::string& new_name)
    {
        if (json_) {
            return item("{\"kind\": \"scene renamed\", \"scene_a\": " + std::to_string(a) + ", \"scene_b\": " +
                        std::to_string(b) + ", " + named_text("a", old_name, Notation::Json) + ", " +
                        named_text("b", new_name, Notation::Json) + "}");
        }
        out_ << "scene " << a << " " << quoted(old_name) << " renamed " << quoted(new_name) << "\n";
    }
    void frames(const std::string& scene, int number, int a, int b)
    {
        if (json_) {
            return item("{\"kind\": \"frames\", \"scene\": " + std::to_string(number) + ", \"a\": " + std::to_string(a) +
                        ", \"b\": " + std::to_string(b) + "}");
        }
        out_ << scene << ": frames " << a << " -> " << b << "\n";
    }
    struct Box {
        int changed = 0, left = TileWidth, right = -1, top = 0, bottom = -1;
    };
    void image(const std::string& scene, int number, int view, int frame, int height_a, int height_b, const Box& box)
    {
        const std::string place = "\"scene\": " + std::to_string(number) + ", \"view\": " + std::to_string(view) +
                                  ", \"frame\": " + std::to_string(frame);
        if (json_) {
            std::string entry = "{\"kind\": \"image\", " + place + ", \"height\": [" + std::to_string(height_a) + ", " +
                                std::to_string(height_b) + "], \"pixels\": " + std::to_string(box.changed);
            if (box.changed > 0) {
                entry += ", \"x\": [" + std::to_string(box.left) + ", " + std::to_string(box.right) + "], \"y\": [" +
                         std::to_string(box.top) + ", " + std::to_string(box.bottom) + "]";
            }
            return item(entry + "}");
        }
        out_ << scene << " view " << view << " frame " << frame << ": ";
        if (height_a != height_b) out_ << "height " << height_a << " -> " << height_b << ", ";
        if (box.changed == 0) {
            out_ << "no pixel changed\n";
        } else {
            out_ << box.changed << (box.changed == 1 ? " pixel" : " pixels") << " changed in x " << box.left
                 << "\u2013" << box.right << ", y " << box.top << "\u2013" << box.bottom << "\n";
        }
    }
    void encoding(const std::string& scene, int number, int view, int frame, std::size_t a, std::size_t b)
    {
        if (json_) {
            return item("{\"kind\": \"encoding\", \"scene\": " + std::to_string(number) + ", \"view\": " +
                        std::to_string(view) + ", \"frame\": " + std::to_string(frame) + ", \"length\": [" +
                        std::to_string(a) + ", " + std::to_string(b) + "]}");
        }
        out_ << scene << " view " << view << " frame " << frame << ": same pixels, other bytes (" << a << " -> " << b
             << " bytes of data)\n";
    }
    void finish(bool differ, bool bytes_differ)
    {
        if (json_) {
            out_ << (first_ ? "" : "\n  ") << "],\n  \"differ\": " << (differ ? "true" : "false")
                 << ",\n  \"bytes_differ\": " << (bytes_differ ? "true" : "false") << "\n}\n";
        } else if (!differ && bytes_differ) {
            out_ << "same pixels, other bytes\n";
        }
    }

private:
    void item(const std::string& entry)
    {
        out_ << (first_ ? "\n    " : ",\n    ") << entry;
        first_ = false;
    }

    std::ostream& out_;
    bool json_;
    bool first_ = true;
};

// A row an image that differs: A, B, and B faded with the changed pixels in
// magenta, a gap between cells and rows.
class ChangePicture {
public:
    static constexpr std::size_t Gap = 4;
    static constexpr std::size_t Width = 3 * TileWidth + 2 * Gap;

    void add(const Image& a, const Image& b)
    {
        const auto rows = static_cast<std::size_t>(std::max(a.height, b.height));
        const std::size_t top = height_ == 0 ? 0 : height_ + Gap;
        if ((top + rows) * Width > MaxPicturePixels) {
            throw PackError(Fault::Limit, "the picture of the changes would be more than " + std::to_string(MaxPicturePixels) +
                            " pixels (" + std::to_string(Width) + " wide, a row an image that differs); "
                            "compare fewer scenes at a time");
        }
        height_ = top + rows;
        rgba_.resize(height_ * Width * 4, 0);
        for (std::size_t y = 0; y < rows; ++y) {
            for (int x = 0; x < TileWidth; ++x) {
                const Pixel pa = pixel(a, x, y), pb = pixel(b, x, y);
                const auto column = static_cast<std::size_t>(x);
                put(top + y, column, pa, 255);
                put(top + y, TileWidth + Gap + column, pb, 255);
                const std::size_t third = 2 * (TileWidth + Gap) + column;
                if (pa != pb) {
                    std::uint8_t* at = &rgba_[((top + y) * Width + third) * 4];
                    at[0] = 255, at[1] = 0, at[2] = 255, at[3] = 255;
                } else {
                    put(top + y, third, pb, 64);
                }
            }
        }
    }

    bool empty() const { return height_ == 0; }
    std::vector<std::uint8_t> png() const
    {
        return write_rgba_png(static_cast<std::uint32_t>(Width), static_cast<std::uint32_t>(height_), rgba_);
    }

    static Pixel pixel(const Image& image, int x, std::size_t y)
    {
        return y < static_cast<std::size_t>(image.height) ? image.at(x, static_cast<int>(y)) : TransparentPixel;
    }

private:
    void put(std::size_t y, std::size_t x, Pixel pixel, std::uint8_t alpha)
    {
        if (pixel == TransparentPixel) return;
        const Rgb& colour = Palette[static_cast<std::size_t>(pixel)];
        std::uint8_t* at = &rgba_[(y * Width + x) * 4];
        at[0] = static_cast<std::uint8_t>(colour.red);
        at[1] = static_cast<std::uint8_t>(colour.green);
        at[2] = static_cast<std::uint8_t>(colour.blue);
        at[3] = alpha;
    }

    std::size_t height_ = 0;
    std::vector<std::uint8_t> rgba_;
};

// Scenes of one name pair in order, then the rest by position.
std::pair<std::vector<int>, std::vector<int>> paired(const std::vector<SceneInfo>& a, const std::vector<SceneInfo>& b)
{
    std::vector<int> partner_a(a.size(), -1), partner_b(b.size(), -1);
    std::map<std::string, std::vector<int>> by_name;
    for (int j = static_cast<int>(b.size()) - 1; j >= 0; --j) by_name[b[static_cast<std::size_t>(j)].name].push_back(j);
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto found = by_name.find(a[i].name);
        if (found == by_name.end() || found->second.empty()) continue;
        const int j = found->second.back();
        found->second.pop_back();
        partner_a[i] = j;
        partner_b[static_cast<std::size_t>(j)] = static_cast<int>(i);
    }
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        if (partner_a[i] < 0 && partner_b[i] < 0) {
            partner_a[i] = static_cast<int>(i);
            partner_b[i] = static_cast<int>(i);
        }
    }
    return {partner_a, partner_b};
}

}  // namespace

DiffOutcome diff_tile_files(TileInput& a, TileInput& b, std::ostream& out, const DiffOptions& options)
{
    Side sa(a), sb(b);
    sa.survey();
    sb.survey();
    DiffOutcome outcome;
    Report report(out, options.json);
    ChangePicture picture;
    const auto differ = [&] { outcome.differ = outcome.bytes_differ = true; };

    if (sa.header.revision_number != sb.header.revision_number) {
        report.number("revision", sa.header.revision_number, sb.header.revision_number);
        differ();
    }
    if (sa.header.views != sb.header.views) {
        report.number("views", sa.header.views, sb.header.views);
        differ();
    }
    // Named, not bound: a lambda below reads partner_b.
    const auto partners = paired(sa.scenes, sb.scenes);
    const std::vector<int>& partner_a = partners.first;
    const std::vector<int>& partner_b = partners.second;
    std::size_t added_up_to = 0;  // scenes of B before this one are reported
    const auto report_added = [&](std::size_t end) {
        for (; added_up_to < end; ++added_up_to) {
            if (partner_b[added_up_to] >= 0) continue;
            report.scene("added", static_cast<int>(added_up_to), sb.scenes[added_up_to].name);
            differ();
        }
    };
    int last_paired = -1;  // the furthest scene of B paired so far
    const int views = std::min(sa.header.views, sb.header.views);
    for (std::size_t i = 0; i < sa.scenes.size(); ++i) {
        const SceneInfo& scene_a = sa.scenes[i];
        const int j = partner_a[i];
        const auto number = static_cast<int>(i);
        if (j < 0) {
            report.scene("removed", number, scene_a.name);
            differ();
            continue;
        }
        report_added(std::max(added_up_to, static_cast<std::size_t>(j)));
        if (j < last_paired) {
            report.moved(number, j, scene_a.name);
            differ();
        }
        last_paired = std::max(last_paired, j);
        const SceneInfo& scene_b = sb.scenes[static_cast<std::size_t>(j)];
        const std::string name = label(scene_a, number);
        if (scene_a.name != scene_b.name) {
            report.renamed(number, j, scene_a.name, scene_b.name);
            differ();
        }
        if (scene_a.frames != scene_b.frames) {
            report.frames(name, number, scene_a.frames, scene_b.frames);
            differ();
        }
        const int frames = std::min(scene_a.frames, scene_b.frames);
        if (views == 0 || frames == 0) continue;
        sa.go_to_scene(number);
        sb.go_to_scene(j);
        for (int view = 0; view < views; ++view) {
            for (int frame = 0; frame < frames; ++frame) {
                sa.go_to_image(view, frame);
                sb.go_to_image(view, frame);
                const std::span<const std::uint8_t> data_a = sa.data(), data_b = sb.data();
                if (sa.height() == sb.height() && std::equal(data_a.begin(), data_a.end(), data_b.begin(), data_b.end())) {
                    continue;
                }
                const Image image_a = sa.image(data_a), image_b = sb.image(data_b);
                Report::Box box;
                for (int y = 0; y < std::max(image_a.height, image_b.height); ++y) {
                    for (int x = 0; x < TileWidth; ++x) {
                        const auto row = static_cast<std::size_t>(y);
                        if (ChangePicture::pixel(image_a, x, row) == ChangePicture::pixel(image_b, x, row)) continue;
                        if (box.changed++ == 0) box.top = y;
                        box.bottom = y;
                        box.left = std::min(box.left, x);
                        box.right = std::max(box.right, x);
                    }
                }
                if (box.changed == 0 && image_a.height == image_b.height) {
                    report.encoding(name, number, view, frame, data_a.size(), data_b.size());
                    outcome.bytes_differ = true;
                    continue;
                }
                report.image(name, number, view, frame, image_a.height, image_b.height, box);
                differ();
                ++outcome.images_changed;
                if (options.picture) picture.add(image_a, image_b);
            }
        }
    }
    report_added(sb.scenes.size());
    sa.check_unchanged();
    sb.check_unchanged();
    if (sa.trailing != sb.trailing) {
        report.number("bytes after the last scene", static_cast<int>(std::min<std::uint64_t>(sa.trailing, 1u << 30)),
                      static_cast<int>(std::min<std::uint64_t>(sb.trailing, 1u << 30)));
        outcome.bytes_differ = true;
    }
    report.finish(outcome.differ, outcome.bytes_differ);
    if (options.picture && !picture.empty()) outcome.picture = picture.png();
    return outcome;
}

}  // namespace tess
