#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <system_error>
#include <type_traits>
#include <utility>
#include <vector>

namespace tess::files {

// Why a file was refused, beside the system's own errors (errno values).
enum class Refusal {
    not_a_regular_file = 1,
    has_other_links,
    is_the_input,
    too_large,
};

std::error_code make_error_code(Refusal refusal);

}  // namespace tess::files

template <>
struct std::is_error_code_enum<tess::files::Refusal> : std::true_type {};

namespace tess::files {

// Makes sure descriptors 0, 1 and 2 are open, on /dev/null where one was
// closed, so that no file the program opens later takes the place of
// standard input or output. False if /dev/null could not stand in.
bool open_standard_descriptors();

// A descriptor that closes itself.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept;
    ~Descriptor();

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

    // Closes it now, reporting what the destructor would have to ignore.
    std::error_code close();

private:
    int fd_ = -1;
};

// Opens `path` for reading. A folder is refused (is_a_directory); pipes and
// devices are read like files.
Descriptor open_input(const std::string& path, std::error_code& error);

// Opens `path` for writing, creating it with mode 0666 less the umask, and
// empties it. Refused, with nothing changed: a symlink at `path` (never
// followed: too_many_symbolic_link_levels), anything but a regular file (a
// FIFO is not waited on), a file with other hard links, and the file open on
// descriptor `input` when one is given.
Descriptor open_output(const std::string& path, std::error_code& error, int input = -1);

// Writes all of `bytes`, however many calls it takes.
std::error_code write_all(int fd, std::span<const char> bytes);

// Paths below are taken in folder `dir`, an open folder's descriptor, or as
// given with AT_FDCWD.

// Whether `path` may be replaced: absent, or a regular file. A symlink is
// refused (too_many_symbolic_link_levels), as is anything else.
std::error_code check_replaceable(int dir, const std::string& path);

// A new, empty file beside `path` (mode 0666 less the umask), for the
// content that is to replace it; its name goes to `temporary`.
Descriptor create_temporary(int dir, const std::string& path, std::string& temporary, std::error_code& error);

// Replaces `path` whole or not at all: the bytes go to a temporary file
// beside it, which is then renamed over `path`. Refused as
// check_replaceable says; the temporary file is removed on any failure.
std::error_code write_file_atomically(int dir, const std::string& path, std::span<const std::uint8_t> bytes);

// The whole content of the regular file at `path` (symlinks followed), if it
// holds at most `max_bytes`; a larger file is refused (too_large) before
// anything is allocated for it, anything else than a regular file (a FIFO
// is not waited on) as not_a_regular_file.
std::vector<std::uint8_t> read_file(const std::string& path, std::size_t max_bytes, std::error_code& error);

}  // namespace tess::files
