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

}  // namespace tess::files
