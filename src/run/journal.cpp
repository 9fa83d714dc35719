// The journal: its place, its records and their checks, and undoing them. Every step goes
// through held directories (os/files.h), as the file commands' own steps do, and every step
// that fails is told, never passed over.
#include "run/journal.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <set>
#include <unordered_set>

#include "os/rights.h"
#include "os/script_source.h"
#include "os/shell.h"
#include "os/system.h"
#include "run/held_retry.h"
#include "text/crc32.h"
#include "text/script_path.h"

namespace {

// The user's own local application data (CSIDL_LOCAL_APPDATA): no other user writes there.
constexpr int localApplicationData = 0x1C;
constexpr const char* header = "updater journal 2";
// The first entry set aside under a name keeps that name in the backup folder; a later one
// under the same name (a file the run made itself) goes, numbered, into a folder inside it that
// bears the backup folder's own name, which no entry of the user's has. What lies in the backup
// folder under its own name says by itself where it belongs, so the record of its move need not
// reach the disk before the move does: recovery restores what a power cut left there
// unrecorded. The folder's own record, and an interim one (undone in its place among the
// others), are flushed first.

// The kinds of record. A change's record is undone; the others say what to remove at the end.
namespace kind {
constexpr const char* temporary = "temporary";
constexpr const char* notMade = "not-made";
constexpr const char* made = "made";
constexpr const char* aside = "aside";
constexpr const char* moved = "moved";
constexpr const char* attributes = "attributes";
constexpr const char* backupFolder = "backup-folder";
// The run reached its end: nothing of it is undone any more, only its leftovers removed.
constexpr const char* committed = "committed";
}  // namespace kind

std::string escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '%': out += "%25"; break;
            case '\t': out += "%09"; break;
            case '\n': out += "%0A"; break;
            case '\r': out += "%0D"; break;
            default: out += c;
        }
    }
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The text a record field stands for; none when it holds an escape that escaped() never makes.
std::optional<std::string> unescaped(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const int high = i + 1 < text.size() ? hexDigit(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? hexDigit(text[i + 2]) : -1;
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::optional<uint64_t> hexNumber(const std::string& text) {
    if (text.empty() || text.size() > 16) return std::nullopt;
    uint64_t value = 0;
    for (const char c : text) {
        const int digit = hexDigit(c);
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<uint64_t>(digit);
    }
    return value;
}

std::string identityText(const os::FileIdentity& identity) {
    char text[64];
    std::snprintf(text, sizeof text, "%llx:%llx:%llx", static_cast<unsigned long long>(identity.volume),
                  static_cast<unsigned long long>(identity.index), static_cast<unsigned long long>(identity.birth));
    return text;
}

std::optional<os::FileIdentity> identityOf(const std::string& text) {
    const size_t first = text.find(':');
    const size_t second = first == std::string::npos ? first : text.find(':', first + 1);
    if (second == std::string::npos) return std::nullopt;
    const std::optional<uint64_t> volume = hexNumber(text.substr(0, first));
    const std::optional<uint64_t> index = hexNumber(text.substr(first + 1, second - first - 1));
    const std::optional<uint64_t> birth = hexNumber(text.substr(second + 1));
    if (!volume || !index || !birth) return std::nullopt;
    return os::FileIdentity{*volume, *index, *birth};
}

std::string checkOf(const std::string& body) {
    char text[12];
    std::snprintf(text, sizeof text, "%08x", crc32(body.data(), body.size()));
    return text;
}

// One record as one line: its fields, then the check of everything before it.
std::string lineOf(const Journal::Record& record) {
    const std::string body = record.kind + "\t" + escaped(record.path) + "\t" + escaped(record.other) + "\t" +
                             record.identity;
    return body + "\t" + checkOf(body) + "\n";
}

// A name for the journal of a script: FNV-1a of its path, so that each script has its own.
std::string keyOf(const std::string& scriptPath) {
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : scriptPath) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    char key[24];
    std::snprintf(key, sizeof key, "%016llx", static_cast<unsigned long long>(hash));
    return key;
}

bool isKnownKind(const std::string& kind) {
    for (const char* known : {kind::temporary, kind::notMade, kind::made, kind::aside, kind::moved, kind::attributes,
                              kind::backupFolder, kind::committed})
        if (kind == known) return true;
    return false;
}

struct Parsed {
    std::vector<Journal::Record> records;  // the last run's intact records, in their order
    // What earlier runs left to remove: a journal that had to stay for its leftovers is
    // continued by the next run, after a header of its own; those runs had all ended.
    std::vector<Journal::Record> earlier;
    bool headerIntact = false;  // the last run's header could be read
    bool undoable = false;
    bool committed = false;
    int damaged = 0;
};

// The records of a journal's text. A line that fails its check, or holds what no record
// holds, is counted and never acted on; a last line without its end was cut short by a
// crash before its change could happen, and is left out without a word.
Parsed parse(const std::string& text) {
    Parsed parsed;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string::npos) break;
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        std::vector<std::string> fields;
        for (size_t from = 0;;) {
            const size_t tab = line.find('\t', from);
            fields.push_back(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
            if (tab == std::string::npos) break;
            from = tab + 1;
        }
        const bool intact = fields.size() == 5 &&
                            checkOf(line.substr(0, line.size() - fields[4].size() - 1)) == fields[4];
        std::optional<std::string> path = intact ? unescaped(fields[1]) : std::nullopt;
        std::optional<std::string> other = intact ? unescaped(fields[2]) : std::nullopt;
        const bool isHeader = path && other && fields[0] == header;
        if (!path || !other || (!isHeader && !isKnownKind(fields[0]))) {
            ++parsed.damaged;
            continue;
        }
        Journal::Record record{fields[0], *path, *other, fields[3]};
        if (isHeader) {
            // A run that continues the journal of ended ones: theirs is only what is left.
            for (Journal::Record& left : parsed.records)
                if (left.kind == kind::temporary || left.kind == kind::backupFolder || left.kind == kind::notMade)
                    parsed.earlier.push_back(std::move(left));
            parsed.records.clear();
            parsed.undoable = record.path == "undoable";
            parsed.committed = false;
            parsed.headerIntact = true;
            continue;
        }
        if (record.kind == kind::committed) parsed.committed = true;
        parsed.records.push_back(std::move(record));
    }
    return parsed;
}

