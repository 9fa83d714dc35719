// The Win32 call table. Each entry is the call itself, unless the fault-injection seam names
// a fault for it; the faults each call really gives back are listed beside it. Only Win32
// code belongs here.
#include "os/win32/system_calls.h"

#include <cstring>
#include <optional>

#include "os/fault_injection.h"

namespace os {
namespace faults {
namespace {

using F = Fault;
constexpr Fault opening[] = {F::AccessDenied, F::IoError, F::NotFound, F::Held, F::DiskFull};
constexpr Fault looking[] = {F::AccessDenied, F::IoError, F::NotFound};
constexpr Fault ioOnly[] = {F::IoError};
constexpr Fault writing[] = {F::IoError, F::DiskFull};
constexpr Fault guarded[] = {F::AccessDenied, F::IoError};
constexpr Fault renaming[] = {F::AccessDenied, F::IoError, F::Held, F::DiskFull, F::NotFound, F::CrossVolume};
constexpr Fault resolving[] = {F::IoError, F::NotFound};
constexpr Fault starting[] = {F::AccessDenied, F::NotFound, F::Held, F::NeedsElevation};
constexpr Fault startingElevated[] = {F::AccessDenied, F::NotFound, F::Declined};
constexpr Fault deniedOnly[] = {F::AccessDenied};
constexpr Fault missingOnly[] = {F::NotFound};
constexpr Fault keyOpening[] = {F::AccessDenied, F::NotFound};
constexpr std::span<const Fault> none;

struct Entry {
    const char* call;
    std::span<const Fault> faults;
};

// The calls with no fault listed are in the table all the same, but fail in no way the layer
// could do anything about but report (on a handle that is not one, for want of memory for a
// snapshot or a session, for a class the system does not have), or, failing, only leave out
// what was asked for (the names of the programs holding a file, the path of a folder that
// has none), so a sweep leaves them alone. MoveFileExW is only asked to remove a file when
// the system next starts, which it refuses to one without the rights to ask.
constexpr Entry table[] = {
    {"CreateFileW", opening},
    {"NtCreateFile", opening},
    {"NtSetInformationFile", renaming},
    {"SetFileInformationByHandle", guarded},
    {"GetFileInformationByHandleEx", ioOnly},
    {"GetFileInformationByHandle", ioOnly},
    {"GetFileAttributesW", looking},
    {"GetFileAttributesExW", looking},
    {"FindFirstFileW", looking},
    {"FindNextFileW", ioOnly},
    {"ReadFile", ioOnly},
    {"WriteFile", writing},
    {"FlushFileBuffers", writing},
    {"GetFileSizeEx", ioOnly},
    {"GetFileTime", ioOnly},
    {"GetFileType", none},
    {"CopyFileExW", opening},
    {"MoveFileExW", deniedOnly},
    {"GetFinalPathNameByHandleW", resolving},
    {"GetSecurityInfo", guarded},
    {"OpenProcessToken", none},
    {"GetTokenInformation", none},
    {"CreateToolhelp32Snapshot", none},
    {"Process32FirstW", none},
    {"Process32NextW", none},
    {"OpenProcess", deniedOnly},
    {"EnumProcessModules", deniedOnly},
    {"GetModuleFileNameExW", deniedOnly},
    {"CreateProcessW", starting},
    {"ShellExecuteExW", startingElevated},
    {"GetFileSecurityW", looking},
    {"DuplicateToken", none},
    {"AccessCheck", none},
    {"GetExitCodeProcess", none},
    {"WNetGetConnectionW", none},
    {"WaitForSingleObject", none},
    {"WaitForInputIdle", none},
    {"RmStartSession", none},
    {"RmRegisterResources", none},
    {"RmGetList", none},
    {"RegOpenKeyExW", keyOpening},
    {"RegQueryValueExW", missingOnly},
    {"SHGetSpecialFolderLocation", missingOnly},
    {"SHGetPathFromIDListEx", none},
    {"CoCreateInstance", none},
    {"IPersistFile::Save", opening},
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

DWORD codeOf(faults::Fault fault) {
    switch (fault) {
        case faults::Fault::AccessDenied: return ERROR_ACCESS_DENIED;
        case faults::Fault::IoError: return ERROR_IO_DEVICE;
        case faults::Fault::DiskFull: return ERROR_DISK_FULL;
        case faults::Fault::NotFound: return ERROR_FILE_NOT_FOUND;
        case faults::Fault::Held: return ERROR_SHARING_VIOLATION;
        case faults::Fault::CrossVolume: return ERROR_NOT_SAME_DEVICE;
        case faults::Fault::NeedsElevation: return detail::ErrorElevationRequired;
        case faults::Fault::Declined: return ERROR_CANCELLED;
    }
    return ERROR_IO_DEVICE;
}

// The native statuses, which mingw's headers only give with a redefinition of the ones
// windows.h already has.
NTSTATUS statusOf(faults::Fault fault) {
    switch (fault) {
        case faults::Fault::AccessDenied: return static_cast<NTSTATUS>(0xC0000022L);   // STATUS_ACCESS_DENIED
        case faults::Fault::IoError: return static_cast<NTSTATUS>(0xC0000185L);        // STATUS_IO_DEVICE_ERROR
        case faults::Fault::DiskFull: return static_cast<NTSTATUS>(0xC000007FL);       // STATUS_DISK_FULL
        case faults::Fault::NotFound: return static_cast<NTSTATUS>(0xC0000034L);       // STATUS_OBJECT_NAME_NOT_FOUND
        case faults::Fault::Held: return static_cast<NTSTATUS>(0xC0000043L);           // STATUS_SHARING_VIOLATION
        case faults::Fault::CrossVolume: return static_cast<NTSTATUS>(0xC00000D4L);    // STATUS_NOT_SAME_DEVICE
        case faults::Fault::NeedsElevation: return static_cast<NTSTATUS>(0xC000042CL); // STATUS_ELEVATION_REQUIRED
        case faults::Fault::Declined: return static_cast<NTSTATUS>(0xC0000120L);       // STATUS_CANCELLED
    }
    return static_cast<NTSTATUS>(0xC0000185L);
}

// True when the seam fails `call`; the last error is then what the system would leave.
bool refused(const char* call) {
    const std::optional<faults::Fault> fault = faults::injected(call);
    if (!fault) return false;
    ::SetLastError(codeOf(*fault));
    return true;
}

// For calls that give their error back: the code the seam fails `call` with, ERROR_SUCCESS
// to let it through.
DWORD refusedWith(const char* call) {
    const std::optional<faults::Fault> fault = faults::injected(call);
    return fault ? codeOf(*fault) : ERROR_SUCCESS;
}

// For the native calls: the status the seam fails `call` with, 0 (success) to let it through.
NTSTATUS refusedStatus(const char* call) {
    const std::optional<faults::Fault> fault = faults::injected(call);
    return fault ? statusOf(*fault) : 0;
}

// For the COM and shell calls: the HRESULT the seam fails `call` with, S_OK to let it through.
HRESULT refusedResult(const char* call) {
    const DWORD code = refusedWith(call);
    return code == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(code);
}

}  // namespace

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                   DWORD flags, HANDLE templateFile) {
    if (refused("CreateFileW")) return INVALID_HANDLE_VALUE;
    return ::CreateFileW(path, access, share, security, disposition, flags, templateFile);
}

NTSTATUS NtCreateFile(PHANDLE out, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, PIO_STATUS_BLOCK io,
                      PLARGE_INTEGER allocation, ULONG fileAttributes, ULONG share, ULONG disposition, ULONG options,
                      PVOID extended, ULONG extendedLength) {
    if (const NTSTATUS status = refusedStatus("NtCreateFile")) return status;
    return ::NtCreateFile(out, access, attributes, io, allocation, fileAttributes, share, disposition, options,
                          extended, extendedLength);
}

NTSTATUS NtSetInformationFile(HANDLE file, PIO_STATUS_BLOCK io, PVOID information, ULONG length,
                              FILE_INFORMATION_CLASS kind) {
    if (const NTSTATUS status = refusedStatus("NtSetInformationFile")) return status;
    return ::NtSetInformationFile(file, io, information, length, kind);
}

BOOL SetFileInformationByHandle(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID information, DWORD size) {
    return refused("SetFileInformationByHandle") ? FALSE : ::SetFileInformationByHandle(file, kind, information, size);
}

BOOL GetFileInformationByHandleEx(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID information, DWORD size) {
    return refused("GetFileInformationByHandleEx") ? FALSE
                                                   : ::GetFileInformationByHandleEx(file, kind, information, size);
}

BOOL GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information) {
    return refused("GetFileInformationByHandle") ? FALSE : ::GetFileInformationByHandle(file, information);
}

DWORD GetFileAttributesW(LPCWSTR path) {
    return refused("GetFileAttributesW") ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(path);
}

BOOL GetFileAttributesExW(LPCWSTR path, GET_FILEEX_INFO_LEVELS level, LPVOID information) {
    return refused("GetFileAttributesExW") ? FALSE : ::GetFileAttributesExW(path, level, information);
}

HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW found) {
    return refused("FindFirstFileW") ? INVALID_HANDLE_VALUE : ::FindFirstFileW(pattern, found);
}

