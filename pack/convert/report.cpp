// The colour report: what a build did to each scene's colours, and each image seen three ways.
#include "pack/report.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <tuple>

#include "pack/text.hpp"
#include "palette/ciede2000.hpp"

namespace tess {

namespace {

std::string hex(const Rgb& rgb)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", static_cast<unsigned>(rgb.red), static_cast<unsigned>(rgb.green),
                  static_cast<unsigned>(rgb.blue));
    return text;
}

void put_rgb(std::vector<std::uint8_t>& rgba, std::size_t at, const Rgb& colour)
{
    rgba[at] = static_cast<std::uint8_t>(colour.red);
    rgba[at + 1] = static_cast<std::uint8_t>(colour.green);
    rgba[at + 2] = static_cast<std::uint8_t>(colour.blue);
    rgba[at + 3] = 255;
}

std::string fixed(double value, int digits = 2)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    return text;
}

}  // namespace

std::array<std::uint8_t, 3> heat_colour(double difference)
{
    // Stops at 0, 5, 10 and 20.
    const auto ramp = [](double t) { return static_cast<std::uint8_t>(std::lround(std::clamp(t, 0.0, 1.0) * 255)); };
    return {ramp(difference / 5), ramp((difference - 5) / 5), ramp((difference - 10) / 10)};
}

ComparedImage compared_image(const PictureWindow& window, const ColourOptions& options, const Image& image)
{
    ComparedImage compared{window.image_width, window.image_height, {}, {}, {}};
    const std::size_t size = static_cast<std::size_t>(window.image_width) * static_cast<std::size_t>(window.image_height) * 4;
    compared.source.assign(size, 0);
    compared.result.assign(size, 0);
    compared.heat.assign(size, 0);
    const Picture& picture = *window.picture;
    for (int y = 0; y < window.height; ++y) {
        const int iy = window.top + y;
        for (int x = 0; x < window.width; ++x) {
            const int ix = window.left + x;
            const PictureColour& colour =
                picture.colours[picture.pixels[static_cast<std::size_t>(window.y0 + y) * static_cast<std::size_t>(picture.width) +
                                               static_cast<std::size_t>(window.x0 + x)]];
            const std::size_t at =
                (static_cast<std::size_t>(iy) * static_cast<std::size_t>(window.image_width) + static_cast<std::size_t>(ix)) * 4;
            put_rgb(compared.source, at, colour.rgb);
            compared.source[at + 3] = colour.alpha;
            const Pixel value = image.pixels[static_cast<std::size_t>(iy) * TileWidth + static_cast<std::size_t>(ix)];
            if (value == TransparentPixel) continue;
            const Rgb& entry = Palette[static_cast<std::size_t>(value)];
            put_rgb(compared.result, at, entry);
            const auto heat = heat_colour(ciede2000(drawn_colour(colour, options), entry));
            put_rgb(compared.heat, at, {heat[0], heat[1], heat[2]});
        }
    }
    return compared;
}

SceneFigures scene_figures(const ColourTally& tally, std::size_t furthest)
{
    SceneFigures figures;
    // The furthest first, the most pixels first among equals, then by colour
    // and entry, so that the report is the same on every machine.
    const auto before = [](const ColourMove& a, const ColourMove& b) {
        if (a.difference != b.difference) return a.difference > b.difference;
        if (a.pixels != b.pixels) return a.pixels > b.pixels;
        const auto key = [](const ColourMove& m) { return std::tuple(m.source.red, m.source.green, m.source.blue, m.index); };
        return key(a) < key(b);
    };
    // Only the differences and their pixels are kept for the percentile: a
    // scene of noise has as many colours as pixels.
    std::vector<std::pair<double, std::uint32_t>> spread;
    double sum = 0;
    tally.for_each([&](const Rgb& source, std::uint8_t index, std::uint32_t pixels) {
        const ColourMove move{source, index, ciede2000(source, Palette[index]), pixels};
        spread.emplace_back(move.difference, pixels);
        figures.pixels += pixels;
        if (Palette[index] != source) figures.changed += pixels;
        sum += move.difference * static_cast<double>(pixels);
        if (furthest == 0) return;
        if (figures.furthest.size() == furthest) {
            if (!before(move, figures.furthest.back())) return;
            figures.furthest.pop_back();
        }
        figures.furthest.insert(std::upper_bound(figures.furthest.begin(), figures.furthest.end(), move, before), move);
    });
    if (figures.pixels == 0) return figures;
    figures.mean = sum / static_cast<double>(figures.pixels);
    std::sort(spread.begin(), spread.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    figures.max = spread.front().first;
    // The least difference that at least 95 % of pixels stay within.
    const std::uint64_t above = figures.pixels - (figures.pixels * 95 + 99) / 100;
    std::uint64_t seen = 0;
    for (const auto& [difference, pixels] : spread) {
        seen += pixels;
        figures.p95 = difference;
        if (seen > above) break;
    }
    return figures;
}

std::string report_text(const ColourReport& report)
{
    std::string text;
    for (std::size_t s = 0; s < report.scenes.size(); ++s) {
        const SceneFigures& f = report.scenes[s].figures;
        text += "scene " + std::to_string(s) + " \"" + printable(report.scenes[s].name) + "\": " +
                std::to_string(f.pixels) + " opaque pixels, " + std::to_string(f.changed) +
                " changed colour; CIEDE2000 mean " + fixed(f.mean) + ", 95th percentile " + fixed(f.p95) + ", max " +
                fixed(f.max) + "\n";
        for (const ColourMove& move : f.furthest) {
            if (move.difference == 0) break;
            text += "  " + hex(move.source) + " \xe2\x86\x92 " + std::to_string(move.index) + " " +
                    hex(Palette[move.index]) + " \xce\x94" "E " + fixed(move.difference, 1) + " (" +
                    std::to_string(move.pixels) + " pixels)\n";
        }
    }
    return text;
}

std::string report_json(const ColourReport& report)
{
    std::string text = "{\"scenes\": [";
    for (std::size_t s = 0; s < report.scenes.size(); ++s) {
        const SceneFigures& f = report.scenes[s].figures;
        text += std::string(s ? ", " : "") + "{" + named_text("name", report.scenes[s].name, Notation::Json) +
                ", \"pixels\": " + std::to_string(f.pixels) + ", \"changed\": " + std::to_string(f.changed) +
                ", \"mean\": " + fixed(f.mean, 4) + ", \"p95\": " + fixed(f.p95, 4) + ", \"max\": " + fixed(f.max, 4) +
                ", \"furthest\": [";
        for (std::size_t m = 0; m < f.furthest.size(); ++m) {
            const ColourMove& move = f.furthest[m];
            text += std::string(m ? ", " : "") + "{\"source\": \"" + hex(move.source) + "\", \"index\": " +
                    std::to_string(move.index) + ", \"entry\": \"" + hex(Palette[move.index]) +
                    "\", \"difference\": " + fixed(move.difference, 4) + ", \"pixels\": " + std::to_string(move.pixels) +
                    "}";
        }
        text += "]}";
    }
    return text + "]}\n";
}

}  // namespace tess
