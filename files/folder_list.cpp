// The names in a folder, taken in an open folder, with a bound on how many.
#include "files/folder_list.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "files/safe_open.hpp"
#include "last_error.hpp"

namespace tess::files {

std::vector<std::string> list_folder(int dir, const std::string& path, std::size_t max_names, std::error_code& error)
{
    const int fd = ::openat(dir, path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = last_error();
        return {};
    }
    DIR* folder = ::fdopendir(fd);
    if (!folder) {
        error = last_error();
        ::close(fd);
        return {};
    }
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(folder)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        if (names.size() == max_names) {
            error = Refusal::too_large;
            break;
        }
        names.emplace_back(entry->d_name);
    }
    if (!error && errno != 0) error = last_error();
    ::closedir(folder);
    if (error) names.clear();
    return names;
}

}  // namespace tess::files
