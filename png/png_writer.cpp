// PNGs written over libspng: indexed in the fixed palette, or RGBA.
#include "png/png_writer.hpp"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "palette/palette.hpp"
#include "spng_context.hpp"

namespace tess {

namespace {

void check(int error) { detail::check_spng(error, "cannot write the PNG: "); }

struct BufferFree {
    void operator()(void* buffer) const { std::free(buffer); }
};

void check_pixel_bytes(std::uint32_t width, std::uint32_t height, std::size_t bytes_per_pixel,
                       std::span<const std::uint8_t> pixels)
{
    if (std::uint64_t{width} * height * bytes_per_pixel != pixels.size()) {
        throw PngError("cannot write the PNG: " + std::to_string(pixels.size()) + " bytes of pixels for " +
                       std::to_string(width) + " x " + std::to_string(height) + " pixels");
    }
}

spng_ihdr header(std::uint32_t width, std::uint32_t height, spng_color_type colour_type)
{
    spng_ihdr ihdr{};
    ihdr.width = width;
    ihdr.height = height;
    ihdr.bit_depth = 8;
    ihdr.color_type = static_cast<std::uint8_t>(colour_type);
    return ihdr;
}

// Encodes the pixels, already in the PNG's own layout, after whatever
// `set_chunks` adds to the context.
template <typename SetChunks>
std::vector<std::uint8_t> encode(spng_ihdr ihdr, std::span<const std::uint8_t> pixels, SetChunks set_chunks)
{
    const detail::SpngContext ctx = detail::new_spng_context(SPNG_CTX_ENCODER);
    check(spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1));
    // zlib sets aside and clears a window and a hash table sized for the
    // largest streams; sprites are small, so both are cut to the data, which
    // leaves the compression as it was and saves most of a small file's cost.
    const std::size_t stream = pixels.size() + ihdr.height;  // with a filter byte a row
    int window_bits = 9;
    while (window_bits < 15 && (std::size_t{1} << window_bits) < stream) ++window_bits;
    check(spng_set_option(ctx.get(), SPNG_IMG_WINDOW_BITS, window_bits));
    check(spng_set_option(ctx.get(), SPNG_IMG_MEM_LEVEL, std::max(1, window_bits - 7)));
    // The fastest level: a tenth larger files, a third less time to write
    // them, and unpack writes thousands.
    check(spng_set_option(ctx.get(), SPNG_IMG_COMPRESSION_LEVEL, 1));
    check(spng_set_ihdr(ctx.get(), &ihdr));
    set_chunks(ctx.get());
    check(spng_encode_image(ctx.get(), pixels.data(), pixels.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE));

    std::size_t size = 0;
    int error = SPNG_OK;
    // The finished buffer is handed over to us, to free.
    const std::unique_ptr<void, BufferFree> buffer(spng_get_png_buffer(ctx.get(), &size, &error));
    check(error);
    const auto* bytes = static_cast<const std::uint8_t*>(buffer.get());
    return {bytes, bytes + size};
}

}  // namespace

std::vector<std::uint8_t> write_indexed_png(std::uint32_t width, std::uint32_t height,
                                            std::span<const std::uint8_t> indices,
                                            std::optional<std::uint8_t> transparent_index)
{
    check_pixel_bytes(width, height, 1, indices);
    return encode(header(width, height, SPNG_COLOR_TYPE_INDEXED), indices, [&](spng_ctx* ctx) {
        spng_plte plte{};
        plte.n_entries = PaletteSize;
        for (std::size_t i = 0; i < PaletteSize; ++i) {
            plte.entries[i] = {static_cast<std::uint8_t>(Palette[i].red), static_cast<std::uint8_t>(Palette[i].green),
                               static_cast<std::uint8_t>(Palette[i].blue), 255};
        }
        check(spng_set_plte(ctx, &plte));
        if (transparent_index) {
            // tRNS stops at the transparent entry; those past it stay opaque.
            spng_trns trns{};
            trns.n_type3_entries = *transparent_index + 1u;
            for (std::size_t i = 0; i < *transparent_index; ++i) trns.type3_alpha[i] = 255;
            trns.type3_alpha[*transparent_index] = 0;
            check(spng_set_trns(ctx, &trns));
        }
    });
}

std::vector<std::uint8_t> write_rgba_png(std::uint32_t width, std::uint32_t height, std::span<const std::uint8_t> rgba)
{
    check_pixel_bytes(width, height, 4, rgba);
    return encode(header(width, height, SPNG_COLOR_TYPE_TRUECOLOR_ALPHA), rgba, [](spng_ctx*) {});
}

}  // namespace tess
