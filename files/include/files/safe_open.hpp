#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
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
    outside_folder,
    changed_while_read,
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

// Which file a name or a descriptor is, to tell when an output would
// replace one of the inputs.
struct FileId {
    dev_t device;
    ino_t inode;
    friend bool operator==(const FileId&, const FileId&) = default;
};

// The file at `name` in folder `dir` (AT_FDCWD for a path), a symlink itself
// rather than its target; nullopt when there is none.
std::optional<FileId> file_id(int dir, const std::string& name);
// The file `path` in folder `dir` leads to, symlinks followed.
std::optional<FileId> target_file_id(int dir, const std::string& path);
std::optional<FileId> file_id_of(int fd);
// Whether `fd` is open on a regular file, which can be opened and read again
// (a pipe or a terminal cannot).
bool is_regular_file(int fd);

// What a write to a regular file changes: its size and modification time.
// Taken on the open descriptor before and after reading, it tells a file
// that changed under the reader.
struct FileVersion {
    std::uint64_t size;
    std::int64_t modified_seconds;
    std::int64_t modified_nanoseconds;
    friend bool operator==(const FileVersion&, const FileVersion&) = default;
};
std::optional<FileVersion> version_of(int fd);

// The file an input the user named is ("-" for standard input, symlinks
// followed), found without opening it, so a FIFO is not waited on; nullopt
// when there is none.
struct InputIdentity {
    FileId id;
    bool regular;  // a regular file, which may be opened and read again
};
std::optional<InputIdentity> identify_user_input(const std::string& path);

// Opens the folder `relative` ("a/b", or "" or "." for `dir` itself) below
// the open folder `dir`, one component at a time, never following a symlink
// (too_many_symbolic_link_levels), never leaving `dir`: a ".." component or
// an absolute path is refused (outside_folder). Nothing is created.
Descriptor open_folder_beneath(int dir, const std::string& relative, std::error_code& error);

// The folder the user named, created when missing and `create` is set (its
// parents are not). Symlinks among its parents are the user's own choice and
// are followed; the folder itself must not be one, even written "link/"
// (too_many_symbolic_link_levels), nor anything but a folder.
Descriptor open_user_folder(const std::string& path, bool create, std::error_code& error);

// Opens `path` for reading. A folder is refused (is_a_directory); pipes and
// devices are read like files.
Descriptor open_input(const std::string& path, std::error_code& error);
// The same, with "-" for (a copy of) standard input.
Descriptor open_user_input(const std::string& path, std::error_code& error);

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

// A file that appears whole at `name` in folder `dir` on commit(), or not at
// all. It is unnamed until then where the file system allows (O_TMPFILE), so
// that even a killed program leaves nothing behind; elsewhere it is a
// temporary name beside `name`, removed by the destructor. `name` is one
// component (a '/' or ".." is refused: outside_folder). A symlink or
// anything but a regular file at `name` is refused when the file is created
// and again on commit, with nothing changed.
class AtomicFile {
public:
    // `folder` must stay open as long as the file.
    AtomicFile(const Descriptor& folder, std::string name, std::error_code& error);
    ~AtomicFile();
    AtomicFile(AtomicFile&& other) noexcept;
    AtomicFile& operator=(AtomicFile&& other) noexcept;

    // The file at the name now, which commit() would replace, if any.
    std::optional<FileId> replaces() const { return file_id(folder_, name_); }

    // Writes all of `bytes`, or says why not (no_space_on_device ...).
    std::error_code write(std::span<const std::uint8_t> bytes);
    // Puts the file in place and closes it. On failure nothing at `name` has
    // changed, and the destructor removes the file.
    std::error_code commit();

private:
    void create(int folder, std::error_code& error);
    void discard();

    int folder_ = -1;
    std::string name_;
    Descriptor file_;
    std::string temporary_;  // the name the file has until commit, if any
    bool unnamed_ = false;
};

// What a file system has room for: bytes and files (inodes) an unprivileged
// program may still take.
struct Room {
    std::uint64_t bytes;
    std::uint64_t files;
};

// Room in the file system holding the open folder `dir`; nullopt when the
// system cannot tell. A file system without a fixed number of inodes has
// room for any number of files.
std::optional<Room> room_in(int dir);

// The whole of an input the user named: a regular file, a pipe, a FIFO, a
// character device, or "-" for standard input, read to its end. More than
// `max_bytes` is refused (too_large) without ever holding more; a folder is
// refused (is_a_directory); a regular file whose size or modification time
// is not the same after the reading as before (changed_while_read). `id`,
// when given, gets what was read.
std::vector<std::uint8_t> read_input(const std::string& path, std::size_t max_bytes, std::error_code& error,
                                     FileId* id = nullptr);
// The same from a descriptor already open on the input, from where it stands.
std::vector<std::uint8_t> read_descriptor(int fd, std::size_t max_bytes, std::error_code& error, FileId* id = nullptr);

// The whole content of the regular file at `path` in the open folder `dir`
// (symlinks followed), if it holds at most `max_bytes`; a larger file is
// refused (too_large) before anything is allocated for it, anything else
// than a regular file (a FIFO is not waited on) as not_a_regular_file. `id`,
// when given, gets the file read (a symlink's target).
std::vector<std::uint8_t> read_file_at(int dir, const std::string& path, std::size_t max_bytes, std::error_code& error,
                                       FileId* id = nullptr);

// read_file_at in two steps, for a caller that asks which file a name is
// before it reads it: the name is looked up once. The file as opened: a
// regular file, its identity and its size then.
struct OpenFile {
    Descriptor descriptor;
    FileId id{};
    std::uint64_t size = 0;
};
// Opens the file at `path` in `dir` as read_file_at does, refusing what it refuses but a size.
OpenFile open_file_at(int dir, const std::string& path, std::error_code& error);
// Reads an opened file whole from its start, as read_file_at does.
std::vector<std::uint8_t> read_open_file(const OpenFile& file, std::size_t max_bytes, std::error_code& error);

}  // namespace tess::files