// Which records a later "not-made" withdrew: each withdrawal speaks for the latest record of
// a temporary or a backup folder of its name before it.
std::vector<bool> withdrawnRecords(const std::vector<Journal::Record>& records) {
    std::vector<bool> withdrawn(records.size(), false);
    for (size_t i = 0; i < records.size(); ++i) {
        if (records[i].kind != kind::notMade) continue;
        for (size_t j = i; j-- > 0;) {
            const Journal::Record& earlier = records[j];
            if (!withdrawn[j] && earlier.path == records[i].path &&
                (earlier.kind == kind::temporary || earlier.kind == kind::backupFolder)) {
                withdrawn[j] = true;
                break;
            }
        }
    }
    return withdrawn;
}

// What stands under `name` in `in`: found, missing (the system says nothing has that name),
// or a failure, which is never taken for missing.
enum class Presence { Present, Missing, Failed };

Presence lookFor(const os::Directory& in, const std::string& name, os::FoundEntry& entry, os::Result& failure) {
    const os::Result looked = in.look(name, entry);
    if (looked) return Presence::Present;
    if (os::isNotFound(looked.error())) return Presence::Missing;
    failure = looked;
    return Presence::Failed;
}

// A plain removal of an empty directory: one that still holds anything is left, and told.
os::Result removeEmptyDirectory(const os::Directory& in, const std::string& name, uint32_t attributes) {
    std::vector<os::FoundEntry> inside;
    {
        // Held only while it is looked into: Windows removes no directory that is held open.
        os::Directory held;
        if (os::Result opened = in.openChild(name, held); !opened) return opened;
        if (os::Result listed = held.list("*", inside); !listed) return listed;
    }
    if (!inside.empty()) return os::Result::fail(os::Operation::RemoveDirectory, in.pathOf(name), os::NotEmpty);
    if (attributes & os::AttributeReadOnly)
        if (os::Result cleared = retried([&] { return in.setAttributes(name, os::AttributeNormal); }); !cleared)
            return cleared;
    return retried([&] { return in.removeChild(name); });
}

// The steps of undoing a run and of removing what it left. Each works, finds nothing to do,
// or fails and is told; none removes anything the run did not make or set aside itself.
class Undoer {
public:
    explicit Undoer(Journal::Outcome& outcome) : outcome_(outcome) {}

    // Every change of `records` undone, newest first. A backup folder is emptied back into its
    // directory and removed in its place among them, once everything set aside into it after
    // it was made is back.
    void undoAll(const std::vector<Journal::Record>& records) {
        const std::vector<bool> withdrawn = withdrawnRecords(records);
        std::unordered_set<std::string> recorded;
        for (const Journal::Record& record : records)
            if (record.kind == kind::aside) recorded.insert(record.other);
        for (size_t i = records.size(); i-- > 0;) {
            const Journal::Record& record = records[i];
            if (withdrawn[i]) continue;
            // A temporary goes in its place too: before the directory the run made around it.
            if (record.kind == kind::temporary) removeTemporary(record.path);
            if (record.kind == kind::made) undoMade(record);
            if (record.kind == kind::aside) undoAside(record);
            if (record.kind == kind::moved) undoMoved(record);
            if (record.kind == kind::attributes) undoAttributes(record);
            if (record.kind == kind::backupFolder) {
                restoreUnrecorded(record.path, recorded);
                removeBackupFolder(record.path, false);
            }
        }
    }

