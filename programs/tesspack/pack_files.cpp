#include "pack_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "files/file_stream.hpp"
#include "files/safe_open.hpp"
#include "pack_error.hpp"

namespace tess {

namespace {

[[noreturn]] void fail(const std::filesystem::path& path, const std::string& what)
{
    throw PackError(path.string() + ": " + what);
}

std::string system_error(int error) { return std::strerror(error); }

// A name for a temporary file beside the output, hidden and unlikely to exist.
std::string temporary_name(const std::string& name)
{
    static std::mt19937_64 random{std::random_device{}()};
    constexpr char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string suffix;
    for (int i = 0; i < 12; ++i) suffix += digits[random() % 36];
    return "." + name + ".tmp-" + suffix;
}

// Opens a new temporary file in folder `dir` (a descriptor, or AT_FDCWD for a
// path), trying a few names; never follows a symlink.
int create_temporary(int dir, const std::string& folder_prefix, const std::string& name, std::string& chosen)
{
    for (int attempt = 0; attempt < 16; ++attempt) {
        chosen = folder_prefix + temporary_name(name);
        const int fd = ::openat(dir, chosen.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Whether `name` in `dir` may be replaced: absent, or a regular file.
void check_replaceable(int dir, const std::string& name, const std::filesystem::path& shown)
{
    struct stat status {};
    if (::fstatat(dir, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return;
        fail(shown, system_error(errno));
    }
    if (S_ISLNK(status.st_mode)) fail(shown, "is a symlink; not replaced");
    if (!S_ISREG(status.st_mode)) fail(shown, "is not a regular file; not replaced");
}

}  // namespace

std::vector<std::uint8_t> read_input(const std::filesystem::path& path, std::size_t max_bytes)
{
    std::error_code error;
    std::vector<std::uint8_t> bytes = files::read_file(path.string(), max_bytes, error);
    if (error == files::Refusal::too_large) {
        fail(path, "larger than " + std::to_string(max_bytes) + " bytes");
    }
    if (error) fail(path, "cannot read: " + error.message());
    return bytes;
}

struct OutputFile::State {
    std::filesystem::path path;
    std::string temporary;
    std::unique_ptr<files::FileStream> stream;
    bool committed = false;
};

OutputFile::OutputFile(std::filesystem::path path) : state_(std::make_unique<State>())
{
    state_->path = std::move(path);
    const std::filesystem::path folder = state_->path.parent_path();
    const std::string prefix = folder.empty() ? "" : folder.string() + "/";
    check_replaceable(AT_FDCWD, state_->path.string(), state_->path);
    const int fd = create_temporary(AT_FDCWD, prefix, state_->path.filename().string(), state_->temporary);
    if (fd < 0) fail(state_->path, "cannot create a temporary file beside it: " + system_error(errno));
    state_->stream = std::make_unique<files::FileStream>(files::Descriptor(fd));
}

OutputFile::~OutputFile()
{
    if (state_ && !state_->committed) {
        state_->stream.reset();
        ::unlink(state_->temporary.c_str());
    }
}

std::ostream& OutputFile::stream() { return *state_->stream; }

void OutputFile::commit()
{
    if (!state_->stream->close()) fail(state_->path, "cannot write: " + system_error(errno));
    check_replaceable(AT_FDCWD, state_->path.string(), state_->path);
    if (::rename(state_->temporary.c_str(), state_->path.c_str()) != 0) fail(state_->path, system_error(errno));
    state_->committed = true;
}

OutputFolder::OutputFolder(std::filesystem::path path) : path_(std::move(path))
{
    if (::mkdir(path_.c_str(), 0777) != 0 && errno != EEXIST) fail(path_, "cannot create the folder: " + system_error(errno));
    fd_ = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd_ < 0) {
        if (errno == ELOOP || errno == ENOTDIR) fail(path_, "is not a folder (a symlink is not followed)");
        fail(path_, system_error(errno));
    }
}

OutputFolder::~OutputFolder()
{
    if (fd_ >= 0) ::close(fd_);
}

void OutputFolder::write(const std::string& name, std::span<const std::uint8_t> bytes)
{
    const std::filesystem::path shown = path_ / name;
    check_replaceable(fd_, name, shown);
    std::string temporary;
    files::Descriptor file(create_temporary(fd_, "", name, temporary));
    if (!file) fail(shown, "cannot create a temporary file beside it: " + system_error(errno));
    const auto remove = [&] { ::unlinkat(fd_, temporary.c_str(), 0); };
    if (files::write_all(file.get(), std::span(reinterpret_cast<const char*>(bytes.data()), bytes.size())) ||
        file.close()) {
        remove();
        fail(shown, "cannot write: " + system_error(errno));
    }
    if (::renameat(fd_, temporary.c_str(), fd_, name.c_str()) != 0) {
        const int error = errno;
        remove();
        fail(shown, system_error(error));
    }
}

}  // namespace tess
