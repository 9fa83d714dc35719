// The journal: its place, its records, and undoing them. Every step goes through held
// directories (os/files.h), as the file commands' own steps do.
#include "run/journal.h"

#include <cstdio>

#include "os/script_source.h"
#include "os/shell.h"
#include "os/system.h"

namespace {

// The user's own local application data (CSIDL_LOCAL_APPDATA): no other user writes there.
constexpr int localApplicationData = 0x1C;
constexpr const char* header = "updater journal 1";

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

// Removes what a run leaves for nobody: its temporary files and its backup folders. False when
// a backup folder could not be removed (yet).
bool removeLeftovers(const std::vector<Journal::Record>& records, std::vector<std::string>& kept,
                     std::vector<std::string>* done) {
    for (const Journal::Record& record : records) {
        if (record.kind != "temporary" && record.kind != "backup-folder") continue;
        os::Directory parent;
        if (!openParent(record.path, parent) || !exists(parent, nameOf(record.path))) continue;
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
    const std::string folder = in.pathOf(backupName_);
    if (isNew) {
        if (os::Result recorded = write({"backup-folder", folder, ""}, true); !recorded) return recorded;
        if (os::Result made = in.createChild(backupName_); !made) return made;
    }
    const std::string number = std::to_string(++slot->second);
    if (os::Result recorded = write({"aside", in.pathOf(name), folder + "\\" + number}, true); !recorded)
        return recorded;
    os::Directory backup;
    if (os::Result opened = in.openChild(backupName_, backup); !opened) return opened;
    return in.moveTo(name, backup, number, false);
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
