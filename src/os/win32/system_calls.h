// The table of every Win32 and native call the Windows layer makes on files, processes,
// shortcuts and the registry: each entry asks the fault-injection seam
// (os/fault_injection.h) by its name first, and when told to fail gives back what the call
// gives back on failure (its failure value with the last error set; a native call's status;
// the code of a registry, security or Restart Manager call; a COM or shell call's HRESULT);
// otherwise it is the call itself. Code of the layer calls sys::CreateFileW where it would
// call ::CreateFileW. Left out are the calls that only let go of what was had (CloseHandle,
// FindClose, RegCloseKey, FreeLibrary, LocalFree, RmEndSession), on whose end nothing that
// follows depends, and those that only convert text or times, format messages or read the
// last error, which ask nothing of a file or a process. Only Win32 code includes this.
#pragma once

#include <windows.h>
#include <winternl.h>
#include <aclapi.h>
#include <shlobj.h>
#include <shellapi.h>
#include <winnetwk.h>
#include <tlhelp32.h>

#include <string>
#include <utility>

#include "os/result.h"

namespace os::detail {

// A program whose manifest asks for administrator rights, started without them: mingw's
// headers lack the name of this error.
constexpr DWORD ErrorElevationRequired = 740;

// The failure of `operation` on `path` that the Win32 call `call` has just reported through
// the thread's last error.
inline Result lastFailure(Operation operation, std::string path, const char* call) {
    const DWORD error = ::GetLastError();
    return Result::fail(operation, std::move(path), error, call);
}

// The failure of `operation` on `path` that the native call `call` gave back as `status`,
// in the Win32 code the rest of the updater knows.
inline Result statusFailure(Operation operation, std::string path, NTSTATUS status, const char* call) {
    return Result::fail(operation, std::move(path), ::RtlNtStatusToDosError(status), call);
}

}  // namespace os::detail

namespace os::detail::sys {

// Entry points of libraries loaded at run time, which older systems may lack (the
// process-status library, the Restart Manager): the caller loads them and hands them in.
using EnumProcessModulesEntry = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, LPDWORD);
using GetModuleFileNameExEntry = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);
using RmStartSessionEntry = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR*);
using RmRegisterResourcesEntry = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR*, UINT, void*, UINT, LPCWSTR*);
using RmGetListEntry = DWORD(WINAPI*)(DWORD, UINT*, UINT*, void*, DWORD*);

// Files and directories.
HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                   DWORD flags, HANDLE templateFile);
NTSTATUS NtCreateFile(PHANDLE out, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, PIO_STATUS_BLOCK io,
                      PLARGE_INTEGER allocation, ULONG fileAttributes, ULONG share, ULONG disposition, ULONG options,
                      PVOID extended, ULONG extendedLength);
NTSTATUS NtSetInformationFile(HANDLE file, PIO_STATUS_BLOCK io, PVOID information, ULONG length,
                              FILE_INFORMATION_CLASS kind);
BOOL SetFileInformationByHandle(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID information, DWORD size);
BOOL GetFileInformationByHandleEx(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID information, DWORD size);
BOOL GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information);
DWORD GetFileAttributesW(LPCWSTR path);
BOOL GetFileAttributesExW(LPCWSTR path, GET_FILEEX_INFO_LEVELS level, LPVOID information);
HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW found);
BOOL FindNextFileW(HANDLE search, LPWIN32_FIND_DATAW found);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD got, LPOVERLAPPED at);
BOOL WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED at);
BOOL FlushFileBuffers(HANDLE file);
BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER size);
BOOL GetFileTime(HANDLE file, LPFILETIME created, LPFILETIME accessed, LPFILETIME written);
// FILE_TYPE_UNKNOWN with the last error set on failure, as the call itself.
DWORD GetFileType(HANDLE file);
BOOL CopyFileExW(LPCWSTR from, LPCWSTR to, LPPROGRESS_ROUTINE progress, LPVOID context, LPBOOL cancel, DWORD flags);
BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags);
DWORD GetFinalPathNameByHandleW(HANDLE file, LPWSTR path, DWORD size, DWORD flags);
// The error code itself on failure, as the call itself gives it.
DWORD GetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE kind, SECURITY_INFORMATION wanted, PSID* owner, PSID* group,
                      PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* descriptor);
BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token);
BOOL GetFileSecurityW(LPCWSTR path, SECURITY_INFORMATION wanted, PSECURITY_DESCRIPTOR descriptor, DWORD size,
                      LPDWORD needed);
BOOL DuplicateToken(HANDLE token, SECURITY_IMPERSONATION_LEVEL level, PHANDLE out);
BOOL AccessCheck(PSECURITY_DESCRIPTOR descriptor, HANDLE token, DWORD wanted, PGENERIC_MAPPING mapping,
                 PPRIVILEGE_SET privileges, LPDWORD privilegesSize, LPDWORD granted, LPBOOL status);
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID information, DWORD size, PDWORD needed);

// Processes.
HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD process);
BOOL Process32FirstW(HANDLE snapshot, LPPROCESSENTRY32W entry);
BOOL Process32NextW(HANDLE snapshot, LPPROCESSENTRY32W entry);
HANDLE OpenProcess(DWORD access, BOOL inherit, DWORD process);
BOOL EnumProcessModules(EnumProcessModulesEntry entry, HANDLE process, HMODULE* modules, DWORD size, LPDWORD needed);
DWORD GetModuleFileNameExW(GetModuleFileNameExEntry entry, HANDLE process, HMODULE module, LPWSTR path, DWORD size);
// Starting a program through the shell: what the verb "runas" asks for administrator rights with.
BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info);
BOOL GetExitCodeProcess(HANDLE process, LPDWORD code);
// The remote name behind a mapped drive: the error code itself on failure, as the call gives it.
DWORD WNetGetConnectionW(LPCWSTR local, LPWSTR remote, LPDWORD size);
BOOL CreateProcessW(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processSecurity,
                    LPSECURITY_ATTRIBUTES threadSecurity, BOOL inherit, DWORD flags, LPVOID environment,
                    LPCWSTR directory, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION started);
// WAIT_FAILED with the last error set on failure, as the calls themselves.
DWORD WaitForSingleObject(HANDLE object, DWORD limitMs);
DWORD WaitForInputIdle(HANDLE process, DWORD limitMs);
// The Restart Manager's answers are error codes, as the calls themselves give them.
DWORD RmStartSession(RmStartSessionEntry entry, DWORD* session, DWORD flags, WCHAR* key);
DWORD RmRegisterResources(RmRegisterResourcesEntry entry, DWORD session, UINT fileCount, LPCWSTR* files,
                          UINT processCount, void* processes, UINT serviceCount, LPCWSTR* services);
DWORD RmGetList(RmGetListEntry entry, DWORD session, UINT* needed, UINT* count, void* found, DWORD* reasons);

// The registry: error codes, as the calls themselves give them.
LSTATUS RegOpenKeyExW(HKEY root, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY out);
LSTATUS RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size);

// The shell and its shortcut object: HRESULTs, as the calls themselves give them, except
// SHGetPathFromIDListEx's FALSE.
HRESULT SHGetSpecialFolderLocation(HWND owner, int folder, PIDLIST_ABSOLUTE* ids);
BOOL SHGetPathFromIDListEx(PCIDLIST_ABSOLUTE ids, PWSTR path, DWORD size, GPFIDL_FLAGS flags);
HRESULT CoCreateInstance(REFCLSID kind, LPUNKNOWN outer, DWORD context, REFIID wanted, LPVOID* out);
// IPersistFile::Save.
HRESULT PersistFileSave(IPersistFile* file, LPCOLESTR path, BOOL remember);

}  // namespace os::detail::sys
