#pragma once

#include <cerrno>
#include <system_error>

namespace tess::files {

// The error the last failed system call left in errno.
inline std::error_code last_error() { return {errno, std::generic_category()}; }

}  // namespace tess::files
