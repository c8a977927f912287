// Files that appear whole or not at all (AtomicFile), and the room left on a disk.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdint>

#include "files/safe_open.hpp"
#include "last_error.hpp"

namespace tess::files {

namespace {

// Temporary names tried before giving up on finding a free one.
constexpr int MaxTemporaryNames = 100;

// Calls `take` with fresh temporary names in `folder` ("" or ending in '/')
// until one is free, leaving it in `temporary`; `take` answers whether it
// took the name, leaving errno set when not.
template <typename Take>
std::error_code take_temporary_name(const std::string& folder, std::string& temporary, Take take)
{
    for (int attempt = 0;; ++attempt) {
        static const pid_t process = ::getpid();  // a call a file would cost as much as the write
        temporary = folder + ".tess-" + std::to_string(process) + "-" + std::to_string(attempt) + ".tmp";
        if (take(temporary.c_str())) return {};
        const std::error_code error = last_error();
        if (error != std::errc::file_exists || attempt + 1 == MaxTemporaryNames) {
            temporary.clear();
            return error;
        }
    }
}

// A name in a folder rather than a path: nothing that could lead elsewhere.
bool is_one_component(const std::string& name)
{
    return name.find('/') == std::string::npos && name != "..";
}

// Where the open file `fd` can be named for linkat(), or "" where /proc is
// missing and an unnamed file could never be given a name; that is the
// same for every file, so it is asked once.
std::string name_of_descriptor(int fd)
{
    std::string name = "/proc/self/fd/" + std::to_string(fd);
    static const bool proc_names_files = ::access(name.c_str(), F_OK) == 0;
    return proc_names_files ? name : "";
}

// Whether `name` in `dir` may be replaced (as check_replaceable says), and
// whether there is a file to replace.
std::error_code check_replaceable(int dir, const std::string& name, bool& exists)
{
    struct stat status {};
    exists = false;
    if (::fstatat(dir, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(status.st_mode)) return std::make_error_code(std::errc::too_many_symbolic_link_levels);
        if (!S_ISREG(status.st_mode)) return Refusal::not_a_regular_file;
        exists = true;
    } else if (errno != ENOENT) {
        return last_error();
    }
    return {};
}

}  // namespace

std::error_code check_replaceable(int dir, const std::string& path)
{
    bool exists = false;
    return check_replaceable(dir, path, exists);
}

Descriptor create_temporary(int dir, const std::string& path, std::string& temporary, std::error_code& error)
{
    // In the destination's folder, since rename() cannot cross file systems.
    Descriptor file;
    error = take_temporary_name(path.substr(0, path.rfind('/') + 1), temporary, [&](const char* name) {
        file = Descriptor(::openat(dir, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        return bool(file);
    });
    return file;
}

AtomicFile::AtomicFile(const Descriptor& folder, std::string name, std::error_code& error) : name_(std::move(name))
{
    error = is_one_component(name_) ? std::error_code{} : Refusal::outside_folder;
    if (!error) create(folder.get(), error);
}

void AtomicFile::create(int folder, std::error_code& error)
{
    folder_ = folder;
    bool exists = false;
    error = check_replaceable(folder_, name_, exists);
    if (error) return;
    // An unnamed file leaves nothing behind if the program dies; but it
    // cannot replace a file, so one that is there gets a named temporary.
    if (!exists) {
        file_ = Descriptor(::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
        if (file_ && !name_of_descriptor(file_.get()).empty()) {
            unnamed_ = true;
            return;
        }
        // These say the file system (or the kernel) has no unnamed files.
        if (!file_ && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            error = last_error();
            return;
        }
    }
    file_ = create_temporary(folder_, name_, temporary_, error);
}

AtomicFile::~AtomicFile()
{
    discard();
}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : folder_(other.folder_),
      name_(std::move(other.name_)),
      file_(std::move(other.file_)),
      temporary_(std::exchange(other.temporary_, {})),
      unnamed_(other.unnamed_)
{
}

AtomicFile& AtomicFile::operator=(AtomicFile&& other) noexcept
{
    if (this != &other) {
        discard();
        folder_ = other.folder_;
        name_ = std::move(other.name_);
        file_ = std::move(other.file_);
        temporary_ = std::exchange(other.temporary_, {});
        unnamed_ = other.unnamed_;
    }
    return *this;
}

void AtomicFile::discard()
{
    file_.close();
    if (!temporary_.empty()) ::unlinkat(folder_, std::exchange(temporary_, {}).c_str(), 0);
}

std::error_code AtomicFile::write(std::span<const std::uint8_t> bytes)
{
    return write_all(file_.get(), {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
}

std::error_code AtomicFile::commit()
{
    if (!file_) return std::make_error_code(std::errc::bad_file_descriptor);
    if (unnamed_) {
        // An unnamed file can be given a name only while it is open; linkat()
        // takes only a free name, so what took it since is checked below.
        const std::string self = name_of_descriptor(file_.get());
        if (::linkat(AT_FDCWD, self.c_str(), folder_, name_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            if (const std::error_code error = file_.close()) {
                ::unlinkat(folder_, name_.c_str(), 0);
                return error;
            }
            return {};
        }
        if (errno != EEXIST) return last_error();
        if (const std::error_code refused = check_replaceable(folder_, name_)) return refused;
        // A file to replace: named beside it, then renamed over it below.
        const std::error_code error = take_temporary_name("", temporary_, [&](const char* name) {
            return ::linkat(AT_FDCWD, self.c_str(), folder_, name, AT_SYMLINK_FOLLOW) == 0;
        });
        if (error) return error;
    }
    if (!unnamed_) {
        if (const std::error_code refused = check_replaceable(folder_, name_)) return refused;
    }
    if (const std::error_code error = file_.close()) return error;
    if (::renameat(folder_, temporary_.c_str(), folder_, name_.c_str()) != 0) return last_error();
    temporary_.clear();
    return {};
}

std::optional<Room> room_in(int dir)
{
    struct statvfs status {};
    if (::fstatvfs(dir, &status) != 0) return std::nullopt;
    const std::uint64_t blocks = status.f_bavail;
    const std::uint64_t block_size = status.f_frsize;
    const std::uint64_t bytes = block_size != 0 && blocks > UINT64_MAX / block_size ? UINT64_MAX : blocks * block_size;
    // Such a file system reports no inodes at all.
    const std::uint64_t files = status.f_files == 0 ? UINT64_MAX : status.f_favail;
    return Room{bytes, files};
}

}  // namespace tess::files
