// PNGs read within limits: the common indexed PNG over zlib, any other over libspng, RGBA row by row or the indices and palette as they are.
#include "png/png_reader.hpp"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "spng_context.hpp"

namespace tess {

namespace {

constexpr std::array<std::uint8_t, 8> Signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

// Bounds any one chunk and all the ancillary data kept (decompressed text,
// ICC profiles), so a small file cannot claim a large allocation. Encoders
// split image data into far smaller IDAT chunks.
constexpr std::size_t ChunkLimit = std::size_t{4} << 20;

// libspng takes no image limit above this, the largest size PNG allows.
constexpr std::uint32_t SpngLargestLimit = 0x7fffffff;

// IHDR comes first, so a PNG's width and height sit at fixed offsets.
constexpr std::size_t WidthOffset = 16;
constexpr std::size_t HeightOffset = 20;

constexpr const char* CutShort = "PNG data is damaged: the file is cut short";

void check(int error)
{
    if (error == SPNG_IO_EOF) throw PngError(CutShort);
    if (error == SPNG_ECHUNK_LIMITS) {
        throw PngError("PNG chunk data is over the " + std::to_string(ChunkLimit >> 20) + " MiB accepted");
    }
    detail::check_spng(error, "PNG data is damaged: ");
}

std::uint32_t big_endian_at(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return std::uint32_t{bytes[offset]} << 24 | std::uint32_t{bytes[offset + 1]} << 16 |
           std::uint32_t{bytes[offset + 2]} << 8 | std::uint32_t{bytes[offset + 3]};
}

[[noreturn]] void refuse_size(std::uint32_t width, std::uint32_t height, const PngLimits& limits)
{
    throw PngError("PNG is " + std::to_string(width) + " x " + std::to_string(height) + " pixels; at most " +
                   std::to_string(limits.max_width) + " x " + std::to_string(limits.max_height) + " and " +
                   std::to_string(limits.max_pixels) + " pixels are accepted");
}

spng_ihdr read_header(spng_ctx* ctx, std::span<const std::uint8_t> file, const PngLimits& limits)
{
    spng_ihdr ihdr{};
    const int error = spng_get_ihdr(ctx, &ihdr);
    // libspng stops at its own image limits without handing the header over;
    // having read it, it has seen the fixed offsets in the buffer.
    if (error == SPNG_EUSER_WIDTH || error == SPNG_EUSER_HEIGHT) {
        refuse_size(big_endian_at(file, WidthOffset), big_endian_at(file, HeightOffset), limits);
    }
    check(error);
    if (std::uint64_t{ihdr.width} * ihdr.height > limits.max_pixels) refuse_size(ihdr.width, ihdr.height, limits);
    return ihdr;
}

// The caller works out an image's size in `format` from the checked header;
// should libspng disagree, nothing is decoded.
void check_decoded_size(spng_ctx* ctx, spng_format format, std::size_t expected_size)
{
    std::size_t size = 0;
    check(spng_decoded_image_size(ctx, format, &size));
    if (size != expected_size) {
        throw PngError("PNG cannot be decoded: libspng asks for " + std::to_string(size) + " bytes of pixels, not " +
                       std::to_string(expected_size));
    }
}

// The whole image in `format`.
std::vector<std::uint8_t> decode(spng_ctx* ctx, spng_format format, int flags, std::size_t expected_size)
{
    check_decoded_size(ctx, format, expected_size);
    std::vector<std::uint8_t> pixels(expected_size);
    check(spng_decode_image(ctx, pixels.data(), pixels.size(), format, flags));
    return pixels;
}

// Row by row into `rows`, so only one row of RGBA is held at a time.
// Interlaced rows arrive pass by pass, scattered over the picture, so such
// a picture is decoded whole first.
void decode_rows(spng_ctx* ctx, const spng_ihdr& ihdr, PngRows& rows)
{
    const std::size_t row_bytes = std::size_t{ihdr.width} * 4;
    rows.begin(ihdr.width, ihdr.height);
    if (ihdr.interlace_method != SPNG_INTERLACE_NONE) {
        const std::vector<std::uint8_t> whole = decode(ctx, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS, row_bytes * ihdr.height);
        for (std::size_t y = 0; y < ihdr.height; ++y) rows.row(std::span(whole).subspan(y * row_bytes, row_bytes));
        return;
    }
    check_decoded_size(ctx, SPNG_FMT_RGBA8, row_bytes * ihdr.height);
    check(spng_decode_image(ctx, nullptr, 0, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE));
    std::vector<std::uint8_t> row(row_bytes);
    for (std::uint32_t y = 0; y < ihdr.height; ++y) {
        // The last row's decoding says the image has ended.
        const int error = spng_decode_row(ctx, row.data(), row.size());
        if (error != 0 && !(error == SPNG_EOI && y + 1 == ihdr.height)) check(error);
        rows.row(row);
    }
}

// Every index within the palette; a full palette leaves none past it.
void check_indices(const PngIndexed& indexed, std::size_t width)
{
    const std::size_t entries = indexed.palette.size();
    if (entries >= 256) return;
    const auto past = std::find_if(indexed.indices.begin(), indexed.indices.end(),
                                   [&](std::uint8_t index) { return index >= entries; });
    if (past != indexed.indices.end()) {
        const std::size_t pixel = static_cast<std::size_t>(past - indexed.indices.begin());
        throw PngError("PNG data is damaged: pixel " + std::to_string(pixel % width) + ", " + std::to_string(pixel / width) +
                       " uses palette index " + std::to_string(*past) + " of " + std::to_string(entries) + " PLTE entries");
    }
}

// Decodes the raw indices rather than letting libspng expand them: eight
// bits, the common depth, are the indices as they come; below 8 bits they
// arrive packed, high bits first, each row starting on a byte.
PngIndexed decode_indexed(spng_ctx* ctx, const spng_ihdr& ihdr)
{
    const std::size_t width = ihdr.width;
    const std::size_t height = ihdr.height;
    const unsigned depth = ihdr.bit_depth;
    const std::size_t row_bytes = (width * depth + 7) / 8;
    std::vector<std::uint8_t> packed = decode(ctx, SPNG_FMT_PNG, 0, row_bytes * height);

    spng_plte plte{};
    check(spng_get_plte(ctx, &plte));
    spng_trns trns{};
    const int trns_error = spng_get_trns(ctx, &trns);
    if (trns_error != SPNG_ECHUNKAVAIL) check(trns_error);  // no tRNS: every entry opaque

    PngIndexed indexed;
    indexed.palette.reserve(plte.n_entries);
    indexed.alpha.assign(plte.n_entries, 255);
    for (std::size_t i = 0; i < plte.n_entries; ++i) {
        const spng_plte_entry& entry = plte.entries[i];
        indexed.palette.push_back({entry.red, entry.green, entry.blue});
    }
    std::copy_n(trns.type3_alpha, std::min<std::size_t>(trns.n_type3_entries, plte.n_entries), indexed.alpha.begin());

    if (depth == 8) {
        indexed.indices = std::move(packed);
    } else {
        indexed.indices.resize(width * height);
        const unsigned mask = (1u << depth) - 1;
        for (std::size_t y = 0; y < height; ++y) {
            const std::uint8_t* row = packed.data() + y * row_bytes;
            for (std::size_t x = 0; x < width; ++x) {
                const std::size_t bit = x * depth;
                indexed.indices[y * width + x] =
                    static_cast<std::uint8_t>((row[bit / 8] >> (8 - depth - static_cast<unsigned>(bit % 8))) & mask);
            }
        }
    }
    check_indices(indexed, width);
    return indexed;
}

// libspng stops reading at IEND's type and never reads its CRC, so a file
// cut there would pass: walk the chunk lengths to see the whole IEND is here.
void check_not_cut_short(std::span<const std::uint8_t> file)
{
    constexpr std::array<std::uint8_t, 4> End = {'I', 'E', 'N', 'D'};
    std::uint64_t at = Signature.size();
    while (at + 8 <= file.size()) {
        const std::uint64_t length = big_endian_at(file, static_cast<std::size_t>(at));
        const auto type = file.subspan(static_cast<std::size_t>(at) + 4, End.size());
        at += 12 + length;  // length, type, data and CRC
        if (std::equal(End.begin(), End.end(), type.begin())) {
            if (at <= file.size()) return;
            break;
        }
    }
    throw PngError(CutShort);
}

// The common indexed PNG, read over zlib alone: 8-bit indices, not
// interlaced, its chunks IHDR, PLTE, tRNS if any, IDAT and IEND and no
// other, every row unfiltered (as indexed PNGs nearly always are), every
// CRC right. libspng reads it row by row, a zlib call a row; here the IDAT
// data is inflated in one call into the pixels' own memory. Anything else,
// damage and sizes over `limits` too, gives nothing and is left to
// libspng, which then reads or refuses it in its own words.
std::optional<PngImage> read_plain_indexed(std::span<const std::uint8_t> file, const PngLimits& limits)
{
    constexpr std::size_t HeaderEnd = Signature.size() + 8 + 13 + 4;
    if (file.size() < HeaderEnd || big_endian_at(file, 8) != 13) return std::nullopt;
    const auto is = [&](std::size_t at, const char* type) { return std::equal(type, type + 4, file.begin() + static_cast<std::ptrdiff_t>(at) + 4); };
    // The chunk at `at`: its data, when it is whole with a right CRC and within the chunk limit.
    const auto chunk_data = [&](std::size_t at) -> std::optional<std::span<const std::uint8_t>> {
        if (at + 12 > file.size()) return std::nullopt;
        const std::size_t length = big_endian_at(file, at);
        if (length > ChunkLimit || length > file.size() - at - 12) return std::nullopt;
        const auto typed = file.subspan(at + 4, 4 + length);
        if (crc32(0, typed.data(), static_cast<uInt>(typed.size())) != big_endian_at(file, at + 8 + length)) return std::nullopt;
        return typed.subspan(4);
    };
    const auto ihdr = chunk_data(Signature.size());
    if (!ihdr || !is(Signature.size(), "IHDR")) return std::nullopt;
    const std::uint32_t width = big_endian_at(file, 16), height = big_endian_at(file, 20);
    const std::uint8_t* fields = ihdr->data() + 8;  // depth, colour type, compression, filter, interlace
    if (fields[0] != 8 || fields[1] != SPNG_COLOR_TYPE_INDEXED || fields[2] != 0 || fields[3] != 0 || fields[4] != 0) return std::nullopt;
    if (width == 0 || height == 0 || width > limits.max_width || height > limits.max_height || width > SpngLargestLimit ||
        height > SpngLargestLimit || std::uint64_t{width} * height > limits.max_pixels) {
        return std::nullopt;
    }
    const std::uint64_t stream_bytes = (std::uint64_t{width} + 1) * height;
    if (stream_bytes > std::numeric_limits<uInt>::max()) return std::nullopt;

    std::size_t at = HeaderEnd;
    const auto plte = chunk_data(at);
    if (!plte || !is(at, "PLTE") || plte->empty() || plte->size() % 3 != 0 || plte->size() > 3 * 256) return std::nullopt;
    at += 12 + plte->size();
    PngImage image;
    image.width = width;
    image.height = height;
    PngIndexed& indexed = image.indexed.emplace();
    const std::size_t entries = plte->size() / 3;
    indexed.palette.resize(entries);
    for (std::size_t i = 0; i < entries; ++i) indexed.palette[i] = {(*plte)[3 * i], (*plte)[3 * i + 1], (*plte)[3 * i + 2]};
    indexed.alpha.assign(entries, 255);
    if (const auto trns = chunk_data(at); trns && is(at, "tRNS")) {
        if (trns->empty() || trns->size() > entries) return std::nullopt;
        std::copy(trns->begin(), trns->end(), indexed.alpha.begin());
        at += 12 + trns->size();
    }

    // The rows with their filter bytes, inflated where the indices will be.
    indexed.indices.resize(static_cast<std::size_t>(stream_bytes));
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return std::nullopt;
    const std::unique_ptr<z_stream, decltype(&inflateEnd)> ending(&stream, &inflateEnd);
    // The CRCs cover the data already; zlib's checksum is left out, as libspng is told to.
    if (inflateValidate(&stream, 0) != Z_OK) return std::nullopt;
    stream.next_out = indexed.indices.data();
    stream.avail_out = static_cast<uInt>(stream_bytes);
    int status = Z_OK;
    for (; status == Z_OK && at + 8 <= file.size() && is(at, "IDAT"); ) {
        const auto data = chunk_data(at);
        if (!data || data->empty()) return std::nullopt;
        stream.next_in = const_cast<Bytef*>(data->data());
        stream.avail_in = static_cast<uInt>(data->size());
        status = inflate(&stream, Z_NO_FLUSH);
        // All of the data goes into the image, and the image ends with it.
        if (status == Z_OK && stream.avail_in != 0) return std::nullopt;
        at += 12 + data->size();
    }
    if (status != Z_STREAM_END || stream.avail_in != 0 || stream.avail_out != 0) return std::nullopt;
    const auto iend = chunk_data(at);
    if (!iend || !is(at, "IEND") || !iend->empty()) return std::nullopt;

    // Each row's filter byte dropped, the rows moved up in place.
    std::uint8_t* pixels = indexed.indices.data();
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint8_t* row = pixels + y * (std::size_t{width} + 1);
        if (row[0] != 0) return std::nullopt;
        std::memmove(pixels + y * width, row + 1, width);
    }
    indexed.indices.resize(std::size_t{width} * height);
    check_indices(indexed, width);
    return image;
}

}  // namespace

