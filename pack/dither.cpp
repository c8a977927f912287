#include <algorithm>
#include <array>
#include <cmath>

#include "pack/picture.hpp"

namespace tess {

namespace {

// How far an ordered pattern pushes a channel, about one step of the
// palette's twelve-tint ramps: less leaves bands, more speckles flat areas.
constexpr double OrderedSpread = 24.0;

std::int32_t channel(std::int32_t value) { return std::clamp(value, 0, 255); }

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
    std::array<std::int32_t, 64> pushes{};
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            pushes[static_cast<std::size_t>(y * side + x)] =
                static_cast<std::int32_t>(std::lround(((bayer(side, x, y) + 0.5) / (side * side) - 0.5) * OrderedSpread));
        }
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
            if (fixed[at]) continue;
            const std::int32_t push = pushes[static_cast<std::size_t>((y % side) * side + x % side)];
            const Rgb& c = source[at];
            image.pixels[static_cast<std::size_t>(y) * TileWidth + static_cast<std::size_t>(x)] =
                rules.nearest_dithered({channel(c.red + push), channel(c.green + push), channel(c.blue + push)});
        }
    }
}

// Error diffusion, serpentine: even rows left to right, odd rows back. The
// error is spread in sRGB channel values, held in 1/256ths of a value, and
// only between drawn pixels that take it.
void floyd_steinberg(int width, int height, const std::vector<Rgb>& source, const std::vector<bool>& fixed,
                     ColourRules& rules, Image& image)
{
    constexpr std::int32_t One = 256, Most = 255 * One;
    using Error = std::array<std::int32_t, 3>;
    // One slot either side, so the neighbours of the ends need no test.
    std::vector<Error> row(static_cast<std::size_t>(width) + 2), below(row.size());
    std::vector<std::uint8_t> takes(static_cast<std::size_t>(width) + 2), takes_below(takes.size());
    const auto fill = [&](std::vector<std::uint8_t>& into, int y) {
        std::fill(into.begin(), into.end(), std::uint8_t{0});
        if (y >= height) return;
        for (int x = 0; x < width; ++x) {
            into[static_cast<std::size_t>(x + 1)] = !fixed[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
        }
    };
    fill(takes, 0);
    for (int y = 0; y < height; ++y) {
        fill(takes_below, y + 1);
        const int step = y % 2 == 0 ? 1 : -1;
        for (int i = 0; i < width; ++i) {
            const int x = step > 0 ? i : width - 1 - i;
            const auto slot = static_cast<std::size_t>(x + 1);
            if (!takes[slot]) continue;
            const Rgb& c = source[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
            const Error& carried = row[slot];
            const Error wanted{std::clamp(c.red * One + carried[0], 0, Most), std::clamp(c.green * One + carried[1], 0, Most),
                               std::clamp(c.blue * One + carried[2], 0, Most)};
            const std::uint8_t index =
                rules.nearest_dithered({(wanted[0] + One / 2) / One, (wanted[1] + One / 2) / One, (wanted[2] + One / 2) / One});
            image.pixels[static_cast<std::size_t>(y) * TileWidth + static_cast<std::size_t>(x)] = index;
            const Rgb& got = Palette[index];
            const Error error{wanted[0] - got.red * One, wanted[1] - got.green * One, wanted[2] - got.blue * One};
            const auto spread = [&](std::vector<Error>& into, const std::vector<std::uint8_t>& open, std::size_t to, std::int32_t share) {
                if (!open[to]) return;
                for (std::size_t k = 0; k < 3; ++k) into[to][k] += error[k] * share / 16;
            };
            const auto ahead = static_cast<std::size_t>(x + 1 + step), behind = static_cast<std::size_t>(x + 1 - step);
            spread(row, takes, ahead, 7);
            spread(below, takes_below, behind, 3);
            spread(below, takes_below, slot, 5);
            spread(below, takes_below, ahead, 1);
        }
        row.swap(below);
        std::fill(below.begin(), below.end(), Error{});
        takes.swap(takes_below);
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
