#include "pack/report.hpp"

#include <algorithm>
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

std::string fixed(double value, int digits = 2)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    return text;
}

}  // namespace

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
