// OKLab, and the nearest palette entry measured in it.
#include "palette/oklab.hpp"

#include <array>
#include <cmath>

namespace tess {

namespace {

struct Lab {
    double lightness;
    double a;
    double b;
};

// An 8-bit sRGB channel as linear light: the sRGB transfer function undone.
double linear(std::int32_t channel)
{
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// Björn Ottosson's linear sRGB to OKLab: to cone responses (LMS), cube root,
// then to lightness and the two opponent axes.
Lab oklab(const Rgb& colour)
{
    const double r = linear(colour.red);
    const double g = linear(colour.green);
    const double b = linear(colour.blue);

    const double l = std::cbrt(0.4122214708 * r + 0.5363325363 * g + 0.0514459929 * b);
    const double m = std::cbrt(0.2119034982 * r + 0.6806995451 * g + 0.1073969566 * b);
    const double s = std::cbrt(0.0883024619 * r + 0.2817188376 * g + 0.6299787005 * b);

    return {0.2104542553 * l + 0.7936177850 * m - 0.0040720468 * s,
            1.9779984951 * l - 2.4285922050 * m + 0.4505937099 * s,
            0.0259040371 * l + 0.7827717662 * m - 0.8086757660 * s};
}

// std::pow and std::cbrt are not constexpr, so the table is made on first use.
const std::array<Lab, PaletteSize>& palette_oklab()
{
    static const std::array<Lab, PaletteSize> table = [] {
        std::array<Lab, PaletteSize> lab{};
        for (std::size_t i = 0; i < PaletteSize; ++i) lab[i] = oklab(Palette[i]);
        return lab;
    }();
    return table;
}

double squared_distance(const Lab& x, const Lab& y)
{
    const double dl = x.lightness - y.lightness;
    const double da = x.a - y.a;
    const double db = x.b - y.b;
    return dl * dl + da * da + db * db;
}

}  // namespace

std::uint8_t nearest_palette_index_oklab(const Rgb& colour)
{
    const Lab lab = oklab(colour);
    const std::array<Lab, PaletteSize>& entries = palette_oklab();
    double best = squared_distance(lab, entries[0]);
    std::size_t chosen = 0;
    for (std::size_t i = 1; i < PaletteSize; ++i) {
        const double d = squared_distance(lab, entries[i]);
        if (d < best) {
            best = d;
            chosen = i;
        }
    }
    return static_cast<std::uint8_t>(chosen);
}

}  // namespace tess
