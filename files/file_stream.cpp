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
