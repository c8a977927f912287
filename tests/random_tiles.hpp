#pragma once

// Valid tile files of random shape, for round-trip properties.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tile/file.hpp"
#include "tile/image.hpp"

namespace tess::testing {

// Scene names a file may hold that are no safe file names.
inline const std::string Names[] = {"walk", "walk", "Walk", "", "a/b", "..", ".hidden", "-x", "tab\there", "new\nline",
                             "\xff\xfe", "say \"hi\"", std::string(127, 'n'), "walk_2"};

inline Image random_image(std::mt19937& random, int height)
{
    Image image{height, std::vector<Pixel>(static_cast<std::size_t>(height) * TileWidth, TransparentPixel)};
    const int style = static_cast<int>(random() % 3);
    for (Pixel& pixel : image.pixels) {
        const unsigned roll = random() % 8;
        if (style == 0 && roll < 3) continue;  // transparent
        pixel = static_cast<Pixel>(roll == 7 ? 240 + random() % 16 : random() % 256);
    }
    return image;
}

// A valid tile file of random shape: scenes, views, frames, heights, indices
// (the duplicate blacks and greens included) and transparency. One image
// uses every index and transparency, which no indexed PNG can hold.
inline std::vector<std::uint8_t> random_tile(std::mt19937& random)
{
    const int views = static_cast<int>(random() % 4);
    const int scenes = static_cast<int>(random() % 5);
    std::vector<std::uint8_t> tile;
    TileFileWriter writer(tile, static_cast<int>(random() % 256), views, scenes);
    for (int s = 0; s < scenes; ++s) {
        const int frames = static_cast<int>(random() % 4);
        writer.scene(frames, Names[random() % std::size(Names)]);
        const bool same_height = random() % 2 == 0;
        const int scene_height = static_cast<int>(random() % 20);
        for (int k = 0; k < frames * views; ++k) {
            Image image = random_image(random, same_height ? scene_height : static_cast<int>(random() % 20));
            if (s == 0 && k == 0 && image.height > 5) {
                for (std::size_t i = 0; i < 256; ++i) image.pixels[i] = static_cast<Pixel>(i);
                image.pixels.back() = TransparentPixel;
            }
            writer.image(image.height, encode_image(image));
        }
    }
    writer.finish();
    return tile;
}

}  // namespace tess::testing
