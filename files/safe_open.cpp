// Opening inputs, outputs and folders without being led astray, reading inputs whole, telling files apart.
#include "files/safe_open.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>

#include "last_error.hpp"

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
        case Refusal::outside_folder: return "is outside the folder";
        case Refusal::changed_while_read: return "the file changed while it was read";
        }
        return "unknown refusal";
    }
};

bool clear_nonblocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags != -1 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

// Whether two open descriptors are the same file.
bool same_file(int a, int b)
{
    const std::optional<FileId> first = file_id_of(a);
    return first && first == file_id_of(b);
}

FileVersion version(const struct stat& status)
{
    return {static_cast<std::uint64_t>(status.st_size), status.st_mtim.tv_sec, status.st_mtim.tv_nsec};
}

// A tile file may be tens of megabytes, read whole into memory never used
// before: each of its pages is a fault, which costs far more than copying
// the page in (20 us to 1 us on a virtual machine measured). Memory of that
// size is asked to come in 2 MiB pages where the system offers them; the
// kernel places such allocations on 2 MiB boundaries.
constexpr std::size_t LargePage = std::size_t{2} << 20;

void advise_large_pages(std::vector<std::uint8_t>& bytes)
{
#ifdef MADV_HUGEPAGE
    if (bytes.capacity() < LargePage) return;
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(bytes.data()) / page * page;
    const auto end = reinterpret_cast<std::uintptr_t>(bytes.data() + bytes.capacity()) / page * page;
    // Only advice: where it is not taken, the pages come as usual.
    ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
    (void)bytes;
#endif
}

// Reads `fd` to its end: a regular file of `regular_size` bytes when
// `regular`. More than `max_bytes` is refused (too_large) as soon as it
// comes, a regular file of that size before anything is read.
std::vector<std::uint8_t> read_to_end(int fd, bool regular, std::uint64_t regular_size, std::size_t max_bytes,
                                      std::error_code& error)
{
    if (regular && regular_size > max_bytes) {
        error = Refusal::too_large;
        return {};
    }
    std::vector<std::uint8_t> bytes;
    if (regular) {
        // Read in place with a byte to spare: a file that gives its stated
        // size and no more has ended, so it takes one read, not two.
        const auto size = static_cast<std::size_t>(regular_size);
        bytes.reserve(size + 1);
        advise_large_pages(bytes);
        bytes.resize(size + 1);
        std::size_t filled = 0;
        for (;;) {
            if (filled == bytes.size()) {
                if (filled > max_bytes) {
                    error = Refusal::too_large;
                    return {};
                }
                bytes.resize(std::min(bytes.size() * 2, max_bytes + 1));
            }
            const ssize_t got = ::read(fd, bytes.data() + filled, bytes.size() - filled);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                error = last_error();
                return {};
            }
            filled += static_cast<std::size_t>(got);
            if (got == 0 || filled == size) break;
        }
        bytes.resize(filled);
        error.clear();
        return bytes;
    }
    std::array<std::uint8_t, 65536> chunk;
    for (;;) {
        // One byte past the limit is enough to tell an input too large.
        const std::size_t room = max_bytes - bytes.size();
        const std::size_t wanted = room < chunk.size() ? room + 1 : chunk.size();
        const ssize_t got = ::read(fd, chunk.data(), wanted);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = last_error();
            return {};
        }
        if (got == 0) break;
        const auto count = static_cast<std::size_t>(got);
        if (count > room) {
            error = Refusal::too_large;
            return {};
        }
        // Grown by doubling, as insert() would, but never past the limit.
        if (bytes.size() + count > bytes.capacity()) {
            bytes.reserve(std::min(std::max(bytes.capacity() * 2, bytes.size() + count), max_bytes));
        }
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + got);
    }
    error.clear();
    return bytes;
}

