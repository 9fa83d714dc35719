// Special folders through the shell's item identifier lists, and App Paths registrations
// through RegistryKey; the shell's calls go through the table of system_calls.h. Only Win32
// code belongs here.
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "os/shell.h"
#include "os/shell_platform.h"
#include "os/win32/registry_key.h"
#include "os/win32/system_calls.h"
#include "os/win32/wide.h"

namespace os::detail {
namespace {

// Frees an item identifier list with the shell's allocator when the lookup is done; if the
// allocator cannot be had, the list is left as it is, there being nothing else to free it with.
struct IdListOwner {
    LPITEMIDLIST list = nullptr;
    IdListOwner() = default;
    IdListOwner(const IdListOwner&) = delete;
    IdListOwner& operator=(const IdListOwner&) = delete;
    ~IdListOwner() {
        if (!list) return;
        IMalloc* allocator = nullptr;
        if (SUCCEEDED(SHGetMalloc(&allocator))) {
            allocator->Free(list);
            allocator->Release();
        }
    }
};

constexpr const char* appPathsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

}  // namespace

bool platformSpecialFolderPath(int folder, std::string& out) {
    IdListOwner ids;
    if (sys::SHGetSpecialFolderLocation(nullptr, folder, &ids.list) != S_OK) return false;
    // The longest path the system hands out, rather than the old limit.
    std::wstring path(32768, L'\0');
    const bool ok =
        sys::SHGetPathFromIDListEx(ids.list, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT) != FALSE;
    // A virtual folder has no directory; what the call may have left in the area is not one.
    out = ok ? narrow(path.c_str(), wcsnlen(path.c_str(), path.size())) : "";
    return ok;
}

bool platformAppPathValue(const std::string& program, const std::string& valueName, std::string& out) {
    RegistryKey key(HKEY_LOCAL_MACHINE, (appPathsKey + program).c_str());
    return key.readValue(valueName.c_str(), out);
}

}  // namespace os::detail
