// Opening a directory by its path element by element, links followed only where they can be
// trusted. Only POSIX code belongs here.
#include "os/posix/trusted_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <deque>
#include <vector>

namespace os::detail {
namespace {

// As many links as the kernel follows in one path before it gives up.
constexpr int linkLimit = 40;

void pushElements(const std::string& path, std::deque<std::string>& elements, bool front) {
    std::vector<std::string> split;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (end > start && path.compare(start, end - start, ".") != 0) split.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    if (front)
        elements.insert(elements.begin(), split.begin(), split.end());
    else
        elements.insert(elements.end(), split.begin(), split.end());
}

bool trustedOwner(uid_t owner) { return owner == 0 || owner == ::geteuid(); }

}  // namespace

CallError openTrustedDirectory(const std::string& nativePath, Descriptor& out) {
    const bool absolute = !nativePath.empty() && nativePath[0] == '/';
    Descriptor at(sys::open(absolute ? "/" : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!at.valid()) return failedCall("open");
    std::deque<std::string> elements;
    pushElements(nativePath, elements, false);
    int links = 0;
    while (!elements.empty()) {
        const std::string element = elements.front();
        Descriptor next(sys::openat(at.get(), element.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (next.valid()) {
            elements.pop_front();
            at = std::move(next);
            continue;
        }
        // A link where a directory was meant (ELOOP), or an element that is not a directory.
        const CallError opening = failedCall("openat");
        if (opening.error != ELOOP && opening.error != ENOTDIR) return opening;
        struct stat link;
        if (sys::fstatat(at.get(), element.c_str(), &link, AT_SYMLINK_NOFOLLOW) != 0) return failedCall("fstatat");
        if (!S_ISLNK(link.st_mode)) return {ENOTDIR, "openat"};
        struct stat holder;
        if (sys::fstat(at.get(), &holder) != 0) return failedCall("fstat");
        if (!trustedOwner(link.st_uid) || !trustedOwner(holder.st_uid)) return {static_cast<int>(UntrustedLink), ""};
        if (++links > linkLimit) return {ELOOP, "openat"};
        std::string target(4096, '\0');
        const ssize_t n = sys::readlinkat(at.get(), element.c_str(), target.data(), target.size());
        if (n < 0) return failedCall("readlinkat");
        target.resize(static_cast<size_t>(n));
        elements.pop_front();
        // The link's own text takes its place; a path from the root starts there again.
        if (!target.empty() && target[0] == '/') {
            at.reset(sys::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (!at.valid()) return failedCall("open");
        }
        pushElements(target, elements, true);
    }
    out = std::move(at);
    return {};
}

}  // namespace os::detail
