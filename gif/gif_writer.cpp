// Animated GIFs written over giflib, index for index, looping forever.
#include "gif/gif_writer.hpp"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <memory>
#include <new>
#include <string>

namespace tess {

namespace {

constexpr std::uint32_t LargestSide = 0xffff;
constexpr int LargestDelayMs = 0xffff * 10;
constexpr int DelayUnitMs = 10;

// giflib's writes. It is C, so nothing may be thrown through it: a failed
// allocation becomes a short write, which giflib reports.
int write_output(GifFileType* gif, const GifByteType* bytes, int count)
{
    auto& out = *static_cast<std::vector<std::uint8_t>*>(gif->UserData);
    try {
        out.insert(out.end(), bytes, bytes + count);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return count;
}

struct EncoderClose {
    void operator()(GifFileType* gif) const
    {
        int error = 0;
        EGifCloseFile(gif, &error);
    }
};

struct MapFree {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

void check(int result, int error)
{
    if (result != GIF_ERROR) return;
    const char* text = GifErrorString(error);
    throw GifError(std::string("GIF cannot be written: ") + (text != nullptr ? text : "unknown giflib error"));
}

void check_arguments(std::uint32_t width, std::uint32_t height, std::span<const Rgb> colours,
                     std::optional<std::uint8_t> transparent, const std::vector<std::vector<std::uint8_t>>& frames,
                     std::span<const int> delays_ms)
{
    if (width == 0 || height == 0 || width > LargestSide || height > LargestSide) {
        throw GifError("GIF cannot be " + std::to_string(width) + " x " + std::to_string(height) +
                       " pixels: each side is 1 to 65535");
    }
    if (colours.empty() || colours.size() > PaletteSize) {
        throw GifError("GIF colour table cannot hold " + std::to_string(colours.size()) + " colours: 1 to 256");
    }
    for (std::size_t i = 0; i < colours.size(); ++i) {
        for (const std::int32_t channel : {colours[i].red, colours[i].green, colours[i].blue}) {
            if (channel < 0 || channel > 255) throw GifError("GIF colour " + std::to_string(i) + " is not 8-bit RGB");
        }
    }
    if (transparent && *transparent >= colours.size()) {
        throw GifError("GIF transparent index " + std::to_string(*transparent) + " is past the " +
                       std::to_string(colours.size()) + " colours");
    }
    if (frames.empty()) throw GifError("GIF needs at least one frame");
    if (frames.size() != delays_ms.size()) {
        throw GifError("GIF has " + std::to_string(frames.size()) + " frames but " + std::to_string(delays_ms.size()) +
                       " delays");
    }
    const std::size_t pixels = std::size_t{width} * height;
    for (std::size_t f = 0; f < frames.size(); ++f) {
        const std::string frame = "GIF frame " + std::to_string(f) + ": ";
        if (frames[f].size() != pixels) {
            throw GifError(frame + std::to_string(frames[f].size()) + " indices, not " + std::to_string(width) +
                           " x " + std::to_string(height));
        }
        for (std::size_t i = 0; i < pixels; ++i) {
            if (frames[f][i] >= colours.size()) {
                throw GifError(frame + "pixel " + std::to_string(i % width) + ", " + std::to_string(i / width) +
                               " uses index " + std::to_string(frames[f][i]) + " of " +
                               std::to_string(colours.size()) + " colours");
            }
        }
        if (delays_ms[f] < 0 || delays_ms[f] > LargestDelayMs) {
            throw GifError(frame + "a delay of " + std::to_string(delays_ms[f]) + " ms is not 0 to 655350");
        }
    }
}

// GIF tables hold a power of two entries, at least two.
std::unique_ptr<ColorMapObject, MapFree> colour_table(std::span<const Rgb> colours)
{
    int size = 2;
    while (static_cast<std::size_t>(size) < colours.size()) size *= 2;
    std::array<GifColorType, PaletteSize> entries{};
    for (std::size_t i = 0; i < colours.size(); ++i) {
        entries[i] = {static_cast<GifByteType>(colours[i].red), static_cast<GifByteType>(colours[i].green),
                      static_cast<GifByteType>(colours[i].blue)};
    }
    std::unique_ptr<ColorMapObject, MapFree> map(GifMakeMapObject(size, entries.data()));
    if (!map) throw std::bad_alloc();
    return map;
}

void put_loop_forever(GifFileType* gif)
{
    constexpr std::array<GifByteType, 3> LoopForever = {1, 0, 0};  // loop count 0, little-endian
    check(EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE), gif->Error);
    check(EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0"), gif->Error);
    check(EGifPutExtensionBlock(gif, LoopForever.size(), LoopForever.data()), gif->Error);
    check(EGifPutExtensionTrailer(gif), gif->Error);
}

}  // namespace

std::vector<std::uint8_t> write_indexed_gif(std::uint32_t width, std::uint32_t height, std::span<const Rgb> colours,
                                            std::optional<std::uint8_t> transparent,
                                            const std::vector<std::vector<std::uint8_t>>& frames,
                                            std::span<const int> delays_ms)
{
    check_arguments(width, height, colours, transparent, frames, delays_ms);
    const auto map = colour_table(colours);

    std::vector<std::uint8_t> out;
    int error = 0;
    std::unique_ptr<GifFileType, EncoderClose> gif(EGifOpen(&out, write_output, &error));
    if (!gif) check(GIF_ERROR, error);
    EGifSetGifVersion(gif.get(), true);
    const int w = static_cast<int>(width);
    const int h = static_cast<int>(height);
    check(EGifPutScreenDesc(gif.get(), w, h, map->BitsPerPixel, 0, map.get()), gif->Error);
    if (frames.size() > 1) put_loop_forever(gif.get());

    // Whole frames: with a transparent index the screen is cleared after
    // each, so a transparent pixel never shows the frame before.
    GraphicsControlBlock control{};
    control.DisposalMode = transparent ? DISPOSE_BACKGROUND : DISPOSE_DO_NOT;
    control.TransparentColor = transparent ? *transparent : NO_TRANSPARENT_COLOR;
    std::vector<GifPixelType> row(width);  // giflib masks each line in place
    for (std::size_t f = 0; f < frames.size(); ++f) {
        control.DelayTime = (delays_ms[f] + DelayUnitMs / 2) / DelayUnitMs;
        std::array<GifByteType, 4> extension{};
        EGifGCBToExtension(&control, extension.data());
        check(EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, extension.size(), extension.data()), gif->Error);
        check(EGifPutImageDesc(gif.get(), 0, 0, w, h, false, nullptr), gif->Error);
        for (std::size_t y = 0; y < height; ++y) {
            std::copy_n(frames[f].begin() + static_cast<std::ptrdiff_t>(y * width), width, row.begin());
            check(EGifPutLine(gif.get(), row.data(), w), gif->Error);
        }
    }
    // Closing writes the trailer.
    if (EGifCloseFile(gif.release(), &error) == GIF_ERROR) check(GIF_ERROR, error);
    return out;
}

}  // namespace tess
