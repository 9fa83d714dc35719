// Held directories on Windows: each directory opened as itself (a reparse point is refused,
// never followed) and kept from being renamed or deleted while it is held, and every entry
// inside it opened relative to its handle through the native calls, so that no name is
// looked up again from a path that could have changed. Listings and looks go by the held
// directory's path. Windows' own refusals are made here too, where Wine does not make them
// (a read-only target, a link followed). Only Win32 code belongs here.
#include <windows.h>
#include <aclapi.h>
#include <winternl.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "os/files.h"
#include "os/win32/handle.h"
#include "os/win32/wide.h"

namespace os {
using detail::Handle;

namespace {

constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Others may read and write below a held directory, but not rename or delete it.
constexpr DWORD shareHeld = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD copyBlock = 1 << 20;
// ERROR_STOPPED_ON_SYMLINK, which mingw's headers lack: what the system says when an open
// meets a link it was asked not to follow.
constexpr DWORD stoppedOnLink = 681;
// FileRenameInformation of the native calls, which mingw's headers do not name.
constexpr int fileRenameInformation = 10;
constexpr NTSTATUS sharingViolation = static_cast<NTSTATUS>(0xC0000043L);

ErrorCode fromStatus(NTSTATUS status) { return RtlNtStatusToDosError(status); }

// Opens `name` inside the directory `root`; the status of the native call.
NTSTATUS openInside(HANDLE root, const std::string& name, ACCESS_MASK access, ULONG share, ULONG disposition,
                    ULONG options, Handle& out) {
    std::wstring wide = detail::widen(name);
    UNICODE_STRING unicode;
    unicode.Buffer = wide.data();
    unicode.Length = static_cast<USHORT>(wide.size() * sizeof(wchar_t));
    unicode.MaximumLength = unicode.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &unicode, OBJ_CASE_INSENSITIVE, root, nullptr);
    IO_STATUS_BLOCK io{};
    HANDLE handle = nullptr;
    const NTSTATUS status = NtCreateFile(&handle, access | SYNCHRONIZE, &attributes, &io, nullptr,
                                         FILE_ATTRIBUTE_NORMAL, share, disposition,
                                         options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (NT_SUCCESS(status)) out.reset(handle);
    return status;
}

DWORD attributesOfHandle(HANDLE handle) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) return INVALID_FILE_ATTRIBUTES;
    return tag.FileAttributes;
}

bool isReparse(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

// Whether a handle opened as `path` itself is what the path names. Windows opens a link itself
// when asked to; Wine follows a link to a directory all the same, and then only the path
// still shows the link: whatever the handle leads to is not the entry, and is not touched.
bool followedALink(HANDLE handle, const std::string& path) {
    if (isReparse(attributesOfHandle(handle))) return false;
    const DWORD own = ::GetFileAttributesW(detail::systemPath(path).c_str());
    return own != INVALID_FILE_ATTRIBUTES && isReparse(own);
}

// Windows refuses to replace or delete a read-only file, and a directory in place of a file;
// Wine replaces and deletes read-only files, so the refusal is made here for both.
ErrorCode refusalToReplace(DWORD attributes) {
    if (isReparse(attributes)) return 0;
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) return ERROR_ACCESS_DENIED;
    return 0;
}

bool deleteOnClose(HANDLE handle, bool remove) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = remove ? TRUE : FALSE;
    return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

bool copyData(HANDLE in, HANDLE out) {
    const std::unique_ptr<char[]> buffer(new char[copyBlock]);
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(in, buffer.get(), copyBlock, &got, nullptr)) return false;
        if (got == 0) return true;
        for (DWORD done = 0; done < got;) {
            DWORD written = 0;
            if (!::WriteFile(out, buffer.get() + done, got - done, &written, nullptr) || written == 0) return false;
            done += written;
        }
    }
}

