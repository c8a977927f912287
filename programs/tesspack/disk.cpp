// tesspack's disk: inputs read whole, pictures from the manifest's folder, outputs put in place, unpack's folder.
#include "disk.hpp"

#include <algorithm>
#include <iostream>
#include <unordered_set>
#include <utility>

#include "files/folder_list.hpp"
#include "pack/error.hpp"
#include "pack/text.hpp"

namespace tess {

namespace {

// A picture of 64 x 255 pixels is far less; a PNG sheet is held to
// MaxPicturePixels by its reader.
constexpr std::size_t MaxPictureFileBytes = 256 << 20;
// Far more names than a folder of frames holds.
constexpr std::size_t MaxFolderNames = 1'000'000;

[[noreturn]] void fail(const std::string& path, const std::string& what) { throw PackError(Fault::File, what, in_file(path)); }

const std::string ChangedWhileRead = "changed while it was read; read it again once it is still";

// Says why an input could not be read whole.
void check_read_whole(const std::error_code& error, const std::string& shown, std::size_t max_bytes)
{
    if (error == files::Refusal::too_large) fail(shown, "larger than " + std::to_string(max_bytes) + " bytes");
    if (error == files::Refusal::changed_while_read) fail(shown, ChangedWhileRead);
    if (error) fail(shown, "cannot read: " + error.message());
}

// Why a name cannot be written, in the words the user sees after it.
std::string refusal(const std::error_code& error)
{
    if (error == std::errc::too_many_symbolic_link_levels) return "is a symlink; not replaced";
    return error.message() + "; not replaced";
}

std::string joined(const std::string& folder, const std::string& name)
{
    if (folder.empty() || folder == ".") return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// "a/b/c.til" as the folder "a/b" and the name "c.til".
std::pair<std::string, std::string> split_path(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {"", path};
    return {path.substr(0, slash == 0 ? 1 : slash), path.substr(slash + 1)};
}

// The folder the user named, its own symlinks followed: "x/." is x itself,
// wherever x leads.
files::Descriptor open_followed_folder(const std::string& folder, std::error_code& error)
{
    return files::open_user_folder((folder.empty() ? "." : folder) + "/.", false, error);
}

}  // namespace

std::vector<std::uint8_t> read_user_input(const std::string& path, std::size_t max_bytes, files::FileId* id)
{
    std::error_code error;
    std::vector<std::uint8_t> bytes = files::read_input(path, max_bytes, error, id);
    check_read_whole(error, path == "-" ? "standard input" : path, max_bytes);
    return bytes;
}

namespace {

files::Descriptor open_tile_file(const std::string& path, const std::string& shown)
{
    std::error_code error;
    files::Descriptor fd = files::open_user_input(path, error);
    if (error) fail(shown, "cannot read: " + error.message());
    return fd;
}

// A regular file's version, to be compared after reading; nothing for what
// cannot change under the reader once read (a pipe).
std::optional<files::FileVersion> version_to_keep(int fd)
{
    return files::is_regular_file(fd) ? files::version_of(fd) : std::nullopt;
}

}  // namespace

DiskTileInput::DiskTileInput(const std::string& path, std::size_t max_bytes)
{
    const std::string shown = path == "-" ? "standard input" : path;
    files::Descriptor fd = open_tile_file(path, shown);
    if (!files::is_regular_file(fd.get())) {
        std::error_code error;
        std::vector<std::uint8_t> bytes = files::read_descriptor(fd.get(), max_bytes, error);
        check_read_whole(error, shown, max_bytes);
        source_ = std::make_unique<MemoryTileInput>(shown, std::move(bytes));
        return;
    }
    version_ = files::version_of(fd.get());
    file_ = std::make_unique<files::FileStream>(std::move(fd));
    source_ = std::make_unique<StreamTileInput>(shown, *file_->rdbuf());
}

bool DiskTileInput::changed() const { return file_ && files::version_of(file_->descriptor()) != version_; }

TileStream::TileStream(const std::string& path)
    : shown_(path == "-" ? "standard input" : path), file_(open_tile_file(path, shown_)),
      version_(version_to_keep(file_.descriptor()))
{
}

void TileStream::check_unchanged() const
{
    if (version_ && files::version_of(file_.descriptor()) != version_) fail(shown_, ChangedWhileRead);
}

DiskPictures::DiskPictures(const std::string& manifest_path, std::vector<files::FileId> inputs)
    : folder_name_(manifest_path == "-" ? "" : split_path(manifest_path).first), inputs_(std::move(inputs))
{
    std::error_code error;
    folder_ = open_followed_folder(folder_name_, error);
    if (error) fail(folder_name_, "cannot open the manifest's folder: " + error.message());
}

std::vector<std::uint8_t> DiskPictures::read(const std::string& path)
{
    std::error_code error;
    const files::OpenFile file =
        !held_path_.empty() && path == held_path_ ? std::exchange(held_, {}) : files::open_file_at(folder_.get(), path, error);
    held_ = {};
    held_path_.clear();
    std::vector<std::uint8_t> bytes;
    if (!error) bytes = files::read_open_file(file, MaxPictureFileBytes, error);
    if (error == files::Refusal::too_large) fail(path, "larger than " + std::to_string(MaxPictureFileBytes) + " bytes");
    if (error) fail(path, "cannot read: " + error.message());
    inputs_.push_back(file.id);
    return bytes;
}

std::vector<std::string> DiskPictures::list(const std::string& folder)
{
    std::error_code error;
    std::vector<std::string> names = files::list_folder(folder_.get(), folder, MaxFolderNames, error);
    const std::string shown = folder.empty() ? (folder_name_.empty() ? "." : folder_name_) : folder;
    if (error == files::Refusal::too_large) fail(shown, "holds more than " + std::to_string(MaxFolderNames) + " names");
    if (error) fail(shown, "cannot list the folder: " + error.message());
    return names;
}

std::string DiskPictures::identify(const std::string& path)
{
    // A picture is nearly always read right after it is identified: the
    // file is opened now and kept for that read, so its name is looked up
    // once. What cannot be opened for reading is still told apart by name.
    std::error_code error;
    held_ = files::open_file_at(folder_.get(), path, error);
    held_path_ = error ? "" : path;
    const std::optional<files::FileId> id = error ? files::target_file_id(folder_.get(), path) : held_.id;
    // Where the name leads nowhere, reading it says why; its key is marked
    // so that it is never taken for a file's.
    if (!id) return "?" + path;
    return std::to_string(id->device) + ":" + std::to_string(id->inode);
}

bool DiskPictures::was_read(const files::FileId& file) const
{
    return std::find(inputs_.begin(), inputs_.end(), file) != inputs_.end();
}

namespace {

files::AtomicFile new_file(const files::Descriptor& folder, const std::string& name, const std::string& shown)
{
    if (name.empty() || name == "." || name == "..") fail(shown, "names no file");
    std::error_code error;
    files::AtomicFile file(folder, name, error);
    if (error) fail(shown, refusal(error));
    return file;
}

}  // namespace

OutputFile::OutputFile(const files::Descriptor& folder, const std::string& name, std::string shown,
                       const DiskPictures* inputs)
    : shown_(std::move(shown)), inputs_(inputs), file_(new_file(folder, name, shown_))
{
}

OutputFile::OutputFile(files::Descriptor&& folder, const std::string& name, std::string shown, const DiskPictures* inputs)
    : shown_(std::move(shown)), inputs_(inputs), folder_(std::move(folder)), file_(new_file(folder_, name, shown_))
{
}

OutputFile OutputFile::below(const DiskPictures& pictures, const std::string& output)
{
    std::error_code error;
    const auto [folder, name] = split_path(output);
    files::Descriptor below = files::open_folder_beneath(pictures.folder(), folder, error);
    if (error) fail(joined(pictures.folder_name(), folder), "cannot write into it: " + error.message());
    return OutputFile(std::move(below), name, joined(pictures.folder_name(), output), &pictures);
}

OutputFile OutputFile::user(const std::string& path, const std::string& name_in_folder, const DiskPictures* inputs)
{
    std::error_code error;
    files::Descriptor folder = files::open_user_folder(path, false, error);
    if (!error) {
        if (name_in_folder.empty()) fail(path, "is a folder; give a file name");
        return OutputFile(std::move(folder), name_in_folder, joined(path, name_in_folder), inputs);
    }
    if (path.back() == '/') {
        fail(path, error == std::errc::too_many_symbolic_link_levels ? "is not a folder (a symlink is not followed)"
                                                                     : "is not a folder: " + error.message());
    }
    const auto [parent, name] = split_path(path);
    error.clear();
    folder = open_followed_folder(parent, error);
    if (error) fail(path, "cannot write into its folder: " + error.message());
    return OutputFile(std::move(folder), name, path, inputs);
}

void OutputFile::write(std::span<const std::uint8_t> bytes)
{
    if (const std::error_code written = file_.write(bytes)) fail(shown_, "cannot write: " + written.message());
}

const std::string& OutputFile::commit()
{
    if (inputs_) {
        if (const auto existing = file_.replaces(); existing && inputs_->was_read(*existing)) {
            fail(shown_, "the output would replace the input " + shown_);
        }
    }
    if (const std::error_code committed = file_.commit()) fail(shown_, "cannot write: " + committed.message());
    return shown_;
}

std::string write_user_file(const std::string& path, const std::string& name_in_folder,
                            std::span<const std::uint8_t> bytes, const DiskPictures* inputs)
{
    OutputFile file = OutputFile::user(path, name_in_folder, inputs);
    file.write(bytes);
    return file.commit();
}

FolderSink::FolderSink(std::string path, std::span<const std::uint8_t> tile, const UnpackPlan& plan, std::uint64_t max_files)
    : path_(std::move(path))
{
    if (plan.files > max_files) {
        fail(path_, "unpacking would write " + std::to_string(plan.files) + " files (" + std::to_string(plan.images) +
                        " images), more than the " + std::to_string(max_files) + " allowed (--max-files raises it)");
    }
    // The room is checked where the files will go before the folder is made,
    // so a refusal leaves nothing behind.
    std::error_code error;
    folder_ = files::open_user_folder(path_, false, error);
    if (error == std::errc::no_such_file_or_directory) {
        std::error_code parent_error;
        const files::Descriptor parent = open_followed_folder(split_path(path_).first, parent_error);
        if (!parent_error) check_room(parent.get(), plan);
        error.clear();
        folder_ = files::open_user_folder(path_, true, error);
    } else if (!error) {
        check_room(folder_.get(), plan);
        check_names(tile, plan);
    }
    if (error == std::errc::too_many_symbolic_link_levels || error == std::errc::not_a_directory) {
        fail(path_, "is not a folder (a symlink is not followed)");
    }
    if (error) fail(path_, "cannot open the folder: " + error.message());
}

void FolderSink::check_room(int folder, const UnpackPlan& plan) const
{
    const auto room = files::room_in(folder);
    if (!room) return;
    if (plan.files > room->files || plan.bytes_at_most > room->bytes) {
        fail(path_, "unpacking needs room for " + std::to_string(plan.files) + " files and up to " +
                        std::to_string(plan.bytes_at_most) + " bytes; the disk has " + std::to_string(room->files) +
                        " files and " + std::to_string(room->bytes) + " bytes free");
    }
}

void FolderSink::check_names(std::span<const std::uint8_t> tile, const UnpackPlan& plan) const
{
    std::error_code error;
    const std::vector<std::string> listed = files::unreplaceable_names(folder_.get(), MaxFolderNames, error);
    if (error) fail(path_, "cannot read the folder: " + error.message());
    // The names are known only by making the files, so that is done only
    // where an entry could be one: a scene's file or the manifest.
    std::unordered_set<std::string> unreplaceable;
    for (const std::string& name : listed) {
        const bool could_be_ours = name == plan.options.name + ".toml" || std::any_of(plan.scenes.begin(), plan.scenes.end(), [&](const UnpackScene& scene) {
                                       return name.starts_with(scene.stem);
                                   });
        if (could_be_ours) unreplaceable.insert(name);
    }
    if (unreplaceable.empty()) return;
    for (const std::string& name : unpacked_names(tile, plan)) {
        if (!unreplaceable.contains(name)) continue;
        if (const std::error_code refused = files::check_replaceable(folder_.get(), name)) fail(joined(path_, name), refusal(refused));
    }
}

void FolderSink::write(const std::string& name, std::span<const std::uint8_t> bytes)
{
    OutputFile file(folder_, name, joined(path_, name), nullptr);
    file.write(bytes);
    file.commit();
}

void FolderSink::note(const std::string& text) { say(text); }

void say(const std::string& text) { std::cerr << "tesspack: " << printable(text) << "\n"; }

}  // namespace tess
