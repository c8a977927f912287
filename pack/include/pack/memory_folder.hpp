#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "pack/build.hpp"
#include "pack/unpack.hpp"

namespace tess {

// A folder in memory: what unpack writes into it, build reads back by the
// same names, as `verify` takes a tile file round. Notes go nowhere.
class MemoryFolder : public PictureSource, public UnpackSink {
public:
    // Raises PackError for a name it does not hold.
    std::vector<std::uint8_t> read(const std::string& path) override;
    void write(const std::string& name, std::span<const std::uint8_t> bytes) override;
    void note(const std::string&) override {}

    std::map<std::string, std::vector<std::uint8_t>> files;
};

}  // namespace tess
