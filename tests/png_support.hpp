#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "png/png_reader.hpp"

namespace tess::testing {

// A PNG read whole, as the tests look at it: an indexed one as read_png
// gives it, any other with its rows gathered in `rgba`.
struct DecodedPng : PngImage {
    std::vector<std::uint8_t> rgba;
};

inline DecodedPng decode_png(std::span<const std::uint8_t> file, const PngLimits& limits)
{
    struct Gather final : PngRows {
        std::vector<std::uint8_t>& rgba;
        explicit Gather(std::vector<std::uint8_t>& into) : rgba(into) {}
        void begin(std::uint32_t width, std::uint32_t height) override { rgba.reserve(std::size_t{width} * height * 4); }
        void row(std::span<const std::uint8_t> pixels) override { rgba.insert(rgba.end(), pixels.begin(), pixels.end()); }
    };
    DecodedPng decoded;
    Gather gather(decoded.rgba);
    static_cast<PngImage&>(decoded) = read_png(file, limits, gather);
    return decoded;
}

}  // namespace tess::testing
