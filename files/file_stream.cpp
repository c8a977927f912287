// Standard streams over a descriptor: buffered reading, seeking and writing.
#include "files/file_stream.hpp"

#include <unistd.h>

#include <cerrno>
#include <ios>

namespace tess::files {

namespace {

// Left uninitialised, so that only the part a file fills is ever touched:
// a page touched costs a fault, which is most of what a small run costs.
constexpr std::size_t BufferSize = 65536;

}  // namespace

DescriptorBuffer::int_type DescriptorBuffer::underflow()
{
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    if (!input_) input_.reset(new char[BufferSize]);
    for (;;) {
        const ssize_t got = ::read(fd_, input_.get(), BufferSize);
        if (got > 0) {
            setg(input_.get(), input_.get(), input_.get() + got);
            return traits_type::to_int_type(*gptr());
        }
        if (got == 0) return traits_type::eof();
        if (errno != EINTR) throw std::ios_base::failure("cannot read", {errno, std::generic_category()});
    }
}

DescriptorBuffer::int_type DescriptorBuffer::overflow(int_type c)
{
    if (pbase() == nullptr) {
        output_.reset(new char[BufferSize]);
        setp(output_.get(), output_.get() + BufferSize);
    } else if (!write_buffered()) {
        return traits_type::eof();
    }
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

DescriptorBuffer::pos_type DescriptorBuffer::seekoff(off_type offset, std::ios_base::seekdir way,
                                                     std::ios_base::openmode)
{
    const pos_type failed(off_type(-1));
    // What was read before a write is no longer where the descriptor stands.
    if (pptr() != pbase()) setg(input_.get(), input_.get(), input_.get());
    if (!write_buffered()) return failed;
    // The descriptor stands at the end of what is buffered.
    const off_t end_of_buffer = ::lseek(fd_, 0, SEEK_CUR);
    if (end_of_buffer < 0) return failed;
    const off_type ahead = egptr() - gptr();
    off_type target = offset;
    if (way == std::ios_base::cur) target += end_of_buffer - ahead;
    if (way == std::ios_base::end) {
        target = ::lseek(fd_, offset, SEEK_END);
        setg(input_.get(), input_.get(), input_.get());
        return target < 0 ? failed : pos_type(target);
    }
    if (target < 0) return failed;
    const off_type buffered = egptr() - eback();
    if (target >= end_of_buffer - buffered && target <= end_of_buffer) {
        setg(eback(), egptr() - (end_of_buffer - target), egptr());
        return target;
    }
    if (::lseek(fd_, target, SEEK_SET) < 0) return failed;
    setg(input_.get(), input_.get(), input_.get());
    return target;
}

DescriptorBuffer::pos_type DescriptorBuffer::seekpos(pos_type position, std::ios_base::openmode which)
{
    return seekoff(off_type(position), std::ios_base::beg, which);
}

int DescriptorBuffer::sync()
{
    return write_buffered() ? 0 : -1;
}

// Empties the buffer even when the write fails, so that a failure is
// reported once and not retried at every flush.
bool DescriptorBuffer::write_buffered()
{
    const std::span<const char> pending(pbase(), static_cast<std::size_t>(pptr() - pbase()));
    setp(pbase(), epptr());
    return pending.empty() || !write_all(fd_, pending);
}

FileStream::FileStream(Descriptor descriptor)
    : std::iostream(nullptr), descriptor_(std::move(descriptor)), buffer_(descriptor_.get())
{
    rdbuf(&buffer_);
}

bool FileStream::close()
{
    const bool flushed = buffer_.pubsync() == 0;
    const bool closed = !descriptor_.close();
    return flushed && closed && !bad();
}

}  // namespace tess::files
