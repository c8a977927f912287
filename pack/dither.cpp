#include <algorithm>
#include <array>
#include <cmath>

#include "pack/picture.hpp"

namespace tess {

namespace {

// How far an ordered pattern pushes a channel, about one step of the
// palette's twelve-tint ramps: less leaves bands, more speckles flat areas.
constexpr double OrderedSpread = 24.0;

std::int32_t channel(double value) { return static_cast<std::int32_t>(std::lround(std::clamp(value, 0.0, 255.0))); }

// The Bayer matrix of side n (a power of two), thresholds 0 to n*n - 1: the
// lowest bits of x and y choose the most significant digit.
int bayer(int n, int x, int y)
{
    int value = 0;
    for (int bit = 1; bit < n; bit *= 2) {
        const int quadrant = ((x & bit) ? 1 : 0) ^ ((y & bit) ? 3 : 0);
        value = value * 4 + (quadrant == 1 ? 2 : quadrant == 2 ? 1 : quadrant == 3 ? 3 : 0);
    }
    return value;
}

void ordered(int side, int width, int height, const std::vector<Rgb>& source, const std::vector<bool>& fixed,
             ColourRules& rules, Image& image)
{
    // By place in the image, so what stays still between frames stays the same.
    std::array<double, 64> pushes{};
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            pushes[static_cast<std::size_t>(y * side + x)] = ((bayer(side, x, y) + 0.5) / (side * side) - 0.5) * OrderedSpread;
        }
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
            if (fixed[at]) continue;
            const double push = pushes[static_cast<std::size_t>((y % side) * side + x % side)];
            const Rgb& c = source[at];
            image.pixels[static_cast<std::size_t>(y) * TileWidth + static_cast<std::size_t>(x)] =
                rules.nearest_dithered({channel(c.red + push), channel(c.green + push), channel(c.blue + push)});
        }
    }
}

// Error diffusion, serpentine: even rows left to right, odd rows back. The
// error is spread in sRGB channel values, and only between drawn pixels that
// take it.
void floyd_steinberg(int width, int height, const std::vector<Rgb>& source, const std::vector<bool>& fixed,
                     ColourRules& rules, Image& image)
{
    using Error = std::array<double, 3>;
    std::vector<Error> row(static_cast<std::size_t>(width) + 2), below(row.size());
    const auto takes = [&](int x, int y) {
        return x >= 0 && x < width && y < height &&
               !fixed[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    };
    for (int y = 0; y < height; ++y) {
        const int step = y % 2 == 0 ? 1 : -1;
        for (int i = 0; i < width; ++i) {
            const int x = step > 0 ? i : width - 1 - i;
            if (!takes(x, y)) continue;
            const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
            const Error& carried = row[static_cast<std::size_t>(x + 1)];
            const Rgb& c = source[at];
            const Error wanted{std::clamp(c.red + carried[0], 0.0, 255.0), std::clamp(c.green + carried[1], 0.0, 255.0),
                               std::clamp(c.blue + carried[2], 0.0, 255.0)};
            const std::uint8_t index = rules.nearest_dithered({channel(wanted[0]), channel(wanted[1]), channel(wanted[2])});
            image.pixels[static_cast<std::size_t>(y) * TileWidth + static_cast<std::size_t>(x)] = index;
            const Error error{wanted[0] - Palette[index].red, wanted[1] - Palette[index].green,
                              wanted[2] - Palette[index].blue};
            const auto spread = [&](std::vector<Error>& into, int tx, int ty, double share) {
                if (!takes(tx, ty)) return;
                for (int k = 0; k < 3; ++k) into[static_cast<std::size_t>(tx + 1)][static_cast<std::size_t>(k)] += error[static_cast<std::size_t>(k)] * share;
            };
            spread(row, x + step, y, 7.0 / 16);
            spread(below, x - step, y + 1, 3.0 / 16);
            spread(below, x, y + 1, 5.0 / 16);
            spread(below, x + step, y + 1, 1.0 / 16);
        }
        row.swap(below);
        std::fill(below.begin(), below.end(), Error{});
    }
}

}  // namespace

void dither_pixels(Dither dither, int width, int height, const std::vector<Rgb>& source, const std::vector<bool>& fixed,
                   ColourRules& rules, Image& image)
{
    switch (dither) {
    case Dither::None: return;
    case Dither::FloydSteinberg: floyd_steinberg(width, height, source, fixed, rules, image); return;
    case Dither::Bayer4: ordered(4, width, height, source, fixed, rules, image); return;
    case Dither::Bayer8: ordered(8, width, height, source, fixed, rules, image); return;
    }
}

}  // namespace tess
