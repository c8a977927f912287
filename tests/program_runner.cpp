#include "program_runner.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tess::testing {

TempFolder::TempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tess-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string read_file(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void write_file(const std::filesystem::path& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

Pipe::Pipe(const std::string& text)
{
    if (::pipe(ends_.data()) != 0 ||
        ::write(ends_[1], text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        throw std::runtime_error("cannot fill a pipe");
    }
    ::close(ends_[1]);
}

Pipe::~Pipe() { ::close(ends_[0]); }

namespace {

// A descriptor of the child's at 10 or above, out of the way of 0, 1 and 2.
int set_aside(int fd)
{
    return fd < 0 ? fd : ::fcntl(fd, F_DUPFD_CLOEXEC, 10);
}

}  // namespace

RunResult run(const std::filesystem::path& program, const std::vector<std::string>& arguments,
              const std::filesystem::path& folder, const Streams& streams)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(folder.c_str()) != 0) std::_Exit(127);
        constexpr int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
        const int output = streams.output.empty() ? -1 : set_aside(::open(streams.output.c_str(), flags, 0666));
        const int errors = set_aside(::open(".stderr", flags, 0666));
        if (streams.input >= 0) ::dup2(streams.input, 0); else ::close(0);
        if (output >= 0) ::dup2(output, 1); else ::close(1);
        if (!streams.close_errors) ::dup2(errors, 2); else ::close(2);
        if (streams.memory != 0) {
            const rlimit limit{streams.memory, streams.memory};
            ::setrlimit(RLIMIT_AS, &limit);
        }
        ::alarm(10);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        std::_Exit(127);
    }
    int wait_status = 0;
    ::waitpid(child, &wait_status, 0);
    RunResult result;
    if (streams.output == ".stdout") result.output = read_file(folder / ".stdout");
    result.errors = read_file(folder / ".stderr");
    result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
    std::filesystem::remove(folder / ".stdout");
    std::filesystem::remove(folder / ".stderr");
    return result;
}

RunResult run_program(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                      const std::filesystem::path& folder, const std::string& input)
{
    const Pipe standard_input(input);
    return run(program, arguments, folder, {.input = standard_input.fd()});
}

}  // namespace tess::testing
