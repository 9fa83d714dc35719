// Rights on Windows: the token's elevation, the directory's security checked against the
// process's token, and the shell's verb "runas", which asks the user for consent. Every call
// through the table of system_calls.h. Only Win32 code belongs here.
#include <windows.h>

#include <cstring>
#include <vector>

#include "os/rights_platform.h"
#include "os/win32/handle.h"
#include "os/win32/process_wait.h"
#include "os/win32/system_calls.h"
#include "os/win32/wide.h"

namespace os::detail {

bool platformIsElevated() {
    HANDLE opened = nullptr;
    if (!sys::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &opened)) return false;
    const Handle token(opened);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return sys::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated != 0;
}

// The rights each change asks of the directory. Only a folder is made where a path below it
// is missing: the root of a system drive lets users make folders and nothing else, and what
// they make there is theirs to fill. Removing an entry is allowed by the folder's "delete
// child" or by the entry's own "delete", which a folder given "Modify" grants without the
// former: asking for "delete child" would send every such folder to the prompt. An entry
// locked down on its own is refused by the command itself.
DWORD accessFor(DirectoryChange change) {
    return change == DirectoryChange::AddFolder ? FILE_ADD_SUBDIRECTORY : FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY;
}

// The check is the system's own, against the filtered token an administrator runs with
// before asking, so a folder only administrators may change says no.
Result platformMayWriteIn(const std::string& directory, DirectoryChange change) {
    const std::wstring path = systemPath(directory);
    const SECURITY_INFORMATION wanted = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                        DACL_SECURITY_INFORMATION;
    DWORD needed = 0;
    std::vector<unsigned char> descriptor(1024);
    while (!sys::GetFileSecurityW(path.c_str(), wanted, descriptor.data(), static_cast<DWORD>(descriptor.size()),
                                  &needed)) {
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= descriptor.size())
            return lastFailure(Operation::Look, directory, "GetFileSecurityW");
        descriptor.resize(needed);
    }
    HANDLE opened = nullptr;
    if (!sys::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &opened))
        return lastFailure(Operation::Look, directory, "OpenProcessToken");
    const Handle processToken(opened);
    // The check takes an impersonation token: the process's own, duplicated.
    HANDLE duplicated = nullptr;
    if (!sys::DuplicateToken(processToken.get(), SecurityImpersonation, &duplicated))
        return lastFailure(Operation::Look, directory, "DuplicateToken");
    const Handle token(duplicated);
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    DWORD access = accessFor(change);
    alignas(PRIVILEGE_SET) unsigned char privileges[sizeof(PRIVILEGE_SET) + 8 * sizeof(LUID_AND_ATTRIBUTES)];
    DWORD privilegesSize = sizeof privileges;
    DWORD granted = 0;
    BOOL allowed = FALSE;
    if (!sys::AccessCheck(descriptor.data(), token.get(), access, &mapping,
                          reinterpret_cast<PPRIVILEGE_SET>(privileges), &privilegesSize, &granted, &allowed))
        return lastFailure(Operation::Look, directory, "AccessCheck");
    if (!allowed) return Result::fail(Operation::Look, directory, ERROR_ACCESS_DENIED, "AccessCheck");
    return {};
}

Result platformStartElevated(const std::string& program, const std::string& parameters, const std::string& directory,
                             bool untilEnd, uint32_t* exitCode, const std::function<void()>& stillWaiting) {
    const std::wstring file = widen(program);
    const std::wstring arguments = widen(parameters);
    const std::wstring folder = widen(directory);
    SHELLEXECUTEINFOW info;
    std::memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    // The process handle is kept for the wait; the shell's own error boxes are left out, so
    // that a failure comes back here and is told once, in the updater's box.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"runas";
    info.lpFile = file.c_str();
    info.lpParameters = arguments.c_str();
    info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!sys::ShellExecuteExW(&info)) return lastFailure(Operation::Start, program, "ShellExecuteExW");
    // The shell may hand the start to a program that was already running, and then gives no
    // process: nothing is left to wait for.
    if (!info.hProcess) return untilEnd ? Result::fail(Operation::Wait, program, ERROR_INVALID_HANDLE) : Result{};
    const Handle process(info.hProcess);
    const DWORD waited = untilEnd ? waitInSlices(process.get(), INFINITE, stillWaiting)
                                  : sys::WaitForInputIdle(process.get(), INFINITE);
    if (waited == WAIT_FAILED)
        return lastFailure(Operation::Wait, program, untilEnd ? "WaitForSingleObject" : "WaitForInputIdle");
    if (!untilEnd || !exitCode) return {};
    DWORD code = 0;
    if (!sys::GetExitCodeProcess(process.get(), &code))
        return lastFailure(Operation::Wait, program, "GetExitCodeProcess");
    *exitCode = code;
    return {};
}

bool platformIsDeclined(ErrorCode error) { return error == ERROR_CANCELLED; }

std::string platformPathSeenElevated(const std::string& path) {
    if (path.size() < 3 || path[1] != ':' || path[2] != '\\') return path;
    const std::wstring drive = widen(path.substr(0, 2));
    if (::GetDriveTypeW((drive + L"\\").c_str()) != DRIVE_REMOTE) return path;
    std::wstring remote(MAX_PATH, L'\0');
    DWORD size = static_cast<DWORD>(remote.size());
    DWORD result = sys::WNetGetConnectionW(drive.c_str(), remote.data(), &size);
    if (result == ERROR_MORE_DATA && size > remote.size()) {
        remote.assign(size, L'\0');
        result = sys::WNetGetConnectionW(drive.c_str(), remote.data(), &size);
    }
    if (result != NO_ERROR) return path;
    return narrow(remote.c_str(), wcsnlen(remote.c_str(), remote.size())) + path.substr(2);
}

}  // namespace os::detail
