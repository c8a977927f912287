#pragma once

#include <cstdint>
#include <istream>
#include <span>

namespace tess {

// Reads a tile file byte by byte; running out of bytes is damage, reported
// with the place in the file where the bytes ran out.
class TileReader {
public:
    explicit TileReader(std::istream& in) : in_(*in.rdbuf()) {}

    std::uint8_t byte(const char* place);
    void bytes(std::span<std::uint8_t> into, const char* place);

private:
    std::streambuf& in_;
};

}  // namespace tess
