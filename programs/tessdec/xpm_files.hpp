#pragma once

#include <fstream>
#include <ostream>
#include <string>

namespace tess {

// Where the decoder puts its XPMs: one file at a time, created, written, closed.
class XpmFiles {
public:
    virtual ~XpmFiles() = default;
    virtual std::ostream& create(const std::string& path) = 0;
    virtual void close() = 0;
};

// XPMs on disk. Creating or writing a file that fails ends the run.
class DiskXpmFiles final : public XpmFiles {
public:
    std::ostream& create(const std::string& path) override;
    void close() override;

private:
    std::ofstream file_;
    std::string path_;
};

}  // namespace tess
