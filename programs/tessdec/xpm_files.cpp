#include "xpm_files.hpp"

#include "programs/failure.hpp"

namespace tess {

std::ostream& DiskXpmFiles::create(const std::string& path)
{
    path_ = path;
    file_.open(path, std::ios::binary | std::ios::trunc);
    if (!file_) fail("Error: cannot create file %s\n", path.c_str());
    return file_;
}

void DiskXpmFiles::close()
{
    file_.close();
    if (file_.fail()) fail("Error: cannot write file %s\n", path_.c_str());
}

}  // namespace tess
