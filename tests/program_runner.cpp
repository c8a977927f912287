#include "program_runner.hpp"

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

RunResult run_program(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                      const std::filesystem::path& folder, const std::string& input)
{
    const auto input_path = folder / ".stdin";
    const auto output_path = folder / ".stdout";
    write_file(input_path, input);

    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(folder.c_str()) != 0 || !std::freopen(input_path.c_str(), "rb", stdin) ||
            !std::freopen(output_path.c_str(), "wb", stdout)) {
            std::_Exit(127);
        }
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        std::_Exit(127);
    }
    int wait_status = 0;
    ::waitpid(child, &wait_status, 0);

    RunResult result;
    result.output = read_file(output_path);
    result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
    std::filesystem::remove(input_path);
    std::filesystem::remove(output_path);
    return result;
}

}  // namespace tess::testing