// The root of a drive or of the current drive where a path's parent is only its drive.
std::string directoryPath(const std::string& path) {
    if (path.empty()) return "\\";
    if (path.size() == 2 && path[1] == ':') return path + "\\";
    return path;
}

// The part of a path the system opens by its name (a drive's root, a share, the root of the
// current drive, or the current directory) and the elements below it, "." and ".." resolved
// by the text as Windows resolves them.
void splitRoot(const std::string& path, std::string& root, std::vector<std::string>& elements) {
    size_t rest = 0;
    if (path.size() >= 2 && path[1] == ':') {
        root = path.substr(0, 2) + "\\";
        rest = 2;
    } else if (path.rfind("\\\\", 0) == 0) {
        size_t end = 2;
        for (int separators = 0; end < path.size() && separators < 2; ++end)
            if (path[end] == '\\') ++separators;
        root = path.substr(0, end);
        if (root.back() != '\\') root += '\\';
        rest = end;
    } else if (!path.empty() && path[0] == '\\') {
        root = "\\";
        rest = 1;
    } else {
        root = ".";
    }
    elements.clear();
    while (rest <= path.size()) {
        size_t end = path.find_first_of("\\/", rest);
        if (end == std::string::npos) end = path.size();
        const std::string element = path.substr(rest, end - rest);
        rest = end + 1;
        if (element.empty() || element == ".") continue;
        if (element == "..") {
            if (!elements.empty()) elements.pop_back();
            continue;
        }
        elements.push_back(element);
    }
}

// A directory inside `root`, held so that others cannot rename or delete it; where someone
// else holds it in a way that allows that, it is opened all the same.
NTSTATUS openDirectoryInside(HANDLE root, const std::string& name, ULONG options, Handle& out) {
    const ACCESS_MASK access = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | READ_CONTROL;
    NTSTATUS status = openInside(root, name, access, shareHeld, FILE_OPEN, FILE_DIRECTORY_FILE | options, out);
    if (status == sharingViolation)
        status = openInside(root, name, access, shareAll, FILE_OPEN, FILE_DIRECTORY_FILE | options, out);
    return status;
}

// Whether the owner of what `handle` holds is the running user, the system or the
// Administrators: nobody else could have made a link there.
bool trustedOwner(HANDLE handle) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                          &descriptor) != ERROR_SUCCESS)
        return false;
    bool trusted = ::IsWellKnownSid(owner, WinLocalSystemSid) || ::IsWellKnownSid(owner, WinBuiltinAdministratorsSid);
    Handle token;
    HANDLE opened = nullptr;
    if (!trusted && ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &opened)) {
        token.reset(opened);
        unsigned char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
        DWORD size = 0;
        if (::GetTokenInformation(token.get(), TokenUser, buffer, sizeof buffer, &size))
            trusted = ::EqualSid(owner, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid) != FALSE;
    }
    ::LocalFree(descriptor);
    return trusted;
}

}  // namespace

struct Directory::Impl {
    Handle handle;
};

Directory::Directory() = default;
Directory::~Directory() = default;
Directory::Directory(Directory&&) noexcept = default;
Directory& Directory::operator=(Directory&&) noexcept = default;