BOOL FindNextFileW(HANDLE search, LPWIN32_FIND_DATAW found) {
    return refused("FindNextFileW") ? FALSE : ::FindNextFileW(search, found);
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD got, LPOVERLAPPED at) {
    if (refused("ReadFile")) {
        if (got) *got = 0;
        return FALSE;
    }
    return ::ReadFile(file, buffer, size, got, at);
}

BOOL WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED at) {
    if (refused("WriteFile")) {
        if (written) *written = 0;
        return FALSE;
    }
    return ::WriteFile(file, data, size, written, at);
}

BOOL FlushFileBuffers(HANDLE file) { return refused("FlushFileBuffers") ? FALSE : ::FlushFileBuffers(file); }

BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER size) {
    return refused("GetFileSizeEx") ? FALSE : ::GetFileSizeEx(file, size);
}

BOOL GetFileTime(HANDLE file, LPFILETIME created, LPFILETIME accessed, LPFILETIME written) {
    return refused("GetFileTime") ? FALSE : ::GetFileTime(file, created, accessed, written);
}

DWORD GetFileType(HANDLE file) { return refused("GetFileType") ? FILE_TYPE_UNKNOWN : ::GetFileType(file); }

BOOL CopyFileExW(LPCWSTR from, LPCWSTR to, LPPROGRESS_ROUTINE progress, LPVOID context, LPBOOL cancel, DWORD flags) {
    return refused("CopyFileExW") ? FALSE : ::CopyFileExW(from, to, progress, context, cancel, flags);
}

BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags) {
    return refused("MoveFileExW") ? FALSE : ::MoveFileExW(from, to, flags);
}

DWORD GetFinalPathNameByHandleW(HANDLE file, LPWSTR path, DWORD size, DWORD flags) {
    return refused("GetFinalPathNameByHandleW") ? 0 : ::GetFinalPathNameByHandleW(file, path, size, flags);
}

DWORD GetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE kind, SECURITY_INFORMATION wanted, PSID* owner, PSID* group,
                      PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* descriptor) {
    if (const DWORD error = refusedWith("GetSecurityInfo")) return error;
    return ::GetSecurityInfo(handle, kind, wanted, owner, group, dacl, sacl, descriptor);
}

BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
    return refused("OpenProcessToken") ? FALSE : ::OpenProcessToken(process, access, token);
}

BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID information, DWORD size, PDWORD needed) {
    return refused("GetTokenInformation") ? FALSE : ::GetTokenInformation(token, kind, information, size, needed);
}

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD process) {
    return refused("CreateToolhelp32Snapshot") ? INVALID_HANDLE_VALUE : ::CreateToolhelp32Snapshot(flags, process);
}

BOOL Process32FirstW(HANDLE snapshot, LPPROCESSENTRY32W entry) {
    return refused("Process32FirstW") ? FALSE : ::Process32FirstW(snapshot, entry);
}

BOOL Process32NextW(HANDLE snapshot, LPPROCESSENTRY32W entry) {
    return refused("Process32NextW") ? FALSE : ::Process32NextW(snapshot, entry);
}

HANDLE OpenProcess(DWORD access, BOOL inherit, DWORD process) {
    return refused("OpenProcess") ? nullptr : ::OpenProcess(access, inherit, process);
}

BOOL EnumProcessModules(EnumProcessModulesEntry entry, HANDLE process, HMODULE* modules, DWORD size, LPDWORD needed) {
    return refused("EnumProcessModules") ? FALSE : entry(process, modules, size, needed);
}

DWORD GetModuleFileNameExW(GetModuleFileNameExEntry entry, HANDLE process, HMODULE module, LPWSTR path, DWORD size) {
    return refused("GetModuleFileNameExW") ? 0 : entry(process, module, path, size);
}

BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info) { return refused("ShellExecuteExW") ? FALSE : ::ShellExecuteExW(info); }

BOOL GetFileSecurityW(LPCWSTR path, SECURITY_INFORMATION wanted, PSECURITY_DESCRIPTOR descriptor, DWORD size,
                      LPDWORD needed) {
    return refused("GetFileSecurityW") ? FALSE : ::GetFileSecurityW(path, wanted, descriptor, size, needed);
}

