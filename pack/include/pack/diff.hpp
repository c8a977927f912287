#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <streambuf>
#include <string>
#include <vector>

namespace tess {

// A tile file that a comparison reads twice, opened once: through, to learn
// its scenes and where each one's record starts, then at each scene it
// compares, straight from that record. A regular file is sought, never
// opened again; standard input or a pipe is held in memory.
class TileInput {
public:
    virtual ~TileInput() = default;
    // The file's name in messages.
    virtual const std::string& name() const = 0;
    // A stream from byte `offset` of the file; the one given before is done
    // with.
    virtual std::streambuf& at(std::uint64_t offset) = 0;
    // Whether the file is no longer as it was when it was opened.
    virtual bool changed() const { return false; }
};

// Bytes held in memory (standard input, a pipe) as a TileInput.
class MemoryTileInput final : public TileInput {
public:
    MemoryTileInput(std::string name, std::vector<std::uint8_t> bytes) : name_(std::move(name)), bytes_(std::move(bytes)) {}
    const std::string& name() const override { return name_; }
    std::streambuf& at(std::uint64_t offset) override;

private:
    struct Buffer : std::streambuf {
        void start(std::span<std::uint8_t> bytes, std::size_t offset);
    };
    std::string name_;
    std::vector<std::uint8_t> bytes_;
    Buffer buffer_;
};

// A stream that can be sought (a regular file's) as a TileInput, its
// offsets counted from where it stands when given. A place it cannot go to
// raises PackError.
class StreamTileInput final : public TileInput {
public:
    StreamTileInput(std::string name, std::streambuf& stream);
    const std::string& name() const override { return name_; }
    std::streambuf& at(std::uint64_t offset) override;

private:
    std::string name_;
    std::streambuf& stream_;
    std::streamoff start_;
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
// file raises PackError naming that file, and so does a file that is not
// the same at the second reading as at the first; memory stays flat
// whatever their size, and each file is read at most twice through.
DiffOutcome diff_tile_files(TileInput& a, TileInput& b, std::ostream& out, const DiffOptions& options = {});

}  // namespace tess
