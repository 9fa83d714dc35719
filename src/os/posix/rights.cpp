// Rights on POSIX: root is the administrator; what this user may write is the system's own
// access check. There is no consent prompt to ask for more rights with. Only POSIX code
// belongs here.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "os/posix/native_path.h"
#include "os/posix/system_calls.h"
#include "os/rights_platform.h"

namespace os::detail {

bool platformIsElevated() { return ::geteuid() == 0; }

// Every change in a directory needs writing and searching it, for the effective user, as the
// calls that will make it are checked.
Result platformMayWriteIn(const std::string& directory, DirectoryChange) {
    if (sys::faccessat(AT_FDCWD, nativePath(directory).c_str(), W_OK | X_OK, AT_EACCESS) == 0) return {};
    // A read-only file system (EROFS) stays one for root: that is no lack of rights.
    return Result::fail(Operation::Look, directory, static_cast<ErrorCode>(errno), "faccessat");
}

Result platformStartElevated(const std::string& program, const std::string&, const std::string&, bool, uint32_t*,
                             const std::function<void()>&) {
    return Result::fail(Operation::Start, program, NoWayToElevate);
}

bool platformIsDeclined(ErrorCode error) { return error == ECANCELED; }

std::string platformPathSeenElevated(const std::string& path) { return path; }

}  // namespace os::detail
