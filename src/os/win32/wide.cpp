// UTF-8 and UTF-16, and long paths, for the Win32 layer. Only Win32 code belongs here.
#include "os/win32/wide.h"

#include <windows.h>

#include <vector>

#include "text/script_path.h"

namespace os::detail {
namespace {

// Below this many UTF-16 units every call takes a path as it is; CreateDirectoryW already
// stops 12 short of MAX_PATH.
constexpr size_t plainPathLimit = MAX_PATH - 12;

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The elements of an absolute path resolved as the path functions would before they open
// anything: "." dropped, ".." taking the element before it (above the root is the root),
// empty elements collapsed.
std::wstring resolvedBelow(const std::wstring& root, const std::wstring& rest) {
    std::wstring out = root;
    bool first = true;
    for (const std::string& element : paths::resolvedElements(narrow(rest), false)) {
        if (!first) out += L'\\';
        out += widen(element);
        first = false;
    }
    return out;
}

}  // namespace

std::wstring widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(n > 0 ? n : 0, L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string narrow(const wchar_t* utf16, size_t length) {
    if (length == 0) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, utf16, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, utf16, static_cast<int>(length), out.data(), n, nullptr, nullptr);
    return out;
}

std::string narrow(const std::wstring& utf16) { return narrow(utf16.data(), utf16.size()); }

std::wstring systemPath(const std::string& scriptPath) {
    std::wstring wide = widen(scriptPath);
    if (wide.size() < plainPathLimit) return wide;
    // "C:\..." and "\\server\share\..."; a path already in the long form, or a relative one,
    // is the system's to resolve.
    if (wide.size() >= 3 && wide[1] == L':' && isSeparator(wide[2])) {
        const bool trailing = isSeparator(wide.back());
        std::wstring out = resolvedBelow(L"\\\\?\\" + wide.substr(0, 3), wide.substr(3));
        if (trailing) out += L'\\';
        return out;
    }
    if (wide.size() >= 3 && isSeparator(wide[0]) && isSeparator(wide[1]) && wide[2] != L'?' && wide[2] != L'.') {
        size_t share = 2;
        for (int separators = 0; share < wide.size() && separators < 2; ++share)
            if (isSeparator(wide[share])) ++separators;
        const bool trailing = isSeparator(wide.back());
        std::wstring root = L"\\\\?\\UNC\\" + wide.substr(2, share - 2);
        if (!isSeparator(root.back())) root += L'\\';
        std::wstring out = resolvedBelow(root, wide.substr(share));
        if (trailing) out += L'\\';
        return out;
    }
    return wide;
}

std::string scriptForm(std::wstring path) {
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0)
        path = L"\\\\" + path.substr(8);
    else if (path.rfind(L"\\\\?\\", 0) == 0)
        path = path.substr(4);
    return narrow(path);
}

}  // namespace os::detail
