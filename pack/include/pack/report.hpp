#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "pack/colours.hpp"

namespace tess {

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

// One image of a build seen three ways, each `width` x `height` RGBA: the
// pixels as drawn, the same in the palette, and the CIEDE2000 difference
// between them as a heat map (transparent where the image is).
struct ComparedImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> source;
    std::vector<std::uint8_t> result;
    std::vector<std::uint8_t> heat;
};

// The comparison for the pixels of a window that became `image`.
ComparedImage compared_image(const PictureWindow& window, const ColourOptions& options, const Image& image);

// The heat map's colour for a difference: black where none, through red
// (about 5, plainly another shade) and yellow to white from 20 on.
std::array<std::uint8_t, 3> heat_colour(double difference);

// What a build did to each scene's colours, summed up as each scene is done.
struct SceneColours {
    std::string name;
    SceneFigures figures;
};

struct ColourReport {
    std::vector<SceneColours> scenes;
    // Past 0, every image is kept in `compared` too, up to this many pixels
    // in all; more raises PackError.
    std::uint64_t compare_pixels = 0;
    std::vector<ComparedImage> compared;
};

SceneFigures scene_figures(const ColourTally& tally, std::size_t furthest = 5);

// The report as lines to read, or as one JSON object for scripts.
std::string report_text(const ColourReport& report);
std::string report_json(const ColourReport& report);

}  // namespace tess
