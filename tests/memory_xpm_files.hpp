#pragma once

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "memory_xpm_files.hpp"

namespace tess::testing {

// XPMs kept in memory by path, for tests and the fuzzer; a later file of the
// same path replaces the earlier, as on disk.
class MemoryXpmFiles final : public XpmFiles {
public:
    std::ostream& create(const std::string& path) override
    {
        created_.push_back(path);
        auto& file = files_[path];
        file.str({});
        file.clear();
        return file;
    }
    void close() override {}

    std::map<std::string, std::string> contents() const
    {
        std::map<std::string, std::string> texts;
        for (const auto& [path, file] : files_) texts[path] = file.str();
        return texts;
    }
    const std::vector<std::string>& created() const { return created_; }

private:
    std::map<std::string, std::ostringstream> files_;
    std::vector<std::string> created_;
};

}  // namespace tess::testing