    // The temporaries of `records` that are still there; after a run's end (`runEnded`) also
    // its backup folders with what they hold: what the run was told to delete or replace.
    // What cannot be removed yet (the old executable of a program still running) is `kept`
    // for the next start and told in the outcome's `left`: the run's work stands all the same.
    void removeLeftovers(const std::vector<Journal::Record>& records, bool runEnded,
                         std::vector<Journal::Record>& kept) {
        // Nothing is renamed any more: each directory is opened once, however many it holds.
        keepParentsOpen_ = true;
        leaving_ = runEnded;
        const std::vector<bool> withdrawn = withdrawnRecords(records);
        for (size_t i = 0; i < records.size(); ++i) {
            const Journal::Record& record = records[i];
            if (withdrawn[i]) continue;
            bool removed = true;
            if (record.kind == kind::temporary) removed = removeTemporary(record.path);
            if (record.kind == kind::backupFolder && runEnded) removed = removeBackupFolder(record.path, true);
            if (removed) continue;
            kept.push_back({record.kind, record.path, "", ""});
            // What stays after a run's end is the old version of a file still in use: the
            // system may remove it at the next restart, where it can.
            if (record.kind == kind::backupFolder) os::removeAtRestart(record.path);
        }
        leaving_ = false;
    }

private:
    void done(std::string line) { outcome_.done.push_back(std::move(line)); }
    // A step that failed: of the undo, or, while what an ended run left is removed, only that.
    void failed(const os::Result& result) {
        (leaving_ ? outcome_.left : outcome_.failures).push_back(result.failure());
    }

    // The directory that holds `path`, opened into `own` (or held from before, while the
    // leftovers are removed). When it is not there, none: with nothing to do, or, where the
    // undo needs it (`needed`), with that told; when it cannot be opened, none with the
    // failure told.
    const os::Directory* openParent(const std::string& path, os::Directory& own, bool needed) {
        const std::string directory = paths::directoryOf(path);
        if (keepParentsOpen_)
            if (const auto held = held_.find(directory); held != held_.end()) return &held->second;
        const os::Result opened = os::Directory::open(directory, own);
        if (!opened) {
            if (needed || !os::isNotFound(opened.error())) failed(opened.about(path));
            return nullptr;
        }
        if (!keepParentsOpen_) return &own;
        return &held_.emplace(directory, std::move(own)).first->second;
    }

    // Where `name` of `in` stands: the entry it is, or false when nothing (told when it could
    // not be looked at).
    bool standing(const os::Directory& in, const std::string& name, os::FoundEntry& entry) {
        os::Result failure;
        const Presence presence = lookFor(in, name, entry, failure);
        if (presence == Presence::Failed) failed(failure);
        return presence == Presence::Present;
    }

    // True when `name` of `in` is still the entry `text` says the run made or moved.
    bool stillTheSameEntry(const os::Directory& in, const std::string& name, const std::string& text) {
        const std::optional<os::FileIdentity> recorded = identityOf(text);
        os::FileIdentity identity;
        const os::Result identified = in.identify(name, identity);
        if (!identified) {
            if (!os::isNotFound(identified.error())) failed(identified);
            return false;
        }
        // Not the volume's number: Linux may number a volume anew at each start of the machine,
        // and the path holds the place anyway.
        if (recorded && identity.index == recorded->index && identity.birth == recorded->birth) return true;
        done("left \"" + in.pathOf(name) + "\": it is not the entry this run made there");
        return false;
    }

    // Removes what the run made: a file or link (read-only or not), or a directory it left
    // empty. Never anything below a directory.
    bool removeMadeEntry(const os::Directory& in, const std::string& name, const os::FoundEntry& entry) {
        os::Result removed;
        if (os::isDirectoryWord(entry.attributes)) {
            removed = removeEmptyDirectory(in, name, entry.attributes);
        } else {
            if ((entry.attributes & os::AttributeReadOnly) && !os::isLinkWord(entry.attributes))
                removed = retried([&] { return in.setAttributes(name, os::AttributeNormal); });
            if (removed) removed = retried([&] { return in.removeFile(name, entry.attributes & ~os::AttributeReadOnly); });
        }
        if (!removed) failed(removed);
        return removed.ok();
    }

