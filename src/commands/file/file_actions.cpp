// The changes of the file commands. Portable code only: every call goes through os/files.h.
// In a run that can be undone each change is first recorded in the run's journal, and what
// would be deleted or replaced is set aside instead, to be restored or removed at the end.
#include "commands/file/file_actions.h"

#include <cstdio>

#include "os/system.h"
#include "run/run_context.h"

namespace {

// How often a taken temporary name is passed over before the copy counts as failed: with
// random names a collision means someone is filling the directory on purpose.
constexpr int temporaryNameTries = 16;
// How long a file that another program holds for a moment (a virus scanner, an indexer) is
// waited for before the step counts as failed.
constexpr uint64_t heldFileWait = 5000;

std::string quoted(const std::string& path) { return "\"" + path + "\""; }

std::string bytes(uint64_t size) { return " (" + std::to_string(size) + " bytes)"; }

// Runs `step` again while another program holds what it works on, for about five seconds.
template <class Step>
os::Result retried(Step step) {
    os::Result result = step();
    // Most steps succeed at once: no clock for them.
    if (result || !os::isHeldByAnother(result.error())) return result;
    const uint64_t started = os::steadyMilliseconds();
    for (unsigned pause = 20; !result && os::isHeldByAnother(result.error()) &&
                              os::steadyMilliseconds() - started < heldFileWait;
         pause = pause < 250 ? pause * 2 : pause) {
        os::sleepMilliseconds(pause);
        result = step();
    }
    return result;
}

}  // namespace

FileActions::~FileActions() {
    // The new content of each file was on the disk before it took its name, so a power cut
    // before this leaves the old file or the new one, whole, either way.
    for (const std::string& path : renamedIn_) {
        os::Directory directory;
        if (os::Directory::open(path, directory)) (void)directory.sync();
    }
}

void FileActions::log(const std::string& event) { run_.logEvent("  " + event); }

void FileActions::skipped(const std::string& path, const char* why) {
    if (run_.log.isOpen()) log("skipped " + quoted(path) + ": " + why);
}

std::string FileActions::unseen() const { return run_.journal.backupFolderName(); }

os::Result FileActions::createDirectory(const os::Directory& in, const std::string& name) {
    Journal& journal = run_.journal;
    if (journal.undoable() && !journal.insideCreated(in.pathOf(name)))
        if (os::Result recorded = journal.createdDirectory(in.pathOf(name)); !recorded) return recorded;
    os::Result made = in.createChild(name);
    if (!made) return made;
    madeHere_.insert(in.pathOf(name));
    ++run_.counters.directoriesCreated;
    if (run_.log.isOpen()) log("created directory " + quoted(in.pathOf(name)));
    return made;
}

os::Result FileActions::removeFile(const os::Directory& in, const os::FoundEntry& entry) {
    Journal& journal = run_.journal;
    os::Result removed;
    if (journal.undoable()) {
        if (os::Result removable = in.checkRemovable(entry.name, false, entry.attributes); !removable) return removable;
        removed = retried([&] { return journal.setAside(in, entry.name); });
    } else {
        removed = retried([&] { return in.removeFile(entry.name, entry.attributes); });
    }
    if (!removed) return removed;
    ++run_.counters.filesDeleted;
    if (run_.log.isOpen()) log("deleted " + quoted(in.pathOf(entry.name)) + bytes(entry.size));
    return removed;
}

os::Result FileActions::removeDirectory(const os::Directory& in, const std::string& name) {
    Journal& journal = run_.journal;
    if (journal.undoable()) {
        os::FoundEntry old;
        if (os::Result looked = in.look(name, old); !looked) return looked;
        if (os::Result recorded = journal.removedDirectory(in.pathOf(name), old.attributes); !recorded) return recorded;
    }
    os::Result removed = retried([&] { return in.removeChild(name); });
    if (!removed) return removed;
    ++run_.counters.directoriesRemoved;
    if (run_.log.isOpen()) log("removed directory " + quoted(in.pathOf(name)));
    return removed;
}

os::Result FileActions::setAside(const os::Directory& in, const os::FoundEntry& entry) {
    if (os::Result set = retried([&] { return run_.journal.setAside(in, entry.name); }); !set) return set;
    if (os::isDirectoryWord(entry.attributes)) {
        ++run_.counters.directoriesRemoved;
        if (run_.log.isOpen()) log("deleted directory " + quoted(in.pathOf(entry.name)) + " with all it held");
    } else {
        ++run_.counters.filesDeleted;
        if (run_.log.isOpen()) log("deleted " + quoted(in.pathOf(entry.name)) + bytes(entry.size));
    }
    return {};
}