Result Directory::open(const std::string& path, Directory& out) {
    std::string prefix;
    std::vector<std::string> elements;
    splitRoot(directoryPath(path), prefix, elements);
    const DWORD access = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE;
    Handle at(::CreateFileW(detail::systemPath(prefix).c_str(), access, shareAll, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!at.valid()) return Result::fail(Operation::Open, path, ::GetLastError());
    for (const std::string& element : elements) {
        prefix += (prefix.empty() || prefix.back() == '\\' ? "" : "\\") + element;
        Handle next;
        NTSTATUS status = openDirectoryInside(at.get(), element, FILE_OPEN_REPARSE_POINT, next);
        if (!NT_SUCCESS(status)) return Result::fail(Operation::Open, path, fromStatus(status));
        if (isReparse(attributesOfHandle(next.get())) || followedALink(next.get(), prefix)) {
            // A link on the way is followed only where nobody but this user or the system
            // could have made it.
            if (!trustedOwner(next.get()) || !trustedOwner(at.get()))
                return Result::fail(Operation::Open, path, UntrustedLink);
            status = openDirectoryInside(at.get(), element, 0, next);
            if (!NT_SUCCESS(status)) return Result::fail(Operation::Open, path, fromStatus(status));
        }
        at = std::move(next);
    }
    const DWORD attributes = attributesOfHandle(at.get());
    if (attributes == INVALID_FILE_ATTRIBUTES) return Result::fail(Operation::Open, path, ::GetLastError());
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return Result::fail(Operation::Open, path, ERROR_DIRECTORY);
    out.impl_ = std::make_unique<Impl>();
    out.impl_->handle = std::move(at);
    out.path_ = path;
    return {};
}

bool Directory::isOpen() const { return impl_ && impl_->handle.valid(); }

std::string Directory::pathOf(const std::string& name) const { return path_ + "\\" + name; }

Result Directory::list(const std::string& pattern, std::vector<FoundEntry>& out) const {
    out.clear();
    DirectorySearch search(pathOf(pattern));
    for (; search.found(); search.next()) {
        const FoundEntry& entry = search.entry();
        if (entry.name != "." && entry.name != "..") out.push_back(entry);
    }
    const Result& result = search.result();
    // A pattern that matches nothing is an empty listing; the caller decides what that means.
    if (!result && !isNotFound(result.error()) && result.error() != ERROR_NO_MORE_FILES)
        return Result::fail(Operation::List, path_, result.error());
    return {};
}

Result Directory::look(const std::string& name, FoundEntry& out) const {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(detail::systemPath(pathOf(name)).c_str(), GetFileExInfoStandard, &data))
        return Result::fail(Operation::Look, pathOf(name), ::GetLastError());
    out = {name, data.dwFileAttributes, (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow};
    return {};
}

Result Directory::openChild(const std::string& name, Directory& out) const {
    Handle handle;
    const NTSTATUS status = openDirectoryInside(impl_->handle.get(), name, FILE_OPEN_REPARSE_POINT, handle);
    if (!NT_SUCCESS(status)) return Result::fail(Operation::Open, pathOf(name), fromStatus(status));
    if (isReparse(attributesOfHandle(handle.get())) || followedALink(handle.get(), pathOf(name)))
        return Result::fail(Operation::Open, pathOf(name), stoppedOnLink);
    out.impl_ = std::make_unique<Impl>();
    out.impl_->handle = std::move(handle);
    out.path_ = pathOf(name);
    return {};
}

Result Directory::createChild(const std::string& name) const {
    Handle handle;
    const NTSTATUS status =
        openInside(impl_->handle.get(), name, FILE_LIST_DIRECTORY, shareAll, FILE_CREATE, FILE_DIRECTORY_FILE, handle);
    if (!NT_SUCCESS(status)) return Result::fail(Operation::CreateDirectory, pathOf(name), fromStatus(status));
    return {};
}

Result Directory::writeNewFile(const std::string& name, const std::string& bytes) const {
    Handle out;
    const NTSTATUS status = openInside(impl_->handle.get(), name, FILE_WRITE_DATA | DELETE, 0, FILE_CREATE,
                                       FILE_NON_DIRECTORY_FILE, out);
    if (!NT_SUCCESS(status)) return Result::fail(Operation::Create, pathOf(name), fromStatus(status));
    for (size_t done = 0; done < bytes.size();) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, copyBlock));
        if (!::WriteFile(out.get(), bytes.data() + done, chunk, &written, nullptr) || written == 0) {
            const DWORD error = ::GetLastError();
            deleteOnClose(out.get(), true);
            return Result::fail(Operation::Write, pathOf(name), error);
        }
        done += written;
    }
    return {};
}

