// A registry key opened for one read and closed again; the only way the updater touches the
// registry. Only Win32 code includes this.
#pragma once

#include <windows.h>

#include <string>

namespace os::detail {

class RegistryKey {
public:
    RegistryKey(HKEY root, const char* subKey);
    virtual ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    bool open(REGSAM access);
    void close();
    // The stored size of value `name` in bytes, 0 while closed or when the value is missing.
    DWORD valueSize(const char* name);
    // Value `name` as text, whatever type it was stored with; a value stored without a
    // terminating zero still gives a whole text.
    bool readString(const char* name, std::string& out);
    // Opens for reading, reads value `name` and closes again.
    bool readValue(const char* name, std::string& out);

private:
    HKEY root_;
    std::string subKey_;
    HKEY handle_ = nullptr;
};

}  // namespace os::detail
