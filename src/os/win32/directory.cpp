// Held directories on Windows: each directory opened as itself (a reparse point is refused,
// never followed) and kept from being renamed or deleted while it is held, and every entry
// inside it opened relative to its handle through the native calls, so that no name is
// looked up again from a path that could have changed. Listings and looks go by the held
// directory's path. Windows' own refusals are made here too, where Wine does not make them
// (a read-only target, a link followed). Every call on a file or directory goes through the
// table of system_calls.h. Only Win32 code belongs here.
#include <windows.h>
#include <aclapi.h>
#include <winternl.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "os/files.h"
#include "text/script_path.h"
#include "os/win32/handle.h"
#include "os/win32/positioned_read.h"
#include "os/win32/system_calls.h"
#include "os/win32/wide.h"

namespace os {
using detail::Handle;
using detail::lastFailure;
using detail::statusFailure;
namespace sys = detail::sys;

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
constexpr NTSTATUS accessDenied = static_cast<NTSTATUS>(0xC0000022L);

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
    const NTSTATUS status = sys::NtCreateFile(&handle, access | SYNCHRONIZE, &attributes, &io, nullptr,
                                              FILE_ATTRIBUTE_NORMAL, share, disposition,
                                              options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (NT_SUCCESS(status)) out.reset(handle);
    return status;
}

DWORD attributesOfHandle(HANDLE handle) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!sys::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag))
        return INVALID_FILE_ATTRIBUTES;
    return tag.FileAttributes;
}