struct AppendFile::Impl {
    Handle file;
};

AppendFile::AppendFile() = default;
AppendFile::~AppendFile() = default;
AppendFile::AppendFile(AppendFile&&) noexcept = default;
AppendFile& AppendFile::operator=(AppendFile&&) noexcept = default;

bool AppendFile::isOpen() const { return impl_ && impl_->file.valid(); }

Result AppendFile::append(std::string_view bytes) {
    for (size_t done = 0; done < bytes.size();) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, copyBlock));
        if (!::WriteFile(impl_->file.get(), bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return Result::fail(Operation::Write, path_, ::GetLastError());
        done += written;
    }
    return {};
}

Result AppendFile::sync() {
    if (!::FlushFileBuffers(impl_->file.get())) return Result::fail(Operation::Write, path_, ::GetLastError());
    return {};
}

Result Directory::openForAppend(const std::string& name, AppendFile& out) const {
    Handle file;
    // Others may read the file meanwhile, and append to it as we do.
    const NTSTATUS status = openInside(impl_->handle.get(), name, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN_IF,
                                       FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, file);
    if (!NT_SUCCESS(status)) return Result::fail(Operation::Open, pathOf(name), fromStatus(status));
    if (isReparse(attributesOfHandle(file.get())) || followedALink(file.get(), pathOf(name)))
        return Result::fail(Operation::Open, pathOf(name), stoppedOnLink);
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) return Result::fail(Operation::Open, pathOf(name), NotAFileOrDirectory);
    out.impl_ = std::make_unique<AppendFile::Impl>();
    out.impl_->file = std::move(file);
    out.path_ = pathOf(name);
    return {};
}

// Removes a file or link, or an empty directory, through a handle opened on the entry itself,
// refusing the other kind and what Windows keeps read-only.
// The word a listing gave is not needed: the handle tells the same at no extra cost.
Result Directory::removeEntry(const std::string& name, bool directory, uint32_t) const {
    const Operation operation = directory ? Operation::RemoveDirectory : Operation::Delete;
    Handle handle;
    const NTSTATUS status = openInside(impl_->handle.get(), name, DELETE | FILE_READ_ATTRIBUTES, shareAll, FILE_OPEN,
                                       (directory ? FILE_DIRECTORY_FILE : 0) | FILE_OPEN_REPARSE_POINT, handle);
    if (!NT_SUCCESS(status)) return Result::fail(operation, pathOf(name), fromStatus(status));
    if (followedALink(handle.get(), pathOf(name))) return Result::fail(operation, pathOf(name), stoppedOnLink);
    const DWORD attributes = attributesOfHandle(handle.get());
    if (attributes == INVALID_FILE_ATTRIBUTES) return Result::fail(operation, pathOf(name), ::GetLastError());
    // A link to a directory is removed as a file is: as itself, not as the directory.
    if (directory && isReparse(attributes)) return Result::fail(operation, pathOf(name), ERROR_DIRECTORY);
    const DWORD kept = directory ? (attributes & FILE_ATTRIBUTE_READONLY) : refusalToReplace(attributes);
    if (kept) return Result::fail(operation, pathOf(name), ERROR_ACCESS_DENIED);
    if (!deleteOnClose(handle.get(), true)) return Result::fail(operation, pathOf(name), ::GetLastError());
    return {};
}

Result Directory::checkRemovable(const std::string& name, bool directory, uint32_t listed) const {
    const Operation operation = directory ? Operation::RemoveDirectory : Operation::Delete;
    if (listed == InvalidAttributes) {
        FoundEntry own;
        if (Result looked = look(name, own); !looked) return Result::fail(operation, pathOf(name), looked.error());
        listed = own.attributes;
    }
    if (directory && (isReparse(listed) || !(listed & FILE_ATTRIBUTE_DIRECTORY)))
        return Result::fail(operation, pathOf(name), ERROR_DIRECTORY);
    const DWORD kept = directory ? (listed & FILE_ATTRIBUTE_READONLY) : refusalToReplace(listed);
    if (kept) return Result::fail(operation, pathOf(name), ERROR_ACCESS_DENIED);
    return {};
}

