#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <vector>

namespace tess {

// The whole of a regular file of at most `max_bytes`; anything else raises
// PackError naming the file.
std::vector<std::uint8_t> read_input(const std::filesystem::path& path, std::size_t max_bytes);

// A file that appears whole or not at all: written to a temporary file beside
// `path`, renamed over it by commit(). Without commit the temporary file is
// removed, so a failed run leaves neither a partial file nor a changed one.
// A symlink or anything but a regular file at `path` is refused.
class OutputFile {
public:
    explicit OutputFile(std::filesystem::path path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::ostream& stream();
    void commit();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The folder `unpack` writes into, created if missing, never through a
// symlink. Every file goes in by name (no folders), whole or not at all.
class OutputFolder {
public:
    explicit OutputFolder(std::filesystem::path path);
    ~OutputFolder();
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    void write(const std::string& name, std::span<const std::uint8_t> bytes);
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    int fd_ = -1;
};

}  // namespace tess
