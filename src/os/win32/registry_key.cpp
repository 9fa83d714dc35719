// RegistryKey over the Win32 registry functions. Only Win32 code belongs here.
#include "os/win32/registry_key.h"

#include <cstring>
#include <new>

namespace os::detail {

RegistryKey::RegistryKey(HKEY root, const char* subKey) : root_(root), subKey_(subKey ? subKey : "") {}

RegistryKey::~RegistryKey() { close(); }

bool RegistryKey::open(REGSAM access) {
    close();
    if (!root_) return false;
    return RegOpenKeyExA(root_, subKey_.c_str(), 0, access, &handle_) == ERROR_SUCCESS;
}

void RegistryKey::close() {
    if (!handle_) return;
    RegCloseKey(handle_);
    handle_ = nullptr;
}

DWORD RegistryKey::valueSize(const char* name) {
    if (!handle_) return 0;
    DWORD size = 0;
    // A missing value leaves the size at 0, which is all the callers need to know.
    RegQueryValueExA(handle_, name, nullptr, nullptr, nullptr, &size);
    return size;
}

bool RegistryKey::readString(const char* name, std::string& out) {
    const DWORD size = valueSize(name);
    if (size == 0 || !handle_) return false;
    try {
        out.assign(size, '\0');
    } catch (const std::bad_alloc&) {
        return false;
    }
    DWORD read = size;
    const bool ok = RegQueryValueExA(handle_, name, nullptr, nullptr, reinterpret_cast<BYTE*>(out.data()),
                                     &read) == ERROR_SUCCESS;
    // The area is exactly the stored size: a value without a terminator fills it to the end,
    // and the string's own terminator behind the area ends the text there.
    out.resize(strnlen(out.data(), out.size()));
    return ok;
}

bool RegistryKey::readValue(const char* name, std::string& out) {
    bool ok = false;
    if (open(KEY_READ)) ok = readString(name, out);
    close();
    return ok;
}

}  // namespace os::detail
