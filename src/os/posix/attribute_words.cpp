// How an entry's mode bits read as a Windows attribute word. The choices are written down
// for script authors in docs/posix-emulation.md. Only POSIX code belongs here.
#include "os/posix/attribute_words.h"

#include <sys/stat.h>

#include "os/files.h"

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

uint32_t entryAttributes(const std::string& nativePath, std::string_view name) {
    struct stat own;
    if (::lstat(nativePath.c_str(), &own) != 0) return InvalidAttributes;
    if (!S_ISLNK(own.st_mode)) return fromMode(own.st_mode, name);

    // A link reads as a reparse point, so that a walk can see it and refuse to descend. It
    // takes the directory bit from what it leads to, as a directory link on Windows carries
    // it; a link whose target is gone still exists and reads as a file link. A link has no
    // write protection of its own: removing it needs only the directory's permission.
    struct stat target;
    const bool toDirectory = ::stat(nativePath.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
    uint32_t word = AttributeReparsePoint | (toDirectory ? AttributeDirectory : AttributeArchive);
    if (hiddenName(name)) word |= AttributeHidden;
    return word;
}

}  // namespace os::detail
