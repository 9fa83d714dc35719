// The table of every system call the POSIX layer makes: each entry asks the fault-injection
// seam (os/fault_injection.h) by its name first, and when told to fail sets errno and gives
// back what the system gives back on failure; otherwise it is the system call itself. Code
// of the layer calls sys::openat where it would call ::openat. Only POSIX code includes this.
#pragma once

#include <dirent.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <string>

#include "os/result.h"

namespace os::detail {

// A call that failed: its errno and its name, kept together until they become a failure.
struct CallError {
    int error = 0;
    const char* call = "";
    explicit operator bool() const { return error != 0; }
};

// The call `call` that just failed, by the errno it left.
inline CallError failedCall(const char* call) { return {errno, call}; }

// `error` as the failure of `operation` on `path`.
inline Result failure(Operation operation, std::string path, CallError error) {
    return Result::fail(operation, std::move(path), static_cast<ErrorCode>(error.error), error.call);
}

}  // namespace os::detail

namespace os::detail::sys {

int open(const char* path, int flags, mode_t mode = 0);
int openat(int dirfd, const char* path, int flags, mode_t mode = 0);
// The descriptor is closed whatever is said: a failure only reports that written data may
// not have reached the file.
int close(int fd);
ssize_t read(int fd, void* buffer, size_t size);
ssize_t pread(int fd, void* buffer, size_t size, off_t offset);
ssize_t write(int fd, const void* data, size_t size);
// The progress line is drawn only on a terminal, and fitted to its width.
bool isTerminal(int fd);
int ioctlWindowSize(int fd, ::winsize* size);
int fsync(int fd);
int fstat(int fd, struct stat* out);
int fstatat(int dirfd, const char* path, struct stat* out, int flags);
int statx(int dirfd, const char* path, int flags, unsigned mask, struct statx* out);
int fchmod(int fd, mode_t mode);
int fchmodat(int dirfd, const char* path, mode_t mode, int flags);
int futimens(int fd, const struct timespec times[2]);
int fcntl(int fd, int command, int argument);
int flock(int fd, int operation);
ssize_t copy_file_range(int in, int out, size_t size);
int mkdirat(int dirfd, const char* path, mode_t mode);
int unlinkat(int dirfd, const char* path, int flags);
int renameat(int fromfd, const char* from, int tofd, const char* to);
int renameat2(int fromfd, const char* from, int tofd, const char* to, unsigned flags);
int symlinkat(const char* target, int dirfd, const char* path);
ssize_t readlinkat(int dirfd, const char* path, char* buffer, size_t size);
DIR* fdopendir(int fd);
// nullptr both at the end and on failure; errno tells them apart, as with readdir itself.
dirent* readdir(DIR* directory);
char* realpath(const char* path);
ssize_t readlink(const char* path, char* buffer, size_t size);
int lstat(const char* path, struct stat* out);
int faccessat(int dirfd, const char* path, int mode, int flags);
DIR* opendir(const char* path);
int kill(pid_t process, int signal);
int poll(struct pollfd* entries, unsigned long count, int timeout);
ssize_t getrandom(void* buffer, size_t size);
int pipe2(int ends[2], int flags);
pid_t fork();
pid_t waitpid(pid_t child, int* status, int options);
int pidfdOpen(pid_t process);

}  // namespace os::detail::sys
