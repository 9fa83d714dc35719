// Listings and regular-file opens relative to an open directory. Only POSIX code here.
#include "os/posix/listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "os/posix/attribute_words.h"
#include "os/posix/wildcard.h"
#include "text/ascii.h"

namespace os::detail {
namespace {

// The order an NTFS directory lists in: "." and ".." first, then by upper-cased name. A
// fixed order makes a run repeatable: the same script stops at the same file every time.
bool listedBefore(const FoundEntry& x, const FoundEntry& y) {
    const std::string& a = x.name;
    const std::string& b = y.name;
    const auto rank = [](const std::string& n) { return n == "." ? 0 : n == ".." ? 1 : 2; };
    if (rank(a) != rank(b)) return rank(a) < rank(b);
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        const auto ua = static_cast<unsigned char>(ascii::upper(a[i]));
        const auto ub = static_cast<unsigned char>(ascii::upper(b[i]));
        if (ua != ub) return ua < ub;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;  // names that differ only in case, which this system allows
}

struct DirCloser {
    void operator()(DIR* d) const { (void)::closedir(d); }  // only read: its closing changes nothing it gave
};

}  // namespace

CallError listMatching(int dirfd, const std::string& pattern, bool withDots, std::vector<FoundEntry>& out) {
    out.clear();
    // The listing reads through its own descriptor, so that the directory's stays at hand
    // for the looks below; it is read whole and closed at once, which keeps a deep walk to
    // one descriptor per level.
    Descriptor listed(sys::openat(dirfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!listed.valid()) return failedCall("openat");
    std::unique_ptr<DIR, DirCloser> dir(sys::fdopendir(listed.get()));
    if (!dir) return failedCall("fdopendir");
    listed.release();  // the stream owns it now
    Wildcard wildcard(pattern);
    errno = 0;
    while (const dirent* e = sys::readdir(dir.get())) {
        const std::string_view name(e->d_name);
        if (!withDots && (name == "." || name == "..")) continue;
        if (wildcard.matches(name)) out.push_back({std::string(name), 0, 0});
        errno = 0;
    }
    if (errno != 0) return failedCall("readdir");
    dir.reset();

    size_t kept = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        FoundEntry& entry = out[i];
        const CallError error = lookAt(dirfd, entry.name.c_str(), entry.name, false, entry);
        // Removed since the listing (the walker deletes as it goes): passed over, as Windows
        // never lists it. Any other failure would leave a hole in the walk.
        if (error.error == ENOENT) continue;
        if (error) return error;
        if (kept != i) out[kept] = std::move(entry);
        ++kept;
    }
    out.resize(kept);
    std::sort(out.begin(), out.end(), listedBefore);
    return {};
}

CallError openRegularFile(int dirfd, const char* name, bool noFollow, Descriptor& out, struct stat* info) {
    // Without O_NONBLOCK, opening a pipe that nobody writes to waits for ever.
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (noFollow ? O_NOFOLLOW : 0);
    Descriptor fd(sys::openat(dirfd, name, flags));
    if (!fd.valid()) return failedCall("openat");
    struct stat own;
    if (!info) info = &own;
    if (sys::fstat(fd.get(), info) != 0) return failedCall("fstat");
    if (S_ISDIR(info->st_mode)) return {EISDIR, ""};
    if (!S_ISREG(info->st_mode)) return {static_cast<int>(NotAFileOrDirectory), ""};
    // A regular file never blocks, but reads are plainer without the flag. Of the status
    // flags it was opened with, the flag is the only one the call can change, so none is read
    // first.
    if (sys::fcntl(fd.get(), F_SETFL, 0) != 0) return failedCall("fcntl");
    out = std::move(fd);
    return {};
}

}  // namespace os::detail