    // `name` of `from` back to `toName` of `to`, where nothing may stand: the run's own
    // entries there were undone before, so what stands there is someone else's.
    void putBack(const os::Directory& from, const std::string& name, const os::Directory& to,
                 const std::string& toName) {
        os::FoundEntry there;
        os::Result failure;
        const Presence presence = lookFor(to, toName, there, failure);
        if (presence == Presence::Failed) return failed(failure);
        if (presence == Presence::Present)
            return failed(os::Result::fail(os::Operation::Move, to.pathOf(toName), os::NotMadeByThisRun));
        const os::Result moved = retried([&] { return from.moveTo(name, to, toName, false); });
        if (!moved) return failed(moved.about(to.pathOf(toName), from.pathOf(name)));
        done("restored \"" + to.pathOf(toName) + "\"");
    }

    // What stands at `path`, in the directory it is found through (`own`, or one held from
    // before): none when nothing stands there, or when that cannot be told (`told` then).
    const os::Directory* whatStands(const std::string& path, os::Directory& own, os::FoundEntry& entry, bool& told) {
        const size_t before = failureCount();
        const os::Directory* parent = openParent(path, own, false);
        if (parent && standing(*parent, paths::lastElement(path), entry)) return parent;
        told = failureCount() != before;
        return nullptr;
    }

    // False when it stands and could not be removed (told).
    bool removeTemporary(const std::string& path) {
        os::Directory own;
        os::FoundEntry entry;
        const std::string name = paths::lastElement(path);
        bool told = false;
        const os::Directory* parent = whatStands(path, own, entry, told);
        if (!parent) return !told;
        if (!removeMadeEntry(*parent, name, entry)) return false;
        done("removed \"" + path + "\"");
        return true;
    }

    size_t failureCount() const { return outcome_.failures.size() + outcome_.left.size(); }

    bool removeBackupFolder(const std::string& path, bool withContents) {
        os::Directory own;
        os::FoundEntry entry;
        const std::string name = paths::lastElement(path);
        bool told = false;
        const os::Directory* parent = whatStands(path, own, entry, told);
        if (!parent) return !told;
        os::Result removed;
        if (withContents) {
            removed = os::removeTree(*parent, name);
        } else {
            // What went back out of it is on the disk first: a power cut must not take the
            // folder away while what it held is not yet where it belongs. Then the interim
            // folder inside it, which bears its own name.
            os::Directory backup;
            os::FoundEntry interim;
            removed = parent->sync();
            if (removed) removed = parent->openChild(name, backup);
            if (removed && standing(backup, name, interim)) removed = removeEmptyDirectory(backup, name, interim.attributes);
            backup = os::Directory();
            if (removed) removed = removeEmptyDirectory(*parent, name, entry.attributes);
        }
        if (!removed) {
            failed(removed);
            return false;
        }
        done("removed \"" + path + "\"");
        return true;
    }

    // What lies in the backup folder `folder` under its own name with no record of it: the
    // set-asides whose records a power cut lost, which go back where nothing stands.
    void restoreUnrecorded(const std::string& folder, const std::unordered_set<std::string>& recorded) {
        os::Directory own, backup;
        const os::Directory* parent = openParent(folder, own, false);
        if (!parent) return;
        if (const os::Result opened = os::Directory::open(folder, backup); !opened) {
            if (!os::isNotFound(opened.error())) failed(opened);
            return;
        }
        std::vector<os::FoundEntry> entries;
        if (const os::Result listed = backup.list("*", entries); !listed) return failed(listed);
        for (const os::FoundEntry& entry : entries)
            if (entry.name != paths::lastElement(folder) && !recorded.count(backup.pathOf(entry.name)))
                putBack(backup, entry.name, *parent, entry.name);
    }

    void undoMade(const Journal::Record& record) {
        os::Directory own;
        os::FoundEntry entry;
        const std::string name = paths::lastElement(record.path);
        const os::Directory* parent = openParent(record.path, own, false);
        if (!parent || !standing(*parent, name, entry)) return;
        // Another entry than the one made: the name was never taken, or is someone else's.
        if (!stillTheSameEntry(*parent, name, record.identity)) return;
        if (removeMadeEntry(*parent, name, entry)) done("removed \"" + record.path + "\"");
    }

    void undoAside(const Journal::Record& record) {
        os::Directory ownBackup, ownParent;
        os::FoundEntry entry;
        const std::string name = paths::lastElement(record.other);
        // Not in the backup folder: never set aside, or back already.
        const os::Directory* backup = openParent(record.other, ownBackup, false);
        if (!backup || !standing(*backup, name, entry)) return;
        const os::Directory* parent = openParent(record.path, ownParent, true);
        if (!parent) return;
        // What took its place, where the record names it, goes first: it is the run's.
        const std::string original = paths::lastElement(record.path);
        os::FoundEntry replacement;
        if (!record.identity.empty() && standing(*parent, original, replacement) &&
            stillTheSameEntry(*parent, original, record.identity) && !removeMadeEntry(*parent, original, replacement))
            return;
        putBack(*backup, name, *parent, original);
    }

