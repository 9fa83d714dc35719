// Ownership of a Win32 kernel handle, closed on every way out. Only Win32 code includes this.
#pragma once

#include <windows.h>

namespace os::detail {

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (valid()) ::CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    // Some calls report failure with a null handle, others with INVALID_HANDLE_VALUE.
    bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

}  // namespace os::detail
