#pragma once

#include <sys/resource.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace tess::testing {

struct RunResult {
    std::string output;  // standard output
    std::string errors;  // standard error
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

// The read end of a pipe that holds `text`, then ends.
class Pipe {
public:
    explicit Pipe(const std::string& text);
    ~Pipe();
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    int fd() const { return ends_[0]; }

private:
    std::array<int, 2> ends_{};
};

// How a run's standard streams are laid out: standard input from `input`,
// standard output to the file `output`, each closed when -1 or empty (and
// standard error too when `close_errors`), address space limited to `memory`
// bytes when not 0.
struct Streams {
    int input = -1;
    std::string output = ".stdout";
    bool close_errors = false;
    rlim_t memory = 0;
};

// Runs a program in `folder` with the given arguments and standard streams.
// A program still running after ten seconds is killed, so a hang fails a
// test instead of the suite.
RunResult run(const std::filesystem::path& program, const std::vector<std::string>& arguments,
              const std::filesystem::path& folder, const Streams& streams);

// The same with `input` as standard input.
RunResult run_program(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                      const std::filesystem::path& folder, const std::string& input = {});

std::string read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, const std::string& content);

}  // namespace tess::testing
