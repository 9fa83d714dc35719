// Held directories on POSIX: a descriptor per directory and the *at calls, so that no name
// is ever looked up again from a path that could have changed. Windows' refusals (read-only
// files and directories, an existing target) are made here. Every call goes through the
// table of system_calls.h. Only POSIX code belongs here.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <memory>
#include <vector>

#include "os/files.h"
#include "os/posix/attribute_words.h"
#include "os/posix/descriptor.h"
#include "os/posix/listing.h"
#include "os/posix/native_path.h"
#include "os/posix/positioned_read.h"
#include "os/posix/system_calls.h"
#include "os/posix/trusted_path.h"
#include "os/posix/wildcard.h"
#include "text/script_path.h"

namespace os {
using detail::CallError;
using detail::Descriptor;
using detail::failedCall;
using detail::failure;
namespace sys = detail::sys;

namespace {

// Windows keeps a read-only file or directory from being overwritten or deleted whoever
// asks; without this check the owner (and root always) could. A link has no protection of
// its own.
bool keptReadOnly(uint32_t word) { return (word & AttributeReadOnly) && !isLinkWord(word); }

CallError writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = sys::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return failedCall("write");
        if (n == 0) return {EIO, "write"};
        data += n;
        size -= static_cast<size_t>(n);
    }
    return {};
}

CallError copyByBuffer(int in, int out, const Directory::CopyProgress& copied) {
    constexpr size_t bufferSize = 1 << 20;
    const std::unique_ptr<char[]> buffer(new char[bufferSize]);
    for (;;) {
        const ssize_t n = sys::read(in, buffer.get(), bufferSize);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return failedCall("read");
        if (n == 0) return {};
        if (const CallError error = writeAll(out, buffer.get(), static_cast<size_t>(n))) return error;
        if (copied) copied(static_cast<uint64_t>(n));
    }
}