    void undoMoved(const Journal::Record& record) {
        os::Directory ownTo, ownParent;
        os::FoundEntry entry;
        const std::string name = paths::lastElement(record.other);
        const os::Directory* to = openParent(record.other, ownTo, false);
        if (!to || !standing(*to, name, entry) || !stillTheSameEntry(*to, name, record.identity)) return;
        const os::Directory* parent = openParent(record.path, ownParent, true);
        if (parent) putBack(*to, name, *parent, paths::lastElement(record.path));
    }

    void undoAttributes(const Journal::Record& record) {
        os::Directory own;
        os::FoundEntry entry;
        const std::string name = paths::lastElement(record.path);
        const std::optional<uint64_t> old = hexNumber(record.other);
        const os::Directory* parent = old ? openParent(record.path, own, false) : nullptr;
        // Only on the entry it was changed on: after a replacement is undone, the original
        // stands there, whose word this is not.
        if (!parent || !standing(*parent, name, entry) || !stillTheSameEntry(*parent, name, record.identity)) return;
        if (const os::Result set = retried([&] { return parent->setAttributes(name, static_cast<uint32_t>(*old)); });
            !set)
            return failed(set);
        done("attributes of \"" + record.path + "\" set back to 0x" + record.other);
    }

    Journal::Outcome& outcome_;
    // While what an ended run left is removed: a step that fails is no failure of the undo.
    bool leaving_ = false;
    // While the leftovers are removed: the directories opened so far, by path.
    bool keepParentsOpen_ = false;
    std::unordered_map<std::string, os::Directory> held_;
};

// Every name the records' steps changed (made, set aside, moved, put back, removed), and every
// entry whose attributes they set, on the disk. Before a run's end is marked, and before a
// journal goes, this is what keeps a power cut from leaving part of a run that no start would
// then undo or finish. A directory no longer there was removed, or moved as a whole after
// everything in it was put on the disk (see `moved`).
os::Result putOnDisk(const std::vector<Journal::Record>& records) {
    std::set<std::string> directories;
    std::set<std::string> entries;
    for (const Journal::Record& record : records) {
        if (record.kind == kind::attributes) {
            entries.insert(record.path);
        } else if (record.kind != kind::committed && record.kind != kind::notMade) {
            directories.insert(paths::parentOf(record.path));
            if (record.kind != kind::temporary && record.kind != kind::backupFolder)
                directories.insert(paths::parentOf(record.other));
        }
    }
    for (const std::string& path : directories) {
        os::Directory directory;
        const os::Result opened = os::Directory::open(path, directory);
        if (!opened && os::isNotFound(opened.error())) continue;
        if (!opened) return opened;
        if (os::Result synced = directory.sync(); !synced) return synced;
    }
    for (const std::string& path : entries) {
        os::Directory directory;
        const os::Result opened = os::Directory::open(paths::parentOf(path), directory);
        if (!opened && os::isNotFound(opened.error())) continue;
        if (!opened) return opened;
        const os::Result synced = directory.syncAttributes(paths::lastElement(path));
        if (!synced && !os::isNotFound(synced.error())) return synced;
    }
    return {};
}

// The journal goes once what its runs did and undid is on the disk; where leftovers had to
// stay, a journal naming only them takes its place.
void closeJournal(const std::string& path, std::initializer_list<const std::vector<Journal::Record>*> worked,
                  const std::vector<Journal::Record>& kept, Journal::Outcome& outcome) {
    for (const std::vector<Journal::Record>* records : worked) {
        if (os::Result durable = putOnDisk(*records); !durable) {
            outcome.failures.push_back(durable.failure());
            return;
        }
    }
    os::Directory directory;
    os::Result result = os::Directory::open(paths::directoryOf(path), directory);
    if (result && kept.empty()) {
        result = directory.removeFile(paths::lastElement(path));
    } else if (result) {
        std::string text = lineOf({header, "temporaries", "", ""});
        for (const Journal::Record& record : kept) text += lineOf(record);
        const std::string temporary = os::temporaryName();
        result = directory.writeNewFile(temporary, text);
        if (result) result = directory.syncFile(temporary);
        if (result) result = directory.moveTo(temporary, directory, paths::lastElement(path), true);
        // Only what was just written under a name nobody could know is removed; the failure
        // that counts is the one told below.
        if (!result) (void)directory.removeFile(temporary);  // see above
    }
    if (!result) outcome.failures.push_back(result.failure());
}

