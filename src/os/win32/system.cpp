// The updater's own path, the Windows and system directories and the platform family from
// kernel32. Only Win32 code belongs here.
#include <windows.h>

#include <bcrypt.h>

#include <cstring>
#include <string>

#include "os/system.h"
#include "os/win32/system_calls.h"
#include "os/win32/wide.h"

namespace os {

std::string modulePath() {
    // The area grows until the path fits: an updater deep in a long folder still finds its
    // script.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) return detail::scriptForm(path.substr(0, n));
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

std::string windowsDirectory() {
    wchar_t path[MAX_PATH] = {};
    const UINT n = GetWindowsDirectoryW(path, MAX_PATH);
    return n < MAX_PATH ? detail::narrow(path, n) : std::string();
}

std::string systemDirectory() {
    wchar_t path[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryW(path, MAX_PATH);
    return n < MAX_PATH ? detail::narrow(path, n) : std::string();
}

LocalTime localNow() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

uint64_t steadyMilliseconds() { return GetTickCount64(); }

void sleepMilliseconds(unsigned milliseconds) { Sleep(milliseconds); }

std::string systemDescription() {
    // The version the system really has: GetVersionEx answers what the manifest declares.
    using GetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto get = reinterpret_cast<GetVersion>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!get || get(&info) != 0) return "Windows";
    return "Windows " + std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) + " build " +
           std::to_string(info.dwBuildNumber);
}

std::string userName() {
    wchar_t name[256 + 1] = {};
    DWORD size = 256 + 1;
    return GetUserNameW(name, &size) ? detail::narrow(name, wcsnlen(name, size)) : std::string();
}

std::string currentDirectory() {
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    if (size == 0) return {};
    std::wstring path(size, L'\0');
    const DWORD n = GetCurrentDirectoryW(size, path.data());
    return n > 0 && n < size ? detail::scriptForm(path.substr(0, n)) : std::string();
}

bool randomBytes(void* out, size_t size) {
    return BCRYPT_SUCCESS(BCryptGenRandom(nullptr, static_cast<PUCHAR>(out), static_cast<ULONG>(size),
                                          BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

bool isNtPlatform() {
    OSVERSIONINFOW info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    // A failed call leaves the platform id 0, which answers "not NT" as the older family would.
    GetVersionExW(&info);
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

}  // namespace os
