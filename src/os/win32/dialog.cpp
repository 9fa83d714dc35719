// Boxes through MessageBoxW, so that the Japanese catalogue shows intact on a Windows of
// any language; script text is converted from the 8-bit code page. Only Win32 code here.
#include <windows.h>

#include "os/dialog.h"
#include "os/win32/encoding.h"

namespace os {

namespace detail {
int showPlatformBox(const std::string& text, const std::string& caption, unsigned style) {
    return MessageBoxW(nullptr, widen(text, CP_UTF8).c_str(), widen(caption, CP_UTF8).c_str(), style);
}
}  // namespace detail

std::string scriptToUtf8(const std::string& scriptText) {
    return detail::narrow(detail::widen(scriptText, CP_ACP), CP_UTF8);
}

std::string catalogueText(int id) {
    const wchar_t* resource = nullptr;
    const int length = LoadStringW(GetModuleHandleW(nullptr), static_cast<UINT>(id),
                                   reinterpret_cast<LPWSTR>(&resource), 0);
    if (length <= 0 || resource == nullptr) return {};
    return detail::narrow(std::wstring(resource, static_cast<size_t>(length)), CP_UTF8);
}

std::string catalogueScriptText(int id) {
    char area[256] = {};
    const int length = LoadStringA(GetModuleHandleA(nullptr), static_cast<UINT>(id), area, sizeof area);
    return length > 0 ? std::string(area, static_cast<size_t>(length)) : std::string();
}

}  // namespace os
