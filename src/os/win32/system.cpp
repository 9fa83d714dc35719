// The updater's own path, the Windows and system directories and the platform family from
// kernel32. Only Win32 code belongs here.
#include <windows.h>

#include <cstring>
#include <string>

#include "os/system.h"

namespace os {

std::string modulePath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, strnlen(path, MAX_PATH));
}

std::string windowsDirectory() {
    char path[MAX_PATH] = {};
    GetWindowsDirectoryA(path, MAX_PATH);
    return std::string(path, strnlen(path, MAX_PATH));
}

std::string systemDirectory() {
    char path[MAX_PATH] = {};
    GetSystemDirectoryA(path, MAX_PATH);
    return std::string(path, strnlen(path, MAX_PATH));
}

bool isNtPlatform() {
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    // The size the record had when the platform id was introduced; later fields stay unasked.
    info.dwOSVersionInfoSize = 148;
    // A failed call leaves the platform id 0, which answers "not NT" as the older family would.
    GetVersionExA(&info);
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

}  // namespace os
