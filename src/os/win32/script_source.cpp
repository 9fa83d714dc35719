// Script bytes and the ANSI code page on Windows; the file's calls go through the table of
// system_calls.h. Only Win32 code belongs here.
#include "os/script_source.h"

#include <windows.h>

#include "os/script_limits.h"
#include "os/win32/handle.h"
#include "os/win32/system_calls.h"
#include "os/win32/wide.h"

namespace os {

Result readWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    // Others may go on reading it, and the updater may replace it, as the profile functions
    // let them.
    detail::Handle file(detail::sys::CreateFileW(detail::systemPath(path).c_str(), GENERIC_READ,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return detail::lastFailure(Operation::Open, path, "CreateFileW");
    if (detail::sys::GetFileType(file.get()) != FILE_TYPE_DISK)
        return Result::fail(Operation::Open, path, NotAFileOrDirectory);
    LARGE_INTEGER size{};
    if (!detail::sys::GetFileSizeEx(file.get(), &size))
        return detail::lastFailure(Operation::Read, path, "GetFileSizeEx");
    if (static_cast<uint64_t>(size.QuadPart) > MaxScriptBytes)
        return Result::fail(Operation::Read, path, ERROR_FILE_TOO_LARGE);
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        if (!detail::sys::ReadFile(file.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got,
                                   nullptr))
            return detail::lastFailure(Operation::Read, path, "ReadFile");
        if (got == 0) break;
        done += got;
    }
    bytes.resize(done);
    return {};
}

std::string ansiToUtf8(std::string_view text) {
    if (text.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(n > 0 ? n : 0, L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return detail::narrow(wide);
}

}  // namespace os