// The kernel moves the data itself (and may share blocks) where it can; a file system or
// pairing that it refuses before the first byte falls back to a large-buffer loop, which
// carries on from the same offsets.
CallError copyContents(int in, int out, const Directory::CopyProgress& copied) {
    // Told as it goes, the copy goes in steps small enough to be seen moving.
    const size_t step = copied ? size_t(16) << 20 : size_t(1) << 30;
    for (;;) {
        const ssize_t n = sys::copy_file_range(in, out, step);
        if (n > 0) {
            if (copied) copied(static_cast<uint64_t>(n));
            continue;
        }
        if (n == 0) return {};
        if (errno == EINTR) continue;
        if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)
            return copyByBuffer(in, out, copied);
        return failedCall("copy_file_range");
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

// Removes what a write that failed part-way left under `name`: it is ours (made exclusively a
// moment ago), and nothing half-written may stay. A removal that fails too leaves the name to
// the caller's report of the first failure, which is the one that counts.
void discardPartial(int dirfd, const std::string& name) {
    (void)sys::unlinkat(dirfd, name.c_str(), 0);  // see above: the write's failure is reported
}

// A new file `toName` in the directory `into` (whose path is `intoPath`) with the permission
// bits and last-write time of `source` and the contents `contents` writes to its descriptor.
Result writeLike(const struct stat& source, int into, const std::string& intoPath, const std::string& toName,
                 bool durable, const std::function<Result(int out)>& contents) {
    const std::string target = paths::join(intoPath, toName);
    // Created with the source's permission bits; only those that the umask takes away are
    // put back afterwards.
    const mode_t mode = source.st_mode & 0777;
    Descriptor out(sys::openat(into, toName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!out.valid()) return failure(Operation::Create, target, failedCall("openat"));
    const struct timespec times[2] = {{0, UTIME_OMIT}, source.st_mtim};
    Result written = contents(out.get());
    CallError error;
    if (written && (mode & creationMask()) && sys::fchmod(out.get(), mode) != 0) error = failedCall("fchmod");
    if (written && !error && sys::futimens(out.get(), times) != 0) error = failedCall("futimens");
#ifdef CRASH_TEST_LEAVE_OUT_FILE_FLUSH  // only in a build the crash explorer must catch
    durable = false;
#endif
    if (written && !error && durable && sys::fsync(out.get()) != 0) error = failedCall("fsync");
    if (!out.close() && written && !error) error = failedCall("close");
    if (error) written = failure(Operation::Write, target, error);
    if (written) return {};
    // A file that failed part-way is no file: nothing half-written stays under the new name.
    discardPartial(into, toName);
    return written;
}

}  // namespace

struct Directory::Impl {
    Descriptor fd;
};

Directory::Directory() = default;
Directory::~Directory() = default;
Directory::Directory(Directory&&) noexcept = default;
Directory& Directory::operator=(Directory&&) noexcept = default;

Result Directory::open(const std::string& path, Directory& out) {
    // The parent of "\name" is the empty text: the root.
    const std::string native = path.empty() ? "/" : detail::nativePath(path);
    Descriptor fd;
    if (const CallError error = detail::openTrustedDirectory(native, fd)) return failure(Operation::Open, path, error);
    out.impl_ = std::make_unique<Impl>();
    out.impl_->fd = std::move(fd);
    out.path_ = path;
    return {};
}

bool Directory::isOpen() const { return impl_ && impl_->fd.valid(); }

std::string Directory::pathOf(const std::string& name) const { return paths::join(path_, name); }

Result Directory::list(const std::string& pattern, std::vector<FoundEntry>& out) const {
    out.clear();
    CallError error;
    if (detail::hasWildcards(pattern)) {
        error = detail::listMatching(impl_->fd.get(), pattern, false, out);
    } else {
        FoundEntry entry{pattern, 0, 0};
        error = detail::lookAt(impl_->fd.get(), pattern.c_str(), pattern, false, entry);
        // One name that is not there is a listing without it; it is the caller's to say
        // whether that is a failure.
        if (!error) out.push_back(std::move(entry));
        if (error.error == ENOENT) error = {};
    }
    if (error) return failure(Operation::List, path_, error);
    return {};
}

Result Directory::look(const std::string& name, FoundEntry& out) const {
    out.name = name;
    if (const CallError error = detail::lookAt(impl_->fd.get(), name.c_str(), name, false, out))
        return failure(Operation::Look, pathOf(name), error);
    return {};
}

Result Directory::identify(const std::string& name, FileIdentity& out) const {
    struct statx own;
    if (sys::statx(impl_->fd.get(), name.c_str(), AT_SYMLINK_NOFOLLOW, STATX_INO | STATX_BTIME, &own) != 0)
        return failure(Operation::Look, pathOf(name), failedCall("statx"));
    // An inode number is given again as soon as one is free; the birth time tells the two apart.
    const uint64_t birth = (own.stx_mask & STATX_BTIME)
                               ? uint64_t(own.stx_btime.tv_sec) * 1000000000u + own.stx_btime.tv_nsec
                               : 0;
    out = {(uint64_t(own.stx_dev_major) << 32) | own.stx_dev_minor, own.stx_ino, birth};
    return {};
}

Result Directory::identity(FileIdentity& out) const {
    struct statx own;
    if (sys::statx(impl_->fd.get(), "", AT_EMPTY_PATH, STATX_INO | STATX_BTIME, &own) != 0)
        return failure(Operation::Look, path_, failedCall("statx"));
    const uint64_t birth = (own.stx_mask & STATX_BTIME)
                               ? uint64_t(own.stx_btime.tv_sec) * 1000000000u + own.stx_btime.tv_nsec
                               : 0;
    out = {(uint64_t(own.stx_dev_major) << 32) | own.stx_dev_minor, own.stx_ino, birth};
    return {};
}

Result Directory::openChild(const std::string& name, Directory& out) const {
    Descriptor fd(sys::openat(impl_->fd.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) return failure(Operation::Open, pathOf(name), failedCall("openat"));
    out.impl_ = std::make_unique<Impl>();
    out.impl_->fd = std::move(fd);
    out.path_ = pathOf(name);
    return {};
}

Result Directory::createChild(const std::string& name) const {
    if (sys::mkdirat(impl_->fd.get(), name.c_str(), 0777) != 0)
        return failure(Operation::CreateDirectory, pathOf(name), failedCall("mkdirat"));
    return {};
}

Result Directory::writeNewFile(const std::string& name, const std::string& bytes) const {
    Descriptor out(sys::openat(impl_->fd.get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!out.valid()) return failure(Operation::Create, pathOf(name), failedCall("openat"));
    CallError error = writeAll(out.get(), bytes.data(), bytes.size());
    if (!out.close() && !error) error = failedCall("close");
    if (!error) return {};
    discardPartial(impl_->fd.get(), name);
    return failure(Operation::Write, pathOf(name), error);
}

struct AppendFile::Impl {
    Descriptor fd;
};

AppendFile::AppendFile() = default;
AppendFile::~AppendFile() = default;
AppendFile::AppendFile(AppendFile&&) noexcept = default;
AppendFile& AppendFile::operator=(AppendFile&&) noexcept = default;

bool AppendFile::isOpen() const { return impl_ && impl_->fd.valid(); }

Result AppendFile::append(std::string_view bytes) {
    if (const CallError error = writeAll(impl_->fd.get(), bytes.data(), bytes.size()))
        return failure(Operation::Write, path_, error);
    return {};
}

Result AppendFile::sync() {
    if (sys::fsync(impl_->fd.get()) != 0) return failure(Operation::Write, path_, failedCall("fsync"));
    return {};
}

Result AppendFile::readAll(std::string& out) {
    out.clear();
    char chunk[65536];
    for (off_t at = 0;;) {
        const ssize_t got = sys::pread(impl_->fd.get(), chunk, sizeof chunk, at);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return failure(Operation::Read, path_, failedCall("pread"));
        if (got == 0) return {};
        out.append(chunk, static_cast<size_t>(got));
        at += got;
    }
}

namespace {

// The file `name` of `dirfd` opened for appending (and reading, with `readable`), made when
// missing with `create`; anything but a regular file there is refused.
Result openAppending(int dirfd, const std::string& path, const std::string& name, bool create, bool readable,
                     Descriptor& out) {
    const int flags = (readable ? O_RDWR : O_WRONLY) | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC |
                      (create ? O_CREAT : 0);
    Descriptor fd(sys::openat(dirfd, name.c_str(), flags, 0644));
    if (!fd.valid()) return failure(Operation::Open, path, failedCall("openat"));
    struct stat info;
    if (sys::fstat(fd.get(), &info) != 0) return failure(Operation::Open, path, failedCall("fstat"));
    if (!S_ISREG(info.st_mode)) return Result::fail(Operation::Open, path, NotAFileOrDirectory);
    out = std::move(fd);
    return {};
}

}  // namespace

Result Directory::openForAppend(const std::string& name, AppendFile& out) const {
    Descriptor fd;
    if (Result opened = openAppending(impl_->fd.get(), pathOf(name), name, true, false, fd); !opened) return opened;
    out.impl_ = std::make_unique<AppendFile::Impl>();
    out.impl_->fd = std::move(fd);
    out.path_ = pathOf(name);
    return {};
}

Result Directory::openExclusive(const std::string& name, bool create, AppendFile& out) const {
    Descriptor fd;
    if (Result opened = openAppending(impl_->fd.get(), pathOf(name), name, create, true, fd); !opened) return opened;
    // The lock goes with the descriptor, and with the process however it ends.
    if (sys::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) return Result::fail(Operation::Open, pathOf(name), InUseByAnotherRun, "flock");
        return failure(Operation::Open, pathOf(name), failedCall("flock"));
    }
    out.impl_ = std::make_unique<AppendFile::Impl>();
    out.impl_->fd = std::move(fd);
    out.path_ = pathOf(name);
    return {};
}

Result Directory::checkRemovable(const std::string& name, bool directory, uint32_t listed) const {
    const Operation operation = directory ? Operation::RemoveDirectory : Operation::Delete;
    if (listed == InvalidAttributes) {
        FoundEntry own;
        if (const CallError error = detail::lookAt(impl_->fd.get(), name.c_str(), name, false, own))
            return failure(operation, pathOf(name), error);
        listed = own.attributes;
    }
    if (isDirectoryWord(listed) != directory)
        return Result::fail(operation, pathOf(name), directory ? ENOTDIR : EISDIR);
    if (keptReadOnly(listed)) return Result::fail(operation, pathOf(name), EACCES);
    return {};
}

Result Directory::removeEntry(const std::string& name, bool directory, uint32_t listed) const {
    const Operation operation = directory ? Operation::RemoveDirectory : Operation::Delete;
    if (Result removable = checkRemovable(name, directory, listed); !removable) return removable;
    if (sys::unlinkat(impl_->fd.get(), name.c_str(), directory ? AT_REMOVEDIR : 0) != 0)
        return failure(operation, pathOf(name), failedCall("unlinkat"));
    return {};
}

Result Directory::removeFile(const std::string& name, uint32_t listed) const { return removeEntry(name, false, listed); }

Result Directory::removeChild(const std::string& name) const { return removeEntry(name, true, InvalidAttributes); }

// Only the read-only bit has a counterpart in the mode: set, it takes every write bit away;
// cleared, it gives the owner's back. Hidden, system and archive have none and are ignored.
Result Directory::setAttributes(const std::string& name, uint32_t attributes) const {
    struct stat s;
    if (sys::fstatat(impl_->fd.get(), name.c_str(), &s, AT_SYMLINK_NOFOLLOW) != 0)
        return failure(Operation::SetAttributes, pathOf(name), failedCall("fstatat"));
    if (S_ISLNK(s.st_mode)) return Result::fail(Operation::SetAttributes, pathOf(name), ELOOP);
    const mode_t mode = (attributes & AttributeReadOnly) ? s.st_mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH)
                                                         : s.st_mode | S_IWUSR;
    if (sys::fchmodat(impl_->fd.get(), name.c_str(), mode & 07777, AT_SYMLINK_NOFOLLOW) != 0)
        return failure(Operation::SetAttributes, pathOf(name), failedCall("fchmodat"));
    return {};
}

Result Directory::syncFile(const std::string& name) const {
    Descriptor fd(sys::openat(impl_->fd.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    // A link has no data of its own to put on the disk.
    if (!fd.valid()) return errno == ELOOP ? Result() : failure(Operation::Write, pathOf(name), failedCall("openat"));
    if (sys::fsync(fd.get()) != 0) return failure(Operation::Write, pathOf(name), failedCall("fsync"));
    return {};
}

// A mode is the inode's own: only a flush of the entry itself puts it there for certain. An
// entry this user may not open for reading (its mode lets its owner only write) is flushed
// with its directory instead: on a journaling file system that commits the change too, and
// a flush must never be what keeps an update from ending.
Result Directory::syncAttributes(const std::string& name) const {
    Result synced = syncFile(name);
    if (!synced && (synced.error() == EACCES || synced.error() == EPERM)) synced = sync();
    return synced;
}

Result Directory::sync() const {
#ifndef CRASH_TEST_LEAVE_OUT_DIRECTORY_FLUSH  // defined only in a build the crash explorer must catch
    if (sys::fsync(impl_->fd.get()) != 0) return failure(Operation::Write, path_, failedCall("fsync"));
#endif
    return {};
}

Result Directory::copyTo(const std::string& name, const Directory& to, const std::string& toName, bool durable,
                         const CopyProgress& copied) const {
    const int from = impl_->fd.get();
    const int into = to.impl_->fd.get();
    Descriptor in;
    struct stat source;
    // A link refuses to be opened as itself, which is how one is told from a file here.
    if (const CallError error = detail::openRegularFile(from, name.c_str(), true, in, &source)) {
        if (error.error != ELOOP) return failure(Operation::Copy, pathOf(name), error);
        struct stat own;
        if (sys::fstatat(from, name.c_str(), &own, AT_SYMLINK_NOFOLLOW) != 0)
            return failure(Operation::Copy, pathOf(name), failedCall("fstatat"));
        if (!S_ISLNK(own.st_mode)) return failure(Operation::Copy, pathOf(name), error);
        // The link itself: a new link to the same place. What it leads to is neither read nor
        // changed.
        char destination[PATH_MAX];
        const ssize_t n = sys::readlinkat(from, name.c_str(), destination, sizeof destination - 1);
        if (n < 0) return failure(Operation::Copy, pathOf(name), failedCall("readlinkat"));
        destination[n] = '\0';
        if (sys::symlinkat(destination, into, toName.c_str()) != 0)
            return failure(Operation::Create, to.pathOf(toName), failedCall("symlinkat"));
        return {};
    }
    return writeLike(source, to.impl_->fd.get(), to.path(), toName, durable, [&](int out) {
        const CallError error = copyContents(in.get(), out, copied);
        return error ? failure(Operation::Write, to.pathOf(toName), error) : Result();
    });
}

Result Directory::produceTo(const std::string& name, const Directory& to, const std::string& toName, bool durable,
                            const Producer& produce) const {
    Descriptor in;
    struct stat source;
    if (const CallError error = detail::openRegularFile(impl_->fd.get(), name.c_str(), true, in, &source))
        return failure(Operation::Read, pathOf(name), error);
    const std::string sourcePath = pathOf(name);
    const ReadAt read = [&](uint64_t offset, void* into, size_t n, size_t& got) -> Result {
        const CallError error = detail::readAtOffset(in.get(), offset, into, n, got);
        return error ? failure(Operation::Read, sourcePath, error) : Result();
    };
    return writeLike(source, to.impl_->fd.get(), to.path(), toName, durable, [&](int out) {
        const Put put = [&](const void* bytes, size_t n) -> Result {
            const CallError error = writeAll(out, static_cast<const char*>(bytes), n);
            return error ? failure(Operation::Write, to.pathOf(toName), error) : Result();
        };
        return produce(read, static_cast<uint64_t>(source.st_size), put);
    });
}

Result Directory::checkReplaceable(const std::string& name, uint32_t listed) const {
    FoundEntry existing;
    existing.attributes = listed;
    if (listed == InvalidAttributes) {
        if (const CallError error = detail::lookAt(impl_->fd.get(), name.c_str(), name, false, existing)) {
            if (error.error == ENOENT) return {};
            return failure(Operation::Look, pathOf(name), error);
        }
    }
    if (isDirectoryWord(existing.attributes)) return Result::fail(Operation::Replace, pathOf(name), EISDIR);
    if (keptReadOnly(existing.attributes)) return Result::fail(Operation::Replace, pathOf(name), EACCES);
    return {};
}

Result Directory::moveTo(const std::string& name, const Directory& to, const std::string& toName, bool replace) const {
    const int from = impl_->fd.get();
    const int into = to.impl_->fd.get();
    if (replace) {
        if (Result replaceable = to.checkReplaceable(toName); !replaceable) return replaceable;
        if (sys::renameat(from, name.c_str(), into, toName.c_str()) != 0)
            return failure(Operation::Replace, to.pathOf(toName), failedCall("renameat"));
        return {};
    }
    if (sys::renameat2(from, name.c_str(), into, toName.c_str(), RENAME_NOREPLACE) == 0) return {};
    CallError error = failedCall("renameat2");
    if (error.error == EINVAL || error.error == ENOSYS) {
        // A file system without the refusing rename: look first, as MoveFileW refuses anyway.
        struct stat existing;
        if (sys::fstatat(into, toName.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
            return Result::fail(Operation::Move, to.pathOf(toName), EEXIST, "renameat2");
        if (errno != ENOENT) return failure(Operation::Move, to.pathOf(toName), failedCall("fstatat"));
        if (sys::renameat(from, name.c_str(), into, toName.c_str()) == 0) return {};
        error = failedCall("renameat");
    }
    return failure(Operation::Move, error.error == EXDEV ? pathOf(name) : to.pathOf(toName), error);
}

}  // namespace os
