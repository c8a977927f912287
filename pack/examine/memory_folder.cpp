// A folder in memory that unpack writes into and build reads from.
#include "pack/memory_folder.hpp"

#include "pack/error.hpp"

namespace tess {

std::vector<std::uint8_t> MemoryFolder::read(const std::string& path)
{
    const auto found = files.find(path);
    if (found == files.end()) throw PackError(Fault::File, "cannot read: no such file", in_file(path));
    return found->second;
}

void MemoryFolder::write(const std::string& name, std::span<const std::uint8_t> bytes)
{
    files[name].assign(bytes.begin(), bytes.end());
}

}  // namespace tess
