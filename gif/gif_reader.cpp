// GIFs read over giflib, every size checked, each frame composed as a viewer shows it.
#include "gif/gif_reader.hpp"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>

namespace tess {

namespace {

constexpr std::array<std::uint8_t, 6> Gif87 = {'G', 'I', 'F', '8', '7', 'a'};
constexpr std::array<std::uint8_t, 6> Gif89 = {'G', 'I', 'F', '8', '9', 'a'};

// A data sub-block with its length byte. Once the last pixel is decoded, an
// encoder has at most the rest of that code and the end code to write: two
// sub-blocks and the terminator cover them, whatever the block sizes.
constexpr std::size_t SubBlock = 256;
constexpr std::size_t LzwTail = 2 * SubBlock + 1;

struct Input {
    std::span<const std::uint8_t> file;
    std::size_t at = 0;
    bool cut = false;  // a read found fewer bytes than it wanted
};

// giflib's reads; a short count tells it the file is cut, which it reports
// under different names depending on what it was reading.
int read_input(GifFileType* gif, GifByteType* into, int wanted)
{
    Input& input = *static_cast<Input*>(gif->UserData);
    const auto want = static_cast<std::size_t>(std::max(wanted, 0));
    const std::size_t count = std::min(want, input.file.size() - input.at);
    std::memcpy(into, input.file.data() + input.at, count);
    input.at += count;
    input.cut = input.cut || count < want;
    return static_cast<int>(count);
}

struct DecoderClose {
    void operator()(GifFileType* gif) const
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

using Decoder = std::unique_ptr<GifFileType, DecoderClose>;

std::string describe(int error, const Input& input)
{
    if (input.cut) return "the file is cut short";
    if (error == D_GIF_ERR_NOT_ENOUGH_MEM) return "not enough memory for the GIF";
    if (error == D_GIF_ERR_EOF_TOO_SOON) return "the LZW data ends before the frame's last pixel";
    const char* text = GifErrorString(error);
    return std::string("the data is damaged: ") + (text != nullptr ? text : "unknown giflib error");
}

std::string size_text(std::uint64_t width, std::uint64_t height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

struct Rect {
    std::size_t left;
    std::size_t top;
    std::size_t width;
    std::size_t height;
};

// What a viewer shows between frames; the indices only while the animation
// has the indexed form.
struct Screen {
    std::vector<std::uint8_t> rgba;
    std::vector<std::uint8_t> indices;
};

// What the next frame takes from the extensions before it.
struct Control {
    int disposal = DISPOSAL_UNSPECIFIED;
    int delay_cs = 0;
    std::optional<std::uint8_t> transparent;
};

class Reader {
public:
    Reader(std::span<const std::uint8_t> file, const GifLimits& limits) : input_{file}, limits_(limits) {}

    GifAnimation read()
    {
        open();
        for (;;) {
            GifRecordType type = UNDEFINED_RECORD_TYPE;
            check(DGifGetRecordType(gif_.get(), &type));
            if (type == TERMINATE_RECORD_TYPE) break;
            if (type == EXTENSION_RECORD_TYPE) {
                read_extension();
            } else {
                read_frame();  // giflib reports any other record as an error
            }
        }
        if (animation_.frames.empty()) throw GifError("GIF holds no frames");
        if (indexed_ && !indexed_->transparent && leaves_pixels_undrawn()) indexed_.reset();
        animation_.indexed = std::move(indexed_);
        return std::move(animation_);
    }

private:
    [[noreturn]] void fail(const std::string& what) const
    {
        throw GifError("GIF frame " + std::to_string(animation_.frames.size()) + ": " + what);
    }

    void check(int result) const
    {
        if (result == GIF_ERROR) fail(describe(gif_->Error, input_));
    }

    void open()
    {
        if (!looks_like_gif(input_.file)) throw GifError("not a GIF: the signature is missing");
        int error = 0;
        gif_.reset(DGifOpen(&input_, read_input, &error));
        if (!gif_) throw GifError("GIF screen: " + describe(error, input_));

        const auto width = static_cast<std::uint32_t>(gif_->SWidth);
        const auto height = static_cast<std::uint32_t>(gif_->SHeight);
        if (width == 0 || height == 0) throw GifError("GIF screen is " + size_text(width, height) + " pixels");
        if (width > limits_.max_width || height > limits_.max_height ||
            std::uint64_t{width} * height > limits_.max_pixels) {
            throw GifError("GIF screen is " + size_text(width, height) + " pixels; at most " +
                           size_text(limits_.max_width, limits_.max_height) + " and " +
                           std::to_string(limits_.max_pixels) + " pixels are accepted");
        }
        animation_.width = width;
        animation_.height = height;
        pixels_ = std::size_t{width} * height;
        screen_.rgba.assign(pixels_ * 4, 0);
        if (const ColorMapObject* map = gif_->SColorMap) {
            indexed_.emplace();
            for (int i = 0; i < map->ColorCount; ++i) {
                const GifColorType& c = map->Colors[i];
                indexed_->palette.push_back({c.Red, c.Green, c.Blue});
            }
            screen_.indices.resize(pixels_);
        }
    }

    void read_extension()
    {
        int code = 0;
        GifByteType* block = nullptr;
        check(DGifGetExtension(gif_.get(), &code, &block));
        if (code == GRAPHICS_EXT_FUNC_CODE) {
            read_control(block);
        } else if (code == APPLICATION_EXT_FUNC_CODE && block != nullptr && block[0] == 11 &&
                   (std::memcmp(block + 1, "NETSCAPE2.0", 11) == 0 ||
                    std::memcmp(block + 1, "ANIMEXTS1.0", 11) == 0)) {
            read_loop(block);
            return;
        }
        while (block != nullptr) check(DGifGetExtensionNext(gif_.get(), &block));
    }

    void read_control(const GifByteType* block)
    {
        GraphicsControlBlock gcb{};
        if (block == nullptr || DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_ERROR) {
            fail("the graphics control block holds " + std::to_string(block == nullptr ? 0 : block[0]) +
                 " bytes, not 4");
        }
        control_.disposal = gcb.DisposalMode;
        control_.delay_cs = gcb.DelayTime;
        control_.transparent.reset();
        if (gcb.TransparentColor != NO_TRANSPARENT_COLOR) {
            control_.transparent = static_cast<std::uint8_t>(gcb.TransparentColor);
        }
    }

    // Its sub-blocks each start with their kind: 1 the loop count, 2 a
    // buffer size that viewers ignore.
    void read_loop(GifByteType* block)
    {
        if (animation_.loop_count) fail("a second loop extension");
        for (check(DGifGetExtensionNext(gif_.get(), &block)); block != nullptr;
             check(DGifGetExtensionNext(gif_.get(), &block))) {
            if (block[0] == 0 || block[1] != 1) continue;
            if (block[0] != 3) {
                fail("the loop extension's count is " + std::to_string(block[0]) + " bytes, not 3");
            }
            animation_.loop_count = block[2] | block[3] << 8;
        }
        if (!animation_.loop_count) fail("the loop extension holds no loop count");
    }

    void read_frame()
    {
        const std::size_t number = animation_.frames.size();
        if (number == limits_.max_frames) {
            fail("more than the " + std::to_string(limits_.max_frames) + " frames accepted");
        }
        if ((number + 1) * pixels_ > limits_.max_total_pixels) {
            fail(std::to_string(number + 1) + " frames of " + size_text(animation_.width, animation_.height) +
                 " pixels are over the " + std::to_string(limits_.max_total_pixels) + " accepted in all");
        }
        check(DGifGetImageDesc(gif_.get()));
        const GifImageDesc& desc = gif_->Image;
        // giflib reads the sides as 16-bit words, so none is negative.
        const Rect rect{static_cast<std::size_t>(desc.Left), static_cast<std::size_t>(desc.Top),
                        static_cast<std::size_t>(desc.Width), static_cast<std::size_t>(desc.Height)};
        if (rect.width == 0 || rect.height == 0 || rect.left + rect.width > animation_.width ||
            rect.top + rect.height > animation_.height) {
            fail(size_text(rect.width, rect.height) + " pixels at " + std::to_string(rect.left) + ", " +
                 std::to_string(rect.top) + " do not lie within the " +
                 size_text(animation_.width, animation_.height) + " screen");
        }
        const ColorMapObject* map = desc.ColorMap != nullptr ? desc.ColorMap : gif_->SColorMap;
        if (map == nullptr) fail("no colour table");
        const std::vector<std::uint8_t> lines = decode(rect.width, rect.height);

        if (indexed_ && number == 0) {
            // Where no frame has drawn yet, the screen is transparent.
            indexed_->transparent = control_.transparent;
            std::fill(screen_.indices.begin(), screen_.indices.end(), control_.transparent.value_or(0));
        }
        if (indexed_ && (desc.ColorMap != nullptr || control_.transparent != indexed_->transparent ||
                         (control_.transparent && *control_.transparent >= map->ColorCount))) {
            indexed_.reset();
            screen_.indices = {};
        }

        const Screen before = control_.disposal == DISPOSE_PREVIOUS ? screen_ : Screen{};
        draw(rect, lines, *map, desc.Interlace);
        animation_.frames.push_back({screen_.rgba, control_.delay_cs * 10});
        if (indexed_) indexed_->frames.push_back(screen_.indices);

        if (control_.disposal == DISPOSE_BACKGROUND) {
            const std::uint8_t clear_index = indexed_ ? indexed_->transparent.value_or(0) : 0;
            for (std::size_t y = rect.top; y < rect.top + rect.height; ++y) {
                const auto from = static_cast<std::ptrdiff_t>(y * animation_.width + rect.left);
                std::fill_n(screen_.rgba.begin() + from * 4, rect.width * 4, 0);
                if (indexed_) std::fill_n(screen_.indices.begin() + from, rect.width, clear_index);
            }
        } else if (control_.disposal == DISPOSE_PREVIOUS) {
            screen_ = before;
        }
        control_ = Control{};
    }

    void draw(const Rect& rect, const std::vector<std::uint8_t>& lines, const ColorMapObject& map, bool interlaced)
    {
        for (std::size_t row = 0; row < rect.height; ++row) {
            const std::size_t y = rect.top + screen_row(row, rect.height, interlaced);
            for (std::size_t x = rect.left; x < rect.left + rect.width; ++x) {
                const std::uint8_t index = lines[row * rect.width + x - rect.left];
                if (control_.transparent == index) continue;
                if (index >= map.ColorCount) {
                    fail("pixel " + std::to_string(x) + ", " + std::to_string(y) + " uses colour index " +
                         std::to_string(index) + " of a " + std::to_string(map.ColorCount) + "-colour table");
                }
                const GifColorType& colour = map.Colors[index];
                const std::size_t at = y * animation_.width + x;
                std::uint8_t* pixel = &screen_.rgba[at * 4];
                pixel[0] = colour.Red;
                pixel[1] = colour.Green;
                pixel[2] = colour.Blue;
                pixel[3] = 255;
                if (indexed_) screen_.indices[at] = index;
            }
        }
    }

    // The frame's indices in the order the file holds its rows. The last
    // pixel is decoded on its own, since giflib then skips whatever LZW data
    // is left: what it skips shows whether the data ran on.
    std::vector<std::uint8_t> decode(std::size_t width, std::size_t height)
    {
        std::vector<std::uint8_t> lines(width * height);
        for (std::size_t row = 0; row + 1 < height; ++row) {
            check(DGifGetLine(gif_.get(), &lines[row * width], static_cast<int>(width)));
        }
        const std::size_t last = lines.size() - 1;
        if (width > 1) check(DGifGetLine(gif_.get(), &lines[last - (width - 1)], static_cast<int>(width - 1)));
        const std::size_t before_last = input_.at;
        check(DGifGetLine(gif_.get(), &lines[last], 1));
        if (input_.at - before_last > LzwTail) fail("the LZW data runs on past the frame's last pixel");
        return lines;
    }

    // Interlaced rows come every 8th from 0, every 8th from 4, every 4th
    // from 2, then every 2nd from 1.
    static std::size_t screen_row(std::size_t row, std::size_t height, bool interlaced)
    {
        if (!interlaced) return row;
        constexpr std::array<std::size_t, 3> Start = {0, 4, 2};
        constexpr std::array<std::size_t, 3> Step = {8, 8, 4};
        for (std::size_t pass = 0; pass < Start.size(); ++pass) {
            const std::size_t rows = height > Start[pass] ? (height - Start[pass] + Step[pass] - 1) / Step[pass] : 0;
            if (row < rows) return Start[pass] + row * Step[pass];
            row -= rows;
        }
        return 1 + row * 2;
    }

    // Without a transparent index, a pixel no frame drew has no index.
    bool leaves_pixels_undrawn() const
    {
        for (const GifFrame& frame : animation_.frames) {
            for (std::size_t i = 3; i < frame.rgba.size(); i += 4) {
                if (frame.rgba[i] == 0) return true;
            }
        }
        return false;
    }

    Input input_;
    const GifLimits& limits_;
    Decoder gif_;
    GifAnimation animation_;
    std::optional<GifIndexed> indexed_;
    std::size_t pixels_ = 0;
    Screen screen_;
    Control control_;
};

}  // namespace

bool looks_like_gif(std::span<const std::uint8_t> file)
{
    return file.size() >= Gif89.size() && (std::equal(Gif87.begin(), Gif87.end(), file.begin()) ||
                                            std::equal(Gif89.begin(), Gif89.end(), file.begin()));
}

GifAnimation read_gif(std::span<const std::uint8_t> file, const GifLimits& limits)
{
    return Reader(file, limits).read();
}

}  // namespace tess
