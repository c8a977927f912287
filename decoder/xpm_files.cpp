#include "xpm_files.hpp"

#include "failure.hpp"

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

std::ostream& MemoryXpmFiles::create(const std::string& path)
{
    created_.push_back(path);
    auto& file = files_[path];
    file.str({});
    file.clear();
    return file;
}

std::map<std::string, std::string> MemoryXpmFiles::contents() const
{
    std::map<std::string, std::string> texts;
    for (const auto& [path, file] : files_) texts[path] = file.str();
    return texts;
}

}  // namespace tess
