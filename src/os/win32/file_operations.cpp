// The file operations of the commands over the Win32 ANSI calls. Only Win32 code belongs
// here.
#include <windows.h>

#include <string>

#include "os/files.h"
#include "os/win32/handle.h"

namespace os {
using detail::Handle;
namespace {

constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

// Windows removes the unfinished copy when a copy fails part-way, Wine leaves it; with
// nothing at `to` before the call, whatever is there after a failure is that unfinished
// copy, and goes.
bool copyFile(const std::string& from, const std::string& to) {
    if (::GetFileAttributesA(to.c_str()) != INVALID_FILE_ATTRIBUTES) {
        ::SetLastError(ERROR_FILE_EXISTS);
        return false;
    }
    if (::CopyFileA(from.c_str(), to.c_str(), TRUE)) return true;
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
        ::SetFileAttributesA(to.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(to.c_str());
    }
    ::SetLastError(error);
    return false;
}

bool copyLink(const std::string& from, const std::string& to) {
    return ::CopyFileExA(from.c_str(), to.c_str(), nullptr, nullptr, nullptr,
                         COPY_FILE_FAIL_IF_EXISTS | COPY_FILE_COPY_SYMLINK) != FALSE;
}

bool moveFile(const std::string& from, const std::string& to) { return ::MoveFileA(from.c_str(), to.c_str()) != FALSE; }

// Windows refuses to replace a read-only file; Wine replaces it, so the refusal is made here
// for both.
bool replaceFile(const std::string& from, const std::string& to) {
    const DWORD existing = ::GetFileAttributesA(to.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY)) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool deleteFile(const std::string& path) { return ::DeleteFileA(path.c_str()) != FALSE; }

bool createDirectory(const std::string& path) { return ::CreateDirectoryA(path.c_str(), nullptr) != FALSE; }

bool removeDirectory(const std::string& path) { return ::RemoveDirectoryA(path.c_str()) != FALSE; }

// RemoveDirectoryA and DeleteFileA are not trusted with a link: a system that follows it
// (Wine does) would remove what it leads to. The link is opened as itself, proved to be one
// by its own attribute word, and deleted through that handle, or not at all.
bool removeLink(const std::string& path) {
    Handle link(::CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES, shareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!link.valid()) return false;
    FILE_ATTRIBUTE_TAG_INFO opened{};
    if (!::GetFileInformationByHandleEx(link.get(), FileAttributeTagInfo, &opened, sizeof opened) ||
        !(opened.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return false;
    }
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return ::SetFileInformationByHandle(link.get(), FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

bool setFileAttributes(const std::string& path, uint32_t attributes) {
    return ::SetFileAttributesA(path.c_str(), attributes) != FALSE;
}

std::string finalPath(const std::string& path) {
    Handle file(::CreateFileA(path.c_str(), 0, shareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid()) return {};
    std::string result(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = ::GetFinalPathNameByHandleA(file.get(), result.data(), static_cast<DWORD>(result.size()),
                                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0) return {};
        // A result that does not fit comes back as the size it needs, terminator included.
        if (n < result.size()) {
            result.resize(n);
            return result;
        }
        result.resize(n);
    }
}

}  // namespace os