bool looks_like_png(std::span<const std::uint8_t> file)
{
    return file.size() >= Signature.size() && std::equal(Signature.begin(), Signature.end(), file.begin());
}

PngImage read_png(std::span<const std::uint8_t> file, const PngLimits& limits, PngRows& rows)
{
    if (!looks_like_png(file)) throw PngError("not a PNG: the signature is missing");
    if (std::optional<PngImage> plain = read_plain_indexed(file, limits)) return std::move(*plain);

    // Every chunk's CRC is checked, IDAT's too, so a damaged file is still
    // refused; the zlib stream's own checksum over the pixels would only
    // repeat that, at a tenth of the decoding time.
    const detail::SpngContext ctx = detail::new_spng_context(SPNG_CTX_IGNORE_ADLER32);
    check(spng_set_image_limits(ctx.get(), std::min(limits.max_width, SpngLargestLimit),
                                std::min(limits.max_height, SpngLargestLimit)));
    check(spng_set_chunk_limits(ctx.get(), ChunkLimit, ChunkLimit));
    check(spng_set_png_buffer(ctx.get(), file.data(), file.size()));
    const spng_ihdr ihdr = read_header(ctx.get(), file, limits);

    PngImage image;
    image.width = ihdr.width;
    image.height = ihdr.height;
    if (ihdr.color_type == SPNG_COLOR_TYPE_INDEXED) {
        image.indexed = decode_indexed(ctx.get(), ihdr);
    } else {
        decode_rows(ctx.get(), ihdr, rows);
    }
    // On through IEND, so damage after the image is refused too (libspng drops
    // an ancillary chunk whose CRC is wrong, as PNG allows).
    check(spng_decode_chunks(ctx.get()));
    check_not_cut_short(file);
    return image;
}

}  // namespace tess
