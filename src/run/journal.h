// The journal of a run: a write-ahead record of every change a run that can be undone
// (ROLLBACK=1) makes, each on the disk before the change happens (or, for an entry set aside,
// findable without its record), so that the run can be undone whatever stops it, the updater's
// death and a power cut included; and, in every run, of the
// temporary files it makes, so that the next run removes what a killed one left. The journal
// lies in the running user's own local application data, named after the script's path.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "os/files.h"

class Journal {
public:
    // Where the journal of the script at `scriptPath` lives; empty when the system names no
    // folder for it.
    static std::string pathFor(const std::string& scriptPath);

    // What a start found of an interrupted run of the same script, and what it did about it.
    struct Recovery {
        bool found = false;            // a journal was there
        bool undone = false;           // its run could be undone, and its changes were
        std::vector<std::string> done; // one line for each change undone and each leftover removed
    };
    // Undoes what a journal of `scriptPath` left by an interrupted run records (when that run
    // could be undone), removes the temporary files and backups it lists, and the journal.
    static Recovery recover(const std::string& scriptPath);

    // Starts this run's journal. `undoable`: every change is recorded before it happens;
    // otherwise only temporary files and backups left to remove are.
    os::Result begin(const std::string& scriptPath, bool undoable);
    bool isOpen() const { return file_.isOpen(); }
    bool undoable() const { return isOpen() && undoable_; }

    // The records. In a run that can be undone each is on the disk before it returns; a
    // failure to record makes the change it would describe fail too.
    os::Result temporary(const std::string& path);
    os::Result created(const std::string& path);           // a file or link made where nothing was
    os::Result createdDirectory(const std::string& path);  // undone with everything inside it
    os::Result attributes(const std::string& path, uint32_t old);
    os::Result moved(const std::string& from, const std::string& to);
    os::Result removedDirectory(const std::string& path, uint32_t old);
    // Moves `name` of `in` into the run's backup folder in that same directory (the same
    // volume: no data is copied), recorded first. The first entry set aside under a name keeps
    // it there, and its record is not flushed: the folder alone says where it goes back to.
    os::Result setAside(const os::Directory& in, const std::string& name);

    // True when `path` lies in a directory this run made: what is made there is undone with it
    // and needs no record of its own.
    bool insideCreated(const std::string& path) const;
    // The name of this run's backup folders, which no walk of the run may see; empty while
    // nothing was set aside.
    std::string backupFolderName() const { return backups_.empty() ? std::string() : backupName_; }

    // The run reached its end: the backups go, and the journal. A backup that cannot be removed
    // yet (the old executable of a program still running) is left for the next run.
    void commit();
    // The run failed: every change undone in reverse order, then the backups and the journal
    // go. One line for each change undone.
    std::vector<std::string> rollBack();

    // One record as the journal holds it.
    struct Record {
        std::string kind;
        std::string path;
        std::string other;  // a second path, or an attribute word in hexadecimal
    };

private:
    os::Result write(const Record& record, bool durable);

    os::AppendFile file_;
    std::string path_;
    std::string directory_;
    bool undoable_ = false;
    std::string backupName_;
    std::vector<Record> records_;
    std::vector<std::string> createdDirectories_;
    // The backup folder of each directory that has one, and the number its last interim entry took.
    std::unordered_map<std::string, uint64_t> backups_;
};
