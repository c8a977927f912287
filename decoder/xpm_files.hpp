#pragma once

#include <fstream>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

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

// XPMs kept in memory by path, for tests; a later file of the same path
// replaces the earlier, as on disk.
class MemoryXpmFiles final : public XpmFiles {
public:
    std::ostream& create(const std::string& path) override;
    void close() override {}

    std::map<std::string, std::string> contents() const;
    const std::vector<std::string>& created() const { return created_; }

private:
    std::map<std::string, std::ostringstream> files_;
    std::vector<std::string> created_;
};

}  // namespace tess
