// Shortcut files on POSIX: our encoder's bytes written beside the link path and renamed onto
// it. Only POSIX code here.
#include "os/shortcut.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "os/posix/descriptor.h"
#include "os/posix/native_path.h"
#include "os/shell_link_format.h"
#include "os/system.h"

namespace os {

Result saveShortcut(const ShortcutFields& fields, const std::string& linkPath) {
    std::string bytes;
    if (!encodeShellLink(fields, bytes)) return Result::fail(Operation::SaveShortcut, linkPath, ENAMETOOLONG);
    const std::string native = detail::nativePath(linkPath);
    const size_t slash = native.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : native.substr(0, slash);
    const std::string name = slash == std::string::npos ? native : native.substr(slash + 1);
    const auto fail = [&](ErrorCode error) { return Result::fail(Operation::SaveShortcut, linkPath, error); };

    detail::Descriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid()) return fail(static_cast<ErrorCode>(errno));
    uint64_t random = 0;
    randomBytes(&random, sizeof random);
    char temporary[32];
    std::snprintf(temporary, sizeof temporary, "~upd%016llx.tmp", static_cast<unsigned long long>(random));
    detail::Descriptor out(::openat(dir.get(), temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!out.valid()) return fail(static_cast<ErrorCode>(errno));
    size_t done = 0;
    ErrorCode error = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(out.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? static_cast<ErrorCode>(errno) : ENOSPC;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (!out.close() && error == 0) error = static_cast<ErrorCode>(errno);
    if (error == 0 && ::renameat(dir.get(), temporary, dir.get(), name.c_str()) != 0) error = static_cast<ErrorCode>(errno);
    if (error == 0) return {};
    ::unlinkat(dir.get(), temporary, 0);
    return fail(error);
}

}  // namespace os
