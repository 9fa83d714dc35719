// Held directories on POSIX: a descriptor per directory and the *at calls, so that no name
// is ever looked up again from a path that could have changed. Windows' refusals (read-only
// files and directories, an existing target) are made here. Only POSIX code belongs here.
#include <fcntl.h>
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
#include "os/posix/trusted_path.h"
#include "os/posix/trusted_path.h"
#include "os/posix/wildcard.h"

namespace os {
using detail::Descriptor;

namespace {

// Windows keeps a read-only file or directory from being overwritten or deleted whoever
// asks; without this check the owner (and root always) could. A link has no protection of
// its own.
bool keptReadOnly(uint32_t word) { return (word & AttributeReadOnly) && !isLinkWord(word); }

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
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
        if (!writeAll(out, buffer.get(), static_cast<size_t>(n))) return false;
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

ErrorCode lastError() { return static_cast<ErrorCode>(errno); }

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
    if (const ErrorCode error = detail::openTrustedDirectory(native, fd)) return Result::fail(Operation::Open, path, error);
    out.impl_ = std::make_unique<Impl>();
    out.impl_->fd = std::move(fd);
    out.path_ = path;
    return {};
}

bool Directory::isOpen() const { return impl_ && impl_->fd.valid(); }

std::string Directory::pathOf(const std::string& name) const { return path_ + "\\" + name; }

Result Directory::list(const std::string& pattern, std::vector<FoundEntry>& out) const {
    out.clear();
    int error = 0;
    if (detail::hasWildcards(pattern)) {
        error = detail::listMatching(impl_->fd.get(), pattern, false, out);
    } else {
        FoundEntry entry{pattern, 0, 0};
        error = detail::lookAt(impl_->fd.get(), pattern.c_str(), pattern, false, entry);
        if (error == 0) out.push_back(std::move(entry));
    }
    if (error != 0) return Result::fail(Operation::List, path_, static_cast<ErrorCode>(error));
    return {};
}

Result Directory::look(const std::string& name, FoundEntry& out) const {
    out.name = name;
    const int error = detail::lookAt(impl_->fd.get(), name.c_str(), name, false, out);
    if (error != 0) return Result::fail(Operation::Look, pathOf(name), static_cast<ErrorCode>(error));
    return {};
}

Result Directory::openChild(const std::string& name, Directory& out) const {
    Descriptor fd(::openat(impl_->fd.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) return Result::fail(Operation::Open, pathOf(name), lastError());
    out.impl_ = std::make_unique<Impl>();
    out.impl_->fd = std::move(fd);
    out.path_ = pathOf(name);
    return {};
}

Result Directory::createChild(const std::string& name) const {
    if (::mkdirat(impl_->fd.get(), name.c_str(), 0777) != 0)
        return Result::fail(Operation::CreateDirectory, pathOf(name), lastError());
    return {};
}

// Removes a file or link (unlinkat) or an empty directory (with AT_REMOVEDIR), refusing the
// other kind and what Windows keeps read-only.
Result Directory::writeNewFile(const std::string& name, const std::string& bytes) const {
    Descriptor out(::openat(impl_->fd.get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!out.valid()) return Result::fail(Operation::Create, pathOf(name), lastError());
    bool written = writeAll(out.get(), bytes.data(), bytes.size());
    ErrorCode error = written ? 0 : lastError();
    if (!out.close() && written) {
        written = false;
        error = lastError();
    }
    if (written) return {};
    ::unlinkat(impl_->fd.get(), name.c_str(), 0);
    return Result::fail(Operation::Write, pathOf(name), error);
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
    if (!writeAll(impl_->fd.get(), bytes.data(), bytes.size())) return Result::fail(Operation::Write, path_, lastError());
    return {};
}

Result AppendFile::sync() {
    if (::fsync(impl_->fd.get()) != 0) return Result::fail(Operation::Write, path_, lastError());
    return {};
}

Result Directory::openForAppend(const std::string& name, AppendFile& out) const {
    Descriptor fd(::openat(impl_->fd.get(), name.c_str(),
                           O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644));
    if (!fd.valid()) return Result::fail(Operation::Open, pathOf(name), lastError());
    struct stat info;
    if (::fstat(fd.get(), &info) != 0) return Result::fail(Operation::Open, pathOf(name), lastError());
    if (!S_ISREG(info.st_mode)) return Result::fail(Operation::Open, pathOf(name), NotAFileOrDirectory);
    out.impl_ = std::make_unique<AppendFile::Impl>();
    out.impl_->fd = std::move(fd);
    out.path_ = pathOf(name);
    return {};
}

Result Directory::checkRemovable(const std::string& name, bool directory, uint32_t listed) const {
    const Operation operation = directory ? Operation::RemoveDirectory : Operation::Delete;
    if (listed == InvalidAttributes) {
        FoundEntry own;
        if (const int error = detail::lookAt(impl_->fd.get(), name.c_str(), name, false, own))
            return Result::fail(operation, pathOf(name), static_cast<ErrorCode>(error));
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
    if (::unlinkat(impl_->fd.get(), name.c_str(), directory ? AT_REMOVEDIR : 0) != 0)
        return Result::fail(operation, pathOf(name), lastError());
    return {};
}

Result Directory::removeFile(const std::string& name, uint32_t listed) const { return removeEntry(name, false, listed); }

Result Directory::removeChild(const std::string& name) const { return removeEntry(name, true, InvalidAttributes); }

// Only the read-only bit has a counterpart in the mode: set, it takes every write bit away;
// cleared, it gives the owner's back. Hidden, system and archive have none and are ignored.
Result Directory::setAttributes(const std::string& name, uint32_t attributes) const {
    struct stat s;
    if (::fstatat(impl_->fd.get(), name.c_str(), &s, AT_SYMLINK_NOFOLLOW) != 0)
        return Result::fail(Operation::SetAttributes, pathOf(name), lastError());
    if (S_ISLNK(s.st_mode)) return Result::fail(Operation::SetAttributes, pathOf(name), ELOOP);
    const mode_t mode = (attributes & AttributeReadOnly) ? s.st_mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH)
                                                         : s.st_mode | S_IWUSR;
    if (::fchmodat(impl_->fd.get(), name.c_str(), mode & 07777, AT_SYMLINK_NOFOLLOW) != 0)
        return Result::fail(Operation::SetAttributes, pathOf(name), lastError());
    return {};
}

Result Directory::syncFile(const std::string& name) const {
    Descriptor fd(::openat(impl_->fd.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) return errno == ELOOP ? Result() : Result::fail(Operation::Write, pathOf(name), lastError());
    if (::fsync(fd.get()) != 0) return Result::fail(Operation::Write, pathOf(name), lastError());
    return {};
}

Result Directory::sync() const {
    if (::fsync(impl_->fd.get()) != 0) return Result::fail(Operation::Write, path_, lastError());
    return {};
}

Result Directory::copyTo(const std::string& name, const Directory& to, const std::string& toName, bool durable) const {
    const int from = impl_->fd.get();
    const int into = to.impl_->fd.get();
    Descriptor in;
    struct stat source;
    // A link refuses to be opened as itself, which is how one is told from a file here.
    if (const ErrorCode error = detail::openRegularFile(from, name.c_str(), true, in, &source)) {
        struct stat own;
        if (error != ELOOP || ::fstatat(from, name.c_str(), &own, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(own.st_mode))
            return Result::fail(Operation::Copy, pathOf(name), error);
        // The link itself: a new link to the same place. What it leads to is neither read nor
        // changed.
        char destination[PATH_MAX];
        const ssize_t n = ::readlinkat(from, name.c_str(), destination, sizeof destination - 1);
        if (n < 0) return Result::fail(Operation::Copy, pathOf(name), lastError());
        destination[n] = '\0';
        if (::symlinkat(destination, into, toName.c_str()) != 0)
            return Result::fail(Operation::Create, to.pathOf(toName), lastError());
        return {};
    }
    // Created with the source's permission bits; only those that the umask takes away are
    // put back afterwards.
    const mode_t mode = source.st_mode & 0777;
    Descriptor out(::openat(into, toName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!out.valid()) return Result::fail(Operation::Create, to.pathOf(toName), lastError());
    const struct timespec times[2] = {{0, UTIME_OMIT}, source.st_mtim};
    bool copied = copyContents(in.get(), out.get()) &&
                  (!(mode & creationMask()) || ::fchmod(out.get(), mode) == 0) && ::futimens(out.get(), times) == 0 &&
                  (!durable || ::fsync(out.get()) == 0);
    ErrorCode error = copied ? 0 : lastError();
    if (!out.close() && copied) {
        copied = false;
        error = lastError();
    }
    if (copied) return {};
    // A copy that failed part-way is no copy: nothing half-written stays under the new name.
    ::unlinkat(into, toName.c_str(), 0);
    return Result::fail(Operation::Write, to.pathOf(toName), error);
}

Result Directory::checkReplaceable(const std::string& name, uint32_t listed) const {
    FoundEntry existing;
    existing.attributes = listed;
    if (listed == InvalidAttributes) {
        if (const int error = detail::lookAt(impl_->fd.get(), name.c_str(), name, false, existing)) {
            if (error == ENOENT) return {};
            return Result::fail(Operation::Look, pathOf(name), static_cast<ErrorCode>(error));
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
        if (::renameat(from, name.c_str(), into, toName.c_str()) != 0)
            return Result::fail(Operation::Replace, to.pathOf(toName), lastError());
        return {};
    }
    if (::renameat2(from, name.c_str(), into, toName.c_str(), RENAME_NOREPLACE) == 0) return {};
    ErrorCode error = lastError();
    if (error == EINVAL || error == ENOSYS) {
        // A file system without the refusing rename: look first, as MoveFileW refuses anyway.
        struct stat existing;
        if (::fstatat(into, toName.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
            return Result::fail(Operation::Move, to.pathOf(toName), EEXIST);
        if (::renameat(from, name.c_str(), into, toName.c_str()) == 0) return {};
        error = lastError();
    }
    return Result::fail(Operation::Move, error == EXDEV ? pathOf(name) : to.pathOf(toName), error);
}

}  // namespace os
