// The journal: its place, its records, and undoing them. Every step goes through held
// directories (os/files.h), as the file commands' own steps do.
#include "run/journal.h"

#include <algorithm>
#include <cstdio>
#include <unordered_set>

#include "os/script_source.h"
#include "os/shell.h"
#include "os/system.h"

namespace {

// The user's own local application data (CSIDL_LOCAL_APPDATA): no other user writes there.
constexpr int localApplicationData = 0x1C;
constexpr const char* header = "updater journal 1";
// The first entry set aside under a name keeps that name in the backup folder; a later one
// under the same name (a file the run made itself) goes, numbered, into a folder inside it that
// bears the backup folder's own name, which no entry of the user's has. What lies in the backup
// folder under its own name says by itself where it belongs, so the record of its move need not
// reach the disk before the move does: recovery restores what a power cut left there
// unrecorded. The folder's own record, and an interim one (undone in its place among the
// others), are flushed first.

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

std::string unescaped(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
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

std::string parentOf(const std::string& path) {
    const size_t separator = path.rfind('\\');
    return separator == std::string::npos ? "." : path.substr(0, separator);
}

std::string nameOf(const std::string& path) {
    const size_t separator = path.rfind('\\');
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

// The directory that holds `path`, held open; false when it is gone.
bool openParent(const std::string& path, os::Directory& parent) {
    return os::Directory::open(parentOf(path), parent).ok();
}

bool exists(const os::Directory& in, const std::string& name) {
    os::FoundEntry entry;
    return in.look(name, entry).ok();
}

// Makes every directory of `path` that is missing.
os::Result ensureDirectory(const std::string& path) {
    os::Directory held;
    if (os::Directory::open(path, held)) return {};
    const std::string parent = parentOf(path);
    if (parent == path || parent.empty()) return os::Directory::open(path, held);
    if (os::Result made = ensureDirectory(parent); !made) return made;
    os::Directory up;
    if (os::Result opened = os::Directory::open(parent, up); !opened) return opened;
    os::Result created = up.createChild(nameOf(path));
    return created || os::isAlreadyThere(created.error()) ? os::Result() : created;
}

std::vector<Journal::Record> parse(const std::string& text, bool& undoable) {
    std::vector<Journal::Record> records;
    undoable = false;
    size_t start = 0;
    bool first = true;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) break;  // a line cut short by a crash was never acted on
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const size_t tab1 = line.find('\t');
        const size_t tab2 = tab1 == std::string::npos ? std::string::npos : line.find('\t', tab1 + 1);
        Journal::Record record{line.substr(0, tab1),
                               tab1 == std::string::npos ? "" : unescaped(line.substr(tab1 + 1, tab2 - tab1 - 1)),
                               tab2 == std::string::npos ? "" : unescaped(line.substr(tab2 + 1))};
        if (first) {
            if (record.kind != header) return {};
            undoable = record.path == "undoable";
            first = false;
            continue;
        }
        records.push_back(std::move(record));
    }
    return records;
}

// Undoes one record, as far as what is there shows that its change happened. Every undo can
// meet its change done, half done or not done, and is right in each case.
std::string undo(const Journal::Record& record) {
    os::Directory parent;
    if (!openParent(record.path, parent)) return {};
    const std::string name = nameOf(record.path);
    if (record.kind == "created" || record.kind == "directory") {
        if (!exists(parent, name)) return {};
        (void)os::removeTree(parent, name);
        return "removed \"" + record.path + "\"";
    }
    if (record.kind == "aside") {
        os::Directory backup;
        if (!openParent(record.other, backup) || !exists(backup, nameOf(record.other))) return {};
        if (exists(parent, name)) (void)os::removeTree(parent, name);
        (void)backup.moveTo(nameOf(record.other), parent, name, false);
        return "restored \"" + record.path + "\"";
    }
    if (record.kind == "moved") {
        os::Directory to;
        if (!openParent(record.other, to) || !exists(to, nameOf(record.other)) || exists(parent, name)) return {};
        (void)to.moveTo(nameOf(record.other), parent, name, false);
        return "moved \"" + record.other + "\" back to \"" + record.path + "\"";
    }
    if (record.kind == "attributes") {
        if (!exists(parent, name)) return {};
        (void)parent.setAttributes(name, static_cast<uint32_t>(std::stoul(record.other, nullptr, 16)));
        return "attributes of \"" + record.path + "\" set back to 0x" + record.other;
    }
    if (record.kind == "removed-directory") {
        if (exists(parent, name)) return {};
        (void)parent.createChild(name);
        (void)parent.setAttributes(name, static_cast<uint32_t>(std::stoul(record.other, nullptr, 16)));
        return "made \"" + record.path + "\" again";
    }
    return {};
}

// Restores what lies in backup folders under its own name with no record of it: the
// set-asides whose records a power cut lost. They came after every record that reached the disk,
// so they are undone before all of those; a folder nearer the root first, as it may hold another.
void restoreUnrecorded(const std::vector<Journal::Record>& records, std::vector<std::string>& done) {
    std::unordered_set<std::string> recorded;
    std::vector<std::string> folders;
    for (const Journal::Record& record : records) {
        if (record.kind == "aside") recorded.insert(record.other);
        if (record.kind == "backup-folder") folders.push_back(record.path);
    }
    std::stable_sort(folders.begin(), folders.end(),
                     [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
    for (const std::string& folder : folders) {
        os::Directory parent;
        os::Directory backup;
        std::vector<os::FoundEntry> entries;
        if (!openParent(folder, parent) || !os::Directory::open(folder, backup) || !backup.list("*", entries))
            continue;
        for (const os::FoundEntry& entry : entries) {
            if (entry.name == nameOf(folder) || recorded.count(backup.pathOf(entry.name))) continue;
            if (exists(parent, entry.name)) (void)os::removeTree(parent, entry.name);
            if (backup.moveTo(entry.name, parent, entry.name, false))
                done.push_back("restored \"" + parent.pathOf(entry.name) + "\"");
        }
    }
}

// Removes what a run leaves for nobody: its temporary files and its backup folders. False when
// a backup folder could not be removed (yet).
bool removeLeftovers(const std::vector<Journal::Record>& records, std::vector<std::string>& kept,
                     std::vector<std::string>* done) {
    // Nothing is renamed any more: each directory is opened once, however many it holds.
    std::unordered_map<std::string, os::Directory> parents;
    for (const Journal::Record& record : records) {
        if (record.kind != "temporary" && record.kind != "backup-folder") continue;
        const auto [slot, isNew] = parents.try_emplace(parentOf(record.path));
        if (isNew) (void)os::Directory::open(slot->first, slot->second);
        const os::Directory& parent = slot->second;
        if (!parent.isOpen() || !exists(parent, nameOf(record.path))) continue;
        if (os::removeTree(parent, nameOf(record.path))) {
            if (done) done->push_back("removed \"" + record.path + "\"");
        } else if (record.kind == "backup-folder") {
            kept.push_back(record.path);
            os::removeAtRestart(record.path);
        }
    }
    return kept.empty();
}

// The journal file itself goes; where backups had to stay, a journal naming only them takes
// its place, for the next run to remove.
void closeJournal(const std::string& path, const std::vector<std::string>& kept) {
    os::Directory directory;
    if (!os::Directory::open(parentOf(path), directory)) return;
    if (kept.empty()) {
        (void)directory.removeFile(nameOf(path));
        return;
    }
    std::string text = std::string(header) + "\ttemporaries\n";
    for (const std::string& folder : kept) text += "backup-folder\t" + escaped(folder) + "\t\n";
    const std::string temporary = os::temporaryName();
    if (directory.writeNewFile(temporary, text) && directory.moveTo(temporary, directory, nameOf(path), true)) return;
    (void)directory.removeFile(temporary);
}

}  // namespace

std::string Journal::pathFor(const std::string& scriptPath) {
    std::string data;
    if (!os::specialFolderPath(localApplicationData, data) || data.empty()) return {};
    while (!data.empty() && data.back() == '\\') data.pop_back();
    return data + "\\Updater\\journals\\" + keyOf(scriptPath) + ".journal";
}

Journal::Recovery Journal::recover(const std::string& scriptPath) {
    Recovery recovery;
    const std::string path = pathFor(scriptPath);
    std::string text;
    if (path.empty() || !os::readWholeFile(path, text)) return recovery;
    recovery.found = true;
    bool undoable = false;
    const std::vector<Record> records = parse(text, undoable);
    if (undoable) {
        restoreUnrecorded(records, recovery.done);
        for (auto it = records.rbegin(); it != records.rend(); ++it) {
            const std::string done = undo(*it);
            if (!done.empty()) recovery.done.push_back(done);
        }
        recovery.undone = !recovery.done.empty();
    }
    std::vector<std::string> kept;
    removeLeftovers(records, kept, &recovery.done);
    closeJournal(path, kept);
    return recovery;
}

os::Result Journal::begin(const std::string& scriptPath, bool undoable) {
    path_ = pathFor(scriptPath);
    if (path_.empty()) return os::Result::fail(os::Operation::Create, scriptPath, os::NoJournalFolder);
    if (os::Result made = ensureDirectory(parentOf(path_)); !made) return made;
    os::Directory directory;
    if (os::Result opened = os::Directory::open(parentOf(path_), directory); !opened) return opened;
    if (os::Result opened = directory.openForAppend(nameOf(path_), file_); !opened) return opened;
    undoable_ = undoable;
    std::string backup = os::temporaryName();
    backupName_ = backup.substr(0, backup.size() - 4) + ".bak";
    return write({header, undoable ? "undoable" : "temporaries", scriptPath}, undoable);
}

os::Result Journal::write(const Record& record, bool durable) {
    if (!file_.isOpen()) return {};
    const std::string line = record.kind + "\t" + escaped(record.path) + "\t" + escaped(record.other) + "\n";
    if (os::Result written = file_.append(line); !written) return written;
    if (record.kind != header) records_.push_back(record);
    if (durable) return file_.sync();
    return {};
}

os::Result Journal::temporary(const std::string& path) { return write({"temporary", path, ""}, false); }

os::Result Journal::created(const std::string& path) { return write({"created", path, ""}, undoable_); }

os::Result Journal::createdDirectory(const std::string& path) {
    if (undoable_) createdDirectories_.push_back(path);
    return write({"directory", path, ""}, undoable_);
}

os::Result Journal::attributes(const std::string& path, uint32_t old) {
    char word[16];
    std::snprintf(word, sizeof word, "%08X", old);
    return write({"attributes", path, word}, undoable_);
}

os::Result Journal::moved(const std::string& from, const std::string& to) {
    return write({"moved", from, to}, undoable_);
}

os::Result Journal::removedDirectory(const std::string& path, uint32_t old) {
    char word[16];
    std::snprintf(word, sizeof word, "%08X", old);
    return write({"removed-directory", path, word}, undoable_);
}

os::Result Journal::setAside(const os::Directory& in, const std::string& name) {
    const auto [slot, isNew] = backups_.try_emplace(in.path(), 0);
    if (isNew) {
        os::Result made = write({"backup-folder", in.pathOf(backupName_), ""}, true);
        if (made) made = in.createChild(backupName_);
        if (!made) {
            backups_.erase(slot);
            return made;
        }
    }
    os::Directory backup;
    if (os::Result opened = in.openChild(backupName_, backup); !opened) return opened;
    if (!exists(backup, name)) {
        if (os::Result recorded = write({"aside", in.pathOf(name), backup.pathOf(name)}, false); !recorded)
            return recorded;
        return in.moveTo(name, backup, name, false);
    }
    if (slot->second == 0)
        if (os::Result made = backup.createChild(backupName_); !made && !os::isAlreadyThere(made.error())) return made;
    os::Directory interim;
    if (os::Result opened = backup.openChild(backupName_, interim); !opened) return opened;
    const std::string number = std::to_string(++slot->second);
    if (os::Result recorded = write({"aside", in.pathOf(name), interim.pathOf(number)}, true); !recorded)
        return recorded;
    return in.moveTo(name, interim, number, false);
}

bool Journal::insideCreated(const std::string& path) const {
    for (const std::string& directory : createdDirectories_)
        if (path.size() > directory.size() && path.compare(0, directory.size(), directory) == 0 &&
            path[directory.size()] == '\\')
            return true;
    return false;
}

void Journal::commit() {
    if (!file_.isOpen()) return;
    file_ = os::AppendFile();
    std::vector<std::string> kept;
    removeLeftovers(records_, kept, nullptr);
    closeJournal(path_, kept);
    records_.clear();
}

std::vector<std::string> Journal::rollBack() {
    std::vector<std::string> done;
    if (!file_.isOpen()) return done;
    for (auto it = records_.rbegin(); it != records_.rend(); ++it) {
        const std::string line = undo(*it);
        if (!line.empty()) done.push_back(line);
    }
    commit();
    return done;
}
