// The changes of the file commands. Portable code only: every call goes through os/files.h.
// In a run that can be undone each change is first recorded in the run's journal, and what
// would be deleted or replaced is set aside instead, to be restored or removed at the end.
#include "commands/file/file_actions.h"

#include <cstdio>
#include <vector>

#include "os/system.h"
#include "text/script_path.h"
#include "run/held_retry.h"
#include "run/run_context.h"

namespace {

// How often a taken temporary name is passed over before the step counts as failed: with
// random names a collision means someone is filling the directory on purpose.
constexpr int temporaryNameTries = 16;

std::string quoted(const std::string& path) { return "\"" + path + "\""; }

std::string bytes(uint64_t size) { return " (" + std::to_string(size) + " bytes)"; }

// A failure that names a place of the updater's own (a temporary name, a backup folder, or
// what lies inside one) told about `path`, the one the user knows; any other stays as it is.
os::Result toldAbout(const os::Result& result, const std::string& own, const std::string& path) {
    // A place not named yet (no backup folder made) stands for nothing.
    if (result || paths::lastElement(own).empty() || !paths::isWithin(result.failure().path, own)) return result;
    return result.about(path);
}

// A failure of a step with two paths, with the one it does not name as its second.
os::Result withBothPaths(const os::Result& result, const std::string& first, const std::string& second) {
    if (result) return result;
    const std::string& path = result.failure().path;
    return result.about(path, path == first ? second : first);
}

}  // namespace

FileActions::~FileActions() {
    // The new content of each file was on the disk before it took its name, so a power cut
    // before this leaves the old file or the new one, whole, either way; after it the
    // command's changes stay. A directory that cannot be put on the disk now changes nothing
    // of the first.
    for (const std::string& path : changedIn_) {
        os::Directory directory;
        if (os::Directory::open(path, directory)) (void)directory.sync();  // see above
    }
}

void FileActions::log(const std::string& event) { run_.logEvent("  " + event); }

void FileActions::changed(const os::Directory& in) {
    if (!run_.journal.undoable()) changedIn_.insert(in.path());
}

void FileActions::progressed(const os::Directory& in, const std::string& name, uint64_t bytes) {
    if (run_.progress.fileCounted(bytes)) run_.progress.draw(in.pathOf(name));
}

os::Directory::CopyProgress FileActions::partsOf(const std::string& item) {
    if (!run_.progress.started()) return nullptr;
    // noexcept: were a drawing ever to throw here, the copy would stop half-written.
    return [this, &item](uint64_t bytes) noexcept { run_.progress.partDone(item, bytes); };
}

void FileActions::skipped(const std::string& path, const char* why) {
    if (run_.log.isOpen()) log("skipped " + quoted(path) + ": " + why);
}

std::string FileActions::unseen() const { return run_.journal.backupFolderName(); }

void FileActions::discard(const os::Directory& in, const std::string& temporary) {
    os::FoundEntry entry;
    if (!in.look(temporary, entry)) return;
    // What stays because this fails is removed at the run's end, by its record as a temporary.
    if (os::isDirectoryWord(entry.attributes)) {
        (void)in.removeChild(temporary);  // see above
        return;
    }
    // The copy is ours, and may be read-only as its source was.
    if (entry.attributes & os::AttributeReadOnly) (void)in.setAttributes(temporary, os::AttributeNormal);  // see above
    (void)in.removeFile(temporary);  // see above
}

os::Result FileActions::place(const os::Directory& in, const std::string& name, const std::string& temporary,
                              bool replacing) {
    Journal& journal = run_.journal;
    if (!journal.undoable()) {
        if (!replacing) return in.moveTo(temporary, in, name, false);
        return retried([&] { return in.moveTo(temporary, in, name, true); });
    }
    // The new one takes a name nobody holds, recorded as the entry it is, so that an undo
    // removes it and nothing that comes to stand there: where it replaces another, by the
    // record that sets the old one aside first.
    os::FileIdentity identity;
    if (os::Result identified = in.identify(temporary, identity); !identified) return identified;
    if (replacing) {
        if (os::Result aside = retried([&] { return journal.setAside(in, name, &identity); }); !aside) return aside;
    } else if (os::Result recorded = journal.made(in.pathOf(name), in.pathOf(temporary), identity); !recorded) {
        return recorded;
    }
    os::Result placed = in.moveTo(temporary, in, name, false);
    if (!placed && !replacing) journal.dropLast();
    return placed;
}

