// Exclusive reads and last-write dates on POSIX, where sharing is an agreement (flock)
// rather than a rule of the system. Only POSIX code here.
#include "os/file_data.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "os/posix/path_form.h"

namespace os {

struct ExclusiveFile::Impl {
    int fd = -1;
};

ExclusiveFile::ExclusiveFile(const std::string& path) : impl_(std::make_unique<Impl>()) {
    const int fd = open(detail::toNativeForm(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat info;
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return;
    }
    impl_->fd = fd;
}

ExclusiveFile::~ExclusiveFile() {
    if (impl_->fd >= 0) close(impl_->fd);
}

bool ExclusiveFile::isOpen() const { return impl_->fd >= 0; }

bool ExclusiveFile::read(void* buffer, size_t n, size_t& got) {
    ssize_t r;
    do r = ::read(impl_->fd, buffer, n);
    while (r < 0 && errno == EINTR);
    if (r < 0) return false;
    got = static_cast<size_t>(r);
    return true;
}

bool ExclusiveFile::lastWriteDate(LocalDate& out) const {
    struct stat info;
    if (fstat(impl_->fd, &info) != 0) return false;
    tm local;
    if (!localtime_r(&info.st_mtim.tv_sec, &local)) return false;
    out = {static_cast<unsigned>(local.tm_year + 1900), static_cast<unsigned>(local.tm_mon + 1),
           static_cast<unsigned>(local.tm_mday)};
    return true;
}

}  // namespace os
