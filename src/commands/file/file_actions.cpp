// The changes of the file commands. Portable code only: every call goes through os/files.h.
#include "commands/file/file_actions.h"

#include "os/system.h"

namespace {

// How often a taken temporary name is passed over before the copy counts as failed: with
// random names a collision means someone is filling the directory on purpose.
constexpr int temporaryNameTries = 16;

}  // namespace

os::Result FileActions::createDirectory(const os::Directory& in, const std::string& name) {
    return in.createChild(name);
}

os::Result FileActions::removeFile(const os::Directory& in, const std::string& name, uint32_t listed) {
    return in.removeFile(name, listed);
}

os::Result FileActions::removeDirectory(const os::Directory& in, const std::string& name) {
    return in.removeChild(name);
}

os::Result FileActions::setAttributes(const os::Directory& in, const std::string& name, uint32_t attributes) {
    return in.setAttributes(name, attributes);
}

os::Result FileActions::copy(const os::Directory& from, const std::string& name, const os::Directory& to,
                             const std::string& toName) {
    // A new name needs no detour: a copy that fails part-way removes what it wrote.
    os::FoundEntry existing;
    const os::Result look = to.look(toName, existing);
    if (!look && os::isNotFound(look.error())) return from.copyTo(name, to, toName);
    if (!look) return look;
    if (os::Result replaceable = to.checkReplaceable(toName); !replaceable) return replaceable;

    for (int attempt = 0; attempt < temporaryNameTries; ++attempt) {
        const std::string temporary = os::temporaryName();
        os::Result copied = from.copyTo(name, to, temporary);
        // Someone else's entry under that name stays untouched; another name is tried.
        if (!copied && os::isAlreadyThere(copied.error())) continue;
        if (!copied) return copied;
        os::Result replaced = to.moveTo(temporary, to, toName, true);
        if (replaced) return replaced;
        // The copy is ours, and may be read-only as its source was.
        (void)to.setAttributes(temporary, os::AttributeNormal);
        (void)to.removeFile(temporary);
        return replaced;
    }
    return os::Result::fail(os::Operation::Create, to.pathOf(toName), os::TemporaryNamesTaken);
}

os::Result FileActions::move(const os::Directory& from, const std::string& name, const os::Directory& to,
                             const std::string& toName, bool replace) {
    os::Result moved = from.moveTo(name, to, toName, replace);
    if (moved || !os::isCrossVolume(moved.error())) return moved;
    // Another volume: as MoveFileW does, the copy first, then the original; an original that
    // cannot be removed leaves the copy standing. A directory does not cross.
    os::FoundEntry entry;
    if (os::Result look = from.look(name, entry); !look) return look;
    if (os::isDirectoryWord(entry.attributes)) return moved;
    if (os::Result copied = replace ? copy(from, name, to, toName) : from.copyTo(name, to, toName); !copied)
        return copied;
    if (!os::isLinkWord(entry.attributes)) (void)from.setAttributes(name, os::AttributeNormal);
    (void)from.removeFile(name);
    return {};
}
