#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "gif/gif_error.hpp"
#include "palette/palette.hpp"

namespace tess {

// The largest animation a caller takes; each is checked before the memory it
// would size is set aside.
struct GifLimits {
    std::uint32_t max_width;
    std::uint32_t max_height;
    std::uint64_t max_pixels;        // of the screen, so of every frame
    std::uint32_t max_frames;
    std::uint64_t max_total_pixels;  // screen pixels times frames
};

struct GifFrame {
    std::vector<std::uint8_t> rgba;  // the whole screen as a viewer shows it: 8-bit RGBA per pixel, row by row
    int delay_ms = 0;
};

// The same frames as indices into the one global colour table. Only an
// animation whose every frame draws from that table, with the same
// transparent index (or none and no pixel left undrawn), has this form.
struct GifIndexed {
    std::vector<Rgb> palette;                      // the global table as stored: 2 to 256 entries
    std::optional<std::uint8_t> transparent;      // within the palette
    std::vector<std::vector<std::uint8_t>> frames;  // one index per screen pixel, row by row
};

struct GifAnimation {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<GifFrame> frames;      // at least one
    std::optional<int> loop_count;     // from a NETSCAPE2.0 block; 0 loops forever
    std::optional<GifIndexed> indexed;
};

// True when `file` starts with a GIF87a or GIF89a signature: enough to tell a
// GIF from a PNG or an XPM, not that it is readable.
bool looks_like_gif(std::span<const std::uint8_t> file);

// Every frame composed as a viewer shows it: each frame's rectangle drawn over
// the frames before it through its transparent index, then disposed of (kept,
// cleared to transparent, or put back as it was before the frame). Throws
// GifError for a damaged or truncated file, or one over `limits`;
// std::bad_alloc only if an animation within `limits` finds no memory.
GifAnimation read_gif(std::span<const std::uint8_t> file, const GifLimits& limits);

}  // namespace tess
