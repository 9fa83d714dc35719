// RegistryKey over the wide Win32 registry functions, each through the table of
// system_calls.h. Only Win32 code belongs here.
#include "os/win32/registry_key.h"

#include <cwchar>
#include <new>

#include "os/script_source.h"
#include "os/win32/system_calls.h"
#include "os/win32/wide.h"

namespace os::detail {

RegistryKey::RegistryKey(HKEY root, const char* subKey) : root_(root), subKey_(subKey ? subKey : "") {}

RegistryKey::~RegistryKey() { close(); }

bool RegistryKey::open(REGSAM access) {
    close();
    if (!root_) return false;
    return sys::RegOpenKeyExW(root_, widen(subKey_).c_str(), 0, access, &handle_) == ERROR_SUCCESS;
}

void RegistryKey::close() {
    if (!handle_) return;
    RegCloseKey(handle_);
    handle_ = nullptr;
}

DWORD RegistryKey::valueSize(const char* name) {
    if (!handle_) return 0;
    DWORD size = 0;
    (void)sys::RegQueryValueExW(handle_, widen(name ? name : "").c_str(), nullptr, nullptr, nullptr, &size);  // missing: 0
    return size;
}

bool RegistryKey::readString(const char* name, std::string& out) {
    if (!handle_) return false;
    const std::wstring wideName = widen(name ? name : "");
    DWORD type = 0;
    DWORD size = 0;
    if (sys::RegQueryValueExW(handle_, wideName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size == 0)
        return false;
    std::string bytes;
    try {
        // One unit more than stored: a value without a terminator still ends inside the area.
        bytes.assign(size + sizeof(wchar_t), '\0');
    } catch (const std::bad_alloc&) {
        return false;
    }
    DWORD read = size;
    if (sys::RegQueryValueExW(handle_, wideName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()),
                              &read) != ERROR_SUCCESS)
        return false;
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        const auto* text = reinterpret_cast<const wchar_t*>(bytes.data());
        out = narrow(text, wcsnlen(text, read / sizeof(wchar_t)));
    } else {
        // Stored as bytes, read as text in the system's code page, as the narrow call reads it.
        bytes.resize(read);
        out = ansiToUtf8(std::string_view(bytes.c_str()));
    }
    return true;
}

bool RegistryKey::readValue(const char* name, std::string& out) {
    bool ok = false;
    if (open(KEY_READ)) ok = readString(name, out);
    close();
    return ok;
}

}  // namespace os::detail
