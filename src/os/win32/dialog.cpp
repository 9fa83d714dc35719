// Boxes through MessageBoxW, so that the Japanese catalogue and any character a script holds
// show intact on a Windows of any language. Only Win32 code here.
#include <windows.h>

#include "os/dialog.h"
#include "os/dialog_platform.h"
#include "os/win32/wide.h"

namespace os {

namespace detail {
int showPlatformBox(const std::string& text, const std::string& caption, unsigned style) {
    return MessageBoxW(nullptr, widen(text).c_str(), widen(caption).c_str(), style);
}
}  // namespace detail

std::string catalogueText(int id) {
    const wchar_t* resource = nullptr;
    const int length = LoadStringW(GetModuleHandleW(nullptr), static_cast<UINT>(id),
                                   reinterpret_cast<LPWSTR>(&resource), 0);
    if (length <= 0 || resource == nullptr) return {};
    return detail::narrow(resource, static_cast<size_t>(length));
}

}  // namespace os
