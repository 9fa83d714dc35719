// The crossing between the UTF-8 the updater holds and the UTF-16 of the wide Win32 calls,
// and the form a path must take to pass the old 260-character limit. Only Win32 code
// includes this.
#pragma once

#include <string>

namespace os::detail {

std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& utf16);
std::string narrow(const wchar_t* utf16, size_t length);

// A script path as the wide calls take it: UTF-16, and for an absolute path too long for the
// old limit the "\\?\" (or "\\?\UNC\") form, after the "." and ".." steps and doubled
// separators that this form would no longer resolve have been resolved. Shorter paths pass
// as they are, so that they mean exactly what they always meant.
std::wstring systemPath(const std::string& scriptPath);

// A path the system reports, without the long-path form: what scripts and reports show.
std::string scriptForm(std::wstring systemPath);

}  // namespace os::detail