// Opens the folder `name` in `dir`, which must not be a symlink. Linux says
// ENOTDIR for a symlink there; ELOOP tells the user what was refused.
Descriptor open_folder_at(int dir, const char* name, std::error_code& error)
{
    Descriptor folder(::openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    error = folder ? std::error_code() : last_error();
    struct stat status {};
    if (error == std::errc::not_a_directory && ::fstatat(dir, name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(status.st_mode)) {
        error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
    }
    return folder;
}

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

Descriptor open_user_input(const std::string& path, std::error_code& error)
{
    if (path != "-") return open_input(path, error);
    Descriptor copy(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0));
    if (!copy) error = last_error();
    return copy;
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

OpenFile open_file_at(int dir, const std::string& path, std::error_code& error)
{
    // Not waiting for a FIFO's writer: it is refused anyway.
    Descriptor file(::openat(dir, path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (!file || ::fstat(file.get(), &status) != 0) {
        error = last_error();
        return {};
    }
    if (!S_ISREG(status.st_mode)) {
        error = Refusal::not_a_regular_file;
        return {};
    }
    error.clear();
    // O_NONBLOCK is left set: it changes nothing for a regular file.
    return {std::move(file), {status.st_dev, status.st_ino}, static_cast<std::uint64_t>(status.st_size)};
}

std::vector<std::uint8_t> read_open_file(const OpenFile& file, std::size_t max_bytes, std::error_code& error)
{
    return read_to_end(file.descriptor.get(), true, file.size, max_bytes, error);
}

std::vector<std::uint8_t> read_file_at(int dir, const std::string& path, std::size_t max_bytes, std::error_code& error,
                                       FileId* id)
{
    const OpenFile file = open_file_at(dir, path, error);
    if (error) return {};
    if (id) *id = file.id;
    return read_open_file(file, max_bytes, error);
}

std::vector<std::uint8_t> read_input(const std::string& path, std::size_t max_bytes, std::error_code& error, FileId* id)
{
    const bool standard_input = path == "-";
    const Descriptor file(standard_input ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!standard_input && !file) {
        error = last_error();
        return {};
    }
    return read_descriptor(standard_input ? STDIN_FILENO : file.get(), max_bytes, error, id);
}

std::vector<std::uint8_t> read_descriptor(int fd, std::size_t max_bytes, std::error_code& error, FileId* id)
{
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        error = last_error();
        return {};
    }
    if (id) *id = {status.st_dev, status.st_ino};
    if (S_ISDIR(status.st_mode)) {
        error = std::make_error_code(std::errc::is_a_directory);
        return {};
    }
    std::vector<std::uint8_t> bytes =
        read_to_end(fd, S_ISREG(status.st_mode), static_cast<std::uint64_t>(status.st_size), max_bytes, error);
    if (!error && S_ISREG(status.st_mode) && version_of(fd) != version(status)) {
        error = Refusal::changed_while_read;
        return {};
    }
    return bytes;
}

std::optional<FileId> file_id(int dir, const std::string& name)
{
    struct stat status {};
    if (::fstatat(dir, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
    return FileId{status.st_dev, status.st_ino};
}

std::optional<FileId> target_file_id(int dir, const std::string& path)
{
    struct stat status {};
    if (::fstatat(dir, path.c_str(), &status, 0) != 0) return std::nullopt;
    return FileId{status.st_dev, status.st_ino};
}

std::optional<FileId> file_id_of(int fd)
{
    struct stat status {};
    if (::fstat(fd, &status) != 0) return std::nullopt;
    return FileId{status.st_dev, status.st_ino};
}

bool is_regular_file(int fd)
{
    struct stat status {};
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}

std::optional<FileVersion> version_of(int fd)
{
    struct stat status {};
    if (::fstat(fd, &status) != 0) return std::nullopt;
    return version(status);
}

std::optional<InputIdentity> identify_user_input(const std::string& path)
{
    struct stat status {};
    if ((path == "-" ? ::fstat(STDIN_FILENO, &status) : ::stat(path.c_str(), &status)) != 0) return std::nullopt;
    return InputIdentity{{status.st_dev, status.st_ino}, S_ISREG(status.st_mode)};
}

Descriptor open_folder_beneath(int dir, const std::string& relative, std::error_code& error)
{
    if (relative.starts_with('/')) {
        error = Refusal::outside_folder;
        return {};
    }
    Descriptor folder = open_folder_at(dir, ".", error);
    for (std::size_t start = 0; !error && start < relative.size();) {
        const std::size_t end = std::min(relative.find('/', start), relative.size());
        const std::string component = relative.substr(start, end - start);
        start = end + 1;
        if (component.empty() || component == ".") continue;
        if (component == "..") {
            error = Refusal::outside_folder;
        } else {
            folder = open_folder_at(folder.get(), component.c_str(), error);
        }
    }
    return error ? Descriptor() : std::move(folder);
}

Descriptor open_user_folder(const std::string& path, bool create, std::error_code& error)
{
    // "link/" and "link/." name what `link` points to; without them, the
    // last component is `link` itself and O_NOFOLLOW applies to it.
    std::string folder = path;
    for (;;) {
        if (folder.size() > 1 && folder.ends_with('/')) {
            folder.pop_back();
        } else if (folder.size() > 2 && folder.ends_with("/.")) {
            folder.resize(folder.size() - 2);
        } else {
            break;
        }
    }
    if (create && ::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
        error = last_error();
        return {};
    }
    return open_folder_at(AT_FDCWD, folder.c_str(), error);
}

}  // namespace tess::files
