// Conversions between the 8-bit code page, UTF-8 and UTF-16 for the Win32 layer.
// Only Win32 code includes this.
#pragma once

#include <string>

namespace os::detail {
std::wstring widen(const std::string& text, unsigned codePage);
std::string narrow(const std::wstring& text, unsigned codePage);
}  // namespace os::detail