BOOL DuplicateToken(HANDLE token, SECURITY_IMPERSONATION_LEVEL level, PHANDLE out) {
    return refused("DuplicateToken") ? FALSE : ::DuplicateToken(token, level, out);
}

BOOL AccessCheck(PSECURITY_DESCRIPTOR descriptor, HANDLE token, DWORD wanted, PGENERIC_MAPPING mapping,
                 PPRIVILEGE_SET privileges, LPDWORD privilegesSize, LPDWORD granted, LPBOOL status) {
    if (refused("AccessCheck")) return FALSE;
    return ::AccessCheck(descriptor, token, wanted, mapping, privileges, privilegesSize, granted, status);
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD code) {
    return refused("GetExitCodeProcess") ? FALSE : ::GetExitCodeProcess(process, code);
}

DWORD WNetGetConnectionW(LPCWSTR local, LPWSTR remote, LPDWORD size) {
    if (const DWORD code = refusedWith("WNetGetConnectionW")) return code;
    return ::WNetGetConnectionW(local, remote, size);
}

BOOL CreateProcessW(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processSecurity,
                    LPSECURITY_ATTRIBUTES threadSecurity, BOOL inherit, DWORD flags, LPVOID environment,
                    LPCWSTR directory, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION started) {
    if (refused("CreateProcessW")) return FALSE;
    return ::CreateProcessW(application, commandLine, processSecurity, threadSecurity, inherit, flags, environment,
                            directory, startup, started);
}

DWORD WaitForSingleObject(HANDLE object, DWORD limitMs) {
    return refused("WaitForSingleObject") ? WAIT_FAILED : ::WaitForSingleObject(object, limitMs);
}

DWORD WaitForInputIdle(HANDLE process, DWORD limitMs) {
    return refused("WaitForInputIdle") ? WAIT_FAILED : ::WaitForInputIdle(process, limitMs);
}

DWORD RmStartSession(RmStartSessionEntry entry, DWORD* session, DWORD flags, WCHAR* key) {
    if (const DWORD error = refusedWith("RmStartSession")) return error;
    return entry(session, flags, key);
}

DWORD RmRegisterResources(RmRegisterResourcesEntry entry, DWORD session, UINT fileCount, LPCWSTR* files,
                          UINT processCount, void* processes, UINT serviceCount, LPCWSTR* services) {
    if (const DWORD error = refusedWith("RmRegisterResources")) return error;
    return entry(session, fileCount, files, processCount, processes, serviceCount, services);
}

DWORD RmGetList(RmGetListEntry entry, DWORD session, UINT* needed, UINT* count, void* found, DWORD* reasons) {
    if (const DWORD error = refusedWith("RmGetList")) return error;
    return entry(session, needed, count, found, reasons);
}

LSTATUS RegOpenKeyExW(HKEY root, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY out) {
    if (const DWORD error = refusedWith("RegOpenKeyExW")) return static_cast<LSTATUS>(error);
    return ::RegOpenKeyExW(root, subKey, options, access, out);
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
    if (const DWORD error = refusedWith("RegQueryValueExW")) return static_cast<LSTATUS>(error);
    return ::RegQueryValueExW(key, name, reserved, type, data, size);
}

HRESULT SHGetSpecialFolderLocation(HWND owner, int folder, PIDLIST_ABSOLUTE* ids) {
    if (const HRESULT status = refusedResult("SHGetSpecialFolderLocation"); FAILED(status)) return status;
    return ::SHGetSpecialFolderLocation(owner, folder, ids);
}

BOOL SHGetPathFromIDListEx(PCIDLIST_ABSOLUTE ids, PWSTR path, DWORD size, GPFIDL_FLAGS flags) {
    return refused("SHGetPathFromIDListEx") ? FALSE : ::SHGetPathFromIDListEx(ids, path, size, flags);
}

HRESULT CoCreateInstance(REFCLSID kind, LPUNKNOWN outer, DWORD context, REFIID wanted, LPVOID* out) {
    if (const HRESULT status = refusedResult("CoCreateInstance"); FAILED(status)) {
        *out = nullptr;
        return status;
    }
    return ::CoCreateInstance(kind, outer, context, wanted, out);
}

HRESULT PersistFileSave(IPersistFile* file, LPCOLESTR path, BOOL remember) {
    if (const HRESULT status = refusedResult("IPersistFile::Save"); FAILED(status)) return status;
    return file->Save(path, remember);
}

}  // namespace detail::sys
}  // namespace os
