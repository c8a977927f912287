// Dithering: error diffusion and ordered patterns, and the names of each.
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "pack/colours.hpp"

namespace tess {

namespace {

// In the order of Dither's values.
constexpr std::array<std::string_view, 4> DitherNames{"none", "floyd-steinberg", "bayer4", "bayer8"};
static_assert(static_cast<std::size_t>(Dither::Bayer8) + 1 == DitherNames.size());


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

const std::uint32_t* picture_row(const PictureWindow& window, int y)
{
    return window.picture->pixels.data() + static_cast<std::size_t>(window.y0 + y) * static_cast<std::size_t>(window.picture->width) +
           static_cast<std::size_t>(window.x0);
}

// Row y of the window in the image.
Pixel* image_row(const PictureWindow& window, Image& image, int y)
{
    return image.pixels.data() + static_cast<std::size_t>(window.top + y) * TileWidth + static_cast<std::size_t>(window.left);
}

// The farthest an ordered pattern pushes: half the spread, rounded.
constexpr int MostPush = 12;

template <int Side>
void ordered(const DitherRegion& region, ColourRules& rules, Image& image)
{
    // By place in the image, so what stays still between frames stays the
    // same; held as the push plus MostPush.
    std::array<std::uint8_t, Side * Side> pushes{};
    for (int y = 0; y < Side; ++y) {
        for (int x = 0; x < Side; ++x) {
            const auto push = std::lround(((bayer(Side, x, y) + 0.5) / (Side * Side) - 0.5) * OrderedSpread);
            pushes[static_cast<std::size_t>(y * Side + x)] = static_cast<std::uint8_t>(push + MostPush);
        }
    }
    // Each colour's value under each push, worked out when first met: a
    // picture has far fewer colours than pixels. A colour that takes no
    // dithering keeps the value it has.
    constexpr std::size_t Pushes = 2 * MostPush + 1;
    constexpr Pixel NotYet = TransparentPixel - 1;
    std::vector<Pixel> values(region.drawn.size() * Pushes, NotYet);
    const PictureWindow& window = region.window;
    for (int y = 0; y < window.height; ++y) {
        const std::uint32_t* row = picture_row(window, y);
        const std::uint8_t* row_pushes = pushes.data() + ((window.top + y) & (Side - 1)) * Side;
        Pixel* out = image_row(window, image, y);
        for (int x = 0; x < window.width; ++x) {
            const std::uint32_t c = row[x];
            const std::uint8_t slot = row_pushes[(window.left + x) & (Side - 1)];
            Pixel& value = values[c * Pushes + slot];
            if (value == NotYet) {
                const std::int32_t push = slot - MostPush;
                const Rgb& drawn = region.drawn[c];
                value = region.takes[c] ? rules.nearest_dithered({channel(drawn.red + push), channel(drawn.green + push),
                                                                  channel(drawn.blue + push)})
                                        : out[x];
            }
            out[x] = value;
        }
    }
}

// Error diffusion, serpentine: even rows left to right, odd rows back. The
// error is spread in sRGB channel values, held in 1/256ths of a value, each
// share rounded down (a shift, where truncating towards zero would lengthen
// the chain from one pixel to the next), and only between drawn pixels that
// take it: a pixel that takes none is still given its share below, which it
// never reads, so that share is dropped.
void floyd_steinberg(const DitherRegion& region, ColourRules& rules, Image& image)
{
    constexpr int Shift = 8;
    constexpr std::int32_t One = 1 << Shift, Most = 255 * One;
    using Error = std::array<std::int32_t, 3>;
    const PictureWindow& window = region.window;
    const int width = window.width;
    // One slot either side, so the neighbours of the ends need no test.
    std::vector<Error> row(static_cast<std::size_t>(width) + 2), below(row.size());
    for (int y = 0; y < window.height; ++y) {
        const std::uint32_t* colours = picture_row(window, y);
        Pixel* out = image_row(window, image, y);
        const int step = (window.top + y) % 2 == 0 ? 1 : -1;
        // What the pixel before passes on, held here rather than in `row`
        // so that the next pixel need not wait for it to be stored.
        Error passed{};
        for (int i = 0; i < width; ++i) {
            const int x = step > 0 ? i : width - 1 - i;
            const std::uint32_t colour = colours[x];
            if (!region.takes[colour]) {
                passed = {};
                continue;
            }
            const Rgb& c = region.drawn[colour];
            const auto slot = static_cast<std::size_t>(x + 1);
            const Error& carried = row[slot];
            const Error wanted{std::clamp(c.red * One + carried[0] + passed[0], 0, Most),
                               std::clamp(c.green * One + carried[1] + passed[1], 0, Most),
                               std::clamp(c.blue * One + carried[2] + passed[2], 0, Most)};
            const std::uint8_t index =
                rules.nearest_dithered({(wanted[0] + One / 2) >> Shift, (wanted[1] + One / 2) >> Shift, (wanted[2] + One / 2) >> Shift});
            out[x] = index;
            const Rgb& got = Palette[index];
            const Error error{wanted[0] - got.red * One, wanted[1] - got.green * One, wanted[2] - got.blue * One};
            const auto ahead = static_cast<std::size_t>(x + 1 + step), behind = static_cast<std::size_t>(x + 1 - step);
            for (std::size_t k = 0; k < 3; ++k) {
                passed[k] = (error[k] * 7) >> 4;
                below[behind][k] += (error[k] * 3) >> 4;
                below[slot][k] += (error[k] * 5) >> 4;
                below[ahead][k] += error[k] >> 4;
            }
        }
        row.swap(below);
        std::fill(below.begin(), below.end(), Error{});
    }
}

}  // namespace

std::span<const std::string_view> dither_names()
{
    return DitherNames;
}

std::optional<Dither> parse_dither(std::string_view text)
{
    const auto found = std::find(DitherNames.begin(), DitherNames.end(), text);
    if (found == DitherNames.end()) return std::nullopt;
    return static_cast<Dither>(found - DitherNames.begin());
}

std::string_view dither_name(Dither dither)
{
    const auto index = static_cast<std::size_t>(dither);
    return index < DitherNames.size() ? DitherNames[index] : DitherNames[0];
}

void dither_pixels(Dither dither, const DitherRegion& region, ColourRules& rules, Image& image)
{
    switch (dither) {
    case Dither::None: return;
    case Dither::FloydSteinberg: floyd_steinberg(region, rules, image); return;
    case Dither::Bayer4: ordered<4>(region, rules, image); return;
    case Dither::Bayer8: ordered<8>(region, rules, image); return;
    }
}

}  // namespace tess
