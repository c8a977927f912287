#pragma once

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tess::detail {

// A zlib stream set up once and reset for each cel: setting one up costs
// more than inflating a small sprite's cel.
class Inflater {
public:
    Inflater();
    ~Inflater();
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // Inflates `compressed` into exactly `out`; what is wrong where it does
    // not fill `out` to the byte, and nothing on success.
    std::optional<std::string> inflate_exactly(std::span<const std::uint8_t> compressed, std::span<std::uint8_t> out);

private:
    z_stream stream_{};
};

class Deflater {
public:
    Deflater();
    ~Deflater();
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    // Appends `data` to `out` as one whole zlib stream.
    void deflate(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out);

private:
    z_stream stream_{};
};

}  // namespace tess::detail
