#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tess {

// Every scene as a sheet (a row a view, a column a frame, cells as high as
// its tallest image), stacked top to bottom, in RGBA with a transparent
// background, each pixel `scale` times.
std::vector<std::uint8_t> preview_png(std::span<const std::uint8_t> tile, int scale);

// The largest animated preview: the frames of all scenes together, in
// pixels, since they are all held until the GIF is written.
inline constexpr std::uint64_t MaxAnimationPixels = std::uint64_t{1} << 27;

// What a viewer waits after a scene's last frame before the next scene.
inline constexpr int ScenePauseMs = 600;

// An animated GIF of a tile file: each frame shows a scene's views side by
// side at one frame, each pixel `scale` times, `delay_ms` apart, looping
// forever with a transparent background. The scene named `scene`, or every
// scene in turn, with a pause after each. The palette's colours are exact:
// its duplicate entries are drawn as the first of their colour, which frees
// an index for transparency.
std::vector<std::uint8_t> preview_gif(std::span<const std::uint8_t> tile, const std::optional<std::string>& scene,
                                      int scale, int delay_ms);

}  // namespace tess
