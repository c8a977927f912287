#pragma once

#include <cstdint>

namespace tess {

// An XPM colour, each channel 0 to 255.
struct Rgb {
    std::int32_t red;
    std::int32_t green;
    std::int32_t blue;

    friend constexpr bool operator==(const Rgb&, const Rgb&) = default;
};

}  // namespace tess
