// The POSIX system-call table. Each entry is the system call, unless the fault-injection
// seam names a fault for it; the faults each call really gives back are listed beside it.
// Only POSIX code belongs here.
#include "os/posix/system_calls.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "os/fault_injection.h"

namespace os {
namespace faults {
namespace {

using F = Fault;
constexpr Fault opening[] = {F::AccessDenied, F::IoError, F::NotFound, F::DiskFull};
constexpr Fault looking[] = {F::AccessDenied, F::IoError, F::NotFound};
constexpr Fault writing[] = {F::IoError, F::DiskFull};
constexpr Fault ioOnly[] = {F::IoError};
constexpr Fault changing[] = {F::AccessDenied, F::IoError};
constexpr Fault making[] = {F::AccessDenied, F::IoError, F::DiskFull};
constexpr Fault removing[] = {F::AccessDenied, F::IoError, F::NotFound};
constexpr Fault renaming[] = {F::AccessDenied, F::IoError, F::DiskFull, F::NotFound, F::CrossVolume};

struct Entry {
    const char* call;
    std::span<const Fault> faults;
};

// fcntl, flock, pipe2, fork, waitpid, pidfd_open, kill, poll, getrandom, isatty and ioctl are
// in the table but fail in no way the layer could do anything about but report, so a sweep
// leaves them alone; neither does it fail what the process lookup reads of /proc.
constexpr Entry table[] = {
    {"open", opening},       {"openat", opening},       {"close", ioOnly},         {"read", ioOnly},        {"pread", ioOnly},
    {"write", writing},      {"fsync", writing},        {"fstat", ioOnly},         {"fstatat", looking},       {"statx", looking},
    {"fchmod", changing},    {"fchmodat", changing},    {"futimens", changing},    {"copy_file_range", writing},
    {"mkdirat", making},     {"unlinkat", removing},    {"renameat", renaming},    {"renameat2", renaming},
    {"symlinkat", making},   {"readlinkat", changing},  {"readdir", ioOnly},       {"realpath", looking},
    {"faccessat", looking},
};

}  // namespace

std::span<const Fault> faultsOf(const char* call) {
    for (const Entry& entry : table)
        if (std::strcmp(entry.call, call) == 0) return entry.faults;
    return {};
}

}  // namespace faults

namespace detail::sys {
namespace {

int errnoOf(faults::Fault fault) {
    switch (fault) {
        case faults::Fault::AccessDenied: return EACCES;
        case faults::Fault::IoError: return EIO;
        case faults::Fault::DiskFull: return ENOSPC;
        case faults::Fault::NotFound: return ENOENT;
        case faults::Fault::Held: return EBUSY;
        case faults::Fault::CrossVolume: return EXDEV;
        case faults::Fault::NeedsElevation: return EPERM;
        case faults::Fault::Declined: return ECANCELED;
    }
    return EIO;
}

// True when the seam fails `call`; errno is then set as the system would set it.
bool refused(const char* call) {
    const std::optional<faults::Fault> fault = faults::injected(call);
    if (!fault) return false;
    errno = errnoOf(*fault);
    return true;
}

}  // namespace

int open(const char* path, int flags, mode_t mode) { return refused("open") ? -1 : ::open(path, flags, mode); }

int openat(int dirfd, const char* path, int flags, mode_t mode) {
    return refused("openat") ? -1 : ::openat(dirfd, path, flags, mode);
}

int close(int fd) {
    if (!refused("close")) return ::close(fd);
    const int error = errno;
    (void)::close(fd);  // the injected failure is the result: the descriptor goes, as after a real one
    errno = error;
    return -1;
}

ssize_t read(int fd, void* buffer, size_t size) { return refused("read") ? -1 : ::read(fd, buffer, size); }

ssize_t pread(int fd, void* buffer, size_t size, off_t offset) {
    return refused("pread") ? -1 : ::pread(fd, buffer, size, offset);
}

ssize_t write(int fd, const void* data, size_t size) { return refused("write") ? -1 : ::write(fd, data, size); }
bool isTerminal(int fd) { return !refused("isatty") && ::isatty(fd) == 1; }
int ioctlWindowSize(int fd, ::winsize* size) { return refused("ioctl") ? -1 : ::ioctl(fd, TIOCGWINSZ, size); }

int fsync(int fd) { return refused("fsync") ? -1 : ::fsync(fd); }

int fstat(int fd, struct stat* out) { return refused("fstat") ? -1 : ::fstat(fd, out); }

int fstatat(int dirfd, const char* path, struct stat* out, int flags) {
    return refused("fstatat") ? -1 : ::fstatat(dirfd, path, out, flags);
}

int statx(int dirfd, const char* path, int flags, unsigned mask, struct statx* out) {
    return refused("statx") ? -1 : ::statx(dirfd, path, flags, mask, out);
}

int fchmod(int fd, mode_t mode) { return refused("fchmod") ? -1 : ::fchmod(fd, mode); }

int fchmodat(int dirfd, const char* path, mode_t mode, int flags) {
    return refused("fchmodat") ? -1 : ::fchmodat(dirfd, path, mode, flags);
}

int futimens(int fd, const struct timespec times[2]) { return refused("futimens") ? -1 : ::futimens(fd, times); }

int fcntl(int fd, int command, int argument) { return refused("fcntl") ? -1 : ::fcntl(fd, command, argument); }

int flock(int fd, int operation) { return refused("flock") ? -1 : ::flock(fd, operation); }

ssize_t copy_file_range(int in, int out, size_t size) {
    return refused("copy_file_range") ? -1 : ::copy_file_range(in, nullptr, out, nullptr, size, 0);
}

int mkdirat(int dirfd, const char* path, mode_t mode) { return refused("mkdirat") ? -1 : ::mkdirat(dirfd, path, mode); }

int unlinkat(int dirfd, const char* path, int flags) {
    return refused("unlinkat") ? -1 : ::unlinkat(dirfd, path, flags);
}

int renameat(int fromfd, const char* from, int tofd, const char* to) {
    return refused("renameat") ? -1 : ::renameat(fromfd, from, tofd, to);
}

int renameat2(int fromfd, const char* from, int tofd, const char* to, unsigned flags) {
    return refused("renameat2") ? -1 : ::renameat2(fromfd, from, tofd, to, flags);
}

int symlinkat(const char* target, int dirfd, const char* path) {
    return refused("symlinkat") ? -1 : ::symlinkat(target, dirfd, path);
}

ssize_t readlinkat(int dirfd, const char* path, char* buffer, size_t size) {
    return refused("readlinkat") ? -1 : ::readlinkat(dirfd, path, buffer, size);
}

DIR* fdopendir(int fd) { return refused("fdopendir") ? nullptr : ::fdopendir(fd); }

dirent* readdir(DIR* directory) { return refused("readdir") ? nullptr : ::readdir(directory); }

char* realpath(const char* path) { return refused("realpath") ? nullptr : ::realpath(path, nullptr); }

ssize_t readlink(const char* path, char* buffer, size_t size) {
    return refused("readlink") ? -1 : ::readlink(path, buffer, size);
}

int lstat(const char* path, struct stat* out) { return refused("lstat") ? -1 : ::lstat(path, out); }

int faccessat(int dirfd, const char* path, int mode, int flags) {
    return refused("faccessat") ? -1 : ::faccessat(dirfd, path, mode, flags);
}

DIR* opendir(const char* path) { return refused("opendir") ? nullptr : ::opendir(path); }

int kill(pid_t process, int signal) { return refused("kill") ? -1 : ::kill(process, signal); }

int poll(struct pollfd* entries, unsigned long count, int timeout) {
    return refused("poll") ? -1 : ::poll(entries, count, timeout);
}

ssize_t getrandom(void* buffer, size_t size) { return refused("getrandom") ? -1 : ::getrandom(buffer, size, 0); }

int pipe2(int ends[2], int flags) { return refused("pipe2") ? -1 : ::pipe2(ends, flags); }

pid_t fork() { return refused("fork") ? -1 : ::fork(); }

pid_t waitpid(pid_t child, int* status, int options) {
    return refused("waitpid") ? -1 : ::waitpid(child, status, options);
}

int pidfdOpen(pid_t process) {
    return refused("pidfd_open") ? -1 : static_cast<int>(::syscall(SYS_pidfd_open, process, 0));
}

}  // namespace detail::sys
}  // namespace os
