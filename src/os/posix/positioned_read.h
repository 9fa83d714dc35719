// Reading a file at a given offset until `n` bytes are in or its end is met, whatever the
// position of its descriptor. Only POSIX code includes this.
#pragma once

#include <cerrno>
#include <cstdint>

#include "os/posix/system_calls.h"

namespace os::detail {

inline CallError readAtOffset(int fd, uint64_t offset, void* into, size_t n, size_t& got) {
    got = 0;
    while (got < n) {
        const ssize_t r = sys::pread(fd, static_cast<char*>(into) + got, n - got, static_cast<off_t>(offset + got));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return failedCall("pread");
        if (r == 0) break;
        got += static_cast<size_t>(r);
    }
    return {};
}

}  // namespace os::detail
