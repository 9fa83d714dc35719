// Shortcut files on POSIX: our encoder's bytes written to the link path. Only POSIX code here.
#include "os/shortcut.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "os/posix/path_form.h"
#include "os/shell_link_format.h"

namespace os {

bool saveShortcut(const ShortcutFields& fields, const std::string& linkPath) {
    std::string bytes;
    if (!encodeShellLink(fields, bytes)) return false;
    const int fd = open(detail::toNativeForm(linkPath).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return close(fd) == 0 && done == bytes.size();
}

}  // namespace os
