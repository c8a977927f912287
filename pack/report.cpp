#include "pack/report.hpp"

#include <algorithm>
#include <cstdio>

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
    std::vector<ColourMove> moves;
    double sum = 0;
    for (const auto& [key, pixels] : tally.counts) {
        const Rgb source{static_cast<std::int32_t>(key.first >> 16), static_cast<std::int32_t>(key.first >> 8 & 0xff),
                         static_cast<std::int32_t>(key.first & 0xff)};
        const double difference = ciede2000(source, Palette[key.second]);
        moves.push_back({source, key.second, difference, pixels});
        figures.pixels += pixels;
        if (Palette[key.second] != source) figures.changed += pixels;
        sum += difference * static_cast<double>(pixels);
    }
    if (figures.pixels == 0) return figures;
    figures.mean = sum / static_cast<double>(figures.pixels);
    std::sort(moves.begin(), moves.end(), [](const ColourMove& a, const ColourMove& b) {
        return a.difference != b.difference ? a.difference > b.difference : a.pixels > b.pixels;
    });
    figures.max = moves.front().difference;
    // The least difference that at least 95 % of pixels stay within.
    const std::uint64_t above = figures.pixels - (figures.pixels * 95 + 99) / 100;
    std::uint64_t seen = 0;
    for (const ColourMove& move : moves) {
        seen += move.pixels;
        figures.p95 = move.difference;
        if (seen > above) break;
    }
    moves.resize(std::min(moves.size(), furthest));
    figures.furthest = std::move(moves);
    return figures;
}

std::string report_text(const ColourReport& report)
{
    std::string text;
    for (std::size_t s = 0; s < report.scenes.size(); ++s) {
        const SceneFigures f = scene_figures(report.scenes[s].tally);
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
        const SceneFigures f = scene_figures(report.scenes[s].tally);
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
