// Reading a file at a given offset until `n` bytes are in or its end is met, whatever the
// position of its handle (synchronous handles take the offset of an OVERLAPPED). Only Win32
// code includes this.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "os/win32/system_calls.h"

namespace os::detail {

// The name of the call that failed (its error left in GetLastError), or nullptr.
inline const char* readAtOffset(HANDLE file, uint64_t offset, void* into, size_t n, size_t& got) {
    got = 0;
    while (got < n) {
        const DWORD part = static_cast<DWORD>(std::min<size_t>(n - got, size_t(1) << 30));
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset + got);
        at.OffsetHigh = static_cast<DWORD>((offset + got) >> 32);
        DWORD count = 0;
        if (!sys::ReadFile(file, static_cast<char*>(into) + got, part, &count, &at)) {
            if (::GetLastError() == ERROR_HANDLE_EOF) break;
            return "ReadFile";
        }
        if (count == 0) break;
        got += count;
    }
    return nullptr;
}

}  // namespace os::detail
