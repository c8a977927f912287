// zlib streams for cels: inflating to an exact size, deflating whole buffers.
#include "zlib_stream.hpp"

#include <array>
#include <limits>
#include <new>

#include "ase/ase_error.hpp"

namespace tess::detail {

namespace {

// zlib counts in unsigned int; a cel is far smaller, but a chunk's input
// may not be.
constexpr std::size_t LargestRun = std::numeric_limits<uInt>::max();

std::string damaged(const z_stream& stream)
{
    return std::string("the compressed data is damaged") + (stream.msg != nullptr ? ": " + std::string(stream.msg) : "");
}

}  // namespace

Inflater::Inflater()
{
    if (inflateInit(&stream_) != Z_OK) throw std::bad_alloc();
}

Inflater::~Inflater() { inflateEnd(&stream_); }

std::optional<std::string> Inflater::inflate_exactly(std::span<const std::uint8_t> compressed,
                                                     std::span<std::uint8_t> out)
{
    if (inflateReset(&stream_) != Z_OK) throw std::bad_alloc();
    if (compressed.size() > LargestRun || out.size() > LargestRun) {
        return "the compressed data is larger than zlib takes at once";
    }
    // Past the wanted bytes, one more is asked for: any sign of it means the
    // data inflates to more.
    std::array<std::uint8_t, 1> beyond{};
    stream_.next_in = const_cast<Bytef*>(compressed.data());
    stream_.avail_in = static_cast<uInt>(compressed.size());
    stream_.next_out = out.empty() ? beyond.data() : out.data();
    stream_.avail_out = static_cast<uInt>(out.size());
    int result = out.empty() ? Z_BUF_ERROR : inflate(&stream_, Z_FINISH);
    if ((result == Z_BUF_ERROR || result == Z_OK) && stream_.avail_out == 0) {
        stream_.next_out = beyond.data();
        stream_.avail_out = beyond.size();
        result = inflate(&stream_, Z_FINISH);
        if (stream_.avail_out == 0) return "the data inflates to more than " + std::to_string(out.size()) + " bytes";
    }
    if (result == Z_STREAM_END) {
        if (stream_.total_out != out.size()) {
            return "the data inflates to " + std::to_string(stream_.total_out) + " bytes, not " +
                   std::to_string(out.size());
        }
        return std::nullopt;
    }
    if (result == Z_MEM_ERROR) throw std::bad_alloc();
    if (result == Z_DATA_ERROR || result == Z_NEED_DICT || result == Z_STREAM_ERROR) return damaged(stream_);
    return "the compressed data is cut short after " + std::to_string(stream_.total_out) + " of " +
           std::to_string(out.size()) + " bytes";
}

Deflater::Deflater()
{
    // The fastest level: unpacking writes thousands of cels, and a sprite's
    // cel compresses nearly as well at it.
    if (deflateInit(&stream_, Z_BEST_SPEED) != Z_OK) throw std::bad_alloc();
}

Deflater::~Deflater() { deflateEnd(&stream_); }

void Deflater::deflate(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out)
{
    if (data.size() > LargestRun) throw AseError("a cel of " + std::to_string(data.size()) + " bytes is too large");
    if (deflateReset(&stream_) != Z_OK) throw std::bad_alloc();
    const std::size_t start = out.size();
    const std::size_t bound = deflateBound(&stream_, static_cast<uLong>(data.size()));
    out.resize(start + bound);
    stream_.next_in = const_cast<Bytef*>(data.data());
    stream_.avail_in = static_cast<uInt>(data.size());
    stream_.next_out = out.data() + start;
    stream_.avail_out = static_cast<uInt>(bound);
    // The bound holds the whole stream, so one call finishes it.
    if (::deflate(&stream_, Z_FINISH) != Z_STREAM_END) throw std::bad_alloc();
    out.resize(start + stream_.total_out);
}

}  // namespace tess::detail
