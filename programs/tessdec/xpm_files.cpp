// The XPM files tessdec writes to disk, and its failure where one cannot be made or written.
#include "xpm_files.hpp"

#include "programs/failure.hpp"

namespace tess {

std::ostream& DiskXpmFiles::create(const std::string& path)
{
    path_ = path;
    std::error_code error;
    files::Descriptor descriptor = files::open_output(path, error);
    if (error) fail("Error: cannot create file %s\n", path.c_str());
    return file_.emplace(std::move(descriptor));
}

void DiskXpmFiles::close()
{
    const bool written = file_->close();
    file_.reset();
    if (!written) fail("Error: cannot write file %s\n", path_.c_str());
}

}  // namespace tess
