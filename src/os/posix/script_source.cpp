// Script bytes on POSIX. Only POSIX code belongs here.
#include "os/script_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "os/posix/descriptor.h"
#include "os/posix/listing.h"
#include "os/posix/native_path.h"
#include "os/posix/system_calls.h"
#include "os/script_limits.h"

namespace os {

Result readWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    detail::Descriptor fd;
    if (const detail::CallError error = detail::openRegularFile(AT_FDCWD, detail::nativePath(path).c_str(), false, fd))
        return detail::failure(Operation::Open, path, error);
    struct stat info;
    if (detail::sys::fstat(fd.get(), &info) != 0) return detail::failure(Operation::Read, path, detail::failedCall("fstat"));
    if (static_cast<uint64_t>(info.st_size) > MaxScriptBytes) return Result::fail(Operation::Read, path, EFBIG);
    char chunk[65536];
    for (;;) {
        const ssize_t got = detail::sys::read(fd.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return detail::failure(Operation::Read, path, detail::failedCall("read"));
        if (got == 0) return {};
        bytes.append(chunk, static_cast<size_t>(got));
        // A file that grows while it is read is cut off at the limit all the same.
        if (bytes.size() > MaxScriptBytes) return Result::fail(Operation::Read, path, EFBIG);
    }
}

std::string ansiToUtf8(std::string_view text) { return std::string(text); }

}  // namespace os
