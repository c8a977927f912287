#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <streambuf>
#include <string>
#include <vector>

namespace tess {

// A tile file that can be read again from its start: a comparison reads each
// file once to learn its scenes, then again to compare them, and once more
// for a scene it must go back to.
class TileInput {
public:
    virtual ~TileInput() = default;
    // The file's name in messages.
    virtual const std::string& name() const = 0;
    // A stream from the file's first byte; the one given before is done with.
    virtual std::streambuf& open() = 0;
};

// Bytes held in memory (standard input, a pipe) as a TileInput.
class MemoryTileInput final : public TileInput {
public:
    MemoryTileInput(std::string name, std::vector<std::uint8_t> bytes) : name_(std::move(name)), bytes_(std::move(bytes)) {}
    const std::string& name() const override { return name_; }
    std::streambuf& open() override;

private:
    struct Buffer : std::streambuf {
        void start(std::span<std::uint8_t> bytes);
    };
    std::string name_;
    std::vector<std::uint8_t> bytes_;
    Buffer buffer_;
};

struct DiffOptions {
    bool json = false;
    bool picture = false;  // draw every image whose pixels differ
};

struct DiffOutcome {
    bool differ = false;        // header, scenes, frames, heights or pixels
    bool bytes_differ = false;  // anything, encodings and trailing bytes too
    std::uint64_t images_changed = 0;
    std::vector<std::uint8_t> picture;  // a PNG, when asked and an image differs
};

// What changed from `a` to `b`, written to `out` in file order: revision and
// views; scenes added, removed or renamed (paired by name, then by
// position); frame counts; and each image whose pixels differ, with its
// height change, how many pixels changed and the box around them. Images
// whose pixels are the same but whose data is not are reported as such.
// The picture has a row an image that differs: A, B, and B faded with the
// changed pixels in magenta, held to MaxPicturePixels. Damage in either
// file raises PackError naming that file; memory stays flat whatever their
// size.
DiffOutcome diff_tile_files(TileInput& a, TileInput& b, std::ostream& out, const DiffOptions& options = {});

}  // namespace tess
