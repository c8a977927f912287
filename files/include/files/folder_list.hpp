#pragma once

#include <cstddef>
#include <string>
#include <system_error>
#include <vector>

namespace tess::files {

// The names in the folder `path` ("" for `dir` itself) taken in the open
// folder `dir`, "." and ".." left out, in no particular order. More than
// `max_names` is refused (too_large) rather than held.
std::vector<std::string> list_folder(int dir, const std::string& path, std::size_t max_names, std::error_code& error);

// The names in the open folder `dir` that a file written there must not
// replace (as check_replaceable says): symlinks, folders and all else that
// is not a regular file. More than `max_names` is refused (too_large).
std::vector<std::string> unreplaceable_names(int dir, std::size_t max_names, std::error_code& error);

}  // namespace tess::files
