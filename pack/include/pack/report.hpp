#pragma once

#include <string>
#include <vector>

#include "pack/picture.hpp"

namespace tess {

// What a build did to each scene's colours.
struct SceneColours {
    std::string name;
    ColourTally tally;
};

struct ColourReport {
    std::vector<SceneColours> scenes;
};

// A source colour and the entry it became.
struct ColourMove {
    Rgb source;
    std::uint8_t index;
    double difference;
    std::uint64_t pixels;
};

// A scene's figures over its opaque pixels: how many changed colour, the
// CIEDE2000 mean, 95th percentile and maximum, and the colours that moved
// furthest, furthest first.
struct SceneFigures {
    std::uint64_t pixels = 0;
    std::uint64_t changed = 0;
    double mean = 0;
    double p95 = 0;
    double max = 0;
    std::vector<ColourMove> furthest;
};

SceneFigures scene_figures(const ColourTally& tally, std::size_t furthest = 5);

// The report as lines to read, or as one JSON object for scripts.
std::string report_text(const ColourReport& report);
std::string report_json(const ColourReport& report);

}  // namespace tess
