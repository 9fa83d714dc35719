// How an entry's mode bits read as a Windows attribute word. Only POSIX code belongs here.
#include "os/posix/attribute_words.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace os::detail {
namespace {

// A dot-file is what this system hides from listings by convention; "." and ".." are the
// directory and its parent, and carry no hiding of their own.
bool hiddenName(std::string_view name) { return name.size() > 1 && name[0] == '.' && name != ".."; }

uint32_t fromMode(mode_t mode, std::string_view name) {
    // Every file reads as archived, as a file written on Windows does; "normal" (no bit at
    // all) never appears, so a script comparing words sees what it saw there.
    uint32_t word = S_ISDIR(mode) ? AttributeDirectory : AttributeArchive;
    // The updater runs as the owner of what it updates, so it is the owner's write bit that
    // decides whether a file would refuse to be overwritten.
    if (!(mode & S_IWUSR)) word |= AttributeReadOnly;
    if (hiddenName(name)) word |= AttributeHidden;
    return word;
}

}  // namespace

CallError lookAt(int dirfd, const char* name, std::string_view ownName, bool follow, FoundEntry& out) {
    struct stat own;
    if (sys::fstatat(dirfd, name, &own, follow ? 0 : AT_SYMLINK_NOFOLLOW) != 0) return failedCall("fstatat");
    out.size = S_ISREG(own.st_mode) ? static_cast<uint64_t>(own.st_size) : 0;
    if (!S_ISLNK(own.st_mode)) {
        out.attributes = fromMode(own.st_mode, ownName);
        return {};
    }
    // A link reads as a reparse point, so that a walk can see it and refuse to descend. It
    // takes the directory bit from what it leads to, as a directory link on Windows carries
    // it; a link whose target is gone still exists and reads as a file link. A link has no
    // write protection of its own: removing it needs only the directory's permission.
    // Where the link leads is only a hint for the attribute word: a target that cannot be
    // looked at (gone, or out of reach) makes it a file link, which is never entered either way.
    struct stat target;
    const bool toDirectory = sys::fstatat(dirfd, name, &target, 0) == 0 && S_ISDIR(target.st_mode);
    out.attributes = AttributeReparsePoint | (toDirectory ? AttributeDirectory : AttributeArchive);
    if (hiddenName(ownName)) out.attributes |= AttributeHidden;
    return {};
}

}  // namespace os::detail
