#pragma once

#include <istream>
#include <streambuf>
#include <memory>

#include "files/safe_open.hpp"

namespace tess::files {

// A buffered std::streambuf over a descriptor it does not own. A failed read
// throws std::ios_base::failure, as std::filebuf does; a failed write makes
// the stream bad. What is still buffered is written out on destruction.
// Reading may go back or forward in a regular file: a place within what is
// buffered costs no read.
class DescriptorBuffer : public std::streambuf {
public:
    explicit DescriptorBuffer(int fd) : fd_(fd) {}
    ~DescriptorBuffer() override { sync(); }
    DescriptorBuffer(const DescriptorBuffer&) = delete;
    DescriptorBuffer& operator=(const DescriptorBuffer&) = delete;

protected:
    int_type underflow() override;
    int_type overflow(int_type c) override;
    int sync() override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir way, std::ios_base::openmode which) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override;

private:
    bool write_buffered();

    int fd_;
    std::unique_ptr<char[]> input_;
    std::unique_ptr<char[]> output_;
};

// A file to read or write through the standard streams, owning its descriptor.
class FileStream : public std::iostream {
public:
    explicit FileStream(Descriptor descriptor);

    int descriptor() const { return descriptor_.get(); }

    // Writes out what is buffered and closes the descriptor; false if any
    // write or the close failed.
    bool close();

private:
    Descriptor descriptor_;
    DescriptorBuffer buffer_;
};

}  // namespace tess::files