os::Result FileActions::makeInPlace(const os::Directory& in, const std::string& name, bool replacing, bool beside,
                                    const Maker& make) {
    Journal& journal = run_.journal;
    const std::string target = in.pathOf(name);
    // A new name in a run that is not undone needs no detour: a make that fails part-way
    // removes what it made, and the creation refuses a taken name.
    if (!replacing && !beside && !journal.undoable()) {
        os::Result made = make(name);
        if (made) changed(in);
        return made;
    }
    for (int attempt = 0; attempt < temporaryNameTries; ++attempt) {
        std::string temporary;
        if (os::Result recorded = journal.temporary(in.path(), temporary); !recorded) return recorded;
        os::Result made = make(temporary);
        if (!made && os::isAlreadyThere(made.error())) {
            // Someone else's entry under that name stays untouched; another name is tried.
            if (os::Result withdrawn = journal.notMade(in.pathOf(temporary)); !withdrawn) return withdrawn;
            continue;
        }
        if (!made) return toldAbout(made, in.pathOf(temporary), target);
        os::Result placed = place(in, name, temporary, replacing);
        if (!placed) discard(in, temporary);
        if (placed) changed(in);
        return toldAbout(toldAbout(placed, in.pathOf(temporary), target), in.pathOf(unseen()), target);
    }
    return os::Result::fail(os::Operation::Create, target, os::TemporaryNamesTaken);
}

os::Result FileActions::findReplaceable(const os::Directory& in, const std::string& name, bool& replacing) {
    replacing = false;
    // In a directory this command made, every name is new.
    if (madeHere_.count(in.path())) return {};
    os::FoundEntry existing;
    const os::Result look = in.look(name, existing);
    if (!look) return os::isNotFound(look.error()) ? os::Result() : look;
    replacing = true;
    return in.checkReplaceable(name, existing.attributes);
}

os::Result FileActions::createDirectory(const os::Directory& in, const std::string& name) {
    run_.stopIfCancelled();
    os::Result made = makeInPlace(in, name, false, false, [&](const std::string& as) { return in.createChild(as); });
    if (!made) return made;
    // What an undoable run puts inside is recorded by the path the folder has now: that name
    // reaches the disk first, or a power cut could leave what is inside where no undo looks.
    if (run_.journal.undoable())
        if (os::Result synced = in.sync(); !synced) return synced;
    madeHere_.insert(in.pathOf(name));
    ++run_.counters.directoriesCreated;
    if (run_.log.isOpen()) log("created directory " + quoted(in.pathOf(name)));
    return made;
}

os::Result FileActions::removeFile(const os::Directory& in, const os::FoundEntry& entry) {
    run_.stopIfCancelled();
    Journal& journal = run_.journal;
    os::Result removed;
    if (journal.undoable()) {
        if (os::Result removable = in.checkRemovable(entry.name, false, entry.attributes); !removable) return removable;
        removed = retried([&] { return journal.setAside(in, entry.name); });
    } else {
        removed = retried([&] { return in.removeFile(entry.name, entry.attributes); });
        if (removed) changed(in);
    }
    if (!removed) return toldAbout(removed, in.pathOf(unseen()), in.pathOf(entry.name));
    ++run_.counters.filesDeleted;
    if (run_.log.isOpen()) log("deleted " + quoted(in.pathOf(entry.name)) + bytes(entry.size));
    progressed(in, entry.name, entry.size);
    return removed;
}

os::Result FileActions::removeDirectory(const os::Directory& in, const std::string& name) {
    Journal& journal = run_.journal;
    os::Result removed;
    if (journal.undoable()) {
        // Emptied of what the command took out of it, it may still hold the backup folder of
        // what was set aside from it: then it goes aside itself, that folder with it, and
        // comes back whole with an undo. Anything else in it makes it fail, as a removal would.
        os::Directory held;
        std::vector<os::FoundEntry> inside;
        if (os::Result opened = in.openChild(name, held); !opened) return opened;
        if (os::Result listed = held.list("*", inside); !listed) return listed;
        held = os::Directory();
        for (const os::FoundEntry& entry : inside)
            if (entry.name != unseen()) return os::Result::fail(os::Operation::RemoveDirectory, in.pathOf(name), os::NotEmpty);
        if (os::Result removable = in.checkRemovable(name, true); !removable) return removable;
        removed = retried([&] { return journal.setAside(in, name); });
    } else {
        removed = retried([&] { return in.removeChild(name); });
        if (removed) changed(in);
    }
    if (!removed) return toldAbout(removed, in.pathOf(unseen()), in.pathOf(name));
    ++run_.counters.directoriesRemoved;
    if (run_.log.isOpen()) log("removed directory " + quoted(in.pathOf(name)));
    return removed;
}

