// Blend modes on 8-bit straight-alpha RGBA: normal "over" exactly rounded, the others by the W3C's formulas.
#include "ase_blend.hpp"

#include <algorithm>
#include <array>
#include <cmath>

namespace tess::detail {

namespace {

// x / 255 rounded to nearest; x / 255 is never a half.
constexpr unsigned div255(unsigned x) { return (x + 127) / 255; }

// Porter-Duff "over", worked out exactly and rounded once: `alpha` already
// holds the opacity.
inline void over(std::uint8_t* backdrop, unsigned red, unsigned green, unsigned blue, unsigned alpha)
{
    const unsigned back_alpha = backdrop[3];
    if (alpha == 255 || back_alpha == 0) {
        backdrop[0] = static_cast<std::uint8_t>(red);
        backdrop[1] = static_cast<std::uint8_t>(green);
        backdrop[2] = static_cast<std::uint8_t>(blue);
        backdrop[3] = static_cast<std::uint8_t>(alpha);
        return;
    }
    // Both weights times 255, so every sum stays whole.
    const unsigned back_weight = back_alpha * (255 - alpha);
    const unsigned total = alpha * 255 + back_weight;
    const unsigned half = total / 2;
    const unsigned source_weight = alpha * 255;
    backdrop[0] = static_cast<std::uint8_t>((red * source_weight + backdrop[0] * back_weight + half) / total);
    backdrop[1] = static_cast<std::uint8_t>((green * source_weight + backdrop[1] * back_weight + half) / total);
    backdrop[2] = static_cast<std::uint8_t>((blue * source_weight + backdrop[2] * back_weight + half) / total);
    backdrop[3] = static_cast<std::uint8_t>(div255(total));
}

constexpr unsigned multiply(unsigned b, unsigned s) { return div255(b * s); }
constexpr unsigned screen(unsigned b, unsigned s) { return b + s - div255(b * s); }

constexpr unsigned hard_light(unsigned b, unsigned s)
{
    return 2 * s <= 255 ? div255(b * 2 * s) : screen(b, 2 * s - 255);
}

unsigned soft_light(unsigned b8, unsigned s8)
{
    const double b = b8 / 255.0;
    const double s = s8 / 255.0;
    double blended = 0;
    if (s <= 0.5) {
        blended = b - (1 - 2 * s) * b * (1 - b);
    } else {
        const double d = b <= 0.25 ? ((16 * b - 12) * b + 4) * b : std::sqrt(b);
        blended = b + (2 * s - 1) * (d - b);
    }
    return static_cast<unsigned>(std::lround(std::clamp(blended, 0.0, 1.0) * 255));
}

constexpr unsigned colour_dodge(unsigned b, unsigned s)
{
    if (b == 0) return 0;
    if (s == 255) return 255;
    return std::min(255u, (b * 255 + (255 - s) / 2) / (255 - s));
}

constexpr unsigned colour_burn(unsigned b, unsigned s)
{
    if (b == 255) return 255;
    if (s == 0) return 0;
    return 255 - std::min(255u, ((255 - b) * 255 + s / 2) / s);
}

constexpr unsigned divide(unsigned b, unsigned s)
{
    if (s == 0) return b == 0 ? 0 : 255;
    return std::min(255u, (b * 255 + s / 2) / s);
}

// The non-separable modes, on channels from 0 to 1.
using Colour = std::array<double, 3>;

double lum(const Colour& c) { return 0.3 * c[0] + 0.59 * c[1] + 0.11 * c[2]; }

Colour clip_colour(Colour c)
{
    const double l = lum(c);
    const double low = std::min({c[0], c[1], c[2]});
    const double high = std::max({c[0], c[1], c[2]});
    for (double& channel : c) {
        if (low < 0) channel = l + (channel - l) * l / (l - low);
        if (high > 1) channel = l + (channel - l) * (1 - l) / (high - l);
    }
    return c;
}

Colour set_lum(Colour c, double l)
{
    const double d = l - lum(c);
    for (double& channel : c) channel += d;
    return clip_colour(c);
}

double sat(const Colour& c) { return std::max({c[0], c[1], c[2]}) - std::min({c[0], c[1], c[2]}); }

Colour set_sat(const Colour& c, double s)
{
    std::array<int, 3> order = {0, 1, 2};  // smallest, middle, largest
    std::sort(order.begin(), order.end(), [&](int a, int b) { return c[a] < c[b]; });
    Colour out{};
    const double low = c[order[0]], middle = c[order[1]], high = c[order[2]];
    if (high > low) {
        out[order[1]] = (middle - low) * s / (high - low);
        out[order[2]] = s;
    }
    return out;
}

template <AseBlendMode Mode>
Colour non_separable(const Colour& b, const Colour& s)
{
    if constexpr (Mode == AseBlendMode::Hue) return set_lum(set_sat(s, sat(b)), lum(b));
    if constexpr (Mode == AseBlendMode::Saturation) return set_lum(set_sat(b, sat(s)), lum(b));
    if constexpr (Mode == AseBlendMode::Color) return set_lum(s, lum(b));
    return set_lum(b, lum(s));  // luminosity
}

template <AseBlendMode Mode>
unsigned separable(unsigned b, unsigned s)
{
    using M = AseBlendMode;
    if constexpr (Mode == M::Multiply) return multiply(b, s);
    if constexpr (Mode == M::Screen) return screen(b, s);
    if constexpr (Mode == M::Overlay) return hard_light(s, b);
    if constexpr (Mode == M::Darken) return std::min(b, s);
    if constexpr (Mode == M::Lighten) return std::max(b, s);
    if constexpr (Mode == M::ColorDodge) return colour_dodge(b, s);
    if constexpr (Mode == M::ColorBurn) return colour_burn(b, s);
    if constexpr (Mode == M::HardLight) return hard_light(b, s);
    if constexpr (Mode == M::SoftLight) return soft_light(b, s);
    if constexpr (Mode == M::Difference) return b > s ? b - s : s - b;
    if constexpr (Mode == M::Exclusion) return b + s - div255(2 * b * s);
    if constexpr (Mode == M::Addition) return std::min(255u, b + s);
    if constexpr (Mode == M::Subtract) return b > s ? b - s : 0;
    return divide(b, s);
}

constexpr bool is_non_separable(AseBlendMode mode)
{
    return mode == AseBlendMode::Hue || mode == AseBlendMode::Saturation || mode == AseBlendMode::Color ||
           mode == AseBlendMode::Luminosity;
}

template <AseBlendMode Mode>
void blend_pixels(std::uint8_t* backdrop, const std::uint8_t* source, std::size_t count, unsigned opacity)
{
    for (std::size_t i = 0; i < count; ++i, backdrop += 4, source += 4) {
        const unsigned alpha = div255(source[3] * opacity);
        if (alpha == 0) continue;
        const unsigned back_alpha = backdrop[3];
        if (Mode == AseBlendMode::Normal || back_alpha == 0) {
            // Over nothing, a blended colour is the source's own.
            over(backdrop, source[0], source[1], source[2], alpha);
            continue;
        }
        std::array<unsigned, 3> blended{};
        if constexpr (is_non_separable(Mode)) {
            const Colour b = {backdrop[0] / 255.0, backdrop[1] / 255.0, backdrop[2] / 255.0};
            const Colour s = {source[0] / 255.0, source[1] / 255.0, source[2] / 255.0};
            const Colour result = non_separable<Mode>(b, s);
            for (std::size_t c = 0; c < 3; ++c) {
                blended[c] = static_cast<unsigned>(std::lround(std::clamp(result[c], 0.0, 1.0) * 255));
            }
        } else {
            for (std::size_t c = 0; c < 3; ++c) blended[c] = separable<Mode>(backdrop[c], source[c]);
        }
        // The source as blended, as far as the backdrop is there to blend with.
        std::array<unsigned, 3> mixed{};
        for (std::size_t c = 0; c < 3; ++c) mixed[c] = div255((255 - back_alpha) * source[c] + back_alpha * blended[c]);
        over(backdrop, mixed[0], mixed[1], mixed[2], alpha);
    }
}

}  // namespace

void blend_row(AseBlendMode mode, std::uint8_t* backdrop, const std::uint8_t* source, std::size_t count,
               unsigned opacity)
{
    using M = AseBlendMode;
    switch (mode) {
    case M::Normal: return blend_pixels<M::Normal>(backdrop, source, count, opacity);
    case M::Multiply: return blend_pixels<M::Multiply>(backdrop, source, count, opacity);
    case M::Screen: return blend_pixels<M::Screen>(backdrop, source, count, opacity);
    case M::Overlay: return blend_pixels<M::Overlay>(backdrop, source, count, opacity);
    case M::Darken: return blend_pixels<M::Darken>(backdrop, source, count, opacity);
    case M::Lighten: return blend_pixels<M::Lighten>(backdrop, source, count, opacity);
    case M::ColorDodge: return blend_pixels<M::ColorDodge>(backdrop, source, count, opacity);
    case M::ColorBurn: return blend_pixels<M::ColorBurn>(backdrop, source, count, opacity);
    case M::HardLight: return blend_pixels<M::HardLight>(backdrop, source, count, opacity);
    case M::SoftLight: return blend_pixels<M::SoftLight>(backdrop, source, count, opacity);
    case M::Difference: return blend_pixels<M::Difference>(backdrop, source, count, opacity);
    case M::Exclusion: return blend_pixels<M::Exclusion>(backdrop, source, count, opacity);
    case M::Hue: return blend_pixels<M::Hue>(backdrop, source, count, opacity);
    case M::Saturation: return blend_pixels<M::Saturation>(backdrop, source, count, opacity);
    case M::Color: return blend_pixels<M::Color>(backdrop, source, count, opacity);
    case M::Luminosity: return blend_pixels<M::Luminosity>(backdrop, source, count, opacity);
    case M::Addition: return blend_pixels<M::Addition>(backdrop, source, count, opacity);
    case M::Subtract: return blend_pixels<M::Subtract>(backdrop, source, count, opacity);
    case M::Divide: return blend_pixels<M::Divide>(backdrop, source, count, opacity);
    }
}

}  // namespace tess::detail
