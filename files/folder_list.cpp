// The names in a folder, taken in an open folder: all, with a bound on how many, or those no file may replace.
#include "files/folder_list.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "files/safe_open.hpp"
#include "last_error.hpp"

namespace tess::files {

namespace {

// Calls `take(entry)` for each entry of the folder `path` in `dir` but "."
// and "..", until it answers false.
template <typename Take>
std::error_code for_each_entry(int dir, const std::string& path, Take take)
{
    const int fd = ::openat(dir, path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return last_error();
    DIR* folder = ::fdopendir(fd);
    if (!folder) {
        const std::error_code error = last_error();
        ::close(fd);
        return error;
    }
    std::error_code error;
    for (;;) {
        errno = 0;  // readdir() says its end and its failure alike but for errno
        const dirent* entry = ::readdir(folder);
        if (!entry) {
            if (errno != 0) error = last_error();
            break;
        }
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        if (!take(*entry)) break;
    }
    ::closedir(folder);
    return error;
}

// The names of the entries `keep` takes, at most `max_names` of them.
template <typename Keep>
std::vector<std::string> names_kept(int dir, const std::string& path, std::size_t max_names, std::error_code& error, Keep keep)
{
    std::vector<std::string> names;
    bool too_many = false;
    error = for_each_entry(dir, path, [&](const dirent& entry) {
        if (!keep(entry)) return true;
        too_many = names.size() == max_names;
        if (!too_many) names.emplace_back(entry.d_name);
        return !too_many;
    });
    if (!error && too_many) error = Refusal::too_large;
    if (error) names.clear();
    return names;
}

}  // namespace

std::vector<std::string> list_folder(int dir, const std::string& path, std::size_t max_names, std::error_code& error)
{
    return names_kept(dir, path, max_names, error, [](const dirent&) { return true; });
}

std::vector<std::string> unreplaceable_names(int dir, std::size_t max_names, std::error_code& error)
{
    return names_kept(dir, "", max_names, error, [dir](const dirent& entry) {
        if (entry.d_type == DT_REG) return false;
        return entry.d_type != DT_UNKNOWN || bool(check_replaceable(dir, entry.d_name));
    });
}

}  // namespace tess::files
