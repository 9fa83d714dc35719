// Directory searches, attribute words and final paths over the wide Win32 calls, exactly as
// the commands expect them. The calls on files, and the Restart Manager's, go through the
// table of system_calls.h. Only Win32 code belongs here.
#include <windows.h>

#include "os/files.h"
#include "os/win32/handle.h"

#include <vector>
#include "os/win32/system_calls.h"
#include "os/win32/wide.h"

namespace os {
using detail::Handle;
using detail::lastFailure;
namespace sys = detail::sys;

namespace {

constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

struct DirectorySearch::Impl {
    HANDLE handle = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW data{};
    FoundEntry current;
    bool found = false;
    std::string pattern;
    Result result;

    void take() {
        current = {detail::narrow(data.cFileName, wcsnlen(data.cFileName, MAX_PATH)), data.dwFileAttributes,
                   (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow};
        found = true;
    }
    // The handle goes as soon as the listing ends, not only when the search object does.
    void close() {
        if (handle != INVALID_HANDLE_VALUE) ::FindClose(handle);
        handle = INVALID_HANDLE_VALUE;
        found = false;
    }
};

DirectorySearch::DirectorySearch(const std::string& pattern) : impl_(std::make_unique<Impl>()) {
    impl_->pattern = pattern;
    impl_->handle = sys::FindFirstFileW(detail::systemPath(pattern).c_str(), &impl_->data);
    if (impl_->handle != INVALID_HANDLE_VALUE)
        impl_->take();
    else
        impl_->result = lastFailure(Operation::Look, pattern, "FindFirstFileW");
}

DirectorySearch::~DirectorySearch() { impl_->close(); }

bool DirectorySearch::found() const { return impl_->found; }

const FoundEntry& DirectorySearch::entry() const { return impl_->current; }

bool DirectorySearch::next() {
    if (!impl_->found) return false;
    if (!sys::FindNextFileW(impl_->handle, &impl_->data)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_NO_MORE_FILES)
            impl_->result = Result::fail(Operation::List, impl_->pattern, error, "FindNextFileW");
        impl_->close();
        return false;
    }
    impl_->take();
    return true;
}

const Result& DirectorySearch::result() const { return impl_->result; }

Result fileAttributes(const std::string& path, uint32_t& attributes) {
    attributes = sys::GetFileAttributesW(detail::systemPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return lastFailure(Operation::Look, path, "GetFileAttributesW");
    return {};
}

uint32_t attributesOf(const std::string& path) { return sys::GetFileAttributesW(detail::systemPath(path).c_str()); }

bool isAccessDenied(ErrorCode error) { return error == ERROR_ACCESS_DENIED; }

bool isNotFound(ErrorCode error) {
    // A share that cannot be reached (ERROR_BAD_NETPATH) may well hold the entry: that is a
    // failure. A name no entry can have is one nothing has.
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_INVALID_NAME || error == ERROR_BAD_PATHNAME;
}

ErrorCode nothingMatches() { return ERROR_FILE_NOT_FOUND; }

bool isAlreadyThere(ErrorCode error) { return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS; }

bool isCrossVolume(ErrorCode error) { return error == ERROR_NOT_SAME_DEVICE; }

bool isHeldByAnother(ErrorCode error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

void removeAtRestart(const std::string& path) {
    // Without the rights to ask, the next start of the updater removes it instead.
    (void)sys::MoveFileExW(detail::systemPath(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);  // see above
}

// The Restart Manager tells which programs hold a file; its library is loaded from the system
// folder when first asked, and a system without it names none.
std::vector<std::string> programsHolding(const std::string& path) {
    using EndSession = DWORD(WINAPI*)(DWORD);
    // RM_PROCESS_INFO, as the Restart Manager lays it out.
    struct ProcessInfo {
        DWORD processId;
        FILETIME startTime;
        WCHAR appName[256];
        WCHAR serviceShortName[64];
        DWORD applicationType;
        ULONG appStatus;
        DWORD sessionId;
        BOOL restartable;
    };
    std::vector<std::string> names;
    const HMODULE library = ::LoadLibraryExW(L"rstrtmgr.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!library) return names;
    const auto entry = [library](const char* name) {
        return reinterpret_cast<void*>(::GetProcAddress(library, name));
    };
    const auto start = reinterpret_cast<sys::RmStartSessionEntry>(entry("RmStartSession"));
    const auto end = reinterpret_cast<EndSession>(entry("RmEndSession"));
    const auto add = reinterpret_cast<sys::RmRegisterResourcesEntry>(entry("RmRegisterResources"));
    const auto list = reinterpret_cast<sys::RmGetListEntry>(entry("RmGetList"));
    DWORD session = 0;
    WCHAR key[64] = {};
    if (start && end && add && list && sys::RmStartSession(start, &session, 0, key) == ERROR_SUCCESS) {
        const std::wstring file = detail::systemPath(path);
        LPCWSTR files[] = {file.c_str()};
        ProcessInfo found[16];
        UINT needed = 0;
        UINT count = 16;
        DWORD reasons = 0;
        if (sys::RmRegisterResources(add, session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS &&
            sys::RmGetList(list, session, &needed, &count, found, &reasons) == ERROR_SUCCESS) {
            for (UINT i = 0; i < count && i < 16; ++i)
                names.push_back(detail::narrow(found[i].appName, wcsnlen(found[i].appName, 256)));
        }
        end(session);
    }
    ::FreeLibrary(library);
    return names;
}

std::string finalPath(const std::string& path) {
    Handle file(sys::CreateFileW(detail::systemPath(path).c_str(), 0, shareAll, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid()) return {};
    std::wstring result(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = sys::GetFinalPathNameByHandleW(file.get(), result.data(), static_cast<DWORD>(result.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0) return {};
        // A result that does not fit comes back as the size it needs, terminator included.
        if (n < result.size()) {
            result.resize(n);
            return detail::scriptForm(result);
        }
        result.resize(n);
    }
}

std::string describeError(ErrorCode code) {
    if (code == 0 || isOwnRefusal(code)) return {};
    wchar_t* text = nullptr;
    // The user's own language first; the system falls back to what it has.
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    if (n == 0 || !text) return {};
    std::wstring described(text, n);
    ::LocalFree(text);
    while (!described.empty() && (described.back() == L'\n' || described.back() == L'\r' || described.back() == L' '))
        described.pop_back();
    return detail::narrow(described);
}

}  // namespace os