Result Directory::removeFile(const std::string& name, uint32_t listed) const { return removeEntry(name, false, listed); }

Result Directory::removeChild(const std::string& name) const { return removeEntry(name, true, InvalidAttributes); }

Result Directory::setAttributes(const std::string& name, uint32_t attributes) const {
    Handle handle;
    const NTSTATUS status = openInside(impl_->handle.get(), name, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                       shareAll, FILE_OPEN, FILE_OPEN_REPARSE_POINT, handle);
    if (!NT_SUCCESS(status)) return Result::fail(Operation::SetAttributes, pathOf(name), fromStatus(status));
    if (isReparse(attributesOfHandle(handle.get())) || followedALink(handle.get(), pathOf(name)))
        return Result::fail(Operation::SetAttributes, pathOf(name), stoppedOnLink);
    // As SetFileAttributesW hands the word on: "normal" stands for no other bit, and times
    // of 0 stay as they are.
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = attributes | FILE_ATTRIBUTE_NORMAL;
    if (!::SetFileInformationByHandle(handle.get(), FileBasicInfo, &basic, sizeof basic))
        return Result::fail(Operation::SetAttributes, pathOf(name), ::GetLastError());
    return {};
}

Result Directory::syncFile(const std::string& name) const {
    Handle file;
    const NTSTATUS status = openInside(impl_->handle.get(), name, FILE_WRITE_DATA | FILE_READ_ATTRIBUTES, shareAll,
                                       FILE_OPEN, FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, file);
    if (!NT_SUCCESS(status)) return Result::fail(Operation::Write, pathOf(name), fromStatus(status));
    if (!::FlushFileBuffers(file.get())) return Result::fail(Operation::Write, pathOf(name), ::GetLastError());
    return {};
}

// NTFS keeps a directory's names through its own journal: a rename is never lost half-made,
// and the data of what it renames has been flushed before (copyTo with `durable`, syncFile).
Result Directory::sync() const { return {}; }

