// The Win32 file operations of the commands emulated over POSIX calls: copies that keep mode
// and last-write time, moves that refuse an existing target, Windows' read-only refusals.
// Only POSIX code belongs here.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "os/files.h"
#include "os/posix/path_form.h"
#include "os/posix/path_resolution.h"

namespace os {
namespace {

// The native form of a script path, as path_resolution.h resolves it. Most paths the
// commands pass hold no "." or ".." element and no doubled separator and need only their
// separators turned, which matters when every file of a tree is touched.
std::string nativeForm(const std::string& path) {
    if (path.empty() || path[0] == '.' || path.find('/') != std::string::npos ||
        path.find("\\.") != std::string::npos || path.find("\\\\") != std::string::npos) {
        return detail::resolvedNativePath(path);
    }
    return detail::toNativeForm(path);
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // A file's last data may only fail to reach the disk at close, so the result counts.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

// Windows keeps a read-only file from being overwritten or deleted whoever asks; without
// this check the owner (and root always) could.
bool readOnly(const struct stat& s) { return !S_ISLNK(s.st_mode) && !(s.st_mode & S_IWUSR); }

bool writeAll(int fd, const char* data, ssize_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= n;
    }
    return true;
}

bool copyByBuffer(int in, int out) {
    constexpr size_t bufferSize = 1 << 20;
    const std::unique_ptr<char[]> buffer(new char[bufferSize]);
    for (;;) {
        const ssize_t n = ::read(in, buffer.get(), bufferSize);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (!writeAll(out, buffer.get(), n)) return false;
    }
}

// The kernel moves the data itself (and may share blocks) where it can; a file system or
// pairing that it refuses before the first byte falls back to a large-buffer loop, which
// carries on from the same offsets.
bool copyContents(int in, int out) {
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, size_t(1) << 30, 0);
        if (n > 0) continue;
        if (n == 0) return true;
        if (errno == EINTR) continue;
        if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) return copyByBuffer(in, out);
        return false;
    }
}

// The permission bits a new file loses at its creation: the process's umask, read once
// (reading it means setting it, for a moment; nothing else runs meanwhile).
mode_t creationMask() {
    static const mode_t mask = [] {
        const mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }();
    return mask;
}

}  // namespace

bool copyFile(const std::string& from, const std::string& to) {
    const std::string target = nativeForm(to);
    Descriptor in(::open(nativeForm(from).c_str(), O_RDONLY | O_CLOEXEC));
    struct stat source;
    if (!in.valid() || ::fstat(in.get(), &source) != 0 || !S_ISREG(source.st_mode)) return false;
    // Created with the source's permission bits; only those that the umask takes away are
    // put back afterwards.
    const mode_t mode = source.st_mode & 0777;
    Descriptor out(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    if (!out.valid()) return false;
    const struct timespec times[2] = {{0, UTIME_OMIT}, source.st_mtim};
    bool copied = copyContents(in.get(), out.get()) &&
                  (!(mode & creationMask()) || ::fchmod(out.get(), mode) == 0) && ::futimens(out.get(), times) == 0;
    copied = out.close() && copied;
    // A copy that failed part-way is no copy: nothing half-written stays under the new name.
    if (!copied) ::unlink(target.c_str());
    return copied;
}

bool copyLink(const std::string& from, const std::string& to) {
    char destination[PATH_MAX];
    const ssize_t n = ::readlink(nativeForm(from).c_str(), destination, sizeof destination - 1);
    if (n < 0) return false;
    destination[n] = '\0';
    return ::symlink(destination, nativeForm(to).c_str()) == 0;
}

bool moveFile(const std::string& from, const std::string& to) {
    const std::string source = nativeForm(from);
    const std::string target = nativeForm(to);
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return true;
    int error = errno;
    struct stat s;
    if (error == EINVAL || error == ENOSYS) {
        // A file system without the refusing rename: look first, as MoveFileA refuses anyway.
        if (::lstat(target.c_str(), &s) == 0) return false;
        if (::rename(source.c_str(), target.c_str()) == 0) return true;
        error = errno;
    }
    if (error != EXDEV) return false;
    // Another file system: MoveFileA copies a file and then deletes the original, and keeps
    // the copy even when the original cannot be deleted. A directory does not cross.
    if (::lstat(source.c_str(), &s) != 0 || !S_ISREG(s.st_mode) || !copyFile(from, to)) return false;
    ::unlink(source.c_str());
    return true;
}

bool replaceFile(const std::string& from, const std::string& to) {
    const std::string target = nativeForm(to);
    struct stat s;
    if (::lstat(target.c_str(), &s) == 0 && (S_ISDIR(s.st_mode) || readOnly(s))) return false;
    return ::rename(nativeForm(from).c_str(), target.c_str()) == 0;
}

bool deleteFile(const std::string& path) { return ::unlink(nativeForm(path).c_str()) == 0; }

bool createDirectory(const std::string& path) { return ::mkdir(nativeForm(path).c_str(), 0777) == 0; }

bool removeDirectory(const std::string& path) {
    const std::string native = nativeForm(path);
    struct stat s;
    if (::lstat(native.c_str(), &s) != 0 || readOnly(s)) return false;
    return ::rmdir(native.c_str()) == 0;
}

bool removeLink(const std::string& path) {
    const std::string native = nativeForm(path);
    struct stat s;
    return ::lstat(native.c_str(), &s) == 0 && S_ISLNK(s.st_mode) && ::unlink(native.c_str()) == 0;
}

// Only the read-only bit has a counterpart in the mode: set, it takes every write bit away;
// cleared, it gives the owner's back. Hidden, system and archive have none and are ignored.
bool setFileAttributes(const std::string& path, uint32_t attributes) {
    const std::string native = nativeForm(path);
    struct stat s;
    if (::stat(native.c_str(), &s) != 0) return false;
    const mode_t mode = (attributes & AttributeReadOnly) ? s.st_mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH)
                                                         : s.st_mode | S_IWUSR;
    return ::chmod(native.c_str(), mode & 07777) == 0;
}

std::string finalPath(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(nativeForm(path).c_str(), nullptr),
                                                               &std::free);
    return resolved ? detail::toScriptForm(resolved.get()) : std::string();
}

}  // namespace os
