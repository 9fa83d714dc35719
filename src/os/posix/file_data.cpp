// Exclusive reads and last-write dates on POSIX, where sharing is an agreement (flock)
// rather than a rule of the system. Only POSIX code here.
#include "os/file_data.h"
#include "os/posix/positioned_read.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "os/posix/descriptor.h"
#include "os/posix/listing.h"
#include "os/posix/native_path.h"
#include "os/posix/system_calls.h"

namespace os {

struct ExclusiveFile::Impl {
    detail::Descriptor fd;
    std::string path;
    Result opened;
};

ExclusiveFile::ExclusiveFile(const std::string& path) : impl_(std::make_unique<Impl>()) {
    impl_->path = path;
    detail::Descriptor fd;
    detail::CallError error = detail::openRegularFile(AT_FDCWD, detail::nativePath(path).c_str(), false, fd);
    if (!error && detail::sys::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) error = detail::failedCall("flock");
    if (error) {
        impl_->opened = detail::failure(Operation::Open, path, error);
        return;
    }
    impl_->fd = std::move(fd);
}

ExclusiveFile::~ExclusiveFile() = default;

const Result& ExclusiveFile::opened() const { return impl_->opened; }

Result ExclusiveFile::read(void* buffer, size_t n, size_t& got) {
    ssize_t r;
    do r = detail::sys::read(impl_->fd.get(), buffer, n);
    while (r < 0 && errno == EINTR);
    if (r < 0) return detail::failure(Operation::Read, impl_->path, detail::failedCall("read"));
    got = static_cast<size_t>(r);
    return {};
}

Result ExclusiveFile::readAt(uint64_t offset, void* buffer, size_t n, size_t& got) {
    if (const detail::CallError error = detail::readAtOffset(impl_->fd.get(), offset, buffer, n, got))
        return detail::failure(Operation::Read, impl_->path, error);
    return {};
}

Result ExclusiveFile::size(uint64_t& out) const {
    struct stat info;
    if (detail::sys::fstat(impl_->fd.get(), &info) != 0)
        return detail::failure(Operation::Look, impl_->path, detail::failedCall("fstat"));
    out = static_cast<uint64_t>(info.st_size);
    return {};
}

Result ExclusiveFile::lastWriteDate(LocalDate& out) const {
    struct stat info;
    if (detail::sys::fstat(impl_->fd.get(), &info) != 0)
        return detail::failure(Operation::Look, impl_->path, detail::failedCall("fstat"));
    tm local;
    if (!localtime_r(&info.st_mtim.tv_sec, &local)) return Result::fail(Operation::Look, impl_->path, EOVERFLOW);
    out = {static_cast<unsigned>(local.tm_year + 1900), static_cast<unsigned>(local.tm_mon + 1),
           static_cast<unsigned>(local.tm_mday)};
    return {};
}

}  // namespace os