os::Result FileActions::setAside(const os::Directory& in, const os::FoundEntry& entry) {
    run_.stopIfCancelled();
    if (os::Result set = retried([&] { return run_.journal.setAside(in, entry.name); }); !set)
        return toldAbout(set, in.pathOf(unseen()), in.pathOf(entry.name));
    if (os::isDirectoryWord(entry.attributes)) {
        ++run_.counters.directoriesRemoved;
        if (run_.log.isOpen()) log("deleted directory " + quoted(in.pathOf(entry.name)) + " with all it held");
    } else {
        ++run_.counters.filesDeleted;
        if (run_.log.isOpen()) log("deleted " + quoted(in.pathOf(entry.name)) + bytes(entry.size));
    }
    progressed(in, entry.name, os::isDirectoryWord(entry.attributes) ? 0 : entry.size);
    return {};
}

os::Result FileActions::setAttributes(const os::Directory& in, const std::string& name, uint32_t attributes) {
    Journal& journal = run_.journal;
    if (journal.undoable()) {
        os::FoundEntry old;
        os::FileIdentity identity;
        if (os::Result looked = in.look(name, old); !looked) return looked;
        if (os::Result identified = in.identify(name, identity); !identified) return identified;
        if (os::Result recorded = journal.attributes(in.pathOf(name), old.attributes, identity); !recorded)
            return recorded;
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

os::Result FileActions::writeFile(const os::Directory& in, const std::string& name,
                                  const std::function<os::Result(const std::string& name)>& write) {
    bool replacing = false;
    if (os::Result found = findReplaceable(in, name, replacing); !found) return found;
    // A file the system writes itself is always written beside its place first, and on the
    // disk before it takes the name: a link someone planted there is replaced, never written
    // through.
    return makeInPlace(in, name, replacing, true, [&](const std::string& as) {
        os::Result written = write(as);
        // A name someone else took is theirs: only what this write began is removed.
        if (!written && os::isAlreadyThere(written.error())) return written;
        if (written) written = in.syncFile(as);
        if (!written) discard(in, as);
        return written;
    });
}

os::Result FileActions::copy(const os::Directory& from, const os::FoundEntry& source, const os::Directory& to,
                             const std::string& toName, bool* created) {
    run_.stopIfCancelled();
    return copyFile(from, source, to, toName, created);
}

os::Result FileActions::copyFile(const os::Directory& from, const os::FoundEntry& source, const os::Directory& to,
                                 const std::string& toName, bool* created) {
    bool replacing = false;
    if (os::Result found = findReplaceable(to, toName, replacing); !found)
        return withBothPaths(found, to.pathOf(toName), from.pathOf(source.name));
    // The new content reaches the disk before it takes its name: a replacement's before the
    // old file's is gone, every copy's before the run can say it is done.
    const std::string item = run_.progress.started() ? to.pathOf(toName) : std::string();
    const os::Result copied = makeInPlace(to, toName, replacing, false, [&](const std::string& as) {
        return from.copyTo(source.name, to, as, true, partsOf(item));
    });
    if (!copied) return withBothPaths(copied, to.pathOf(toName), from.pathOf(source.name));
    if (created) *created = !replacing;
    ++run_.counters.filesCopied;
    run_.counters.bytesCopied += source.size;
    if (run_.log.isOpen())
        log(std::string(replacing ? "replaced " : "created ") + quoted(to.pathOf(toName)) + " from " +
            quoted(from.pathOf(source.name)) + bytes(source.size));
    progressed(to, toName, source.size);
    return {};
}

os::Result FileActions::produce(const os::Directory& from, const os::FoundEntry& source, const os::Directory& to,
                                const std::string& toName, const os::Directory::Producer& produce) {
    run_.stopIfCancelled();
    bool replacing = false;
    if (os::Result found = findReplaceable(to, toName, replacing); !found) return found;
    // Made beside its place and on the disk before it takes the name, as a copy is: a failure
    // at any point leaves the file that was there as it was.
    const os::Result made = makeInPlace(to, toName, replacing, false, [&](const std::string& as) {
        return from.produceTo(source.name, to, as, true, produce);
    });
    if (!made) return made;
    ++run_.counters.filesPatched;
    if (run_.log.isOpen())
        log(std::string(replacing ? "patched " : "created ") + quoted(to.pathOf(toName)) + " from " +
            quoted(from.pathOf(source.name)) + bytes(source.size));
    progressed(to, toName, source.size);
    return {};
}

os::Result FileActions::removeAfterCopy(const os::Directory& from, const os::FoundEntry& source) {
    if (run_.journal.undoable()) {
        const os::Result set = retried([&] { return run_.journal.setAside(from, source.name); });
        return toldAbout(set, from.pathOf(unseen()), from.pathOf(source.name));
    }
    // As MoveFileW does, a read-only original is removed all the same; where the removal then
    // fails, it gets its word back.
    const bool readOnly = (source.attributes & os::AttributeReadOnly) && !os::isLinkWord(source.attributes);
    if (readOnly)
        if (os::Result cleared = from.setAttributes(source.name, os::AttributeNormal); !cleared) return cleared;
    os::Result removed = retried([&] { return from.removeFile(source.name); });
    if (!removed && readOnly) (void)from.setAttributes(source.name, source.attributes);  // the removal's failure is told
    return removed;
}

os::Result FileActions::move(const os::Directory& from, const os::FoundEntry& source, const os::Directory& to,
                             const std::string& toName, bool replace) {
    run_.stopIfCancelled();
    Journal& journal = run_.journal;
    const std::string origin = from.pathOf(source.name);
    const std::string target = to.pathOf(toName);
    os::Result moved;
    if (journal.undoable()) {
        bool replacing = false;
        if (replace)
            if (os::Result found = findReplaceable(to, toName, replacing); !found) return withBothPaths(found, target, origin);
        if (replacing)
            if (os::Result aside = retried([&] { return journal.setAside(to, toName, nullptr, true); }); !aside)
                return withBothPaths(toldAbout(aside, to.pathOf(unseen()), target), target, origin);
        os::FileIdentity identity;
        if (os::Result identified = from.identify(source.name, identity); !identified) return identified;
        if (os::Result recorded = journal.moved(origin, target, identity); !recorded) return recorded;
        moved = retried([&] { return from.moveTo(source.name, to, toName, false); });
        if (!moved) journal.dropLast();
    } else {
        // A file that takes another's name is on the disk first, as a copy's is. A read-only
        // one is not written any more, and Windows lets nobody open it to flush it.
        if (replace && !os::isDirectoryWord(source.attributes) && !os::isLinkWord(source.attributes) &&
            !(source.attributes & os::AttributeReadOnly))
            if (os::Result synced = from.syncFile(source.name); !synced) return withBothPaths(synced, origin, target);
        moved = retried([&] { return from.moveTo(source.name, to, toName, replace); });
        if (moved) {
            changed(from);
            changed(to);
        }
    }
    if (moved) {
        ++run_.counters.entriesMoved;
        if (run_.log.isOpen()) log("moved " + quoted(origin) + " to " + quoted(target));
        progressed(to, toName, os::isDirectoryWord(source.attributes) ? 0 : source.size);
        return moved;
    }
    if (!os::isCrossVolume(moved.error())) return withBothPaths(moved, target, origin);
    // Another volume: the copy first, then the original. A directory does not cross.
    if (os::isDirectoryWord(source.attributes)) return moved;
    bool created = false;
    const std::string item = run_.progress.started() ? target : std::string();
    const os::Result copied = replace ? copyFile(from, source, to, toName, &created)
                                      : makeInPlace(to, toName, false, false, [&](const std::string& as) {
                                            return from.copyTo(source.name, to, as, true, partsOf(item));
                                        });
    if (!copied) return withBothPaths(copied, target, origin);
    if (!replace) created = true;
    // The copy's name on the disk before the original goes: a power cut then leaves the file
    // in one place or in both, never in none.
    if (os::Result synced = to.sync(); !synced) {
        if (created && !journal.undoable()) discard(to, toName);
        return withBothPaths(synced, target, origin);
    }
    if (os::Result removed = removeAfterCopy(from, source); !removed) {
        // The file must not end up in two places while the move is reported as failed: a copy
        // that took a free name is taken back (an undoable run's undo does it for its own).
        if (created && !journal.undoable()) discard(to, toName);
        return withBothPaths(removed, origin, target);
    }
    ++run_.counters.entriesMoved;
    if (run_.log.isOpen()) log("moved " + quoted(origin) + " to " + quoted(target) + " (copied, then removed)");
    // A replacement was told by its copy.
    if (!replace) progressed(to, toName, source.size);
    return {};
}