bool isReparse(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

// Whether a handle opened as `path` itself is what the path names. Windows opens a link itself
// when asked to; Wine follows a link to a directory all the same, and then only the path
// still shows the link: whatever the handle leads to is not the entry, and is not touched.
bool followedALink(DWORD handleAttributes, const std::string& path) {
    if (isReparse(handleAttributes)) return false;
    const DWORD own = sys::GetFileAttributesW(detail::systemPath(path).c_str());
    return own != INVALID_FILE_ATTRIBUTES && isReparse(own);
}

// Whether the handle opened as `path` stands on a link: it is one, or Wine followed one to get
// there. A handle that cannot tell what it holds is a failure, never taken for either.
Result standsOnALink(HANDLE handle, const std::string& path, Operation operation, bool& link) {
    const DWORD attributes = attributesOfHandle(handle);
    if (attributes == INVALID_FILE_ATTRIBUTES) return lastFailure(operation, path, "GetFileInformationByHandleEx");
    link = isReparse(attributes) || followedALink(attributes, path);
    return {};
}

// Whether Wine followed a link to open `path` itself, where the handle was asked for the entry
// as it is; a handle that cannot tell is a failure.
Result followedOne(HANDLE handle, const std::string& path, Operation operation, bool& followed) {
    const DWORD attributes = attributesOfHandle(handle);
    if (attributes == INVALID_FILE_ATTRIBUTES) return lastFailure(operation, path, "GetFileInformationByHandleEx");
    followed = followedALink(attributes, path);
    return {};
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
    return sys::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

// The name of the call that failed, its error left as the last error; nullptr when all of it
// was copied.
const char* copyData(HANDLE in, HANDLE out, const Directory::CopyProgress& copied) {
    const std::unique_ptr<char[]> buffer(new char[copyBlock]);
    for (;;) {
        DWORD got = 0;
        if (!sys::ReadFile(in, buffer.get(), copyBlock, &got, nullptr)) return "ReadFile";
        if (got == 0) return nullptr;
        for (DWORD done = 0; done < got;) {
            DWORD written = 0;
            if (!sys::WriteFile(out, buffer.get() + done, got - done, &written, nullptr) || written == 0)
                return "WriteFile";
            done += written;
        }
        if (copied) copied(got);
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
    elements = paths::resolvedElements(std::string_view(path).substr(std::min(rest, path.size())), false);
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
    if (sys::GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                             &descriptor) != ERROR_SUCCESS)
        return false;
    bool trusted = ::IsWellKnownSid(owner, WinLocalSystemSid) || ::IsWellKnownSid(owner, WinBuiltinAdministratorsSid);
    Handle token;
    HANDLE opened = nullptr;
    if (!trusted && sys::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &opened)) {
        token.reset(opened);
        unsigned char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
        DWORD size = 0;
        if (sys::GetTokenInformation(token.get(), TokenUser, buffer, sizeof buffer, &size))
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
    Handle at(sys::CreateFileW(detail::systemPath(prefix).c_str(), access, shareAll, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!at.valid()) return lastFailure(Operation::Open, path, "CreateFileW");
    for (const std::string& element : elements) {
        prefix += (prefix.empty() || prefix.back() == '\\' ? "" : "\\") + element;
        Handle next;
        NTSTATUS status = openDirectoryInside(at.get(), element, FILE_OPEN_REPARSE_POINT, next);
        if (!NT_SUCCESS(status)) return statusFailure(Operation::Open, path, status, "NtCreateFile");
        bool link = false;
        if (Result inspected = standsOnALink(next.get(), prefix, Operation::Open, link); !inspected)
            return inspected.about(path);
        if (link) {
            // A link on the way is followed only where nobody but this user or the system
            // could have made it.
            if (!trustedOwner(next.get()) || !trustedOwner(at.get()))
                return Result::fail(Operation::Open, path, UntrustedLink);
            status = openDirectoryInside(at.get(), element, 0, next);
            if (!NT_SUCCESS(status)) return statusFailure(Operation::Open, path, status, "NtCreateFile");
        }
        at = std::move(next);
    }
    const DWORD attributes = attributesOfHandle(at.get());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return lastFailure(Operation::Open, path, "GetFileInformationByHandleEx");
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return Result::fail(Operation::Open, path, ERROR_DIRECTORY);
    out.impl_ = std::make_unique<Impl>();
    out.impl_->handle = std::move(at);
    out.path_ = path;
    return {};
}

bool Directory::isOpen() const { return impl_ && impl_->handle.valid(); }

std::string Directory::pathOf(const std::string& name) const { return paths::join(path_, name); }

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
        return Result::fail(Operation::List, path_, result.error(), result.failure().call);
    return {};
}

Result Directory::look(const std::string& name, FoundEntry& out) const {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!sys::GetFileAttributesExW(detail::systemPath(pathOf(name)).c_str(), GetFileExInfoStandard, &data))
        return lastFailure(Operation::Look, pathOf(name), "GetFileAttributesExW");
    out = {name, data.dwFileAttributes, (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow};
    return {};
}

Result Directory::identify(const std::string& name, FileIdentity& out) const {
    Handle handle;
    // Only the entry's attributes are asked for, which no other program's sharing keeps from us.
    const NTSTATUS status = openInside(impl_->handle.get(), name, FILE_READ_ATTRIBUTES, shareAll, FILE_OPEN,
                                       FILE_OPEN_REPARSE_POINT, handle);
    if (!NT_SUCCESS(status)) return statusFailure(Operation::Look, pathOf(name), status, "NtCreateFile");
    bool followed = false;
    if (Result inspected = followedOne(handle.get(), pathOf(name), Operation::Look, followed); !inspected) return inspected;
    if (followed) return Result::fail(Operation::Look, pathOf(name), stoppedOnLink);
    BY_HANDLE_FILE_INFORMATION information{};
    if (!sys::GetFileInformationByHandle(handle.get(), &information))
        return lastFailure(Operation::Look, pathOf(name), "GetFileInformationByHandle");
    // NTFS gives a number used again another sequence part, so the index alone tells a new
    // entry from an old one. The creation time is no birth: a name the system saw leave a
    // moment ago hands its creation time on to whatever comes to stand under it, by a rename
    // too, which is just how a replacement takes its place.
    out = {information.dwVolumeSerialNumber,
           (uint64_t(information.nFileIndexHigh) << 32) | information.nFileIndexLow, 0};
    return {};
}

Result Directory::identity(FileIdentity& out) const {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!sys::GetFileInformationByHandle(impl_->handle.get(), &information))
        return lastFailure(Operation::Look, path_, "GetFileInformationByHandle");
    out = {information.dwVolumeSerialNumber,
           (uint64_t(information.nFileIndexHigh) << 32) | information.nFileIndexLow, 0};
    return {};
}

Result Directory::openChild(const std::string& name, Directory& out) const {
    Handle handle;
    const NTSTATUS status = openDirectoryInside(impl_->handle.get(), name, FILE_OPEN_REPARSE_POINT, handle);
    if (!NT_SUCCESS(status)) return statusFailure(Operation::Open, pathOf(name), status, "NtCreateFile");
    bool link = false;
    if (Result inspected = standsOnALink(handle.get(), pathOf(name), Operation::Open, link); !inspected) return inspected;
    if (link) return Result::fail(Operation::Open, pathOf(name), stoppedOnLink);
    out.impl_ = std::make_unique<Impl>();
    out.impl_->handle = std::move(handle);
    out.path_ = pathOf(name);
    return {};
}

Result Directory::createChild(const std::string& name) const {
    Handle handle;
    const NTSTATUS status =
        openInside(impl_->handle.get(), name, FILE_LIST_DIRECTORY, shareAll, FILE_CREATE, FILE_DIRECTORY_FILE, handle);
    if (!NT_SUCCESS(status)) return statusFailure(Operation::CreateDirectory, pathOf(name), status, "NtCreateFile");
    return {};
}

Result Directory::writeNewFile(const std::string& name, const std::string& bytes) const {
    Handle out;
    const NTSTATUS status = openInside(impl_->handle.get(), name, FILE_WRITE_DATA | DELETE, 0, FILE_CREATE,
                                       FILE_NON_DIRECTORY_FILE, out);
    if (!NT_SUCCESS(status)) return statusFailure(Operation::Create, pathOf(name), status, "NtCreateFile");
    for (size_t done = 0; done < bytes.size();) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, copyBlock));
        if (!sys::WriteFile(out.get(), bytes.data() + done, chunk, &written, nullptr) || written == 0) {
            const Result failed = lastFailure(Operation::Write, pathOf(name), "WriteFile");
            deleteOnClose(out.get(), true);
            return failed;
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
        if (!sys::WriteFile(impl_->file.get(), bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return lastFailure(Operation::Write, path_, "WriteFile");
        done += written;
    }
    return {};
}

Result AppendFile::sync() {
    if (!sys::FlushFileBuffers(impl_->file.get())) return lastFailure(Operation::Write, path_, "FlushFileBuffers");
    return {};
}

Result AppendFile::readAll(std::string& out) {
    out.clear();
    const std::unique_ptr<char[]> chunk(new char[copyBlock]);
    for (uint64_t at = 0;;) {
        // The handle is synchronous, so each read says where it starts. Where the reads leave
        // its position does not matter to the appends: a handle without the right to write
        // anywhere else writes only at the end.
        OVERLAPPED from{};
        from.Offset = static_cast<DWORD>(at);
        from.OffsetHigh = static_cast<DWORD>(at >> 32);
        DWORD got = 0;
        if (!sys::ReadFile(impl_->file.get(), chunk.get(), copyBlock, &got, &from)) {
            // A read that starts at the end says so instead of reading nothing.
            if (::GetLastError() == ERROR_HANDLE_EOF) return {};
            return lastFailure(Operation::Read, path_, "ReadFile");
        }
        if (got == 0) return {};
        out.append(chunk.get(), got);
        at += got;
    }
}

namespace {

// What an append may not go to, refused: a link (a file it leads to is not the entry), or
// anything but a file on a disk (a pipe or a device opens like one).
Result refuseAllButAFile(HANDLE file, const std::string& path) {
    bool link = false;
    if (Result inspected = standsOnALink(file, path, Operation::Open, link); !inspected) return inspected;
    if (link) return Result::fail(Operation::Open, path, stoppedOnLink);
    if (sys::GetFileType(file) != FILE_TYPE_DISK) return Result::fail(Operation::Open, path, NotAFileOrDirectory);
    return {};
}

}  // namespace

Result Directory::openForAppend(const std::string& name, AppendFile& out) const {
    Handle file;
    // Others may read the file meanwhile, and append to it as we do.
    const NTSTATUS status = openInside(impl_->handle.get(), name, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN_IF,
                                       FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, file);
    if (!NT_SUCCESS(status)) return statusFailure(Operation::Open, pathOf(name), status, "NtCreateFile");
    if (Result refused = refuseAllButAFile(file.get(), pathOf(name)); !refused) return refused;
    out.impl_ = std::make_unique<AppendFile::Impl>();
    out.impl_->file = std::move(file);
    out.path_ = pathOf(name);
    return {};
}

Result Directory::openExclusive(const std::string& name, bool create, AppendFile& out) const {
    Handle file;
    // Others may read the file meanwhile, but no other handle may write or append to it, nor
    // remove or rename it: another run that asks for it the same way meets a sharing
    // violation. The system closes the handle when the process ends, however it ends, and
    // the hold goes with it.
    const NTSTATUS status =
        openInside(impl_->handle.get(), name, FILE_READ_DATA | FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                   create ? FILE_OPEN_IF : FILE_OPEN, FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, file);
    if (status == sharingViolation)
        return Result::fail(Operation::Open, pathOf(name), InUseByAnotherRun, "NtCreateFile");
    if (!NT_SUCCESS(status)) return statusFailure(Operation::Open, pathOf(name), status, "NtCreateFile");
    if (Result refused = refuseAllButAFile(file.get(), pathOf(name)); !refused) return refused;
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
    if (!NT_SUCCESS(status)) return statusFailure(operation, pathOf(name), status, "NtCreateFile");
    bool followed = false;
    if (Result inspected = followedOne(handle.get(), pathOf(name), operation, followed); !inspected) return inspected;
    if (followed) return Result::fail(operation, pathOf(name), stoppedOnLink);
    const DWORD attributes = attributesOfHandle(handle.get());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return lastFailure(operation, pathOf(name), "GetFileInformationByHandleEx");
    // A link to a directory is removed as a file is: as itself, not as the directory.
    if (directory && isReparse(attributes)) return Result::fail(operation, pathOf(name), ERROR_DIRECTORY);
    const DWORD kept = directory ? (attributes & FILE_ATTRIBUTE_READONLY) : refusalToReplace(attributes);
    if (kept) return Result::fail(operation, pathOf(name), ERROR_ACCESS_DENIED);
    if (!deleteOnClose(handle.get(), true)) return lastFailure(operation, pathOf(name), "SetFileInformationByHandle");
    return {};
}

Result Directory::checkRemovable(const std::string& name, bool directory, uint32_t listed) const {
    const Operation operation = directory ? Operation::RemoveDirectory : Operation::Delete;
    if (listed == InvalidAttributes) {
        FoundEntry own;
        if (Result looked = look(name, own); !looked)
            return Result::fail(operation, pathOf(name), looked.error(), looked.failure().call);
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
    // Wine asks for the right to write a file's data where only the right to write its
    // attributes is asked, which a read-only file refuses to anyone but root; its own
    // SetFileAttributesW changes the word through a handle opened without that right, and so
    // does this then. Windows refuses such a handle the change, so there, as wherever this
    // second way fails, the first refusal stands.
    bool second = false;
    if (status == accessDenied && NT_SUCCESS(openInside(impl_->handle.get(), name, FILE_READ_ATTRIBUTES, shareAll,
                                                        FILE_OPEN, FILE_OPEN_REPARSE_POINT, handle)))
        second = (attributesOfHandle(handle.get()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
                 FILE_ATTRIBUTE_READONLY;
    if (!NT_SUCCESS(status) && !second)
        return statusFailure(Operation::SetAttributes, pathOf(name), status, "NtCreateFile");
    bool link = false;
    if (Result inspected = standsOnALink(handle.get(), pathOf(name), Operation::SetAttributes, link); !inspected)
        return inspected;
    if (link)
        return second ? statusFailure(Operation::SetAttributes, pathOf(name), status, "NtCreateFile")
                      : Result::fail(Operation::SetAttributes, pathOf(name), stoppedOnLink);
    // As SetFileAttributesW hands the word on: "normal" stands for no other bit, and times
    // of 0 stay as they are.
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = attributes | FILE_ATTRIBUTE_NORMAL;
    if (!sys::SetFileInformationByHandle(handle.get(), FileBasicInfo, &basic, sizeof basic))
        return second ? statusFailure(Operation::SetAttributes, pathOf(name), status, "NtCreateFile")
                      : lastFailure(Operation::SetAttributes, pathOf(name), "SetFileInformationByHandle");
    return {};
}

Result Directory::syncFile(const std::string& name) const {
    Handle file;
    const NTSTATUS status = openInside(impl_->handle.get(), name, FILE_WRITE_DATA | FILE_READ_ATTRIBUTES, shareAll,
                                       FILE_OPEN, FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, file);
    if (!NT_SUCCESS(status)) return statusFailure(Operation::Write, pathOf(name), status, "NtCreateFile");
    if (!sys::FlushFileBuffers(file.get())) return lastFailure(Operation::Write, pathOf(name), "FlushFileBuffers");
    return {};
}

// NTFS keeps a directory's names through its own journal: a rename is never lost half-made,
// and the data of what it renames has been flushed before (copyTo with `durable`, syncFile).
Result Directory::sync() const { return {}; }

// NTFS journals attribute changes as it does names; a read-only file could not be opened for
// a flush anyway.
Result Directory::syncAttributes(const std::string&) const { return {}; }

namespace {

// A new file `toName` of the directory `into` (whose path is `intoPath`) with the attribute
// word and last-write time of `source`, as CopyFileW's copy keeps them, and the contents
// `contents` writes to its handle (the name of a call that failed, its error left in
// GetLastError, or a failure of its own in `own`).
Result writeLike(const FILE_BASIC_INFO& source, HANDLE into, const std::string& intoPath, const std::string& toName,
                 bool durable, const std::function<const char*(HANDLE out, Result& own)>& contents) {
    const std::string target = paths::join(intoPath, toName);
    Handle out;
    const NTSTATUS status = openInside(into, toName, FILE_WRITE_DATA | FILE_WRITE_ATTRIBUTES | DELETE, 0, FILE_CREATE,
                                       FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY, out);
    if (!NT_SUCCESS(status)) return statusFailure(Operation::Create, target, status, "NtCreateFile");
    // A file that fails part-way goes when its handle closes.
    FILE_BASIC_INFO made{};
    made.LastWriteTime = source.LastWriteTime;
    made.FileAttributes = source.FileAttributes | FILE_ATTRIBUTE_NORMAL;
    Result own;
    const char* failed = contents(out.get(), own);
    if (!failed && own && !sys::SetFileInformationByHandle(out.get(), FileBasicInfo, &made, sizeof made))
        failed = "SetFileInformationByHandle";
    if (!failed && own && durable && !sys::FlushFileBuffers(out.get())) failed = "FlushFileBuffers";
    if (failed) own = lastFailure(Operation::Write, target, failed);
    if (!own) deleteOnClose(out.get(), true);
    return own;
}

// `name` of `directory` opened to be read as the source of a new file, which must be a
// regular file: `link` says it is a link instead (and nothing is open).
Result openSource(HANDLE directory, const std::string& path, const std::string& name, Operation operation, Handle& in,
                  FILE_BASIC_INFO& source, bool& link) {
    link = false;
    NTSTATUS status = openInside(directory, name, FILE_READ_DATA | FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_DELETE, FILE_OPEN,
                                 FILE_OPEN_REPARSE_POINT | FILE_SEQUENTIAL_ONLY, in);
    if (!NT_SUCCESS(status)) return statusFailure(operation, path, status, "NtCreateFile");
    bool followed = false;
    if (Result inspected = followedOne(in.get(), path, operation, followed); !inspected) return inspected;
    if (followed) return Result::fail(operation, path, stoppedOnLink);
    if (!sys::GetFileInformationByHandleEx(in.get(), FileBasicInfo, &source, sizeof source))
        return lastFailure(Operation::Read, path, "GetFileInformationByHandleEx");
    if (isReparse(source.FileAttributes)) {
        in.reset();
        link = true;
        return {};
    }
    if (source.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) return Result::fail(operation, path, ERROR_ACCESS_DENIED);
    if (sys::GetFileType(in.get()) != FILE_TYPE_DISK) return Result::fail(operation, path, NotAFileOrDirectory);
    return {};
}

}  // namespace

Result Directory::copyTo(const std::string& name, const Directory& to, const std::string& toName, bool durable,
                         const CopyProgress& told) const {
    Handle in;
    FILE_BASIC_INFO source{};
    bool link = false;
    if (Result opened = openSource(impl_->handle.get(), pathOf(name), name, Operation::Copy, in, source, link); !opened)
        return opened;
    if (link) {
        // The link itself, as the system copies one: a new link to the same place.
        if (!sys::CopyFileExW(detail::systemPath(pathOf(name)).c_str(), detail::systemPath(to.pathOf(toName)).c_str(),
                              nullptr, nullptr, nullptr, COPY_FILE_FAIL_IF_EXISTS | COPY_FILE_COPY_SYMLINK))
            return lastFailure(Operation::Copy, pathOf(name), "CopyFileExW");
        return {};
    }
    return writeLike(source, to.impl_->handle.get(), to.path(), toName, durable,
                     [&](HANDLE out, Result&) { return copyData(in.get(), out, told); });
}

Result Directory::produceTo(const std::string& name, const Directory& to, const std::string& toName, bool durable,
                            const Producer& produce) const {
    Handle in;
    FILE_BASIC_INFO source{};
    bool link = false;
    const std::string sourcePath = pathOf(name);
    if (Result opened = openSource(impl_->handle.get(), sourcePath, name, Operation::Read, in, source, link); !opened)
        return opened;
    if (link) return Result::fail(Operation::Read, sourcePath, stoppedOnLink);
    LARGE_INTEGER size;
    if (!sys::GetFileSizeEx(in.get(), &size)) return lastFailure(Operation::Read, sourcePath, "GetFileSizeEx");
    const ReadAt read = [&](uint64_t offset, void* into, size_t n, size_t& got) -> Result {
        if (const char* failed = detail::readAtOffset(in.get(), offset, into, n, got))
            return lastFailure(Operation::Read, sourcePath, failed);
        return {};
    };
    return writeLike(source, to.impl_->handle.get(), to.path(), toName, durable, [&](HANDLE out, Result& own) {
        const std::string target = to.pathOf(toName);
        const Put put = [&](const void* bytes, size_t n) -> Result {
            for (size_t done = 0; done < n;) {
                DWORD written = 0;
                const DWORD part = static_cast<DWORD>(std::min<size_t>(n - done, size_t(1) << 30));
                if (!sys::WriteFile(out, static_cast<const char*>(bytes) + done, part, &written, nullptr) ||
                    written == 0)
                    return lastFailure(Operation::Write, target, "WriteFile");
                done += written;
            }
            return {};
        };
        own = produce(read, static_cast<uint64_t>(size.QuadPart), put);
        return static_cast<const char*>(nullptr);
    });
}

Result Directory::checkReplaceable(const std::string& name, uint32_t listed) const {
    const DWORD attributes =
        listed != InvalidAttributes ? listed : sys::GetFileAttributesW(detail::systemPath(pathOf(name)).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (isNotFound(error)) return {};
        return Result::fail(Operation::Look, pathOf(name), error, "GetFileAttributesW");
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
        if (probed == sharingViolation)
            return Result::fail(operation, to.pathOf(toName), ERROR_SHARING_VIOLATION, "NtCreateFile");
    }
    Handle moved;
    const NTSTATUS status =
        openInside(impl_->handle.get(), name, DELETE | FILE_READ_ATTRIBUTES, shareAll, FILE_OPEN, FILE_OPEN_REPARSE_POINT, moved);
    if (!NT_SUCCESS(status)) return statusFailure(operation, pathOf(name), status, "NtCreateFile");
    bool followed = false;
    if (Result inspected = followedOne(moved.get(), pathOf(name), operation, followed); !inspected) return inspected;
    if (followed) return Result::fail(operation, pathOf(name), stoppedOnLink);
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
    const NTSTATUS renamed = sys::NtSetInformationFile(moved.get(), &io, rename, static_cast<ULONG>(size),
                                                       static_cast<FILE_INFORMATION_CLASS>(fileRenameInformation));
    if (!NT_SUCCESS(renamed)) {
        const ErrorCode error = fromStatus(renamed);
        return Result::fail(operation, isCrossVolume(error) ? pathOf(name) : to.pathOf(toName), error,
                            "NtSetInformationFile");
    }
    return {};
}

}  // namespace os
