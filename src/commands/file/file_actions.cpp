// The changes of the file commands. Portable code only: every call goes through os/files.h.
#include "commands/file/file_actions.h"

#include <cstdio>

#include "os/system.h"
#include "run/run_context.h"

namespace {

// How often a taken temporary name is passed over before the copy counts as failed: with
// random names a collision means someone is filling the directory on purpose.
constexpr int temporaryNameTries = 16;

std::string quoted(const std::string& path) { return "\"" + path + "\""; }

std::string bytes(uint64_t size) { return " (" + std::to_string(size) + " bytes)"; }

}  // namespace

void FileActions::log(const std::string& event) { run_.logEvent("  " + event); }

void FileActions::skipped(const std::string& path, const char* why) {
    if (run_.log.isOpen()) log("skipped " + quoted(path) + ": " + why);
}

os::Result FileActions::createDirectory(const os::Directory& in, const std::string& name) {
    os::Result made = in.createChild(name);
    if (!made) return made;
    ++run_.counters.directoriesCreated;
    if (run_.log.isOpen()) log("created directory " + quoted(in.pathOf(name)));
    return made;
}

os::Result FileActions::removeFile(const os::Directory& in, const os::FoundEntry& entry) {
    os::Result removed = in.removeFile(entry.name, entry.attributes);
    if (!removed) return removed;
    ++run_.counters.filesDeleted;
    if (run_.log.isOpen()) log("deleted " + quoted(in.pathOf(entry.name)) + bytes(entry.size));
    return removed;
}

os::Result FileActions::removeDirectory(const os::Directory& in, const std::string& name) {
    os::Result removed = in.removeChild(name);
    if (!removed) return removed;
    ++run_.counters.directoriesRemoved;
    if (run_.log.isOpen()) log("removed directory " + quoted(in.pathOf(name)));
    return removed;
}

os::Result FileActions::setAttributes(const os::Directory& in, const std::string& name, uint32_t attributes) {
    os::Result set = in.setAttributes(name, attributes);
    if (!set) return set;
    ++run_.counters.attributesSet;
    if (run_.log.isOpen()) {
        char word[16];
        std::snprintf(word, sizeof word, "0x%08X", attributes);
        log("attributes of " + quoted(in.pathOf(name)) + " set to " + word);
    }
    return set;
}

os::Result FileActions::copy(const os::Directory& from, const os::FoundEntry& source, const os::Directory& to,
                             const std::string& toName) {
    const auto copied = [&](const char* how) {
        ++run_.counters.filesCopied;
        run_.counters.bytesCopied += source.size;
        if (run_.log.isOpen())
            log(std::string(how) + quoted(to.pathOf(toName)) + " from " + quoted(from.pathOf(source.name)) +
                bytes(source.size));
    };
    // A new name needs no detour: a copy that fails part-way removes what it wrote.
    os::FoundEntry existing;
    const os::Result look = to.look(toName, existing);
    if (!look && os::isNotFound(look.error())) {
        os::Result made = from.copyTo(source.name, to, toName);
        if (made) copied("created ");
        return made;
    }
    if (!look) return look;
    if (os::Result replaceable = to.checkReplaceable(toName); !replaceable) return replaceable;

    for (int attempt = 0; attempt < temporaryNameTries; ++attempt) {
        const std::string temporary = os::temporaryName();
        os::Result made = from.copyTo(source.name, to, temporary);
        // Someone else's entry under that name stays untouched; another name is tried.
        if (!made && os::isAlreadyThere(made.error())) continue;
        if (!made) return made;
        os::Result replaced = to.moveTo(temporary, to, toName, true);
        if (replaced) {
            copied("replaced ");
            return replaced;
        }
        // The copy is ours, and may be read-only as its source was.
        (void)to.setAttributes(temporary, os::AttributeNormal);
        (void)to.removeFile(temporary);
        return replaced;
    }
    return os::Result::fail(os::Operation::Create, to.pathOf(toName), os::TemporaryNamesTaken);
}

os::Result FileActions::move(const os::Directory& from, const os::FoundEntry& source, const os::Directory& to,
                             const std::string& toName, bool replace) {
    os::Result moved = from.moveTo(source.name, to, toName, replace);
    if (moved) {
        ++run_.counters.entriesMoved;
        if (run_.log.isOpen()) log("moved " + quoted(from.pathOf(source.name)) + " to " + quoted(to.pathOf(toName)));
        return moved;
    }
    if (!os::isCrossVolume(moved.error())) return moved;
    // Another volume: as MoveFileW does, the copy first, then the original; an original that
    // cannot be removed leaves the copy standing. A directory does not cross.
    if (os::isDirectoryWord(source.attributes)) return moved;
    if (os::Result copied = replace ? copy(from, source, to, toName) : from.copyTo(source.name, to, toName); !copied)
        return copied;
    if (!os::isLinkWord(source.attributes)) (void)from.setAttributes(source.name, os::AttributeNormal);
    (void)from.removeFile(source.name);
    ++run_.counters.entriesMoved;
    if (run_.log.isOpen())
        log("moved " + quoted(from.pathOf(source.name)) + " to " + quoted(to.pathOf(toName)) + " (copied, then removed)");
    return {};
}
