#include "pack_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "files/file_stream.hpp"
#include "files/safe_open.hpp"
#include "pack_error.hpp"

namespace tess {

namespace {

[[noreturn]] void fail(const std::filesystem::path& path, const std::string& what)
{
    throw PackError(path.string() + ": " + what);
}

void check_replaceable(int dir, const std::string& name, const std::filesystem::path& shown)
{
    const std::error_code refused = files::check_replaceable(dir, name);
    if (refused == std::errc::too_many_symbolic_link_levels) fail(shown, "is a symlink; not replaced");
    if (refused) fail(shown, refused.message() + "; not replaced");
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
    check_replaceable(AT_FDCWD, state_->path.string(), state_->path);
    std::error_code error;
    files::Descriptor file = files::create_temporary(AT_FDCWD, state_->path.string(), state_->temporary, error);
    if (error) fail(state_->path, "cannot create a temporary file beside it: " + error.message());
    state_->stream = std::make_unique<files::FileStream>(std::move(file));
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
    if (!state_->stream->close()) fail(state_->path, "cannot write");
    check_replaceable(AT_FDCWD, state_->path.string(), state_->path);
    if (::rename(state_->temporary.c_str(), state_->path.c_str()) != 0) fail(state_->path, std::strerror(errno));
    state_->committed = true;
}

OutputFolder::OutputFolder(std::filesystem::path path) : path_(std::move(path))
{
    if (::mkdir(path_.c_str(), 0777) != 0 && errno != EEXIST) {
        fail(path_, std::string("cannot create the folder: ") + std::strerror(errno));
    }
    fd_ = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd_ < 0) {
        if (errno == ELOOP || errno == ENOTDIR) fail(path_, "is not a folder (a symlink is not followed)");
        fail(path_, std::strerror(errno));
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
    if (const std::error_code error = files::write_file_atomically(fd_, name, bytes)) {
        fail(shown, "cannot write: " + error.message());
    }
}

}  // namespace tess
