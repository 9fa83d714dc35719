// The wait on a process's handle that a progress can follow: in slices, telling between them
// that it still waits. Only Win32 code includes this.
#pragma once

#include <windows.h>

#include <functional>

#include "os/process.h"
#include "os/win32/system_calls.h"

namespace os::detail {

// Waits at most `limitMs` (INFINITE: no limit) for `process` to end, as WaitForSingleObject
// does and with its answer; `stillWaiting`, when given, is called about every
// StillWaitingEveryMs meanwhile (what it throws ends the wait). One handle throughout: a
// slice never waits on a process that took the number of one that ended.
inline DWORD waitInSlices(HANDLE process, DWORD limitMs, const std::function<void()>& stillWaiting) {
    if (!stillWaiting) return sys::WaitForSingleObject(process, limitMs);
    const bool forever = limitMs == INFINITE;
    const ULONGLONG end = GetTickCount64() + limitMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const ULONGLONG left = forever ? StillWaitingEveryMs : (end > now ? end - now : 0);
        const DWORD waited = sys::WaitForSingleObject(process, static_cast<DWORD>(left < StillWaitingEveryMs ? left
                                                                                               : StillWaitingEveryMs));
        if (waited != WAIT_TIMEOUT || (!forever && GetTickCount64() >= end)) return waited;
        stillWaiting();
    }
}

}  // namespace os::detail