Result Directory::copyTo(const std::string& name, const Directory& to, const std::string& toName, bool durable) const {
    Handle in;
    NTSTATUS status = openInside(impl_->handle.get(), name, FILE_READ_DATA | FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_DELETE, FILE_OPEN,
                                 FILE_OPEN_REPARSE_POINT | FILE_SEQUENTIAL_ONLY, in);
    if (!NT_SUCCESS(status)) return Result::fail(Operation::Copy, pathOf(name), fromStatus(status));
    if (followedALink(in.get(), pathOf(name))) return Result::fail(Operation::Copy, pathOf(name), stoppedOnLink);
    FILE_BASIC_INFO source{};
    if (!::GetFileInformationByHandleEx(in.get(), FileBasicInfo, &source, sizeof source))
        return Result::fail(Operation::Read, pathOf(name), ::GetLastError());
    if (isReparse(source.FileAttributes)) {
        // The link itself, as the system copies one: a new link to the same place.
        in.reset();
        if (!::CopyFileExW(detail::systemPath(pathOf(name)).c_str(), detail::systemPath(to.pathOf(toName)).c_str(),
                           nullptr, nullptr, nullptr, COPY_FILE_FAIL_IF_EXISTS | COPY_FILE_COPY_SYMLINK))
            return Result::fail(Operation::Copy, pathOf(name), ::GetLastError());
        return {};
    }
    if (source.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return Result::fail(Operation::Copy, pathOf(name), ERROR_ACCESS_DENIED);
    if (::GetFileType(in.get()) != FILE_TYPE_DISK) return Result::fail(Operation::Copy, pathOf(name), NotAFileOrDirectory);

    Handle out;
    status = openInside(to.impl_->handle.get(), toName, FILE_WRITE_DATA | FILE_WRITE_ATTRIBUTES | DELETE, 0,
                        FILE_CREATE, FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY, out);
    if (!NT_SUCCESS(status)) return Result::fail(Operation::Create, to.pathOf(toName), fromStatus(status));
    // The copy keeps the source's attribute word and last-write time, as CopyFileW's does; a
    // copy that fails part-way goes when its handle closes.
    FILE_BASIC_INFO copied{};
    copied.LastWriteTime = source.LastWriteTime;
    copied.FileAttributes = source.FileAttributes | FILE_ATTRIBUTE_NORMAL;
    if (!copyData(in.get(), out.get()) ||
        !::SetFileInformationByHandle(out.get(), FileBasicInfo, &copied, sizeof copied) ||
        (durable && !::FlushFileBuffers(out.get()))) {
        const DWORD error = ::GetLastError();
        deleteOnClose(out.get(), true);
        return Result::fail(Operation::Write, to.pathOf(toName), error);
    }
    return {};
}

Result Directory::checkReplaceable(const std::string& name, uint32_t listed) const {
    const DWORD attributes =
        listed != InvalidAttributes ? listed : ::GetFileAttributesW(detail::systemPath(pathOf(name)).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (isNotFound(error)) return {};
        return Result::fail(Operation::Look, pathOf(name), error);
    }
    if (const ErrorCode refused = refusalToReplace(attributes))
        return Result::fail(Operation::Replace, pathOf(name), refused);
    return {};
}

Result Directory::moveTo(const std::string& name, const Directory& to, const std::string& toName, bool replace) const {
    const Operation operation = replace ? Operation::Replace : Operation::Move;
    if (replace)
        if (Result replaceable = to.checkReplaceable(toName); !replaceable) return replaceable;
    if (replace) {
        // A file another program holds open without letting it be deleted cannot be replaced
        // either; the system would say only "access denied", which a retry cannot tell from a
        // refusal that lasts. Asking for it first gives the sharing violation.
        Handle held;
        const NTSTATUS probed = openInside(to.impl_->handle.get(), toName, DELETE | FILE_READ_ATTRIBUTES, shareAll,
                                           FILE_OPEN, FILE_OPEN_REPARSE_POINT, held);
        if (probed == sharingViolation) return Result::fail(operation, to.pathOf(toName), ERROR_SHARING_VIOLATION);
    }
    Handle moved;
    const NTSTATUS status =
        openInside(impl_->handle.get(), name, DELETE | FILE_READ_ATTRIBUTES, shareAll, FILE_OPEN, FILE_OPEN_REPARSE_POINT, moved);
    if (!NT_SUCCESS(status)) return Result::fail(operation, pathOf(name), fromStatus(status));
    if (followedALink(moved.get(), pathOf(name))) return Result::fail(operation, pathOf(name), stoppedOnLink);
    const std::wstring target = detail::widen(toName);
    const size_t size = offsetof(FILE_RENAME_INFO, FileName) + (target.size() + 1) * sizeof(wchar_t);
    std::vector<unsigned char> buffer(size, 0);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = replace ? TRUE : FALSE;
    rename->RootDirectory = to.impl_->handle.get();
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::copy(target.begin(), target.end(), rename->FileName);
    // The native call: the kernel32 one refuses a rename relative to a directory under Wine.
    IO_STATUS_BLOCK io{};
    const NTSTATUS renamed = NtSetInformationFile(moved.get(), &io, rename, static_cast<ULONG>(size),
                                                  static_cast<FILE_INFORMATION_CLASS>(fileRenameInformation));
    if (!NT_SUCCESS(renamed)) {
        const ErrorCode error = fromStatus(renamed);
        return Result::fail(operation, isCrossVolume(error) ? pathOf(name) : to.pathOf(toName), error);
    }
    return {};
}

}  // namespace os