// Where a journal with damaged records is kept for a look: beside it, under a name that says
// so and that no later start reads as a journal. Empty, with the failure told, when it
// cannot be moved there.
std::string setAsideDamaged(const std::string& path, Journal::Outcome& outcome) {
    os::Directory directory;
    os::Result result = os::Directory::open(paths::directoryOf(path), directory);
    const std::string name = paths::lastElement(path);
    const std::string stem = paths::withoutExtension(name);
    for (int number = 1; result && number < 1000; ++number) {
        const std::string aside = stem + ".damaged-" + std::to_string(number);
        result = directory.moveTo(name, directory, aside, false);
        if (result) return directory.pathOf(aside);
        if (os::isAlreadyThere(result.error())) result = {};
    }
    if (result) result = os::Result::fail(os::Operation::Move, path, os::TemporaryNamesTaken);
    outcome.failures.push_back(result.failure());
    return {};
}

// The folder of journals, made where it is missing with every folder on its way that is (the
// user's application data itself, on a system that has not made it yet). They are the
// updater's, never part of what a run changes or undoes; one that another start made a moment
// before is as good as made.
os::Result openJournalFolder(const std::string& folder, os::Directory& out) {
    const os::Result opened = os::Directory::open(folder, out);
    if (opened || !os::isNotFound(opened.error())) return opened;
    const std::string parent = paths::directoryOf(folder);
    if (parent == folder || parent.empty() || parent == ".") return opened;
    os::Directory up;
    if (os::Result made = openJournalFolder(parent, up); !made) return made;
    const os::Result made = up.createChild(paths::lastElement(folder));
    if (!made && !os::isAlreadyThere(made.error())) return made;
    if (made)
        if (os::Result synced = up.sync(); !synced) return synced;
    return os::Directory::open(folder, out);
}

bool holdsChanges(const std::vector<Journal::Record>& records) {
    for (const Journal::Record& record : records)
        if (record.kind != kind::temporary && record.kind != kind::notMade && record.kind != kind::backupFolder)
            return true;
    return false;
}

}  // namespace

std::string Journal::pathFor(const std::string& scriptPath) {
    std::string data;
    if (!os::specialFolderPath(localApplicationData, data) || data.empty()) return {};
    // A script on a mapped drive has one journal whichever way it is reached: the copy started
    // with administrator rights reaches it by the share's own name, and must find what the
    // user's run left, and be kept out while that run works.
    return paths::join(paths::join(paths::join(paths::withoutTrailingSeparators(data), "Updater"), "journals"),
                       keyOf(os::pathSeenElevated(scriptPath)) + ".journal");
}

Journal::Recovery Journal::recover(const std::string& scriptPath) {
    Recovery recovery;
    const std::string path = pathFor(scriptPath);
    recovery.journalPath = path;
    if (path.empty()) return recovery;
    os::Directory directory;
    if (const os::Result opened = os::Directory::open(paths::directoryOf(path), directory); !opened) {
        if (!os::isNotFound(opened.error())) recovery.failures.push_back(opened.failure());
        return recovery;
    }
    // Held for as long as it is worked on: a run of the same script that starts meanwhile
    // finds it in use; one that holds it now is running, and is left alone.
    os::AppendFile held;
    if (const os::Result opened = directory.openExclusive(paths::lastElement(path), false, held); !opened) {
        if (opened.error() == os::InUseByAnotherRun)
            recovery.inUse = true;
        else if (!os::isNotFound(opened.error()))
            recovery.failures.push_back(opened.failure());
        return recovery;
    }
    recovery.found = true;
    std::string text;
    if (const os::Result read = held.readAll(text); !read) {
        recovery.failures.push_back(read.failure());
        return recovery;
    }
    const Parsed parsed = parse(text);
    recovery.damagedRecords = parsed.damaged;
    // A run that reached its end is not undone, whatever is left of its leftovers. Only a run
    // that could be undone recorded changes; one whose header is lost is taken for one, so
    // that nothing it set aside is ever removed as an ended run's backups would be.
    const bool undo = !parsed.committed &&
                      (parsed.undoable || !parsed.headerIntact || holdsChanges(parsed.records));
    Undoer undoer(recovery);
    if (undo) undoer.undoAll(parsed.records);
    recovery.undone = undo && recovery.complete() && !recovery.done.empty();
    std::vector<Record> kept;
    undoer.removeLeftovers(parsed.earlier, true, kept);
    if (recovery.complete()) undoer.removeLeftovers(parsed.records, !undo, kept);
    held = os::AppendFile();  // Windows renames and removes no file that is held open
    // A journal with damage is read no more, whatever came of it: kept beside for a look.
    if (parsed.damaged > 0) {
        // What the undo put back on the disk before the journal stops being read: set aside
        // first, a power cut could leave the undo half there and nothing to finish it.
        if (os::Result durable = putOnDisk(parsed.records); !durable) {
            recovery.failures.push_back(durable.failure());
            return recovery;
        }
        recovery.setAsideAs = setAsideDamaged(path, recovery);
        return recovery;
    }
    // Where a step of the undo failed, the journal stays as it is, for the next start.
    if (recovery.complete()) closeJournal(path, {&parsed.earlier, &parsed.records}, kept, recovery);
    return recovery;
}

