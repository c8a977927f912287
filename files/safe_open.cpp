#include "files/safe_open.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace tess::files {

namespace {

class RefusalCategory final : public std::error_category {
public:
    const char* name() const noexcept override { return "tess files"; }
    std::string message(int value) const override
    {
        switch (static_cast<Refusal>(value)) {
        case Refusal::not_a_regular_file: return "not a regular file";
        case Refusal::has_other_links: return "the file has other hard links";
        case Refusal::is_the_input: return "the file is the input";
        case Refusal::too_large: return "the file is too large";
        }
        return "unknown refusal";
    }
};

std::error_code last_error() { return {errno, std::generic_category()}; }

bool clear_nonblocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags != -1 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

// Whether two open descriptors are the same file.
bool same_file(int a, int b)
{
    struct stat first {};
    struct stat second {};
    return ::fstat(a, &first) == 0 && ::fstat(b, &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

// Temporary names tried before giving up on finding a free one.
constexpr int MaxTemporaryNames = 100;

}  // namespace

std::error_code make_error_code(Refusal refusal)
{
    static const RefusalCategory category;
    return {static_cast<int>(refusal), category};
}

bool open_standard_descriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // Every descriptor below this one is open, so open() hands out this one.
        if (::open("/dev/null", O_RDWR) != fd) return false;
    }
    return true;
}

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept
{
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

Descriptor::~Descriptor()
{
    close();
}

std::error_code Descriptor::close()
{
    if (fd_ < 0) return {};
    return ::close(std::exchange(fd_, -1)) == 0 ? std::error_code() : last_error();
}

Descriptor open_input(const std::string& path, std::error_code& error)
{
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (!file || ::fstat(file.get(), &status) != 0) {
        error = last_error();
        return {};
    }
    if (S_ISDIR(status.st_mode)) {
        error = std::make_error_code(std::errc::is_a_directory);
        return {};
    }
    error.clear();
    return file;
}

Descriptor open_output(const std::string& path, std::error_code& error, int input)
{
    // Not emptied at open, nor waiting for a FIFO's reader: what is there is
    // checked first.
    Descriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666));
    struct stat status {};
    if (!file || ::fstat(file.get(), &status) != 0) {
        error = last_error();
        return {};
    }
    if (input >= 0 && same_file(file.get(), input)) {
        error = Refusal::is_the_input;
    } else if (!S_ISREG(status.st_mode)) {
        error = Refusal::not_a_regular_file;
    } else if (status.st_nlink > 1) {
        error = Refusal::has_other_links;
    } else {
        if (!clear_nonblocking(file.get()) || ::ftruncate(file.get(), 0) != 0) {
            error = last_error();
        } else {
            error.clear();
            return file;
        }
    }
    return {};
}

std::error_code write_all(int fd, std::span<const char> bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return last_error();
        if (written == 0) return std::make_error_code(std::errc::io_error);
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return {};
}

std::error_code check_replaceable(int dir, const std::string& path)
{
    struct stat status {};
    if (::fstatat(dir, path.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(status.st_mode)) return std::make_error_code(std::errc::too_many_symbolic_link_levels);
        if (!S_ISREG(status.st_mode)) return Refusal::not_a_regular_file;
    } else if (errno != ENOENT) {
        return last_error();
    }
    return {};
}

Descriptor create_temporary(int dir, const std::string& path, std::string& temporary, std::error_code& error)
{
    // In the destination's folder, since rename() cannot cross file systems.
    const std::string folder = path.substr(0, path.rfind('/') + 1);
    for (int attempt = 0;; ++attempt) {
        temporary = folder + ".tess-" + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
        Descriptor file(::openat(dir, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (file || errno != EEXIST || attempt + 1 == MaxTemporaryNames) {
            error = file ? std::error_code{} : last_error();
            return file;
        }
    }
}

std::error_code write_file_atomically(int dir, const std::string& path, std::span<const std::uint8_t> bytes)
{
    if (const std::error_code refused = check_replaceable(dir, path)) return refused;
    std::string temporary;
    std::error_code error;
    Descriptor file = create_temporary(dir, path, temporary, error);
    if (error) return error;
    error = write_all(file.get(), {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    if (!error) error = file.close();
    if (!error && ::renameat(dir, temporary.c_str(), dir, path.c_str()) != 0) error = last_error();
    if (error) ::unlinkat(dir, temporary.c_str(), 0);
    return error;
}

std::vector<std::uint8_t> read_file(const std::string& path, std::size_t max_bytes, std::error_code& error)
{
    // Not waiting for a FIFO's writer: it is refused anyway.
    Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (!file || ::fstat(file.get(), &status) != 0) {
        error = last_error();
        return {};
    }
    if (!S_ISREG(status.st_mode)) {
        error = Refusal::not_a_regular_file;
        return {};
    }
    if (!clear_nonblocking(file.get())) {
        error = last_error();
        return {};
    }
    if (static_cast<std::uintmax_t>(status.st_size) > max_bytes) {
        error = Refusal::too_large;
        return {};
    }

    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(status.st_size));
    std::array<std::uint8_t, 65536> chunk;
    for (;;) {
        // One byte past the limit is enough to tell a file that grew too large.
        const std::size_t room = max_bytes - bytes.size();
        const std::size_t wanted = room < chunk.size() ? room + 1 : chunk.size();
        const ssize_t got = ::read(file.get(), chunk.data(), wanted);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = last_error();
            return {};
        }
        if (got == 0) break;
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + got);
        if (bytes.size() > max_bytes) {
            error = Refusal::too_large;
            return {};
        }
    }
    error.clear();
    return bytes;
}

}  // namespace tess::files
