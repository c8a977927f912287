#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "palette/palette.hpp"

namespace tess {

// How colours are spread over the palette where no entry matches: each pixel
// its nearest entry, error diffusion, or an ordered (Bayer) pattern that keeps
// still parts of an animation still.
enum class Dither { None, FloydSteinberg, Bayer4, Bayer8 };

// Every name parse_dither accepts, in the order of Dither's values: the one
// list that messages, the command line and its completion offer.
std::span<const std::string_view> dither_names();
std::optional<Dither> parse_dither(std::string_view text);
std::string_view dither_name(Dither dither);

inline constexpr int DefaultAlphaThreshold = 128;

// What the artist chose for turning colours into indices, for the whole
// manifest or one scene. `soft_edges` is set where alpha_threshold or matte
// was given: the artist has said what partial alpha means, so strict takes it.
struct ColourOptions {
    Dither dither = Dither::None;
    int alpha_threshold = DefaultAlphaThreshold;  // below it a pixel is transparent
    std::optional<Rgb> matte;                     // partly transparent kept pixels are blended over it
    bool soft_edges = false;
    // Key colours: opaque pixels of exactly these colours are transparent,
    // before anything else is done with them.
    std::vector<Rgb> transparent;
    // In an indexed picture (PNG, GIF), this index of its own palette is
    // transparent, whatever its colour.
    std::optional<std::uint8_t> transparent_index;

    friend bool operator==(const ColourOptions&, const ColourOptions&) = default;
};

}  // namespace tess
