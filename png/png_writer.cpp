// PNGs written over zlib, each in one buffer: indexed in the fixed palette, or RGBA.
#include "png/png_writer.hpp"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "palette/palette.hpp"

namespace tess {

namespace {

constexpr std::array<std::uint8_t, 8> Signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr std::size_t ChunkOverhead = 12;  // length, type and CRC
constexpr std::size_t HeaderSize = 13;
// PNG's own bound on a chunk's length, a width and a height.
constexpr std::size_t MaxChunkLength = 0x7fffffff;
constexpr std::uint8_t ColourTypeIndexed = 3;
constexpr std::uint8_t ColourTypeRgba = 6;

void check_pixel_bytes(std::uint32_t width, std::uint32_t height, std::size_t bytes_per_pixel,
                       std::span<const std::uint8_t> pixels)
{
    if (width == 0 || height == 0 || width > MaxChunkLength || height > MaxChunkLength) {
        throw PngError("cannot write the PNG: it would be " + std::to_string(width) + " x " + std::to_string(height) +
                       " pixels; PNG takes 1 to " + std::to_string(MaxChunkLength) + " of each");
    }
    if (std::uint64_t{width} * height * bytes_per_pixel != pixels.size()) {
        throw PngError("cannot write the PNG: " + std::to_string(pixels.size()) + " bytes of pixels for " +
                       std::to_string(width) + " x " + std::to_string(height) + " pixels");
    }
}

void put_big_endian(std::uint8_t* at, std::uint32_t value)
{
    at[0] = static_cast<std::uint8_t>(value >> 24);
    at[1] = static_cast<std::uint8_t>(value >> 16);
    at[2] = static_cast<std::uint8_t>(value >> 8);
    at[3] = static_cast<std::uint8_t>(value);
}

// A PNG made in one buffer: chunks appended whole, the image data deflated
// straight into its IDAT.
class PngBuffer {
public:
    explicit PngBuffer(std::size_t room) { bytes_.reserve(room); }

    void append(std::span<const std::uint8_t> data) { bytes_.insert(bytes_.end(), data.begin(), data.end()); }

    // A chunk of `type` holding `length` bytes, written by `fill`.
    template <typename Fill>
    void chunk(const char (&type)[5], std::size_t length, Fill fill)
    {
        open_chunk(type);
        const std::size_t start = bytes_.size();
        bytes_.resize(start + length);
        fill(bytes_.data() + start);
        close_chunk();
    }

    void open_chunk(const char (&type)[5])
    {
        chunk_start_ = bytes_.size();
        bytes_.resize(chunk_start_ + 8);
        std::memcpy(bytes_.data() + chunk_start_ + 4, type, 4);
    }

    // Deflates what `stream` is given onto the open chunk; with Z_FINISH, to the stream's end.
    void deflate_into(z_stream& stream, int flush)
    {
        for (;;) {
            const std::size_t used = bytes_.size();
            const std::size_t room = std::max<std::size_t>(deflateBound(&stream, stream.avail_in), 4096);
            bytes_.resize(used + room);
            stream.next_out = bytes_.data() + used;
            stream.avail_out = static_cast<uInt>(room);
            const int result = deflate(&stream, flush);
            bytes_.resize(bytes_.size() - stream.avail_out);
            if (result == Z_STREAM_ERROR) throw PngError("cannot write the PNG: zlib refused the stream");
            if (flush == Z_FINISH ? result == Z_STREAM_END : stream.avail_in == 0 && stream.avail_out != 0) return;
        }
    }

    void close_chunk()
    {
        const std::size_t length = bytes_.size() - chunk_start_ - 8;
        if (length > MaxChunkLength) throw PngError("cannot write the PNG: its image data would be more than one chunk holds");
        std::uint8_t* at = bytes_.data() + chunk_start_;
        put_big_endian(at, static_cast<std::uint32_t>(length));
        const auto crc = static_cast<std::uint32_t>(crc32(0, at + 4, static_cast<uInt>(4 + length)));
        bytes_.resize(bytes_.size() + 4);
        put_big_endian(bytes_.data() + bytes_.size() - 4, crc);
    }

