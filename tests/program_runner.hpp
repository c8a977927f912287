#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tess::testing {

struct RunResult {
    std::string output;
    int status = -1;
};

// A fresh folder under the system's temporary folder, removed with the object.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Runs a program in `folder` with the given arguments and standard input,
// returning its standard output and exit status.
RunResult run_program(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                      const std::filesystem::path& folder, const std::string& input = {});

std::string read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, const std::string& content);

}  // namespace tess::testing
