#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace tess {

// An Aseprite file that cannot be read, composed or written. The message says
// what is wrong and where, and carries no program name, so each program words
// its own report around it. A fault inside a frame also gives that frame and,
// where it lies in a chunk, the chunk's type, both in the message
// ("frame 3, chunk 0x2005 (cel): ...") and as fields.
class AseError : public std::runtime_error {
public:
    explicit AseError(const std::string& what) : std::runtime_error(what) {}
    AseError(std::uint32_t frame, std::optional<std::uint16_t> chunk, const std::string& what);

    std::optional<std::uint32_t> frame() const { return frame_; }
    std::optional<std::uint16_t> chunk() const { return chunk_; }

private:
    std::optional<std::uint32_t> frame_;
    std::optional<std::uint16_t> chunk_;
};

}  // namespace tess
