#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "files/file_stream.hpp"

namespace tess {

// Where the decoder puts its XPMs: one file at a time, created, written, closed.
class XpmFiles {
public:
    virtual ~XpmFiles() = default;
    virtual std::ostream& create(const std::string& path) = 0;
    virtual void close() = 0;
};

// XPMs on disk. Creating or writing a file that fails ends the run; so does
// a name taken by a symlink, a FIFO, a folder or a file with other hard links,
// which could turn the write against another file.
class DiskXpmFiles final : public XpmFiles {
public:
    std::ostream& create(const std::string& path) override;
    void close() override;

private:
    std::optional<files::FileStream> file_;
    std::string path_;
};

}  // namespace tess