    std::vector<std::uint8_t> finish()
    {
        // Room set aside for pixels that deflated to far less is given back.
        if (bytes_.capacity() > 2 * bytes_.size()) bytes_.shrink_to_fit();
        return std::move(bytes_);
    }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t chunk_start_ = 0;
};

void header(PngBuffer& png, std::uint32_t width, std::uint32_t height, std::uint8_t colour_type)
{
    png.append(Signature);
    png.chunk("IHDR", HeaderSize, [&](std::uint8_t* at) {
        put_big_endian(at, width);
        put_big_endian(at + 4, height);
        at[8] = 8;  // bits a sample
        at[9] = colour_type;
        at[10] = at[11] = at[12] = 0;  // deflate, adaptive filtering, not interlaced
    });
}

struct DeflateEnd {
    void operator()(z_stream* stream) const { deflateEnd(stream); }
};

// The bytes of rows gathered at a time, each after its filter byte: a
// large picture is never copied whole.
constexpr std::size_t PieceBytes = std::size_t{1} << 16;

// The rows of `pixels`, `row_bytes` each, deflated into one IDAT with
// filter type 0 (none) before each row.
void image_data(PngBuffer& png, std::span<const std::uint8_t> pixels, std::size_t row_bytes, PngCompression compression)
{
    const std::size_t rows = pixels.size() / row_bytes;
    const std::size_t stream_bytes = pixels.size() + rows;
    // zlib sets aside and clears a window and a hash table sized for the
    // largest streams; pictures here are mostly small, so both are cut to
    // the data, which leaves the compression as it was. Stored data needs
    // neither.
    int window_bits = 9;
    while (compression == PngCompression::Fast && window_bits < 15 && (std::size_t{1} << window_bits) < stream_bytes) ++window_bits;
    const int level = compression == PngCompression::Stored ? Z_NO_COMPRESSION : Z_BEST_SPEED;
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, window_bits, std::max(1, window_bits - 7), Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::bad_alloc();
    }
    const std::unique_ptr<z_stream, DeflateEnd> ending(&stream);

    const std::size_t rows_a_piece = std::max<std::size_t>(1, PieceBytes / (row_bytes + 1));
    std::vector<std::uint8_t> piece(std::min(rows, rows_a_piece) * (row_bytes + 1));
    png.open_chunk("IDAT");
    for (std::size_t y = 0; y < rows;) {
        const std::size_t count = std::min(rows_a_piece, rows - y);
        for (std::size_t k = 0; k < count; ++k, ++y) {
            piece[k * (row_bytes + 1)] = 0;
            std::memcpy(&piece[k * (row_bytes + 1) + 1], &pixels[y * row_bytes], row_bytes);
        }
        stream.next_in = piece.data();
        stream.avail_in = static_cast<uInt>(count * (row_bytes + 1));
        png.deflate_into(stream, y == rows ? Z_FINISH : Z_NO_FLUSH);
    }
    png.close_chunk();
}

// The PLTE chunk of the whole palette, the same in every indexed PNG
// written: made, CRC and all, once.
std::span<const std::uint8_t> palette_chunk()
{
    static const std::vector<std::uint8_t> chunk = [] {
        PngBuffer png(ChunkOverhead + 3 * PaletteSize);
        png.chunk("PLTE", 3 * PaletteSize, [](std::uint8_t* at) {
            for (const Rgb& entry : Palette) {
                *at++ = static_cast<std::uint8_t>(entry.red);
                *at++ = static_cast<std::uint8_t>(entry.green);
                *at++ = static_cast<std::uint8_t>(entry.blue);
            }
        });
        return png.finish();
    }();
    return chunk;
}

std::vector<std::uint8_t> finished(PngBuffer& png)
{
    png.chunk("IEND", 0, [](std::uint8_t*) {});
    return png.finish();
}

// Room for the whole file stored: the chunks, the rows with their filter
// bytes, and zlib's framing (a stored block's header for every 16 KiB)
// with some to spare. Memory not written to is never touched.
std::size_t room_for(std::size_t pixel_bytes, std::size_t rows)
{
    const std::size_t stream = pixel_bytes + rows;
    return Signature.size() + 5 * ChunkOverhead + HeaderSize + 4 * PaletteSize + stream + stream / 16000 * 5 + 4096;
}

}  // namespace

std::vector<std::uint8_t> write_indexed_png(std::uint32_t width, std::uint32_t height,
                                            std::span<const std::uint8_t> indices,
                                            std::optional<std::uint8_t> transparent_index, PngCompression compression)
{
    check_pixel_bytes(width, height, 1, indices);
    PngBuffer png(room_for(indices.size(), height));
    header(png, width, height, ColourTypeIndexed);
    png.append(palette_chunk());
    if (transparent_index) {
        // tRNS stops at the transparent entry; those past it stay opaque.
        const std::size_t entries = *transparent_index + std::size_t{1};
        png.chunk("tRNS", entries, [&](std::uint8_t* at) {
            std::memset(at, 255, entries - 1);
            at[entries - 1] = 0;
        });
    }
    image_data(png, indices, width, compression);
    return finished(png);
}

std::vector<std::uint8_t> write_rgba_png(std::uint32_t width, std::uint32_t height, std::span<const std::uint8_t> rgba)
{
    check_pixel_bytes(width, height, 4, rgba);
    PngBuffer png(room_for(rgba.size(), height));
    header(png, width, height, ColourTypeRgba);
    image_data(png, rgba, std::size_t{width} * 4, PngCompression::Fast);
    return finished(png);
}

}  // namespace tess