os::Result Journal::begin(const std::string& scriptPath, bool undoable) {
    path_ = pathFor(scriptPath);
    if (path_.empty()) return os::Result::fail(os::Operation::Create, scriptPath, os::NoJournalFolder);
    os::Directory directory;
    if (os::Result opened = openJournalFolder(paths::directoryOf(path_), directory); !opened) return opened;
    if (os::Result locked = directory.openExclusive(paths::lastElement(path_), true, file_); !locked) return locked;
    // What ended runs left that could not be removed yet stays in the journal, and goes with
    // this run's own leftovers.
    std::string text;
    if (os::Result read = file_.readAll(text); !read) return read;
    Parsed before = parse(text);
    leftovers_ = std::move(before.earlier);
    for (Record& record : before.records)
        if (record.kind == kind::temporary || record.kind == kind::backupFolder || record.kind == kind::notMade)
            leftovers_.push_back(std::move(record));
    undoable_ = undoable;
    const std::string backup = os::temporaryName();
    backupName_ = paths::withoutExtension(backup) + ".bak";
    if (os::Result written = write({header, undoable ? "undoable" : "temporaries", scriptPath, ""}, true); !written)
        return written;
    // The journal's own name on the disk before anything it records happens.
    return directory.sync();
}

os::Result Journal::write(const Record& record, bool durable) {
    if (!file_.isOpen()) return {};
    if (os::Result written = file_.append(lineOf(record)); !written) return written;
    if (record.kind != header) records_.push_back(record);
    if (durable) return sync();
    return {};
}

os::Result Journal::sync() {
#ifndef CRASH_TEST_LEAVE_OUT_JOURNAL_FLUSH  // defined only in a build the crash explorer must catch
    if (file_.isOpen()) return file_.sync();
#endif
    return {};
}

// On the disk before the name is taken, so that no power cut leaves a temporary nobody knows.
os::Result Journal::temporary(const std::string& directory, std::string& name) {
    constexpr int batch = 32;
    std::vector<std::string>& free = temporaries_[directory];
    if (free.empty()) {
        for (int i = 0; i < batch; ++i) {
            free.push_back(os::temporaryName());
            if (os::Result written = write({kind::temporary, paths::join(directory, free.back()), "", ""}, false);
                !written) {
                free.clear();
                return written;
            }
        }
        if (os::Result synced = sync(); !synced) {
            free.clear();
            return synced;
        }
    }
    name = free.back();
    free.pop_back();
    return {};
}

os::Result Journal::notMade(const std::string& path) {
    // Recovery reads the withdrawal from the file; this run forgets the record at once.
    return write({kind::notMade, path, "", ""}, false);
}

os::Result Journal::made(const std::string& path, const std::string& temporary, const os::FileIdentity& identity) {
    if (!undoable_) return {};
    return write({kind::made, path, temporary, identityText(identity)}, true);
}

void Journal::dropLast() {
    if (!records_.empty()) records_.pop_back();
}

os::Result Journal::attributes(const std::string& path, uint32_t old, const os::FileIdentity& identity) {
    char word[16];
    std::snprintf(word, sizeof word, "%08X", old);
    return write({kind::attributes, path, word, identityText(identity)}, true);
}

os::Result Journal::moved(const std::string& from, const std::string& to, const os::FileIdentity& identity) {
    // What the run changed inside what now moves is named by paths that stop being true: it
    // goes on the disk while they still are.
    const bool changedInside = std::any_of(records_.begin(), records_.end(), [&](const Record& record) {
        return paths::isWithin(record.path, from) || paths::isWithin(record.other, from);
    });
    if (changedInside)
        if (os::Result durable = putOnDisk(records_); !durable) return durable;
    return write({kind::moved, from, to, identityText(identity)}, true);
}