os::Result FileActions::setAttributes(const os::Directory& in, const std::string& name, uint32_t attributes) {
    Journal& journal = run_.journal;
    if (journal.undoable()) {
        os::FoundEntry old;
        if (os::Result looked = in.look(name, old); !looked) return looked;
        if (os::Result recorded = journal.attributes(in.pathOf(name), old.attributes); !recorded) return recorded;
    }
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

os::Result FileActions::willCreate(const os::Directory& in, const std::string& name) {
    Journal& journal = run_.journal;
    if (!journal.undoable() || journal.insideCreated(in.pathOf(name))) return {};
    return journal.created(in.pathOf(name));
}

os::Result FileActions::prepareToWrite(const os::Directory& in, const std::string& name, const std::string& temporary) {
    Journal& journal = run_.journal;
    if (os::Result recorded = journal.temporary(in.pathOf(temporary)); !recorded) return recorded;
    if (!journal.undoable()) return {};
    os::FoundEntry existing;
    if (!in.look(name, existing)) return willCreate(in, name);
    if (os::Result replaceable = in.checkReplaceable(name, existing.attributes); !replaceable) return replaceable;
    return retried([&] { return journal.setAside(in, name); });
}

os::Result FileActions::replaceWithNew(const os::Directory& in, const std::string& name, const std::string& made) {
    Journal& journal = run_.journal;
    if (journal.undoable()) {
        // The old one is set aside first; the new one then takes a name nobody holds.
        if (os::Result aside = retried([&] { return journal.setAside(in, name); }); !aside) return aside;
    }
    os::Result replaced = journal.undoable() ? in.moveTo(made, in, name, false)
                                             : retried([&] { return in.moveTo(made, in, name, true); });
    if (replaced) renamedIn_.insert(in.path());
    return replaced;
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
    // A new name needs no detour: a copy that fails part-way removes what it wrote. In a
    // directory this command made, every name is new; the creation refuses a taken one anyway.
    const bool fresh = madeHere_.count(to.path()) != 0;
    os::FoundEntry existing;
    const os::Result look = fresh ? os::Result() : to.look(toName, existing);
    if (fresh || (!look && os::isNotFound(look.error()))) {
        if (os::Result recorded = willCreate(to, toName); !recorded) return recorded;
        os::Result made = from.copyTo(source.name, to, toName);
        if (made) copied("created ");
        return made;
    }
    if (!look) return look;
    if (os::Result replaceable = to.checkReplaceable(toName, existing.attributes); !replaceable) return replaceable;

    for (int attempt = 0; attempt < temporaryNameTries; ++attempt) {
        const std::string temporary = os::temporaryName();
        if (os::Result recorded = run_.journal.temporary(to.pathOf(temporary)); !recorded) return recorded;
        // The new content reaches the disk before it takes the old file's name.
        os::Result made = from.copyTo(source.name, to, temporary, true);
        // Someone else's entry under that name stays untouched; another name is tried.
        if (!made && os::isAlreadyThere(made.error())) continue;
        if (!made) return made;
        os::Result replaced = replaceWithNew(to, toName, temporary);
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
    Journal& journal = run_.journal;
    os::Result moved;
    if (journal.undoable()) {
        os::FoundEntry existing;
        if (replace && to.look(toName, existing)) {
            if (os::Result replaceable = to.checkReplaceable(toName, existing.attributes); !replaceable)
                return replaceable;
            if (os::Result aside = retried([&] { return journal.setAside(to, toName); }); !aside) return aside;
        }
        if (os::Result recorded = journal.moved(from.pathOf(source.name), to.pathOf(toName)); !recorded)
            return recorded;
        moved = retried([&] { return from.moveTo(source.name, to, toName, false); });
    } else {
        // A file that takes another's name is on the disk first, as a copy's is.
        if (replace && !os::isDirectoryWord(source.attributes) && !os::isLinkWord(source.attributes))
            (void)from.syncFile(source.name);
        moved = retried([&] { return from.moveTo(source.name, to, toName, replace); });
        if (moved && replace) renamedIn_.insert(to.path());
    }
    if (moved) {
        ++run_.counters.entriesMoved;
        if (run_.log.isOpen()) log("moved " + quoted(from.pathOf(source.name)) + " to " + quoted(to.pathOf(toName)));
        return moved;
    }
    if (!os::isCrossVolume(moved.error())) return moved;
    // Another volume: as MoveFileW does, the copy first, then the original; an original that
    // cannot be removed leaves the copy standing. A directory does not cross.
    if (os::isDirectoryWord(source.attributes)) return moved;
    if (os::Result copied = replace ? copy(from, source, to, toName) : copyNew(from, source, to, toName); !copied)
        return copied;
    if (journal.undoable()) return setAside(from, source);
    if (!os::isLinkWord(source.attributes)) (void)from.setAttributes(source.name, os::AttributeNormal);
    (void)from.removeFile(source.name);
    ++run_.counters.entriesMoved;
    if (run_.log.isOpen())
        log("moved " + quoted(from.pathOf(source.name)) + " to " + quoted(to.pathOf(toName)) + " (copied, then removed)");
    return {};
}

os::Result FileActions::copyNew(const os::Directory& from, const os::FoundEntry& source, const os::Directory& to,
                                const std::string& toName) {
    if (os::Result recorded = willCreate(to, toName); !recorded) return recorded;
    return from.copyTo(source.name, to, toName);
}
