#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "files/safe_open.hpp"
#include "files/file_stream.hpp"
#include "pack/build.hpp"
#include "pack/diff.hpp"
#include "pack/unpack.hpp"

namespace tess {

// A user-named input read whole: a file, a pipe, or "-" for standard input.
// `id`, when given, gets the file read.
std::vector<std::uint8_t> read_user_input(const std::string& path, std::size_t max_bytes, files::FileId* id = nullptr);

// The pictures a manifest names, read from its folder. Only regular files
// are read (a FIFO in a stranger's pack would hang the build). Every file
// read is remembered, so the output never replaces one of them.
class DiskPictures final : public PictureSource {
public:
    DiskPictures(const std::string& manifest_path, std::vector<files::FileId> inputs);
    std::vector<std::uint8_t> read(const std::string& path) override;
    std::vector<std::string> list(const std::string& folder) override;
    std::string identify(const std::string& path) override;
    int folder() const { return folder_.get(); }
    const std::string& folder_name() const { return folder_name_; }
    bool was_read(const files::FileId& file) const;

private:
    std::string folder_name_;
    files::Descriptor folder_;
    std::vector<files::FileId> inputs_;
    // The file identify() opened, kept for the read that follows it.
    std::string held_path_;
    files::OpenFile held_;
};

// A file that appears whole or not at all, when commit() is called, never
// replacing one of the pictures read; written as its bytes are made.
class OutputFile final : public TileSink {
public:
    // At the manifest's `output`, below its folder, never through a symlink
    // and never above it.
    static OutputFile below(const DiskPictures& pictures, const std::string& output);
    // Where the user said: a file (symlinks among its folders are the
    // user's own; one at the name is refused), or a folder that is no
    // symlink, under `name_in_folder`.
    static OutputFile user(const std::string& path, const std::string& name_in_folder,
                           const DiskPictures* inputs = nullptr);
    // `name` in an open folder that outlives the file, shown as `shown`.
    OutputFile(const files::Descriptor& folder, const std::string& name, std::string shown, const DiskPictures* inputs);

    void write(std::span<const std::uint8_t> bytes) override;
    // Puts the file in place; gives the path written.
    const std::string& commit();
    // The path as the user sees it.
    const std::string& shown() const { return shown_; }

private:
    OutputFile(files::Descriptor&& folder, const std::string& name, std::string shown, const DiskPictures* inputs);

    std::string shown_;
    const DiskPictures* inputs_;
    files::Descriptor folder_;  // when the file has its own
    files::AtomicFile file_;
};

// `bytes` as an OutputFile::user, at once.
std::string write_user_file(const std::string& path, const std::string& name_in_folder,
                            std::span<const std::uint8_t> bytes, const DiskPictures* inputs = nullptr);

// A tile file to compare, opened once: a regular file is read through its
// one descriptor as often as the comparison asks, and checked for change;
// standard input, a pipe or a FIFO is read whole into memory first.
class DiskTileInput final : public TileInput {
public:
    DiskTileInput(const std::string& path, std::size_t max_bytes);
    const std::string& name() const override { return source_->name(); }
    std::streambuf& at(std::uint64_t offset) override { return source_->at(offset); }
    bool changed() const override;

private:
    std::unique_ptr<files::FileStream> file_;
    std::optional<files::FileVersion> version_;
    std::unique_ptr<TileInput> source_;
};

// A tile file the user named, opened once and read front to back as it
// comes, whatever its size.
class TileStream {
public:
    explicit TileStream(const std::string& path);
    std::streambuf& stream() { return *file_.rdbuf(); }
    // Raises when it is a regular file that changed since it was opened: what
    // was read of it may mix old and new bytes.
    void check_unchanged() const;

private:
    std::string shown_;
    files::FileStream file_;
    std::optional<files::FileVersion> version_;
};

// The folder unpack writes `tile` into, created if missing, never a
// symlink. A plan of more than `max_files` files, or more than the disk has
// room for, is refused before anything is made, as is a symlink or folder
// there under a name unpack gives a file. Each file goes in whole or not at
// all; notes go to standard error.
class FolderSink final : public UnpackSink {
public:
    FolderSink(std::string path, std::span<const std::uint8_t> tile, const UnpackPlan& plan, std::uint64_t max_files);
    void write(const std::string& name, std::span<const std::uint8_t> bytes) override;
    void note(const std::string& text) override;

private:
    void check_room(int folder, const UnpackPlan& plan) const;
    void check_names(std::span<const std::uint8_t> tile, const UnpackPlan& plan) const;

    std::string path_;
    files::Descriptor folder_;
};

// Standard error's one form: "tesspack: " and the text made safe to print.
void say(const std::string& text);

}  // namespace tess