os::Result Journal::setAside(const os::Directory& in, const std::string& name, const os::FileIdentity* replacement,
                             bool taken) {
    // One backup folder to a directory, by what the directory is: a script may name it by
    // more than one path. Each path is asked once.
    auto known = directoryKeys_.find(in.path());
    if (known == directoryKeys_.end()) {
        os::FileIdentity directory;
        if (os::Result identified = in.identity(directory); !identified) return identified;
        known = directoryKeys_.emplace(in.path(), identityText(directory)).first;
    }
    const auto [slot, isNew] = backups_.try_emplace(known->second, 0);
    const std::string replacedBy = replacement ? identityText(*replacement) : std::string();
    if (isNew) {
        const std::string folder = in.pathOf(backupName_);
        os::Result made = write({kind::backupFolder, folder, "", ""}, true);
        if (made) {
            made = in.createChild(backupName_);
            // A folder of that name that is not this run's is never taken for one; the
            // failure to make it is the one reported.
            if (!made) (void)notMade(folder);  // see above
            // On the disk before anything goes into it: what a power cut left in a folder
            // whose own name was lost could never go back.
            else made = in.sync();
        }
        if (!made) {
            backups_.erase(slot);
            return made;
        }
    }
    os::Directory backup;
    if (os::Result opened = in.openChild(backupName_, backup); !opened) return opened;
    os::FoundEntry there;
    const os::Result looked = backup.look(name, there);
    if (!looked && !os::isNotFound(looked.error())) return looked;
    if (!looked) {
        // Set aside under its own name, it needs no record on the disk to go back; but the entry
        // that is to take its place must be known before it can.
        if (os::Result recorded =
                write({kind::aside, in.pathOf(name), backup.pathOf(name), replacedBy}, replacement != nullptr || taken);
            !recorded)
            return recorded;
        return putAside(in, name, backup, name, replacement != nullptr || taken);
    }
    if (slot->second == 0) {
        if (os::Result made = backup.createChild(backupName_); !made && !os::isAlreadyThere(made.error())) return made;
        if (os::Result synced = backup.sync(); !synced) return synced;  // as the backup folder's own
    }
    os::Directory interim;
    if (os::Result opened = backup.openChild(backupName_, interim); !opened) return opened;
    const std::string number = std::to_string(++slot->second);
    if (os::Result recorded = write({kind::aside, in.pathOf(name), interim.pathOf(number), replacedBy}, true);
        !recorded)
        return recorded;
    return putAside(in, name, interim, number, replacement != nullptr || taken);
}

// Where another entry is to take the name, the old one is on the disk in its backup folder
// before that can happen: no power cut may leave the name taken and the old entry nowhere.
os::Result Journal::putAside(const os::Directory& in, const std::string& name, const os::Directory& backup,
                             const std::string& as, bool replaced) {
    if (os::Result moved = in.moveTo(name, backup, as, false); !moved) return moved;
    return replaced ? backup.sync() : os::Result();
}

os::Result Journal::commit(Outcome& outcome) {
    if (!file_.isOpen()) return {};
    // Said first: from here on a start that finds this journal only removes what is left, and
    // never undoes a run that reached its end.
    if (undoable_ && holdsChanges(records_)) {
        if (os::Result durable = putOnDisk(records_); !durable) return durable;
        if (os::Result marked = file_.append(lineOf({kind::committed, "", "", ""})); !marked) return marked;
        // Once the mark is in the file it is what a later start reads; but until it is on the
        // disk a power cut could still undo the run, so its backups stay for the next start,
        // which then finds the mark, or undoes the run with them.
        if (os::Result synced = file_.sync(); !synced) {
            outcome.left.push_back(synced.failure());
            file_ = os::AppendFile();
            return {};
        }
    }
    std::vector<Record> kept;
    Undoer undoer(outcome);
    undoer.removeLeftovers(leftovers_, true, kept);
    undoer.removeLeftovers(records_, true, kept);
    file_ = os::AppendFile();  // Windows removes no file that is held open
    closeJournal(path_, {&leftovers_, &records_}, kept, outcome);
    // The run's work stands whatever became of its journal: a journal that could not go is
    // told as what is left for the next start, which finds it and finishes the removal.
    outcome.left.insert(outcome.left.end(), outcome.failures.begin(), outcome.failures.end());
    outcome.failures.clear();
    records_.clear();
    return {};
}

Journal::Outcome Journal::rollBack() {
    Outcome outcome;
    if (!file_.isOpen()) return outcome;
    Undoer undoer(outcome);
    undoer.undoAll(records_);
    // Where a step failed, the journal stays, held until this process ends, for the next start
    // to try the undo again.
    if (!outcome.complete()) return outcome;
    std::vector<Record> kept;
    undoer.removeLeftovers(leftovers_, true, kept);
    undoer.removeLeftovers(records_, false, kept);
    file_ = os::AppendFile();
    closeJournal(path_, {&leftovers_, &records_}, kept, outcome);
    records_.clear();
    return outcome;
}
